#include "view/keyboard_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace view {
namespace {

using platform::BrushHandle;
using platform::DeviceContext;

constexpr int LampRect[4] = {312, 180, 322, 190};
constexpr int MeterLeft = 10, MeterTop = 180, MeterRight = 310, MeterBottom = 190;
constexpr double MeterScale = 0.0091552734375;  // 300 / 32768

// A solid brush that lives no longer than one drawing call.
class Brush {
public:
    Brush(DeviceContext& dc, platform::ColorRef colour)
        : dc_(dc), handle_(dc.CreateSolidBrush(colour)) {}
    ~Brush() {
        if (handle_ != 0) dc_.DeleteObject(handle_);
    }
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
    BrushHandle Handle() const { return handle_; }

private:
    DeviceContext& dc_;
    BrushHandle handle_;
};

// Selects brushes into the context and puts the context's own brush back before any
// of ours is deleted. A brush that could not be created is not selected; the shape
// then takes whatever brush the context holds.
class BrushSelection {
public:
    explicit BrushSelection(DeviceContext& dc) : dc_(dc) {}
    ~BrushSelection() { Restore(); }
    BrushSelection(const BrushSelection&) = delete;
    BrushSelection& operator=(const BrushSelection&) = delete;

    void Select(const Brush& brush) {
        if (brush.Handle() == 0) return;
        const BrushHandle previous = dc_.SelectObject(brush.Handle());
        if (!changed_) original_ = previous;
        changed_ = true;
    }
    void Restore() {
        if (changed_) dc_.SelectObject(original_);
        changed_ = false;
    }

private:
    DeviceContext& dc_;
    BrushHandle original_ = 0;
    bool changed_ = false;
};

bool VoicesChanged(const synth::VoiceArray& now, const synth::VoiceArray& drawn) {
    for (int i = 0; i < synth::VoiceCount; ++i)
        if (now[i].active != drawn[i].active || now[i].level != drawn[i].level) return true;
    return false;
}

void DrawMarker(DeviceContext& dc, int left, int right) {
    const int y = KeyboardTop + KeyHeight;
    dc.Ellipse(left, y - 1, right, y - 8);
}

void DrawWhiteKey(DeviceContext& dc, BrushSelection& selection, const Brush& light,
                  const synth::Voice& voice, int x, bool marked) {
    const auto draw = [&] {
        dc.Rectangle(x, KeyboardTop, x + WhiteKeyWidth, KeyboardTop + KeyHeight);
        if (marked) DrawMarker(dc, x + 3, x + WhiteKeyWidth - 6);
    };
    if (voice.active == 0) {
        selection.Select(light);
        draw();
        return;
    }
    const Brush level(dc, LevelColour(voice.level));  // this key's alone
    selection.Select(level);
    draw();
    selection.Restore();
}

void DrawKeys(DeviceContext& dc, BrushSelection& selection, const Brush& light,
              const synth::Engine& engine, int32_t baseNote) {
    const Brush soundingBlack(dc, SoundingBlackKeyColour);
    const Brush silentBlack(dc, SilentBlackKeyColour);
    for (int k = 0; k < OctaveCount; ++k) {
        const int first = LowestDrawnNote + 12 * k;
        const int origin = OctaveLeft(k);
        for (int j = 0; j < 7; ++j) {
            const int note = first + WhiteOffsets[j];
            if (note > HighestDrawnNote) continue;
            DrawWhiteKey(dc, selection, light, engine.VoiceTable[note],
                         origin + WhiteKeyWidth * j, note == baseNote);
        }
        for (int b = 0; b < 5; ++b) {
            const int note = first + BlackOffsets[b];
            if (note > HighestDrawnNote) break;  // every later black key is higher still
            const int left = BlackKeyLeft(origin, BlackSeams[b]);
            selection.Select(engine.VoiceTable[note].active != 0 ? soundingBlack : silentBlack);
            dc.Rectangle(left, KeyboardTop, left + BlackKeyWidth, KeyboardTop + BlackKeyHeight);
            if (note == baseNote) {
                selection.Select(light);
                DrawMarker(dc, left + 1, left + BlackKeyWidth);
            }
        }
    }
    selection.Restore();  // before the black-key brushes are deleted
}

}  // namespace

platform::ColorRef LevelColour(double level) {
    // Levels beyond the 32-bit range are held at its ends rather than overflowing.
    const double clamped = std::clamp(std::trunc(level),
                                      double{std::numeric_limits<int32_t>::min()},
                                      double{std::numeric_limits<int32_t>::max()});
    const int64_t v = std::isnan(clamped) ? 0 : static_cast<int64_t>(clamped);
    const int64_t g = std::min<int64_t>(v * 250 / 4000, 250);
    const int64_t b = std::min<int64_t>(v * 200 / 4000, 200);
    return static_cast<platform::ColorRef>(((b & 0xFF) << 16) | ((g & 0xFF) << 8));
}

void DrawKeyboardView(DeviceContext& dc, KeyboardViewState& view, const synth::Engine& engine,
                      int32_t keyboardBaseNote) {
    const Brush light(dc, LightColour);
    const Brush red(dc, RedColour);
    BrushSelection selection(dc);  // declared last: restores before the brushes go

    selection.Select(engine.ClipFlag != 0 ? red : light);
    dc.Rectangle(LampRect[0], LampRect[1], LampRect[2], LampRect[3]);

    const int meterEnd = MeterLeft + static_cast<int>(engine.PeakSample * MeterScale);
    selection.Select(red);
    dc.Rectangle(MeterLeft, MeterTop, meterEnd, MeterBottom);
    selection.Select(light);
    dc.Rectangle(meterEnd, MeterTop, MeterRight, MeterBottom);

    if (view.RedrawNeeded == 0 && !VoicesChanged(engine.VoiceTable, view.VoiceSnapshot)) return;
    view.VoiceSnapshot = engine.VoiceTable;
    view.RedrawNeeded = 0;
    DrawKeys(dc, selection, light, engine, keyboardBaseNote);
}

}  // namespace view
