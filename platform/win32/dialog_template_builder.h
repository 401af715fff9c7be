#pragma once
// A dialog template from res/ as Windows reads it: an in-memory DLGTEMPLATE with the
// template's font, so that the dialog manager converts dialog units to pixels exactly
// as it does for a template compiled into the program.
#include <cstdint>
#include <vector>

#include "res/dialog_template.h"

namespace platform::win32 {

// The template's words, DWORD-aligned where Windows wants them; the window is left
// hidden at creation (the modal loop shows it once the dialog has started), and a
// window with a caption bar is centred on the screen.
std::vector<uint16_t> BuildDialogTemplate(const res::DialogTemplate& dialogTemplate);

// Window styles of a control as its template describes it.
uint32_t ControlWindowStyle(const res::ControlTemplate& control);
// Window styles of the dialog itself, and its extended styles.
uint32_t DialogWindowStyle(const res::DialogTemplate& dialogTemplate);
uint32_t DialogExtendedStyle(const res::DialogTemplate& dialogTemplate);

}  // namespace platform::win32
