#pragma once
// Dialog templates as data: what a platform needs to build a dialog window.
// Rectangles are in dialog units of the template's font.
#include <cstdint>
#include <span>

namespace res {

enum class ControlClass { Button, Edit, Static, Slider, Icon };

// Style flags of a control; a control is visible, and every button, slider and edit
// takes the tab stop unless NoTabStop says otherwise.
enum ControlStyle : uint32_t {
    DefaultButton = 1u << 0,
    Disabled = 1u << 1,
    ReadOnly = 1u << 2,
    Multiline = 1u << 3,
    VerticalScrollBar = 1u << 4,
    AutoHScroll = 1u << 5,
    AutoVScroll = 1u << 6,
    NoTabStop = 1u << 7,
    Border = 1u << 8,
    Vertical = 1u << 9,     // slider: vertical, its minimum at the top
    Horizontal = 1u << 10,  // slider: horizontal, its minimum at the left
    AutoTicks = 1u << 11,   // slider: tick marks
    NoTicks = 1u << 12,
    BothSidedThumb = 1u << 13,  // slider: rectangular thumb
    LeftAligned = 1u << 14,     // static text
    GroupStart = 1u << 15,
};

struct ControlTemplate {
    int id;  // -1 for labels nobody addresses
    ControlClass cls;
    const char* caption;
    int x, y, cx, cy;
    uint32_t style;
};

enum DialogStyle : uint32_t {
    Popup = 1u << 0,
    CaptionBar = 1u << 1,
    SystemMenu = 1u << 2,
    ModalFrame = 1u << 3,
    VisibleAtCreation = 1u << 4,
    AppWindow = 1u << 5,  // on the taskbar
};

struct DialogTemplate {
    int resourceId;
    const char* caption;  // empty: no title in the template
    int x, y, cx, cy;
    const char* font;
    int pointSize;
    uint32_t style;
    std::span<const ControlTemplate> controls;
};

// Dialog units to pixels for 8-point MS Sans Serif at 96 DPI: 6 x 13 pixels per 4 x 8 units.
constexpr int DialogUnitsToPixelsX(int x) { return x * 6 / 4; }
constexpr int DialogUnitsToPixelsY(int y) { return y * 13 / 8; }

constexpr int MainDialogId = 102;
constexpr int AboutDialogId = 100;
constexpr int ApplicationIconId = 128;

extern const DialogTemplate MainDialogTemplate;
extern const DialogTemplate AboutDialogTemplate;

}  // namespace res
