// The platform contract on the simulated platform. Its loop moves the clock on by a
// millisecond whenever it has nothing to do, as time passes for a real one, and what
// the window shows is worked out from the drawing log by the device context's rules.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "platform_contract.h"

namespace {

using namespace platform;

class SimAdapter {
public:
    // A loop still waiting after ten minutes of the simulation's time gives up, as if OK
    // was pressed: a test that waits for what never comes then fails instead of running on.
    SimAdapter() {
        sim_.SetIdleHook([](sim::SimPlatform& sim) {
            if (sim.GetTickCount() >= GiveUpMs) return false;
            sim.AdvanceTime(1);
            return true;
        });
    }

    Platform& GetPlatform() { return sim_; }

    void Click(Dialog& dialog, int id) { Of(dialog).Click(id); }
    void PressKey(Dialog& dialog, WPARAM virtualKey) {
        Of(dialog).KeyDown(virtualKey);
        Of(dialog).KeyUp(virtualKey);
    }
    void Type(Dialog& dialog, int id, const std::string& text) { Of(dialog).Type(id, text); }
    void DragSliderToTop(Dialog& dialog, int id) {
        Of(dialog).DragSlider(id, Of(dialog).SliderRange(id).first);
    }
    void RequestClose(Dialog& dialog) { Of(dialog).SysCommand(SC_CLOSE); }

    int Focus(const Dialog& dialog) { return Of(dialog).Focus(); }
    bool Shown(const Dialog& dialog) { return Of(dialog).Shown(); }

    // The last shape drawn over the point decides: its outermost pixels are the black
    // pen's, the rest its brush's, white for the context's own.
    ColorRef Pixel(const Dialog&, int x, int y) {
        ColorRef shown = NothingDrawn;
        for (const sim::DrawCall& call : sim_.Graphics().Calls()) {
            if (call.kind != sim::DrawKind::Rectangle && call.kind != sim::DrawKind::Ellipse) continue;
            const int left = std::min(call.left, call.right), right = std::max(call.left, call.right);
            const int top = std::min(call.top, call.bottom), bottom = std::max(call.top, call.bottom);
            if (x < left || x >= right || y < top || y >= bottom) continue;
            const bool ellipse = call.kind == sim::DrawKind::Ellipse;
            if (ellipse && !InEllipse(left, top, right, bottom, x, y)) continue;
            const bool edge = ellipse ? !InEllipse(left, top, right, bottom, x - 1, y) ||
                                            !InEllipse(left, top, right, bottom, x + 1, y) ||
                                            !InEllipse(left, top, right, bottom, x, y - 1) ||
                                            !InEllipse(left, top, right, bottom, x, y + 1)
                                      : x == left || x == right - 1 || y == top || y == bottom - 1;
            shown = edge ? Rgb(0, 0, 0) : call.fill.value_or(Rgb(255, 255, 255));
        }
        return shown;
    }

    uint32_t Stall(uint32_t ms) {
        sim_.AdvanceTime(ms);
        return ms;
    }
    uint32_t ClockMs() { return sim_.GetTickCount(); }

    std::string PathOf(const std::string& name) { return Directory + name; }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const std::string& path : sim_.Files().Paths())
            if (path.starts_with(Directory)) names.push_back(path.substr(Directory.size()));
        return names;
    }

private:
    static constexpr ColorRef NothingDrawn = 0xFF000000;
    static constexpr uint32_t GiveUpMs = 600000;
    inline static const std::string Directory = "/home/player/";

    static sim::SimWindow& Of(const Dialog& dialog) {
        return static_cast<sim::SimWindow&>(dialog.GetWindow());
    }
    static bool InEllipse(int left, int top, int right, int bottom, int x, int y) {
        const double a = (right - left) / 2.0, b = (bottom - top) / 2.0;
        const double dx = (x + 0.5 - left - a) / a, dy = (y + 0.5 - top - b) / b;
        return dx * dx + dy * dy <= 1.0;
    }

    sim::SimPlatform sim_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, PlatformContract, SimAdapter);

}  // namespace
