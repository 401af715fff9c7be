#pragma once
// kelvarin-render's progress: one line on the error stream, rewritten in place, and
// only when that stream is a terminal.
#include <cstdint>

namespace render {

class Progress {
public:
    // shown: the error stream is a terminal and --quiet was not given.
    Progress(bool shown, uint64_t lastEventBlock);
    // After every second of sound rendered.
    void Update(uint64_t blocksRendered);
    // Ends the line.
    void Finish(uint64_t blocksRendered);

private:
    void Show(uint64_t blocksRendered);

    bool shown_;
    uint64_t lastEventBlock_;
};

}  // namespace render
