#pragma once
// Equal temperament with note 57 at 440 Hz.
namespace synth {

extern const double SemitoneRatio;  // 2^(1/12), computed once at start-up

// Fundamental frequency of note n (a voice index, 0..255).
double NoteFrequency(int note);

}  // namespace synth
