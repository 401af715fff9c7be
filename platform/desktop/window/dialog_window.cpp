#include "platform/desktop/window/dialog_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>

#include "platform/default_dialog_proc.h"
#include "res/application_icon.h"

namespace platform::desktop {
namespace {

constexpr int IconSize = 32;
constexpr LPARAM KeyDownFlags = 1;           // repeat count 1
constexpr LPARAM KeyUpFlags = 0xC0000001;    // repeat count 1, was down, being released
constexpr LPARAM AltHeld = 0x20000000;
const char* const WindowClass = "Kelvarin";

void SetApplicationIcon(Fl_Window& window) {
    const Fl_Pixmap large(res::ApplicationIcon32);
    const Fl_Pixmap small(res::ApplicationIcon16);
    const Fl_RGB_Image largeImage(&large);
    const Fl_RGB_Image smallImage(&small);
    const Fl_RGB_Image* icons[] = {&largeImage, &smallImage};
    window.icons(icons, 2);  // copies the images
}

}  // namespace

DialogWindow::DialogWindow(Dialog& dialog, MessageQueue& queue, bool modal)
    : dialog_(dialog),
      queue_(queue),
      timers_([this](uint32_t id) { queue_.Post(this, {WM_TIMER, id, 0}, true); }) {
    const res::DialogTemplate& dialogTemplate = dialog.Template();
    const int width = res::DialogUnitsToPixelsX(dialogTemplate.cx);
    const int height = res::DialogUnitsToPixelsY(dialogTemplate.cy);
    // A window with a caption bar is centred on the screen; one without stands where
    // its template says, with no frame of its own.
    const bool framed = (dialogTemplate.style & res::CaptionBar) != 0;
    const int x = framed ? (Fl::w() - width) / 2 : res::DialogUnitsToPixelsX(dialogTemplate.x);
    const int y = framed ? (Fl::h() - height) / 2 : res::DialogUnitsToPixelsY(dialogTemplate.y);
    picture_ = std::make_unique<OffscreenContext>(width, height);
    window_ = std::make_unique<ClientAreaWindow>(x, y, width, height,
                                                 static_cast<ClientAreaEvents&>(*this), *picture_);
    window_->border(framed ? 1 : 0);
    if (framed) window_->copy_label(dialogTemplate.caption);
    const ControlEvents events{
        .clicked = [this](int id) { PostMessage(WM_COMMAND, MakeCommand(id, BN_CLICKED), 0); },
        .rightClicked = [this](int id) { PostMessage(WM_CONTEXTMENU, static_cast<WPARAM>(id), 0); },
    };
    window_->begin();
    for (const res::ControlTemplate& control : dialogTemplate.controls)
        controls_.push_back(CreateControl(control, events));
    window_->end();
    window_->xclass(WindowClass);
    SetApplicationIcon(*window_);
    if (modal) window_->set_modal();
}

DialogWindow::~DialogWindow() { queue_.RemoveWindow(this); }

void DialogWindow::Show(bool focusFirstControl) {
    if (focusFirstControl && !focus_) {
        for (const auto& control : controls_) {
            if (!control->TakesFirstFocus()) continue;
            focus_ = &control->Widget();
            break;
        }
    }
    if (!hiddenByDialog_) ShowWindow(SW_SHOW);
}

void DialogWindow::Dispatch(const QueuedMessage& queued) {
    if (ended_) return;
    const Message& message = queued.message;
    TimerProc proc;
    if (queued.fromTimer && !timers_.Take(static_cast<uint32_t>(message.wParam), proc)) return;
    if (message.message == WM_PAINT) paintWaiting_ = false;
    if (dialog_.PreTranslateMessage(message)) return;
    if (proc) {
        proc();  // a copy: the procedure may kill its own timer
    } else {
        dialog_.WindowProc(message.message, message.wParam, message.lParam);
    }
}

Fl_Widget* DialogWindow::ControlWidget(int id) const {
    Control* control = Find(id);
    return control ? &control->Widget() : nullptr;
}

Control* DialogWindow::Find(int id) const {
    for (const auto& control : controls_) {
        if (control->Id() == id) return control.get();
    }
    return nullptr;
}

SliderControl* DialogWindow::FindSlider(int id) const {
    return dynamic_cast<SliderControl*>(Find(id));
}

std::string DialogWindow::GetDlgItemText(int id) const {
    Control* control = Find(id);
    return control ? control->Text() : std::string();
}

void DialogWindow::SetDlgItemText(int id, std::string_view text) {
    if (Control* control = Find(id)) control->SetText(text);
}

void DialogWindow::EnableDlgItem(int id, bool enable) {
    Control* control = Find(id);
    if (!control) return;
    if (enable) {
        control->Widget().activate();
    } else {
        control->Widget().deactivate();
    }
}

bool DialogWindow::IsDlgItemEnabled(int id) const {
    Control* control = Find(id);
    return control && control->Widget().active();
}

void DialogWindow::SetFocusTo(int id) {
    Control* control = Find(id);
    if (!control) return;
    focus_ = &control->Widget();
    ApplyFocus();
}

// The focus can only move into a window that is shown; until then it waits.
void DialogWindow::ApplyFocus() {
    if (focus_ && window_->shown()) focus_->take_focus();
}

void DialogWindow::SetSliderRange(int id, int minimum, int maximum, bool) {
    if (SliderControl* slider = FindSlider(id)) slider->SetRange(minimum, maximum);
}

void DialogWindow::SetSliderPos(int id, int position, bool) {
    if (SliderControl* slider = FindSlider(id)) slider->SetPosition(position);
}

int DialogWindow::GetSliderPos(int id) const {
    SliderControl* slider = FindSlider(id);
    return slider ? slider->Position() : 0;
}

void DialogWindow::SetSliderColor(int id, std::optional<ColorRef> color) {
    if (SliderControl* slider = FindSlider(id)) slider->SetColor(color);
}

void DialogWindow::SetWindowText(std::string_view text) {
    const std::string title(text);
    if (window_->label() && title == window_->label()) return;
    window_->copy_label(title.c_str());
}

void DialogWindow::ShowWindow(int showCommand) {
    if (showCommand == SW_HIDE) {
        hiddenByDialog_ = true;
        window_->hide();
        return;
    }
    hiddenByDialog_ = false;
    // A window that is up, or minimised, stays as it is: the refresh tick shows the
    // window a dozen times a second and must neither raise nor restore it, nor take
    // the focus from the field the user is typing in.
    if (window_->shown()) return;
    window_->show();
    ApplyFocus();
}

bool DialogWindow::IsIconic() const { return window_->shown() && !window_->visible(); }

Rect DialogWindow::GetClientRect() const { return {0, 0, window_->w(), window_->h()}; }

int DialogWindow::GetSystemMetrics(int index) const {
    return (index == SM_CXICON || index == SM_CYICON) ? IconSize : 0;
}

void DialogWindow::SetTimer(uint32_t id, uint32_t periodMs, TimerProc proc) {
    timers_.Set(id, periodMs, std::move(proc));
}

void DialogWindow::KillTimer(uint32_t id) {
    timers_.Kill(id);
    queue_.RemoveTimerMessages(this, id);
}

DeviceContext* DialogWindow::GetDC() {
    picture_->Reset();
    return picture_.get();
}

void DialogWindow::ReleaseDC(DeviceContext* dc) {
    if (dc != picture_.get()) return;
    const Rect drawn = picture_->TakeDrawnArea();
    if (drawn.left == drawn.right || !window_->shown()) return;
    window_->ShowDrawnArea(drawn.left, drawn.top, drawn.right, drawn.bottom);
}

DeviceContext* DialogWindow::BeginPaint() { return GetDC(); }

void DialogWindow::EndPaint(DeviceContext* dc) { ReleaseDC(dc); }

void DialogWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    queue_.Post(this, {message, wParam, lParam});
}

LRESULT DialogWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return dialog_.WindowProc(message, wParam, lParam);
}

LRESULT DialogWindow::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultDialogProc(*this, message, wParam, lParam);
}

void DialogWindow::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

void DialogWindow::OnKey(bool down, bool system, WPARAM virtualKey) {
    const UINT message =
        system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    PostMessage(message, virtualKey, (down ? KeyDownFlags : KeyUpFlags) | (system ? AltHeld : 0));
}

void DialogWindow::OnDeactivated() { PostMessage(WM_ACTIVATE, WA_INACTIVE, 0); }

void DialogWindow::OnMouse(UINT message, WPARAM keys, int x, int y) {
    PostMessage(message, keys, MakePointLParam(x, y));
}

bool DialogWindow::IsOnControl(int x, int y) const {
    for (const auto& control : controls_) {
        const Fl_Widget& widget = control->Widget();
        if (control->KeepsMouse() && widget.visible() && x >= widget.x() &&
            x < widget.x() + widget.w() && y >= widget.y() && y < widget.y() + widget.h()) {
            return true;
        }
    }
    return false;
}

void DialogWindow::OnCloseRequest() { PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }

void DialogWindow::OnExposed() {
    if (paintWaiting_) return;
    paintWaiting_ = true;
    PostMessage(WM_PAINT, 0, 0);
}

}  // namespace platform::desktop
