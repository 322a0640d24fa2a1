// svc_bench.cpp - the service layer against plain baselines, in the same run: starting and stopping
// a million conveyor-belt timers against a std::multimap timer set, one belt tick with 100,000
// against 1,000 live timers, and a service-message round trip between two service tasks against
// the wrapper's queue ping-pong. After the runs it prints each ratio of real time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "oswrap.h"
#include "queue_pingpong.h"
#include "ratio_reporter.h"
#include "svc.h"
#include "svcinternal.h"
#include "svcmsg.h"
#include "timerdef.h"

namespace {

void EnsureInit() {
    static const bool done =
        OsWrap__Init(nullptr) == eOS_RET_SUCCESS && SvcInit(nullptr, nullptr) == eOS_RET_SUCCESS;
    if (!done) abort();
}

// A small fixed-seed generator, so that both sides of a comparison see the same lengths and order.
struct Lcg {
    uint64_t state;
    uint32 Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (uint32)(state >> 33);
    }
};

void NoOp(void *) {}

// ---- start + stop of 1,000,000 timers ----------------------------------------------------------

const int kTimers = ratio::Count(1000000); // one in a smoke run
constexpr uint32 kShortest = 100;
constexpr uint32 kLongest = 10000; // the belts stretch it to 10550

// Lengths over the configured range and a shuffled stop order, the same for both sides.
struct Workload {
    std::vector<uint32> lengths;
    std::vector<int> stopOrder;
    Workload() : lengths(kTimers), stopOrder(kTimers) {
        Lcg rng{42};
        for (int i = 0; i < kTimers; i++) lengths[i] = kShortest + rng.Next() % (kLongest - kShortest + 1);
        for (int i = 0; i < kTimers; i++) stopOrder[i] = i;
        for (int i = kTimers - 1; i > 0; i--) std::swap(stopOrder[i], stopOrder[rng.Next() % (i + 1)]);
    }
};

const Workload &Load() {
    static const Workload load;
    return load;
}

void BM_TimerStartStop_RelayKit(benchmark::State &state) {
    EnsureInit();
    static const bool ready =
        SvcModuleReg(eSVC_MODULE_ID_OMCI_ME, eSVC_TASK_NAME_OMCI, OS_QUEUE_ID_INVALID) == eOS_RET_SUCCESS &&
        SvcTimerInit(eSVC_TASK_NAME_OMCI, 50, kShortest, kLongest) == eOS_RET_SUCCESS;
    if (!ready) abort();
    const Workload &load = Load();
    std::vector<tSvcTimerId> ids(kTimers);
    for (auto _ : state) {
        for (int i = 0; i < kTimers; i++) {
            ids[i] = SvcTimerStart(eSVC_MODULE_ID_OMCI_ME, load.lengths[i], eOS_BOOL_FALSE, NoOp, nullptr);
        }
        for (int i : load.stopOrder) SvcTimerStop(eSVC_MODULE_ID_OMCI_ME, ids[i]);
    }
}
BENCHMARK(BM_TimerStartStop_RelayKit)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(ratio::Count(5));

void BM_TimerStartStop_Baseline(benchmark::State &state) {
    const Workload &load = Load();
    using TimerSet = std::multimap<uint64_t, tSvcTimerCallback>;
    std::vector<TimerSet::iterator> ids(kTimers);
    const uint64_t now = 1000000;
    for (auto _ : state) {
        TimerSet timers;
        for (int i = 0; i < kTimers; i++) ids[i] = timers.emplace(now + load.lengths[i], NoOp);
        for (int i : load.stopOrder) timers.erase(ids[i]);
        benchmark::DoNotOptimize(timers);
    }
}
BENCHMARK(BM_TimerStartStop_Baseline)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(ratio::Count(5));

// ---- one tick with many live timers ------------------------------------------------------------

// One hour of timers on a 50 ms tick. Every tick handles the same load: eight periodic timers per
// high-resolution slot. The other live timers are parked on low-resolution slots that the measured
// ticks (all repetitions together) do not reach.
constexpr uint32 kTickLongest = 3600000;
constexpr int kPerSlot = 8;
constexpr int kMeasuredTicks = 10000;
constexpr int kRepetitions = 3;
constexpr uint32 kParkedFrom = 32000 * 50; // beyond kMeasuredTicks x kRepetitions

// What the set-up task loads onto one task's belts; it says whether it succeeded.
struct BeltLoad {
    eSvcTaskName task;
    eSvcModuleId module;
    int parked;
    bool ok;
    tOsSemId doneSem;
};
BeltLoad beltLoad;

bool LoadBelts(const BeltLoad &load) {
    if (SvcModuleReg(load.module, load.task, OS_QUEUE_ID_INVALID) != eOS_RET_SUCCESS ||
        SvcTimerInit(load.task, 50, kShortest, kTickLongest) != eOS_RET_SUCCESS) {
        return false;
    }
    const tTaskTimer &tt = TaskTimer[load.task];
    void *taskArg = (void *)(uintptr_t)load.task;
    const uint32 n = tt.hrcSlotCounts;
    // The load: periodic timers of N - 2 ticks, recurring every N - 1 ticks, started kPerSlot at
    // a time over N - 1 ticks so that every tick handles kPerSlot of them.
    for (uint32 t = 0; t < n - 1; t++) {
        for (int k = 0; k < kPerSlot; k++) SvcTimerStart(load.module, (n - 2) * 50, eOS_BOOL_TRUE, NoOp, nullptr);
        SvcTimerTick(taskArg);
    }
    Lcg rng{7};
    for (int i = 0; i < load.parked; i++) {
        const uint32 msecs = kParkedFrom + rng.Next() % (tt.longestTimer - kParkedFrom + 1);
        if (SvcTimerStart(load.module, msecs, eOS_BOOL_FALSE, NoOp, nullptr) == nullptr) return false;
    }
    return true;
}

void BeltLoadTask() {
    beltLoad.ok = LoadBelts(beltLoad);
    OsWrap__SemRelease(beltLoad.doneSem);
}

// A task's belts are set up by that task (SvcTimerInit arms the caller's own tick), so a wrapper
// task loads them and ends, its tick with it; the benchmark then turns the belts itself.
void SetUpBeltsInTheirTask(eSvcTaskName task, eSvcModuleId module, int parked) {
    beltLoad = {task, module, parked, false, OS_SEM_ID_INVALID};
    tOsTaskId loader = 0;
    if (OsWrap__SemCreate(const_cast<char *>("beltLoadSem"), 0, &beltLoad.doneSem) != eOS_RET_SUCCESS ||
        OsWrap__TaskCreate(const_cast<char *>("beltLoad"), BeltLoadTask, eOS_PRI_MEDIUM, 131072, &loader) !=
            eOS_RET_SUCCESS ||
        OsWrap__SemWait(beltLoad.doneSem, 600000) != eOS_RET_SUCCESS || !beltLoad.ok) {
        abort();
    }
    OsWrap__SemDelete(beltLoad.doneSem);
}

void TickWithLiveTimers(benchmark::State &state, eSvcTaskName task, eSvcModuleId module) {
    EnsureInit();
    const int parked = (int)state.range(0);
    static bool setUp[SVC_TASK_TABLE_SIZE];
    if (!setUp[task]) {
        setUp[task] = true;
        SetUpBeltsInTheirTask(task, module, parked);
    }
    const tTaskTimer &tt = TaskTimer[task];
    void *taskArg = (void *)(uintptr_t)task;
    for (auto _ : state) SvcTimerTick(taskArg);
    state.counters["live"] = parked + kPerSlot * (tt.hrcSlotCounts - 1);
    state.counters["N"] = tt.hrcSlotCounts;
    state.counters["M"] = tt.lrcSlotCounts;
}

void BM_Tick_RelayKit_100000Live(benchmark::State &state) {
    TickWithLiveTimers(state, eSVC_TASK_NAME_OMCI_AGT_LOW, eSVC_MODULE_ID_OMCI_AGT_LOW);
}
BENCHMARK(BM_Tick_RelayKit_100000Live)->Arg(100000)->Iterations(ratio::Count(kMeasuredTicks))->Repetitions(ratio::Count(kRepetitions));

void BM_Tick_RelayKit_1000Live(benchmark::State &state) {
    TickWithLiveTimers(state, eSVC_TASK_NAME_OMCI_AGT_HIGH, eSVC_MODULE_ID_OMCI_AGT_HIGH);
}
BENCHMARK(BM_Tick_RelayKit_1000Live)->Arg(1000)->Iterations(ratio::Count(kMeasuredTicks))->Repetitions(ratio::Count(kRepetitions));

// ---- service message round trip ------------------------------------------------------------------

constexpr eSvcModuleId kPingModule = eSVC_MODULE_ID_SVC_MGR;
constexpr eSvcModuleId kEchoModule = eSVC_MODULE_ID_PM;
constexpr uint16 kStopType = 0xFFFF;

// The echo service task: sends every message back to its sender until told to stop.
void EchoServiceTask() {
    tOsQueueId queueId = 0;
    OsWrap__QueueCreate(const_cast<char *>("echoQ"), 0, &queueId);
    SvcTaskReg(eSVC_TASK_NAME_PM, OsWrap__TaskId(), queueId, OS_SEM_ID_INVALID);
    SvcModuleReg(kEchoModule, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID);
    SvcTaskUp();
    for (;;) {
        tSvcMsg *msgP = nullptr;
        if (SvcMsgRcv(queueId, &msgP, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        const bool stop = SvcMsgGetMsgType(msgP) == kStopType;
        SvcMsgSetDstModuleId(msgP, SvcMsgGetSrcModuleId(msgP));
        SvcMsgSetSrcModuleId(msgP, kEchoModule);
        SvcMsgSend(msgP);
        if (stop) return;
    }
}

void BM_MsgRoundTrip_RelayKit(benchmark::State &state) {
    EnsureInit();
    tOsQueueId pingQueue = 0;
    OsWrap__QueueCreate(const_cast<char *>("pingQ"), 0, &pingQueue);
    SvcTaskReg(eSVC_TASK_NAME_SVC_MGR, OsWrap__TaskId(), pingQueue, OS_SEM_ID_INVALID);
    SvcModuleReg(kPingModule, eSVC_TASK_NAME_SVC_MGR, OS_QUEUE_ID_INVALID);
    tOsTaskId echo = 0;
    if (SvcTaskStart(const_cast<char *>("echoTask"), EchoServiceTask, eOS_PRI_MEDIUM, 131072, &echo) !=
        eOS_RET_SUCCESS) {
        state.SkipWithError("echo task not started");
        return;
    }
    auto roundTrip = [](uint16 type) {
        tSvcMsg *msgP = SvcMsgAlloc(64);
        SvcMsgSetMsgType(msgP, type);
        SvcMsgSetSrcModuleId(msgP, kPingModule);
        SvcMsgSetDstModuleId(msgP, kEchoModule);
        SvcMsgSend(msgP);
        tSvcMsg *backP = nullptr;
        SvcMsgRcv(SvcTaskTable[eSVC_TASK_NAME_SVC_MGR].queueId, &backP, OS_WAIT_FOREVER);
        SvcMsgFree(backP);
    };
    for (auto _ : state) roundTrip(1);
    roundTrip(kStopType);
    OsWrap__TaskDelete(echo);
}
BENCHMARK(BM_MsgRoundTrip_RelayKit)->UseRealTime();

// The wrapper's own queue ping-pong with one block going back and forth.
void BM_QueuePingPong_Baseline(benchmark::State &state) {
    EnsureInit();
    pingpong::Run(state);
}
BENCHMARK(BM_QueuePingPong_Baseline)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    return ratio::Main(argc, argv,
                       {{"BM_TimerStartStop_RelayKit", "BM_TimerStartStop_Baseline"},
                        {"BM_Tick_RelayKit_100000Live", "BM_Tick_RelayKit_1000Live"},
                        {"BM_MsgRoundTrip_RelayKit", "BM_QueuePingPong_Baseline"}});
}
