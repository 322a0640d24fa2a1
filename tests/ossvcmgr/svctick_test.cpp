// svctick_test.cpp - the per-task tick on a clock the test sets: expiry arithmetic, the one-shot
// life cycle, ticks that could never run, and the 19 entries claimed by concurrent tasks.
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
void CountCall(void *) { calls++; }

class TickTest : public svctest::ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        SvcSetTestUpTimeClock(FakeUpTime);
        calls = 0;
    }
    void TearDown() override {
        SvcSetTestUpTimeClock(nullptr);
        ServiceTest::TearDown();
    }
    static uint32 Expiry() { return SvcTickGetNearestExpTime(SvcTickGetTaskTmcb()).low; }
};

TEST_F(TickTest, APeriodicTickThatMissedPeriodsRunsOnceAndKeepsItsGrid) {
    fakeNow = 500;
    ASSERT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    EXPECT_EQ(Expiry(), 600u);
    fakeNow = 599;
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 0);
    fakeNow = 850;
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(Expiry(), 900u);
    fakeNow = 900; // due exactly at its expiry
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(Expiry(), 1000u);
}

TEST_F(TickTest, TicksOfTwoToTheThirtyFirstMillisecondsOrMoreAreRefused) {
    // Expiries are compared by a signed 32-bit difference: such a tick would look due at once.
    fakeNow = 1000;
    for (uint32 timeout : {0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(SvcTickStart(timeout, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_INVALID_ARG);
        EXPECT_EQ(Expiry(), 0u);
    }
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:SvcTickStart(): Invalid timeout: "), 2u);
    ASSERT_EQ(SvcTickStart(0x7FFFFFFFu, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
    SvcTickCheckTimeouts(SvcTickGetTaskTmcb());
    EXPECT_EQ(calls.load(), 0);
}

TEST_F(TickTest, AOneShotTickRunsOnceAndBlocksANewStartUntilStopped) {
    fakeNow = 1000;
    ASSERT_EQ(SvcTickStart(40, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    fakeNow = 1040;
    SvcTickCheckTimeouts(tmcbP);
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(Expiry(), 0u);
    EXPECT_EQ(SvcTickStart(10, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_INVALID_STATE);
    // Restarting the expired tick re-arms it with its cleared duration: due at the next check.
    SvcTickRestart();
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 2);
    SvcTickStop();
    EXPECT_EQ(SvcTickStart(10, eOS_BOOL_FALSE, CountCall, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(Expiry(), 1050u);
}

TEST_F(TickTest, TicksThatCouldNeverRunAreRefusedOrDisarmed) {
    fakeNow = 10;
    EXPECT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, nullptr, nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTickStart(): NULL callback: TI"), 1u);

    // A zero period is reported once and disarmed, instead of being due again at once for ever.
    ASSERT_EQ(SvcTickStart(0, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_SUCCESS);
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    SvcTickCheckTimeouts(tmcbP);
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(Reports("MAJOR:SvcTickCheckTimeouts(): zero duration detected.\n"), 1u);
    EXPECT_EQ(Expiry(), 0u);

    // A restart after a stop has no callback to run; a second stop finds no tick.
    SvcTickStop();
    SvcTickStop();
    EXPECT_EQ(Reports("MAJOR:SvcTickStop(): No tick: TI"), 1u);
    SvcTickRestart();
    SvcTickCheckTimeouts(tmcbP);
    EXPECT_EQ(calls.load(), 0);
    EXPECT_EQ(Expiry(), 0u);
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
            if (SvcTickGetTaskTmcb() != claimed[i]) claimed[i] = nullptr; // found again
            holdIds.arrive_and_wait();
        });
    }
    ASSERT_TRUE(rktest::Eventually([] {
        for (tSvcTmcb &tmcb : SvcTmcb) {
            if (std::atomic_ref<uint32>(tmcb.taskId).load() == 0) return false;
        }
        return true;
    }));
    EXPECT_EQ(SvcTickGetTaskTmcb(), nullptr);
    EXPECT_EQ(SvcTickStart(100, eOS_BOOL_TRUE, CountCall, nullptr), eOS_RET_NO_RESOURCE);
    EXPECT_EQ(Reports("CRITICAL:SvcTickStart(): No more tSvcTmcb: TI"), 1u);
    SvcTickStop();
    SvcTickRestart();
    EXPECT_EQ(Reports("MAJOR:SvcTickStop(): tSvcTmcb not found: TI"), 1u);
    EXPECT_EQ(Reports("MAJOR:SvcTickRestart(): tSvcTmcb not found: TI"), 1u);
    // A task without an entry still waits, without a tick.
    EXPECT_EQ(SvcSemWait(Sem("s", 1), 0), eOS_RET_SUCCESS);
    holdIds.arrive_and_wait();
    for (std::thread &t : threads) t.join();
    std::set<tSvcTmcb *> distinct(claimed.begin(), claimed.end());
    EXPECT_EQ(distinct.size(), (size_t)kTasks);
    EXPECT_EQ(distinct.count(nullptr), 0u);
}

} // namespace
