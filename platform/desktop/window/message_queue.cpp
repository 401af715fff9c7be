#include "platform/desktop/window/message_queue.h"

#include <algorithm>

#include "platform/desktop/window/dialog_window.h"

namespace platform::desktop {

void MessageQueue::Post(DialogWindow* target, const Message& message, bool fromTimer) {
    messages_.push_back({target, message, fromTimer});
}

std::optional<QueuedMessage> MessageQueue::Take() {
    if (messages_.empty()) return std::nullopt;
    QueuedMessage front = messages_.front();
    messages_.pop_front();
    return front;
}

void MessageQueue::RemoveTimerMessages(const DialogWindow* target, uint32_t timerId) {
    std::erase_if(messages_, [&](const QueuedMessage& queued) {
        return queued.target == target && queued.fromTimer && queued.message.wParam == timerId;
    });
}

void MessageQueue::RemoveWindow(DialogWindow* window) {
    std::erase_if(messages_, [&](const QueuedMessage& queued) { return queued.target == window; });
}

}  // namespace platform::desktop
