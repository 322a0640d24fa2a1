/* oswrap.h - the OS wrapper: named tasks on POSIX threads, the caller's critical section,
 * millisecond clocks, counting semaphores, message queues, accounted memory and text output.
 *
 * Call OsWrap__Init once, first, before anything else of the library. After that every call may
 * be made from any thread. The tables are fixed (oscustom.h): nothing grows at run time, and
 * there is no shutdown. Each call reports its own failures through the log writer and returns
 * an eOsRet (or a documented none value); no failure stops the process. */
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

/* Creates the wrapper's mutexes and takes the up-time origin. sysErrorHandler is accepted and not
 * kept. A second call changes nothing and returns eOS_RET_SUCCESS. */
RELAYKIT_API eOsRet OsWrap__Init(tOsSysErrorHandler sysErrorHandler);

/* A plain, non-recursive critical section for callers. */
RELAYKIT_API void OsWrap__CrSecStart(void);
RELAYKIT_API void OsWrap__CrSecEnd(void);

/* Starts a detached thread running entryPoint. The task's own code runs only after its table
 * entry is complete. *taskIdP is 0 after every failure.
 * eOS_RET_INVALID_ARG: null name or bad priority; eOS_RET_FAILURE: table full or thread error. */
RELAYKIT_API eOsRet OsWrap__TaskCreate(char *nameP, void (*entryPoint)(void), eOsPri pri,
                                       uint32 stackSize, tOsTaskId *taskIdP);
/* Cancels the task's thread (without waiting) and removes its entry, keeping the others in order.
 * An unknown id is reported and answered with eOS_RET_SUCCESS. */
RELAYKIT_API eOsRet OsWrap__TaskDelete(tOsTaskId taskId);
/* The calling thread's id (low 32 bits of its handle); works in any thread. */
RELAYKIT_API tOsTaskId OsWrap__TaskId(void);
/* Copies the task's name (31 bytes with terminator); eOS_RET_FAILURE when unknown or null. */
RELAYKIT_API eOsRet OsWrap__GetTaskNameByTaskId(tOsTaskId taskId, char *taskNameP);
RELAYKIT_API void ShowTaskCtrlBlock(void);

/* ---- clocks --------------------------------------------------------------------------------- */

RELAYKIT_API tOsTime OsWrap__GetSysTime(void); /* ms since the epoch */
RELAYKIT_API tOsTime OsWrap__GetUpTime(void);  /* ms since OsWrap__Init */
/* clockType 0: system time; any other value: up-time, giving an absolute monotonic reading. */
RELAYKIT_API void OsTime2TimeSpec(tOsTime osTime, struct timespec *tsP, int clockType);

/* ---- counting semaphores -------------------------------------------------------------------- */

/* Ids 1..44960, lowest free first. *semIdP is 0 after every failure. */
RELAYKIT_API eOsRet OsWrap__SemCreate(char *nameP, uint16 initialCount, tOsSemId *semIdP);
/* eOS_RET_INVALID_ARG for an id that is not live; eOS_RET_INVALID_STATE while a thread waits. */
RELAYKIT_API eOsRet OsWrap__SemDelete(tOsSemId semId);
RELAYKIT_API void OsWrap__SemRelease(tOsSemId semId);
/* timeout: OS_WAIT_FOREVER, OS_WAIT_NO (eOS_RET_AGAIN when the count is 0) or milliseconds on the
 * monotonic clock (eOS_RET_TIME_OUT). eOS_RET_INVALID_ARG for an id that is not live. */
RELAYKIT_API eOsRet OsWrap__SemWait(tOsSemId semId, sint32 timeout);
RELAYKIT_API void ShowSemCtrlBlock(void);

/* ---- message queues ------------------------------------------------------------------------- */

/* Unbounded FIFO queues of blocks from OsWrap__AllocExt (other pointers travel in a separate link
 * block). After a successful send the block belongs to the queue; the receiver frees it.
 * qSize is accepted and has no effect. */
RELAYKIT_API eOsRet OsWrap__QueueCreate(char *nameP, uint16 qSize, tOsQueueId *queueIdP);
RELAYKIT_API eOsRet OsWrap__QueueDelete(tOsQueueId queueId);
/* Frees the queued messages; the semaphore keeps its count, so that many receives fail at once. */
RELAYKIT_API eOsRet OsWrap__FlushQueue(tOsQueueId queueId);
RELAYKIT_API eOsRet OsWrap__QueueSend(tOsQueueId dstQueueId, tOsMsg msg);
RELAYKIT_API eOsRet OsWrap__QueueRcv(tOsQueueId queueId, tOsMsg *msgP, sint32 timeout);
RELAYKIT_API void ShowQueueCtrlBlock(void);

/* ---- accounted memory ----------------------------------------------------------------------- */

/* Link header in front of every accounted block; it doubles as the queue link. */
typedef struct tMsgBlock {
    sint32 signature;
    struct tMsgBlock *nextP;
    tOsMsg msg;
} tMsgBlock;

OS_STATIC_ASSERT(sizeof(tMsgBlock) == 24, "tMsgBlock is the 24-byte block header");

/* A block with a hidden header; null on failure. The caller's bytes are not cleared. */
RELAYKIT_API void *OsWrap__AllocExt(uint32 size, char *fileName, uint32 lineNo, uint32 cntType);
/* A block without the live signature is reported and left alone. */
RELAYKIT_API void OsWrap__FreeExt(void *memP, char *fileName, uint32 lineNo, uint32 cntType);
#define OsWrap__Alloc(sizeM) OsWrap__AllocExt((sizeM), (char *)__FILE__, __LINE__, 1)
#define OsWrap__Free(memPM) OsWrap__FreeExt((memPM), (char *)__FILE__, __LINE__, 1)

/* Null hooks mean malloc / free. Call it after OsWrap__Init, which installs malloc and free. */
RELAYKIT_API void OsWrap__RegisterMemHandleFunc(tOsSysMemAllocHandler memAllocFuncP,
                                                tOsSysMemFreeHandler memFreeFuncP);
RELAYKIT_API void ShowMemAllocCnt(void);
RELAYKIT_API void MemRecordStart(uint32 flag);
RELAYKIT_API void MemRecordAdd(void *memP, uint32 size, char *fileName, uint32 lineNo);
RELAYKIT_API void MemRecordRemove(void *memP);
RELAYKIT_API void MemRecordClear(void);
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

/* Maps a hardware PON link number to the link number used in link keys. */
int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP);
/* Receives each completed output line (without its final newline); copy it before returning. */
int itSendOltDebugInfoToBll(char *textP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_OSWRAP_H */
