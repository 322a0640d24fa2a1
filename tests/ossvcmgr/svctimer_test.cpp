// svctimer_test.cpp - the conveyor belts, turned tick by tick with SvcTimerTick: belt sizing, the
// tick on which each timer fires from any belt position, refusals, start order, stops inside
// callbacks, no allocation while ticking, and one run inside a real task's receive call.
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

constexpr eSvcTaskName kTask = eSVC_TASK_NAME_OMCI;   // 2
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

class TimerTest : public svctest::ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_EQ(SvcModuleReg(kModule, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
        beltBlocks_ = LeakedBlocks();
        rktest::LogReports().Clear();
        tickNo = 0;
        fired.clear();
    }
    static void Tick(eSvcTaskName task = kTask) {
        tickNo++;
        SvcTimerTick((void *)(uintptr_t)task);
    }
    static void TickTo(int tick) {
        while (tickNo < tick) Tick();
    }
    static tSvcTimerId Start(uint32 msecs, int number, eOsBool periodic = eOS_BOOL_FALSE) {
        return SvcTimerStart(kModule, msecs, periodic, Record, Number(number));
    }
    // Timer blocks alive, the two belts left out.
    long LiveTimers() const { return LeakedBlocks() - beltBlocks_; }

  private:
    long beltBlocks_ = 0;
};

using BeltSizeTest = svctest::ServiceTest;

TEST_F(BeltSizeTest, TheMinimumSlotSearchFindsTheWorkedExampleBoundary) {
    EXPECT_EQ(FindIntermediateTimer(100, 10000, 50), 1022u);
    // A range too short to search ends in its middle.
    EXPECT_EQ(FindIntermediateTimer(100, 200, 50), 150u);
}

TEST_F(BeltSizeTest, InitSizesTheWorkedExampleAndArmsTheTaskTick) {
    ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
    const tTaskTimer &tt = TaskTimer[kTask];
    EXPECT_EQ(tt.hrcSlotCounts, 20);
    EXPECT_EQ(tt.lrcSlotCounts, 11);
    EXPECT_EQ(tt.ths, 19);
    EXPECT_EQ(tt.tls, 10);
    EXPECT_EQ(tt.shortestTimer, 100u);
    EXPECT_EQ(tt.intermediateTimer, 1050u);
    EXPECT_EQ(tt.longestTimer, 10550u);
    EXPECT_EQ(tt.msecsPerTick, 50);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): intermediateTimer interval adjusted: T2, 1022->1050.\n"), 1u);
    EXPECT_EQ(Reports("MINOR:SvcTimerInit(): longestTimer interval adjusted: T2, 10000->10550.\n"), 1u);
    EXPECT_EQ(Reports("shortestTimer"), 0u);
    EXPECT_EQ(LeakedBlocks(), 2);

    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    EXPECT_EQ(tmcbP->callback, SvcTimerTick);
    EXPECT_EQ(tmcbP->periodic, eOS_BOOL_TRUE);
    EXPECT_EQ(tmcbP->duration.low, 50u);
    EXPECT_EQ(tmcbP->userDataP, (void *)(uintptr_t)kTask);
}

TEST_F(BeltSizeTest, InitRefusesBadArgumentsAndASecondInit) {
    EXPECT_EQ(SvcTimerInit(eSVC_TASK_NAME_INVALID, 50, 100, 10000), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Invalid task name: T19.\n"), 1u);
    EXPECT_EQ(SvcTimerInit(kTask, 49, 100, 10000), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Invalid timer tick interval: T2, TI49.\n"), 1u);
    EXPECT_EQ(SvcTimerInit(kTask, 50, 40, 10000), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Invalid timer values:\n T2, TI50, ST40, LT10000.\n"), 1u);
    EXPECT_EQ(SvcTimerInit(kTask, 50, 500, 500), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Invalid timer values:\n T2, TI50, ST500, LT500.\n"), 1u);
    // Bounds whose belts would need a longest timer beyond 32 bits.
    EXPECT_EQ(SvcTimerInit(kTask, 50, 50, 0xFFFFFFFFu), eOS_RET_INVALID_ARG);
    EXPECT_EQ(LeakedBlocks(), 0);

    ASSERT_EQ(SvcTimerInit(kTask, 50, 130, 10000), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): shortestTimer interval adjusted: T2, 130->100.\n"), 1u);
    EXPECT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_FAILURE);
    EXPECT_EQ(Reports("MAJOR:SvcTimerInit(): Timer re-initialization: T2.\n"), 1u);
    EXPECT_EQ(LeakedBlocks(), 2);
}

// Starts, at every belt position over more than a full turn of both belts, one timer of each length
// in lengths, and checks that each fires exactly once, on the (ticks + 2)-th tick after its start.
void CheckEveryLengthFromEveryPosition(eSvcTaskName task, eSvcModuleId module,
                                       const std::vector<uint32> &lengths) {
    const tTaskTimer &tt = TaskTimer[task];
    const int positions = tt.hrcSlotCounts * tt.lrcSlotCounts + 3;
    std::map<int, int> expectedTick; // timer number -> tick
    int number = 0;
    int lastTick = 0;
    tickNo = 0;
    fired.clear();
    for (int position = 0; position < positions; position++) {
        for (uint32 msecs : lengths) {
            ASSERT_NE(SvcTimerStart(module, msecs, eOS_BOOL_FALSE, Record, Number(number)), nullptr)
                << msecs;
            const int due = tickNo + (int)(msecs / tt.msecsPerTick) + 2;
            expectedTick[number++] = due;
            lastTick = std::max(lastTick, due);
        }
        tickNo++;
        SvcTimerTick((void *)(uintptr_t)task);
    }
    while (tickNo < lastTick + 3) {
        tickNo++;
        SvcTimerTick((void *)(uintptr_t)task);
    }
    ASSERT_EQ(fired.size(), expectedTick.size());
    for (auto [tick, n] : fired) ASSERT_EQ(tick, expectedTick[n]) << "timer " << n;
}

TEST_F(BeltSizeTest, EveryAcceptedLengthFiresOnTimeFromAnyBeltPosition) {
    ASSERT_EQ(SvcModuleReg(kModule, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
    std::vector<uint32> lengths;
    for (uint32 ticks = 2; ticks <= 211; ticks++) lengths.push_back(std::min<uint32>(ticks * 50 + (ticks % 7) * 7, 10550));
    lengths.push_back(10550); // exactly the longest timer
    CheckEveryLengthFromEveryPosition(kTask, kModule, lengths);
    EXPECT_EQ(LeakedBlocks(), 2);
}

TEST_F(BeltSizeTest, TheLowBeltGrowsSoThatALongShortestTimerStillReachesTheLongest) {
    // Sized from the boundary alone these belts would reach fewer ticks than the longest timer has.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcTimerInit(eSVC_TASK_NAME_PM, 50, 5000, 10000), eOS_RET_SUCCESS);
    const tTaskTimer &tt = TaskTimer[eSVC_TASK_NAME_PM];
    EXPECT_GE((uint32)tt.hrcSlotCounts * tt.lrcSlotCounts - 1, tt.longestTimer / 50);
    std::vector<uint32> lengths;
    for (uint32 msecs = 5000; msecs <= tt.longestTimer; msecs += 50) lengths.push_back(msecs);
    CheckEveryLengthFromEveryPosition(eSVC_TASK_NAME_PM, eSVC_MODULE_ID_PM, lengths);
    EXPECT_EQ(Reports("StartTimer()"), 0u);
}

TEST_F(TimerTest, AOneShotOfTenTicksFiresOnTheTwelfthTick) {
    ASSERT_NE(Start(500, 1), nullptr);
    EXPECT_EQ(LiveTimers(), 1);
    TickTo(11);
    EXPECT_TRUE(fired.empty());
    Tick();
    EXPECT_EQ(FiredOn(12), std::vector<int>{1});
    TickTo(60);
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_EQ(LiveTimers(), 0);
}

TEST_F(TimerTest, APeriodicTimerFiresOnTheTwelfthTickThenEveryEleventh) {
    ASSERT_NE(Start(500, 1, eOS_BOOL_TRUE), nullptr);
    TickTo(12 + 11 * 30);
    ASSERT_EQ(fired.size(), 31u);
    for (size_t i = 0; i < fired.size(); i++) EXPECT_EQ(fired[i].first, 12 + 11 * (int)i);
    EXPECT_EQ(LiveTimers(), 1);
}

TEST_F(TimerTest, ParkedPeriodicTimersKeepTheirPeriodAcrossBothBelts) {
    ASSERT_NE(Start(3000, 1, eOS_BOOL_TRUE), nullptr);   // 60 ticks: parked on the low belt
    ASSERT_NE(Start(10550, 2, eOS_BOOL_TRUE), nullptr);  // 211 ticks: the longest
    TickTo(62 + 61 * 20);
    std::vector<int> first, second;
    for (auto [t, n] : fired) (n == 1 ? first : second).push_back(t);
    ASSERT_EQ(first.size(), 21u);
    for (size_t i = 0; i < first.size(); i++) EXPECT_EQ(first[i], 62 + 61 * (int)i);
    ASSERT_GE(second.size(), 5u);
    for (size_t i = 0; i < second.size(); i++) EXPECT_EQ(second[i], 213 + 212 * (int)i);
}

TEST_F(TimerTest, LengthsOutsideTheBoundsAndANullCallbackAreRefusedWithoutABlock) {
    EXPECT_NE(Start(10550, 1), nullptr);
    EXPECT_EQ(Start(10551, 2), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Longer than longest: M3, TM2, T10551, LT10550.\n"), 1u);
    EXPECT_NE(Start(100, 3), nullptr);
    EXPECT_EQ(Start(99, 4), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Shorter than shortest: M3, TN2, T99, ST100.\n"), 1u);
    EXPECT_EQ(Start(0, 5), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Shorter than shortest: M3, TN2, T0, ST100.\n"), 1u);
    EXPECT_EQ(SvcTimerStart(kModule, 500, eOS_BOOL_FALSE, nullptr, Number(0xAB)), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): NULL callback: TN2, T500, UIAB.\n"), 1u);

    // A module without a task, and a task whose service was never set up.
    EXPECT_EQ(SvcTimerStart(eSVC_MODULE_ID_LMT, 500, eOS_BOOL_FALSE, Record, nullptr), nullptr);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_LMT, eSVC_TASK_NAME_LMT, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcTimerStart(eSVC_MODULE_ID_LMT, 500, eOS_BOOL_FALSE, Record, nullptr), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Longer than longest: M14, TM9, T500, LT0.\n"), 1u);
    EXPECT_EQ(SvcTimerStart(eSVC_MODULE_ID_LMT, 0, eOS_BOOL_FALSE, Record, nullptr), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStart(): Shorter than shortest: M14, TN9, T0, ST0.\n"), 1u);
    SvcTimerTick((void *)(uintptr_t)eSVC_TASK_NAME_LMT); // no belts: nothing to turn

    EXPECT_EQ(LiveTimers(), 2);
}

TEST_F(TimerTest, ABlockBeyondTheReachOfTheBeltsIsNotPlaced) {
    // From slot 19 the belts reach 19 + 20 x 11 - 1 = 238 ticks; SvcTimerStart asks at most 211.
    tTimerBlock block{};
    block.ticks = 238;
    EXPECT_EQ(StartTimer(kTask, &block), eOS_RET_SUCCESS);
    RemoveTimer(&block);
    block = {};
    block.ticks = 239;
    EXPECT_EQ(StartTimer(kTask, &block), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("CRITICAL:StartTimer(): Timer invalid HRC slot:\n  T2, ticks(239), hrsSlotNo(19), "
                      "lrcSlot(11), THS(19).\n"),
              1u);
    EXPECT_EQ(block.next, nullptr);
    TickTo(250);
    EXPECT_TRUE(fired.empty());
}

TEST_F(TimerTest, TimersDueOnTheSameTickFireInStartOrder) {
    // Same length, started one after another.
    for (int n = 1; n <= 5; n++) ASSERT_NE(Start(500, n), nullptr);
    // A parked timer started first and a direct one started later, both due on tick 27: the parked
    // one reaches its slot at the end of the turn, after the direct one was placed there.
    ASSERT_NE(Start(25 * 50, 10), nullptr);
    TickTo(8);
    ASSERT_NE(Start(17 * 50, 11), nullptr);
    ASSERT_NE(Start(17 * 50, 12), nullptr);
    TickTo(30);
    EXPECT_EQ(FiredOn(12), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(FiredOn(27), (std::vector<int>{10, 11, 12}));
}

TEST_F(TimerTest, AOneShotStoppingItselfInItsCallbackIsFreedOnceAfterIt) {
    static tSvcTimerId selfId;
    static int callbacks;
    callbacks = 0;
    selfId = SvcTimerStart(
        kModule, 200, eOS_BOOL_FALSE,
        [](void *) {
            callbacks++;
            SvcTimerStop(kModule, selfId);
        },
        nullptr);
    ASSERT_NE(selfId, nullptr);
    TickTo(10);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStop():Delete itself within timeout callback: M3, TN2.\n"), 1u);
    EXPECT_EQ(LiveTimers(), 0);
}

TEST_F(TimerTest, APeriodicTimerStoppingItselfInItsCallbackIsFreedAfterIt) {
    static tSvcTimerId selfId;
    static int callbacks;
    callbacks = 0;
    selfId = SvcTimerStart(
        kModule, 200, eOS_BOOL_TRUE,
        [](void *) {
            callbacks++;
            SvcTimerStop(kModule, selfId);
        },
        nullptr);
    TickTo(6);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(LiveTimers(), 0);
    TickTo(40);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(TimerTest, ACallbackMayStopTheOtherTimersOfItsSlot) {
    static tSvcTimerId others[2];
    ASSERT_NE(SvcTimerStart(
                  kModule, 500, eOS_BOOL_FALSE,
                  [](void *) {
                      Record(Number(1));
                      SvcTimerStop(kModule, others[0]);
                      SvcTimerStop(kModule, others[1]);
                  },
                  nullptr),
              nullptr);
    others[0] = Start(500, 2);                 // one-shot: freed at once
    others[1] = Start(500, 3, eOS_BOOL_TRUE); // periodic: marked, freed by the tick
    ASSERT_NE(Start(500, 4), nullptr);        // after them in the slot, not stopped
    TickTo(40);
    EXPECT_EQ(FiredOn(12), (std::vector<int>{1, 4}));
    EXPECT_EQ(fired.size(), 2u);
    EXPECT_EQ(LiveTimers(), 0);
    EXPECT_EQ(Reports("SvcTimerStop()"), 0u);
}

TEST_F(TimerTest, AStoppedPeriodicTimerNeverFiresAgainAndIsFreedWhenItsSlotComes) {
    tSvcTimerId periodic = Start(500, 1, eOS_BOOL_TRUE);
    TickTo(12);
    EXPECT_EQ(fired.size(), 1u);
    SvcTimerStop(kModule, periodic);
    EXPECT_EQ(LiveTimers(), 1);
    TickTo(23);
    EXPECT_EQ(LiveTimers(), 0);
    TickTo(100);
    EXPECT_EQ(fired.size(), 1u);

    // A one-shot is freed at once, also one parked on the low belt.
    ASSERT_NE(Start(200, 2), nullptr);
    tSvcTimerId parked = Start(9000, 3);
    EXPECT_EQ(LiveTimers(), 2);
    SvcTimerStop(kModule, parked);
    EXPECT_EQ(LiveTimers(), 1);
    SvcTimerStop(kModule, nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStop(): Invalid timer block: M3.\n"), 1u);
    TickTo(400);
    EXPECT_EQ(FiredOn(106), std::vector<int>{2});
    EXPECT_EQ(fired.size(), 2u);
}

std::atomic<int> allocations{0};
void *CountingAlloc(size_t size) {
    allocations++;
    return malloc(size);
}

TEST_F(TimerTest, TurningTheBeltsAllocatesNothing) {
    for (int n = 0; n < 50; n++) ASSERT_NE(Start(100 + 200 * n, n, eOS_BOOL_TRUE), nullptr);
    OsWrap__RegisterMemHandleFunc(CountingAlloc, nullptr);
    TickTo(3 * 220); // three turns of the low belt: periodic re-starts and parked moves
    OsWrap__RegisterMemHandleFunc(nullptr, nullptr);
    EXPECT_GT(fired.size(), 500u);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(LiveTimers(), 50);
}

TEST_F(TimerTest, FreeTimerUserInfoFreesAccountedUserInfoOnce) {
    void *infoP = OsWrap__Alloc(16);
    tSvcTimerId id = SvcTimerStart(kModule, 500, eOS_BOOL_FALSE, Record, infoP);
    EXPECT_EQ(LiveTimers(), 2);
    FreeTimerUserInfo(kModule, id);
    EXPECT_EQ(static_cast<tTimerBlock *>(id)->userInfoP, nullptr);
    FreeTimerUserInfo(kModule, id);
    EXPECT_EQ(LiveTimers(), 1);
    FreeTimerUserInfo(kModule, nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcTimerStop(): Invalid timer block: M3.\n"), 1u);
    SvcTimerStop(kModule, id);
    EXPECT_EQ(LiveTimers(), 0);
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
        tOsQueueId queueId = Queue();
        ASSERT_EQ(SvcTaskReg(kTask, taskId, queueId, OS_SEM_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcModuleReg(kModule, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_NE(SvcTimerStart(kModule, 300, eOS_BOOL_FALSE, SendWakeUp, nullptr), nullptr);
        tSvcMsg *msgP = nullptr;
        ASSERT_EQ(SvcMsgRcv(queueId, &msgP, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
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
