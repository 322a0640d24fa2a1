// oswrap_bench.cpp - the OS wrapper against plain C++ and C library equivalents, in the same run:
// queue ping-pong, one-way queue throughput, semaphore creation with a full table, accounted memory.
// After the runs it prints each relayKit/baseline ratio of real time.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "oswrap.h"
#include "queue_pingpong.h"
#include "ratio_reporter.h"

namespace {

// ---- the baseline queue ---------------------------------------------------------------------------

class StdQueue {
  public:
    void Send(void *msg) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(msg);
        }
        ready_.notify_one();
    }
    void *Receive() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !items_.empty(); });
        void *msg = items_.front();
        items_.pop_front();
        return msg;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<void *> items_;
};

void EnsureInit() {
    static const bool done = OsWrap__Init(nullptr) == eOS_RET_SUCCESS;
    (void)done;
}

tOsQueueId MakeQueue(const char *name) {
    tOsQueueId id = 0;
    if (OsWrap__QueueCreate(const_cast<char *>(name), 0, &id) != eOS_RET_SUCCESS) abort();
    return id;
}

// ---- ping-pong --------------------------------------------------------------------------------------

void BM_PingPong_RelayKit(benchmark::State &state) {
    EnsureInit();
    pingpong::Run(state);
}
BENCHMARK(BM_PingPong_RelayKit)->UseRealTime();

void BM_PingPong_Baseline(benchmark::State &state) {
    StdQueue ping, pong;
    static char stopMark;
    std::thread echo([&] {
        for (;;) {
            void *msg = ping.Receive();
            pong.Send(msg);
            if (msg == &stopMark) return;
        }
    });
    void *ball = malloc(64);
    for (auto _ : state) {
        ping.Send(ball);
        benchmark::DoNotOptimize(pong.Receive());
    }
    ping.Send(&stopMark);
    pong.Receive();
    echo.join();
    free(ball);
}
BENCHMARK(BM_PingPong_Baseline)->UseRealTime();

// ---- one producer, one consumer, 1,000,000 messages --------------------------------------------------

constexpr int kMessages = 1000000;
std::vector<void *> gBlocks;
tOsQueueId gStream = 0;

void ProducerTask() {
    for (void *block : gBlocks) OsWrap__QueueSend(gStream, block);
}

void BM_Stream_RelayKit(benchmark::State &state) {
    EnsureInit();
    if (gStream == 0) gStream = MakeQueue("stream");
    gBlocks.resize(kMessages);
    for (void *&block : gBlocks) block = OsWrap__Alloc(16);
    for (auto _ : state) {
        tOsTaskId producer = 0;
        OsWrap__TaskCreate(const_cast<char *>("producer"), ProducerTask, eOS_PRI_MEDIUM, 131072, &producer);
        for (int i = 0; i < kMessages; ++i) {
            tOsMsg msg = nullptr;
            OsWrap__QueueRcv(gStream, &msg, OS_WAIT_FOREVER);
            benchmark::DoNotOptimize(msg);
        }
        state.PauseTiming();
        OsWrap__TaskDelete(producer);
        state.ResumeTiming();
    }
    for (void *block : gBlocks) OsWrap__Free(block);
    gBlocks.clear();
    OsWrap__QueueDelete(gStream);
    gStream = 0;
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_Stream_RelayKit)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(ratio::Count(5));

void BM_Stream_Baseline(benchmark::State &state) {
    std::vector<void *> blocks(kMessages);
    for (void *&block : blocks) block = malloc(16 + 24);
    StdQueue stream;
    for (auto _ : state) {
        std::thread producer([&] {
            for (void *block : blocks) stream.Send(block);
        });
        for (int i = 0; i < kMessages; ++i) benchmark::DoNotOptimize(stream.Receive());
        state.PauseTiming();
        producer.join();
        state.ResumeTiming();
    }
    for (void *block : blocks) free(block);
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_Stream_Baseline)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(ratio::Count(5));

// ---- semaphore creation: 44,000 live against none ----------------------------------------------------

std::vector<tOsSemId> gFill;

void SemCreateDelete(benchmark::State &state) {
    for (auto _ : state) {
        tOsSemId id = 0;
        OsWrap__SemCreate(const_cast<char *>("bench"), 0, &id);
        OsWrap__SemDelete(id);
    }
}

void BM_SemCreate_RelayKit_44000Live(benchmark::State &state) {
    EnsureInit();
    gFill.resize(44000);
    for (tOsSemId &id : gFill) OsWrap__SemCreate(const_cast<char *>("fill"), 0, &id);
    SemCreateDelete(state);
    for (tOsSemId id : gFill) OsWrap__SemDelete(id);
    gFill.clear();
}
BENCHMARK(BM_SemCreate_RelayKit_44000Live);

void BM_SemCreate_Baseline_NoneLive(benchmark::State &state) {
    EnsureInit();
    SemCreateDelete(state);
}
BENCHMARK(BM_SemCreate_Baseline_NoneLive);

// ---- accounted memory -------------------------------------------------------------------------------

void BM_Alloc64_RelayKit(benchmark::State &state) {
    EnsureInit();
    MemRecordStart(0);
    for (auto _ : state) {
        void *p = OsWrap__Alloc(64);
        benchmark::DoNotOptimize(p);
        OsWrap__Free(p);
    }
}
BENCHMARK(BM_Alloc64_RelayKit);

void BM_Alloc64_Baseline(benchmark::State &state) {
    for (auto _ : state) {
        void *p = malloc(64);
        benchmark::DoNotOptimize(p);
        free(p);
    }
}
BENCHMARK(BM_Alloc64_Baseline);

} // namespace

int main(int argc, char **argv) {
    return ratio::Main(argc, argv,
                       {{"BM_PingPong_RelayKit", "BM_PingPong_Baseline"},
                        {"BM_Stream_RelayKit", "BM_Stream_Baseline"},
                        {"BM_SemCreate_RelayKit_44000Live", "BM_SemCreate_Baseline_NoneLive"},
                        {"BM_Alloc64_RelayKit", "BM_Alloc64_Baseline"}});
}
