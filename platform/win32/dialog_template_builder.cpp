#include "platform/win32/dialog_template_builder.h"

#include "platform/win32/windows_api.h"



#include "platform/win32/wide_text.h"

namespace platform::win32 {
namespace {

// The system's atoms for the predefined control classes.
constexpr uint16_t ButtonAtom = 0x0080;
constexpr uint16_t EditAtom = 0x0081;
constexpr uint16_t StaticAtom = 0x0082;
constexpr uint16_t OrdinalMark = 0xFFFF;  // the next word is a number, not a string

class TemplateWriter {
public:
    void Word(uint16_t word) { words_.push_back(word); }
    void DoubleWord(uint32_t value) {
        Word(static_cast<uint16_t>(value & 0xFFFF));
        Word(static_cast<uint16_t>(value >> 16));
    }
    void String(const char* text) {
        for (wchar_t c : Widen(text ? text : "")) Word(static_cast<uint16_t>(c));
        Word(0);
    }
    void Ordinal(uint16_t number) {
        Word(OrdinalMark);
        Word(number);
    }
    // Each control's header starts on a DWORD boundary of the template.
    void AlignToDoubleWord() {
        if (words_.size() % 2 != 0) Word(0);
    }
    std::vector<uint16_t> Take() { return std::move(words_); }

private:
    std::vector<uint16_t> words_;
};

uint32_t TabStop(const res::ControlTemplate& control) {
    return (control.style & res::NoTabStop) ? 0 : WS_TABSTOP;
}

void WriteControl(TemplateWriter& out, const res::ControlTemplate& control) {
    out.AlignToDoubleWord();
    out.DoubleWord(ControlWindowStyle(control));
    out.DoubleWord(0);
    out.Word(static_cast<uint16_t>(control.x));
    out.Word(static_cast<uint16_t>(control.y));
    out.Word(static_cast<uint16_t>(control.cx));
    out.Word(static_cast<uint16_t>(control.cy));
    out.Word(static_cast<uint16_t>(control.id));  // -1 is the labels' 0xFFFF
    switch (control.cls) {
        case res::ControlClass::Button: out.Ordinal(ButtonAtom); break;
        case res::ControlClass::Edit: out.Ordinal(EditAtom); break;
        case res::ControlClass::Static:
        case res::ControlClass::Icon: out.Ordinal(StaticAtom); break;
        case res::ControlClass::Slider: out.String("msctls_trackbar32"); break;
    }
    if (control.cls == res::ControlClass::Icon) {
        out.Ordinal(static_cast<uint16_t>(res::ApplicationIconId));
    } else {
        out.String(control.caption);
    }
    out.Word(0);  // no creation data
}

}  // namespace

uint32_t ControlWindowStyle(const res::ControlTemplate& control) {
    const uint32_t s = control.style;
    uint32_t style = WS_CHILD | WS_VISIBLE;
    if (s & res::Disabled) style |= WS_DISABLED;
    if (s & res::GroupStart) style |= WS_GROUP;
    if (s & res::Border) style |= WS_BORDER;
    switch (control.cls) {
        case res::ControlClass::Button:
            style |= TabStop(control) | ((s & res::DefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case res::ControlClass::Edit:
            style |= TabStop(control) | ES_LEFT;
            if (s & res::ReadOnly) style |= ES_READONLY;
            if (s & res::Multiline) style |= ES_MULTILINE;
            if (s & res::VerticalScrollBar) style |= WS_VSCROLL;
            if (s & res::AutoHScroll) style |= ES_AUTOHSCROLL;
            if (s & res::AutoVScroll) style |= ES_AUTOVSCROLL;
            break;
        case res::ControlClass::Static:
            style |= SS_LEFT;
            break;
        case res::ControlClass::Icon:
            style |= SS_ICON;
            break;
        case res::ControlClass::Slider:
            style |= TabStop(control);
            style |= (s & res::Vertical) ? TBS_VERT : TBS_HORZ;
            if (s & res::AutoTicks) style |= TBS_AUTOTICKS;
            if (s & res::NoTicks) style |= TBS_NOTICKS;
            if (s & res::BothSidedThumb) style |= TBS_BOTH;
            break;
    }
    return style;
}

uint32_t DialogWindowStyle(const res::DialogTemplate& dialogTemplate) {
    const uint32_t s = dialogTemplate.style;
    uint32_t style = DS_SETFONT;
    if (s & res::Popup) style |= WS_POPUP;
    if (s & res::CaptionBar) style |= WS_CAPTION | DS_CENTER;
    if (s & res::SystemMenu) style |= WS_SYSMENU;
    if (s & res::ModalFrame) style |= DS_MODALFRAME;
    return style;
}

uint32_t DialogExtendedStyle(const res::DialogTemplate& dialogTemplate) {
    return (dialogTemplate.style & res::AppWindow) ? WS_EX_APPWINDOW : 0;
}

std::vector<uint16_t> BuildDialogTemplate(const res::DialogTemplate& dialogTemplate) {
    TemplateWriter out;
    out.DoubleWord(DialogWindowStyle(dialogTemplate));
    out.DoubleWord(DialogExtendedStyle(dialogTemplate));
    out.Word(static_cast<uint16_t>(dialogTemplate.controls.size()));
    out.Word(static_cast<uint16_t>(dialogTemplate.x));
    out.Word(static_cast<uint16_t>(dialogTemplate.y));
    out.Word(static_cast<uint16_t>(dialogTemplate.cx));
    out.Word(static_cast<uint16_t>(dialogTemplate.cy));
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.String(dialogTemplate.caption);
    out.Word(static_cast<uint16_t>(dialogTemplate.pointSize));
    out.String(dialogTemplate.font);
    for (const res::ControlTemplate& control : dialogTemplate.controls) WriteControl(out, control);
    return out.Take();
}

}  // namespace platform::win32
