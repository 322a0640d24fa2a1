// queue_test.cpp - message queues: FIFO order, time-out modes, foreign blocks, flush, limits, ids.
#include <set>

#include "wrap_fixture.h"

namespace {
using namespace wraptest;

class QueueTest : public WrapTest {
  protected:
    static tOsQueueId Create(const char *name = "q") {
        tOsQueueId id = 0;
        EXPECT_EQ(OsWrap__QueueCreate(Name(name), 1, &id), eOS_RET_SUCCESS);
        return id;
    }
    static eOsRet Receive(tOsQueueId id, uint32 *valueP, sint32 timeout = OS_WAIT_NO) {
        tOsMsg msg = nullptr;
        const eOsRet ret = OsWrap__QueueRcv(id, &msg, timeout);
        if (ret == eOS_RET_SUCCESS) *valueP = Take(msg);
        return ret;
    }
};

tOsQueueId gPeerQueue = 0;
void SendLater() {
    std::this_thread::sleep_for(milliseconds(20));
    OsWrap__QueueSend(gPeerQueue, Message(7));
}

TEST_F(QueueTest, MessagesComeOutInOrderWithEachTimeoutMode) {
    const tOsQueueId id = Create(); // qSize 1 does not limit the queue
    for (uint32 v = 0; v < 10; ++v) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    uint32 value = 99;
    for (uint32 v = 0; v < 10; ++v) {
        ASSERT_EQ(Receive(id, &value), eOS_RET_SUCCESS);
        EXPECT_EQ(value, v);
    }
    tOsMsg msg = reinterpret_cast<tOsMsg>(0x1);
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_NO), eOS_RET_AGAIN);
    EXPECT_EQ(msg, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(OsWrap__QueueRcv(id, &msg, 50), eOS_RET_TIME_OUT);
    EXPECT_GE(Clock::now() - start, milliseconds(45));

    gPeerQueue = id;
    tOsTaskId task = 0;
    ASSERT_EQ(OsWrap__TaskCreate(Name("sender"), SendLater, eOS_PRI_LOW, 131072, &task), eOS_RET_SUCCESS);
    EXPECT_EQ(Receive(id, &value, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, ForeignBufferTravelsInALinkBlockAndFlushKeepsTheSemaphoreCount) {
    const tOsQueueId id = Create();
    static char area[64] = {}; // the send reads the 24 bytes in front of the message
    tOsMsg foreign = area + 32;
    ASSERT_EQ(OsWrap__QueueSend(id, foreign), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports(), Texts{"MAJOR:OsWrap__QueueSend(): Maybe a corrupted or uninitialized message block " +
                               Hex32(foreign) + " \n"});
    tOsMsg msg = nullptr;
    ASSERT_EQ(OsWrap__QueueRcv(id, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(msg, foreign);
    EXPECT_EQ(LiveBlocks(), startBlocks_); // the receive freed the link block

    ASSERT_EQ(OsWrap__QueueSend(id, Message(1)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueSend(id, foreign), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_); // the message and the link block, not the foreign buffer
    uint32 value = 0;
    EXPECT_EQ(Receive(id, &value, OS_WAIT_FOREVER), eOS_RET_FAILURE); // the two units left over
    EXPECT_EQ(Receive(id, &value, OS_WAIT_FOREVER), eOS_RET_FAILURE);
    EXPECT_EQ(Receive(id, &value, 30), eOS_RET_TIME_OUT);
}

TEST_F(QueueTest, TableHoldsFourHundredQueuesLowestFreeEntryFirst) {
    for (uint32 expected = 1; expected <= OS_MAX_QUEUES; ++expected) ASSERT_EQ(Create(), expected);
    tOsQueueId id = 99;
    EXPECT_EQ(OsWrap__QueueCreate(Name("over"), 1, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(Reports(), Texts{"CRITICAL:OsWrap__QueueCreate(): Reached maximum queue limit.\n"});

    uint32 value = 0;
    ASSERT_EQ(OsWrap__QueueSend(400, Message(4)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueSend(3, Message(3)), eOS_RET_SUCCESS);
    EXPECT_EQ(Receive(400, &value), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__FlushQueue(400), eOS_RET_SUCCESS);
    for (tOsQueueId gone : {400u, 2u, 1u}) ASSERT_EQ(OsWrap__QueueDelete(gone), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(), 1u);
    EXPECT_EQ(Create(), 2u);
    EXPECT_EQ(Create(), 400u);
    ASSERT_EQ(Receive(3, &value), eOS_RET_SUCCESS); // the live queue was never overwritten
    EXPECT_EQ(value, 3u);
}

TEST_F(QueueTest, IdsWithoutALiveQueueAreRefusedWithTheirReports) {
    const tOsQueueId kept = Create();
    const tOsQueueId gone = Create();
    ASSERT_EQ(OsWrap__QueueDelete(gone), eOS_RET_SUCCESS);
    for (tOsQueueId bad : {0u, 401u, gone, 400u}) {
        rktest::LogReports().Clear();
        tOsMsg msg = Message(1);
        EXPECT_EQ(OsWrap__QueueSend(bad, msg), eOS_RET_INVALID_ARG);
        OsWrap__Free(msg); // a refused send leaves the message with the caller
        EXPECT_EQ(OsWrap__QueueRcv(bad, &msg, OS_WAIT_FOREVER), eOS_RET_INVALID_ARG);
        EXPECT_EQ(msg, nullptr);
        EXPECT_EQ(OsWrap__QueueDelete(bad), eOS_RET_FAILURE);
        EXPECT_EQ(OsWrap__FlushQueue(bad), eOS_RET_FAILURE);
        const std::string n = std::to_string(bad);
        const std::string why = bad == 0 || bad == 401 ? "Reached maximum queue limit:" : "the queueId is invalid:";
        EXPECT_EQ(Reports(), (Texts{"MAJOR:OsWrap__QueueSend(): Invalid destination queue Id: Q" + n + ".\n",
                                    "MAJOR:OsWrap__QueueRcv(): Invalid queue Id: Q" + n + ".\n",
                                    "CRITICAL:OsWrap__QueueDelete(): " + why + n + ".\n",
                                    "CRITICAL:OsWrap__FlushQueue(): " + why + n + ".\n"}));
    }
    rktest::LogReports().Clear();
    EXPECT_EQ(OsWrap__QueueSend(kept, nullptr), eOS_RET_INVALID_ARG);
    tOsQueueId none = 7;
    EXPECT_EQ(OsWrap__QueueCreate(nullptr, 1, &none), eOS_RET_INVALID_ARG);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(OsWrap__QueueCreate(Name("lost"), 1, nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(OsWrap__QueueRcv(1, nullptr, OS_WAIT_NO), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports(), (Texts{"MAJOR:OsWrap__QueueSend(): Invalid message: NULL.\n",
                                "CRITICAL:OsWrap__QueueCreate(): NULL nameP.\n",
                                "CRITICAL:OsWrap__QueueCreate(): NULL queueIdP.\n",
                                "MAJOR:OsWrap__QueueRcv(): NULL msgP: Q1.\n"}));
    EXPECT_EQ(OWData.numOfQueues, 1);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, DeleteFreesMessagesUnlessAReceiverWaits) {
    const tOsQueueId id = Create();
    std::atomic<eOsRet> result{eOS_RET_MAX};
    uint32 value = 0;
    std::thread receiver([&] { result = Receive(id, &value, OS_WAIT_FOREVER); });
    ASSERT_TRUE(Eventually([&] { return Waiters(OWData.qcbArray[id - 1].semId) == 1; }));
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_INVALID_STATE);
    EXPECT_EQ(Reports(), Texts{"MAJOR:OsWrap__SemDelete(): Tasks wait on the semaphore: S1.\n"});
    ASSERT_EQ(OsWrap__QueueSend(id, Message(5)), eOS_RET_SUCCESS); // still fully working
    receiver.join();
    EXPECT_EQ(result.load(), eOS_RET_SUCCESS);
    EXPECT_EQ(value, 5u);

    for (uint32 v = 0; v < 5; ++v) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_EQ(OWData.numOfSems, 0);
}

TEST_F(QueueTest, QueueWhoseSemaphoreCannotBeDeletedStaysAsItWas) {
    const tOsQueueId id = Create();
    for (uint32 v : {1u, 2u}) ASSERT_EQ(OsWrap__QueueSend(id, Message(v)), eOS_RET_SUCCESS);
    OsWrapTestSemDestroyFailAt = 1;
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_FAILURE);
    EXPECT_EQ(Reports(), (Texts{"CRITICAL:OsWrap__SemCreate(): pthread_mutex_destroy() failed.\n",
                                "CRITICAL:OsWrap__QueueDelete(): OsWrap__SemDelete() failed: Q1, E1.\n"}));
    ASSERT_EQ(OsWrap__QueueSend(id, Message(3)), eOS_RET_SUCCESS);
    for (uint32 expected : {1u, 2u, 3u}) {
        uint32 value = 0;
        ASSERT_EQ(Receive(id, &value), eOS_RET_SUCCESS);
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(OWData.numOfSems, 0);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, ReceiverThatDrainsAndDeletesIsRacedByNoSender) {
    // Every round makes the same queue and semaphore ids again; a sender still touching the old
    // semaphore after its send would meet the new one (a race ThreadSanitizer reports).
    for (int round = 0; round < 200; ++round) {
        const tOsQueueId id = Create();
        std::vector<std::thread> senders;
        for (uint32 v = 1; v <= 3; ++v) senders.emplace_back([id, v] { OsWrap__QueueSend(id, Message(v)); });
        uint32 sum = 0;
        for (int i = 0; i < 3; ++i) {
            uint32 value = 0;
            ASSERT_EQ(Receive(id, &value, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
            sum += value;
        }
        ASSERT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
        for (std::thread &sender : senders) sender.join();
        ASSERT_EQ(sum, 6u);
    }
    EXPECT_EQ(LiveBlocks(), startBlocks_);
    EXPECT_EQ(OWData.numOfSems, 0);
}

TEST_F(QueueTest, ACreationWhoseMutexCannotBeMadeGivesEverythingBack) {
    // The n-th mutex made fails: the semaphore's own (1), or the queue's after it (2).
    const struct { int failAt; Texts reports; } rows[] = {
        {1, {"CRITICAL:MutexCreate(): pthread_mutex_init() failed.\n",
             "CRITICAL:OsWrap__SemCreate(): MutexCreate() failed for semaphore.\n",
             "CRITICAL:OsWrap__QueueCreate(): OsWrap__SemCreate() failed.\n"}},
        {2, {"CRITICAL:MutexCreate(): pthread_mutex_init() failed.\n",
             "CRITICAL:OsWrap__QueueCreate(): MutexCreate() failed.\n"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.failAt);
        rktest::LogReports().Clear();
        OsWrapTestMutexCreateFailAt = row.failAt;
        tOsQueueId id = 5;
        EXPECT_EQ(OsWrap__QueueCreate(Name("q"), 1, &id), eOS_RET_FAILURE);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(Reports(), row.reports);
        EXPECT_EQ(OWData.numOfSems, 0);
        EXPECT_EQ(OWData.numOfQueues, 0);
    }
    EXPECT_EQ(Create(), 1u) << "the ids were given back";
}

TEST_F(QueueTest, ManyProducersAndConsumersLoseAndDuplicateNothing) {
    const tOsQueueId id = Create();
    constexpr uint32 kProducers = 4, kPerProducer = 5000, kTotal = kProducers * kPerProducer;
    std::atomic<uint32> received{0};
    std::vector<std::vector<uint32>> seen(3);
    std::vector<std::thread> threads;
    for (uint32 p = 0; p < kProducers; ++p) {
        threads.emplace_back([=] {
            for (uint32 i = 0; i < kPerProducer; ++i) OsWrap__QueueSend(id, Message(p * kPerProducer + i));
        });
    }
    for (auto &values : seen) {
        threads.emplace_back([&] {
            uint32 value = 0;
            while (received.load() < kTotal) {
                if (Receive(id, &value, 20) != eOS_RET_SUCCESS) continue;
                values.push_back(value);
                received++;
            }
        });
    }
    for (auto &t : threads) t.join();
    std::set<uint32> all;
    for (const auto &values : seen) {
        std::vector<int64_t> last(kProducers, -1); // each producer's messages stay in order
        for (uint32 v : values) {
            EXPECT_GT(static_cast<int64_t>(v), last[v / kPerProducer]);
            last[v / kPerProducer] = v;
        }
        all.insert(values.begin(), values.end());
    }
    EXPECT_EQ(all.size(), kTotal);
    EXPECT_EQ(received.load(), kTotal);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, FlushesAndDumpsDuringTrafficLeaveNoBlockBehind) {
    SvcSysInfoHandler = [](char *) {};
    const tOsQueueId id = Create();
    std::atomic<int> producersLeft{2};
    std::vector<std::thread> threads;
    for (int p = 0; p < 2; ++p) {
        threads.emplace_back([&] {
            for (uint32 i = 0; i < 4000; ++i) OsWrap__QueueSend(id, Message(i));
            producersLeft--;
        });
        threads.emplace_back([&] {
            uint32 value = 0;
            while (Receive(id, &value, 5) != eOS_RET_TIME_OUT || producersLeft.load() != 0) {
            }
        });
    }
    threads.emplace_back([&] {
        while (producersLeft.load() != 0) {
            EXPECT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
            ShowQueueCtrlBlock();
            ShowSemCtrlBlock();
        }
    });
    for (auto &t : threads) t.join();
    ASSERT_EQ(OsWrap__FlushQueue(id), eOS_RET_SUCCESS);
    EXPECT_EQ(LiveBlocks(), startBlocks_);
}

TEST_F(QueueTest, DumpListsEveryEntryUpToTheHighestLiveQueue) {
    Create("alpha");
    Create("beta");
    ASSERT_EQ(OsWrap__QueueSend(2, Message(1)), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueDelete(1), eOS_RET_SUCCESS);
    rktest::HandlerTexts().Clear();
    ShowQueueCtrlBlock();
    char beta[160];
    snprintf(beta, sizeof beta,
             "queueId 0x00000002\tQueueName 'beta        ' busy 1  semId 0x00000002 count 1 firstP %p lastP %p\n",
             static_cast<void *>(OWData.qcbArray[1].firstP), static_cast<void *>(OWData.qcbArray[1].lastP));
    const Texts texts = rktest::HandlerTexts().Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Show Queue Control Block........Total number is 1\n");
    EXPECT_EQ(texts[1].rfind("queueId 0x00000001\tQueueName 'alpha       ' busy 0  semId 0x00000001 count 0", 0), 0u);
    EXPECT_EQ(texts[2], beta);
    EXPECT_EQ(texts[3], "\n");
}

} // namespace
