// svc.cpp - the service layer's handlers and start-up, the registry of service tasks and modules,
// the serialised task start and the sleep.
#include "svc.h"

#include "oswrap.h"
#include "zqcmtrace.h"

namespace {

constexpr uint32 kTaskCount = SVC_TASK_TABLE_SIZE;
constexpr uint32 kModuleCount = SVC_MODULE_TABLE_SIZE;
constexpr uint32 kNoTask = eSVC_TASK_NAME_INVALID;

static_assert(kTaskCount == eSVC_TASK_NAME_INVALID, "one task entry per service task name");
static_assert(kModuleCount == eSVC_MODULE_ID_INVALID, "one module entry per service module id");

// The registry entry of a module for the lookup operationP; an id outside the table is reported in
// that operation's name and gives null.
const tSvcModuleInfo *ModuleEntry(eSvcModuleId moduleId, const char *operationP) {
    if ((uint32)moduleId >= kModuleCount) {
        LogInterface(__FILE__, __LINE__, operationP, eZQ_LL_MAJOR, "%s(): Invalid module id: M%d.\n", operationP,
                     (int)moduleId);
        return nullptr;
    }
    return &SvcModuleTable[moduleId];
}

} // namespace

extern "C" {

tOsSysErrorHandler SvcSysErrorHandler = OsWrap__TextOut;
tOsSysErrorHandler SvcSysInfoHandler = OsWrap__TextOut;

tSvcTaskInfo SvcTaskTable[SVC_TASK_TABLE_SIZE];
tSvcModuleInfo SvcModuleTable[SVC_MODULE_TABLE_SIZE];

tOsSemId SleepSemId;
tOsSemId TaskCreateSemId;
tOsSemId TaskUpSemId;

// A null handler is not stored: SvcPrintf calls the information handler unconditionally.
eOsRet SvcInit(tOsSysErrorHandler sysErrorHandler, tOsSysErrorHandler sysInfoHandler) {
    if (sysErrorHandler != nullptr) SvcSysErrorHandler = sysErrorHandler;
    if (sysInfoHandler != nullptr) SvcSysInfoHandler = sysInfoHandler;

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
    for (tSvcTaskInfo &task : SvcTaskTable) {
        task.queueId = OS_QUEUE_ID_INVALID;
        task.semId = OS_SEM_ID_INVALID;
    }
    for (tSvcModuleInfo &module : SvcModuleTable) {
        module = {eSVC_TASK_NAME_INVALID, OS_QUEUE_ID_INVALID, OS_SEM_ID_INVALID};
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
    SvcTaskTable[taskName] = {taskId, queueId, semId};
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
    tOsSemId semId = OS_SEM_ID_INVALID;
    if (hasTask && hasQueue) {
        // The module's own queue, with the task woken through the semaphore it has now.
        OsMinorLog("SvcModuleReg(): Both task name and queue id: M%d, T%d, Q%d.\n", moduleId, taskName,
                   queueId);
        semId = SvcTaskTable[taskName].semId;
    }
    SvcModuleTable[moduleId] = {taskName, queueId, semId};
    return eOS_RET_SUCCESS;
}

tOsQueueId SvcModuleGetQueueId(eSvcModuleId moduleId) {
    const tSvcModuleInfo *moduleP = ModuleEntry(moduleId, "SvcModuleGetQueueId");
    if (moduleP == nullptr) return OS_QUEUE_ID_INVALID;
    const tSvcModuleInfo &module = *moduleP;
    if ((uint32)module.taskName > kNoTask) {
        OsMajorLog("SvcModuleGetQueueId(): Invalid task name: M%d, T%d.\n", moduleId, module.taskName);
        return OS_QUEUE_ID_INVALID;
    }
    if ((uint32)module.taskName == kNoTask && module.queueId == OS_QUEUE_ID_INVALID) {
        OsMajorLog("SvcModuleGetQueueId(): No task name and queue id: M%d.\n", moduleId);
        return OS_QUEUE_ID_INVALID;
    }
    if (module.queueId != OS_QUEUE_ID_INVALID) return module.queueId;
    return SvcTaskTable[module.taskName].queueId;
}

tOsSemId SvcModuleGetSemId(eSvcModuleId moduleId) {
    const tSvcModuleInfo *moduleP = ModuleEntry(moduleId, "SvcModuleGetSemId");
    if (moduleP == nullptr) return OS_SEM_ID_INVALID;
    const tSvcModuleInfo &module = *moduleP;
    if ((uint32)module.taskName >= kNoTask) {
        OsMajorLog("SvcModuleGetSemId(): Invalid task name: M%d, T%d.\n", moduleId, module.taskName);
        return OS_SEM_ID_INVALID;
    }
    return module.semId;
}

eSvcTaskName SvcModuleGetTaskName(eSvcModuleId moduleId) {
    const tSvcModuleInfo *moduleP = ModuleEntry(moduleId, "SvcModuleGetTaskName");
    if (moduleP == nullptr) return (eSvcTaskName)0xFFFFFFFFu;
    const tSvcModuleInfo &module = *moduleP;
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
    return SvcTaskTable[taskName].taskId == OsWrap__TaskId() ? eOS_BOOL_TRUE : eOS_BOOL_FALSE;
}

eSvcTaskName SvcGetTaskName(void) {
    const tOsTaskId self = OsWrap__TaskId();
    for (uint32 i = 0; i < kTaskCount; i++) {
        if (SvcTaskTable[i].taskId == self) return (eSvcTaskName)i;
    }
    return eSVC_TASK_NAME_INVALID;
}

void DumpSvcTaskTable(void) {
    for (uint32 i = 0; i < kTaskCount; i++) {
        SvcPrintf("indexI:%d   queueId:0x%x  semId:0x%x\n", (int)i, SvcTaskTable[i].queueId,
                  SvcTaskTable[i].semId);
    }
    for (uint32 i = 0; i < kModuleCount; i++) {
        SvcPrintf("indexI:%d  taskName:%d  queueId:0x%x  semId:0x%x\n", (int)i,
                  (int)SvcModuleTable[i].taskName, SvcModuleTable[i].queueId, SvcModuleTable[i].semId);
    }
}

// The start gate makes starts strictly one after another; it is given back on every failure after
// it was taken, so that a failed start never keeps later ones waiting. A failure to take it returns
// without giving anything back, since the gate was never held.
eOsRet SvcTaskStart(char *nameP, void (*entryPoint)(void), eOsPri pri, uint32 stackSize,
                    tOsTaskId *taskIdP) {
    eOsRet rc = OsWrap__SemWait(TaskCreateSemId, OS_WAIT_FOREVER);
    if (rc != eOS_RET_SUCCESS) {
        OsMajorLog("OsWrap__SemWait(forever) failed: TaskCreateSemId:%d, E%d.\n", TaskCreateSemId, rc);
        return rc;
    }
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
