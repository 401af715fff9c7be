#include "platform/desktop/window/offscreen_context.h"

#include <FL/Fl.H>
#include <FL/Fl_Pixmap.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <utility>

#include "res/application_icon.h"

namespace platform::desktop {
namespace {

constexpr ColorRef White = Rgb(255, 255, 255);
constexpr int IconSize = 32;

void SetColor(ColorRef color) {
    fl_color(static_cast<uchar>(color & 0xFF), static_cast<uchar>((color >> 8) & 0xFF),
             static_cast<uchar>((color >> 16) & 0xFF));
}

// Draws on the picture, with the context's own graphics context, for the lifetime of
// one drawing call.
class DrawingOn {
public:
    DrawingOn(unsigned long picture, GC gc)
        : previousWindow_(fl_window), previousGc_(fl_gc), surface_(Fl_Surface_Device::surface()) {
        Fl_Display_Device::display_device()->set_current();
        fl_window = picture;
        fl_gc = gc;
        fl_push_no_clip();
    }
    ~DrawingOn() {
        fl_pop_clip();
        fl_window = previousWindow_;
        fl_gc = previousGc_;
        surface_->set_current();
    }
    DrawingOn(const DrawingOn&) = delete;
    DrawingOn& operator=(const DrawingOn&) = delete;

private:
    decltype(fl_window) previousWindow_;
    GC previousGc_;
    Fl_Surface_Device* surface_;
};

}  // namespace

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width),
      height_(height),
      picture_(XCreatePixmap(fl_display, RootWindow(fl_display, fl_screen), width, height,
                             fl_visual->depth)),
      gc_(XCreateGC(fl_display, picture_, 0, nullptr)),
      icon_(std::make_unique<Fl_Pixmap>(res::ApplicationIcon32)) {
    DrawingOn drawing(picture_, static_cast<GC>(gc_));
    fl_color(FL_BACKGROUND_COLOR);
    fl_rectf(0, 0, width_, height_);
}

OffscreenContext::~OffscreenContext() {
    XFreeGC(fl_display, static_cast<GC>(gc_));
    XFreePixmap(fl_display, picture_);
}

BrushHandle OffscreenContext::CreateSolidBrush(ColorRef color) {
    const BrushHandle brush = nextBrush_++;
    brushes_[brush] = color & 0xFFFFFF;
    return brush;
}

BrushHandle OffscreenContext::SelectObject(BrushHandle brush) {
    if (brush != 0 && !brushes_.contains(brush)) return 0;
    return std::exchange(selected_, brush);
}

bool OffscreenContext::DeleteObject(BrushHandle brush) {
    // Like GDI, a brush that is selected cannot be deleted.
    if (brush == selected_) return false;
    return brushes_.erase(brush) == 1;
}

void OffscreenContext::Rectangle(int left, int top, int right, int bottom) {
    FillAndOutline(left, top, right, bottom, false);
}

void OffscreenContext::Ellipse(int left, int top, int right, int bottom) {
    FillAndOutline(left, top, right, bottom, true);
}

void OffscreenContext::DrawIcon(int x, int y) {
    {
        DrawingOn drawing(picture_, static_cast<GC>(gc_));
        icon_->draw(x, y);
    }
    NoteDrawn(x, y, x + IconSize, y + IconSize);
}

void OffscreenContext::Reset() { selected_ = 0; }

Rect OffscreenContext::TakeDrawnArea() { return std::exchange(drawn_, Rect{0, 0, 0, 0}); }

void OffscreenContext::CopyTo(int x, int y, int width, int height) const {
    fl_copy_offscreen(x, y, width, height, picture_, x, y);
}

// The shape covers [left, right) x [top, bottom): filled with the brush, outlined
// with the 1-pixel black pen on its outermost pixels.
void OffscreenContext::FillAndOutline(int left, int top, int right, int bottom, bool ellipse) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const int width = right - left;
    const int height = bottom - top;
    if (width == 0 || height == 0) return;
    {
        DrawingOn drawing(picture_, static_cast<GC>(gc_));
        SetColor(selected_ == 0 ? White : brushes_.at(selected_));
        if (ellipse) {
            fl_pie(left, top, width, height, 0.0, 360.0);
        } else {
            fl_rectf(left, top, width, height);
        }
        fl_color(FL_BLACK);
        if (ellipse) {
            fl_arc(left, top, width, height, 0.0, 360.0);
        } else {
            fl_rect(left, top, width, height);
        }
    }
    NoteDrawn(left, top, right, bottom);
}

void OffscreenContext::NoteDrawn(int left, int top, int right, int bottom) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom) return;
    if (drawn_.left == drawn_.right) {
        drawn_ = {left, top, right, bottom};
        return;
    }
    drawn_ = {std::min(drawn_.left, left), std::min(drawn_.top, top),
              std::max(drawn_.right, right), std::max(drawn_.bottom, bottom)};
}

}  // namespace platform::desktop
