// svcinternal.h - internal, not exported: the service layer's tables and helpers shared between its
// source units, and the test hook that replaces the up-time clock of the tick timers.
#ifndef RELAYKIT_SVCINTERNAL_H
#define RELAYKIT_SVCINTERNAL_H

#include "svctick.h"
#include "timerdef.h"

// The tick control blocks and the timer services, indexed by eSvcTaskName.
extern tSvcTmcb SvcTmcb[SVC_TMCB_TABLE_SIZE];
extern tTaskTimer TaskTimer[SVC_TMCB_TABLE_SIZE];

// The up-time clock the tick timers and the receive loops read (OsWrap__GetUpTime unless a test
// installed its own clock; null restores it). Lets tests put a tick at exact up-times.
using tSvcUpTimeClock = tOsTime (*)();
void SvcSetTestUpTimeClock(tSvcUpTimeClock clock);
tOsTime SvcUpTime();

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
