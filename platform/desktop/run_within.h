#pragma once
// Runs a job on a thread of its own and waits for it no longer than a time limit, so
// that an audio server that stops answering cannot hang the UI thread. A job that
// overruns finishes by itself later; it must own everything it touches.
#include <chrono>
#include <functional>

namespace platform::desktop {

// True when job finished within limit.
bool RunWithin(std::chrono::milliseconds limit, std::function<void()> job);

}  // namespace platform::desktop
