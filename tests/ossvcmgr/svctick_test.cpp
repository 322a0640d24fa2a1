// svctick_test.cpp - the per-task tick: expiry arithmetic on a clock the test sets, the one-shot
// life cycle, refusals, and the table of 19 entries claimed by concurrent tasks.
#include <atomic>
#include <barrier>
#include <set>
#include <thread>
#include <vector>

#include "svc_fixture.h"
#include "svcinternal.h"
#include "svctick.h"
#include "uint64.h"

namespace {

std::atomic<uint32> fakeNow{0};
tOsTime FakeUpTime() { return {0, fakeNow.load()}; }

std::atomic<int> calls{0};
std::atomic<void *> lastUserData{nullptr};
void CountCall(void *userDataP) {
    calls++;
    lastUserData = userDataP;
}

class TickTest : public svctest::ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        SvcSetTestUpTimeClock(FakeUpTime);
    }
    void TearDown() override { SvcSetTestUpTimeClock(nullptr); }
    static std::string TaskText() { return "TI" + std::to_string((int)OsWrap__TaskId()); }
};

TEST_F(TickTest, APeriodicTickThatMissedPeriodsRunsOnceAndKeepsItsGrid) {
    int userData = 0;
    fakeNow = 500;
    ASSERT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, CountCall, &userData), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    ASSERT_NE(tmcbP, nullptr);
    EXPECT_EQ(SvcTickGetNearestExpTime(tmcbP).low, 600u);

    fakeNow = 599;
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 0);

    fakeNow = 850;
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(lastUserData.load(), &userData);
    EXPECT_EQ(SvcTickGetNearestExpTime(tmcbP).low, 900u);

    // Exactly at the expiry the tick is due; the next one follows one period later.
    fakeNow = 900;
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(SvcTickGetNearestExpTime(tmcbP).low, 1000u);
}

TEST_F(TickTest, AOneShotTickRunsOnceAndBlocksANewStartUntilStopped) {
    fakeNow = 1000;
    ASSERT_EQ(SvcTickStart(40, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    fakeNow = 1040;
    SvcTickCheckTimeouts(tmcbP);
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(Uint64IsZero(SvcTickGetNearestExpTime(tmcbP)));
    EXPECT_TRUE(Uint64IsZero(tmcbP->duration));

    EXPECT_EQ(SvcTickStart(10, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_INVALID_STATE);
    EXPECT_EQ(Reports("MAJOR:SvcTickStart(): Restart: " + TaskText() + ", TO10, P0, CB"), 1u);

    // Restarting the expired tick re-arms it with its cleared duration: due at the next check.
    SvcTickRestart();
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 2);

    SvcTickStop();
    EXPECT_EQ(SvcTickStart(10, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcTickGetNearestExpTime(tmcbP).low, 1050u);
}

TEST_F(TickTest, RestartMovesTheExpiryOneDurationFromNow) {
    fakeNow = 100;
    ASSERT_EQ(SvcTickStart(300, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
    fakeNow = 250;
    SvcTickRestart();
    EXPECT_EQ(SvcTickGetNearestExpTime(SvcTickGetTaskTmcb()).low, 550u);
}

TEST_F(TickTest, StopWithoutATickIsReportedAndChangesNothing) {
    SvcTickStop();
    EXPECT_EQ(Reports("MAJOR:SvcTickStop(): No tick: " + TaskText() + ".\n"), 1u);
    EXPECT_TRUE(Uint64IsZero(SvcTickGetNearestExpTime(SvcTickGetTaskTmcb())));
}

TEST_F(TickTest, ANullCallbackIsRefused) {
    EXPECT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, nullptr, nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTickStart(): NULL callback: " + TaskText() + ", TO100, P1, CB"), 1u);
    EXPECT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
}

TEST_F(TickTest, AZeroPeriodIsReportedOnceAndDisarmedInsteadOfFiringAtOnceForEver) {
    fakeNow = 10;
    ASSERT_EQ(SvcTickStart(0, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    SvcTickCheckTimeouts(tmcbP);
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 0);
    EXPECT_EQ(Reports("MAJOR:SvcTickCheckTimeouts(): zero duration detected.\n"), 1u);
    EXPECT_TRUE(Uint64IsZero(SvcTickGetNearestExpTime(tmcbP)));
}

TEST_F(TickTest, ARestartAfterStopHasNoCallbackToRun) {
    fakeNow = 10;
    ASSERT_EQ(SvcTickStart(20, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_SUCCESS);
    SvcTickStop();
    SvcTickRestart();
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 0);
    EXPECT_TRUE(Uint64IsZero(SvcTickGetNearestExpTime(tmcbP)));
}

TEST_F(TickTest, NineteenConcurrentClaimsGetAnEntryEachAndATwentiethTaskGetsNone) {
    constexpr int kTasks = SVC_TMCB_TABLE_SIZE;
    std::vector<tSvcTmcb *> claimed(kTasks, nullptr);
    std::barrier together(kTasks);
    std::barrier holdIds(kTasks + 1); // the threads stay alive so that their ids stay distinct
    std::vector<std::thread> threads;
    for (int i = 0; i < kTasks; i++) {
        threads.emplace_back([&, i] {
            together.arrive_and_wait();
            claimed[i] = SvcTickGetTaskTmcb();
            // A second look finds the same entry.
            if (SvcTickGetTaskTmcb() != claimed[i]) claimed[i] = nullptr;
            holdIds.arrive_and_wait();
        });
    }
    ASSERT_TRUE(WaitUntil([&] {
        for (tSvcTmcb &tmcb : SvcTmcb) {
            if (std::atomic_ref<uint32>(tmcb.taskId).load() == 0) return false;
        }
        return true;
    }));

    const std::string self = TaskText();
    EXPECT_EQ(SvcTickGetTaskTmcb(), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTickGetTaskTmcb(): No more tSvcTmcb: " + self + ".\n"), 1u);
    EXPECT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_NO_RESOURCE);
    EXPECT_EQ(Reports("CRITICAL:SvcTickStart(): No more tSvcTmcb: " + self + ", TO100, P1, CB"), 1u);
    SvcTickStop();
    EXPECT_EQ(Reports("MAJOR:SvcTickStop(): tSvcTmcb not found: " + self + ".\n"), 1u);
    SvcTickRestart();
    EXPECT_EQ(Reports("MAJOR:SvcTickRestart(): tSvcTmcb not found: " + self + ".\n"), 1u);
    EXPECT_TRUE(Uint64IsZero(SvcTickGetNearestExpTime(nullptr)));

    holdIds.arrive_and_wait();
    for (std::thread &t : threads) t.join();
    std::set<tSvcTmcb *> distinct(claimed.begin(), claimed.end());
    EXPECT_EQ(distinct.size(), (size_t)kTasks);
    EXPECT_EQ(distinct.count(nullptr), 0u);
}

} // namespace
