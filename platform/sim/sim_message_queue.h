#pragma once
// The one message queue of the simulated UI thread. Each message carries the window
// it is for, so a nested modal loop can go on serving the windows beneath it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "platform/messages.h"

namespace sim {

class SimWindow;

struct QueuedMessage {
    SimWindow* target;
    platform::Message message;
    bool fromTimer;  // a running timer's tick, not a WM_TIMER posted by hand
};

class SimMessageQueue {
public:
    void Post(SimWindow& target, const platform::Message& message, bool fromTimer = false);
    std::optional<QueuedMessage> Pop();
    bool Empty() const { return messages_.empty(); }
    size_t Size() const { return messages_.size(); }
    const std::deque<QueuedMessage>& Pending() const { return messages_; }

    // The waiting tick of a running timer.
    bool HasTimerMessage(const SimWindow& target, uint32_t timerId) const;
    void RemoveTimerMessages(const SimWindow& target, uint32_t timerId);
    void RemoveMessagesFor(const SimWindow& target);

private:
    std::deque<QueuedMessage> messages_;
};

}  // namespace sim
