#include "platform/win32/dialog_window.h"


#include <vector>

#include "platform/default_dialog_proc.h"
#include "platform/win32/dialog_template_builder.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/winmm_wave_out.h"
#include "res/dialog_template.h"

namespace platform::win32 {
namespace {

constexpr int LargeIconSize = 32;
constexpr int SmallIconSize = 16;

HICON LoadApplicationIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(res::ApplicationIconId), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The output sets its fields after every block; an unchanged text is not set again, so
// the edits are neither repainted nor notify the dialog hundreds of times a second.
void ChangeText(HWND window, std::string_view text) {
    const std::wstring wide = Widen(text);
    if (window && TextOf(window) != wide) SetWindowTextW(window, wide.c_str());
}

DialogWindow* WindowOf(HWND hwnd) {
    return reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

}  // namespace

DialogWindow::DialogWindow(Dialog& dialog)
    : dialog_(dialog),
      icon_(LoadApplicationIcon(LargeIconSize)),
      smallIcon_(LoadApplicationIcon(SmallIconSize)) {}

DialogWindow::~DialogWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    for (const auto& [id, color] : sliderColors_) ::DeleteObject(color.second);
    if (icon_) DestroyIcon(icon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

bool DialogWindow::Create(HWND owner) {
    const std::vector<uint16_t> words = BuildDialogTemplate(dialog_.Template());
    const HWND hwnd = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner,
        &DialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr && !createRefused_;
}

// WM_INITDIALOG stands for WM_CREATE: the dialog manager keeps the real one from the
// dialog procedure, and only now do the controls exist.
INT_PTR DialogWindow::OnInitDialog(HWND hwnd) {
    hwnd_ = hwnd;
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    // From here on the dialog sees its window's messages.
    dialog_.AttachWindow(this);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    if (dialog_.WindowProc(WM_CREATE, 0, 0) == -1) {
        createRefused_ = true;
        ended_ = true;
        return FALSE;
    }
    return dialog_.OnInitDialog() ? TRUE : FALSE;
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND hwnd, ::UINT message, ::WPARAM wParam,
                                         ::LPARAM lParam) {
    if (message == WM_INITDIALOG) return reinterpret_cast<DialogWindow*>(lParam)->OnInitDialog(hwnd);
    DialogWindow* self = WindowOf(hwnd);
    if (!self || self->ended_) return FALSE;
    return self->HandleMessage(message, wParam, lParam);
}

// The dialog's window procedure sees the message first; what it hands back to the
// system goes on to the dialog manager's own handling.
INT_PTR DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A trackbar asks its parent for the brush of its background.
    if (message == WM_CTLCOLORSTATIC) {
        const auto found = sliderColors_.find(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        if (found == sliderColors_.end()) return FALSE;
        SetBkColor(reinterpret_cast<HDC>(wParam), found->second.first);
        return reinterpret_cast<INT_PTR>(found->second.second);
    }
    if (message == WM_CONTEXTMENU) {
        const std::optional<int> slider = ClickedSlider(wParam, lParam);
        if (!slider) return FALSE;
        wParam = static_cast<WPARAM>(*slider);
    }
    const bool outerToSystem = toSystem_;
    toSystem_ = false;
    const LRESULT result = dialog_.WindowProc(message, wParam, lParam);
    const bool handled = !toSystem_;
    toSystem_ = outerToSystem;
    if (!handled) return FALSE;
    // Windows drags a minimised window with an icon handle, whatever the dialog answers.
    if (message == WM_QUERYDRAGICON) return reinterpret_cast<INT_PTR>(icon_);
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

std::optional<int> DialogWindow::ClickedSlider(WPARAM window, LPARAM point) const {
    const HWND clicked = reinterpret_cast<HWND>(window);
    constexpr LPARAM FromKeyboard = -1;  // no pointer position
    wchar_t className[32] = {};
    if (point == FromKeyboard || GetParent(clicked) != hwnd_ ||
        GetClassNameW(clicked, className, 32) == 0 || lstrcmpiW(className, TRACKBAR_CLASSW) != 0)
        return std::nullopt;
    return GetDlgCtrlID(clicked);
}

// Showing activates the window, and the dialog manager then puts the focus where it
// last was, which is nowhere yet: the control the dialog chose meanwhile takes it again.
void DialogWindow::Show() {
    if (hiddenByDialog_) return;
    ShowWindow(SW_SHOW);
    if (focusId_) SetFocusTo(*focusId_);
}

// A returned block's system header is read once, here: the filter gives the block back,
// and the message is then dispatched with the program's header.
bool DialogWindow::PreTranslate(MSG& msg) {
    if (msg.message == MM_WOM_DONE) msg.lParam = ProgramWaveHeader(msg.lParam);
    return !ended_ && dialog_.PreTranslateMessage({msg.message, msg.wParam, msg.lParam});
}

std::string DialogWindow::GetDlgItemText(int id) const {
    const HWND item = Item(id);
    return item ? Narrow(TextOf(item)) : std::string();
}

void DialogWindow::SetDlgItemText(int id, std::string_view text) { ChangeText(Item(id), text); }

void DialogWindow::EnableDlgItem(int id, bool enable) {
    if (const HWND item = Item(id)) EnableWindow(item, enable ? TRUE : FALSE);
}

bool DialogWindow::IsDlgItemEnabled(int id) const {
    const HWND item = Item(id);
    return item && IsWindowEnabled(item);
}

void DialogWindow::SetFocusTo(int id) {
    const HWND item = Item(id);
    if (!item) return;
    focusId_ = id;
    SetFocus(item);
}

void DialogWindow::SetSliderRange(int id, int minimum, int maximum, bool redraw) {
    SendDlgItemMessageW(hwnd_, id, TBM_SETRANGEMIN, FALSE, minimum);
    SendDlgItemMessageW(hwnd_, id, TBM_SETRANGEMAX, redraw ? TRUE : FALSE, maximum);
}

void DialogWindow::SetSliderPos(int id, int position, bool redraw) {
    SendDlgItemMessageW(hwnd_, id, TBM_SETPOS, redraw ? TRUE : FALSE, position);
}

int DialogWindow::GetSliderPos(int id) const {
    return static_cast<int>(SendDlgItemMessageW(hwnd_, id, TBM_GETPOS, 0, 0));
}

void DialogWindow::SetSliderColor(int id, std::optional<ColorRef> color) {
    if (const auto old = sliderColors_.find(id); old != sliderColors_.end()) {
        ::DeleteObject(old->second.second);
        sliderColors_.erase(old);
    }
    if (color) sliderColors_[id] = {*color, CreateSolidBrush(*color)};
    if (const HWND item = Item(id)) InvalidateRect(item, nullptr, TRUE);
}

// The refresh tick sets the same title many times a second.
void DialogWindow::SetWindowText(std::string_view text) { ChangeText(hwnd_, text); }

// A window that is up, or minimised, stays as it is when shown again: the refresh
// tick shows it often and must neither restore it nor take the focus.
void DialogWindow::ShowWindow(int showCommand) {
    hiddenByDialog_ = showCommand == SW_HIDE;
    if (hiddenByDialog_) {
        ::ShowWindow(hwnd_, SW_HIDE);
    } else if (!IsWindowVisible(hwnd_)) {
        ::ShowWindow(hwnd_, showCommand);
    }
}

bool DialogWindow::IsIconic() const { return ::IsIconic(hwnd_) != 0; }

Rect DialogWindow::GetClientRect() const {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    return {client.left, client.top, client.right, client.bottom};
}

int DialogWindow::GetSystemMetrics(int index) const { return ::GetSystemMetrics(index); }

void DialogWindow::SetTimer(uint32_t id, uint32_t periodMs, TimerProc proc) {
    if (proc) {
        timerProcs_[id] = std::move(proc);
        ::SetTimer(hwnd_, id, periodMs, &DialogWindow::TimerProcedure);
    } else {
        timerProcs_.erase(id);
        ::SetTimer(hwnd_, id, periodMs, nullptr);
    }
}

void DialogWindow::KillTimer(uint32_t id) {
    ::KillTimer(hwnd_, id);
    timerProcs_.erase(id);
}

void CALLBACK DialogWindow::TimerProcedure(HWND hwnd, ::UINT, UINT_PTR id, DWORD) {
    DialogWindow* self = WindowOf(hwnd);
    if (!self || self->ended_) return;
    const auto found = self->timerProcs_.find(static_cast<uint32_t>(id));
    if (found == self->timerProcs_.end()) return;
    const TimerProc proc = found->second;  // a copy: the procedure may kill its own timer
    proc();
}

DeviceContext* DialogWindow::GetDC() {
    context_ = std::make_unique<GdiContext>(::GetDC(hwnd_), icon_);
    return context_.get();
}

void DialogWindow::ReleaseDC(DeviceContext* dc) {
    if (!context_ || dc != context_.get()) return;
    ::ReleaseDC(hwnd_, context_->Handle());
    context_.reset();
}

DeviceContext* DialogWindow::BeginPaint() {
    paintContext_ = std::make_unique<GdiContext>(::BeginPaint(hwnd_, &paint_), icon_);
    return paintContext_.get();
}

void DialogWindow::EndPaint(DeviceContext* dc) {
    if (!paintContext_ || dc != paintContext_.get()) return;
    ::EndPaint(hwnd_, &paint_);
    paintContext_.reset();
}

void DialogWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    ::PostMessageW(hwnd_, message, wParam, lParam);
}

LRESULT DialogWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return dialog_.WindowProc(message, wParam, lParam);
}

// The messages every platform handles alike go to the shared default; the rest (moving,
// minimising, the keyboard's menu, activation) to the dialog manager.
LRESULT DialogWindow::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool shared = message == WM_CLOSE || message == WM_COMMAND || message == WM_PAINT ||
                        (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
    if (shared) return DefaultDialogProc(*this, message, wParam, lParam);
    toSystem_ = true;
    return 0;
}

void DialogWindow::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

}  // namespace platform::win32
