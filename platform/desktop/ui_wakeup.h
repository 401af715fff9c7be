#pragma once
// Lets any thread, an audio callback included, wake the UI thread's event wait: a
// non-blocking pipe whose read end the event loop watches. Wakes that come while one
// is still pending fold into it, so the pipe never fills and a writer never blocks.
// (FLTK's own awake queue is bounded and drops messages; nothing relies on it.)
#include <atomic>
#include <functional>

namespace platform::desktop {

class UiWakeup {
public:
    // onWake runs on the UI thread, inside the event wait, after one or more Wake calls.
    explicit UiWakeup(std::function<void()> onWake);
    ~UiWakeup();
    UiWakeup(const UiWakeup&) = delete;
    UiWakeup& operator=(const UiWakeup&) = delete;

    // Any thread: never blocks, never allocates.
    void Wake();

private:
    static void OnReadable(int fd, void* self);

    std::function<void()> onWake_;
    int readFd_ = -1;
    int writeFd_ = -1;
    std::atomic<bool> pending_{false};
};

}  // namespace platform::desktop
