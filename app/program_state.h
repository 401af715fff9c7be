#pragma once
// The program's lasting state outside the dialog: the settings file, the engine, the
// keyboard's base note and what the keyboard view last drew. One instance lives for
// the whole process; a test makes a fresh one.
#include <cstdint>

#include "app/blocks_setting.h"
#include "app/settings_file.h"
#include "input/key_map.h"
#include "platform/files.h"
#include "platform/midi_in.h"
#include "record/record_state.h"
#include "synth/engine.h"
#include "view/keyboard_view.h"

namespace app {

struct ProgramState {
    explicit ProgramState(platform::FileSystem& files) : settings(files) {}

    SettingsFile settings;
    // Blocks the output keeps in flight, chosen at start-up.
    int32_t BlocksInFlight = DesignedBlocksInFlight;
    synth::Engine engine;
    int32_t KeyboardBaseNote = input::InitialKeyboardBaseNote;
    // The MIDI input: the open device (null while none is open), the
    // device number last parsed, and the messages logged since the program started.
    platform::MidiInHandle MidiInHandle = nullptr;
    int32_t MidiDeviceIndex = 0;
    int32_t MidiMessageCount = 0;
    view::KeyboardViewState view;
    // The recorder's file and the player's copy of it.
    record::RecordingState recording;
    record::PlaybackState playback;
};

}  // namespace app
