#pragma once
// A dialog whose behaviour a test writes, for tests that run a platform's own modal
// loop. It records every message it is given, and runs a script of steps from a timer
// of its own while the loop runs: each step waits until it is done, and the dialog
// ends with 0 after the last one, or with TimedOut once the time limit has passed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "res/dialog_template.h"

class ScriptedDialog : public platform::Dialog {
public:
    using Step = std::function<bool()>;  // true once the step is done
    using UINT = platform::UINT;
    using WPARAM = platform::WPARAM;
    using LPARAM = platform::LPARAM;
    using LRESULT = platform::LRESULT;

    static constexpr uint32_t ScriptTimer = 0x5C17;
    static constexpr int TimedOut = -2;
    static constexpr uint32_t TimeLimitMs = 60000;

    explicit ScriptedDialog(platform::Platform& platform,
                            const res::DialogTemplate& dialogTemplate = res::MainDialogTemplate)
        : Dialog(dialogTemplate), platform_(platform) {}

    std::vector<Step> steps;  // none: the dialog ends itself
    std::function<void()> onInit;
    bool focusFirstControl = false;  // what OnInitDialog answers
    bool refuseCreate = false;
    // Sees each message before the default handling; a value ends its handling.
    std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)> onMessage;
    // True swallows a queued message in the message filter.
    std::function<bool(const platform::Message&)> swallow;

    bool initialised = false;
    std::vector<platform::Message> filtered;  // seen by the filter, the script's ticks left out
    std::vector<platform::Message> handled;   // seen by the window procedure

    bool Finished() const { return next_ == steps.size(); }
    bool Saw(UINT message, WPARAM wParam, LPARAM lParam) const {
        return std::any_of(filtered.begin(), filtered.end(), [&](const platform::Message& m) {
            return m.message == message && m.wParam == wParam && m.lParam == lParam;
        });
    }
    size_t Count(UINT message) const {
        return std::count_if(filtered.begin(), filtered.end(),
                             [&](const platform::Message& m) { return m.message == message; });
    }
    size_t Handled(UINT message, WPARAM wParam) const {
        return std::count_if(handled.begin(), handled.end(), [&](const platform::Message& m) {
            return m.message == message && m.wParam == wParam;
        });
    }

    bool OnInitDialog() override {
        initialised = true;
        started_ = platform_.GetTickCount();
        if (onInit) onInit();
        if (!steps.empty()) GetWindow().SetTimer(ScriptTimer, 10, [this] { Advance(); });
        return focusFirstControl;
    }
    // Message names unqualified: the Windows headers make them macros.
    bool PreTranslateMessage(const platform::Message& message) override {
        using namespace platform;
        if (message.message == WM_TIMER && message.wParam == ScriptTimer) return false;
        filtered.push_back(message);
        return swallow && swallow(message);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        using namespace platform;
        handled.push_back({message, wParam, lParam});
        if (message == WM_CREATE && refuseCreate) return -1;
        if (onMessage) {
            if (const std::optional<LRESULT> result = onMessage(message, wParam, lParam)) return *result;
        }
        return Dialog::WindowProc(message, wParam, lParam);
    }

private:
    void Advance() {
        // A step that runs a nested loop would otherwise be run again from within it.
        if (advancing_) return;
        advancing_ = true;
        while (next_ < steps.size() && steps[next_]()) ++next_;
        advancing_ = false;
        if (Finished()) {
            GetWindow().EndDialog(0);
        } else if (platform_.GetTickCount() - started_ > TimeLimitMs) {
            std::string seen;
            for (const platform::Message& m : filtered) {
                char text[64];
                std::snprintf(text, sizeof text, " %x:%lx:%lx", m.message,
                              static_cast<unsigned long>(m.wParam), static_cast<unsigned long>(m.lParam));
                seen += text;
            }
            ADD_FAILURE() << "script stuck at step " << next_ << "; seen" << seen;
            GetWindow().EndDialog(TimedOut);
        }
    }

    platform::Platform& platform_;
    uint32_t started_ = 0;
    size_t next_ = 0;
    bool advancing_ = false;
};

inline ScriptedDialog::Step Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

inline ScriptedDialog::Step WaitUntil(std::function<bool()> condition) { return condition; }

// Waits until the dialog's message filter has seen the message.
inline ScriptedDialog::Step WaitToSee(const ScriptedDialog& dialog, platform::UINT message,
                                      platform::WPARAM wParam, platform::LPARAM lParam) {
    return [&dialog, message, wParam, lParam] { return dialog.Saw(message, wParam, lParam); };
}
