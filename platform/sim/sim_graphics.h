#pragma once
// Every drawing context of the simulation, the brushes, and the log of every call in
// order. It also catches what would leak or misbehave on a real system: contexts
// never given back, drawing on a context already given back, brushes deleted while
// still selected, brushes not deleted by the time their context is given back.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/sim/sim_device_context.h"
#include "platform/sim/sim_draw_call.h"

namespace sim {

class SimGraphics {
public:
    // What a test reads.
    const std::vector<DrawCall>& Calls() const { return calls_; }
    std::vector<Shape> Rectangles() const { return ShapesOf(DrawKind::Rectangle); }
    std::vector<Shape> Ellipses() const { return ShapesOf(DrawKind::Ellipse); }
    std::vector<DrawKind> Kinds() const;
    void ClearLog() { calls_.clear(); }
    // A long run can stop logging calls; misuse is still caught.
    void KeepLog(bool keep) { keepLog_ = keep; }
    // Every misuse so far, plus each context that is still out; empty when all is well.
    std::vector<std::string> Problems() const;
    int ContextsOut() const;
    int LiveBrushes() const;

    // What a test arranges: CreateSolidBrush returns 0 while this is set.
    void SetBrushCreationFails(bool fails) { brushCreationFails_ = fails; }

    // Used by the windows.
    platform::DeviceContext* Acquire(bool forPaint);
    void Release(platform::DeviceContext* dc, bool forPaint);

    // Used by the contexts.
    platform::BrushHandle CreateBrush(SimDeviceContext& dc, platform::ColorRef color);
    void Selected(SimDeviceContext& dc, platform::BrushHandle brush, platform::BrushHandle previous);
    bool DeleteBrush(SimDeviceContext& dc, platform::BrushHandle brush);
    void Draw(SimDeviceContext& dc, DrawKind kind, int left, int top, int right, int bottom);

private:
    struct Brush {
        platform::ColorRef color;
        bool deleted = false;
    };

    std::vector<Shape> ShapesOf(DrawKind kind) const;
    void Record(const DrawCall& call);
    void Misuse(std::string what) { problems_.push_back(std::move(what)); }
    void CheckUsable(const SimDeviceContext& dc, const char* call);
    SimDeviceContext* Find(platform::DeviceContext* dc);

    // Contexts live as long as the simulation, so a stale pointer is caught, not undefined.
    std::vector<std::unique_ptr<SimDeviceContext>> contexts_;
    std::map<platform::BrushHandle, Brush> brushes_;
    std::vector<DrawCall> calls_;
    std::vector<std::string> problems_;
    bool brushCreationFails_ = false;
    bool keepLog_ = true;
};

}  // namespace sim
