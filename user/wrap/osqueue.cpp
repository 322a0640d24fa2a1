// osqueue.cpp - unbounded FIFO message queues linked through the header of each accounted block.
#include <stdint.h>
#include <string.h>

#include "oscancel.h"
#include "oswraplx.h"
#include "svc.h"
#include "zqcmtrace.h"

namespace {

inline bool QueueIdInRange(tOsQueueId queueId) { return queueId >= 1 && queueId <= OS_MAX_QUEUES; }

// True for an id that names a queue in existence right now; send and receive take no table lock.
inline bool QueueIsLive(tOsQueueId queueId) {
    return QueueIdInRange(queueId) &&
           SharedGetAcquire(OWData.qcbArray[queueId - 1].busy) == eOS_BOOL_TRUE;
}

inline tMsgBlock *HeaderOf(tOsMsg msg) { return static_cast<tMsgBlock *>(msg) - 1; }

// Frees the messages of a list taken off a queue. A separate link block is freed; the message it
// carries did not come from the accounting allocator and stays with its owner.
void DiscardMessages(tMsgBlock *blockP) {
    while (blockP != nullptr) {
        tMsgBlock *nextP = blockP->nextP;
        if (blockP->signature == static_cast<sint32>(OS_MSG_SIGNATURE_LINK)) {
            OsWrap__FreeExt(blockP, const_cast<char *>(__FILE__), __LINE__, 1);
        } else if (blockP->msg != nullptr) {
            OsWrap__FreeExt(blockP->msg, const_cast<char *>(__FILE__), __LINE__, 1);
        }
        blockP = nextP;
    }
}

// Empties the queue's list (its list lock held) and hands the old list to the caller.
tMsgBlock *DetachMessages(tQcb &qcb) {
    tMsgBlock *firstP = qcb.firstP;
    qcb.firstP = nullptr;
    qcb.lastP = nullptr;
    qcb.count = 0;
    return firstP;
}

// Puts a block at the tail of the queue's list, its list lock held.
void AppendLocked(tQcb &qcb, tMsgBlock *blockP) {
    if (qcb.lastP != nullptr) {
        qcb.lastP->nextP = blockP;
    } else {
        qcb.firstP = blockP;
    }
    qcb.lastP = blockP;
    qcb.count += 1;
}

// Takes the block at the head of the queue's list, its list lock held; null when the list is
// empty. *countOkP is false when the count of waiting messages did not agree.
tMsgBlock *TakeFirstLocked(tQcb &qcb, bool *countOkP) {
    tMsgBlock *blockP = qcb.firstP;
    if (blockP == nullptr) return nullptr;
    if (blockP == qcb.lastP) qcb.lastP = nullptr;
    qcb.firstP = blockP->nextP;
    *countOkP = qcb.count > 0;
    if (*countOkP) qcb.count -= 1;
    return blockP;
}

// The list lock of a queue: the mutex of the queue's own semaphore, so that a send or a receive
// updates the list and the count of waiting messages under one lock.
inline pthread_mutex_t *ListLock(const tQcb &qcb) { return &OWData.scbArray[qcb.semId].semMutex; }

// The live queue's block, gqMutex held; null for an id out of range or without a live queue, with
// the reason in *reasonP for the caller to report in its own name after releasing gqMutex.
tQcb *LiveQueueLocked(tOsQueueId queueId, const char **reasonP) {
    if (!QueueIdInRange(queueId)) {
        *reasonP = "Reached maximum queue limit";
        return nullptr;
    }
    tQcb &qcb = OWData.qcbArray[queueId - 1];
    if (qcb.busy != eOS_BOOL_TRUE) {
        *reasonP = "the queueId is invalid";
        return nullptr;
    }
    return &qcb;
}

void ReportNoLiveQueue(const char *operationP, tOsQueueId queueId, const char *reasonP) {
    LogInterface(__FILE__, __LINE__, operationP, eZQ_LL_CRITICAL, "%s(): %s:%d.\n", operationP, reasonP,
                 static_cast<int>(queueId));
}

// Makes the queue in the lowest free entry, with its semaphore and mutex. gqMutex held; a refusal
// leaves its texts in reportsP (first one, then the other, when there are two).
eOsRet QueueCreateLocked(char *nameP, tOsQueueId *queueIdP, const char *reportsP[2]) {
    // The lowest free entry: ids 1, 2, 3 ... in creation order, a deleted id reused first.
    int index = 0;
    while (index < OS_MAX_QUEUES && OWData.qcbArray[index].busy == eOS_BOOL_TRUE) ++index;
    // A count that disagrees with the table is full too: a queue is never overwritten.
    if (OWData.numOfQueues >= OS_MAX_QUEUES || index >= OS_MAX_QUEUES) {
        reportsP[0] = "OsWrap__QueueCreate(): Reached maximum queue limit.\n";
        return eOS_RET_FAILURE;
    }
    tQcb &qcb = OWData.qcbArray[index];
    tOsSemId semId = 0;
    if (OsWrap__SemCreate(nameP, 0, &semId) != eOS_RET_SUCCESS) {
        reportsP[0] = "OsWrap__QueueCreate(): OsWrap__SemCreate() failed.\n";
        return eOS_RET_FAILURE;
    }
    if (MutexCreate(&qcb.qMutex) != eOS_RET_SUCCESS) {
        (void)OsWrap__SemDelete(semId);
        reportsP[0] = kMutexCreateFailure;
        reportsP[1] = "OsWrap__QueueCreate(): MutexCreate() failed.\n";
        return eOS_RET_FAILURE;
    }
    qcb.semId = semId;
    qcb.firstP = nullptr;
    qcb.lastP = nullptr;
    qcb.count = 0;
    OsCopyName(qcb.name, nameP);
    SharedSetRelease(qcb.busy, eOS_BOOL_TRUE); // the block is complete before the id is live
    OWData.numOfQueues += 1;
    *queueIdP = static_cast<tOsQueueId>(index + 1);
    return eOS_RET_SUCCESS;
}

// Deletes the queue with its semaphore, gqMutex held, and hands its messages to the caller, who
// frees them after releasing gqMutex.
eOsRet QueueDeleteLocked(tQcb &qcb, tMsgBlock **messagesP) {
    // The queue is dead before its semaphore goes: sends and receives check the mark under the list
    // lock, so none uses the semaphore once it is deleted or its id is handed out again.
    {
        MutexGuard guard(ListLock(qcb));
        SharedSetRelease(qcb.busy, eOS_BOOL_FALSE);
    }
    // A task still waiting to receive keeps the semaphore, and so the queue, alive; a semaphore that
    // cannot be deleted leaves the queue as it was, its messages included.
    const eOsRet semRet = OsWrap__SemDelete(qcb.semId);
    if (semRet != eOS_RET_SUCCESS) {
        SharedSetRelease(qcb.busy, eOS_BOOL_TRUE);
        return semRet;
    }
    {
        MutexGuard guard(&qcb.qMutex);
        *messagesP = DetachMessages(qcb);
    }
    (void)MutexDelete(&qcb.qMutex);
    OWData.numOfQueues -= 1;
    return eOS_RET_SUCCESS;
}

} // namespace

extern "C" {

eOsRet OsWrap__QueueCreate(char *nameP, uint16 qSize, tOsQueueId *queueIdP) {
    (void)qSize; // a queue holds any number of messages
    if (queueIdP != nullptr) *queueIdP = 0;
    if (nameP == nullptr) {
        OsCriticalLog("OsWrap__QueueCreate(): NULL nameP.\n");
        return eOS_RET_INVALID_ARG;
    }
    if (queueIdP == nullptr) { // nobody could ever use or delete the queue
        OsCriticalLog("OsWrap__QueueCreate(): NULL queueIdP.\n");
        return eOS_RET_INVALID_ARG;
    }
    const char *reports[2] = {};
    eOsRet ret;
    {
        NoCancelScope noCancel; // the semaphore's own refusals are reported under gqMutex
        MutexGuard guard(&OWData.gqMutex);
        ret = QueueCreateLocked(nameP, queueIdP, reports);
    }
    for (const char *textP : reports) {
        if (textP != nullptr) OsCriticalLog("%s", textP);
    }
    return ret;
}

eOsRet OsWrap__QueueDelete(tOsQueueId queueId) {
    const char *reasonP = nullptr;
    tMsgBlock *messagesP = nullptr;
    eOsRet ret = eOS_RET_FAILURE;
    {
        NoCancelScope noCancel; // the semaphore's own refusals are reported under gqMutex
        MutexGuard guard(&OWData.gqMutex);
        if (tQcb *qcbP = LiveQueueLocked(queueId, &reasonP); qcbP != nullptr) {
            ret = QueueDeleteLocked(*qcbP, &messagesP);
        }
    }
    DiscardMessages(messagesP);
    if (reasonP != nullptr) {
        ReportNoLiveQueue("OsWrap__QueueDelete", queueId, reasonP);
    } else if (ret != eOS_RET_SUCCESS && ret != eOS_RET_INVALID_STATE) {
        OsCriticalLog("OsWrap__QueueDelete(): OsWrap__SemDelete() failed: Q%d, E%d.\n", static_cast<int>(queueId),
                      static_cast<int>(ret));
    }
    return ret;
}

eOsRet OsWrap__FlushQueue(tOsQueueId queueId) {
    const char *reasonP = nullptr;
    tMsgBlock *messagesP = nullptr;
    {
        MutexGuard guard(&OWData.gqMutex);
        if (tQcb *qcbP = LiveQueueLocked(queueId, &reasonP); qcbP != nullptr) {
            // The semaphore keeps its count: that many later receives find the list empty.
            MutexGuard flushGuard(&qcbP->qMutex);
            MutexGuard listGuard(ListLock(*qcbP));
            messagesP = DetachMessages(*qcbP);
        }
    }
    DiscardMessages(messagesP);
    if (reasonP == nullptr) return eOS_RET_SUCCESS;
    ReportNoLiveQueue("OsWrap__FlushQueue", queueId, reasonP);
    return eOS_RET_FAILURE;
}

eOsRet OsWrap__QueueSend(tOsQueueId dstQueueId, tOsMsg msg) {
    if (msg == nullptr) {
        OsMajorLog("OsWrap__QueueSend(): Invalid message: NULL.\n");
        return eOS_RET_INVALID_ARG;
    }
    if (!QueueIsLive(dstQueueId)) {
        OsMajorLog("OsWrap__QueueSend(): Invalid destination queue Id: Q%d.\n", static_cast<int>(dstQueueId));
        return eOS_RET_INVALID_ARG;
    }
    tQcb &qcb = OWData.qcbArray[dstQueueId - 1];

    // An accounted block carries its own link; anything else travels in a separate link block.
    tMsgBlock *blockP = HeaderOf(msg);
    if (blockP->signature != static_cast<sint32>(OS_MSG_SIGNATURE_LIVE)) {
        OsMajorLog("OsWrap__QueueSend(): Maybe a corrupted or uninitialized message block 0x%x \n", Addr32(msg));
        blockP = static_cast<tMsgBlock *>(
            OsWrap__AllocExt(sizeof(tMsgBlock), const_cast<char *>(__FILE__), __LINE__, 1));
        if (blockP == nullptr) {
            OsMajorLog("OsWrap__Alloc() failed for tMsgBlock: Q%d.\n", static_cast<int>(dstQueueId));
            return eOS_RET_NO_RESOURCE;
        }
        blockP->signature = static_cast<sint32>(OS_MSG_SIGNATURE_LINK);
    }
    blockP->nextP = nullptr;
    blockP->msg = msg;

    tScb &scb = OWData.scbArray[qcb.semId];
    bool live = false;
    bool wake = false;
    {
        MutexGuard guard(&scb.semMutex);
        live = SharedGetAcquire(qcb.busy) == eOS_BOOL_TRUE; // false when deleted since the check above
        if (live) {
            AppendLocked(qcb, blockP);
            wake = SemGiveLocked(scb);
        }
    }
    if (wake) SemWake(scb);
    if (live) return eOS_RET_SUCCESS;
    if (blockP->signature == static_cast<sint32>(OS_MSG_SIGNATURE_LINK))
        OsWrap__FreeExt(blockP, const_cast<char *>(__FILE__), __LINE__, 1);
    OsMajorLog("OsWrap__QueueSend(): Invalid destination queue Id: Q%d.\n", static_cast<int>(dstQueueId));
    return eOS_RET_INVALID_ARG;
}

eOsRet OsWrap__QueueRcv(tOsQueueId queueId, tOsMsg *msgP, sint32 timeout) {
    if (msgP == nullptr) {
        OsMajorLog("OsWrap__QueueRcv(): NULL msgP: Q%d.\n", static_cast<int>(queueId));
        return eOS_RET_INVALID_ARG;
    }
    *msgP = nullptr;
    const bool blocking = timeout == OS_WAIT_FOREVER || timeout > 0;
    if (!QueueIsLive(queueId)) {
        OsMajorLog("OsWrap__QueueRcv(): Invalid queue Id: Q%d.\n", static_cast<int>(queueId));
        return eOS_RET_INVALID_ARG;
    }
    tQcb &qcb = OWData.qcbArray[queueId - 1];

    // The wait is a cancellation point: its cleanup handler gives semMutex back, so no guard here.
    tScb &scb = OWData.scbArray[qcb.semId];
    MutexLock(&scb.semMutex);
    const bool live = SharedGetAcquire(qcb.busy) == eOS_BOOL_TRUE; // false when deleted since the check above
    const eOsRet waitRet = live ? SemTakeLocked(scb, timeout) : eOS_RET_INVALID_ARG;
    bool countOk = true;
    tMsgBlock *blockP = waitRet == eOS_RET_SUCCESS ? TakeFirstLocked(qcb, &countOk) : nullptr;
    MutexUnlock(&scb.semMutex);

    if (!live) {
        OsMajorLog("OsWrap__QueueRcv(): Invalid queue Id: Q%d.\n", static_cast<int>(queueId));
        return eOS_RET_INVALID_ARG;
    }
    if (waitRet == eOS_RET_AGAIN) {
        if (!blocking) return eOS_RET_AGAIN;
        OsMajorLog("OsWrap__QueueRcv(): OsWrap__SemWait() returned eOS_RET_AGAIN in blocking mode.\n");
        return eOS_RET_FAILURE;
    }
    if (waitRet == eOS_RET_TIME_OUT) return waitRet;
    if (waitRet != eOS_RET_SUCCESS) {
        SemReportWaitFailure();
        OsMajorLog("OsWrap__QueueRcv(): OsWrap__SemWait() failed while waiting on a semaphore.\n");
        return waitRet;
    }
    if (blockP == nullptr) return eOS_RET_FAILURE; // a unit left over from a flush
    *msgP = blockP->msg;

    // The block is off the list and ours alone now.
    const sint32 signature = blockP->signature;
    if (signature == static_cast<sint32>(OS_MSG_SIGNATURE_LINK)) {
        OsWrap__FreeExt(blockP, const_cast<char *>(__FILE__), __LINE__, 1);
    } else if (signature != static_cast<sint32>(OS_MSG_SIGNATURE_LIVE)) {
        OsMajorLog("OsWrap__QueueRcv(): Corrupted Msg Block 0x%x\n", Addr32(blockP));
    }
    if (!countOk) OsMajorLog("OsWrap__QueueRcv(): Invalid Queue Count Id = %d\n", static_cast<int>(queueId));
    return eOS_RET_SUCCESS;
}

void ShowQueueCtrlBlock(void) {
    struct Row {
        uint32 queueId;
        char name[OS_MAX_NAME_LEN + 1];
        eOsBool busy;
        tOsSemId semId;
        sint32 count;
        tMsgBlock *firstP;
        tMsgBlock *lastP;
    };
    // Every entry up to the highest live queue is listed, live or not; a live queue's list is read
    // under its list lock.
    auto copy = [](int &next, Row *rows) {
        tDumpPass pass;
        int end = OS_MAX_QUEUES;
        while (end > 0 && OWData.qcbArray[end - 1].busy != eOS_BOOL_TRUE) --end;
        for (; next < end && pass.rows < kDumpChunk; ++next) {
            tQcb &qcb = OWData.qcbArray[next];
            Row &row = rows[pass.rows++];
            row.queueId = static_cast<uint32>(next + 1);
            memcpy(row.name, qcb.name, sizeof row.name);
            row.busy = qcb.busy;
            row.semId = qcb.semId;
            const bool live = qcb.busy == eOS_BOOL_TRUE;
            if (live) MutexLock(ListLock(qcb));
            row.count = qcb.count;
            row.firstP = qcb.firstP;
            row.lastP = qcb.lastP;
            if (live) MutexUnlock(ListLock(qcb));
        }
        pass.more = next < end;
        return pass;
    };
    DumpTable<Row>("Queue", &OWData.gqMutex, &OWData.numOfQueues, OS_MAX_QUEUES, copy, [](const Row &row) {
        SvcPrintf("queueId 0x%08x\tQueueName '%-12s' busy %-2d semId 0x%08x count %d firstP %p lastP %p\n",
                  row.queueId, row.name, static_cast<int>(row.busy), row.semId, row.count,
                  static_cast<void *>(row.firstP), static_cast<void *>(row.lastP));
    });
}

} // extern "C"
