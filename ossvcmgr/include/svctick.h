/* svctick.h - one tick per service task: a one-shot or periodic time-out with a callback on the
 * monotonic up-time clock.
 *
 * There is no timer thread. Every operation acts on the calling task's own tick, and the callback
 * runs in that task, inside its SvcMsgRcv or SvcSemWait, which wait no longer than the tick's
 * expiry. The table holds 19 ticks; a task is bound to an entry the first time it uses a tick (or a
 * service receive call) and stays bound until it ends: when the entry function of a wrapper task
 * returns or the task is deleted, its entry is free again, and a task started later (possibly with
 * the same task id) finds no tick of its own. */
#ifndef RELAYKIT_SVCTICK_H
#define RELAYKIT_SVCTICK_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    tOsTaskId taskId;           /* owning task; 0 = entry free */
    eOsBool periodic;           /* TRUE: re-armed after each expiry */
    tOsTime duration;           /* tick length in ms; 0 when no tick is armed */
    tOsTime expir;              /* absolute expiry on the up-time clock; 0 = nothing pending */
    tSvcTimerCallback callback; /* non-null while a tick is owned */
    void *userDataP;            /* argument of the callback */
    uint32 missedTicks;         /* not maintained (stays 0) */
} tSvcTmcb;

#define SVC_TMCB_TABLE_SIZE 19 /* one per eSvcTaskName value */

/* Arms the calling task's tick: first expiry msecsTimeout ms from now, then every msecsTimeout ms
 * when isPeriodic is TRUE. eOS_RET_INVALID_ARG for a null callback or a time-out of 2^31 ms or
 * more; eOS_RET_INVALID_STATE while the task owns a tick (also an expired one-shot tick, until
 * SvcTickStop); eOS_RET_NO_RESOURCE when all 19 entries belong to other tasks. */
RELAYKIT_API eOsRet SvcTickStart(uint32 msecsTimeout, eOsBool isPeriodic, tSvcTimerCallback callback,
                                 void *userInfoP);
/* Disarms the calling task's tick and gives up its callback. */
RELAYKIT_API void SvcTickStop(void);
/* Re-arms the calling task's tick one stored duration from now. */
RELAYKIT_API void SvcTickRestart(void);
/* The calling task's entry, claimed on first use; null (reported) when the table is full. */
RELAYKIT_API tSvcTmcb *SvcTickGetTaskTmcb(void);
/* Runs the callback when the tick is due and moves (periodic) or clears (one-shot) the expiry. A
 * periodic tick that missed several periods runs once and moves to the first expiry after now. */
RELAYKIT_API void SvcTickCheckTimeouts(tSvcTmcb *tmcbP);
/* The entry's expiry; {0, 0} for none (and for a null entry), meaning wait without limit. */
RELAYKIT_API tOsTime SvcTickGetNearestExpTime(tSvcTmcb *tmcbP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVCTICK_H */
