// svc.cpp - the service layer's handlers and start-up, the registry of service tasks and modules,
// the serialised task start and the sleep.
#include "svc.h"

#include <sched.h>

#include <atomic>
#include <mutex>

#include "oscancel.h"
#include "osshared.h"
#include "ostaskend.h"
#include "oswrap.h"
#include "svcinternal.h"
#include "zqcmtrace.h"

namespace {

constexpr uint32 kTaskCount = SVC_TASK_TABLE_SIZE;
constexpr uint32 kModuleCount = SVC_MODULE_TABLE_SIZE;
constexpr uint32 kNoTask = eSVC_TASK_NAME_INVALID;

static_assert(kTaskCount == eSVC_TASK_NAME_INVALID, "one task entry per service task name");
static_assert(kModuleCount == eSVC_MODULE_ID_INVALID, "one module entry per service module id");

// ---- the registry, read while it may be written ----------------------------------------------
//
// Registration may happen while other tasks send. Writers are serialised by registryMutex and turn
// registryVersion odd before they change entries and even again after; a reader copies what it
// needs and reads again when the version was odd or moved meanwhile. So no reader acts on half an
// entry, nor on a module entry and a task entry from different registrations, and readers take no
// lock. Every field is read and written whole, as the 32-bit number it is: a reader that sees a
// field a registration wrote (acquire on release) sees the odd version that came before it.
std::mutex registryMutex;
std::atomic<uint32> registryVersion{0};

tSvcTaskInfo LoadTask(const tSvcTaskInfo &entry) {
    return {SharedGetAcquire(entry.taskId), SharedGetAcquire(entry.queueId), SharedGetAcquire(entry.semId)};
}
tSvcModuleInfo LoadModule(const tSvcModuleInfo &entry) {
    return {(eSvcTaskName)SharedGetAcquire(WordOf(entry.taskName)), SharedGetAcquire(entry.queueId),
            SharedGetAcquire(entry.semId)};
}
void StoreTask(tSvcTaskInfo &entry, const tSvcTaskInfo &value) {
    SharedSetRelease(entry.taskId, value.taskId);
    SharedSetRelease(entry.queueId, value.queueId);
    SharedSetRelease(entry.semId, value.semId);
}
void StoreModule(tSvcModuleInfo &entry, const tSvcModuleInfo &value) {
    SharedSetRelease(WordOf(entry.taskName), (uint32)value.taskName);
    SharedSetRelease(entry.queueId, value.queueId);
    SharedSetRelease(entry.semId, value.semId);
}

// Runs read() until it ran while no registration was in progress, and returns what it gave.
template <typename Read> auto RegistryRead(Read read) {
    for (;;) {
        const uint32 before = registryVersion.load(std::memory_order_acquire);
        if ((before & 1) == 0) {
            const auto copy = read();
            if (registryVersion.load(std::memory_order_acquire) == before) return copy;
        }
        sched_yield(); // a registration is a handful of stores
    }
}

// Holds the registry for one registration; entries change only while one exists.
class RegistryWrite {
  public:
    RegistryWrite() : lock_(registryMutex) {
        registryVersion.store(registryVersion.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    ~RegistryWrite() {
        registryVersion.store(registryVersion.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    RegistryWrite(const RegistryWrite &) = delete;
    RegistryWrite &operator=(const RegistryWrite &) = delete;

  private:
    std::lock_guard<std::mutex> lock_;
};

} // namespace

// A module id outside the table is reported in the name of the lookup operationP.
bool SvcModuleRouteRead(eSvcModuleId moduleId, const char *operationP, tSvcModuleRoute *routeP) {
    if ((uint32)moduleId >= kModuleCount) {
        LogInterface(__FILE__, __LINE__, operationP, eZQ_LL_MAJOR, "%s(): Invalid module id: M%d.\n", operationP,
                     (int)moduleId);
        return false;
    }
    *routeP = RegistryRead([moduleId] {
        const tSvcModuleInfo module = LoadModule(SvcModuleTable[moduleId]);
        const uint32 task = (uint32)module.taskName;
        const tOsQueueId taskQueueId = task < kTaskCount ? SharedGetAcquire(SvcTaskTable[task].queueId) : OS_QUEUE_ID_INVALID;
        return tSvcModuleRoute{module, taskQueueId};
    });
    return true;
}

tOsQueueId SvcModuleRouteQueueId(eSvcModuleId moduleId, const tSvcModuleRoute &route) {
    const tSvcModuleInfo &module = route.module;
    if ((uint32)module.taskName > kNoTask) {
        OsMajorLog("SvcModuleGetQueueId(): Invalid task name: M%d, T%d.\n", moduleId, module.taskName);
        return OS_QUEUE_ID_INVALID;
    }
    if ((uint32)module.taskName == kNoTask && module.queueId == OS_QUEUE_ID_INVALID) {
        OsMajorLog("SvcModuleGetQueueId(): No task name and queue id: M%d.\n", moduleId);
        return OS_QUEUE_ID_INVALID;
    }
    if (module.queueId != OS_QUEUE_ID_INVALID) return module.queueId;
    return route.taskQueueId;
}

tOsSemId SvcModuleRouteSemId(eSvcModuleId moduleId, const tSvcModuleRoute &route) {
    const tSvcModuleInfo &module = route.module;
    if ((uint32)module.taskName >= kNoTask) {
        OsMajorLog("SvcModuleGetSemId(): Invalid task name: M%d, T%d.\n", moduleId, module.taskName);
        return OS_SEM_ID_INVALID;
    }
    return module.semId;
}

void SvcTaskEnded(void) {
    // The entry keeps its queue and semaphore: messages to the task's modules wait for the task
    // that registers under its name next.
    const tOsTaskId self = OsWrap__TaskId();
    {
        RegistryWrite registry;
        for (tSvcTaskInfo &task : SvcTaskTable) {
            if (SharedGetAcquire(task.taskId) == self) SharedSetRelease(task.taskId, 0);
        }
    }
    SvcTickRelease();
}

extern "C" {

tOsSysErrorHandler SvcSysErrorHandler = OsWrap__TextOut;
tOsSysErrorHandler SvcSysInfoHandler = OsWrap__TextOut;

tSvcTaskInfo SvcTaskTable[SVC_TASK_TABLE_SIZE];
tSvcModuleInfo SvcModuleTable[SVC_MODULE_TABLE_SIZE];

tOsSemId SleepSemId;
tOsSemId TaskCreateSemId;
tOsSemId TaskUpSemId;

// A null handler is not stored: SvcPrintf calls the information handler unconditionally. Each
// handler is stored whole, since tasks may be printing through it.
eOsRet SvcInit(tOsSysErrorHandler sysErrorHandler, tOsSysErrorHandler sysInfoHandler) {
    OsWrapSetTaskEndHook(SvcTaskEnded);
    if (sysErrorHandler != nullptr) SharedSetOrdered(SvcSysErrorHandler, sysErrorHandler);
    if (sysInfoHandler != nullptr) SharedSetOrdered(SvcSysInfoHandler, sysInfoHandler);

    eOsRet rc = OsWrap__SemCreate((char *)"SLEEP", 0, &SleepSemId);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemCreate() failed for SleepSemId: E%d.\n", rc);
        return eOS_RET_FAILURE;
    }
    rc = OsWrap__SemCreate((char *)"TSTART", 1, &TaskCreateSemId);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemCreate() failed for TaskCreateSemId: E%d.\n", rc);
        return eOS_RET_FAILURE;
    }
    rc = OsWrap__SemCreate((char *)"TUP", 0, &TaskUpSemId);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemCreate() failed for TaskUpSemId: E%d.\n", rc);
        return eOS_RET_FAILURE;
    }
    SvcTaskModuleInit();
    return eOS_RET_SUCCESS;
}

void SvcTaskModuleInit(void) {
    RegistryWrite registry;
    for (tSvcTaskInfo &task : SvcTaskTable) {
        StoreTask(task, {SharedGetAcquire(task.taskId), OS_QUEUE_ID_INVALID, OS_SEM_ID_INVALID});
    }
    for (tSvcModuleInfo &module : SvcModuleTable) {
        StoreModule(module, {eSVC_TASK_NAME_INVALID, OS_QUEUE_ID_INVALID, OS_SEM_ID_INVALID});
    }
}

eOsRet SvcTaskReg(eSvcTaskName taskName, tOsTaskId taskId, tOsQueueId queueId, tOsSemId semId) {
    if ((uint32)taskName >= kTaskCount) {
        OsMajorLog("SvcTaskReg(): Invalid task name: T%d.\n", taskName);
        return eOS_RET_INVALID_ARG;
    }
    if (queueId == OS_QUEUE_ID_INVALID && semId == OS_SEM_ID_INVALID) {
        OsMajorLog("SvcTaskReg(): Invalid queue/sem id: T%d, Q%d, S%d.\n", taskName, queueId, semId);
        return eOS_RET_INVALID_ARG;
    }
    RegistryWrite registry;
    StoreTask(SvcTaskTable[taskName], {taskId, queueId, semId});
    return eOS_RET_SUCCESS;
}

eOsRet SvcModuleReg(eSvcModuleId moduleId, eSvcTaskName taskName, tOsQueueId queueId) {
    if ((uint32)moduleId >= kModuleCount) {
        OsMajorLog("SvcModuleReg(): Invalid module id: M%d.\n", moduleId);
        return eOS_RET_INVALID_ARG;
    }
    // The task name eSVC_TASK_NAME_INVALID is allowed here: it means a module with its own queue.
    if ((uint32)taskName > kNoTask) {
        OsMajorLog("SvcModuleReg(): Invalid task name: M%d, T%d.\n", moduleId, taskName);
        return eOS_RET_INVALID_ARG;
    }
    const bool hasTask = (uint32)taskName != kNoTask;
    const bool hasQueue = queueId != OS_QUEUE_ID_INVALID;
    if (!hasTask && !hasQueue) {
        OsMajorLog("SvcModuleReg(): No task name and queue id: M%d.\n", moduleId);
        return eOS_RET_INVALID_ARG;
    }
    if (hasTask && hasQueue) {
        // The module's own queue, with the task woken through the semaphore it has now.
        OsMinorLog("SvcModuleReg(): Both task name and queue id: M%d, T%d, Q%d.\n", moduleId, taskName,
                   queueId);
    }
    RegistryWrite registry;
    const tOsSemId semId = hasTask && hasQueue ? SharedGetAcquire(SvcTaskTable[taskName].semId) : OS_SEM_ID_INVALID;
    StoreModule(SvcModuleTable[moduleId], {taskName, queueId, semId});
    return eOS_RET_SUCCESS;
}

tOsQueueId SvcModuleGetQueueId(eSvcModuleId moduleId) {
    tSvcModuleRoute route;
    if (!SvcModuleRouteRead(moduleId, "SvcModuleGetQueueId", &route)) return OS_QUEUE_ID_INVALID;
    return SvcModuleRouteQueueId(moduleId, route);
}

tOsSemId SvcModuleGetSemId(eSvcModuleId moduleId) {
    tSvcModuleRoute route;
    if (!SvcModuleRouteRead(moduleId, "SvcModuleGetSemId", &route)) return OS_SEM_ID_INVALID;
    return SvcModuleRouteSemId(moduleId, route);
}

eSvcTaskName SvcModuleGetTaskName(eSvcModuleId moduleId) {
    tSvcModuleRoute route;
    if (!SvcModuleRouteRead(moduleId, "SvcModuleGetTaskName", &route)) return (eSvcTaskName)0xFFFFFFFFu;
    const tSvcModuleInfo &module = route.module;
    if ((uint32)module.taskName >= kNoTask) {
        OsMajorLog("SvcModuleGetTaskName(): Invalid task name: M%d, T%d.\n", moduleId, module.taskName);
        return eSVC_TASK_NAME_INVALID;
    }
    return module.taskName;
}

eOsBool SvcIsTaskName(eSvcTaskName taskName) {
    if ((uint32)taskName >= kTaskCount) {
        OsMajorLog("SvcIsTaskName(): Invalid task name: T%d.\n", taskName);
        return eOS_BOOL_FALSE;
    }
    return SharedGetAcquire(SvcTaskTable[taskName].taskId) == OsWrap__TaskId() ? eOS_BOOL_TRUE : eOS_BOOL_FALSE;
}

eSvcTaskName SvcGetTaskName(void) {
    const tOsTaskId self = OsWrap__TaskId();
    for (uint32 i = 0; i < kTaskCount; i++) {
        if (SharedGetAcquire(SvcTaskTable[i].taskId) == self) return (eSvcTaskName)i;
    }
    return eSVC_TASK_NAME_INVALID;
}

void DumpSvcTaskTable(void) {
    for (uint32 i = 0; i < kTaskCount; i++) {
        const tSvcTaskInfo task = RegistryRead([i] { return LoadTask(SvcTaskTable[i]); });
        SvcPrintf("indexI:%d   queueId:0x%x  semId:0x%x\n", (int)i, task.queueId, task.semId);
    }
    for (uint32 i = 0; i < kModuleCount; i++) {
        const tSvcModuleInfo module = RegistryRead([i] { return LoadModule(SvcModuleTable[i]); });
        SvcPrintf("indexI:%d  taskName:%d  queueId:0x%x  semId:0x%x\n", (int)i, (int)module.taskName,
                  module.queueId, module.semId);
    }
}

// The start gate makes starts strictly one after another; it is given back on every failure after
// it was taken, so that a failed start never keeps later ones waiting. A failure to take it returns
// without giving anything back, since the gate was never held. While the gate is held the starter
// cannot be deleted: a deletion waits until the new task is up and the gate is given back, so that
// neither the gate nor a late up signal is left behind for the next start.
eOsRet SvcTaskStart(char *nameP, void (*entryPoint)(void), eOsPri pri, uint32 stackSize,
                    tOsTaskId *taskIdP) {
    eOsRet rc = OsWrap__SemWait(TaskCreateSemId, OS_WAIT_FOREVER);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemWait(forever) failed: TaskCreateSemId:%d, E%d.\n", TaskCreateSemId, rc);
        return rc;
    }
    NoCancelScope noCancel;
    rc = OsWrap__TaskCreate(nameP, entryPoint, pri, stackSize, taskIdP);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__TaskCreate() failed: %s, P%d, S%d.\n", nameP != nullptr ? nameP : "(null)",
                   pri, stackSize);
        OsWrap__SemRelease(TaskCreateSemId);
        return rc;
    }
    rc = OsWrap__SemWait(TaskUpSemId, OS_WAIT_FOREVER);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemWait(forever) failed: TaskUpSemId:S%d, E%d.\n", TaskUpSemId, rc);
        OsWrap__SemRelease(TaskCreateSemId);
        return rc;
    }
    OsWrap__SemRelease(TaskCreateSemId);
    return eOS_RET_SUCCESS;
}

// Nothing releases "SLEEP", so the wait always ends by its time-out; any other end is a fault.
void SvcSleep(uint32 msecsTimeout) {
    const eOsRet rc = OsWrap__SemWait(SleepSemId, (sint32)msecsTimeout);
    if (rc != eOS_RET_TIME_OUT) {
        OsCriticalLog("SvcSleep(): OsWrap__SemWait() failed for SleepSemId: E%d SleepSemId = %d.\n", rc,
                      SleepSemId);
    }
}

} // extern "C"
