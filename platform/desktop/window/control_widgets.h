#pragma once
// The controls of a dialog template as FLTK widgets: push buttons, single-line edits,
// the multi-line read-only log, trackbar-like sliders, static labels and the icon.
// Creating one adds its widget to the group being built (Fl_Group::current()).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/device_context.h"
#include "res/dialog_template.h"

class Fl_Widget;

namespace platform::desktop {

class Control {
public:
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int Id() const { return id_; }
    Fl_Widget& Widget() const { return *widget_; }
    // A button's caption or an edit's contents.
    virtual std::string Text() const;
    // Does nothing when the text is already shown, so a caret or scroll position stays.
    virtual void SetText(std::string_view text);
    // Static controls let a mouse press through to the dialog; the others keep it.
    virtual bool KeepsMouse() const { return true; }
    // Where a dialog that asks for it puts the first focus.
    bool TakesFirstFocus() const;

protected:
    Control(const res::ControlTemplate& control, Fl_Widget* widget);

private:
    int id_;
    uint32_t style_;
    res::ControlClass class_;
    Fl_Widget* widget_;  // owned by the window
};

class SliderControl : public Control {
public:
    SliderControl(const res::ControlTemplate& control, Fl_Widget* widget)
        : Control(control, widget) {}
    void SetRange(int minimum, int maximum);
    void SetPosition(int position);
    int Position() const;
    // The colour the slider is drawn on; the dialog's own background when none.
    void SetColor(std::optional<ColorRef> color);
};

// What the user does to the controls: clicked(id) runs when a push button is pressed
// and released, rightClicked(id) when the right button is pressed on a slider.
struct ControlEvents {
    std::function<void(int id)> clicked;
    std::function<void(int id)> rightClicked;
};

std::unique_ptr<Control> CreateControl(const res::ControlTemplate& control,
                                       const ControlEvents& events);

}  // namespace platform::desktop
