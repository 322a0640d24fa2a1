// svc_fixture.h - what the service-layer tests share: a started wrapper and service layer with the
// reports captured, the live-block count at the start, and a waiting helper with a deadline.
#ifndef RELAYKIT_TESTS_SVC_FIXTURE_H
#define RELAYKIT_TESTS_SVC_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "capture.h"
#include "oswrap.h"
#include "svc.h"

namespace svctest {

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        ASSERT_EQ(SvcInit(nullptr, rktest::CaptureInfoHandler), eOS_RET_SUCCESS);
        rktest::LogReports().Clear();
        rktest::HandlerTexts().Clear();
        liveBlocksAtStart_ = LiveBlocks();
    }

    // Accounted blocks allocated since SetUp and not freed.
    long LeakedBlocks() const { return (long)LiveBlocks() - (long)liveBlocksAtStart_; }
    static uint32 LiveBlocks() { return std::atomic_ref<uint32>(MemAllocCnt).load(); }

    static size_t Reports(const std::string &text) { return rktest::LogReports().Count(text); }

    static tOsQueueId Queue(const char *name = "q") {
        tOsQueueId id = OS_QUEUE_ID_INVALID;
        EXPECT_EQ(OsWrap__QueueCreate(const_cast<char *>(name), 10, &id), eOS_RET_SUCCESS);
        return id;
    }

    static tOsSemId Sem(const char *name = "s", uint16 count = 0) {
        tOsSemId id = OS_SEM_ID_INVALID;
        EXPECT_EQ(OsWrap__SemCreate(const_cast<char *>(name), count, &id), eOS_RET_SUCCESS);
        return id;
    }

    // True once done() holds; false when the deadline passes first.
    static bool WaitUntil(const std::function<bool()> &done,
                          std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Runs work in a thread of its own; false when it has not finished by the deadline (a thread
    // stuck on a lock is then left behind, and the test fails instead of hanging).
    static bool Finishes(std::function<void()> work,
                         std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread([work, done] {
            work();
            done->store(true);
        }).detach();
        return WaitUntil([&done] { return done->load(); }, deadline);
    }

  private:
    uint32 liveBlocksAtStart_ = 0;
};

} // namespace svctest

#endif // RELAYKIT_TESTS_SVC_FIXTURE_H
