/* demo.c - a small host of relayKit: brings the library up in start-up order, exchanges messages with
 * a wrapper task over a queue, traces, then runs two service tasks that talk through service messages
 * while conveyor-belt timers drive them. Everything the library prints goes to standard output. */
#include <stdio.h>

#include "relaykit.h"

/* ---- the two host hooks --------------------------------------------------------------------- */

int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    *mibLinkIdP = phyLinkId;
    return 0;
}

/* Completed output lines for the host's management layer; this host just shows them. */
int itSendOltDebugInfoToBll(char *textP) {
    printf("  [management line] %s\n", textP);
    return 0;
}

/* ---- a wrapper task that doubles numbers sent to it over a queue ------------------------------ */

static tOsQueueId requestQueueId;
static tOsQueueId answerQueueId;

static void DoublerTask(void) {
    for (;;) {
        tOsMsg msg = NULL;
        if (OsWrap__QueueRcv(requestQueueId, &msg, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        *(uint32 *)msg *= 2; /* the same block goes back: sending passes its ownership on */
        if (OsWrap__QueueSend(answerQueueId, msg) != eOS_RET_SUCCESS) OsWrap__Free(msg);
    }
}

static void ExchangeWithWrapperTask(void) {
    tOsTaskId taskId;
    uint32 n;

    OsWrap__QueueCreate("DemoRequests", 16, &requestQueueId);
    OsWrap__QueueCreate("DemoAnswers", 16, &answerQueueId);
    OsWrap__TaskCreate("DoublerTask", DoublerTask, eOS_PRI_MEDIUM, 0x20000, &taskId);

    for (n = 1; n <= 3; n++) {
        uint32 *numberP = (uint32 *)OsWrap__Alloc(sizeof(uint32));
        tOsMsg answer = NULL;
        if (numberP == NULL) return;
        *numberP = n * 21;
        OsWrap__QueueSend(requestQueueId, numberP);
        if (OsWrap__QueueRcv(answerQueueId, &answer, 1000) == eOS_RET_SUCCESS) {
            SvcPrintf("main: sent %u, DoublerTask answered %u\n", n * 21, *(uint32 *)answer);
            OsWrap__Free(answer);
        }
    }
}

/* ---- trace and log records, and a refused call with its report ---------------------------------- */

/* Records are written by the trace task, not by the caller. The trace task frees each record's
 * block right after writing it, so once the allocation count is back where it was, every record
 * queued since has been written. Waits at most a second. */
static void WaitForTraceTask(uint32 allocCountBefore) {
    int waitedMs;
    for (waitedMs = 0; waitedMs < 1000; waitedMs += 10) {
        if (__atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED) <= allocCountBefore) return;
        SvcSleep(10);
    }
}

static void WriteTraceAndLogRecords(void) {
    uint32 allocCount = __atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED);

    TraceSetMask(eSVC_MODULE_ID_SVC_MGR, eZQ_CM_TM_INFO);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID, eOS_BOOL_TRUE);
    LogSetLevel(eZQ_LL_MAJOR); /* the start-up configuration logs CRITICAL records only */
    Trace(eSVC_MODULE_ID_SVC_MGR, eZQ_CM_TM_INFO, "demo trace record: %d modules traced\n", 1);
    OsMajorLog("demo log record at level MAJOR\n");
    WaitForTraceTask(allocCount);

    SetCliDisplayMode(eOS_BOOL_TRUE); /* the host's line sink now gets every completed line */
    SvcPrintf("this line also reaches the management layer\n");
    SetCliDisplayMode(eOS_BOOL_FALSE);
    DumpLogLevelAndTraceLevel();
}

/* A refused call returns its code to the caller and writes its own report, naming the operation
 * and the value it refused, through the log writer. */
static void ShowRefusedCall(void) {
    uint32 allocCount = __atomic_load_n(&MemAllocCnt, __ATOMIC_RELAXED);
    tOsMsg msg = NULL;
    eOsRet rc = OsWrap__QueueRcv(999, &msg, OS_WAIT_NO);

    SvcPrintf("main: OsWrap__QueueRcv on queue 999 returned %d; its report:\n", (int)rc);
    WaitForTraceTask(allocCount);
}

/* ---- two service tasks: PING's periodic timer sends to PONG, which answers -------------------- */

enum { kPingType = 1, kPongType = 2 };

/* Runs inside PingTask's SvcMsgRcv, like every conveyor-belt timer callback. */
static void OnBeat(void *userInfoP) {
    uint32 *beatsP = (uint32 *)userInfoP;
    tSvcMsg *msgP = SvcMsgAlloc(sizeof(uint32));
    if (msgP == NULL) return;
    SvcMsgSetSrcModuleId(msgP, eSVC_MODULE_ID_SVC_MGR);
    SvcMsgSetDstModuleId(msgP, eSVC_MODULE_ID_PM);
    SvcMsgSetMsgType(msgP, kPingType);
    *(uint32 *)SvcMsgGetDataPointer(msgP) = ++*beatsP;
    if (SvcMsgSend(msgP) != eOS_RET_SUCCESS) SvcMsgFree(msgP); /* a failed send leaves it ours */
}

static void OnOneShot(void *userInfoP) {
    (void)userInfoP;
    SvcPrintf("%tPingTask: one-shot 1 s timer fired\n");
}

static void PingTask(void) {
    static uint32 beats;
    tOsQueueId queueId;

    OsWrap__QueueCreate("PingQueue", 16, &queueId);
    SvcTaskReg(eSVC_TASK_NAME_SVC_MGR, OsWrap__TaskId(), queueId, OS_SEM_ID_INVALID);
    SvcModuleReg(eSVC_MODULE_ID_SVC_MGR, eSVC_TASK_NAME_SVC_MGR, OS_QUEUE_ID_INVALID);
    SvcTimerInit(eSVC_TASK_NAME_SVC_MGR, 50, 100, 10000); /* the owning task sets up its belts */
    SvcTaskUp();

    SvcTimerStart(eSVC_MODULE_ID_SVC_MGR, 300, eOS_BOOL_TRUE, OnBeat, &beats);
    SvcTimerStart(eSVC_MODULE_ID_SVC_MGR, 1000, eOS_BOOL_FALSE, OnOneShot, NULL);
    for (;;) {
        tSvcMsg *msgP = NULL;
        if (SvcMsgRcv(queueId, &msgP, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        SvcPrintf("PingTask: pong %u\n", *(uint32 *)SvcMsgGetDataPointer(msgP));
        SvcMsgFree(msgP);
    }
}

static void PongTask(void) {
    tOsQueueId queueId;

    OsWrap__QueueCreate("PongQueue", 16, &queueId);
    SvcTaskReg(eSVC_TASK_NAME_PM, OsWrap__TaskId(), queueId, OS_SEM_ID_INVALID);
    SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID);
    SvcTaskUp();

    for (;;) {
        tSvcMsg *msgP = NULL;
        if (SvcMsgRcv(queueId, &msgP, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        SvcMsgSetDstModuleId(msgP, SvcMsgGetSrcModuleId(msgP)); /* answer with the same block */
        SvcMsgSetSrcModuleId(msgP, eSVC_MODULE_ID_PM);
        SvcMsgSetMsgType(msgP, kPongType);
        if (SvcMsgSend(msgP) != eOS_RET_SUCCESS) SvcMsgFree(msgP);
    }
}

int main(void) {
    tOsTaskId pongId, pingId;

    printf("== start-up: OsWrap__Init, SvcInit, InitSyslog, InitTrace\n");
    OsWrap__Init(NULL);
    SvcInit(NULL, NULL); /* keeps OsWrap__TextOut as both handlers */
    InitSyslog();
    InitTrace(); /* switches the console off again: this host wants it on */
    SetDisplayMode(eOS_BOOL_TRUE, eOS_BOOL_FALSE);
    relayKitVersion();

    printf("\n== a wrapper task answers over a queue\n");
    ExchangeWithWrapperTask();

    printf("\n== trace and log records, written by the trace task\n");
    WriteTraceAndLogRecords();

    printf("\n== a refused call returns its code and reports why\n");
    ShowRefusedCall();

    printf("\n== two service tasks, service messages and conveyor-belt timers\n");
    /* one at a time: each call returns once its task has registered and called SvcTaskUp() */
    SvcTaskStart("PongTask", PongTask, eOS_PRI_MEDIUM, 0x20000, &pongId);
    SvcTaskStart("PingTask", PingTask, eOS_PRI_MEDIUM, 0x20000, &pingId);
    SvcSleep(1600);

    printf("\n== tables\n");
    ShowTaskCtrlBlock();
    ShowQueueCtrlBlock();
    ShowMemAllocCnt();
    return 0;
}
