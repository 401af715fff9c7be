#include "platform/sim/sim_device_context.h"

#include "platform/sim/sim_graphics.h"

namespace sim {

platform::BrushHandle SimDeviceContext::CreateSolidBrush(platform::ColorRef color) {
    return graphics_.CreateBrush(*this, color);
}

platform::BrushHandle SimDeviceContext::SelectObject(platform::BrushHandle brush) {
    const platform::BrushHandle previous = selected_;
    selected_ = brush;
    graphics_.Selected(*this, brush, previous);
    return previous;
}

bool SimDeviceContext::DeleteObject(platform::BrushHandle brush) {
    return graphics_.DeleteBrush(*this, brush);
}

void SimDeviceContext::Rectangle(int left, int top, int right, int bottom) {
    graphics_.Draw(*this, DrawKind::Rectangle, left, top, right, bottom);
}

void SimDeviceContext::Ellipse(int left, int top, int right, int bottom) {
    graphics_.Draw(*this, DrawKind::Ellipse, left, top, right, bottom);
}

void SimDeviceContext::DrawIcon(int x, int y) {
    graphics_.Draw(*this, DrawKind::DrawIcon, x, y, 0, 0);
}

}  // namespace sim
