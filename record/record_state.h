#pragma once
// The recorder's and the player's state. Recording and playback are independent: each
// runs or not whatever the other does.
#include <cstdint>
#include <memory>

#include "platform/files.h"

namespace record {

inline constexpr const char* RecordingFileName = "midi.dat";  // in the current directory

struct RecordingState {
    std::unique_ptr<platform::File> RecordingFile;  // open exactly while recording
    uint8_t RecordingFlag = 0;
};

struct PlaybackState {
    std::unique_ptr<uint8_t[]> PlaybackBuffer;  // the whole file; set exactly while playing
    uint32_t PlaybackLength = 0;  // bytes in the buffer
    // The next record to apply; 32 bits wide, so every record of a long file plays in time.
    uint32_t PlaybackIndex = 0;
    uint32_t PlaybackStart = 0;  // the tick count at which the current pass began
};

}  // namespace record
