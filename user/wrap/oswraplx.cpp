// oswraplx.cpp - the OS wrapper's state record, mutex primitives, start-up, tasks and clocks.
#include "oswraplx.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "ostaskend.h"
#include "svc.h"
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

std::atomic<tOsTaskEndHook> taskEndHook{nullptr};

// Runs in a task's thread as it ends, whether its entry function returned or the task was deleted
// (then at the cancellation point where the deletion acted): what the library keeps for the task is
// given back while the thread, and so its handle, still exists.
void TaskEndCleanup(void *) {
    if (tOsTaskEndHook hook = taskEndHook.load(std::memory_order_acquire); hook != nullptr) hook();
}

void *CommonEntryPoint(void *arg) {
    // Start barrier: OsWrap__TaskCreate holds gtMutex until the entry is complete.
    { MutexGuard barrier(&OWData.gtMutex); }

    auto entryPoint = reinterpret_cast<void (*)(void)>(arg);
    pthread_cleanup_push(TaskEndCleanup, nullptr);
    entryPoint();
    pthread_cleanup_pop(1);

    // The thread ends now: mark its entry so that deleting it later cancels no vanished thread.
    const pthread_t self = pthread_self();
    MutexGuard guard(&OWData.gtMutex);
    for (int i = 0; i < OWData.numOfTasks; ++i) {
        tTcb &tcb = OWData.tcbArray[i];
        if (tcb.ended != eOS_BOOL_TRUE && pthread_equal(tcb.taskId, self)) {
            tcb.ended = eOS_BOOL_TRUE;
            break;
        }
    }
    return nullptr;
}

// Makes the task's table entry and its thread, gtMutex held; on a refusal says why in *reasonP.
// The new thread waits at its start barrier until gtMutex is released.
eOsRet TaskCreateLocked(const char *nameP, void (*entryPoint)(void), int schedPriority, uint32 stackSize,
                        tOsTaskId *taskIdP, const char **reasonP) {
    if (OWData.numOfTasks >= OS_MAX_TASKS) {
        *reasonP = "Reached maximum task limit";
        return eOS_RET_FAILURE;
    }
    tTcb &tcb = OWData.tcbArray[OWData.numOfTasks];
    if (pthread_attr_init(&tcb.attr) != 0) {
        *reasonP = "pthread_attr_init() failed";
        return eOS_RET_FAILURE;
    }
    (void)pthread_attr_setdetachstate(&tcb.attr, PTHREAD_CREATE_DETACHED);
    (void)pthread_attr_setstacksize(&tcb.attr, stackSize);
    // Recorded only: the policy and the inherit-scheduler attribute keep their defaults.
    tcb.schedParam.sched_priority = schedPriority;
    (void)pthread_attr_setschedparam(&tcb.attr, &tcb.schedParam);
    if (pthread_create(&tcb.taskId, &tcb.attr, CommonEntryPoint, reinterpret_cast<void *>(entryPoint)) != 0) {
        pthread_attr_destroy(&tcb.attr);
        memset(&tcb, 0, sizeof tcb);
        *reasonP = "pthread_create() failed";
        return eOS_RET_FAILURE;
    }
    tcb.busy = eOS_BOOL_TRUE;
    tcb.ended = eOS_BOOL_FALSE;
    OWData.numOfTasks += 1;
    if (taskIdP != nullptr) *taskIdP = LowId(tcb.taskId);
    OsCopyName(tcb.name, nameP);
    return eOS_RET_SUCCESS;
}

// Removes the entry at index, gtMutex held: later entries move down one place, keeping their order.
void TaskEntryRemoveLocked(int index) {
    for (int i = index; i + 1 < OWData.numOfTasks; ++i) OWData.tcbArray[i] = OWData.tcbArray[i + 1];
    memset(&OWData.tcbArray[OWData.numOfTasks - 1], 0, sizeof(tTcb));
    OWData.numOfTasks -= 1;
}

// Removes the task's entry and cancels its thread unless it ended, gtMutex held; on a refusal, or
// for an unknown task, says why in *reasonP.
eOsRet TaskDeleteLocked(tOsTaskId taskId, const char **reasonP) {
    const int index = TaskIndexOf(taskId);
    if (index < 0) {
        *reasonP = "taskid is not exist";
        return eOS_RET_SUCCESS;
    }
    tTcb &tcb = OWData.tcbArray[index];
    if (pthread_attr_destroy(&tcb.attr) != 0) {
        *reasonP = "pthread_attr_destroy fail";
        return eOS_RET_FAILURE;
    }
    // A thread whose entry function returned is gone; its handle must not be used again.
    if (tcb.ended != eOS_BOOL_TRUE && pthread_cancel(tcb.taskId) != 0) {
        *reasonP = "pthread_cancel fail";
        return eOS_RET_FAILURE;
    }
    TaskEntryRemoveLocked(index);
    return eOS_RET_SUCCESS;
}

// The entry of the task with this id whose entry function has returned, gtMutex held; -1 for none.
int EndedTaskIndexOf(tOsTaskId taskId) {
    for (int i = 0; i < OWData.numOfTasks; ++i) {
        const tTcb &tcb = OWData.tcbArray[i];
        if (LowId(tcb.taskId) == taskId && tcb.ended == eOS_BOOL_TRUE) return i;
    }
    return -1;
}

} // namespace

void OsWrapSetTaskEndHook(tOsTaskEndHook hook) { taskEndHook.store(hook, std::memory_order_release); }

bool OsWrapRemoveEndedTask(tOsTaskId taskId, uint32 timeoutMs) {
    for (uint32 waitedMs = 0;; ++waitedMs) {
        {
            MutexGuard guard(&OWData.gtMutex);
            const int index = EndedTaskIndexOf(taskId);
            if (index >= 0) {
                (void)pthread_attr_destroy(&OWData.tcbArray[index].attr);
                TaskEntryRemoveLocked(index);
                return true;
            }
        }
        if (waitedMs >= timeoutMs) return false;
        usleep(1000);
    }
}

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

    const char *failedP = nullptr; // the mutex that could not be made
    {
        MutexGuard guard(&initMutex);
        // Live mutexes are never initialised again; registered allocator hooks stay.
        if (initDone) return eOS_RET_SUCCESS;
        for (; initMutexesMade < static_cast<int>(sizeof steps / sizeof steps[0]); ++initMutexesMade) {
            const auto &step = steps[initMutexesMade];
            if (MutexCreate(step.mutexP) != eOS_RET_SUCCESS) {
                failedP = step.whatP;
                break;
            }
        }
        if (failedP == nullptr) {
            clock_gettime(CLOCK_MONOTONIC, &OWData.bootTime);
            SharedSetRelease(OsMemAlloc, static_cast<tOsSysMemAllocHandler>(malloc));
            SharedSetRelease(OsMemFree, static_cast<tOsSysMemFreeHandler>(free));
            initDone = true;
        }
    }
    if (failedP == nullptr) return eOS_RET_SUCCESS;
    OsCriticalLog("%s", kMutexCreateFailure);
    OsCriticalLog("OsWrap__Init(): MutexCreate() failed for %s.\n", failedP);
    return eOS_RET_FAILURE;
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

    int schedPriority = 0;
    switch (pri) {
    case eOS_PRI_HIGH: schedPriority = 3; break;
    case eOS_PRI_MEDIUM: schedPriority = 2; break;
    case eOS_PRI_LOW: schedPriority = 1; break;
    default:
        OsCriticalLog("OsWrap__TaskCreate(): Invalid priority: P%d.\n", static_cast<int>(pri));
        return eOS_RET_INVALID_ARG;
    }

    const char *reasonP = nullptr;
    eOsRet ret;
    {
        MutexGuard guard(&OWData.gtMutex);
        ret = TaskCreateLocked(nameP, entryPoint, schedPriority, stackSize, taskIdP, &reasonP);
    }
    if (reasonP != nullptr) OsCriticalLog("OsWrap__TaskCreate(): %s.\n", reasonP);
    return ret;
}

eOsRet OsWrap__TaskDelete(tOsTaskId taskId) {
    const char *reasonP = nullptr;
    eOsRet ret;
    {
        MutexGuard guard(&OWData.gtMutex);
        ret = TaskDeleteLocked(taskId, &reasonP);
    }
    if (reasonP != nullptr) OsCriticalLog("OdWrap__TaskDelete():%s,taskid:0x%x.\n", reasonP, taskId);
    return ret;
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
    auto copy = [](int &next, Row *rows) {
        tDumpPass pass;
        for (; next < OWData.numOfTasks && pass.rows < kDumpChunk; ++next) {
            const tTcb &tcb = OWData.tcbArray[next];
            Row &row = rows[pass.rows++];
            memcpy(row.name, tcb.name, sizeof row.name);
            row.busy = tcb.busy;
            row.taskId = LowId(tcb.taskId);
        }
        pass.more = next < OWData.numOfTasks;
        return pass;
    };
    DumpTable<Row>("Taks", &OWData.gtMutex, &OWData.numOfTasks, OS_MAX_TASKS, copy, [](const Row &row) {
        SvcPrintf("\tTaskName '%-12s' busy %-2d, taskId 0x%08x\n", row.name, static_cast<int>(row.busy),
                  row.taskId);
    });
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
