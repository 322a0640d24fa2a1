// sem_test.cpp - counting semaphores: ids, table limit, the time-out modes, waiters and bad ids.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class SemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
    }
    static tOsSemId Create(uint16 count = 0, const char *name = "sem") {
        tOsSemId id = OS_SEM_ID_INVALID;
        EXPECT_EQ(OsWrap__SemCreate(const_cast<char *>(name), count, &id), eOS_RET_SUCCESS);
        return id;
    }
    // Threads blocked in OsWrap__SemWait on id, read under the semaphore's own mutex.
    static int Waiters(tOsSemId id) {
        MutexGuard guard(&OWData.scbArray[id].semMutex);
        return OWData.scbArray[id].waiters;
    }
    static bool WaitForWaiters(tOsSemId id, int n) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Waiters(id) != n) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }
};

TEST_F(SemTest, IdsStartAtOneAndTheLowestFreeIdIsReused) {
    const tOsSemId first = Create();
    const tOsSemId second = Create();
    const tOsSemId third = Create();
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(third, 3u);
    ASSERT_EQ(OsWrap__SemDelete(second), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__SemDelete(first), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(), 1u);
    EXPECT_EQ(Create(), 2u);
    EXPECT_EQ(Create(), 4u);
}

TEST_F(SemTest, TableHoldsEverySemaphoreIdAndRefusesOneMore) {
    for (uint32 expected = 1; expected <= OS_MAX_SEMAPHORES; ++expected) {
        tOsSemId id = 0;
        ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("s"), 0, &id), eOS_RET_SUCCESS);
        ASSERT_EQ(id, expected);
    }
    tOsSemId id = 77;
    EXPECT_EQ(OsWrap__SemCreate(const_cast<char *>("over"), 0, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__SemCreate(): Reached maximum semaphore limit: 44960.\n"), 1u);

    // A hole anywhere, also in the last word of the id map, is found and filled first.
    ASSERT_EQ(OsWrap__SemDelete(44960), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__SemDelete(20001), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(), 20001u);
    EXPECT_EQ(Create(), 44960u);
    EXPECT_EQ(OsWrap__SemCreate(const_cast<char *>("over"), 0, &id), eOS_RET_FAILURE);
    EXPECT_EQ(OWData.numOfSems, OS_MAX_SEMAPHORES);
}

TEST_F(SemTest, CountTwoSatisfiesTwoNoWaitCallsThenAnswersAgain) {
    const tOsSemId id = Create(2);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_AGAIN);
    OsWrap__SemRelease(id);
    EXPECT_EQ(OsWrap__SemWait(id, 100), eOS_RET_SUCCESS);
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST_F(SemTest, TimedWaitOnEmptySemaphoreTimesOutAfterItsTimeout) {
    const tOsSemId id = Create();
    const auto start = Clock::now();
    EXPECT_EQ(OsWrap__SemWait(id, 100), eOS_RET_TIME_OUT);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(95));
    EXPECT_LT(waited, milliseconds(5000));
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST_F(SemTest, TimeoutBelowMinusOneTimesOutAtOnce) {
    const tOsSemId id = Create();
    const auto start = Clock::now();
    EXPECT_EQ(OsWrap__SemWait(id, -5), eOS_RET_TIME_OUT);
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    OsWrap__SemRelease(id);
    EXPECT_EQ(OsWrap__SemWait(id, -5), eOS_RET_SUCCESS); // a unit is taken whatever the time-out
}

TEST_F(SemTest, TimedWaitReturnsAsSoonAsAnotherThreadReleases) {
    const tOsSemId id = Create();
    std::atomic<eOsRet> result{eOS_RET_MAX};
    std::thread waiter([&] { result = OsWrap__SemWait(id, 60000); });
    ASSERT_TRUE(WaitForWaiters(id, 1));
    OsWrap__SemRelease(id);
    waiter.join();
    EXPECT_EQ(result.load(), eOS_RET_SUCCESS);
    EXPECT_EQ(Waiters(id), 0);
}

TEST_F(SemTest, TwoForeverWaitersBothReturnAfterTwoQuickReleases) {
    const tOsSemId id = Create();
    std::atomic<int> done{0};
    std::thread a([&] { done += OsWrap__SemWait(id, OS_WAIT_FOREVER) == eOS_RET_SUCCESS; });
    std::thread b([&] { done += OsWrap__SemWait(id, OS_WAIT_FOREVER) == eOS_RET_SUCCESS; });
    ASSERT_TRUE(WaitForWaiters(id, 2));
    OsWrap__SemRelease(id);
    OsWrap__SemRelease(id);
    a.join();
    b.join();
    EXPECT_EQ(done.load(), 2);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_AGAIN);
}

TEST_F(SemTest, CountsAreNeitherLostNorDuplicatedUnderContention) {
    const tOsSemId id = Create();
    constexpr int kPerThread = 5000;
    std::atomic<int> taken{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) OsWrap__SemRelease(id);
        });
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) taken += OsWrap__SemWait(id, 10000) == eOS_RET_SUCCESS;
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(taken.load(), 3 * kPerThread);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_AGAIN);
}

TEST_F(SemTest, IdsThatAreZeroOutOfRangeOrNotLiveAreRefused) {
    const tOsSemId deleted = Create();
    ASSERT_EQ(OsWrap__SemDelete(deleted), eOS_RET_SUCCESS);
    for (tOsSemId bad : {0u, 44961u, OS_SEM_ID_INVALID, deleted, 500u}) {
        rktest::LogReports().Clear();
        EXPECT_EQ(OsWrap__SemWait(bad, OS_WAIT_NO), eOS_RET_INVALID_ARG) << bad;
        EXPECT_EQ(OsWrap__SemDelete(bad), eOS_RET_INVALID_ARG) << bad;
        OsWrap__SemRelease(bad);
        const std::string id = std::to_string(static_cast<int>(bad));
        EXPECT_EQ(rktest::LogReports().Texts(),
                  (std::vector<std::string>{"MAJOR:OsWrap__SemWait(): Invalid semaphore Id: S" + id + ".\n",
                                            "MAJOR:OsWrap__SemDelete(): Invalid semaphore Id: S" + id + ".\n",
                                            "MAJOR:OsWrap__SemRelease(): Invalid semaphore Id: S" + id + ".\n"}));
    }
    // The refused release left nothing behind for the next semaphore on that id.
    EXPECT_EQ(Create(), deleted);
    EXPECT_EQ(OsWrap__SemWait(deleted, OS_WAIT_NO), eOS_RET_AGAIN);
    EXPECT_EQ(OWData.numOfSems, 1);
}

TEST_F(SemTest, DeletingWhileATaskWaitsIsRefusedAndDestroysNothing) {
    const tOsSemId id = Create();
    std::atomic<eOsRet> result{eOS_RET_MAX};
    std::thread waiter([&] { result = OsWrap__SemWait(id, OS_WAIT_FOREVER); });
    ASSERT_TRUE(WaitForWaiters(id, 1));

    EXPECT_EQ(OsWrap__SemDelete(id), eOS_RET_INVALID_STATE);
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:OsWrap__SemDelete(): Semaphore has waiting tasks: S1, W1.\n"), 1u);

    OsWrap__SemRelease(id); // still fully working
    waiter.join();
    EXPECT_EQ(result.load(), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(OWData.numOfSems, 0);
}

TEST_F(SemTest, NullNameIsRefusedAndLeavesNoId) {
    tOsSemId id = 5;
    EXPECT_EQ(OsWrap__SemCreate(nullptr, 1, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__SemCreate(): NULL nameP.\n"), 1u);
    EXPECT_EQ(Create(), 1u);
}

TEST_F(SemTest, DumpListsLiveSemaphoresInIdOrderUpToTheHighestId) {
    SvcSysInfoHandler = rktest::CaptureInfoHandler;
    for (uint32 i = 1; i <= OS_MAX_SEMAPHORES; ++i) {
        tOsSemId id;
        ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("fill"), 0, &id), eOS_RET_SUCCESS);
    }
    for (uint32 i = 2; i < OS_MAX_SEMAPHORES; ++i) ASSERT_EQ(OsWrap__SemDelete(i), eOS_RET_SUCCESS);
    OsWrap__SemRelease(OS_MAX_SEMAPHORES);
    ASSERT_EQ(OsWrap__SemDelete(1), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(3, "a-very-long-semaphore-name-that-is-cut"), 1u);

    rktest::HandlerTexts().Clear();
    ShowSemCtrlBlock();
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              (std::vector<std::string>{
                  "Show Semaphore Control Block........Total number is 2\n",
                  "\tSemName 'a-very-long-semaphore-name-tha' busy 1 , semId 0x00000001 semCount 3\n",
                  "\tSemName 'fill        ' busy 1 , semId 0x0000afa0 semCount 1\n", "\n"}));
}

} // namespace
