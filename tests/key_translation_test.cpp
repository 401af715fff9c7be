// The desktop's keys as the dialog hears them: FLTK's key codes become Windows'
// virtual-key codes, keypad keys included whatever NumLock says.
#include <gtest/gtest.h>

#include <FL/Enumerations.H>

#include "platform/desktop/window/key_translation.h"

namespace platform::desktop {
namespace {

TEST(KeyTranslation, KeysBecomeTheirVirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyFor('q', 'q'), WPARAM{'Q'});
    EXPECT_EQ(VirtualKeyFor('m', 'm'), WPARAM{'M'});
    EXPECT_EQ(VirtualKeyFor('2', '2'), WPARAM{'2'});
    EXPECT_EQ(VirtualKeyFor(FL_Tab, FL_Tab), VK_TAB);
    EXPECT_EQ(VirtualKeyFor(FL_Enter, FL_Enter), VK_RETURN);
    EXPECT_EQ(VirtualKeyFor(FL_BackSpace, FL_BackSpace), VK_BACK);
    EXPECT_EQ(VirtualKeyFor(FL_Delete, FL_Delete), VK_DELETE);
    EXPECT_EQ(VirtualKeyFor(FL_End, FL_End), VK_END);
    EXPECT_EQ(VirtualKeyFor(FL_Home, FL_Home), VK_HOME);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Down, FL_Page_Down), VK_NEXT);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Up, FL_Page_Up), VK_PRIOR);
    EXPECT_EQ(VirtualKeyFor(FL_Left, FL_Left), VK_LEFT);
    EXPECT_EQ(VirtualKeyFor(FL_Right, FL_Right), VK_RIGHT);
    EXPECT_EQ(VirtualKeyFor('[', '['), VK_OEM_4);
    EXPECT_EQ(VirtualKeyFor('=', '='), VK_OEM_PLUS);
    EXPECT_EQ(VirtualKeyFor(']', ']'), VK_OEM_6);
    EXPECT_EQ(VirtualKeyFor('\\', '\\'), VK_OEM_5);
    EXPECT_EQ(VirtualKeyFor(FL_Escape, FL_Escape), VK_ESCAPE);
}

TEST(KeyTranslation, KeypadKeysKeepTheirCodesWithNumLockOff) {
    // With NumLock off, keypad 7 reports Home and only its original key tells it apart.
    EXPECT_EQ(VirtualKeyFor(FL_Home, FL_KP + '7'), VK_NUMPAD7);
    EXPECT_EQ(VirtualKeyFor(FL_Up, FL_KP + '8'), VK_NUMPAD8);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Up, FL_KP + '9'), VK_NUMPAD9);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '7', FL_KP + '7'), VK_NUMPAD7);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '/', FL_KP + '/'), VK_DIVIDE);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '*', FL_KP + '*'), VK_MULTIPLY);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '+', FL_KP + '+'), VK_ADD);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '-', FL_KP + '-'), VK_SUBTRACT);
}

}  // namespace
}  // namespace platform::desktop
