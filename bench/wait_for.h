#pragma once
// Polling for what another thread (a JACK or PulseAudio callback) brings about.
#include <chrono>
#include <thread>

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits up to seconds for done(); false when it never came.
template <typename Done>
bool WaitFor(double seconds, Done done) {
    for (int i = 0; i < seconds * 1000; ++i) {
        if (done()) return true;
        SleepMs(1);
    }
    return done();
}
