// wrap_fixture.h - what the OS wrapper tests share: a fresh wrapper with captured reports, and
// polling with a deadline instead of sleeping.
#ifndef RELAYKIT_TESTS_WRAP_FIXTURE_H
#define RELAYKIT_TESTS_WRAP_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace wraptest {

using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline uint32 LiveBlocks() { return std::atomic_ref<uint32>(MemAllocCnt).load(); }
inline Texts Reports() { return rktest::LogReports().Texts(); }
inline char *Name(const char *textP) { return const_cast<char *>(textP); }

inline std::string Hex32(const void *p) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<uint32>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

// Polls cond every millisecond until it holds; false after ten seconds.
template <typename Cond> bool Eventually(Cond cond) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!cond()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

// Threads blocked in a wait on the semaphore, read under its own mutex.
inline int Waiters(tOsSemId id) {
    MutexGuard guard(&OWData.scbArray[id].semMutex);
    return OWData.scbArray[id].waiters;
}

// An accounted message carrying one number, and its receiving end.
inline tOsMsg Message(uint32 value) {
    auto *p = static_cast<uint32 *>(OsWrap__Alloc(sizeof(uint32)));
    *p = value;
    return p;
}
inline uint32 Take(tOsMsg msg) {
    const uint32 value = *static_cast<uint32 *>(msg);
    OsWrap__Free(msg);
    return value;
}

class WrapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
        SvcSysInfoHandler = rktest::CaptureInfoHandler;
        startBlocks_ = LiveBlocks();
    }
    uint32 startBlocks_ = 0;
};

} // namespace wraptest

#endif // RELAYKIT_TESTS_WRAP_FIXTURE_H
