#include "platform/sim/sim_window.h"

#include <algorithm>
#include <stdexcept>

#include "platform/default_dialog_proc.h"

namespace sim {

using namespace platform;

namespace {

// The bits of a key message's lParam that the program may look at.
constexpr LPARAM RepeatCountOne = 1;
constexpr LPARAM AltHeld = LPARAM{1} << 29;
constexpr LPARAM WasDownBefore = LPARAM{1} << 30;
constexpr LPARAM BeingReleased = LPARAM{1} << 31;

constexpr int IconSize = 32;
constexpr int DefaultSliderMax = 100;

bool TakesTabStop(const SimControl& control) {
    const bool focusable = control.cls == res::ControlClass::Button ||
                           control.cls == res::ControlClass::Edit ||
                           control.cls == res::ControlClass::Slider;
    return focusable && control.enabled && !(control.style & res::NoTabStop);
}

// The slider keeps its thumb inside its range, whoever moves it.
int ClampToRange(const SimControl& slider, int position) {
    return std::clamp(position, slider.sliderMin, std::max(slider.sliderMin, slider.sliderMax));
}

}  // namespace

SimWindow::SimWindow(Dialog& dialog, SimMessageQueue& queue, SimGraphics& graphics,
                     const SimClock& clock)
    : dialog_(&dialog), queue_(queue), graphics_(graphics), clock_(clock) {
    const res::DialogTemplate& dialogTemplate = dialog.Template();
    templateId_ = dialogTemplate.resourceId;
    title_ = dialogTemplate.caption;
    clientRect_ = {0, 0, res::DialogUnitsToPixelsX(dialogTemplate.cx),
                   res::DialogUnitsToPixelsY(dialogTemplate.cy)};
    for (const res::ControlTemplate& control : dialogTemplate.controls) {
        // Edits start empty; buttons and labels show their captions; a slider's range
        // is a trackbar's until it is set.
        const bool showsCaption = control.cls == res::ControlClass::Button ||
                                  control.cls == res::ControlClass::Static;
        const int sliderMax = control.cls == res::ControlClass::Slider ? DefaultSliderMax : 0;
        controls_.push_back({control.id, control.cls, control.style,
                             showsCaption ? control.caption : "",
                             !(control.style & res::Disabled), 0, sliderMax, 0});
    }
}

bool SimWindow::Create() {
    dialog_->AttachWindow(this);
    if (dialog_->WindowProc(WM_CREATE, 0, 0) == -1) return false;
    if (dialog_->OnInitDialog()) FocusFirstTabStop();
    // The dialog is shown once initialised, unless its initialisation hid it.
    if (showCalls_.empty() || showCalls_.back() != SW_HIDE) shown_ = true;
    return true;
}

void SimWindow::Dispatch(const Message& message, bool fromTimer) {
    if (destroyed_ || ended_) return;
    if (dialog_->PreTranslateMessage(message)) return;
    if (fromTimer) {
        if (const SimTimer* timer = FindTimer(static_cast<uint32_t>(message.wParam));
            timer && timer->proc) {
            // A copy, because the procedure may kill its own timer.
            const TimerProc proc = timer->proc;
            proc();
            return;
        }
    }
    dialog_->WindowProc(message.message, message.wParam, message.lParam);
}

void SimWindow::PostDueTimers(uint64_t nowMs) {
    std::vector<SimTimer*> due;
    for (SimTimer& timer : timers_)
        if (timer.nextDueMs <= nowMs) due.push_back(&timer);
    std::stable_sort(due.begin(), due.end(),
                     [](const SimTimer* a, const SimTimer* b) { return a->nextDueMs < b->nextDueMs; });
    for (SimTimer* timer : due) {
        FireTimer(timer->id);
        // However many periods passed, a timer is owed one message; its phase is kept.
        const uint64_t period = std::max<uint32_t>(timer->periodMs, 1);
        timer->nextDueMs += ((nowMs - timer->nextDueMs) / period + 1) * period;
    }
}

void SimWindow::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    timers_.clear();
    queue_.RemoveMessagesFor(*this);
    dialog_->AttachWindow(nullptr);
    dialog_ = nullptr;
}

// --- Controls -------------------------------------------------------------------

std::string SimWindow::GetDlgItemText(int id) const {
    const SimControl* control = Find(id, "GetDlgItemText");
    return control ? control->text : std::string();
}

void SimWindow::SetDlgItemText(int id, std::string_view text) {
    if (SimControl* control = Find(id, "SetDlgItemText")) control->text = text;
}

void SimWindow::EnableDlgItem(int id, bool enable) {
    SimControl* control = Find(id, "EnableDlgItem");
    if (!control) return;
    control->enabled = enable;
    // A control that is disabled loses the keyboard focus.
    if (!enable && focus_ == id) focus_ = 0;
}

bool SimWindow::IsDlgItemEnabled(int id) const {
    const SimControl* control = Find(id, "IsDlgItemEnabled");
    return control && control->enabled;
}

void SimWindow::SetFocusTo(int id) {
    if (Find(id, "SetFocusTo")) focus_ = id;
}

void SimWindow::SetSliderRange(int id, int minimum, int maximum, bool redraw) {
    SimControl* slider = FindSlider(id, "SetSliderRange");
    if (!slider) return;
    slider->sliderMin = minimum;
    slider->sliderMax = maximum;
    slider->sliderPos = ClampToRange(*slider, slider->sliderPos);
    if (redraw) slider->shownPos = slider->sliderPos;
}

void SimWindow::SetSliderPos(int id, int position, bool redraw) {
    SimControl* slider = FindSlider(id, "SetSliderPos");
    if (!slider) return;
    slider->sliderPos = ClampToRange(*slider, position);
    if (redraw) slider->shownPos = slider->sliderPos;
}

int SimWindow::GetSliderPos(int id) const {
    const SimControl* control = Find(id, "GetSliderPos");
    return control ? control->sliderPos : 0;
}

void SimWindow::SetSliderColor(int id, std::optional<ColorRef> color) {
    if (SimControl* slider = FindSlider(id, "SetSliderColor")) slider->sliderColor = color;
}

// --- The window itself ------------------------------------------------------------

void SimWindow::SetWindowText(std::string_view text) { title_ = text; }

void SimWindow::ShowWindow(int showCommand) {
    showCalls_.push_back(showCommand);
    shown_ = showCommand != SW_HIDE;
}

Rect SimWindow::GetClientRect() const { return clientRect_; }

int SimWindow::GetSystemMetrics(int index) const {
    return index == SM_CXICON || index == SM_CYICON ? IconSize : 0;
}

// --- Timers -----------------------------------------------------------------------

void SimWindow::SetTimer(uint32_t id, uint32_t periodMs, TimerProc proc) {
    timerCalls_.push_back({true, id, periodMs, proc != nullptr});
    if (destroyed_) return;
    const uint64_t due = clock_.elapsedMs + std::max<uint32_t>(periodMs, 1);
    // Setting a timer that exists restarts it with the new period and procedure.
    for (SimTimer& timer : timers_)
        if (timer.id == id) {
            timer = {id, periodMs, std::move(proc), due};
            return;
        }
    timers_.push_back({id, periodMs, std::move(proc), due});
}

void SimWindow::KillTimer(uint32_t id) {
    timerCalls_.push_back({false, id, 0, false});
    std::erase_if(timers_, [id](const SimTimer& timer) { return timer.id == id; });
    // A killed timer's waiting message goes too.
    queue_.RemoveTimerMessages(*this, id);
}

const SimTimer& SimWindow::Timer(uint32_t id) const {
    const SimTimer* timer = FindTimer(id);
    if (!timer) throw std::out_of_range("no timer " + std::to_string(id));
    return *timer;
}

void SimWindow::FireTimer(uint32_t id) {
    if (!FindTimer(id)) throw std::out_of_range("no timer " + std::to_string(id));
    if (!queue_.HasTimerMessage(*this, id)) queue_.Post(*this, {WM_TIMER, id, 0}, true);
}

// --- Drawing ----------------------------------------------------------------------

DeviceContext* SimWindow::GetDC() { return graphics_.Acquire(false); }
void SimWindow::ReleaseDC(DeviceContext* dc) { graphics_.Release(dc, false); }
DeviceContext* SimWindow::BeginPaint() { return graphics_.Acquire(true); }
void SimWindow::EndPaint(DeviceContext* dc) { graphics_.Release(dc, true); }

// --- Messages ---------------------------------------------------------------------

void SimWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!destroyed_) queue_.Post(*this, {message, wParam, lParam});
}

LRESULT SimWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return destroyed_ ? 0 : dialog_->WindowProc(message, wParam, lParam);
}

LRESULT SimWindow::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    defaultProcessed_.push_back({message, wParam, lParam});
    return DefaultDialogProc(*this, message, wParam, lParam);
}

void SimWindow::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

// --- The user's side ----------------------------------------------------------------

bool SimWindow::Click(int id) {
    const SimControl& button = Control(id);
    if (button.cls != res::ControlClass::Button)
        throw std::invalid_argument("control " + std::to_string(id) + " is not a button");
    if (!button.enabled || inputBlocked_) return false;
    // Pressing a button takes the focus, before the dialog hears of the click.
    focus_ = id;
    PostMessage(WM_COMMAND, MakeCommand(id, BN_CLICKED), 0);
    return true;
}

bool SimWindow::Type(int id, std::string_view text) {
    SimControl& edit = ControlForUser(id);
    if (edit.cls != res::ControlClass::Edit)
        throw std::invalid_argument("control " + std::to_string(id) + " is not an edit");
    if (!edit.enabled || (edit.style & res::ReadOnly) || inputBlocked_) return false;
    focus_ = id;
    edit.text = text;
    return true;
}

bool SimWindow::DragSlider(int id, int position) {
    SimControl& slider = ControlForUser(id);
    if (slider.cls != res::ControlClass::Slider)
        throw std::invalid_argument("control " + std::to_string(id) + " is not a slider");
    if (!slider.enabled || inputBlocked_) return false;
    focus_ = id;
    slider.sliderPos = slider.shownPos = ClampToRange(slider, position);
    return true;
}

bool SimWindow::RightClickSlider(int id) {
    const SimControl& slider = Control(id);
    if (slider.cls != res::ControlClass::Slider)
        throw std::invalid_argument("control " + std::to_string(id) + " is not a slider");
    if (!slider.enabled) return false;
    PostMessage(WM_CONTEXTMENU, static_cast<WPARAM>(id), 0);
    return true;
}

void SimWindow::KeyDown(WPARAM virtualKey, bool autoRepeat) {
    PostInput(WM_KEYDOWN, virtualKey, RepeatCountOne | (autoRepeat ? WasDownBefore : 0));
}

void SimWindow::KeyUp(WPARAM virtualKey) {
    PostInput(WM_KEYUP, virtualKey, RepeatCountOne | WasDownBefore | BeingReleased);
}

void SimWindow::SysKeyDown(WPARAM virtualKey) {
    PostInput(WM_SYSKEYDOWN, virtualKey, RepeatCountOne | AltHeld);
}

void SimWindow::SysKeyUp(WPARAM virtualKey) {
    PostInput(WM_SYSKEYUP, virtualKey, RepeatCountOne | AltHeld | WasDownBefore | BeingReleased);
}

void SimWindow::LButtonDown(int x, int y) {
    PostInput(WM_LBUTTONDOWN, MK_LBUTTON, MakePointLParam(x, y));
}

void SimWindow::MouseMove(int x, int y, WPARAM buttons) {
    PostInput(WM_MOUSEMOVE, buttons, MakePointLParam(x, y));
}

void SimWindow::SysCommand(WPARAM code) { PostInput(WM_SYSCOMMAND, code, 0); }

void SimWindow::PostInput(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!inputBlocked_) PostMessage(message, wParam, lParam);
}

// --- Lookup -----------------------------------------------------------------------

const SimControl& SimWindow::Control(int id) const {
    for (const SimControl& control : controls_)
        if (control.id == id) return control;
    throw std::out_of_range("dialog " + std::to_string(templateId_) + " has no control " +
                            std::to_string(id));
}

std::pair<int, int> SimWindow::SliderRange(int id) const {
    const SimControl& slider = Control(id);
    return {slider.sliderMin, slider.sliderMax};
}

SimControl& SimWindow::ControlForUser(int id) {
    return const_cast<SimControl&>(std::as_const(*this).Control(id));
}

const SimControl* SimWindow::Find(int id, const char* call) const {
    for (const SimControl& control : controls_)
        if (control.id == id) return &control;
    problems_.push_back(std::string(call) + ": no control " + std::to_string(id));
    return nullptr;
}

SimControl* SimWindow::Find(int id, const char* call) {
    return const_cast<SimControl*>(std::as_const(*this).Find(id, call));
}

SimControl* SimWindow::FindSlider(int id, const char* call) {
    SimControl* control = Find(id, call);
    if (control && control->cls != res::ControlClass::Slider) {
        problems_.push_back(std::string(call) + ": control " + std::to_string(id) + " is not a slider");
        return nullptr;
    }
    return control;
}

const SimTimer* SimWindow::FindTimer(uint32_t id) const {
    for (const SimTimer& timer : timers_)
        if (timer.id == id) return &timer;
    return nullptr;
}

void SimWindow::FocusFirstTabStop() {
    for (const SimControl& control : controls_)
        if (TakesTabStop(control)) {
            focus_ = control.id;
            return;
        }
}

}  // namespace sim
