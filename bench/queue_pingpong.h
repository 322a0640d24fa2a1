// queue_pingpong.h - the OS wrapper's queue ping-pong: one block sent to an echo task and back.
// The wrapper benchmark measures it against a std queue; the service benchmark uses it as the
// baseline of a service-message round trip. OsWrap__Init must have run.
#ifndef RELAYKIT_BENCH_QUEUE_PINGPONG_H
#define RELAYKIT_BENCH_QUEUE_PINGPONG_H

#include <benchmark/benchmark.h>

#include "oswrap.h"

namespace pingpong {

inline tOsQueueId pingQueue = 0;
inline tOsQueueId pongQueue = 0;
inline void *stopBlock = nullptr;

// Sends every block back; ends after echoing the stop block.
inline void EchoTask() {
    for (;;) {
        tOsMsg msg = nullptr;
        if (OsWrap__QueueRcv(pingQueue, &msg, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        const bool stop = msg == stopBlock;
        OsWrap__QueueSend(pongQueue, msg);
        if (stop) return;
    }
}

// One iteration is one round trip; the queues and the task live for one benchmark run.
inline void Run(benchmark::State &state) {
    OsWrap__QueueCreate(const_cast<char *>("ping"), 0, &pingQueue);
    OsWrap__QueueCreate(const_cast<char *>("pong"), 0, &pongQueue);
    stopBlock = OsWrap__Alloc(8);
    void *ball = OsWrap__Alloc(64);
    tOsTaskId echo = 0;
    OsWrap__TaskCreate(const_cast<char *>("echo"), EchoTask, eOS_PRI_MEDIUM, 131072, &echo);
    for (auto _ : state) {
        OsWrap__QueueSend(pingQueue, ball);
        tOsMsg back = nullptr;
        OsWrap__QueueRcv(pongQueue, &back, OS_WAIT_FOREVER);
        benchmark::DoNotOptimize(back);
    }
    tOsMsg back = nullptr;
    OsWrap__QueueSend(pingQueue, stopBlock);
    OsWrap__QueueRcv(pongQueue, &back, OS_WAIT_FOREVER);
    OsWrap__TaskDelete(echo);
    OsWrap__Free(stopBlock);
    OsWrap__Free(ball);
    OsWrap__QueueDelete(pingQueue);
    OsWrap__QueueDelete(pongQueue);
}

} // namespace pingpong

#endif // RELAYKIT_BENCH_QUEUE_PINGPONG_H
