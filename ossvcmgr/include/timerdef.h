/* timerdef.h - many timers per service task on two conveyor belts turned by the task's own tick.
 *
 * The high-resolution belt has one slot per tick; the low-resolution belt has one slot per turn of
 * the high-resolution belt and parks the longer timers until their turn comes. Starting and stopping
 * a timer are constant-time list operations; a tick handles one high-resolution slot and, once per
 * turn, one low-resolution slot, whatever the number of timers.
 *
 * Threads: a task's belts are used only by that task. SvcTimerInit is called by the task itself (it
 * arms the task's periodic tick); SvcTimerStart and SvcTimerStop are called from the task that owns
 * the module's belts; callbacks run in that task inside its SvcMsgRcv or SvcSemWait and may start
 * and stop timers, their own included. Belts and timer blocks come from the accounting allocator;
 * the belts live for the life of the process.
 *
 * Timing: with tick T, a timer of msecs ms lasts ticks = msecs / T. Started between two ticks it
 * fires on the (ticks + 2)-th tick after the start; a periodic timer then recurs every ticks + 1
 * ticks. Timers that fire on the same tick fire in the order they were started. */
#ifndef RELAYKIT_TIMERDEF_H
#define RELAYKIT_TIMERDEF_H

#include "ostypes.h"
#include "svcdef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A started timer; its address is the timer id handed to the user. */
typedef struct tTimerBlock {
    struct tTimerBlock *next; /* ring of the slot the timer waits in */
    struct tTimerBlock *prev;
    uint16 hrcSlotNo;            /* high-resolution slot to move to, while parked on the low belt */
    uint32 ticks;                /* length in ticks */
    eOsBool periodic;            /* re-started after each expiry */
    eOsBool deleted;             /* stop requested, or a one-shot expiry in progress */
    tSvcTimerCallback callback;  /* called with userInfoP */
    void *userInfoP;
} tTimerBlock;

/* One slot: the sentinel of a circular ring of timer blocks (empty: it points to itself). It begins
 * with the same two links as a timer block. */
typedef struct {
    tTimerBlock *next;
    tTimerBlock *prev;
} tTimerConvSlot;

OS_STATIC_ASSERT(offsetof(tTimerBlock, next) == offsetof(tTimerConvSlot, next),
                 "a slot and a timer block share their links");
OS_STATIC_ASSERT(offsetof(tTimerBlock, prev) == offsetof(tTimerConvSlot, prev),
                 "a slot and a timer block share their links");

/* The timer service of one task. */
typedef struct {
    uint16 hrcSlotCounts;     /* N: slots of the high-resolution belt */
    uint16 lrcSlotCounts;     /* M: slots of the low-resolution belt */
    tTimerConvSlot *hrcsP;    /* the high-resolution belt */
    tTimerConvSlot *lrcsP;    /* the low-resolution belt */
    uint16 ths;               /* current high-resolution slot, the next one to expire */
    uint16 tls;               /* current low-resolution slot */
    uint32 shortestTimer;     /* shortest accepted timer, ms */
    uint32 intermediateTimer; /* boundary between the belts, ms */
    uint32 longestTimer;      /* longest accepted timer, ms */
    uint16 msecsPerTick;      /* tick length in ms; 0 = service not initialised */
} tTaskTimer;

typedef void *tSvcTimerId;

/* Sets up the task's belts for timers of shortestTimer to longestTimer ms on a tick of
 * msecsTickInterval ms (at least 50), adjusting the bounds to whole ticks and belt turns (each
 * adjustment reported), and arms the calling task's periodic tick. eOS_RET_INVALID_ARG for a task
 * out of range, a tick below 50, or bounds that are out of order or too large for the belts;
 * eOS_RET_FAILURE when the task's service exists already; eOS_RET_NO_RESOURCE when a belt cannot
 * be allocated; the refusal of SvcTickStart when the calling task's tick cannot be armed (it owns
 * one already, or the tick table is full). After a failure the service stays uninitialised. */
RELAYKIT_API eOsRet SvcTimerInit(eSvcTaskName taskName, uint16 msecsTickInterval,
                                 uint32 shortestTimer, uint32 longestTimer);
/* Starts a timer on the belts of the module's task. Null (reported) when the length is zero, below
 * the shortest or above the longest timer, the callback is null, the module has no task or the
 * block cannot be allocated. */
RELAYKIT_API tSvcTimerId SvcTimerStart(eSvcModuleId moduleId, uint32 msecsTimer, eOsBool periodic,
                                       tSvcTimerCallback callback, void *userInfoP);
/* Stops a timer; the id must not be used afterwards. A one-shot timer is freed at once (or, when
 * it stops itself inside its callback, right after the callback); a periodic one is marked and
 * freed, without a callback, when its slot comes. */
RELAYKIT_API void SvcTimerStop(eSvcModuleId moduleId, tSvcTimerId timerId);
/* Frees the timer's user info with OsWrap__FreeExt (for user info from the accounting allocator)
 * and clears it. */
RELAYKIT_API void FreeTimerUserInfo(eSvcModuleId moduleId, tSvcTimerId timerId);
/* The tick callback: turns the belts of the task named by userInfoP by one slot and runs the
 * callbacks of the timers due. Exported so that a task may also turn its belts itself. */
RELAYKIT_API void SvcTimerTick(void *userInfoP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_TIMERDEF_H */
