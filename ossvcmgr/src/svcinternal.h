// svcinternal.h - internal, not exported: the service layer's tables and helpers shared between its
// source units, and the test hook that replaces the up-time clock of the tick timers.
#ifndef RELAYKIT_SVCINTERNAL_H
#define RELAYKIT_SVCINTERNAL_H

#include "svc.h"
#include "svctick.h"
#include "timerdef.h"

// What a send to a module needs, read from the registry at one moment: the module's entry and the
// queue of its task (none without a task).
struct tSvcModuleRoute {
    tSvcModuleInfo module;
    tOsQueueId taskQueueId;
};
// Reads the module's route; false for a module out of range, reported in the name of operationP.
bool SvcModuleRouteRead(eSvcModuleId moduleId, const char *operationP, tSvcModuleRoute *routeP);
// The queue and the semaphore of a route, reported and answered as SvcModuleGetQueueId and
// SvcModuleGetSemId answer.
tOsQueueId SvcModuleRouteQueueId(eSvcModuleId moduleId, const tSvcModuleRoute &route);
tOsSemId SvcModuleRouteSemId(eSvcModuleId moduleId, const tSvcModuleRoute &route);

// The wrapper's task-end hook, registered by SvcInit: runs in a wrapper task's thread as it ends
// (its entry function returned, or it was deleted), gives back the task's tick and clears its task id from the registry, so that a later task that
// gets the same thread handle, and so the same task id, inherits neither.
void SvcTaskEnded(void);
// The tick part of it: frees the calling task's tick entry.
void SvcTickRelease(void);

// The tick control blocks and the timer services, indexed by eSvcTaskName.
extern tSvcTmcb SvcTmcb[SVC_TMCB_TABLE_SIZE];
extern tTaskTimer TaskTimer[SVC_TMCB_TABLE_SIZE];

// The up-time clock the tick timers and the receive loops read (OsWrap__GetUpTime unless a test
// installed its own clock; null restores it). Lets tests put a tick at exact up-times.
using tSvcUpTimeClock = tOsTime (*)();
void SvcSetTestUpTimeClock(tSvcUpTimeClock clock);
tOsTime SvcUpTime();

// Test hook: gives back every task's belts and the timers on them, as if no task had set up its
// timer service. Only while no task turns its belts.
void SvcTimerTestReset();

// The boundary between the belts that keeps their slot count small (a heuristic search).
uint32 FindIntermediateTimer(uint32 shortestTimer, uint32 longestTimer, uint16 tick);
// Places a block on the belts of the task by its ticks. eOS_RET_INVALID_ARG when the block lies
// beyond the belts' reach (it is then left off the belts).
eOsRet StartTimer(eSvcTaskName taskName, tTimerBlock *timerBlockP);
// Appends the block at the tail of the slot's ring.
void InsertTimer(tTimerBlock *timerBlockP, tTimerConvSlot *convSlotP);
// Unlinks the block from its ring; the block's own links are left as they were.
void RemoveTimer(tTimerBlock *timerBlockP);
// Unlinks and frees a block (null: nothing).
void DeleteTimer(tTimerBlock *timerBlockP);

#endif // RELAYKIT_SVCINTERNAL_H
