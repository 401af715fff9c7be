#pragma once
// The program on the simulated platform with MIDI input devices, and helpers to press
// the MIDI buttons and to let a device send messages.
#include <string>
#include <vector>

#include "app_fixture.h"

class MidiTest : public AppTest {
protected:
    void TearDown() override {
        if (!sim.Ended()) StopAndDrain();
    }

    // Lists the devices, then starts the program, whose start-up opens device 0.
    sim::SimWindow& StartWithDevices(const std::vector<std::string>& names) {
        for (const std::string& name : names) sim.Midi().AddDevice(name);
        return Start();
    }
    void Press(int id) {
        ASSERT_TRUE(window->Click(id)) << "button " << id << " is disabled";
        sim.Pump();
    }
    // The device receives one short message and the dialog handles it.
    void Receive(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0) {
        ASSERT_TRUE(sim.Midi().Receive(status, data1, data2)) << "no device is started";
        sim.Pump();
    }
    std::string Status() { return window->Text(res::IDC_STATUS); }
    std::string Log() { return window->Text(res::IDC_MIDILOG); }
    bool ShowsOpen() {
        return !window->Enabled(res::IDC_MIDI_OPEN) && window->Enabled(res::IDC_MIDI_CLOSE);
    }
    bool ShowsClosed() {
        return window->Enabled(res::IDC_MIDI_OPEN) && !window->Enabled(res::IDC_MIDI_CLOSE);
    }
    int Calls(sim::MidiCall call) {
        int count = 0;
        for (const auto& record : sim.Midi().Calls()) count += record.call == call;
        return count;
    }
};
