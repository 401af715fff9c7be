#include "synth/pitch.h"

#include <cmath>

namespace synth {

const double SemitoneRatio = std::pow(2.0, 0.08333333333333333);

double NoteFrequency(int note) {
    return 440.0 * std::pow(SemitoneRatio, static_cast<double>(note - 57));
}

}  // namespace synth
