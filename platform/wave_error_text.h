#pragma once
// What a wave-output result means, in words: one text for each result, whichever
// platform's device gave it.
#include <string>

#include "platform/wave_out.h"

namespace platform {

std::string WaveErrorText(MmResult result);

}  // namespace platform
