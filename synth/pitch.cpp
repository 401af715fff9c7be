#include "synth/pitch.h"

#include "synth/portable_math.h"

namespace synth {

const double SemitoneRatio = Power(2.0, 0.08333333333333333);

double NoteFrequency(int note) {
    return 440.0 * Power(SemitoneRatio, static_cast<double>(note - 57));
}

}  // namespace synth
