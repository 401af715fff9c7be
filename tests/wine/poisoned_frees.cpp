// Memory given back with delete is filled with a pattern and held back a while before
// it returns to the heap, so that a read after free finds the pattern rather than
// whatever a newer allocation put there.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t HeldBack = 1024;
constexpr int Pattern = 0xDD;

void* heldBack[HeldBack];
size_t oldest = 0;
std::atomic_flag busy = ATOMIC_FLAG_INIT;

}  // namespace

void operator delete(void* p) noexcept {
    if (!p) return;
    std::memset(p, Pattern, _msize(p));
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    void* released = heldBack[oldest];
    heldBack[oldest] = p;
    oldest = (oldest + 1) % HeldBack;
    busy.clear(std::memory_order_release);
    std::free(released);
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }
