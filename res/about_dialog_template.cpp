// Dialog template 100: the About box.
#include "res/dialog_template.h"

namespace res {
namespace {

constexpr ControlTemplate AboutControls[] = {
    {-1, ControlClass::Icon, "", 11, 17, 20, 20, 0},
    {-1, ControlClass::Static, "Sonderel Version 1.0", 40, 10, 119, 8, LeftAligned | GroupStart},
    {1, ControlClass::Button, "OK", 178, 7, 50, 14, DefaultButton | GroupStart},
};

}  // namespace

const DialogTemplate AboutDialogTemplate = {
    AboutDialogId, "About Sonderel", 0, 0, 235, 55, "MS Sans Serif", 8,
    Popup | CaptionBar | SystemMenu | ModalFrame, AboutControls};

}  // namespace res
