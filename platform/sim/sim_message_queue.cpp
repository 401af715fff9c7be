#include "platform/sim/sim_message_queue.h"

#include <algorithm>

namespace sim {
namespace {

bool IsTimerMessage(const QueuedMessage& queued, const SimWindow& target, uint32_t timerId) {
    return queued.target == &target && queued.fromTimer && queued.message.wParam == timerId;
}

}  // namespace

void SimMessageQueue::Post(SimWindow& target, const platform::Message& message, bool fromTimer) {
    messages_.push_back({&target, message, fromTimer});
}

std::optional<QueuedMessage> SimMessageQueue::Pop() {
    if (messages_.empty()) return std::nullopt;
    QueuedMessage front = messages_.front();
    messages_.pop_front();
    return front;
}

bool SimMessageQueue::HasTimerMessage(const SimWindow& target, uint32_t timerId) const {
    return std::any_of(messages_.begin(), messages_.end(), [&](const QueuedMessage& queued) {
        return IsTimerMessage(queued, target, timerId);
    });
}

void SimMessageQueue::RemoveTimerMessages(const SimWindow& target, uint32_t timerId) {
    std::erase_if(messages_, [&](const QueuedMessage& queued) {
        return IsTimerMessage(queued, target, timerId);
    });
}

void SimMessageQueue::RemoveMessagesFor(const SimWindow& target) {
    std::erase_if(messages_, [&](const QueuedMessage& queued) { return queued.target == &target; });
}

}  // namespace sim
