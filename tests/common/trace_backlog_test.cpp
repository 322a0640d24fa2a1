// trace_backlog_test.cpp - the trace task's bounded backlog: storms of several writers while the
// trace task is held or slowed by its sink, the exact count of what was written and dropped, the
// summary record once the backlog drains, and the memory the storm may take.
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "trace_support.h"

namespace {

using namespace std::chrono_literals;

constexpr const char *kStormMarker = "storm-record";
constexpr const char *kHoldMarker = "storm-hold";

// The sink behind syslog, seen in the trace task: storm records are counted (not kept) and may
// each cost the task some time; the hold record keeps the task until it is released; every other
// line is captured as usual. Never destroyed: the trace task may still write while the program
// exits.
struct tSlowSink {
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> summaries{0};          // summary records written
    std::atomic<uint64_t> deliveredAtSummary{0}; // storm records written before the last summary
    std::atomic<int> delayMicroseconds{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool holding = false; // the next hold record keeps the trace task
    bool held = false;    // the trace task is kept
};
tSlowSink &sink = *new tSlowSink;

void SlowSinkObserver(const char *lineP) {
    if (strstr(lineP, kStormMarker) != nullptr) {
        sink.delivered.fetch_add(1);
        if (int delay = sink.delayMicroseconds.load(); delay != 0)
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
        return;
    }
    if (strstr(lineP, "TraceTask(): Trace records dropped") != nullptr) {
        sink.deliveredAtSummary = sink.delivered.load();
        sink.summaries.fetch_add(1);
    }
    if (strstr(lineP, kHoldMarker) != nullptr) {
        std::unique_lock lock(sink.mutex);
        sink.held = true;
        sink.changed.notify_all();
        sink.changed.wait_for(lock, 60s, [] { return !sink.holding; });
        sink.held = false;
    }
    rktest::SyslogLines().Add(lineP);
}

// Keeps the trace task in the sink with one record in its hands, so that nothing leaves the backlog.
void HoldTraceTask() {
    {
        std::lock_guard lock(sink.mutex);
        sink.holding = true;
    }
    CriticalLog("%s\n", kHoldMarker);
    std::unique_lock lock(sink.mutex);
    ASSERT_TRUE(sink.changed.wait_for(lock, 10s, [] { return sink.held; }));
}

void ReleaseTraceTask() {
    std::lock_guard lock(sink.mutex);
    sink.holding = false;
    sink.changed.notify_all();
}

uint32 Dropped() { return __atomic_load_n(&TraceDropCnt, __ATOMIC_RELAXED); }

long ResidentBytes() {
    long size = 0, resident = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    if (fscanf(statm, "%ld %ld", &size, &resident) != 2) resident = -1;
    fclose(statm);
    return resident * sysconf(_SC_PAGESIZE);
}

// Each storm thread writes through one of the three queued writers.
using tStormWriter = void (*)(int thread, int record);
constexpr tStormWriter kStormWriters[] = {
    [](int t, int r) { OsCriticalLog("%s t%d r%d\n", kStormMarker, t, r); },
    [](int t, int r) { CriticalLog("%s t%d r%d\n", kStormMarker, t, r); },
    [](int t, int r) {
        TraceInterface("storm.c", 1, "Storm", eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API, "%s t%d r%d\n",
                       kStormMarker, t, r);
    }};

// Runs the writers to the end and gives the number of records written.
uint64_t Storm(int threads, int recordsPerThread) {
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t, recordsPerThread] {
            tStormWriter write = kStormWriters[t % std::size(kStormWriters)];
            for (int r = 0; r < recordsPerThread; ++r) write(t, r);
        });
    }
    for (std::thread &writer : writers) writer.join();
    return static_cast<uint64_t>(threads) * static_cast<uint64_t>(recordsPerThread);
}

// A storm of 160,000 records of 512 bytes would take about 90 MB if nothing were dropped; the
// backlog of TRACE_QUEUE_LIMIT records takes about 2 MB.
constexpr long kResidentGrowthBound = 32l << 20;

// What the sink and the counters held when a test began, so that each test sees its own storms.
class TraceBacklogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rktest::StartTrace();
        SvcSetSyslogObserver(SlowSinkObserver);
        TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API);
        SetCliDisplayMode(eOS_BOOL_FALSE); // storm records reach syslog only
        deliveredBefore_ = sink.delivered.load();
        droppedBefore_ = Dropped();
        summarisedBefore_ = rktest::SummarisedDrops(rktest::SyslogLines());
    }
    void TearDown() override {
        ReleaseTraceTask();
        sink.delayMicroseconds = 0;
        rktest::EndTrace();
    }
    uint64_t Delivered() const { return sink.delivered.load() - deliveredBefore_; }
    uint64_t DroppedHere() const { return Dropped() - droppedBefore_; }
    uint64_t Summarised() const {
        return rktest::SummarisedDrops(rktest::SyslogLines()) - summarisedBefore_;
    }

  private:
    uint64_t deliveredBefore_ = 0;
    uint32 droppedBefore_ = 0;
    uint64_t summarisedBefore_ = 0;
};

// Rounds against a held trace task: exactly TRACE_QUEUE_LIMIT records wait, every other one is
// dropped and counted, and once released the trace task writes them all and then one summary of
// the round's drops alone.
TEST_F(TraceBacklogTest, HeldTraceTaskKeepsTheLimitAndSummarisesEachRoundsDrops) {
    struct Round {
        int threads;
        int recordsPerThread;
    };
    constexpr Round kRounds[] = {{4, 40000}, {1, TRACE_QUEUE_LIMIT + 10}, {3, 1000}};
    uint64_t written = 0;
    for (const Round &round : kRounds) {
        SCOPED_TRACE(testing::Message() << round.threads << " x " << round.recordsPerThread);
        const uint64_t droppedBefore = DroppedHere();
        const uint64_t summarisedBefore = Summarised();
        const uint64_t deliveredBefore = Delivered();
        const uint64_t summariesBefore = sink.summaries.load();
        HoldTraceTask();
        const uint32 blocksBefore = __atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED);
        const long residentBefore = ResidentBytes();
        const uint64_t stormed = Storm(round.threads, round.recordsPerThread);
        written += stormed;
        const uint64_t waiting = std::min<uint64_t>(stormed, TRACE_QUEUE_LIMIT);
        EXPECT_LT(ResidentBytes() - residentBefore, kResidentGrowthBound);
        EXPECT_EQ(__atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED) - blocksBefore, waiting);
        EXPECT_EQ(DroppedHere() - droppedBefore, stormed - waiting);
        ReleaseTraceTask();
        // The summary covers this round alone, and comes once the backlog has drained.
        EXPECT_TRUE(rktest::Eventually([&] {
            return Summarised() - summarisedBefore == stormed - waiting &&
                   Delivered() - deliveredBefore == waiting;
        })) << Summarised() - summarisedBefore << " summarised, " << Delivered() - deliveredBefore
            << " delivered";
        const bool dropped = stormed > waiting;
        EXPECT_EQ(sink.summaries.load() - summariesBefore, dropped ? 1u : 0u);
        if (dropped) {
            EXPECT_EQ(sink.deliveredAtSummary.load(), sink.delivered.load()) << "summarised before the drain";
        }
    }
    EXPECT_EQ(Delivered() + DroppedHere(), written);
}

// Writers and a trace task slowed by its sink run side by side: the backlog fills and drains over
// and over, and each record is delivered or counted, never both and never neither; the summaries
// add up to the count.
TEST_F(TraceBacklogTest, SlowSinkDeliversOrCountsEveryRecordOfAStorm) {
    sink.delayMicroseconds = 100;
    const long residentBefore = ResidentBytes();
    const uint64_t written = Storm(3, 20000);
    EXPECT_LT(ResidentBytes() - residentBefore, kResidentGrowthBound);
    EXPECT_GT(DroppedHere(), 0u) << "a sink of at most 10,000 records a second keeps up with no storm";
    sink.delayMicroseconds = 0;
    ASSERT_TRUE(rktest::WaitForNoLiveBlocks()); // every record taken from the backlog was written
    EXPECT_EQ(Delivered() + DroppedHere(), written);
    EXPECT_TRUE(rktest::Eventually([&] { return Summarised() == DroppedHere(); }))
        << Summarised() << " summarised, " << DroppedHere() << " dropped";
}

} // namespace
