#pragma once
// A drawing context on a window's GDI device context. Brush handles are GDI's own,
// kept to their low 32 bits as Windows allows for every GDI handle.
#include "platform/win32/windows_api.h"

#include "platform/device_context.h"

namespace platform::win32 {

class GdiContext final : public DeviceContext {
public:
    GdiContext(HDC dc, HICON icon) : dc_(dc), icon_(icon) {}
    HDC Handle() const { return dc_; }

    BrushHandle CreateSolidBrush(ColorRef color) override;
    BrushHandle SelectObject(BrushHandle brush) override;
    bool DeleteObject(BrushHandle brush) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void DrawIcon(int x, int y) override;

private:
    HDC dc_;
    HICON icon_;
};

}  // namespace platform::win32
