#include "platform/desktop/window/control_widgets.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>

#include "res/application_icon.h"

namespace platform::desktop {
namespace {

using res::ControlClass;

// 8-point MS Sans Serif at 96 DPI is about 11 pixels high.
constexpr int FontSize = 11;
constexpr int DefaultMinimum = 0;  // a new trackbar's range
constexpr int DefaultMaximum = 100;

struct PixelRect {
    int x, y, width, height;
};

PixelRect ToPixels(const res::ControlTemplate& control) {
    return {res::DialogUnitsToPixelsX(control.x), res::DialogUnitsToPixelsY(control.y),
            res::DialogUnitsToPixelsX(control.cx), res::DialogUnitsToPixelsY(control.cy)};
}

class ButtonControl final : public Control {
public:
    ButtonControl(const res::ControlTemplate& control, Fl_Button* button,
                  std::function<void(int)> clicked)
        : Control(control, button), clicked_(std::move(clicked)) {
        button->copy_label(control.caption);
        button->labelsize(FontSize);
        button->callback(&OnClick, this);
    }

private:
    static void OnClick(Fl_Widget*, void* self) {
        auto* button = static_cast<ButtonControl*>(self);
        button->clicked_(button->Id());
    }

    std::function<void(int)> clicked_;
};

class EditControl final : public Control {
public:
    EditControl(const res::ControlTemplate& control, Fl_Input* input)
        : Control(control, input), input_(input) {
        input->textsize(FontSize);
        input->when(FL_WHEN_NEVER);
        if (control.style & res::ReadOnly) input->color(FL_BACKGROUND_COLOR);
        input->value(control.caption);
    }
    std::string Text() const override { return input_->value(); }
    void SetText(std::string_view text) override {
        if (text == input_->value()) return;
        input_->value(text.data(), static_cast<int>(text.size()));
    }

private:
    Fl_Input* input_;
};

// The multi-line read-only edit: lines end in CR LF for the dialog and in LF on screen.
class LogControl final : public Control {
public:
    LogControl(const res::ControlTemplate& control, Fl_Text_Display* display,
               std::unique_ptr<Fl_Text_Buffer> buffer)
        : Control(control, display), buffer_(std::move(buffer)), text_(control.caption) {
        display->buffer(buffer_.get());
        display->textsize(FontSize);
        display->color(FL_BACKGROUND_COLOR);
        display->scrollbar_align(FL_ALIGN_RIGHT);  // a vertical scroll bar only
        buffer_->text(ForScreen(text_).c_str());
    }
    std::string Text() const override { return text_; }
    void SetText(std::string_view text) override {
        if (text == text_) return;
        text_ = text;
        buffer_->text(ForScreen(text_).c_str());
    }

private:
    static std::string ForScreen(std::string_view text) {
        std::string shown;
        shown.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
            shown += text[i];
        }
        return shown;
    }

    // Outlives the display widget: the window, which deletes the widget, goes first.
    std::unique_ptr<Fl_Text_Buffer> buffer_;
    std::string text_;
};

// A slider drawn like a trackbar, with its minimum at the top or left and, when
// asked for, tick marks beside it. As a trackbar, it moves for the left button only.
class TrackbarSlider final : public Fl_Slider {
public:
    TrackbarSlider(const PixelRect& r, bool vertical, bool ticks, std::function<void()> rightClicked)
        : Fl_Slider(r.x, r.y, r.width, r.height), ticks_(ticks), rightClicked_(std::move(rightClicked)) {
        type(vertical ? FL_VERT_NICE_SLIDER : FL_HOR_NICE_SLIDER);
        box(FL_FLAT_BOX);
        color(FL_BACKGROUND_COLOR);
        bounds(DefaultMinimum, DefaultMaximum);
        step(1);
        when(FL_WHEN_NEVER);
    }

    int handle(int event) override {
        if (event == FL_PUSH) {
            leftPressed_ = Fl::event_button() == FL_LEFT_MOUSE;
            if (Fl::event_button() == FL_RIGHT_MOUSE && rightClicked_) rightClicked_();
        }
        // The slider keeps what the other buttons do, and nothing moves.
        const bool mouse = event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE;
        if (mouse && !leftPressed_) return 1;
        return Fl_Slider::handle(event);
    }

protected:
    void draw() override {
        if (!ticks_) {
            Fl_Slider::draw();
            return;
        }
        const bool vertical = type() == FL_VERT_NICE_SLIDER;
        const int trackWidth = vertical ? w() - TickSpace : w();
        const int trackHeight = vertical ? h() : h() - TickSpace;
        if (damage() & FL_DAMAGE_ALL) {
            draw_box();
            DrawTicks(vertical, trackWidth, trackHeight);
        }
        Fl_Slider::draw(x(), y(), trackWidth, trackHeight);
    }

private:
    static constexpr int TickSpace = 5;
    static constexpr int TickStep = 10;

    // One tick every TickStep positions, where the thumb's middle stands at that value.
    void DrawTicks(bool vertical, int trackWidth, int trackHeight) {
        const int across = vertical ? trackWidth : trackHeight;
        const int along = vertical ? trackHeight : trackWidth;
        const int thumb = across / 2 + 5;  // the length of a nice slider's thumb
        const double span = maximum() - minimum();
        fl_color(FL_INACTIVE_COLOR);
        for (int step = 0; step * TickStep <= std::abs(span); ++step) {
            const double fraction = span == 0 ? 0.0 : step * TickStep / std::abs(span);
            const int at = thumb / 2 + static_cast<int>(std::lround(fraction * (along - thumb)));
            if (vertical) {
                fl_xyline(x() + trackWidth + 1, y() + at, x() + w() - 1);
            } else {
                fl_yxline(x() + at, y() + trackHeight + 1, y() + h() - 1);
            }
        }
    }

    bool ticks_;
    std::function<void()> rightClicked_;
    bool leftPressed_ = false;
};

class LabelControl final : public Control {
public:
    LabelControl(const res::ControlTemplate& control, Fl_Box* box) : Control(control, box) {
        box->box(FL_NO_BOX);
        box->labelsize(FontSize);
        box->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
        box->copy_label(control.caption);
    }
    bool KeepsMouse() const override { return false; }
};

class IconControl final : public Control {
public:
    IconControl(const res::ControlTemplate& control, Fl_Box* box)
        : Control(control, box), icon_(std::make_unique<Fl_Pixmap>(res::ApplicationIcon32)) {
        box->box(FL_NO_BOX);
        box->image(icon_.get());
        box->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
    }
    bool KeepsMouse() const override { return false; }

private:
    std::unique_ptr<Fl_Pixmap> icon_;
};

std::unique_ptr<Control> CreateEdit(const res::ControlTemplate& control, const PixelRect& r) {
    if (control.style & res::Multiline) {
        auto* display = new Fl_Text_Display(r.x, r.y, r.width, r.height);
        return std::make_unique<LogControl>(control, display, std::make_unique<Fl_Text_Buffer>());
    }
    Fl_Input* input = (control.style & res::ReadOnly)
                          ? new Fl_Output(r.x, r.y, r.width, r.height)
                          : new Fl_Input(r.x, r.y, r.width, r.height);
    return std::make_unique<EditControl>(control, input);
}

}  // namespace

Control::Control(const res::ControlTemplate& control, Fl_Widget* widget)
    : id_(control.id), style_(control.style), class_(control.cls), widget_(widget) {
    if (control.style & res::Disabled) widget->deactivate();
}

std::string Control::Text() const { return widget_->label() ? widget_->label() : ""; }

void Control::SetText(std::string_view text) {
    if (text == Text()) return;
    widget_->copy_label(std::string(text).c_str());
}

bool Control::TakesFirstFocus() const {
    const bool focusable = class_ == ControlClass::Button || class_ == ControlClass::Edit ||
                           class_ == ControlClass::Slider;
    return focusable && !(style_ & res::NoTabStop) && widget_->active();
}

void SliderControl::SetRange(int minimum, int maximum) {
    auto& slider = static_cast<Fl_Slider&>(Widget());
    slider.bounds(minimum, maximum);
    SetPosition(Position());
}

void SliderControl::SetPosition(int position) {
    auto& slider = static_cast<Fl_Slider&>(Widget());
    const double low = std::min(slider.minimum(), slider.maximum());
    const double high = std::max(slider.minimum(), slider.maximum());
    slider.value(std::clamp<double>(position, low, high));
}

void SliderControl::SetColor(std::optional<ColorRef> color) {
    Fl_Widget& slider = Widget();
    slider.color(color ? fl_rgb_color(static_cast<uchar>(*color & 0xFF),
                                      static_cast<uchar>((*color >> 8) & 0xFF),
                                      static_cast<uchar>((*color >> 16) & 0xFF))
                       : FL_BACKGROUND_COLOR);
    slider.redraw();
}

int SliderControl::Position() const {
    return static_cast<int>(std::lround(static_cast<const Fl_Slider&>(Widget()).value()));
}

std::unique_ptr<Control> CreateControl(const res::ControlTemplate& control,
                                       const ControlEvents& events) {
    const PixelRect r = ToPixels(control);
    switch (control.cls) {
        case ControlClass::Button:
            return std::make_unique<ButtonControl>(
                control, new Fl_Button(r.x, r.y, r.width, r.height), events.clicked);
        case ControlClass::Edit:
            return CreateEdit(control, r);
        case ControlClass::Slider: {
            auto* slider = new TrackbarSlider(
                r, (control.style & res::Vertical) != 0, (control.style & res::AutoTicks) != 0,
                [rightClicked = events.rightClicked, id = control.id] { rightClicked(id); });
            return std::make_unique<SliderControl>(control, slider);
        }
        case ControlClass::Static:
            return std::make_unique<LabelControl>(control, new Fl_Box(r.x, r.y, r.width, r.height));
        case ControlClass::Icon:
            return std::make_unique<IconControl>(control, new Fl_Box(r.x, r.y, r.width, r.height));
    }
    return nullptr;
}

}  // namespace platform::desktop
