// probes.h - what tests read of the library while it runs: the number of live accounted blocks, and
// a condition polled with a deadline instead of a sleep.
#ifndef RELAYKIT_TESTS_PROBES_H
#define RELAYKIT_TESTS_PROBES_H

#include <atomic>
#include <chrono>
#include <thread>

#include "oswrap.h"

namespace rktest {

// Accounted blocks allocated and not yet freed (MemAllocCnt, read whole).
inline long LiveBlocks() { return static_cast<long>(std::atomic_ref<uint32>(MemAllocCnt).load()); }

// Polls cond every millisecond until it holds; false when the deadline passes first.
template <typename Cond>
bool Eventually(Cond cond, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits until every accounted block is back (the trace task frees each record after writing it).
inline bool WaitForNoLiveBlocks() {
    return Eventually([] { return LiveBlocks() == 0; });
}

} // namespace rktest

#endif // RELAYKIT_TESTS_PROBES_H
