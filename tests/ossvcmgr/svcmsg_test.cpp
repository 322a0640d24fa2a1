// svcmsg_test.cpp - service messages: ownership, routing for the three module forms, failed sends,
// and the receive calls that wait without limit yet run the task's tick.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "svc_fixture.h"
#include "svcmsg.h"
#include "svctick.h"
#include "zqcmtrace.h"

namespace {

using MessageTest = svctest::ServiceTest;
using ReceiveTest = svctest::ServiceTest;

tSvcMsg *Message(eSvcModuleId dst, uint16 type = 7, uint16 size = 10) {
    tSvcMsg *msgP = SvcMsgAlloc(size);
    SvcMsgSetSrcModuleId(msgP, eSVC_MODULE_ID_SVC);
    SvcMsgSetDstModuleId(msgP, dst);
    SvcMsgSetMsgType(msgP, type);
    return msgP;
}

tSvcMsg *Take(tOsQueueId queueId) {
    tOsMsg msg = nullptr;
    return OsWrap__QueueRcv(queueId, &msg, OS_WAIT_NO) == eOS_RET_SUCCESS ? (tSvcMsg *)msg : nullptr;
}

TEST_F(MessageTest, AllocGivesAZeroedItcHeaderAndRefusesSizesBeyondSixteenBits) {
    tSvcMsg *msgP = SvcMsgAlloc(10);
    ASSERT_NE(msgP, nullptr);
    EXPECT_EQ(SvcMsgGetDataLength(msgP), 10);
    EXPECT_EQ(SvcMsgGetMsgClass(msgP), eSVC_MSG_CLASS_ITC);
    EXPECT_EQ(SvcMsgGetMsgType(msgP) | SvcMsgGetSrcModuleId(msgP) | SvcMsgGetDstModuleId(msgP), 0);
    EXPECT_EQ(SvcMsgGetNext(msgP), nullptr);
    EXPECT_EQ((char *)SvcMsgGetDataPointer(msgP), (char *)msgP + sizeof(tSvcMsg));

    tSvcMsg *largest = SvcMsgAlloc(65511);
    ASSERT_NE(largest, nullptr);
    ((char *)SvcMsgGetDataPointer(largest))[65510] = 1;
    EXPECT_EQ(SvcMsgAlloc(65512), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcMsgAlloc(): Invalid size: S65512.\n"), 1u);
    EXPECT_EQ(LeakedBlocks(), 2);

    // A message of another class is not freed here.
    msgP->msgClass = eSVC_MSG_CLASS_ICC;
    SvcMsgFree(msgP);
    EXPECT_EQ(Reports("MAJOR:SvcMsgFree(): non ITC message: C1.\n"), 1u);
    EXPECT_EQ(LeakedBlocks(), 2);
    msgP->msgClass = eSVC_MSG_CLASS_ITC;
    SvcMsgFree(msgP);
    SvcMsgFree(largest);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(MessageTest, SendFollowsTheThreeModuleForms) {
    const tOsQueueId taskQueue = Queue("task"), moduleQueue = Queue("module");
    const tOsSemId semId = Sem();
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, taskQueue, semId), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_OMCI_ME, eSVC_TASK_NAME_OMCI, OS_QUEUE_ID_INVALID),
              eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_SNMP, eSVC_TASK_NAME_INVALID, moduleQueue), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_OMCI, moduleQueue), eOS_RET_SUCCESS);

    tSvcMsg *toTask = Message(eSVC_MODULE_ID_OMCI_ME);
    ASSERT_EQ(SvcMsgSend(toTask), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(taskQueue), toTask);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_AGAIN);

    tSvcMsg *toQueue = Message(eSVC_MODULE_ID_SNMP);
    ASSERT_EQ(SvcMsgSend(toQueue), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetSemId(): Invalid task name: M12, T19.\n"), 1u);
    EXPECT_EQ(Take(moduleQueue), toQueue);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_AGAIN);

    tSvcMsg *toBoth = Message(eSVC_MODULE_ID_ALARM);
    ASSERT_EQ(SvcMsgSend(toBoth), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(moduleQueue), toBoth);
    EXPECT_EQ(Take(taskQueue), nullptr);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_SUCCESS); // the task is woken

    for (tSvcMsg *msgP : {toTask, toQueue, toBoth}) SvcMsgFree(msgP);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(MessageTest, RegistrationWhileMessagesAreSentNeverSplitsARoute) {
    // The module alternates between two registrations, each with its own queue and the semaphore
    // its task had then. Each route's receiver takes a message for every unit of its semaphore; a
    // send that took the queue of one route and the semaphore of the other leaves a unit without
    // its message, or a message without its unit.
    const tOsQueueId queues[2] = {Queue("a"), Queue("b")};
    const tOsSemId sems[2] = {Sem("a"), Sem("b")};
    auto registerRoute = [&](int i) {
        SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, queues[i], sems[i]);
        SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_OMCI, queues[i]);
    };
    registerRoute(0);
    std::atomic<bool> registering{true}, sendersDone{false};
    std::atomic<int> sent{0}, received{0}, unitsWithoutMessage{0};
    std::vector<std::thread> senders, receivers;
    for (int s = 0; s < 2; ++s) {
        senders.emplace_back([&] {
            while (registering.load()) {
                ASSERT_EQ(SvcMsgSend(Message(eSVC_MODULE_ID_ALARM)), eOS_RET_SUCCESS);
                sent++;
            }
        });
    }
    for (int i = 0; i < 2; ++i) {
        receivers.emplace_back([&, i] {
            while (!sendersDone.load() || received.load() + unitsWithoutMessage.load() < sent.load()) {
                if (OsWrap__SemWait(sems[i], 100) != eOS_RET_SUCCESS) continue;
                tSvcMsg *msgP = Take(queues[i]);
                if (msgP == nullptr) {
                    unitsWithoutMessage++;
                    continue;
                }
                SvcMsgFree(msgP);
                received++;
            }
        });
    }
    for (int n = 1; n <= 50000; ++n) registerRoute(n % 2);
    registering = false;
    for (std::thread &sender : senders) sender.join();
    sendersDone = true;
    for (std::thread &receiver : receivers) receiver.join();

    EXPECT_EQ(unitsWithoutMessage.load(), 0);
    EXPECT_EQ(received.load(), sent.load());
    for (tOsQueueId queueId : queues) EXPECT_EQ(Take(queueId), nullptr);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(MessageTest, AFailedSendLeavesTheMessageWithTheCaller) {
    tSvcMsg *msgP = Message(eSVC_MODULE_ID_LMT);
    EXPECT_EQ(SvcMsgSend(msgP), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgSend(): Invalid queue id: M14:\n"), 1u);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_LMT, eSVC_TASK_NAME_INVALID, 401), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcMsgSend(msgP), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgSend(): OsWrap__QueueSend() failed: S1, D14, T7, L10, E2:\n"), 1u);
    EXPECT_EQ(SvcMsgSend(nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(LeakedBlocks(), 1);
    SvcMsgFree(msgP);
}

// ---- receiving ---------------------------------------------------------------------------------

std::atomic<int> ticks{0};
void CountTick(void *) { ticks++; }

TEST_F(ReceiveTest, WithoutATickTheReceiveIgnoresItsTimeoutAndWaitsForAMessage) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    tSvcMsg *sent = Message(eSVC_MODULE_ID_PM);
    std::thread sender([sent] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        SvcMsgSend(sent);
    });
    const auto start = std::chrono::steady_clock::now();
    tSvcMsg *received = nullptr;
    EXPECT_EQ(SvcMsgRcv(queueId, &received, 100), eOS_RET_SUCCESS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(received, sent);
    sender.join();
    SvcMsgFree(received);
}

TEST_F(ReceiveTest, APeriodicTickRunsInTheWaitingTaskUntilTheWaitIsAnswered) {
    ticks = 0;
    const tOsQueueId queueId = Queue();
    const tOsSemId semId = Sem();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    std::atomic<int> stage{0};
    tSvcMsg *received = nullptr;
    std::thread task([&] {
        ASSERT_EQ(SvcTickStart(20, eOS_BOOL_TRUE, CountTick, nullptr), eOS_RET_SUCCESS);
        EXPECT_EQ(SvcSemWait(semId, OS_WAIT_NO), eOS_RET_SUCCESS);
        stage = 1;
        EXPECT_EQ(SvcMsgRcv(queueId, &received, OS_WAIT_NO), eOS_RET_SUCCESS);
        stage = 2;
    });
    ASSERT_TRUE(rktest::Eventually([] { return ticks.load() >= 3; }));
    EXPECT_EQ(stage.load(), 0);
    OsWrap__SemRelease(semId);
    ASSERT_TRUE(rktest::Eventually([&] { return stage.load() == 1 && ticks.load() >= 6; }));
    tSvcMsg *sent = Message(eSVC_MODULE_ID_PM);
    ASSERT_EQ(SvcMsgSend(sent), eOS_RET_SUCCESS);
    task.join();
    EXPECT_EQ(received, sent);
    SvcMsgFree(received);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(ReceiveTest, ReceivesOnADeadQueueOrSemaphoreReportTheFailureWithOrWithoutATick) {
    ticks = 0;
    tSvcMsg *received = nullptr;
    EXPECT_EQ(SvcMsgRcv(Queue(), nullptr, 0), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgRcv(): NULL msgP: Q"), 1u);
    SvcMsgFree(nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcMsgFree(): NULL message.\n"), 1u);
    const tOsQueueId deadQueue = Queue("dead");
    ASSERT_EQ(OsWrap__QueueDelete(deadQueue), eOS_RET_SUCCESS);
    const tOsSemId deadSem = Sem("dead");
    ASSERT_EQ(OsWrap__SemDelete(deadSem), eOS_RET_SUCCESS);
    // Without a tick the calls wait without limit; with one they wait for the tick in steps.
    struct { bool ticking; const char *queueReport, *semReport; } rows[] = {
        {false, "MAJOR:SvcMsgRcv(): OsWrap__QueueRcv(forever) failed: Q", "MAJOR:SvcSemWait(): OsWrap__SemWait(forever) failed: S"},
        {true, "MAJOR:SvcMsgRcv(): OsWrap__QueueRcv() failed: S", "MAJOR:SvcSemWait(): OsWrap__SemWait() failed: S"},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.ticking ? "with a tick" : "without a tick");
        std::thread task([&] { // a task of its own: a tick belongs to the task that starts it
            if (row.ticking) {
                ASSERT_EQ(SvcTickStart(60000, eOS_BOOL_FALSE, CountTick, nullptr), eOS_RET_SUCCESS);
            }
            received = Message(eSVC_MODULE_ID_PM);
            tSvcMsg *kept = received;
            EXPECT_EQ(SvcMsgRcv(deadQueue, &received, 0), eOS_RET_INVALID_ARG);
            EXPECT_EQ(received, nullptr) << "no stale message is handed back";
            SvcMsgFree(kept);
            EXPECT_EQ(SvcSemWait(deadSem, 0), eOS_RET_INVALID_ARG);
        });
        task.join();
        EXPECT_EQ(Reports(row.queueReport), 1u);
        EXPECT_EQ(Reports(row.semReport), 1u);
    }
    EXPECT_EQ(ticks.load(), 0);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(ReceiveTest, TheMessageTraceNamesEachReceivedMessageWhenSwitchedOn) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcTickStart(60000, eOS_BOOL_FALSE, CountTick, nullptr), eOS_RET_SUCCESS); // a timed wait
    TraceSetMask(eSVC_MODULE_ID_SVC, eZQ_CM_TM_MESSAGE);
    tSvcMsg *itc = Message(eSVC_MODULE_ID_PM, 9, 12);
    tSvcMsg *icc = Message(eSVC_MODULE_ID_PM, 3, 0);
    icc->msgClass = eSVC_MSG_CLASS_ICC;
    ASSERT_EQ(SvcMsgSend(itc), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcMsgSend(icc), eOS_RET_SUCCESS);
    tSvcMsg *first = nullptr, *second = nullptr;
    ASSERT_EQ(SvcMsgRcv(queueId, &first, 0), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcMsgRcv(queueId, &second, 0), eOS_RET_SUCCESS);
    EXPECT_EQ(first, itc);
    EXPECT_EQ(second, icc);

    char expected[128];
    snprintf(expected, sizeof expected, "SMTR: P%p, N0, MT9, L12, SM1, DM18.\n", (void *)itc);
    EXPECT_EQ(rktest::HandlerTexts().Count(expected), 1u);
    snprintf(expected, sizeof expected,
             "MINOR:SvcMsgRcv(): Invalid message class: P%p, N0, MT3, L0, SM1, DM18, MC1.\n", (void *)icc);
    EXPECT_EQ(Reports(expected), 1u);
    icc->msgClass = eSVC_MSG_CLASS_ITC;
    SvcMsgFree(itc);
    SvcMsgFree(icc);
}

} // namespace
