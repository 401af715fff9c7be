#include "platform/sim/sim_draw_call.h"

#include <cstdio>

namespace sim {
namespace {

std::string Color(std::optional<platform::ColorRef> color) {
    if (!color) return "none";
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", *color & 0xFF, (*color >> 8) & 0xFF,
                  (*color >> 16) & 0xFF);
    return text;
}

std::string Box(int left, int top, int right, int bottom) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", left, top, right, bottom);
    return text;
}

}  // namespace

std::string ToString(const DrawCall& call) {
    const std::string dc = "dc" + std::to_string(call.dc) + " ";
    switch (call.kind) {
        case DrawKind::GetDC: return dc + "GetDC";
        case DrawKind::ReleaseDC: return dc + "ReleaseDC";
        case DrawKind::BeginPaint: return dc + "BeginPaint";
        case DrawKind::EndPaint: return dc + "EndPaint";
        case DrawKind::CreateSolidBrush:
            return dc + "CreateSolidBrush(" + Color(call.color) + ") -> " + std::to_string(call.brush);
        case DrawKind::SelectObject:
            return dc + "SelectObject(" + std::to_string(call.brush) + ") -> " +
                   std::to_string(call.previous);
        case DrawKind::DeleteObject: return dc + "DeleteObject(" + std::to_string(call.brush) + ")";
        case DrawKind::Rectangle:
            return dc + "Rectangle(" + Box(call.left, call.top, call.right, call.bottom) + ") fill " +
                   Color(call.fill);
        case DrawKind::Ellipse:
            return dc + "Ellipse(" + Box(call.left, call.top, call.right, call.bottom) + ") fill " +
                   Color(call.fill);
        case DrawKind::DrawIcon:
            return dc + "DrawIcon(" + std::to_string(call.left) + "," + std::to_string(call.top) + ")";
    }
    return dc + "?";
}

std::string ToString(const Shape& shape) {
    std::string text = "(";
    text += Box(shape.left, shape.top, shape.right, shape.bottom);
    text += ") fill ";
    text += Color(shape.fill);
    return text;
}

}  // namespace sim
