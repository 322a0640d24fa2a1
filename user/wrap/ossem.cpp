// ossem.cpp - counting semaphores on a mutex and a condition variable of the monotonic clock.
#include <errno.h>
#include <sched.h>
#include <string.h>

#include "oswraplx.h"
#include "svc.h"
#include "zqcmtrace.h"

namespace {

inline bool SemIdInRange(tOsSemId semId) { return semId >= 1 && semId <= OS_MAX_SEMAPHORES; }

// True for an id that names a semaphore in existence right now.
inline bool SemIsLive(tOsSemId semId) {
    return SemIdInRange(semId) && SharedGetAcquire(OWData.scbArray[semId].busy) == eOS_BOOL_TRUE;
}

// Runs when a waiting task is cancelled: the condition wait has taken semMutex back.
void SemWaitCleanup(void *arg) {
    tScb *scbP = static_cast<tScb *>(arg);
    scbP->waiters -= 1;
    pthread_mutex_unlock(&scbP->semMutex);
}

// Why a semaphore could not be made or deleted, reported once gsMutex is released.
struct tSemRefusal {
    const char *textP = nullptr;
    bool tableFull = false;
    bool mutexFailed = false; // the semaphore's mutex could not be made: reported first
};

// Reserves the lowest free id, makes the primitives and gives everything back when one of them
// fails. gsMutex held.
eOsRet SemCreateLocked(const char *nameP, uint16 initialCount, tOsSemId *semIdP, tSemRefusal *refusalP) {
    uint32 semId = 0;
    if (GetFreeSemId(&semId) != eOS_RET_SUCCESS) {
        refusalP->tableFull = true;
        return eOS_RET_FAILURE;
    }
    tScb &scb = OWData.scbArray[semId];
    const char *failureP = nullptr;
    bool mutexMade = false;
    bool attrMade = false;
    if (MutexCreate(&scb.semMutex) != eOS_RET_SUCCESS) {
        failureP = "OsWrap__SemCreate(): MutexCreate() failed for semaphore.\n";
        refusalP->mutexFailed = true;
    } else {
        mutexMade = true;
        if (pthread_condattr_init(&scb.condAttr) != 0) {
            failureP = "OsWrap__SemCreate(): pthread_condattr_init () failed.\n";
        } else {
            attrMade = true;
            if (pthread_condattr_setclock(&scb.condAttr, CLOCK_MONOTONIC) != 0) {
                failureP = "OsWrap__SemCreate(): pthread_condattr_setclock () failed.\n";
            } else if (pthread_cond_init(&scb.condVar, &scb.condAttr) != 0) {
                failureP = "OsWrap__SemCreate(): pthread_cond_init() failed.\n";
            }
        }
    }
    if (failureP != nullptr) {
        if (attrMade) pthread_condattr_destroy(&scb.condAttr);
        if (mutexMade) pthread_mutex_destroy(&scb.semMutex);
        ReleaseAssignedSemId(semId);
        refusalP->textP = failureP;
        return eOS_RET_FAILURE;
    }
    scb.semId = semId;
    scb.semCount = initialCount;
    scb.waiters = 0;
    OsCopyName(scb.name, nameP);
    SharedSetRelease(scb.busy, eOS_BOOL_TRUE); // the block is complete before the id is live
    OWData.numOfSems += 1;
    *semIdP = semId;
    return eOS_RET_SUCCESS;
}

// Deletes a semaphore without waiters. gsMutex held. eOS_RET_INVALID_ARG (no such semaphore) and
// eOS_RET_INVALID_STATE (tasks wait on it) are reported by the caller from the result alone.
eOsRet SemDeleteLocked(tOsSemId semId, tSemRefusal *refusalP) {
    tScb &scb = OWData.scbArray[semId];
    if (scb.busy != eOS_BOOL_TRUE) return eOS_RET_INVALID_ARG;
    // A waiter sleeps on condVar with semMutex: destroying either under it would strand it.
    {
        MutexGuard guard(&scb.semMutex);
        if (scb.waiters != 0) return eOS_RET_INVALID_STATE;
        SharedSetRelease(scb.busy, eOS_BOOL_FALSE);
    }
    // A release that gave its unit before the semaphore was marked dead may still be signalling.
    while (SharedGetAcquire(scb.signalling) != 0) sched_yield();

    if (OsWrapTestFailureDue(OsWrapTestSemDestroyFailAt) || pthread_mutex_destroy(&scb.semMutex) != 0) {
        SharedSetRelease(scb.busy, eOS_BOOL_TRUE);
        refusalP->textP = "OsWrap__SemCreate(): pthread_mutex_destroy() failed.\n";
        return eOS_RET_FAILURE;
    }
    if (pthread_cond_destroy(&scb.condVar) != 0) {
        // Keep the semaphore usable: it still exists.
        (void)MutexCreate(&scb.semMutex);
        SharedSetRelease(scb.busy, eOS_BOOL_TRUE);
        refusalP->textP = "OsWrap__SemCreate(): pthread_cond_destroy() failed.\n";
        return eOS_RET_FAILURE;
    }
    pthread_condattr_destroy(&scb.condAttr);
    OWData.numOfSems -= 1;
    ReleaseAssignedSemId(semId);
    return eOS_RET_SUCCESS;
}

} // namespace

// ---- semaphore ids --------------------------------------------------------------------------------

eOsRet GetFreeSemId(uint32 *semIdP) {
    if (semIdP == nullptr) return eOS_RET_FAILURE;
    for (int s = 0; s < kSemIdFullWords; ++s) {
        const uint64_t notFull = ~OWData.semIdFull[s];
        if (notFull == 0) continue;
        const int word = s * 64 + __builtin_ctzll(notFull);
        if (word >= kSemIdWords) break;
        const int bit = __builtin_ctzll(~OWData.semIdBits[word]);
        const int index = word * 64 + bit;
        if (index >= OS_MAX_SEMAPHORES) break; // only the unused tail of the last word is free
        OWData.semIdBits[word] |= uint64_t{1} << bit;
        if (OWData.semIdBits[word] == ~uint64_t{0}) OWData.semIdFull[s] |= uint64_t{1} << (word % 64);
        *semIdP = static_cast<uint32>(index + 1);
        return eOS_RET_SUCCESS;
    }
    return eOS_RET_FAILURE;
}

void ReleaseAssignedSemId(uint32 semId) {
    if (!SemIdInRange(semId)) return;
    const int index = static_cast<int>(semId) - 1;
    const int word = index / 64;
    OWData.semIdBits[word] &= ~(uint64_t{1} << (index % 64));
    OWData.semIdFull[word / 64] &= ~(uint64_t{1} << (word % 64));
}

eOsRet SemTakeLocked(tScb &scb, sint32 timeout) {
    while (scb.semCount == 0) {
        if (timeout == OS_WAIT_NO) return eOS_RET_AGAIN;
        int rc = 0;
        scb.waiters += 1;
        pthread_cleanup_push(SemWaitCleanup, &scb);
        if (timeout == OS_WAIT_FOREVER) {
            rc = pthread_cond_wait(&scb.condVar, &scb.semMutex);
        } else {
            // A fresh full time-out on every pass; below -1 the deadline is already past.
            struct timespec deadline;
            clock_gettime(CLOCK_MONOTONIC, &deadline);
            const long seconds = timeout / 1000;
            const struct timespec delta = {seconds, (timeout - seconds * 1000) * 1000000L};
            TimeSpecAdd(&deadline, &delta);
            rc = pthread_cond_timedwait(&scb.condVar, &scb.semMutex, &deadline);
        }
        pthread_cleanup_pop(0);
        scb.waiters -= 1;
        if (rc == ETIMEDOUT || rc == ETIME) return eOS_RET_TIME_OUT;
        if (rc != 0) return eOS_RET_FAILURE;
    }
    scb.semCount -= 1;
    return eOS_RET_SUCCESS;
}

bool SemGiveLocked(tScb &scb) {
    scb.semCount += 1;
    if (scb.waiters == 0) return false;
    SharedIncrement(scb.signalling);
    return true;
}

void SemWake(tScb &scb) {
    pthread_cond_signal(&scb.condVar);
    SharedDecrementRelease(scb.signalling);
}

void SemReportWaitFailure() {
    OsMajorLog("OsWrap__SemWait(): pthread_cond_wait() or pthread_cond_timedwait() failed.\n");
}

extern "C" {

eOsRet OsWrap__SemCreate(char *nameP, uint16 initialCount, tOsSemId *semIdP) {
    if (semIdP != nullptr) *semIdP = 0;
    if (nameP == nullptr) {
        OsCriticalLog("OsWrap__SemCreate(): NULL nameP.\n");
        return eOS_RET_INVALID_ARG;
    }
    if (semIdP == nullptr) { // nobody could ever use or delete the semaphore
        OsCriticalLog("OsWrap__SemCreate(): NULL semIdP.\n");
        return eOS_RET_INVALID_ARG;
    }
    tSemRefusal refusal;
    eOsRet ret;
    {
        MutexGuard guard(&OWData.gsMutex);
        ret = SemCreateLocked(nameP, initialCount, semIdP, &refusal);
    }
    if (refusal.tableFull) {
        OsCriticalLog("OsWrap__SemCreate(): Reached maximum semaphore limit: %d.\n", OS_MAX_SEMAPHORES);
    }
    if (refusal.mutexFailed) OsCriticalLog("%s", kMutexCreateFailure);
    if (refusal.textP != nullptr) OsCriticalLog("%s", refusal.textP);
    return ret;
}

eOsRet OsWrap__SemDelete(tOsSemId semId) {
    tSemRefusal refusal;
    eOsRet ret = eOS_RET_INVALID_ARG;
    if (SemIdInRange(semId)) {
        MutexGuard guard(&OWData.gsMutex);
        ret = SemDeleteLocked(semId, &refusal);
    }
    if (ret == eOS_RET_INVALID_ARG) {
        OsMajorLog("OsWrap__SemDelete(): Invalid semaphore Id: S%d.\n", static_cast<int>(semId));
    } else if (ret == eOS_RET_INVALID_STATE) {
        OsMajorLog("OsWrap__SemDelete(): Tasks wait on the semaphore: S%d.\n", static_cast<int>(semId));
    } else if (refusal.textP != nullptr) {
        OsCriticalLog("%s", refusal.textP);
    }
    return ret;
}

void OsWrap__SemRelease(tOsSemId semId) {
    if (!SemIsLive(semId)) {
        OsMajorLog("OsWrap__SemRelease(): Invalid semaphore Id: S%d.\n", static_cast<int>(semId));
        return;
    }
    tScb &scb = OWData.scbArray[semId];
    bool live = false;
    bool wake = false;
    {
        MutexGuard guard(&scb.semMutex);
        live = SharedGetAcquire(scb.busy) == eOS_BOOL_TRUE;
        wake = live && SemGiveLocked(scb);
    }
    if (wake) SemWake(scb);
    if (!live) OsMajorLog("OsWrap__SemRelease(): Invalid semaphore Id: S%d.\n", static_cast<int>(semId));
}

eOsRet OsWrap__SemWait(tOsSemId semId, sint32 timeout) {
    if (!SemIsLive(semId)) {
        OsMajorLog("OsWrap__SemWait(): Invalid semaphore Id: S%d.\n", static_cast<int>(semId));
        return eOS_RET_INVALID_ARG;
    }
    tScb &scb = OWData.scbArray[semId];
    // The wait is a cancellation point: its cleanup handler gives semMutex back, so no guard here.
    MutexLock(&scb.semMutex);
    const bool live = SharedGetAcquire(scb.busy) == eOS_BOOL_TRUE;
    const eOsRet result = live ? SemTakeLocked(scb, timeout) : eOS_RET_INVALID_ARG;
    MutexUnlock(&scb.semMutex);
    if (!live) OsMajorLog("OsWrap__SemWait(): Invalid semaphore Id: S%d.\n", static_cast<int>(semId));
    if (result == eOS_RET_FAILURE) SemReportWaitFailure();
    return result;
}

void ShowSemCtrlBlock(void) {
    struct Row {
        char name[OS_MAX_NAME_LEN + 1];
        eOsBool busy;
        uint32 semId;
        sint32 semCount;
    };
    // gsMutex keeps every listed semaphore alive while its row is copied. Position n is id n + 1.
    auto copy = [](int &next, Row *rows) {
        tDumpPass pass;
        for (; next < OS_MAX_SEMAPHORES && pass.rows < kDumpChunk; ++next) {
            tScb &scb = OWData.scbArray[next + 1];
            if (scb.busy != eOS_BOOL_TRUE) continue;
            Row &row = rows[pass.rows++];
            memcpy(row.name, scb.name, sizeof row.name);
            row.busy = scb.busy;
            row.semId = scb.semId;
            MutexGuard guard(&scb.semMutex);
            row.semCount = scb.semCount;
        }
        pass.more = next < OS_MAX_SEMAPHORES;
        return pass;
    };
    DumpTable<Row>("Semaphore", &OWData.gsMutex, &OWData.numOfSems, OS_MAX_SEMAPHORES, copy, [](const Row &row) {
        SvcPrintf("\tSemName '%-12s' busy %-2d, semId 0x%08x semCount %d\n", row.name,
                  static_cast<int>(row.busy), row.semId, row.semCount);
    });
}

} // extern "C"
