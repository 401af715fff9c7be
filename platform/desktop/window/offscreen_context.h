#pragma once
// A window's client area as an offscreen picture with the drawing rules of a Windows
// device context. The window shows the picture behind its controls, so whatever the
// dialog draws outside the paint cycle stays until it draws again.
#include <memory>
#include <unordered_map>

#include "platform/device_context.h"
#include "platform/window.h"

class Fl_Pixmap;

namespace platform::desktop {

class OffscreenContext final : public DeviceContext {
public:
    // Needs the display open; the picture starts in the dialog background colour.
    OffscreenContext(int width, int height);
    ~OffscreenContext() override;
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    BrushHandle CreateSolidBrush(ColorRef color) override;
    BrushHandle SelectObject(BrushHandle brush) override;
    bool DeleteObject(BrushHandle brush) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void DrawIcon(int x, int y) override;

    // A freshly obtained context: no brush selected (white fill), black pen.
    void Reset();
    // The area drawn on since the last call, empty when nothing was drawn.
    Rect TakeDrawnArea();
    // Copies part of the picture to the same place of the current drawing surface.
    void CopyTo(int x, int y, int width, int height) const;

private:
    void FillAndOutline(int left, int top, int right, int bottom, bool ellipse);
    void NoteDrawn(int left, int top, int right, int bottom);

    int width_;
    int height_;
    unsigned long picture_;  // the X pixmap behind Fl_Offscreen
    void* gc_;               // the X graphics context drawing on it
    std::unordered_map<BrushHandle, ColorRef> brushes_;
    BrushHandle nextBrush_ = 1;
    BrushHandle selected_ = 0;
    Rect drawn_{0, 0, 0, 0};
    std::unique_ptr<Fl_Pixmap> icon_;
};

}  // namespace platform::desktop
