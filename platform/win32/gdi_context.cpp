#include "platform/win32/gdi_context.h"

#include <cstdint>

namespace platform::win32 {
namespace {

BrushHandle ToHandle(HGDIOBJ object) {
    return static_cast<BrushHandle>(reinterpret_cast<uintptr_t>(object));
}

// Sign-extended back, as Windows widens a 32-bit handle.
HGDIOBJ ToObject(BrushHandle brush) {
    return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(static_cast<int32_t>(brush)));
}

}  // namespace

BrushHandle GdiContext::CreateSolidBrush(ColorRef color) {
    return ToHandle(::CreateSolidBrush(color));
}

// Brush 0 is no brush: the hollow stock brush, so shapes are outlined only.
BrushHandle GdiContext::SelectObject(BrushHandle brush) {
    const HGDIOBJ object = brush != 0 ? ToObject(brush) : GetStockObject(NULL_BRUSH);
    return ToHandle(::SelectObject(dc_, object));
}

bool GdiContext::DeleteObject(BrushHandle brush) { return ::DeleteObject(ToObject(brush)) != 0; }

void GdiContext::Rectangle(int left, int top, int right, int bottom) {
    ::Rectangle(dc_, left, top, right, bottom);
}

void GdiContext::Ellipse(int left, int top, int right, int bottom) {
    ::Ellipse(dc_, left, top, right, bottom);
}

void GdiContext::DrawIcon(int x, int y) {
    if (icon_) ::DrawIcon(dc_, x, y, icon_);
}

}  // namespace platform::win32
