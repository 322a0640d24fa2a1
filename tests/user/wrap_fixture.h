// wrap_fixture.h - what the OS wrapper tests share: a fresh wrapper with captured reports.
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
#include "isolation.h"
#include "probes.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace wraptest {

using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

using rktest::Eventually;
using rktest::LiveBlocks;
inline Texts Reports() { return rktest::LogReports().Texts(); }
inline char *Name(const char *textP) { return const_cast<char *>(textP); }

inline std::string Hex32(const void *p) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<uint32>(reinterpret_cast<uintptr_t>(p)));
    return text;
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

// A case starts with the wrapper up and empty captures; at its end what it made is ended, its
// switches are put back, and it fails unless every accounted block is back.
class WrapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        before_ = rktest::SnapshotTables();
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
        rktest::HandlerTexts().Clear();
        rktest::BllLines().Clear();
        SvcSysInfoHandler = rktest::CaptureInfoHandler;
        startBlocks_ = LiveBlocks();
    }
    void TearDown() override {
        rktest::EndWhatWasMadeSince(before_);
        rktest::ResetWrapperSettings();
        EXPECT_EQ(rktest::TableChanges(before_, rktest::SnapshotTables()), "");
        EXPECT_TRUE(Eventually([this] { return LiveBlocks() == startBlocks_; }))
            << LiveBlocks() - startBlocks_ << " accounted blocks left behind";
    }
    long startBlocks_ = 0;

  private:
    rktest::TableSnapshot before_;
};

} // namespace wraptest

#endif // RELAYKIT_TESTS_WRAP_FIXTURE_H
