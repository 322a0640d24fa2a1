// trace_bench.cpp - what tracing costs the calling task: a guarded trace while tracing is off, an
// enabled extended record handed to the trace task, and SvcPrintf of one line.
//
// Baselines in the same run: an empty loop iteration for the guarded trace; spdlog's asynchronous
// logger writing the same text to a null sink for the enabled record (built only where spdlog is
// installed); the same line formatted with snprintf for SvcPrintf.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "relaykit.h"
#include "ratio_reporter.h"

#ifdef RELAYKIT_BENCH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

void StartOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        OsWrap__Init(nullptr);
        InitTrace();
        // Sinks off: the trace task writes syslog and nothing else.
        SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
        SetCliDisplayMode(eOS_BOOL_FALSE);
    });
}

// Waits until the trace task has written and freed every record queued so far.
void WaitForTraceTask() {
    while (__atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED) != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

// ---- 1. guarded trace while TraceMaskSum is 0 ------------------------------------------------------

void BM_EmptyLoop(benchmark::State &state) {
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(i);
        ++i;
    }
}
BENCHMARK(BM_EmptyLoop);

void BM_GuardedTraceOff(benchmark::State &state) {
    StartOnce();
    TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_NONE);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(i);
        Trace(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API, "message %d\n", i);
        ++i;
    }
}
BENCHMARK(BM_GuardedTraceOff);

// ---- 2. enabled extended record, one and two threads ------------------------------------------------

// Records are timed in batches; between batches the clock stops until the consumer has caught up,
// so both sides are measured at the caller with a queue that is not growing without end.
constexpr int kBatch = 512;

void BM_TraceExtEnabled(benchmark::State &state) {
    if (state.thread_index() == 0) {
        StartOnce();
        TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API);
    }
    tZqCmLinkKey key = {1, 1, 3};
    int i = 0;
    for (auto _ : state) {
        TraceInterface_Ext(__FILE__, __LINE__, __func__, eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API,
                           eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK, &key, 17, "message %d\n", i);
        if (++i % kBatch == 0) {
            state.PauseTiming();
            WaitForTraceTask();
            state.ResumeTiming();
        }
    }
    if (state.thread_index() == 0) WaitForTraceTask();
}
BENCHMARK(BM_TraceExtEnabled)->Threads(1)->Threads(2)->UseRealTime();

#ifdef RELAYKIT_BENCH_SPDLOG
std::shared_ptr<spdlog::logger> SpdlogLogger() {
    static std::shared_ptr<spdlog::logger> logger = [] {
        spdlog::init_thread_pool(8192, 1);
        auto sink = std::make_shared<spdlog::sinks::null_sink_mt>();
        return std::make_shared<spdlog::async_logger>("bench", sink, spdlog::thread_pool(),
                                                      spdlog::async_overflow_policy::block);
    }();
    return logger;
}

void WaitForSpdlog() {
    while (spdlog::thread_pool()->queue_size() != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

// The same record text, formatted by the caller with the same fields (spdlog stamps the time
// itself when the message is made).
void BM_SpdlogAsyncNullSink(benchmark::State &state) {
    auto logger = SpdlogLogger();
    tZqCmLinkKey key = {1, 1, 3};
    uint32 taskId = OsWrap__TaskId();
    int i = 0;
    for (auto _ : state) {
        logger->info("[{}]:[{}]:[TID{:08x}]:[{}:{}:{}()]:[{},{},{}]:[{}]: message {}\n", "SVCT",
                     "INFO", taskId, __FILE__, __LINE__, __func__, key.slotId, key.deviceId,
                     key.linkId, 17, i);
        if (++i % kBatch == 0) {
            state.PauseTiming();
            WaitForSpdlog();
            state.ResumeTiming();
        }
    }
    if (state.thread_index() == 0) WaitForSpdlog();
}
BENCHMARK(BM_SpdlogAsyncNullSink)->Threads(1)->Threads(2)->UseRealTime();
#endif

// ---- 3. SvcPrintf of an 80-character line to a no-op handler ----------------------------------------

void NoOpHandler(char *) {}

constexpr const char *kLine80 =
    "%s: link %d onu %d state %d, rx %u tx %u, errors %u, last change %08x ok.....\n";

void BM_SvcPrintf80(benchmark::State &state) {
    StartOnce();
    SvcSysInfoHandler = NoOpHandler;
    int i = 0;
    for (auto _ : state) {
        SvcPrintf(kLine80, "OnuMgr", 3, 17, 5, 123456u, 654321u, 0u, static_cast<unsigned>(i));
        ++i;
    }
}
BENCHMARK(BM_SvcPrintf80);

// Baseline: formatting the same line into a stack buffer, nothing written.
void BM_Snprintf80(benchmark::State &state) {
    char line[2080];
    int i = 0;
    for (auto _ : state) {
        snprintf(line, sizeof line, kLine80, "OnuMgr", 3, 17, 5, 123456u, 654321u, 0u,
                 static_cast<unsigned>(i));
        benchmark::DoNotOptimize(line);
        ++i;
    }
}
BENCHMARK(BM_Snprintf80);

} // namespace

int main(int argc, char **argv) {
#ifndef RELAYKIT_BENCH_SPDLOG
    printf("trace_bench: the spdlog baseline is not built. Install it with\n"
           "    apt-get install -y libspdlog-dev\n"
           "and build the benchmarks again (make bench).\n");
#endif
    return ratio::Main(argc, argv,
                       {{"BM_GuardedTraceOff", "BM_EmptyLoop"},
                        {"BM_TraceExtEnabled", "BM_SpdlogAsyncNullSink"},
                        {"BM_TraceExtEnabled/threads:2", "BM_SpdlogAsyncNullSink/threads:2"},
                        {"BM_SvcPrintf80", "BM_Snprintf80"}});
}
