// The two windows as the user sees them: every control's id, class, caption, place,
// size and style, checked against the layout typed out here on its own, so that a
// renamed button or a moved slider shows up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/dialog_template.h"

namespace {

using namespace res;
using C = ControlClass;

constexpr uint32_t Label = LeftAligned | GroupStart;
constexpr uint32_t WeightSlider = Vertical | AutoTicks;
constexpr uint32_t Field = Border | AutoHScroll;

struct Expected {
    int id;
    ControlClass cls;
    std::string caption;
    int x, y, cx, cy;
    uint32_t style;
};

const std::vector<Expected> MainWindowControls = {
    {1, C::Button, "Generate Mode", 125, 5, 76, 14, DefaultButton},
    {1000, C::Button, "Stop", 125, 79, 76, 14, Disabled},
    {1012, C::Edit, "", 171, 25, 29, 14, Field | ReadOnly | NoTabStop},
    {1015, C::Button, "Abort", 620, 17, 31, 12, 0},
    {1019, C::Edit, "", 171, 45, 29, 12, Field},
    {-1, C::Static, "Amplitude", 125, 47, 32, 8, Label},
    {-1, C::Static, "BlockCount", 125, 28, 38, 8, Label},
    {1044, C::Edit, "", 484, 2, 122, 104,
     Border | Multiline | ReadOnly | VerticalScrollBar | AutoVScroll | AutoHScroll},
    {1045, C::Slider, "", 307, 6, 14, 68, WeightSlider},
    {1046, C::Slider, "", 327, 6, 14, 68, WeightSlider},
    {1047, C::Slider, "", 345, 6, 14, 68, WeightSlider},
    {1048, C::Slider, "", 365, 6, 14, 68, WeightSlider},
    {1049, C::Slider, "", 291, 6, 14, 68, WeightSlider},
    {-1, C::Static, "base", 307, 74, 16, 8, Label},
    {1050, C::Slider, "", 269, 6, 14, 68, WeightSlider},
    {1051, C::Slider, "", 247, 6, 14, 68, WeightSlider},
    {-1, C::Static, "-2", 291, 74, 8, 8, Label},
    {-1, C::Static, "-4", 249, 74, 8, 8, Label},
    {-1, C::Static, "-3", 269, 74, 8, 8, Label},
    {-1, C::Static, "2", 331, 75, 8, 8, Label},
    {-1, C::Static, "3", 347, 75, 8, 8, Label},
    {-1, C::Static, "4", 367, 75, 8, 8, Label},
    {1052, C::Button, "Midi Open", 25, 5, 42, 14, 0},
    {1053, C::Button, "Midi Close", 72, 5, 38, 14, Disabled},
    {1054, C::Edit, "", 5, 5, 15, 14, Field},
    {1055, C::Button, "Write", 7, 45, 48, 14, 0},
    {1056, C::Button, "Write Stop", 7, 65, 48, 14, Disabled},
    {1057, C::Button, "Play Writen", 60, 45, 49, 14, 0},
    {1058, C::Button, "Reset Sound", 7, 90, 48, 14, 0},
    {1060, C::Button, "X", 636, 0, 15, 12, 0},
    {1061, C::Button, "Stop Playing", 60, 65, 49, 14, Disabled},
    {1063, C::Edit, "", 7, 23, 103, 14, Field | ReadOnly},
    {-1, C::Static, "Freq", 127, 63, 15, 8, Label},
    {1065, C::Edit, "", 171, 60, 29, 14, Field | ReadOnly},
    {1062, C::Button, "H", 619, 0, 15, 12, Disabled},
    {1067, C::Slider, "", 123, 99, 79, 10, Horizontal | NoTicks | BothSidedThumb},
    {1059, C::Slider, "", 381, 6, 14, 68, WeightSlider},
    {1064, C::Slider, "", 399, 6, 14, 68, WeightSlider},
    {-1, C::Static, "5", 383, 75, 8, 8, Label},
    {-1, C::Static, "6", 401, 75, 8, 8, Label},
    {1066, C::Slider, "", 229, 6, 14, 68, WeightSlider},
    {1068, C::Slider, "", 212, 7, 14, 68, WeightSlider},
    {-1, C::Static, "-5", 231, 75, 8, 8, Label},
    {-1, C::Static, "-6", 215, 75, 8, 8, Label},
};

std::string Describe(const ControlTemplate& c) {
    return std::to_string(c.id) + " \"" + c.caption + "\" at " + std::to_string(c.x) + "," +
           std::to_string(c.y) + " " + std::to_string(c.cx) + "x" + std::to_string(c.cy) +
           " style " + std::to_string(c.style);
}

void ExpectControls(const DialogTemplate& dialog, const std::vector<Expected>& expected,
                    uint32_t styleBits) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ControlTemplate& c = dialog.controls[i];
        const Expected& e = expected[i];
        EXPECT_EQ(c.id, e.id) << "control " << i;
        EXPECT_EQ(c.cls, e.cls) << Describe(c);
        EXPECT_EQ(c.caption, e.caption) << Describe(c);
        EXPECT_EQ((std::vector{c.x, c.y, c.cx, c.cy}), (std::vector{e.x, e.y, e.cx, e.cy})) << Describe(c);
        EXPECT_EQ(c.style & styleBits, e.style) << Describe(c);
    }
}

}  // namespace

TEST(DialogTemplates, TheMainWindowHasEveryControlInItsPlaceInTabOrder) {
    const DialogTemplate& main = MainDialogTemplate;
    EXPECT_EQ(main.resourceId, 102);
    EXPECT_EQ(std::string(main.caption), "");
    EXPECT_EQ((std::vector{main.x, main.y, main.cx, main.cy}), (std::vector{0, 0, 651, 169}));
    EXPECT_EQ(std::string(main.font), "MS Sans Serif");
    EXPECT_EQ(main.pointSize, 8);
    // No caption bar and no system menu: "X" and "H" stand in for them.
    EXPECT_EQ(main.style, Popup | ModalFrame | VisibleAtCreation | AppWindow);
    ExpectControls(main, MainWindowControls, ~0u);
}

TEST(DialogTemplates, TheAboutBoxShowsTheIconTheVersionAndOk) {
    const DialogTemplate& about = AboutDialogTemplate;
    EXPECT_EQ(about.resourceId, 100);
    EXPECT_EQ(std::string(about.caption), "About Sonderel");
    EXPECT_EQ((std::vector{about.cx, about.cy}), (std::vector{235, 55}));
    EXPECT_EQ(std::string(about.font), "MS Sans Serif");
    EXPECT_EQ(about.pointSize, 8);
    EXPECT_EQ(about.style, Popup | CaptionBar | SystemMenu | ModalFrame);
    ExpectControls(about,
                   {{-1, C::Icon, "", 11, 17, 20, 20, 0},
                    {-1, C::Static, "Sonderel Version 1.0", 40, 10, 119, 8, LeftAligned},
                    {1, C::Button, "OK", 178, 7, 50, 14, DefaultButton}},
                   DefaultButton | Disabled | LeftAligned);
}
