#pragma once
// A drawing context with the drawing rules of a Windows device context: a rectangle
// covers [left, right) x [top, bottom), is outlined with the current pen (1-pixel
// black unless changed) and filled with the current brush; an ellipse fills the box
// given by its two corners in the same way.
#include <cstdint>

namespace platform {

using ColorRef = uint32_t;  // red in bits 0-7, green 8-15, blue 16-23
using BrushHandle = uint32_t;  // 0 is no brush

constexpr ColorRef Rgb(int r, int g, int b) {
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

class DeviceContext {
public:
    virtual ~DeviceContext() = default;
    // Returns 0 when the brush cannot be created.
    virtual BrushHandle CreateSolidBrush(ColorRef color) = 0;
    // Returns the brush that was selected before.
    virtual BrushHandle SelectObject(BrushHandle brush) = 0;
    virtual bool DeleteObject(BrushHandle brush) = 0;
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    // Draws the application icon with its top-left corner at (x, y).
    virtual void DrawIcon(int x, int y) = 0;
};

}  // namespace platform
