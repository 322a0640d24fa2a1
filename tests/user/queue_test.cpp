// queue_test.cpp - message queues: FIFO order, time-out modes, foreign blocks, flush, limits, ids.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

uint32 LiveBlocks() { return std::atomic_ref<uint32>(MemAllocCnt).load(); }

std::string Hex32(const void *p) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<uint32>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

class QueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
        startBlocks_ = LiveBlocks();
    }

  public:
    static tOsQueueId Create(const char *name = "q") {
        tOsQueueId id = 0;
        EXPECT_EQ(OsWrap__QueueCreate(const_cast<char *>(name), 16, &id), eOS_RET_SUCCESS);
        return id;
    }
    // A message carrying one number.
    static tOsMsg Message(uint32 value) {
        auto *p = static_cast<uint32 *>(OsWrap__Alloc(sizeof(uint32)));
        *p = value;
        return p;
    }
    static uint32 Take(tOsMsg msg) {
        const uint32 value = *static_cast<uint32 *>(msg);
        OsWrap__Free(msg);
        return value;
    }
    uint32 startBlocks_ = 0;
};

TEST_F(QueueTest, MessagesComeOutInTheOrderTheyWentIn) {
    const tOsQueueId id = Create();
    for (uint32 v : {11u, 22u, 33u}) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    for (uint32 v : {11u, 22u, 33u}) {
        tOsMsg msg = nullptr;
        ASSERT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
        EXPECT_EQ(Take(msg), v);
    }
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST_F(QueueTest, ReceiveOnEmptyQueueHonoursEachTimeoutMode) {
    const tOsQueueId id = Create();
    tOsMsg msg = reinterpret_cast<tOsMsg>(0x1);
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_NO), eOS_RET_AGAIN);
    EXPECT_EQ(msg, nullptr);

    const auto start = Clock::now();
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, 50), eOS_RET_TIME_OUT);
    EXPECT_GE(Clock::now() - start, milliseconds(45));
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

tOsQueueId gPeerQueue = 0;
void SendLater() {
    std::this_thread::sleep_for(milliseconds(20));
    OsWrap__QueueSend(gPeerQueue, QueueTest::Message(7));
}

TEST_F(QueueTest, ForeverReceiveReturnsWhenAnotherTaskSends) {
    gPeerQueue = Create();
    tOsTaskId task = 0;
    ASSERT_EQ(OsWrap__TaskCreate(const_cast<char *>("sender"), SendLater, eOS_PRI_MEDIUM, 131072, &task),
              eOS_RET_SUCCESS);
    tOsMsg msg = nullptr;
    ASSERT_EQ(OsWrap__QueueRcv(gPeerQueue, &msg, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(msg), 7u);
}

TEST_F(QueueTest, ForeignBufferTravelsInASeparateLinkBlockThatTheReceiveFrees) {
    const tOsQueueId id = Create();
    // The send looks at the 24 bytes in front of the message: keep them inside this buffer.
    static char area[64] = {};
    tOsMsg foreign = area + 32;
    ASSERT_EQ(OsWrap__QueueSend(id, foreign), eOS_RET_SUCCESS);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:OsWrap__QueueSend(): Maybe a corrupted or uninitialized message block " +
                                       Hex32(foreign) + " \n"});
    EXPECT_EQ(LiveBlocks(), startBlocks_ + 1);

    tOsMsg msg = nullptr;
    ASSERT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(msg, foreign);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, FlushFreesMessagesAndLeavesSemaphoreCountForLaterReceives) {
    const tOsQueueId id = Create();
    static char area[64] = {};
    ASSERT_EQ(OsWrap__QueueSend(id, Message(1)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueSend(id, area + 32), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_); // the message and the link block are gone

    tOsMsg msg = nullptr;
    const auto start = Clock::now();
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_FOREVER), eOS_RET_FAILURE);
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_FOREVER), eOS_RET_FAILURE);
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, 30), eOS_RET_TIME_OUT);

    ASSERT_EQ(OsWrap__QueueSend(id, Message(9)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueRcv(id, &msg, 1000), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(msg), 9u);
}

TEST_F(QueueTest, DeleteFreesQueuedMessagesAndItsSemaphore) {
    const tOsQueueId id = Create();
    for (uint32 v = 0; v < 5; ++v) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_EQ(OWData.numOfQueues, 0);
    EXPECT_EQ(OWData.numOfSems, 0);
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_FAILURE);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__QueueDelete(): the queueId is invalid:1.\n"), 1u);
}

TEST_F(QueueTest, QueueSizeDoesNotLimitTheNumberOfMessages) {
    tOsQueueId id = 0;
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("small"), 1, &id), eOS_RET_SUCCESS);
    for (uint32 v = 0; v < 10; ++v) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    EXPECT_EQ(OWData.qcbArray[id - 1].count, 10);
    ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, TableHoldsFourHundredQueuesAndTheHighestIdWorks) {
    for (uint32 expected = 1; expected <= OS_MAX_QUEUES; ++expected) ASSERT_EQ(Create(), expected);
    tOsQueueId id = 99;
    EXPECT_EQ(OsWrap__QueueCreate(const_cast<char *>("over"), 1, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__QueueCreate(): Reached maximum queue limit.\n"), 1u);

    tOsMsg msg = nullptr;
    EXPECT_EQ(OsWrap__QueueSend(400, Message(4)), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__QueueRcv(400, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(msg), 4u);
    EXPECT_EQ(OsWrap__FlushQueue(400), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__QueueDelete(400), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(), 400u);
}

TEST_F(QueueTest, IdsOutsideTheTableAreRefusedWithTheirReports) {
    for (tOsQueueId bad : {0u, 401u}) {
        rktest::LogReports().Clear();
        const std::string n = std::to_string(bad);
        tOsMsg sent = Message(1);
        tOsMsg msg = sent;
        EXPECT_EQ(OsWrap__QueueSend(bad, sent), eOS_RET_INVALID_ARG);
        EXPECT_EQ(LiveBlocks(), startBlocks_ + 1); // a refused send leaves the message with the caller
        OsWrap__Free(sent);
        EXPECT_EQ(OsWrap__QueueRcv(bad, &msg, OS_WAIT_NO), eOS_RET_INVALID_ARG);
        EXPECT_EQ(msg, nullptr);
        EXPECT_EQ(OsWrap__QueueDelete(bad), eOS_RET_FAILURE);
        EXPECT_EQ(OsWrap__FlushQueue(bad), eOS_RET_FAILURE);
        EXPECT_EQ(rktest::LogReports().Texts(),
                  (std::vector<std::string>{"MAJOR:OsWrap__QueueSend(): Invalid destination queue Id: Q" + n + ".\n",
                                            "MAJOR:OsWrap__QueueRcv(): Invalid queue Id: Q" + n + ".\n",
                                            "CRITICAL:OsWrap__QueueDelete(): Reached maximum queue limit:" + n + ".\n",
                                            "CRITICAL:OsWrap__FlushQueue(): Reached maximum queue limit:" + n + ".\n"}));
    }
}

TEST_F(QueueTest, SendAndReceiveOnAnIdWithoutLiveQueueAreRefusedLikeOutOfRange) {
    const tOsQueueId kept = Create();
    const tOsQueueId gone = Create();
    ASSERT_EQ(OsWrap__QueueDelete(gone), eOS_RET_SUCCESS);
    for (tOsQueueId id : {gone, 3u, 400u}) {
        rktest::LogReports().Clear();
        tOsMsg msg = Message(1);
        EXPECT_EQ(OsWrap__QueueSend(id, msg), eOS_RET_INVALID_ARG);
        OsWrap__Free(msg);
        EXPECT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_FOREVER), eOS_RET_INVALID_ARG);
        const std::string n = std::to_string(id);
        EXPECT_EQ(rktest::LogReports().Texts(),
                  (std::vector<std::string>{"MAJOR:OsWrap__QueueSend(): Invalid destination queue Id: Q" + n + ".\n",
                                            "MAJOR:OsWrap__QueueRcv(): Invalid queue Id: Q" + n + ".\n"}));
    }
    EXPECT_EQ(OsWrap__QueueSend(kept, Message(2)), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__QueueSend(kept, nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:OsWrap__QueueSend(): Invalid message: NULL.\n"), 1u);
    ASSERT_EQ(OsWrap__FlushQueue(kept), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, CreationTakesTheLowestFreeEntryAndNeverOverwritesALiveQueue) {
    EXPECT_EQ(Create("one"), 1u);
    EXPECT_EQ(Create("two"), 2u);
    EXPECT_EQ(Create("three"), 3u);
    ASSERT_EQ(OsWrap__QueueSend(3, Message(3)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(1), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(2), eOS_RET_SUCCESS);
    EXPECT_EQ(Create("again"), 1u);
    EXPECT_EQ(Create("next"), 2u);
    EXPECT_EQ(Create("four"), 4u);
    tOsMsg msg = nullptr;
    ASSERT_EQ(OsWrap__QueueRcv(3, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(msg), 3u);
    EXPECT_STREQ(OWData.qcbArray[2].name, "three");
}

TEST_F(QueueTest, SemaphoreIsDeletedAgainWhenTheQueueMutexCannotBeMade) {
    OsWrapTestMutexCreateFailAt = 2; // the semaphore's mutex succeeds, the queue's fails
    tOsQueueId id = 5;
    EXPECT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 1, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__QueueCreate(): MutexCreate() failed.\n"), 1u);
    EXPECT_EQ(OWData.numOfSems, 0);
    EXPECT_EQ(OWData.numOfQueues, 0);
    EXPECT_EQ(Create(), 1u);
    tOsSemId semId = 0;
    ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("s"), 0, &semId), eOS_RET_SUCCESS);
    EXPECT_EQ(semId, 2u); // the queue above holds 1; the failed creation left no id taken
}

TEST_F(QueueTest, DeletingAQueueWithAWaitingReceiverIsRefused) {
    const tOsQueueId id = Create();
    std::atomic<eOsRet> result{eOS_RET_MAX};
    tOsMsg got = nullptr;
    std::thread receiver([&] { result = OsWrap__QueueRcv(id, &got, OS_WAIT_FOREVER); });
    const tOsSemId semId = OWData.qcbArray[id - 1].semId;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        MutexLock(&OWData.scbArray[semId].semMutex);
        const int waiters = OWData.scbArray[semId].waiters;
        MutexUnlock(&OWData.scbArray[semId].semMutex);
        if (waiters == 1) break;
        ASSERT_LT(Clock::now(), deadline);
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_INVALID_STATE);
    ASSERT_EQ(OsWrap__QueueSend(id, Message(5)), eOS_RET_SUCCESS);
    receiver.join();
    EXPECT_EQ(result.load(), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(got), 5u);
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
}

TEST_F(QueueTest, ManyProducersAndConsumersLoseAndDuplicateNothing) {
    const tOsQueueId id = Create();
    constexpr uint32 kProducers = 4, kConsumers = 3, kPerProducer = 5000;
    constexpr uint32 kTotal = kProducers * kPerProducer;
    std::atomic<uint32> received{0};
    std::vector<std::vector<uint32>> seen(kConsumers);
    std::vector<std::thread> threads;
    for (uint32 p = 0; p < kProducers; ++p) {
        threads.emplace_back([=] {
            for (uint32 i = 0; i < kPerProducer; ++i) {
                ASSERT_EQ(OsWrap__QueueSend(id, Message(p * kPerProducer + i)), eOS_RET_SUCCESS);
            }
        });
    }
    for (uint32 c = 0; c < kConsumers; ++c) {
        threads.emplace_back([&, c] {
            while (received.load() < kTotal) {
                tOsMsg msg = nullptr;
                if (OsWrap__QueueRcv(id, &msg, 20) != eOS_RET_SUCCESS) continue;
                seen[c].push_back(Take(msg));
                received++;
            }
        });
    }
    for (auto &t : threads) t.join();
    std::set<uint32> all;
    size_t count = 0;
    for (const auto &values : seen) {
        // Each producer's messages reach any one consumer in the order they were sent.
        std::vector<uint32> last(kProducers, 0);
        std::vector<bool> any(kProducers, false);
        for (uint32 v : values) {
            const uint32 p = v / kPerProducer;
            if (any[p]) {
                EXPECT_GT(v, last[p]);
            }
            any[p] = true;
            last[p] = v;
        }
        all.insert(values.begin(), values.end());
        count += values.size();
    }
    EXPECT_EQ(count, kTotal);
    EXPECT_EQ(all.size(), kTotal);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_EQ(OWData.qcbArray[id - 1].count, 0);
}

TEST_F(QueueTest, DumpListsEveryEntryUpToTheHighestLiveQueue) {
    SvcSysInfoHandler = rktest::CaptureInfoHandler;
    Create("alpha");
    Create("beta");
    ASSERT_EQ(OsWrap__QueueSend(2, Message(1)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(1), eOS_RET_SUCCESS);
    rktest::HandlerTexts().Clear();
    ShowQueueCtrlBlock();
    const auto texts = rktest::HandlerTexts().Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Show Queue Control Block........Total number is 1\n");
    EXPECT_EQ(texts[1].rfind("queueId 0x00000001\tQueueName 'alpha       ' busy 0  semId 0x00000001 count 0 firstP ", 0), 0u)
        << texts[1];
    char expected[256];
    const tQcb &beta = OWData.qcbArray[1];
    snprintf(expected, sizeof expected,
             "queueId 0x00000002\tQueueName 'beta        ' busy 1  semId 0x00000002 count 1 firstP %p lastP %p\n",
             static_cast<void *>(beta.firstP), static_cast<void *>(beta.lastP));
    EXPECT_EQ(texts[2], expected);
    EXPECT_EQ(texts[3], "\n");
    ASSERT_EQ(OsWrap__FlushQueue(2), eOS_RET_SUCCESS);
}

} // namespace

namespace {

TEST_F(QueueTest, FlushesAndDumpsDuringTrafficLeaveNoBlockBehind) {
    SvcSysInfoHandler = [](char *) {};
    const tOsQueueId id = Create();
    std::atomic<int> producersLeft{2};
    std::vector<std::thread> threads;
    for (int p = 0; p < 2; ++p) {
        threads.emplace_back([&] {
            for (uint32 i = 0; i < 4000; ++i) ASSERT_EQ(OsWrap__QueueSend(id, QueueTest::Message(i)), eOS_RET_SUCCESS);
            producersLeft--;
        });
    }
    for (int c = 0; c < 2; ++c) {
        threads.emplace_back([&] {
            for (;;) {
                tOsMsg msg = nullptr;
                const eOsRet ret = OsWrap__QueueRcv(id, &msg, 5);
                if (ret == eOS_RET_SUCCESS) {
                    QueueTest::Take(msg);
                } else if (ret == eOS_RET_TIME_OUT && producersLeft.load() == 0) {
                    return;
                }
            }
        });
    }
    threads.emplace_back([&] {
        while (producersLeft.load() != 0) {
            ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
            ShowQueueCtrlBlock();
            ShowSemCtrlBlock();
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    for (auto &t : threads) t.join();
    ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
}

} // namespace
