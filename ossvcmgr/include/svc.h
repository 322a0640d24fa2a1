/* svc.h - the service layer: the host's handlers, the registry of service tasks and modules,
 * service messages, and the library's unconditional output (SvcPrintf, hex dumps, console). */
#ifndef RELAYKIT_SVC_H
#define RELAYKIT_SVC_H

#include "oswrap.h" /* SvcTaskUp() releases through the wrapper */
#include "ostypes.h"
#include "svcdef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- handlers ------------------------------------------------------------------------------- */

/* Both start as OsWrap__TextOut, so output works before SvcInit. */
RELAYKIT_API extern tOsSysErrorHandler SvcSysErrorHandler;
RELAYKIT_API extern tOsSysErrorHandler SvcSysInfoHandler;

/* Installs the host's handlers (a null handler keeps the current one for that role), creates the
 * semaphores "SLEEP", "TSTART" and "TUP" and empties the registry. Call it once, after OsWrap__Init
 * and before any other service call.
 * eOS_RET_SUCCESS, or eOS_RET_FAILURE when a semaphore cannot be created. */
RELAYKIT_API eOsRet SvcInit(tOsSysErrorHandler sysErrorHandler, tOsSysErrorHandler sysInfoHandler);

/* ---- registry of service tasks and modules -------------------------------------------------- *
 *
 * Each service task registers the queue and the wake-up semaphore it serves; each module names the
 * task (and so the task's queue) or a queue of its own that messages to it go to. Register a task
 * before the modules that name it (a module copies its task's semaphore id when it registers).
 * Registration may happen at any time, also while other tasks send: lookups and sends take no lock
 * and always see whole registrations. When a wrapper task ends or is deleted, its task id is
 * cleared (to 0) from the entries that carry it; their queue and semaphore stay. An id of
 * 0xFFFFFFFF means none; the task name eSVC_TASK_NAME_INVALID means no task. */

typedef struct {
    tOsTaskId taskId;
    tOsQueueId queueId;
    tOsSemId semId;
} tSvcTaskInfo;

typedef struct {
    eSvcTaskName taskName;
    tOsQueueId queueId;
    tOsSemId semId;
} tSvcModuleInfo;

OS_STATIC_ASSERT(sizeof(tSvcTaskInfo) == 12, "tSvcTaskInfo is three 32-bit fields");
OS_STATIC_ASSERT(sizeof(tSvcModuleInfo) == 12, "tSvcModuleInfo is three 32-bit fields");

#define SVC_TASK_TABLE_SIZE 19   /* eSvcTaskName 0..18 */
#define SVC_MODULE_TABLE_SIZE 40 /* eSvcModuleId 0..39 */

RELAYKIT_API extern tSvcTaskInfo SvcTaskTable[SVC_TASK_TABLE_SIZE];
RELAYKIT_API extern tSvcModuleInfo SvcModuleTable[SVC_MODULE_TABLE_SIZE];

/* "SLEEP" (nothing releases it), "TSTART" (the start gate) and "TUP" (a new task's up signal). */
RELAYKIT_API extern tOsSemId SleepSemId;
RELAYKIT_API extern tOsSemId TaskCreateSemId;
RELAYKIT_API extern tOsSemId TaskUpSemId;

/* Every task entry gets no queue and no semaphore (its taskId stays); every module entry becomes
 * {no task, no queue, no semaphore}. */
RELAYKIT_API void SvcTaskModuleInit(void);
/* Overwrites the task's entry. eOS_RET_INVALID_ARG: task name out of range, or neither a queue
 * nor a semaphore. */
RELAYKIT_API eOsRet SvcTaskReg(eSvcTaskName taskName, tOsTaskId taskId, tOsQueueId queueId,
                               tOsSemId semId);
/* Three forms: a task and no queue (messages go to the task's queue), no task and a queue (to that
 * queue), a task and a queue (to that queue, then the task's semaphore is released; accepted with
 * a MINOR notice). eOS_RET_INVALID_ARG: module or task out of range, or neither task nor queue. */
RELAYKIT_API eOsRet SvcModuleReg(eSvcModuleId moduleId, eSvcTaskName taskName, tOsQueueId queueId);
/* The module's own queue, else its task's queue; 0xFFFFFFFF (reported) for none. */
RELAYKIT_API tOsQueueId SvcModuleGetQueueId(eSvcModuleId moduleId);
/* The semaphore a send to the module releases; 0xFFFFFFFF (reported when the module has no task). */
RELAYKIT_API tOsSemId SvcModuleGetSemId(eSvcModuleId moduleId);
/* The module's task; eSVC_TASK_NAME_INVALID without one, 0xFFFFFFFF for a module out of range. */
RELAYKIT_API eSvcTaskName SvcModuleGetTaskName(eSvcModuleId moduleId);

/* TRUE when the calling thread is the task registered under taskName. */
RELAYKIT_API eOsBool SvcIsTaskName(eSvcTaskName taskName);
/* The first task name registered with the calling thread's id; eSVC_TASK_NAME_INVALID for none. */
RELAYKIT_API eSvcTaskName SvcGetTaskName(void);
/* Prints both tables through SvcPrintf. */
RELAYKIT_API void DumpSvcTaskTable(void);

/* ---- task start, waiting and sleeping ------------------------------------------------------- */

/* Starts one service task at a time: takes the start gate "TSTART", creates the task (arguments as
 * for OsWrap__TaskCreate) and waits without limit until the task calls SvcTaskUp(), then gives the
 * gate back. The gate is given back on every failure after it was taken, so a failed start never
 * blocks later ones. A task that never calls SvcTaskUp() keeps its starter, and every later start,
 * waiting. A deletion of the starter while it holds the gate waits until the start is complete
 * and the gate given back. Returns the error of the step that failed. */
RELAYKIT_API eOsRet SvcTaskStart(char *nameP, void (*entryPoint)(void), eOsPri pri,
                                 uint32 stackSize, tOsTaskId *taskIdP);
/* Called once by a starting task when its queue and registration are in place. */
#define SvcTaskUp() OsWrap__SemRelease(TaskUpSemId)

/* Waits on the semaphore, running the calling task's tick timer (and so its conveyor belts) at each
 * expiry while it waits. Returns eOS_RET_SUCCESS once the semaphore was taken, or the wrapper's
 * error. timeout has no effect: without a running tick the call waits without limit. */
RELAYKIT_API eOsRet SvcSemWait(tOsSemId semId, sint32 timeout);
/* Sleeps msecsTimeout ms (0xFFFFFFFF: for ever); tick timers do not run meanwhile. Any end other
 * than the time-out, 0 included, is reported at CRITICAL. */
RELAYKIT_API void SvcSleep(uint32 msecsTimeout);

/* ---- unconditional output ------------------------------------------------------------------- */

/* These never queue and never allocate: the text is composed on the caller's stack and written in
 * the calling thread, from any thread, whatever the trace masks and levels say. */

/* One line of at most 2048 characters to syslog ("DEDURO") and the information handler (a null
 * handler is skipped). A format that begins with the time directive "%t" gets the system time
 * "TH%uL%u:" in front; the compiler checks the arguments against the rest of the format. No
 * newline is added. */
RELAYKIT_API void SvcPrintf(const char *formatP, ...);
#define SvcPrintf(...) (OS_TIME_FORMAT_CHECK(__VA_ARGS__), SvcPrintf(__VA_ARGS__))
/* Hex dump through the information handler, one call per 653 bytes of input and one more for the
 * rest (possibly none) followed by "\n". dumpForm eOS_BOOL_TRUE: " %02X" per byte and a line break
 * before every sixteenth byte of the whole dump; any other value: "%02X" and no line breaks. */
RELAYKIT_API void SvcPrintHex(char *bufferP, uint32 length, eOsBool dumpForm);
/* As SvcPrintf and SvcPrintHex, but written straight to "/dev/console" (opened on first use and
 * kept); no syslog, no handler. A console that cannot be opened or written loses the text. */
RELAYKIT_API void SvcConsolePrintf(const char *formatP, ...);
#define SvcConsolePrintf(...) (OS_TIME_FORMAT_CHECK(__VA_ARGS__), SvcConsolePrintf(__VA_ARGS__))
RELAYKIT_API void SvcConsolePrintHex(char *bufferP, uint32 length, eOsBool dumpForm);

/* ---- host lookup ---------------------------------------------------------------------------- */

/* Does nothing; eOS_RET_SUCCESS. */
RELAYKIT_API eOsRet SvcTcpIpInit(void);
/* The first IPv4 address of hostNameP, as the resolver gives it (network byte order), in
 * *hostAddrP. eOS_RET_SUCCESS, or eOS_RET_FAILURE (reported, *hostAddrP 0) when the name does not
 * resolve or an argument is null. */
RELAYKIT_API eOsRet SvcTcpIpGetHostAddr(char *hostNameP, uint32 *hostAddrP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVC_H */
