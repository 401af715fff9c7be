#include "platform/desktop/ui_wakeup.h"

#include <FL/Fl.H>
#include <fcntl.h>
#include <unistd.h>

namespace platform::desktop {

UiWakeup::UiWakeup(std::function<void()> onWake) : onWake_(std::move(onWake)) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    readFd_ = fds[0];
    writeFd_ = fds[1];
    Fl::add_fd(readFd_, FL_READ, &OnReadable, this);
}

UiWakeup::~UiWakeup() {
    if (readFd_ < 0) return;
    Fl::remove_fd(readFd_);
    close(readFd_);
    close(writeFd_);
}

void UiWakeup::Wake() {
    if (writeFd_ < 0 || pending_.exchange(true)) return;
    const char byte = 0;
    // A full pipe already holds a wake, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = write(writeFd_, &byte, 1);
}

void UiWakeup::OnReadable(int fd, void* data) {
    auto* self = static_cast<UiWakeup*>(data);
    // The pipe is emptied before the flag is cleared: emptied after, it could swallow
    // the byte of a wake that then stays pending for ever, and no wake would come again.
    // Cleared before the work, so a wake that comes during it writes again.
    char bytes[64];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    self->pending_.store(false);
    self->onWake_();
}

}  // namespace platform::desktop
