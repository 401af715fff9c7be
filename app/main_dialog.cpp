#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"

namespace app {

using namespace platform;
using namespace res;

namespace {

constexpr int32_t HideAtStart = 1;  // only exactly 1 hides the window at start
constexpr WPARAM AboutCommandFirst = 0x0010;
constexpr WPARAM SystemCommandMask = 0xFFF0;
constexpr int AnyId = -1;

}  // namespace

MainDialog::MainDialog(Platform& platform, ProgramState& state)
    : Dialog(MainDialogTemplate),
      icon(ApplicationIconId),
      platform_(platform),
      state_(state),
      engine_(state.engine) {}

// The routing table: the first entry that matches the message (and, for WM_COMMAND,
// the control id with the BN_CLICKED code) takes it; the rest get default processing.
struct MainDialog::Route {
    UINT message;
    int id;
    LRESULT (MainDialog::*handler)(WPARAM, LPARAM);
};

template <void (MainDialog::*Handler)()>
LRESULT MainDialog::Command(WPARAM, LPARAM) {
    (this->*Handler)();
    return 0;
}

const MainDialog::Route MainDialog::Routes[] = {
    {WM_SYSCOMMAND, AnyId, &MainDialog::OnSysCommand},
    {WM_PAINT, AnyId, &MainDialog::OnPaint},
    {WM_QUERYDRAGICON, AnyId, &MainDialog::OnQueryDragIcon},
    {WM_CLOSE, AnyId, &MainDialog::Command<&MainDialog::RequestClose>},
    {WM_COMMAND, IDC_STOP, &MainDialog::Command<&MainDialog::StopOutput>},
    {WM_CREATE, AnyId, &MainDialog::OnCreate},
    {WM_COMMAND, IDC_ABORT, &MainDialog::Command<&MainDialog::AbortAndExit>},
    {WM_TIMER, AnyId, &MainDialog::RefreshParameters},
    {WM_COMMAND, IDC_MIDI_CLOSE, &MainDialog::Command<&MainDialog::CloseMidiInput>},
    {WM_COMMAND, IDC_MIDI_OPEN, &MainDialog::Command<&MainDialog::OpenMidiInput>},
    {WM_COMMAND, IDC_RESET_SOUND, &MainDialog::Command<&MainDialog::ResetSound>},
    {WM_MOVE, AnyId, &MainDialog::OnMove},
    {WM_COMMAND, IDC_CLOSE, &MainDialog::Command<&MainDialog::RequestClose>},
    {WM_CHAR, AnyId, &MainDialog::OnChar},
    {WM_COMMAND, IDC_HIDE, &MainDialog::Command<&MainDialog::HideMainWindow>},
    {WM_COMMAND, IDOK, &MainDialog::Command<&MainDialog::OnOK>},
    {WM_COMMAND, IDCANCEL, &MainDialog::Command<&MainDialog::OnCancel>},
    {WM_COMMAND, IDC_WRITE, &MainDialog::Command<&MainDialog::StartRecording>},
    {WM_COMMAND, IDC_WRITE_STOP, &MainDialog::Command<&MainDialog::StopRecording>},
    {WM_COMMAND, IDC_PLAY, &MainDialog::Command<&MainDialog::StartPlayback>},
    {WM_COMMAND, IDC_STOP_PLAYING, &MainDialog::Command<&MainDialog::StopPlayback>},
    {WM_LBUTTONDOWN, AnyId, &MainDialog::OnLButtonDown},
    {WM_MOUSEMOVE, AnyId, &MainDialog::OnMouseMove},
    {WM_ACTIVATE, AnyId, &MainDialog::OnActivate},
    {WM_ENDSESSION, AnyId, &MainDialog::OnEndSession},
    {WM_SAVESETTINGS, AnyId, &MainDialog::OnSaveSettings},
    {WM_CONTEXTMENU, AnyId, &MainDialog::OnContextMenu},
};

// A button's click runs its handler only while the button is enabled, however the click
// arrives: taken in before an earlier click disabled the button, or posted from outside.
// "H" is exempt: it is never enabled, and its command is there to be sent.
bool MainDialog::ClickAllowed(WPARAM wParam) const {
    const int id = CommandId(wParam);
    if (CommandCode(wParam) != BN_CLICKED || id == IDC_HIDE) return true;
    for (const ControlTemplate& control : Template().controls)
        if (control.id == id && control.cls == ControlClass::Button)
            return GetWindow().IsDlgItemEnabled(id);
    return true;  // no button of the window: IDCANCEL
}

LRESULT MainDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && !ClickAllowed(wParam)) return 0;
    for (const Route& route : Routes) {
        if (route.message != message) continue;
        if (message == WM_COMMAND &&
            (CommandCode(wParam) != BN_CLICKED || CommandId(wParam) != route.id))
            continue;
        return (this->*route.handler)(wParam, lParam);
    }
    return GetWindow().DefWindowProc(message, wParam, lParam);
}

// MIDI data is handled here and then, like every message, goes on to the routing table.
LRESULT MainDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MIM_DATA) OnMidiData(lParam);
    return Dispatch(message, wParam, lParam);
}

// Sees every message first. Nothing is ever swallowed and the dialog manager never
// sees keys, so Tab, Enter and Esc do nothing to the dialog itself.
bool MainDialog::PreTranslateMessage(const Message& msg) {
    if (msg.message == MM_WOM_DONE) OnBlockDone(msg.lParam);
    OnKeyMessage(msg);
    return false;
}

bool MainDialog::OnInitDialog() {
    UpdateData(false);
    OnOK();  // the output streams before anything else is set up
    SetSliderRanges();
    LoadSliderPositions();
    LoadControllerBindings();
    GetWindow().SetTimer(0, 500);
    GetWindow().SetTimer(1, 100);
    OpenMidiInput();  // device 0: the device-index field is still empty
    GetWindow().SetWindowText("Kelvarin");
    if (state_.settings.ReadSettingInt("HideWindow") == HideAtStart)
        GetWindow().ShowWindow(SW_HIDE);
    return false;  // the focus is where the output's or the MIDI input's start put it
}

void MainDialog::FocusStatusEdit() { GetWindow().SetFocusTo(IDC_STATUS); }

LRESULT MainDialog::OnSysCommand(WPARAM wParam, LPARAM lParam) {
    if ((wParam & SystemCommandMask) == AboutCommandFirst) {
        AboutDialog about;
        platform_.RunModal(about);
        return 0;
    }
    return GetWindow().DefWindowProc(WM_SYSCOMMAND, wParam, lParam);
}

LRESULT MainDialog::OnCreate(WPARAM wParam, LPARAM lParam) {
    return GetWindow().DefWindowProc(WM_CREATE, wParam, lParam) == -1 ? -1 : 0;
}

LRESULT MainDialog::OnMove(WPARAM, LPARAM) { return 0; }

LRESULT MainDialog::OnChar(WPARAM wParam, LPARAM lParam) {
    return GetWindow().DefWindowProc(WM_CHAR, wParam, lParam);
}

// Leaves at once: no saving, no draining; queued blocks are abandoned with the window.
void MainDialog::AbortAndExit() {
    CloseMidiInput();
    if (UpdateData(true)) GetWindow().EndDialog(IDOK);
}

// The session ends (the display is gone) and the process with it, at once: there is
// no time to let the queued audio play, but the sliders are saved.
LRESULT MainDialog::OnEndSession(WPARAM ending, LPARAM) {
    if (ending != 0) SaveSettingsAndExit();
    return 0;
}

void MainDialog::HideMainWindow() {
    state_.settings.WriteSettingInt(1, "HideWindow");
    GetWindow().ShowWindow(SW_HIDE);
}

void MainDialog::OnCancel() { GetWindow().EndDialog(IDCANCEL); }

}  // namespace app
