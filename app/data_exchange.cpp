// The dialog's data exchange: bound fields to members and back.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/main_dialog.h"
#include "res/control_ids.h"

namespace app {

using namespace res;

namespace {

bool ParseUnsigned(const std::string& text, uint32_t& value) {
    unsigned parsed = 0;
    if (std::sscanf(text.c_str(), "%u", &parsed) != 1) return false;
    value = parsed;
    return true;
}

bool ParseDouble(const std::string& text, double& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    value = parsed;
    return true;
}

std::string FormatDouble(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

}  // namespace

bool MainDialog::UpdateData(bool saveAndValidate) {
    platform::Window& window = GetWindow();
    if (!saveAndValidate) {
        window.SetDlgItemText(IDC_BLOCKCOUNT, std::to_string(blockCount));
        window.SetDlgItemText(IDC_MIDILOG, logText);
        window.SetDlgItemText(IDC_MIDI_DEVICE, deviceIndexText);
        window.SetDlgItemText(IDC_STATUS, statusText);
        window.SetDlgItemText(IDC_AMPLITUDE, amplitudeText);
        window.SetDlgItemText(IDC_FREQ, FormatDouble(shownFrequency));
        return true;
    }
    if (!ParseUnsigned(window.GetDlgItemText(IDC_BLOCKCOUNT), blockCount)) return false;
    logText = window.GetDlgItemText(IDC_MIDILOG);
    deviceIndexText = window.GetDlgItemText(IDC_MIDI_DEVICE);
    statusText = window.GetDlgItemText(IDC_STATUS);
    amplitudeText = window.GetDlgItemText(IDC_AMPLITUDE);
    return ParseDouble(window.GetDlgItemText(IDC_FREQ), shownFrequency);
}

}  // namespace app
