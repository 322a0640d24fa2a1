/* oswrap.h - the OS wrapper: named tasks on POSIX threads, the caller's critical section,
 * millisecond clocks, counting semaphores, message queues, accounted memory and text output.
 *
 * Call OsWrap__Init once, first, before anything else of the library. After that every call may
 * be made from any thread. The tables are fixed (oscustom.h: 200 tasks, 400 queues, 44960
 * semaphores, 4096 allocation records): nothing grows at run time, and there is no shutdown.
 * Each call reports its own failures through the log writer (LogInterface, levels MINOR, MAJOR,
 * CRITICAL) and returns an eOsRet (or a documented none value); no failure stops the process.
 * Out-parameters are set to their empty value (0 or null) before anything is checked. Names of
 * tasks, queues and semaphores keep at most 30 characters.
 *
 * Blocking: OsWrap__SemWait and OsWrap__QueueRcv wait according to their time-out; the critical
 * section waits for its holder; every other call holds a lock only briefly.
 *
 * Deletion: OsWrap__TaskDelete acts at the task's next cancellation point. The waits of
 * OsWrap__SemWait and OsWrap__QueueRcv are such points and give back what they hold; library
 * sections that hold a lock (text output, the service layer's task start) defer a deletion until
 * they are done. What the library keeps for a task (its tick, its id in the service registry) is
 * given back when the task ends, whether deleted or by returning. */
#ifndef RELAYKIT_OSWRAP_H
#define RELAYKIT_OSWRAP_H

#include <stdio.h>
#include <time.h>

#include "oscustom.h"
#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- start-up, critical section, tasks ---------------------------------------------------- */

/* Creates the wrapper's four mutexes, takes the up-time origin and installs malloc and free as the
 * allocator hooks. sysErrorHandler is accepted and not kept (the service layer's handlers are
 * given to SvcInit). A call after a successful one changes nothing and returns eOS_RET_SUCCESS;
 * a call after a failed one creates what is still missing.
 * eOS_RET_FAILURE: a mutex could not be created (CRITICAL report). */
RELAYKIT_API eOsRet OsWrap__Init(tOsSysErrorHandler sysErrorHandler);

/* A plain, non-recursive critical section for callers: never start it twice in one thread. */
RELAYKIT_API void OsWrap__CrSecStart(void);
RELAYKIT_API void OsWrap__CrSecEnd(void);

/* Starts a detached thread running entryPoint with stackSize bytes of stack. The task's own code
 * runs only after its table entry (name, id) is complete, so it may look itself up at once. The
 * priority is recorded in the thread attributes (HIGH 3, MEDIUM 2, LOW 1); the scheduling policy
 * stays the default. *taskIdP is 0 after every failure.
 * eOS_RET_INVALID_ARG: null name or entry function, or a priority other than HIGH, MEDIUM, LOW;
 * eOS_RET_FAILURE: 200 tasks exist, or the thread could not be made. */
RELAYKIT_API eOsRet OsWrap__TaskCreate(char *nameP, void (*entryPoint)(void), eOsPri pri,
                                       uint32 stackSize, tOsTaskId *taskIdP);
/* Requests cancellation of the task's thread (without waiting for it; a thread whose entry function
 * already returned is left alone) and removes its entry, keeping the others in order. A task
 * cancelled inside OsWrap__SemWait or OsWrap__QueueRcv leaves the semaphore usable.
 * eOS_RET_SUCCESS also for an unknown id (CRITICAL report); eOS_RET_FAILURE: the thread
 * attributes or the cancellation failed. */
RELAYKIT_API eOsRet OsWrap__TaskDelete(tOsTaskId taskId);
/* The calling thread's id (low 32 bits of its handle); works in any thread. */
RELAYKIT_API tOsTaskId OsWrap__TaskId(void);
/* Copies the task's name (31 bytes with terminator). eOS_RET_FAILURE, without a report, when the
 * id is unknown or taskNameP is null. */
RELAYKIT_API eOsRet OsWrap__GetTaskNameByTaskId(tOsTaskId taskId, char *taskNameP);
/* Prints the task table through SvcPrintf. */
RELAYKIT_API void ShowTaskCtrlBlock(void);

/* ---- clocks --------------------------------------------------------------------------------- */

RELAYKIT_API tOsTime OsWrap__GetSysTime(void); /* ms since the epoch (real-time clock) */
RELAYKIT_API tOsTime OsWrap__GetUpTime(void);  /* ms since OsWrap__Init (monotonic clock) */
/* The inverse: seconds and nanoseconds of osTime. clockType 0: system time; any other value:
 * up-time, giving an absolute reading of the monotonic clock. */
RELAYKIT_API void OsTime2TimeSpec(tOsTime osTime, struct timespec *tsP, int clockType);

/* ---- counting semaphores -------------------------------------------------------------------- */

/* Ids 1..44960, lowest free id first. *semIdP is 0 after every failure. Names need not be unique.
 * eOS_RET_INVALID_ARG: null name or semIdP; eOS_RET_FAILURE: every id is taken, or the mutex or
 * condition variable could not be made (CRITICAL report; no id is kept). */
RELAYKIT_API eOsRet OsWrap__SemCreate(char *nameP, uint16 initialCount, tOsSemId *semIdP);
/* eOS_RET_INVALID_ARG: the id is 0, above 44960 or not live (MAJOR report);
 * eOS_RET_INVALID_STATE: a thread waits on it (MAJOR report; nothing is destroyed);
 * eOS_RET_FAILURE: the mutex or condition variable could not be destroyed. */
RELAYKIT_API eOsRet OsWrap__SemDelete(tOsSemId semId);
/* Adds one to the count and wakes one waiter. An id that is not live is reported and ignored. The
 * woken waiter may delete the semaphore at once: the deletion waits until the release is done. */
RELAYKIT_API void OsWrap__SemRelease(tOsSemId semId);
/* Takes one from the count, waiting while it is 0:
 *   OS_WAIT_FOREVER  until a release;
 *   OS_WAIT_NO       not at all: eOS_RET_AGAIN;
 *   1 .. 2^31-1      at most that many ms of the monotonic clock: eOS_RET_TIME_OUT (a waiter that
 *                    wakes to find the count taken by another starts a new full time-out);
 *   below -1         eOS_RET_TIME_OUT at once.
 * eOS_RET_INVALID_ARG: the id is 0, above 44960 or not live (MAJOR report);
 * eOS_RET_FAILURE: the wait itself failed (MAJOR report). */
RELAYKIT_API eOsRet OsWrap__SemWait(tOsSemId semId, sint32 timeout);
/* Prints every live semaphore through SvcPrintf. */
RELAYKIT_API void ShowSemCtrlBlock(void);

/* ---- message queues ------------------------------------------------------------------------- */

/* Unbounded FIFO queues (ids 1..400) of blocks from OsWrap__AllocExt, linked through the block's
 * own header, so that a send allocates nothing. Any other pointer travels in a separate link block
 * after a MAJOR report. After a successful send the block belongs to the queue; the receiver owns
 * and frees it. A queue must not be deleted while other tasks still send to it.
 * Create: the lowest free id; qSize is accepted and has no effect; *queueIdP is 0 after every
 * failure. eOS_RET_INVALID_ARG: null name or queueIdP; eOS_RET_FAILURE: 400 queues exist, or the
 * queue's semaphore or mutex could not be made (nothing is kept). */
RELAYKIT_API eOsRet OsWrap__QueueCreate(char *nameP, uint16 qSize, tOsQueueId *queueIdP);
/* Frees the queued messages and the queue's semaphore. eOS_RET_FAILURE: id outside 1..400 or no
 * live queue (CRITICAL report); eOS_RET_INVALID_STATE: a task waits to receive; the semaphore's
 * own error when it cannot be deleted (CRITICAL report). After a refusal the queue stays as it
 * was, its messages included. A receiver that drained the queue may delete it at once. */
RELAYKIT_API eOsRet OsWrap__QueueDelete(tOsQueueId queueId);
/* Frees the queued messages; the semaphore keeps its count, so that many later receives return
 * eOS_RET_FAILURE at once. eOS_RET_FAILURE: id outside 1..400 or no live queue (CRITICAL report). */
RELAYKIT_API eOsRet OsWrap__FlushQueue(tOsQueueId queueId);
/* eOS_RET_INVALID_ARG: null msg, or an id that holds no live queue (MAJOR report);
 * eOS_RET_NO_RESOURCE: a foreign pointer's link block could not be allocated. */
RELAYKIT_API eOsRet OsWrap__QueueSend(tOsQueueId dstQueueId, tOsMsg msg);
/* Takes the oldest message into *msgP (null on every failure); timeout as for OsWrap__SemWait.
 * eOS_RET_AGAIN (OS_WAIT_NO only), eOS_RET_TIME_OUT: nothing arrived, no report;
 * eOS_RET_INVALID_ARG: null msgP or an id that holds no live queue (MAJOR report);
 * eOS_RET_FAILURE: the list was emptied by a flush, or the wait failed. */
RELAYKIT_API eOsRet OsWrap__QueueRcv(tOsQueueId queueId, tOsMsg *msgP, sint32 timeout);
/* Prints the queue table through SvcPrintf, every entry up to the highest live queue. */
RELAYKIT_API void ShowQueueCtrlBlock(void);

/* ---- accounted memory ----------------------------------------------------------------------- */

/* Link header in front of every accounted block; it doubles as the queue link. The caller's bytes
 * follow it, so they are aligned to 8 bytes. */
typedef struct tMsgBlock {
    sint32 signature;
    struct tMsgBlock *nextP;
    tOsMsg msg;
} tMsgBlock;

OS_STATIC_ASSERT(sizeof(tMsgBlock) == 24, "tMsgBlock is the 24-byte block header");

/* A block of size bytes behind a hidden header; the caller's bytes are not cleared. Null, after a
 * MAJOR report, when the allocator hook fails or size plus the header exceeds 32 bits. With
 * recording on and cntType non-zero, the block is recorded with fileName and lineNo. */
RELAYKIT_API void *OsWrap__AllocExt(uint32 size, char *fileName, uint32 lineNo, uint32 cntType);
/* Releases a block of OsWrap__AllocExt. A null pointer, and a block without the live signature
 * (freed already, or never allocated here), are reported and left alone. fileName and lineNo are
 * not used. */
RELAYKIT_API void OsWrap__FreeExt(void *memP, char *fileName, uint32 lineNo, uint32 cntType);
#define OsWrap__Alloc(sizeM) OsWrap__AllocExt((sizeM), (char *)__FILE__, __LINE__, 1)
#define OsWrap__Free(memPM) OsWrap__FreeExt((memPM), (char *)__FILE__, __LINE__, 1)

/* Installs the host's allocator pair, safe to call from any thread; null hooks mean malloc / free.
 * Call it after OsWrap__Init, which installs malloc and free. The hooks must be thread-safe. */
RELAYKIT_API void OsWrap__RegisterMemHandleFunc(tOsSysMemAllocHandler memAllocFuncP,
                                                tOsSysMemFreeHandler memFreeFuncP);
/* Prints "Memory Allocation Count N." through SvcPrintf. */
RELAYKIT_API void ShowMemAllocCnt(void);
/* Allocation records: a non-zero flag records every later allocation with cntType non-zero in the
 * first free of 4096 slots (time, file, line, size, address); a full table drops records until a
 * removal or a clear. Switching recording off keeps the records. */
RELAYKIT_API void MemRecordStart(uint32 flag);
RELAYKIT_API void MemRecordAdd(void *memP, uint32 size, char *fileName, uint32 lineNo);
RELAYKIT_API void MemRecordRemove(void *memP);
RELAYKIT_API void MemRecordClear(void);
/* Prints every record in slot order through SvcPrintf. */
RELAYKIT_API void MemRecordDump(void);

/* Number of live accounted blocks; updated atomically, read it as a plain number. */
RELAYKIT_API extern uint32 MemAllocCnt;

/* ---- text output ---------------------------------------------------------------------------- */

/* Writes one finished text to the console, the log file, the CLI telnet connection and the host's
 * line sink, each under its switch. */
RELAYKIT_API void OsWrap__TextOut(char *textP);
RELAYKIT_API eOsRet OpenLogFile(char *prefixP);
RELAYKIT_API void SetDisplayMode(eOsBool consoleOutputModeB, eOsBool fileOutputModeB);
RELAYKIT_API void SetCliDisplayMode(eOsBool outPutCliB);
RELAYKIT_API void SetCliShowOltLog(eOsBool outPutCliB);

RELAYKIT_API extern eOsBool ConsoleOutputModeB;
RELAYKIT_API extern eOsBool OutPutCliB;
RELAYKIT_API extern eOsBool OltLogToCliB;
RELAYKIT_API extern char oltDebugTempP[4096];

/* ---- supplied by the host process at link time ---------------------------------------------- */

/* Declared with the export attribute, so a host built with -fvisibility=hidden still hands its
 * definitions to the library. */

/* Maps a hardware PON link number to the link number used in link keys. */
RELAYKIT_API int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP);
/* Receives each completed output line (without its final newline); copy it before returning. */
RELAYKIT_API int itSendOltDebugInfoToBll(char *textP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_OSWRAP_H */
