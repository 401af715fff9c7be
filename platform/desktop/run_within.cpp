#include "platform/desktop/run_within.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::desktop {

bool RunWithin(std::chrono::milliseconds limit, std::function<void()> job) {
    struct Done {
        std::mutex mutex;
        std::condition_variable changed;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    std::thread worker([done, job = std::move(job)] {
        job();
        std::lock_guard lock(done->mutex);
        done->finished = true;
        done->changed.notify_all();
    });
    std::unique_lock lock(done->mutex);
    const bool finished = done->changed.wait_for(lock, limit, [&] { return done->finished; });
    lock.unlock();
    if (finished) {
        worker.join();
    } else {
        worker.detach();
    }
    return finished;
}

}  // namespace platform::desktop
