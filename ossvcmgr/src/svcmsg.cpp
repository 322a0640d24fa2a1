// svcmsg.cpp - service messages, and the two waiting calls that run the task's tick while they wait.
#include "svcmsg.h"

#include <cstdint>
#include <cstring>

#include "oswrap.h"
#include "svc.h"
#include "svcinternal.h"
#include "svctick.h"
#include "uint64.h"
#include "zqcmtrace.h"

namespace {

// The allocation size is a 16-bit number: header plus payload must fit it.
constexpr uint32 kMaxAllocSize = 0xFFFF;
constexpr uint32 kMaxPayload = kMaxAllocSize - sizeof(tSvcMsg);
static_assert(kMaxPayload == 65511, "largest payload of a service message");

// The wait of one pass of a receive loop: without a pending tick, without limit; otherwise until
// the tick's expiry, and not at all when it has passed.
sint32 WaitForTick(tSvcTmcb *tmcbP, bool *foreverP) {
    const tOsTime expiry = SvcTickGetNearestExpTime(tmcbP);
    *foreverP = Uint64IsZero(expiry);
    if (*foreverP) return OS_WAIT_FOREVER;
    const sint32 remaining = Uint64Subtract(expiry, SvcUpTime());
    return remaining > 0 ? remaining : OS_WAIT_NO;
}

bool IsWaitEnd(eOsRet rc) {
    return rc == eOS_RET_SUCCESS || rc == eOS_RET_TIME_OUT || rc == eOS_RET_AGAIN;
}

} // namespace

extern "C" {

tSvcMsg *SvcMsgAlloc(uint16 size) {
    if (size > kMaxPayload) {
        OsMajorLog("SvcMsgAlloc(): Invalid size: S%d.\n", size);
        return nullptr;
    }
    const uint16 allocSize = (uint16)(sizeof(tSvcMsg) + size);
    auto *msgP = static_cast<tSvcMsg *>(OsWrap__AllocExt(allocSize, (char *)__FILE__, __LINE__, 1));
    if (msgP == nullptr) {
        OsMajorLog("SvcMsgAlloc(): SvcAlloc() failed: S%d.\n", size);
        return nullptr;
    }
    memset(msgP, 0, sizeof(tSvcMsg));
    msgP->msgClass = eSVC_MSG_CLASS_ITC;
    msgP->length = size;
    return msgP;
}

void SvcMsgFree(tSvcMsg *svcMsgP) {
    if (svcMsgP == nullptr) {
        OsMajorLog("SvcMsgFree(): NULL message.\n");
        return;
    }
    if (svcMsgP->msgClass != eSVC_MSG_CLASS_ITC) {
        OsMajorLog("SvcMsgFree(): non ITC message: C%d.\n", svcMsgP->msgClass);
        return;
    }
    OsWrap__FreeExt(svcMsgP, (char *)__FILE__, __LINE__, 1);
}

eOsRet SvcMsgSend(tSvcMsg *svcMsgP) {
    if (svcMsgP == nullptr) {
        OsMajorLog("SvcMsgSend(): Invalid message: NULL.\n");
        return eOS_RET_INVALID_ARG;
    }
    // The queue and the semaphore come from one reading of the registry, so that a registration
    // made meanwhile never pairs one registration's queue with another one's semaphore.
    const auto dstModuleId = (eSvcModuleId)svcMsgP->dstModuleId;
    tSvcModuleRoute route;
    const bool known = SvcModuleRouteRead(dstModuleId, "SvcModuleGetQueueId", &route);
    const tOsQueueId queueId = known ? SvcModuleRouteQueueId(dstModuleId, route) : OS_QUEUE_ID_INVALID;
    if (queueId == OS_QUEUE_ID_INVALID) {
        OsMajorLog("SvcMsgSend(): Invalid queue id: M%d:\n", dstModuleId);
        return eOS_RET_INVALID_ARG;
    }
    const eOsRet rc = OsWrap__QueueSend(queueId, svcMsgP);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("SvcMsgSend(): OsWrap__QueueSend() failed: S%d, D%d, T%d, L%d, E%d:\n",
                   svcMsgP->srcModuleId, svcMsgP->dstModuleId, svcMsgP->msgType, svcMsgP->length, rc);
        return rc;
    }
    // The message is the receiver's now and may already be freed: only the kept route is used.
    const tOsSemId semId = SvcModuleRouteSemId(dstModuleId, route);
    if (semId != OS_SEM_ID_INVALID) OsWrap__SemRelease(semId);
    return eOS_RET_SUCCESS;
}

eOsRet SvcMsgRcv(tOsQueueId queueId, tSvcMsg **msgP, sint32 timeout) {
    (void)timeout; // the call returns only with a message or an error
    if (msgP == nullptr) {
        OsMajorLog("SvcMsgRcv(): NULL msgP: Q%d.\n", queueId);
        return eOS_RET_INVALID_ARG;
    }
    *msgP = nullptr;
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    tOsMsg msg = nullptr;
    for (;;) {
        bool forever = false;
        const sint32 wait = WaitForTick(tmcbP, &forever);
        eOsRet rc = OsWrap__QueueRcv(queueId, &msg, wait);
        if (forever) {
            if (rc != eOS_RET_SUCCESS) {
                OsMajorLog("SvcMsgRcv(): OsWrap__QueueRcv(forever) failed: Q%d, E%d.\n", queueId, rc);
                return rc;
            }
            // No message trace on this path.
            *msgP = static_cast<tSvcMsg *>(msg);
            return eOS_RET_SUCCESS;
        }
        if (!IsWaitEnd(rc)) {
            OsMajorLog("SvcMsgRcv(): OsWrap__QueueRcv() failed: S%d, E%d.\n", queueId, rc);
            return rc;
        }
        SvcTickCheckTimeouts(tmcbP);
        if (rc == eOS_RET_SUCCESS && msg != nullptr) break;
    }

    tSvcMsg *svcMsgP = static_cast<tSvcMsg *>(msg);
    if ((TraceGetMask(eSVC_MODULE_ID_SVC) & fSVC_TM_MESSAGE) != 0) {
        if (svcMsgP->msgClass == eSVC_MSG_CLASS_ITC) {
            SvcPrintf("%tSMTR: P%p, N%X, MT%d, L%d, SM%d, DM%d.\n", (void *)svcMsgP, 0u,
                      svcMsgP->msgType, svcMsgP->length, svcMsgP->srcModuleId, svcMsgP->dstModuleId);
        } else {
            OsMinorLog("SvcMsgRcv(): Invalid message class: P%p, N%X, MT%d, L%d, SM%d, DM%d, MC%d.\n",
                       (void *)svcMsgP, 0u, svcMsgP->msgType, svcMsgP->length, svcMsgP->srcModuleId,
                       svcMsgP->dstModuleId, svcMsgP->msgClass);
        }
    }
    *msgP = svcMsgP;
    return eOS_RET_SUCCESS;
}

eOsRet SvcSemWait(tOsSemId semId, sint32 timeout) {
    (void)timeout; // the call returns only once the semaphore was taken, or with an error
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    for (;;) {
        bool forever = false;
        const sint32 wait = WaitForTick(tmcbP, &forever);
        const eOsRet rc = OsWrap__SemWait(semId, wait);
        if (forever) {
            if (rc != eOS_RET_SUCCESS) {
                OsMajorLog("SvcSemWait(): OsWrap__SemWait(forever) failed: S%d, E%d.\n", semId, rc);
            }
            return rc;
        }
        if (!IsWaitEnd(rc)) {
            OsMajorLog("SvcSemWait(): OsWrap__SemWait() failed: S%d, E%d.\n", semId, rc);
            return rc;
        }
        SvcTickCheckTimeouts(tmcbP);
        if (rc == eOS_RET_SUCCESS) return eOS_RET_SUCCESS;
    }
}

} // extern "C"
