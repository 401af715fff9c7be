#pragma once
// Failures a test arranges for a simulated device's calls: the next call of a kind
// fails with a chosen result, or every one until cleared.
#include <map>
#include <optional>

#include "platform/wave_out.h"

namespace sim {

template <typename Call>
class InjectedFailures {
public:
    void FailNext(Call call, platform::MmResult result) { next_[call] = result; }
    void FailAlways(Call call, platform::MmResult result) { always_[call] = result; }
    void Clear() {
        next_.clear();
        always_.clear();
    }
    // The result a call of this kind fails with now, if any; a FailNext is used up.
    std::optional<platform::MmResult> Take(Call call) {
        if (const auto once = next_.find(call); once != next_.end()) {
            const platform::MmResult result = once->second;
            next_.erase(once);
            return result;
        }
        if (const auto always = always_.find(call); always != always_.end()) return always->second;
        return std::nullopt;
    }

private:
    std::map<Call, platform::MmResult> next_;
    std::map<Call, platform::MmResult> always_;
};

}  // namespace sim
