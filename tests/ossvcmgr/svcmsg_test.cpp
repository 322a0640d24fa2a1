// svcmsg_test.cpp - service messages: allocation and ownership, routing for the three module forms,
// failed sends, and the receive calls that wait without limit yet run the task's tick.
#include <atomic>
#include <chrono>
#include <thread>

#include "svc_fixture.h"
#include "svcmsg.h"
#include "svctick.h"
#include "zqcmtrace.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

using MessageTest = svctest::ServiceTest;
using RoutingTest = svctest::ServiceTest;
using ReceiveTest = svctest::ServiceTest;

tSvcMsg *Message(eSvcModuleId dst, uint16 type = 7, uint16 size = 10) {
    tSvcMsg *msgP = SvcMsgAlloc(size);
    EXPECT_NE(msgP, nullptr);
    SvcMsgSetSrcModuleId(msgP, eSVC_MODULE_ID_SVC);
    SvcMsgSetDstModuleId(msgP, dst);
    SvcMsgSetMsgType(msgP, type);
    return msgP;
}

// The next block on a queue, without waiting.
tSvcMsg *Take(tOsQueueId queueId) {
    tOsMsg msg = nullptr;
    return OsWrap__QueueRcv(queueId, &msg, OS_WAIT_NO) == eOS_RET_SUCCESS ? (tSvcMsg *)msg : nullptr;
}

TEST_F(MessageTest, AllocGivesAZeroedItcHeaderFollowedByThePayload) {
    tSvcMsg *msgP = SvcMsgAlloc(10);
    ASSERT_NE(msgP, nullptr);
    EXPECT_EQ(LeakedBlocks(), 1);
    EXPECT_EQ(SvcMsgGetDataLength(msgP), 10);
    EXPECT_EQ(SvcMsgGetMsgClass(msgP), eSVC_MSG_CLASS_ITC);
    EXPECT_EQ(SvcMsgGetMsgType(msgP), 0);
    EXPECT_EQ(SvcMsgGetMsgInfo(msgP), 0);
    EXPECT_EQ(SvcMsgGetSrcModuleId(msgP), 0);
    EXPECT_EQ(SvcMsgGetDstModuleId(msgP), 0);
    EXPECT_EQ(SvcMsgGetNext(msgP), nullptr);
    EXPECT_EQ(SvcMsgGetBufNo(msgP), 0);
    EXPECT_EQ((char *)SvcMsgGetDataPointer(msgP), (char *)msgP + 24);
    memset(SvcMsgGetDataPointer(msgP), 0xAB, 10); // the payload is the caller's to fill
    SvcMsgFree(msgP);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(MessageTest, AllocRefusesAPayloadThatWouldNotFitTheSixteenBitSize) {
    tSvcMsg *largest = SvcMsgAlloc(65511);
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(SvcMsgGetDataLength(largest), 65511);
    ((char *)SvcMsgGetDataPointer(largest))[65510] = 1; // the last payload byte is in the block
    SvcMsgFree(largest);

    EXPECT_EQ(SvcMsgAlloc(65512), nullptr);
    EXPECT_EQ(SvcMsgAlloc(65535), nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcMsgAlloc(): Invalid size: S65512.\n"), 1u);
    EXPECT_EQ(Reports("MAJOR:SvcMsgAlloc(): Invalid size: S65535.\n"), 1u);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(MessageTest, FreeLeavesAMessageOfAnotherClassAllocated) {
    tSvcMsg *msgP = SvcMsgAlloc(4);
    msgP->msgClass = eSVC_MSG_CLASS_ICC;
    SvcMsgFree(msgP);
    EXPECT_EQ(Reports("MAJOR:SvcMsgFree(): non ITC message: C1.\n"), 1u);
    EXPECT_EQ(LeakedBlocks(), 1);
    msgP->msgClass = eSVC_MSG_CLASS_ITC;
    SvcMsgFree(msgP);
    EXPECT_EQ(LeakedBlocks(), 0);

    SvcMsgFree(nullptr);
    EXPECT_EQ(Reports("MAJOR:SvcMsgFree(): NULL message.\n"), 1u);
}

TEST_F(RoutingTest, AModuleOfATaskGetsItsMessagesOnTheTaskQueueWithoutAWakeUp) {
    const tOsQueueId queueId = Queue();
    const tOsSemId semId = Sem();
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, queueId, semId), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_OMCI_ME, eSVC_TASK_NAME_OMCI, OS_QUEUE_ID_INVALID),
              eOS_RET_SUCCESS);
    tSvcMsg *msgP = Message(eSVC_MODULE_ID_OMCI_ME);
    ASSERT_EQ(SvcMsgSend(msgP), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(queueId), msgP);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_AGAIN);
    SvcMsgFree(msgP);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(RoutingTest, AModuleWithItsOwnQueueIsReportedForItsMissingTaskOnEachSend) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_SNMP, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    tSvcMsg *first = Message(eSVC_MODULE_ID_SNMP);
    tSvcMsg *second = Message(eSVC_MODULE_ID_SNMP);
    EXPECT_EQ(SvcMsgSend(first), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcMsgSend(second), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetSemId(): Invalid task name: M12, T19.\n"), 2u);
    EXPECT_EQ(Take(queueId), first);
    EXPECT_EQ(Take(queueId), second);
    SvcMsgFree(first);
    SvcMsgFree(second);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(RoutingTest, AModuleWithTaskAndQueueWakesTheTaskThroughItsSemaphore) {
    const tOsQueueId taskQueue = Queue("task");
    const tOsQueueId moduleQueue = Queue("module");
    const tOsSemId semId = Sem();
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_ALARM, 1, taskQueue, semId), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_ALARM, moduleQueue), eOS_RET_SUCCESS);
    tSvcMsg *msgP = Message(eSVC_MODULE_ID_ALARM);
    ASSERT_EQ(SvcMsgSend(msgP), eOS_RET_SUCCESS);
    EXPECT_EQ(Take(taskQueue), nullptr);
    EXPECT_EQ(Take(moduleQueue), msgP);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(semId, OS_WAIT_NO), eOS_RET_AGAIN);
    SvcMsgFree(msgP);
}

TEST_F(RoutingTest, AFailedSendLeavesTheMessageWithTheCaller) {
    tSvcMsg *msgP = Message(eSVC_MODULE_ID_LMT, 7, 10);
    EXPECT_EQ(SvcMsgSend(msgP), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgSend(): Invalid queue id: M14:\n"), 1u);

    // A queue id that the wrapper refuses.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_LMT, eSVC_TASK_NAME_INVALID, 401), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcMsgSend(msgP), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgSend(): OsWrap__QueueSend() failed: S1, D14, T7, L10, E2:\n"), 1u);

    SvcMsgSetDstModuleId(msgP, 45);
    EXPECT_EQ(SvcMsgSend(msgP), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetQueueId(): Invalid module id: M45.\n"), 1u);

    EXPECT_EQ(SvcMsgSend(nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(LeakedBlocks(), 1);
    SvcMsgFree(msgP);
    EXPECT_EQ(LeakedBlocks(), 0);
}

// ---- receiving ---------------------------------------------------------------------------------

std::atomic<int> ticks{0};
void CountTick(void *) { ticks++; }

TEST_F(ReceiveTest, WithoutATickTheReceiveIgnoresItsTimeoutAndWaitsForAMessage) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    tSvcMsg *sent = Message(eSVC_MODULE_ID_PM);
    std::thread sender([sent] {
        std::this_thread::sleep_for(milliseconds(400));
        SvcMsgSend(sent);
    });
    const auto start = Clock::now();
    tSvcMsg *received = nullptr;
    EXPECT_EQ(SvcMsgRcv(queueId, &received, 100), eOS_RET_SUCCESS);
    EXPECT_GE(Clock::now() - start, milliseconds(300));
    EXPECT_EQ(received, sent);
    sender.join();
    SvcMsgFree(received);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(ReceiveTest, APeriodicTickRunsInTheWaitingTaskUntilAMessageArrives) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    std::atomic<bool> returned{false};
    tSvcMsg *received = nullptr;
    std::thread receiver([&] {
        ASSERT_EQ(SvcTickStart(20, eOS_BOOL_TRUE, CountTick, nullptr), eOS_RET_SUCCESS);
        EXPECT_EQ(SvcMsgRcv(queueId, &received, OS_WAIT_NO), eOS_RET_SUCCESS);
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([] { return ticks.load() >= 3; }));
    EXPECT_FALSE(returned.load());
    tSvcMsg *sent = Message(eSVC_MODULE_ID_PM);
    ASSERT_EQ(SvcMsgSend(sent), eOS_RET_SUCCESS);
    receiver.join();
    EXPECT_EQ(received, sent);
    SvcMsgFree(received);
    EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(ReceiveTest, SemWaitRunsTheTickAndReturnsOnceTheSemaphoreIsTaken) {
    const tOsSemId semId = Sem();
    std::atomic<bool> returned{false};
    eOsRet rc = eOS_RET_FAILURE;
    std::thread waiter([&] {
        ASSERT_EQ(SvcTickStart(20, eOS_BOOL_TRUE, CountTick, nullptr), eOS_RET_SUCCESS);
        rc = SvcSemWait(semId, 50);
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([] { return ticks.load() >= 3; }));
    EXPECT_FALSE(returned.load());
    OsWrap__SemRelease(semId);
    waiter.join();
    EXPECT_EQ(rc, eOS_RET_SUCCESS);
}

TEST_F(ReceiveTest, WaitingFailuresAreReportedAndReturned) {
    tSvcMsg *msgP = nullptr;
    EXPECT_EQ(SvcMsgRcv(0, &msgP, 0), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgRcv(): OsWrap__QueueRcv(forever) failed: Q0, E2.\n"), 1u);
    EXPECT_EQ(msgP, nullptr);
    EXPECT_EQ(SvcSemWait(0, 0), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcSemWait(): OsWrap__SemWait(forever) failed: S0, E2.\n"), 1u);

    // With a tick running the timed wait fails the same way.
    ASSERT_EQ(SvcTickStart(10000, eOS_BOOL_FALSE, CountTick, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcMsgRcv(0, &msgP, 0), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcMsgRcv(): OsWrap__QueueRcv() failed: S0, E2.\n"), 1u);
    EXPECT_EQ(SvcSemWait(0, 0), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcSemWait(): OsWrap__SemWait() failed: S0, E2.\n"), 1u);

    EXPECT_EQ(SvcMsgRcv(1, nullptr, 0), eOS_RET_INVALID_ARG);
}

TEST_F(ReceiveTest, TheMessageTraceNamesEachReceivedMessageWhenSwitchedOn) {
    const tOsQueueId queueId = Queue();
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, queueId), eOS_RET_SUCCESS);
    // The trace is written on the timed path, that is while the task has a tick pending.
    ASSERT_EQ(SvcTickStart(60000, eOS_BOOL_FALSE, CountTick, nullptr), eOS_RET_SUCCESS);
    TraceSetMask(eSVC_MODULE_ID_SVC, eZQ_CM_TM_MESSAGE);

    tSvcMsg *itc = Message(eSVC_MODULE_ID_PM, 9, 12);
    ASSERT_EQ(SvcMsgSend(itc), eOS_RET_SUCCESS);
    tSvcMsg *received = nullptr;
    ASSERT_EQ(SvcMsgRcv(queueId, &received, 0), eOS_RET_SUCCESS);
    ASSERT_EQ(received, itc);
    char expected[128];
    snprintf(expected, sizeof expected, "SMTR: P%p, N0, MT9, L12, SM1, DM18.\n", (void *)itc);
    EXPECT_EQ(rktest::HandlerTexts().Count(expected), 1u);
    SvcMsgFree(received);

    tSvcMsg *icc = Message(eSVC_MODULE_ID_PM, 3, 0);
    icc->msgClass = eSVC_MSG_CLASS_ICC;
    ASSERT_EQ(SvcMsgSend(icc), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcMsgRcv(queueId, &received, 0), eOS_RET_SUCCESS);
    ASSERT_EQ(received, icc);
    snprintf(expected, sizeof expected,
             "MINOR:SvcMsgRcv(): Invalid message class: P%p, N0, MT3, L0, SM1, DM18, MC1.\n", (void *)icc);
    EXPECT_EQ(Reports(expected), 1u);
    icc->msgClass = eSVC_MSG_CLASS_ITC;
    SvcMsgFree(icc);

    // Switched off: nothing more is printed.
    TraceSetMask(eSVC_MODULE_ID_SVC, eZQ_CM_TM_NONE);
    rktest::HandlerTexts().Clear();
    tSvcMsg *quiet = Message(eSVC_MODULE_ID_PM);
    ASSERT_EQ(SvcMsgSend(quiet), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcMsgRcv(queueId, &received, 0), eOS_RET_SUCCESS);
    EXPECT_EQ(rktest::HandlerTexts().Count("SMTR"), 0u);
    SvcMsgFree(received);
    EXPECT_EQ(LeakedBlocks(), 0);
}

} // namespace
