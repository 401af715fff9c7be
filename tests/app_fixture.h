#pragma once
// A running program on the simulated platform: the main dialog opened (start-up done,
// nothing pumped yet), with helpers for what many tests do.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/program_state.h"
#include "platform/sim/sim_platform.h"
#include "res/control_ids.h"

class AppTest : public ::testing::Test {
protected:
    static constexpr const char* SettingsPath = "/home/player/Kelvarin.ini";

    // Builds the program's state and opens the main dialog, as the process start does.
    // A second Start is the next run of the program: the previous one must have ended.
    sim::SimWindow& Start(int32_t blocksInFlight = app::DesignedBlocksInFlight) {
        if (dialog) {
            EXPECT_TRUE(sim.Ended()) << "the previous run is still going";
        }
        state.emplace(sim.GetFiles());
        state->BlocksInFlight = blocksInFlight;
        dialog = std::make_unique<app::MainDialog>(sim, *state);
        window = &sim.Open(*dialog);
        return *window;
    }

    // One refresh tick: the sliders, the Amplitude field and HideWindow reach the program.
    void Tick() {
        sim.FireTimer(1);
        sim.Pump();
    }

    // The device gives back n blocks one by one, and the dialog handles each; n may
    // exceed the blocks in flight, since each handled block queues a new one.
    void Complete(size_t n) {
        for (size_t i = 0; i < n; ++i) {
            sim.Wave().CompleteBlocks(1);
            sim.Pump();
        }
    }

    // "Stop", and the device gives back every block in flight: the output is closed and
    // no block is left abandoned when the test ends.
    void StopAndDrain() {
        window->Click(res::IDC_STOP);
        sim.Pump();
        Complete(sim.Wave().InFlight());
    }

    // Sets a weight slider as the user would: weight = 100 - position.
    void SetWeight(int sliderId, int weight) { window->DragSlider(sliderId, 100 - weight); }

    synth::Engine& Engine() { return state->engine; }
    const synth::Voice& Voice(int note) { return Engine().VoiceTable[note]; }
    // The notes of the active voices, in ascending order.
    std::vector<int> Sounding() {
        std::vector<int> notes;
        for (int n = 0; n < synth::VoiceCount; ++n)
            if (Engine().VoiceTable[n].active != 0) notes.push_back(n);
        return notes;
    }
    std::optional<std::string> Settings() { return sim.Files().Contents(SettingsPath); }

    // Declared first: the dialog and its window go before the platform.
    sim::SimPlatform sim;
    std::optional<app::ProgramState> state;
    std::unique_ptr<app::MainDialog> dialog;
    sim::SimWindow* window = nullptr;
};
