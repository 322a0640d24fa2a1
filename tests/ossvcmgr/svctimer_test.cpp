// svctimer_test.cpp - the conveyor belts, turned tick by tick with SvcTimerTick: sizing, the tick on
// which each timer fires from any belt position, start order, stops inside callbacks, no allocation
// while ticking, and one run inside a real task's receive call.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

#include "svc_fixture.h"
#include "svcinternal.h"
#include "svcmsg.h"
#include "svctick.h"
#include "timerdef.h"

namespace {

constexpr eSvcTaskName kTask = eSVC_TASK_NAME_OMCI;      // 2
constexpr eSvcModuleId kModule = eSVC_MODULE_ID_OMCI_ME; // 3

// Ticks done so far, and every firing as (tick, timer number).
int tickNo = 0;
std::vector<std::pair<int, int>> fired;
void Record(void *userInfoP) { fired.emplace_back(tickNo, (int)(intptr_t)userInfoP); }
void *Number(int n) { return (void *)(intptr_t)n; }

std::vector<int> FiredOn(int tick) {
    std::vector<int> numbers;
    for (auto [t, n] : fired) {
        if (t == tick) numbers.push_back(n);
    }
    return numbers;
}

void Tick(eSvcTaskName task = kTask) {
    tickNo++;
    SvcTimerTick((void *)(uintptr_t)task);
}

// The worked example: tick 50 ms, timers of 100 to 10000 ms.
class TimerTest : public svctest::ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_EQ(SvcModuleReg(kModule, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
        tickNo = 0;
        fired.clear();
    }
    static void TickTo(int tick) {
        while (tickNo < tick) Tick();
    }
    static tSvcTimerId Start(uint32 msecs, int number, eOsBool periodic = eOS_BOOL_FALSE) {
        return SvcTimerStart(kModule, msecs, periodic, Record, Number(number));
    }
    long LiveTimers() const { return LeakedBlocks() - 2; } // the two belts left out
};

TEST_F(TimerTest, InitSizesTheWorkedExampleAndArmsTheTaskTick) {
    EXPECT_EQ(FindIntermediateTimer(100, 10000, 50), 1022u);
    const tTaskTimer &tt = TaskTimer[kTask];
    EXPECT_EQ(tt.hrcSlotCounts, 20);
    EXPECT_EQ(tt.lrcSlotCounts, 11);
    EXPECT_EQ(tt.intermediateTimer, 1050u);
    EXPECT_EQ(tt.longestTimer, 10550u);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): intermediateTimer interval adjusted: T2, 1022->1050.\n"), 1u);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): longestTimer interval adjusted: T2, 10000->10550.\n"), 1u);
    const tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    EXPECT_EQ(tmcbP->callback, SvcTimerTick);
    EXPECT_EQ(tmcbP->duration.low, 50u);
    EXPECT_EQ(tmcbP->userDataP, (void *)(uintptr_t)kTask);

    EXPECT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_FAILURE); // once per task
    EXPECT_EQ(SvcTimerInit(kTask, 49, 100, 10000), eOS_RET_INVALID_ARG);
    EXPECT_EQ(SvcTimerInit(eSVC_TASK_NAME_INVALID, 50, 100, 10000), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Invalid task name: T19.\n"), 1u);
    EXPECT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 40, 10000), eOS_RET_INVALID_ARG);
    // Bounds whose belts would need a longest timer beyond 32 bits.
    EXPECT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 50, 0xFFFFFFFFu), eOS_RET_INVALID_ARG);
    // This task's tick turns kTask's belts already: PM's belts could never turn, so they are not made.
    const long blocks = LeakedBlocks();
    EXPECT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 130, 10000), eOS_RET_INVALID_STATE);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): SvcTickStart() failed: T11, E3.\n"), 1u);
    EXPECT_EQ(TaskTimer[eSVC_TASK_NAME_PM].msecsPerTick, 0);
    EXPECT_EQ(LeakedBlocks(), blocks);
    std::thread([] { ASSERT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 130, 10000), eOS_RET_SUCCESS); }).join();
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): shortestTimer interval adjusted: T11, 130->100.\n"), 2u);
}

// Starts, at every belt position over more than a turn of both belts, one timer of each length, and
// checks that each fires exactly once, on the (ticks + 2)-th tick after its start.
void CheckEveryLengthFromEveryPosition(eSvcTaskName task, eSvcModuleId module, uint32 shortest) {
    const tTaskTimer &tt = TaskTimer[task];
    std::vector<uint32> lengths;
    for (uint32 msecs = shortest; msecs <= tt.longestTimer; msecs += 50) {
        lengths.push_back(std::min(msecs + msecs % 49, tt.longestTimer));
    }
    std::map<int, int> dueTick; // timer number -> tick
    int number = 0;
    tickNo = 0;
    fired.clear();
    for (int position = 0; position < tt.hrcSlotCounts * tt.lrcSlotCounts + 3; position++) {
        for (uint32 msecs : lengths) {
            ASSERT_NE(SvcTimerStart(module, msecs, eOS_BOOL_FALSE, Record, Number(number)), nullptr);
            dueTick[number++] = tickNo + (int)(msecs / tt.msecsPerTick) + 2;
        }
        Tick(task);
    }
    for (int i = 0; i < tt.hrcSlotCounts * tt.lrcSlotCounts; i++) Tick(task);
    ASSERT_EQ(fired.size(), dueTick.size());
    for (auto [tick, n] : fired) ASSERT_EQ(tick, dueTick[n]) << "timer " << n;
}

TEST_F(TimerTest, EveryAcceptedLengthFiresOnTimeFromAnyBeltPosition) {
    CheckEveryLengthFromEveryPosition(kTask, kModule, 100);
    EXPECT_EQ(LiveTimers(), 0);
}

TEST_F(TimerTest, TheLowBeltGrowsSoThatALongShortestTimerStillReachesTheLongest) {
    // Sized from the boundary alone these belts would reach fewer ticks than the longest timer has.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    std::thread([] { ASSERT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 5000, 10000), eOS_RET_SUCCESS); }).join();
    CheckEveryLengthFromEveryPosition(eSVC_TASK_NAME_PM, eSVC_MODULE_ID_PM, 5000);
}

TEST_F(TimerTest, ARangeNarrowerThanATickIsWidenedToWholeTicksOnBothBelts) {
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    std::thread([] { ASSERT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 100, 101), eOS_RET_SUCCESS); }).join();
    const tTaskTimer &tt = TaskTimer[eSVC_TASK_NAME_PM];
    EXPECT_EQ(tt.intermediateTimer, 150u);
    EXPECT_EQ(tt.longestTimer, 200u);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): intermediateTimer interval adjusted: T11, 101->150.\n"), 1u);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): longestTimer interval adjusted: T11, 151->200.\n"), 1u);
    CheckEveryLengthFromEveryPosition(eSVC_TASK_NAME_PM, eSVC_MODULE_ID_PM, 100);
}

TEST_F(TimerTest, OneShotAndPeriodicTimersOfTenTicksFireOnTheTwelfthTick) {
    ASSERT_NE(Start(500, 1), nullptr);
    ASSERT_NE(Start(500, 2, eOS_BOOL_TRUE), nullptr);
    ASSERT_NE(Start(10550, 3, eOS_BOOL_TRUE), nullptr); // the longest, parked on the low belt
    TickTo(11);
    EXPECT_TRUE(fired.empty());
    TickTo(12 + 11 * 40);
    std::map<int, std::vector<int>> ticksOf;
    for (auto [t, n] : fired) ticksOf[n].push_back(t);
    EXPECT_EQ(ticksOf[1], std::vector<int>{12});
    ASSERT_EQ(ticksOf[2].size(), 41u);
    for (size_t i = 0; i < 41; i++) EXPECT_EQ(ticksOf[2][i], 12 + 11 * (int)i); // then every 11
    EXPECT_EQ(ticksOf[3], (std::vector<int>{213, 425}));
    EXPECT_EQ(LiveTimers(), 2);
}

TEST_F(TimerTest, LengthsOutsideTheBoundsAndANullCallbackAreRefusedWithoutABlock) {
    EXPECT_NE(Start(10550, 1), nullptr);
    EXPECT_EQ(Start(10551, 2), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Longer than longest: M3, TM2, T10551, LT10550.\n"), 1u);
    EXPECT_EQ(Start(99, 3), nullptr);
    EXPECT_EQ(Start(0, 4), nullptr);
    EXPECT_EQ(SvcTimerStart(kModule, 500, eOS_BOOL_FALSE, nullptr, nullptr), nullptr);
    // A module without a task, and a task whose belts were never set up.
    EXPECT_EQ(SvcTimerStart(eSVC_MODULE_ID_LMT, 500, eOS_BOOL_FALSE, Record, nullptr), nullptr);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_LMT, eSVC_TASK_NAME_LMT, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcTimerStart(eSVC_MODULE_ID_LMT, 0, eOS_BOOL_FALSE, Record, nullptr), nullptr);
    EXPECT_EQ(LiveTimers(), 1);

    // From slot 19 the belts reach 19 + 20 x 11 - 1 = 238 ticks; a block beyond is not placed.
    tTimerBlock block{};
    block.ticks = 239;
    EXPECT_EQ(StartTimer(kTask, &block), eOS_RET_INVALID_ARG);
    EXPECT_EQ(block.next, nullptr);
}

TEST_F(TimerTest, UserInfoIsFreedOnceAndTheTimerThenFiresWithoutIt) {
    void *infoP = OsWrap__AllocExt(32, (char *)__FILE__, __LINE__, 1);
    auto keep = [](void *userInfoP) { fired.emplace_back(tickNo, userInfoP == nullptr ? 0 : 1); };
    tSvcTimerId timer = SvcTimerStart(kModule, 100, eOS_BOOL_FALSE, keep, infoP);
    ASSERT_NE(timer, nullptr);
    const long withInfo = LeakedBlocks();
    FreeTimerUserInfo(kModule, timer);
    EXPECT_EQ(LeakedBlocks(), withInfo - 1);
    FreeTimerUserInfo(kModule, timer); // nothing left to free
    EXPECT_EQ(LeakedBlocks(), withInfo - 1);
    FreeTimerUserInfo(kModule, nullptr);
    SvcTimerStop(kModule, nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStop(): Invalid timer block: M3.\n"), 2u);
    TickTo(4);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], std::make_pair(4, 0)) << "the callback gets no user info";
    EXPECT_EQ(LiveTimers(), 0);
}

TEST_F(TimerTest, TimersDueOnTheSameTickFireInStartOrder) {
    for (int n = 1; n <= 3; n++) ASSERT_NE(Start(500, n), nullptr);
    // A parked timer started first and direct ones started later, all due on tick 27: the parked
    // one reaches its slot at the end of the turn, after the direct ones were placed there.
    ASSERT_NE(Start(25 * 50, 10), nullptr);
    TickTo(8);
    ASSERT_NE(Start(17 * 50, 11), nullptr);
    ASSERT_NE(Start(17 * 50, 12), nullptr);
    TickTo(30);
    EXPECT_EQ(FiredOn(12), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FiredOn(27), (std::vector<int>{10, 11, 12}));
}

tSvcTimerId selfStopping, stoppedByOther[2];

TEST_F(TimerTest, CallbacksMayStopTheirOwnAndOtherTimersOfTheSlot) {
    selfStopping = SvcTimerStart(
        kModule, 500, eOS_BOOL_FALSE,
        [](void *) {
            Record(Number(1));
            SvcTimerStop(kModule, selfStopping);
            SvcTimerStop(kModule, stoppedByOther[0]);
            SvcTimerStop(kModule, stoppedByOther[1]);
        },
        nullptr);
    stoppedByOther[0] = Start(500, 2);                // one-shot: freed at once
    stoppedByOther[1] = Start(500, 3, eOS_BOOL_TRUE); // periodic: marked, freed by the tick
    ASSERT_NE(Start(500, 4), nullptr);                // after them in the slot, not stopped
    static tSvcTimerId periodicSelf;
    periodicSelf = SvcTimerStart(
        kModule, 500, eOS_BOOL_TRUE,
        [](void *) {
            Record(Number(5));
            SvcTimerStop(kModule, periodicSelf);
        },
        nullptr);
    TickTo(60);
    EXPECT_EQ(fired, (std::vector<std::pair<int, int>>{{12, 1}, {12, 4}, {12, 5}}));
    EXPECT_EQ(Reports("MAJOR:SvcTimerStop():Delete itself within timeout callback: M3, TN2.\n"), 1u);
    EXPECT_EQ(LiveTimers(), 0);
}

TEST_F(TimerTest, AStoppedPeriodicTimerNeverFiresAgainAndIsFreedWhenItsSlotComes) {
    tSvcTimerId periodic = Start(500, 1, eOS_BOOL_TRUE);
    TickTo(12);
    SvcTimerStop(kModule, periodic);
    EXPECT_EQ(LiveTimers(), 1);
    TickTo(23);
    EXPECT_EQ(LiveTimers(), 0);
    SvcTimerStop(kModule, Start(9000, 2)); // a parked one-shot is freed at once
    EXPECT_EQ(LiveTimers(), 0);
    TickTo(400);
    EXPECT_EQ(fired.size(), 1u);
}

std::atomic<int> allocations{0};
void *CountingAlloc(size_t size) {
    allocations++;
    return malloc(size);
}

TEST_F(TimerTest, TurningTheBeltsAllocatesNothing) {
    for (int n = 0; n < 50; n++) ASSERT_NE(Start(100 + 200 * n, n, eOS_BOOL_TRUE), nullptr);
    allocations = 0;
    OsWrap__RegisterMemHandleFunc(CountingAlloc, nullptr);
    TickTo(3 * 220); // periodic re-starts and parked moves over three turns of the low belt
    OsWrap__RegisterMemHandleFunc(nullptr, nullptr);
    EXPECT_GT(fired.size(), 500u);
    EXPECT_EQ(allocations.load(), 0);
}

// ---- in a real task ----------------------------------------------------------------------------

std::atomic<tOsTaskId> callbackTask{0};

void SendWakeUp(void *) {
    callbackTask = OsWrap__TaskId();
    tSvcMsg *msgP = SvcMsgAlloc(0);
    SvcMsgSetDstModuleId(msgP, kModule);
    SvcMsgSetMsgType(msgP, 42);
    SvcMsgSend(msgP);
}

using TaskTimerTest = svctest::ServiceTest;

TEST_F(TaskTimerTest, TheBeltsTurnInsideTheOwningTaskWhileItWaitsForMessages) {
    tOsTaskId taskId = 0;
    uint16 receivedType = 0;
    std::chrono::steady_clock::duration waited{};
    std::thread task([&] {
        taskId = OsWrap__TaskId();
        ASSERT_EQ(SvcTaskReg(kTask, taskId, Queue(), OS_SEM_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcModuleReg(kModule, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_NE(SvcTimerStart(kModule, 300, eOS_BOOL_FALSE, SendWakeUp, nullptr), nullptr);
        tSvcMsg *msgP = nullptr;
        ASSERT_EQ(SvcMsgRcv(SvcTaskTable[kTask].queueId, &msgP, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
        waited = std::chrono::steady_clock::now() - start;
        receivedType = SvcMsgGetMsgType(msgP);
        SvcMsgFree(msgP);
    });
    task.join();
    EXPECT_EQ(receivedType, 42);
    EXPECT_EQ(callbackTask.load(), taskId);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_EQ(LeakedBlocks(), 2); // the two belts
}

} // namespace
