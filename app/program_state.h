#pragma once
// The program's lasting state outside the dialog: the settings file, the engine, the
// keyboard's base note and what the keyboard view last drew. One instance lives for
// the whole process; a test makes a fresh one.
#include <cstdint>

#include "app/settings_file.h"
#include "input/key_map.h"
#include "platform/files.h"
#include "record/record_state.h"
#include "synth/engine.h"
#include "view/keyboard_view.h"

namespace app {

struct ProgramState {
    explicit ProgramState(platform::FileSystem& files) : settings(files) {}

    SettingsFile settings;
    synth::Engine engine;
    int32_t KeyboardBaseNote = input::InitialKeyboardBaseNote;
    view::KeyboardViewState view;
    // The recorder's file and the player's copy of it.
    record::RecordingState recording;
    record::PlaybackState playback;
};

}  // namespace app
