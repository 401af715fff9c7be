#pragma once
// A simulated drawing context: it draws nothing, it tells SimGraphics what it was asked.
#include <vector>

#include "platform/device_context.h"

namespace sim {

class SimGraphics;

class SimDeviceContext final : public platform::DeviceContext {
public:
    SimDeviceContext(SimGraphics& graphics, int number, bool forPaint)
        : graphics_(graphics), number_(number), forPaint_(forPaint) {}

    platform::BrushHandle CreateSolidBrush(platform::ColorRef color) override;
    platform::BrushHandle SelectObject(platform::BrushHandle brush) override;
    bool DeleteObject(platform::BrushHandle brush) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void DrawIcon(int x, int y) override;

    int Number() const { return number_; }
    bool ForPaint() const { return forPaint_; }
    bool Released() const { return released_; }
    void MarkReleased() { released_ = true; }
    platform::BrushHandle Selected() const { return selected_; }
    // Brushes created through this context, which it must delete before it is given back.
    const std::vector<platform::BrushHandle>& Created() const { return created_; }
    void AddCreated(platform::BrushHandle brush) { created_.push_back(brush); }

private:
    SimGraphics& graphics_;
    int number_;
    bool forPaint_;
    bool released_ = false;
    platform::BrushHandle selected_ = 0;  // 0: the context's own default, no brush of ours
    std::vector<platform::BrushHandle> created_;
};

}  // namespace sim
