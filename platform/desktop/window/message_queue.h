#pragma once
// The posted-message queue of every dialog window of the process, in posting order.
// Each message carries the window it is for, so a nested modal loop goes on serving
// the windows below it. The UI thread alone touches it; other threads hand their data
// over through their own queues and wake the loop.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "platform/messages.h"
#include "platform/window.h"

namespace platform::desktop {

class DialogWindow;

struct QueuedMessage {
    DialogWindow* target;
    Message message;
    bool fromTimer;  // a WM_TIMER that a running timer produced, not one posted by hand
};

class MessageQueue {
public:
    void Post(DialogWindow* target, const Message& message, bool fromTimer = false);
    std::optional<QueuedMessage> Take();
    bool Empty() const { return messages_.empty(); }
    size_t Size() const { return messages_.size(); }
    // Drops the waiting WM_TIMER messages of one timer, as KillTimer does.
    void RemoveTimerMessages(const DialogWindow* target, uint32_t timerId);

    // A window leaving takes its waiting messages with it.
    void RemoveWindow(DialogWindow* window);

private:
    std::deque<QueuedMessage> messages_;
};

}  // namespace platform::desktop
