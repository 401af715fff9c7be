// Dialog template 102: the main window, its 44 controls in template order.
#include "res/dialog_template.h"
#include "res/control_ids.h"

namespace res {
namespace {

using enum ControlClass;

constexpr uint32_t PushButton = 0;
constexpr uint32_t Label = LeftAligned | GroupStart;
constexpr uint32_t WeightSlider = Vertical | AutoTicks;
constexpr uint32_t ReadOnlyEdit = Border | ReadOnly | AutoHScroll;

constexpr ControlTemplate MainControls[] = {
    {IDC_GENERATE, Button, "Generate Mode", 125, 5, 76, 14, DefaultButton},
    {IDC_STOP, Button, "Stop", 125, 79, 76, 14, PushButton | Disabled},
    {IDC_BLOCKCOUNT, Edit, "", 171, 25, 29, 14, ReadOnlyEdit | NoTabStop},
    {IDC_ABORT, Button, "Abort", 620, 17, 31, 12, PushButton},
    {IDC_AMPLITUDE, Edit, "", 171, 45, 29, 12, Border | AutoHScroll},
    {-1, Static, "Amplitude", 125, 47, 32, 8, Label},
    {-1, Static, "BlockCount", 125, 28, 38, 8, Label},
    {IDC_MIDILOG, Edit, "", 484, 2, 122, 104,
     Border | Multiline | ReadOnly | VerticalScrollBar | AutoVScroll | AutoHScroll},
    {IDC_SLIDER_BASE, Slider, "", 307, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_2, Slider, "", 327, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_3, Slider, "", 345, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_4, Slider, "", 365, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_M2, Slider, "", 291, 6, 14, 68, WeightSlider},
    {-1, Static, "base", 307, 74, 16, 8, Label},
    {IDC_SLIDER_M3, Slider, "", 269, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_M4, Slider, "", 247, 6, 14, 68, WeightSlider},
    {-1, Static, "-2", 291, 74, 8, 8, Label},
    {-1, Static, "-4", 249, 74, 8, 8, Label},
    {-1, Static, "-3", 269, 74, 8, 8, Label},
    {-1, Static, "2", 331, 75, 8, 8, Label},
    {-1, Static, "3", 347, 75, 8, 8, Label},
    {-1, Static, "4", 367, 75, 8, 8, Label},
    {IDC_MIDI_OPEN, Button, "Midi Open", 25, 5, 42, 14, PushButton},
    {IDC_MIDI_CLOSE, Button, "Midi Close", 72, 5, 38, 14, PushButton | Disabled},
    {IDC_MIDI_DEVICE, Edit, "", 5, 5, 15, 14, Border | AutoHScroll},
    {IDC_WRITE, Button, "Write", 7, 45, 48, 14, PushButton},
    {IDC_WRITE_STOP, Button, "Write Stop", 7, 65, 48, 14, PushButton | Disabled},
    {IDC_PLAY, Button, "Play Writen", 60, 45, 49, 14, PushButton},
    {IDC_RESET_SOUND, Button, "Reset Sound", 7, 90, 48, 14, PushButton},
    {IDC_CLOSE, Button, "X", 636, 0, 15, 12, PushButton},
    {IDC_STOP_PLAYING, Button, "Stop Playing", 60, 65, 49, 14, PushButton | Disabled},
    {IDC_STATUS, Edit, "", 7, 23, 103, 14, ReadOnlyEdit},
    {-1, Static, "Freq", 127, 63, 15, 8, Label},
    {IDC_FREQ, Edit, "", 171, 60, 29, 14, ReadOnlyEdit},
    {IDC_HIDE, Button, "H", 619, 0, 15, 12, PushButton | Disabled},
    {IDC_SLIDER_RELEASE, Slider, "", 123, 99, 79, 10, Horizontal | NoTicks | BothSidedThumb},
    {IDC_SLIDER_5, Slider, "", 381, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_6, Slider, "", 399, 6, 14, 68, WeightSlider},
    {-1, Static, "5", 383, 75, 8, 8, Label},
    {-1, Static, "6", 401, 75, 8, 8, Label},
    {IDC_SLIDER_M5, Slider, "", 229, 6, 14, 68, WeightSlider},
    {IDC_SLIDER_M6, Slider, "", 212, 7, 14, 68, WeightSlider},
    {-1, Static, "-5", 231, 75, 8, 8, Label},
    {-1, Static, "-6", 215, 75, 8, 8, Label},
};

}  // namespace

const DialogTemplate MainDialogTemplate = {
    MainDialogId, "", 0, 0, 651, 169, "MS Sans Serif", 8,
    Popup | ModalFrame | VisibleAtCreation | AppWindow, MainControls};

}  // namespace res
