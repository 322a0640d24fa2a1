// oswraplx.cpp - the OS wrapper's state record, mutex primitives, start-up, tasks and clocks.
#include "oswraplx.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "svc.h"
#include "svcinternal.h"
#include "uint64.h"
#include "zqcmtrace.h"

tOsWrap OWData;

namespace {

// Serialises OsWrap__Init itself; the wrapper's own mutexes do not exist before it.
pthread_mutex_t initMutex = PTHREAD_MUTEX_INITIALIZER;
int initMutexesMade = 0; // how many of the four global mutexes exist
bool initDone = false;

inline tOsTaskId LowId(pthread_t thread) { return static_cast<tOsTaskId>(thread); }

// The entry of the task with this id, gtMutex held; -1 for none. The handle of a thread that ended
// is reused at once, so an ended task's entry may carry the id of a live task: the live one is
// meant first.
int TaskIndexOf(tOsTaskId taskId) {
    int endedIndex = -1;
    for (int i = 0; i < OWData.numOfTasks; ++i) {
        const tTcb &tcb = OWData.tcbArray[i];
        if (LowId(tcb.taskId) != taskId) continue;
        if (tcb.ended != eOS_BOOL_TRUE) return i;
        if (endedIndex < 0) endedIndex = i;
    }
    return endedIndex;
}

// Runs in a task's thread as it ends, whether its entry function returned or the task was deleted
// (then at the cancellation point where the deletion acted): what the library keeps for the task is
// given back while the thread, and so its handle, still exists.
void TaskEndCleanup(void *) { SvcTaskEnded(); }

void *CommonEntryPoint(void *arg) {
    // Start barrier: OsWrap__TaskCreate holds gtMutex until the entry is complete.
    MutexLock(&OWData.gtMutex);
    MutexUnlock(&OWData.gtMutex);

    auto entryPoint = reinterpret_cast<void (*)(void)>(arg);
    pthread_cleanup_push(TaskEndCleanup, nullptr);
    entryPoint();
    pthread_cleanup_pop(1);

    // The thread ends now: mark its entry so that deleting it later cancels no vanished thread.
    const pthread_t self = pthread_self();
    MutexLock(&OWData.gtMutex);
    for (int i = 0; i < OWData.numOfTasks; ++i) {
        tTcb &tcb = OWData.tcbArray[i];
        if (tcb.ended != eOS_BOOL_TRUE && pthread_equal(tcb.taskId, self)) {
            tcb.ended = eOS_BOOL_TRUE;
            break;
        }
    }
    MutexUnlock(&OWData.gtMutex);
    return nullptr;
}

} // namespace

void OsCopyName(char *dstP, const char *srcP) {
    strncpy(dstP, srcP, OS_MAX_NAME_LEN);
    dstP[OS_MAX_NAME_LEN] = '\0';
}

// ---- mutex primitives -----------------------------------------------------------------------------

std::atomic<int> OsWrapTestMutexCreateFailAt{0};
std::atomic<int> OsWrapTestSemDestroyFailAt{0};

bool OsWrapTestFailureDue(std::atomic<int> &countdown) {
    for (int n = countdown.load(); n > 0;) {
        if (countdown.compare_exchange_weak(n, n - 1)) return n == 1;
    }
    return false;
}

eOsRet MutexCreate(pthread_mutex_t *mutexP) {
    if (OsWrapTestFailureDue(OsWrapTestMutexCreateFailAt) || pthread_mutex_init(mutexP, nullptr) != 0) {
        OsCriticalLog("MutexCreate(): pthread_mutex_init() failed.\n");
        return eOS_RET_FAILURE;
    }
    return eOS_RET_SUCCESS;
}

eOsRet MutexDelete(pthread_mutex_t *mutexP) {
    const int ret = pthread_mutex_destroy(mutexP);
    if (ret != 0) {
        OsCriticalLog("MutexDelete(): pthread_mutex_destroy() failed.ret=%d,%d\n", ret, EBUSY);
        return eOS_RET_FAILURE;
    }
    return eOS_RET_SUCCESS;
}

void MutexLock(pthread_mutex_t *mutexP) {
    if (pthread_mutex_lock(mutexP) != 0) OsCriticalLog("MutexLock(): pthread_mutex_lock() failed.\n");
}

void MutexUnlock(pthread_mutex_t *mutexP) {
    if (pthread_mutex_unlock(mutexP) != 0) {
        OsCriticalLog("MutexUnlock(): pthread_mutex_unlock() failed.\n");
    }
}

// ---- time arithmetic ----------------------------------------------------------------------------

void TimeSpecFix(struct timespec *tsP) {
    while (tsP->tv_nsec < 0) {
        tsP->tv_sec -= 1;
        tsP->tv_nsec += 1000000000L;
    }
    while (tsP->tv_nsec > 999999999L) {
        tsP->tv_sec += 1;
        tsP->tv_nsec -= 1000000000L;
    }
}

void TimeSpecAdd(struct timespec *aP, const struct timespec *bP) {
    aP->tv_sec += bP->tv_sec;
    aP->tv_nsec += bP->tv_nsec;
    TimeSpecFix(aP);
}

void TimeSpecSub(struct timespec *aP, const struct timespec *bP) {
    aP->tv_sec -= bP->tv_sec;
    aP->tv_nsec -= bP->tv_nsec;
    TimeSpecFix(aP);
}

tOsTime TimeSpec2OsTime(struct timespec *tsP, int clockType) {
    if (clockType != 0) TimeSpecSub(tsP, &OWData.bootTime);
    tOsUint64 seconds = {0, static_cast<uint32>(tsP->tv_sec)};
    seconds = Uint64Multiply(seconds, 1000);
    const tOsUint64 millis = {0, static_cast<uint32>(tsP->tv_nsec / 1000000L)};
    return Uint64Add(seconds, millis);
}

extern "C" {

// ---- start-up and the callers' critical section -------------------------------------------------

eOsRet OsWrap__Init(tOsSysErrorHandler sysErrorHandler) {
    (void)sysErrorHandler; // the service layer's handlers are given to SvcInit
    struct {
        pthread_mutex_t *mutexP;
        const char *whatP;
    } const steps[] = {
        {&OWData.globMutex, "global mutex"},
        {&OWData.gtMutex, "global task mutex"},
        {&OWData.gqMutex, "global queue mutex"},
        {&OWData.gsMutex, "global semaphore mutex"},
    };

    pthread_mutex_lock(&initMutex);
    if (initDone) {
        // Live mutexes are never initialised again; registered allocator hooks stay.
        pthread_mutex_unlock(&initMutex);
        return eOS_RET_SUCCESS;
    }
    for (; initMutexesMade < static_cast<int>(sizeof steps / sizeof steps[0]); ++initMutexesMade) {
        const auto &step = steps[initMutexesMade];
        if (MutexCreate(step.mutexP) != eOS_RET_SUCCESS) {
            pthread_mutex_unlock(&initMutex);
            OsCriticalLog("OsWrap__Init(): MutexCreate() failed for %s.\n", step.whatP);
            return eOS_RET_FAILURE;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &OWData.bootTime);
    StoreRelease(OsMemAlloc, static_cast<tOsSysMemAllocHandler>(malloc));
    StoreRelease(OsMemFree, static_cast<tOsSysMemFreeHandler>(free));
    initDone = true;
    pthread_mutex_unlock(&initMutex);
    return eOS_RET_SUCCESS;
}

void OsWrap__CrSecStart(void) { MutexLock(&OWData.globMutex); }

void OsWrap__CrSecEnd(void) { MutexUnlock(&OWData.globMutex); }

// ---- tasks ----------------------------------------------------------------------------------------

eOsRet OsWrap__TaskCreate(char *nameP, void (*entryPoint)(void), eOsPri pri, uint32 stackSize,
                          tOsTaskId *taskIdP) {
    if (taskIdP != nullptr) *taskIdP = 0;
    if (nameP == nullptr) {
        OsCriticalLog("OsWrap__TaskCreate(): NULL nameP.\n");
        return eOS_RET_INVALID_ARG;
    }
    if (entryPoint == nullptr) {
        OsCriticalLog("OsWrap__TaskCreate(): NULL entryPoint.\n");
        return eOS_RET_INVALID_ARG;
    }

    // Reports are made after unlocking: the log writer allocates, and allocation records take gtMutex.
    MutexLock(&OWData.gtMutex);
    if (OWData.numOfTasks >= OS_MAX_TASKS) {
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OsWrap__TaskCreate(): Reached maximum task limit.\n");
        return eOS_RET_FAILURE;
    }
    tTcb &tcb = OWData.tcbArray[OWData.numOfTasks];
    if (pthread_attr_init(&tcb.attr) != 0) {
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OsWrap__TaskCreate(): pthread_attr_init() failed.\n");
        return eOS_RET_FAILURE;
    }
    (void)pthread_attr_setdetachstate(&tcb.attr, PTHREAD_CREATE_DETACHED);
    (void)pthread_attr_setstacksize(&tcb.attr, stackSize);

    switch (pri) {
    case eOS_PRI_HIGH: tcb.schedParam.sched_priority = 3; break;
    case eOS_PRI_MEDIUM: tcb.schedParam.sched_priority = 2; break;
    case eOS_PRI_LOW: tcb.schedParam.sched_priority = 1; break;
    default:
        pthread_attr_destroy(&tcb.attr);
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OsWrap__TaskCreate(): Invalid priority: P%d.\n", static_cast<int>(pri));
        return eOS_RET_INVALID_ARG;
    }
    // Recorded only: the policy and the inherit-scheduler attribute keep their defaults.
    (void)pthread_attr_setschedparam(&tcb.attr, &tcb.schedParam);

    if (pthread_create(&tcb.taskId, &tcb.attr, CommonEntryPoint, reinterpret_cast<void *>(entryPoint)) !=
        0) {
        pthread_attr_destroy(&tcb.attr);
        memset(&tcb, 0, sizeof tcb);
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OsWrap__TaskCreate(): pthread_create() failed.\n");
        return eOS_RET_FAILURE;
    }
    tcb.busy = eOS_BOOL_TRUE;
    tcb.ended = eOS_BOOL_FALSE;
    OWData.numOfTasks += 1;
    if (taskIdP != nullptr) *taskIdP = LowId(tcb.taskId);
    OsCopyName(tcb.name, nameP);
    MutexUnlock(&OWData.gtMutex);
    return eOS_RET_SUCCESS;
}

eOsRet OsWrap__TaskDelete(tOsTaskId taskId) {
    MutexLock(&OWData.gtMutex);
    const int index = TaskIndexOf(taskId);
    if (index < 0) {
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OdWrap__TaskDelete():taskid is not exist,taskid:0x%x.\n", taskId);
        return eOS_RET_SUCCESS;
    }
    tTcb &tcb = OWData.tcbArray[index];
    if (pthread_attr_destroy(&tcb.attr) != 0) {
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OdWrap__TaskDelete():pthread_attr_destroy fail,taskid:0x%x.\n", taskId);
        return eOS_RET_FAILURE;
    }
    // A thread whose entry function returned is gone; its handle must not be used again.
    if (tcb.ended != eOS_BOOL_TRUE && pthread_cancel(tcb.taskId) != 0) {
        MutexUnlock(&OWData.gtMutex);
        OsCriticalLog("OdWrap__TaskDelete():pthread_cancel fail,taskid:0x%x.\n", taskId);
        return eOS_RET_FAILURE;
    }
    // Later entries move down one place, keeping their order.
    for (int i = index; i + 1 < OWData.numOfTasks; ++i) OWData.tcbArray[i] = OWData.tcbArray[i + 1];
    memset(&OWData.tcbArray[OWData.numOfTasks - 1], 0, sizeof(tTcb));
    OWData.numOfTasks -= 1;
    MutexUnlock(&OWData.gtMutex);
    return eOS_RET_SUCCESS;
}

tOsTaskId OsWrap__TaskId(void) { return LowId(pthread_self()); }

eOsRet OsWrap__GetTaskNameByTaskId(tOsTaskId taskId, char *taskNameP) {
    if (taskNameP == nullptr) return eOS_RET_FAILURE;
    MutexGuard guard(&OWData.gtMutex);
    if (OWData.numOfTasks > OS_MAX_TASKS) return eOS_RET_FAILURE;
    const int index = TaskIndexOf(taskId);
    if (index < 0) return eOS_RET_FAILURE;
    memcpy(taskNameP, OWData.tcbArray[index].name, sizeof OWData.tcbArray[index].name);
    return eOS_RET_SUCCESS;
}

void ShowTaskCtrlBlock(void) {
    struct Row {
        char name[OS_MAX_NAME_LEN + 1];
        eOsBool busy;
        tOsTaskId taskId;
    };
    // Rows are copied under gtMutex and printed after it is released: printing may allocate, and
    // allocation records take gtMutex.
    Row rows[kDumpChunk];
    int next = 0;
    bool first = true;
    for (;;) {
        int count = 0;
        int total = 0;
        MutexLock(&OWData.gtMutex);
        total = OWData.numOfTasks;
        if (total > OS_MAX_TASKS) {
            MutexUnlock(&OWData.gtMutex);
            return;
        }
        for (; next < total && count < kDumpChunk; ++next, ++count) {
            const tTcb &tcb = OWData.tcbArray[next];
            memcpy(rows[count].name, tcb.name, sizeof rows[count].name);
            rows[count].busy = tcb.busy;
            rows[count].taskId = LowId(tcb.taskId);
        }
        MutexUnlock(&OWData.gtMutex);
        if (first) SvcPrintf("Show Taks Control Block........Total number is %d\n", total);
        first = false;
        for (int i = 0; i < count; ++i) {
            SvcPrintf("\tTaskName '%-12s' busy %-2d, taskId 0x%08x\n", rows[i].name,
                      static_cast<int>(rows[i].busy), rows[i].taskId);
        }
        if (count < kDumpChunk) break;
    }
    SvcPrintf("\n");
}

// ---- clocks ---------------------------------------------------------------------------------------

tOsTime OsWrap__GetSysTime(void) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return TimeSpec2OsTime(&now, 0);
}

tOsTime OsWrap__GetUpTime(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return TimeSpec2OsTime(&now, 1);
}

void OsTime2TimeSpec(tOsTime osTime, struct timespec *tsP, int clockType) {
    if (tsP == nullptr) return;
    const tOsUint64 seconds = Uint64Divide(osTime, 1000);
    // The remainder is below 1000, so the low halves alone give it exactly.
    const uint32 remainder = osTime.low - seconds.low * 1000u;
    tsP->tv_sec = seconds.low;
    tsP->tv_nsec = static_cast<long>(remainder) * 1000000L;
    if (clockType != 0) TimeSpecAdd(tsP, &OWData.bootTime);
}

} // extern "C"
