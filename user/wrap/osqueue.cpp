// osqueue.cpp - unbounded FIFO message queues linked through the header of each accounted block.
#include <stdint.h>
#include <string.h>

#include "oswraplx.h"
#include "svc.h"
#include "zqcmtrace.h"

namespace {

inline bool QueueIdInRange(tOsQueueId queueId) { return queueId >= 1 && queueId <= OS_MAX_QUEUES; }

// True for an id that names a queue in existence right now; send and receive take no table lock.
inline bool QueueIsLive(tOsQueueId queueId) {
    return QueueIdInRange(queueId) &&
           LoadAcquire(OWData.qcbArray[queueId - 1].busy) == eOS_BOOL_TRUE;
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

// The list lock of a queue: the mutex of the queue's own semaphore, so that a send or a receive
// updates the list and the count of waiting messages under one lock.
inline pthread_mutex_t *ListLock(const tQcb &qcb) { return &OWData.scbArray[qcb.semId].semMutex; }

// Takes gqMutex for a deletion or a flush and returns the live queue's block. An id out of range
// or without a live queue is reported in the name of operationP, gqMutex is released, and the
// result is null.
tQcb *LockLiveQueue(tOsQueueId queueId, const char *operationP) {
    MutexLock(&OWData.gqMutex);
    if (!QueueIdInRange(queueId)) {
        MutexUnlock(&OWData.gqMutex);
        LogInterface(__FILE__, __LINE__, operationP, eZQ_LL_CRITICAL, "%s(): Reached maximum queue limit:%d.\n",
                     operationP, static_cast<int>(queueId));
        return nullptr;
    }
    tQcb &qcb = OWData.qcbArray[queueId - 1];
    if (qcb.busy != eOS_BOOL_TRUE) {
        MutexUnlock(&OWData.gqMutex);
        LogInterface(__FILE__, __LINE__, operationP, eZQ_LL_CRITICAL, "%s(): the queueId is invalid:%d.\n",
                     operationP, static_cast<int>(queueId));
        return nullptr;
    }
    return &qcb;
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

    MutexLock(&OWData.gqMutex);
    if (OWData.numOfQueues >= OS_MAX_QUEUES) {
        MutexUnlock(&OWData.gqMutex);
        OsCriticalLog("OsWrap__QueueCreate(): Reached maximum queue limit.\n");
        return eOS_RET_FAILURE;
    }
    // The lowest free entry: ids 1, 2, 3 ... in creation order, a deleted id reused first.
    int index = 0;
    while (index < OS_MAX_QUEUES && OWData.qcbArray[index].busy == eOS_BOOL_TRUE) ++index;
    if (index >= OS_MAX_QUEUES) { // numOfQueues disagrees with the table; never overwrite a queue
        MutexUnlock(&OWData.gqMutex);
        OsCriticalLog("OsWrap__QueueCreate(): Reached maximum queue limit.\n");
        return eOS_RET_FAILURE;
    }
    tQcb &qcb = OWData.qcbArray[index];

    tOsSemId semId = 0;
    if (OsWrap__SemCreate(nameP, 0, &semId) != eOS_RET_SUCCESS) {
        MutexUnlock(&OWData.gqMutex);
        OsCriticalLog("OsWrap__QueueCreate(): OsWrap__SemCreate() failed.\n");
        return eOS_RET_FAILURE;
    }
    if (MutexCreate(&qcb.qMutex) != eOS_RET_SUCCESS) {
        (void)OsWrap__SemDelete(semId);
        MutexUnlock(&OWData.gqMutex);
        OsCriticalLog("OsWrap__QueueCreate(): MutexCreate() failed.\n");
        return eOS_RET_FAILURE;
    }
    qcb.semId = semId;
    qcb.firstP = nullptr;
    qcb.lastP = nullptr;
    qcb.count = 0;
    OsCopyName(qcb.name, nameP);
    StoreRelease(qcb.busy, eOS_BOOL_TRUE); // the block is complete before the id is live
    OWData.numOfQueues += 1;
    *queueIdP = static_cast<tOsQueueId>(index + 1);
    MutexUnlock(&OWData.gqMutex);
    return eOS_RET_SUCCESS;
}

eOsRet OsWrap__QueueDelete(tOsQueueId queueId) {
    tQcb *qcbP = LockLiveQueue(queueId, "OsWrap__QueueDelete");
    if (qcbP == nullptr) return eOS_RET_FAILURE;
    tQcb &qcb = *qcbP;
    // The queue is dead before its semaphore goes: sends and receives check the mark under the list
    // lock, so none uses the semaphore once it is deleted or its id is handed out again.
    MutexLock(ListLock(qcb));
    StoreRelease(qcb.busy, eOS_BOOL_FALSE);
    MutexUnlock(ListLock(qcb));
    // A task still waiting to receive keeps the semaphore, and so the queue, alive; a semaphore that
    // cannot be deleted leaves the queue as it was, its messages included.
    const eOsRet semRet = OsWrap__SemDelete(qcb.semId);
    if (semRet != eOS_RET_SUCCESS) {
        StoreRelease(qcb.busy, eOS_BOOL_TRUE);
        MutexUnlock(&OWData.gqMutex);
        if (semRet != eOS_RET_INVALID_STATE) {
            OsCriticalLog("OsWrap__QueueDelete(): OsWrap__SemDelete() failed: Q%d, E%d.\n",
                          static_cast<int>(queueId), static_cast<int>(semRet));
        }
        return semRet;
    }
    MutexLock(&qcb.qMutex);
    DiscardMessages(DetachMessages(qcb));
    MutexUnlock(&qcb.qMutex);
    (void)MutexDelete(&qcb.qMutex);
    OWData.numOfQueues -= 1;
    MutexUnlock(&OWData.gqMutex);
    return eOS_RET_SUCCESS;
}

eOsRet OsWrap__FlushQueue(tOsQueueId queueId) {
    tQcb *qcbP = LockLiveQueue(queueId, "OsWrap__FlushQueue");
    if (qcbP == nullptr) return eOS_RET_FAILURE;
    tQcb &qcb = *qcbP;
    // The semaphore keeps its count: that many later receives find the list empty.
    MutexLock(&qcb.qMutex);
    MutexLock(ListLock(qcb));
    tMsgBlock *listP = DetachMessages(qcb);
    MutexUnlock(ListLock(qcb));
    DiscardMessages(listP);
    MutexUnlock(&qcb.qMutex);
    MutexUnlock(&OWData.gqMutex);
    return eOS_RET_SUCCESS;
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
    MutexLock(&scb.semMutex);
    if (LoadAcquire(qcb.busy) != eOS_BOOL_TRUE) { // deleted since the check above
        MutexUnlock(&scb.semMutex);
        if (blockP->signature == static_cast<sint32>(OS_MSG_SIGNATURE_LINK))
            OsWrap__FreeExt(blockP, const_cast<char *>(__FILE__), __LINE__, 1);
        OsMajorLog("OsWrap__QueueSend(): Invalid destination queue Id: Q%d.\n", static_cast<int>(dstQueueId));
        return eOS_RET_INVALID_ARG;
    }
    if (qcb.lastP != nullptr) {
        qcb.lastP->nextP = blockP;
        qcb.lastP = blockP;
    } else {
        qcb.firstP = blockP;
        qcb.lastP = blockP;
    }
    qcb.count += 1;
    const bool wake = SemGiveLocked(scb);
    MutexUnlock(&scb.semMutex);
    if (wake) SemWake(scb);
    return eOS_RET_SUCCESS;
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

    tScb &scb = OWData.scbArray[qcb.semId];
    MutexLock(&scb.semMutex);
    if (LoadAcquire(qcb.busy) != eOS_BOOL_TRUE) { // deleted since the check above
        MutexUnlock(&scb.semMutex);
        OsMajorLog("OsWrap__QueueRcv(): Invalid queue Id: Q%d.\n", static_cast<int>(queueId));
        return eOS_RET_INVALID_ARG;
    }
    const eOsRet waitRet = SemTakeLocked(scb, timeout);
    if (waitRet != eOS_RET_SUCCESS) {
        MutexUnlock(&scb.semMutex);
        if (waitRet == eOS_RET_AGAIN) {
            if (!blocking) return eOS_RET_AGAIN;
            OsMajorLog("OsWrap__QueueRcv(): OsWrap__SemWait() returned eOS_RET_AGAIN in blocking mode.\n");
            return eOS_RET_FAILURE;
        }
        if (waitRet == eOS_RET_TIME_OUT) return waitRet;
        SemReportWaitFailure();
        OsMajorLog("OsWrap__QueueRcv(): OsWrap__SemWait() failed while waiting on a semaphore.\n");
        return waitRet;
    }

    tMsgBlock *blockP = qcb.firstP;
    if (blockP == nullptr) { // a unit left over from a flush
        MutexUnlock(&scb.semMutex);
        return eOS_RET_FAILURE;
    }
    *msgP = blockP->msg;
    if (blockP == qcb.lastP) qcb.lastP = nullptr;
    qcb.firstP = blockP->nextP;
    const bool countOk = qcb.count > 0;
    if (countOk) qcb.count -= 1;
    MutexUnlock(&scb.semMutex);

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
    // Every entry up to the highest live queue is listed, live or not. Rows are copied under
    // gqMutex (and each live queue's list lock) and printed after both are released.
    Row rows[kDumpChunk];
    int next = 0;
    bool first = true;
    for (;;) {
        int count = 0;
        MutexLock(&OWData.gqMutex);
        const int total = OWData.numOfQueues;
        if (total > OS_MAX_QUEUES) {
            MutexUnlock(&OWData.gqMutex);
            return;
        }
        int end = OS_MAX_QUEUES;
        while (end > 0 && OWData.qcbArray[end - 1].busy != eOS_BOOL_TRUE) --end;
        for (; next < end && count < kDumpChunk; ++next) {
            tQcb &qcb = OWData.qcbArray[next];
            Row &row = rows[count++];
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
        const bool more = next < end;
        MutexUnlock(&OWData.gqMutex);
        if (first) SvcPrintf("Show Queue Control Block........Total number is %d\n", total);
        first = false;
        for (int i = 0; i < count; ++i) {
            const Row &row = rows[i];
            SvcPrintf("queueId 0x%08x\tQueueName '%-12s' busy %-2d semId 0x%08x count %d firstP %p lastP %p\n",
                      row.queueId, row.name, static_cast<int>(row.busy), row.semId, row.count,
                      static_cast<void *>(row.firstP), static_cast<void *>(row.lastP));
        }
        if (!more) break;
    }
    SvcPrintf("\n");
}

} // extern "C"
