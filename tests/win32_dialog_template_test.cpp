// The dialog templates as Windows' dialog manager reads them: the in-memory DLGTEMPLATE
// made from res/, read back here field by field as the system reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/dialog_template_builder.h"
#include "platform/win32/windows_api.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"

namespace {

using platform::win32::BuildDialogTemplate;
using platform::win32::ControlWindowStyle;
using platform::win32::DialogWindowStyle;

// A class or title field: a string, or 0xFFFF and a number.
struct Field {
    std::wstring text;
    int ordinal = -1;
};

struct ReadControl {
    uint32_t style;
    int x, y, cx, cy;
    uint16_t id;
    Field windowClass;
    Field title;
};

struct ReadTemplate {
    uint32_t style, extendedStyle;
    int x, y, cx, cy;
    std::wstring caption;
    int pointSize;
    std::wstring font;
    std::vector<ReadControl> controls;
};

class Reader {
public:
    explicit Reader(const std::vector<uint16_t>& words) : words_(words) {}
    uint16_t Word() { return words_.at(at_++); }
    uint32_t DoubleWord() {
        const uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }
    std::wstring String() {
        std::wstring text;
        while (const uint16_t c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
    Field ClassOrTitle() {
        if (words_.at(at_) == 0xFFFF) {
            ++at_;
            return {{}, Word()};
        }
        return {String()};
    }
    size_t At() const { return at_; }
    void Align() { at_ += at_ % 2; }

private:
    const std::vector<uint16_t>& words_;
    size_t at_ = 0;
};

ReadTemplate Read(const std::vector<uint16_t>& words) {
    Reader in(words);
    ReadTemplate t{};
    t.style = in.DoubleWord();
    t.extendedStyle = in.DoubleWord();
    const int count = in.Word();
    t.x = in.Word(), t.y = in.Word(), t.cx = in.Word(), t.cy = in.Word();
    EXPECT_EQ(in.Word(), 0) << "a menu";
    EXPECT_EQ(in.Word(), 0) << "a dialog class of its own";
    t.caption = in.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = in.Word();
        t.font = in.String();
    }
    for (int i = 0; i < count; ++i) {
        in.Align();
        ReadControl c{};
        c.style = in.DoubleWord();
        EXPECT_EQ(in.DoubleWord(), 0u) << "extended style of control " << i;
        c.x = in.Word(), c.y = in.Word(), c.cx = in.Word(), c.cy = in.Word();
        c.id = in.Word();
        c.windowClass = in.ClassOrTitle();
        c.title = in.ClassOrTitle();
        EXPECT_EQ(in.Word(), 0) << "creation data of control " << i;
        t.controls.push_back(c);
    }
    EXPECT_EQ(in.At(), words.size()) << "words after the last control";
    return t;
}

// Each control's window style, typed from the design's table of controls: every control a
// visible child; every button, slider and edit but 1012 with a tab stop; every edit
// left-aligned with a border; every label left-aligned and starting a group.
uint32_t DesignedStyle(int id) {
    constexpr uint32_t Child = WS_CHILD | WS_VISIBLE;
    constexpr uint32_t Button = Child | WS_TABSTOP | BS_PUSHBUTTON;
    constexpr uint32_t Edit = Child | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
    constexpr uint32_t WeightSlider = Child | WS_TABSTOP | TBS_VERT | TBS_AUTOTICKS;
    switch (id) {
        case res::IDC_GENERATE: return Child | WS_TABSTOP | BS_DEFPUSHBUTTON;
        case res::IDC_STOP:
        case res::IDC_MIDI_CLOSE:
        case res::IDC_WRITE_STOP:
        case res::IDC_STOP_PLAYING:
        case res::IDC_HIDE: return Button | WS_DISABLED;
        case res::IDC_ABORT:
        case res::IDC_MIDI_OPEN:
        case res::IDC_WRITE:
        case res::IDC_PLAY:
        case res::IDC_RESET_SOUND:
        case res::IDC_CLOSE: return Button;
        case res::IDC_BLOCKCOUNT: return (Edit & ~WS_TABSTOP) | ES_READONLY;
        case res::IDC_AMPLITUDE:
        case res::IDC_MIDI_DEVICE: return Edit;
        case res::IDC_STATUS:
        case res::IDC_FREQ: return Edit | ES_READONLY;
        case res::IDC_MIDILOG: return Edit | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL;
        case res::IDC_SLIDER_RELEASE: return Child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS | TBS_BOTH;
        case -1: return Child | WS_GROUP | SS_LEFT;
        default: return WeightSlider;  // the eleven weights
    }
}

TEST(Win32DialogTemplate, TheMainDialogCarriesItsFontSizeAndEveryControlInOrder) {
    const res::DialogTemplate& main = res::MainDialogTemplate;
    const ReadTemplate t = Read(BuildDialogTemplate(main));
    EXPECT_TRUE(t.style & DS_SETFONT) << "without it dialog units follow the system font";
    EXPECT_EQ(t.font, L"MS Sans Serif");
    EXPECT_EQ(t.pointSize, main.pointSize);
    EXPECT_EQ(t.cx, main.cx);
    EXPECT_EQ(t.cy, main.cy);
    EXPECT_EQ(t.caption, L"");
    ASSERT_EQ(t.controls.size(), main.controls.size());
    for (size_t i = 0; i < t.controls.size(); ++i) {
        const res::ControlTemplate& want = main.controls[i];
        const ReadControl& got = t.controls[i];
        EXPECT_EQ(got.id, static_cast<uint16_t>(want.id)) << i;
        EXPECT_EQ(got.x, want.x) << i;
        EXPECT_EQ(got.y, want.y) << i;
        EXPECT_EQ(got.cx, want.cx) << i;
        EXPECT_EQ(got.cy, want.cy) << i;
        EXPECT_EQ(got.style, DesignedStyle(want.id)) << i;
        const std::string caption = want.caption;
        EXPECT_EQ(got.title.text, std::wstring(caption.begin(), caption.end())) << i;
        switch (want.cls) {
            case res::ControlClass::Button: EXPECT_EQ(got.windowClass.ordinal, 0x80) << i; break;
            case res::ControlClass::Edit: EXPECT_EQ(got.windowClass.ordinal, 0x81) << i; break;
            case res::ControlClass::Static: EXPECT_EQ(got.windowClass.ordinal, 0x82) << i; break;
            case res::ControlClass::Slider:
                EXPECT_EQ(got.windowClass.text, TRACKBAR_CLASSW) << i;
                break;
            case res::ControlClass::Icon: ADD_FAILURE() << "an icon in the main dialog"; break;
        }
    }
}

TEST(Win32DialogTemplate, TheAboutBoxShowsTheApplicationIconFromItsResource) {
    const ReadTemplate t = Read(BuildDialogTemplate(res::AboutDialogTemplate));
    EXPECT_EQ(t.caption, L"About Sonderel");
    ASSERT_FALSE(t.controls.empty());
    const ReadControl& icon = t.controls.front();
    EXPECT_EQ(icon.windowClass.ordinal, 0x82);
    EXPECT_EQ(icon.style & SS_TYPEMASK, static_cast<uint32_t>(SS_ICON));
    EXPECT_EQ(icon.title.ordinal, res::ApplicationIconId);
}

TEST(Win32DialogTemplate, NoWindowIsVisibleAtCreationAndAFramedOneIsCentred) {
    EXPECT_FALSE(DialogWindowStyle(res::MainDialogTemplate) & WS_VISIBLE);
    EXPECT_FALSE(DialogWindowStyle(res::MainDialogTemplate) & WS_CAPTION);
    EXPECT_TRUE(DialogWindowStyle(res::AboutDialogTemplate) & WS_CAPTION);
    EXPECT_TRUE(DialogWindowStyle(res::AboutDialogTemplate) & DS_CENTER);
    EXPECT_TRUE(DialogWindowStyle(res::AboutDialogTemplate) & WS_SYSMENU);
    EXPECT_TRUE(DialogWindowStyle(res::MainDialogTemplate) & DS_MODALFRAME);
    EXPECT_TRUE(platform::win32::DialogExtendedStyle(res::MainDialogTemplate) & WS_EX_APPWINDOW);
    EXPECT_FALSE(platform::win32::DialogExtendedStyle(res::AboutDialogTemplate) & WS_EX_APPWINDOW);
}

const res::ControlTemplate& Control(int id) {
    for (const res::ControlTemplate& control : res::MainDialogTemplate.controls)
        if (control.id == id) return control;
    throw std::out_of_range("no control " + std::to_string(id));
}

TEST(Win32DialogTemplate, ControlsTakeTheSystemsStylesForWhatTheTemplateSays) {
    const uint32_t weight = ControlWindowStyle(Control(res::IDC_SLIDER_BASE));
    EXPECT_EQ(weight & (TBS_VERT | TBS_AUTOTICKS | TBS_NOTICKS | WS_TABSTOP),
              static_cast<uint32_t>(TBS_VERT | TBS_AUTOTICKS | WS_TABSTOP));
    const uint32_t release = ControlWindowStyle(Control(res::IDC_SLIDER_RELEASE));
    EXPECT_EQ(release & (TBS_VERT | TBS_NOTICKS | TBS_BOTH), static_cast<uint32_t>(TBS_NOTICKS | TBS_BOTH));
    const uint32_t blockCount = ControlWindowStyle(Control(res::IDC_BLOCKCOUNT));
    EXPECT_EQ(blockCount & (ES_READONLY | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP),
              static_cast<uint32_t>(ES_READONLY | WS_BORDER | ES_AUTOHSCROLL));
    const uint32_t log = ControlWindowStyle(Control(res::IDC_MIDILOG));
    EXPECT_EQ(log & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL),
              static_cast<uint32_t>(ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL));
    EXPECT_EQ(ControlWindowStyle(Control(res::IDC_GENERATE)) & BS_TYPEMASK,
              static_cast<uint32_t>(BS_DEFPUSHBUTTON));
    const uint32_t stop = ControlWindowStyle(Control(res::IDC_STOP));
    EXPECT_EQ(stop & BS_TYPEMASK, static_cast<uint32_t>(BS_PUSHBUTTON));
    EXPECT_TRUE(stop & WS_DISABLED);
    EXPECT_FALSE(ControlWindowStyle(Control(res::IDC_GENERATE)) & WS_DISABLED);
    for (const res::ControlTemplate& control : res::MainDialogTemplate.controls) {
        const uint32_t style = ControlWindowStyle(control);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE));
        if (control.cls == res::ControlClass::Static) {
            EXPECT_FALSE(style & WS_TABSTOP) << control.caption;
            EXPECT_TRUE(style & WS_GROUP) << control.caption;
        }
    }
}

}  // namespace
