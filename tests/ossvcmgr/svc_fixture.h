// svc_fixture.h - what the service-layer tests share: a started wrapper and service layer with the
// reports captured, the live-block count at the start, and work run with a deadline.
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
#include "isolation.h"
#include "probes.h"
#include "oswrap.h"
#include "svc.h"
#include "svcinternal.h"

namespace svctest {

// A case starts with the wrapper and the service layer up and empty captures; at its end what it
// made is ended and the test thread gives back what it held as a service task.
class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        before_ = rktest::SnapshotTables();
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        ASSERT_EQ(SvcInit(nullptr, rktest::CaptureInfoHandler), eOS_RET_SUCCESS);
        rktest::LogReports().Clear();
        rktest::HandlerTexts().Clear();
        liveBlocksAtStart_ = rktest::LiveBlocks();
    }
    void TearDown() override {
        SvcTaskEnded(); // the test thread's tick and registrations
        rktest::EndWhatWasMadeSince(before_);
        // Plain threads of the case (joined by now) keep their ticks when they end, and their
        // handles come again: such an entry is cleared and given up as its owner's release does.
        for (tSvcTmcb &tmcb : SvcTmcb) {
            std::atomic_ref<uint32> owner(tmcb.taskId);
            if (owner.load(std::memory_order_acquire) == 0) continue;
            tmcb.periodic = eOS_BOOL_FALSE;
            tmcb.duration = tmcb.expir = {0, 0};
            tmcb.callback = nullptr;
            tmcb.userDataP = nullptr;
            owner.store(0, std::memory_order_release);
        }
        SvcTimerTestReset();
        rktest::ResetWrapperSettings();
        EXPECT_EQ(rktest::TableChanges(before_, rktest::SnapshotTables()), "");
    }

    // Accounted blocks allocated since SetUp and not freed.
    long LeakedBlocks() const { return rktest::LiveBlocks() - liveBlocksAtStart_; }

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

    // Runs work in a thread of its own; false when it has not finished by the deadline (a thread
    // stuck on a lock is then left behind, and the test fails instead of hanging).
    static bool Finishes(std::function<void()> work,
                         std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread([work, done] {
            work();
            done->store(true);
        }).detach();
        return rktest::Eventually([&done] { return done->load(); }, deadline);
    }

  private:
    rktest::TableSnapshot before_;
    long liveBlocksAtStart_ = 0;
};

} // namespace svctest

#endif // RELAYKIT_TESTS_SVC_FIXTURE_H
