// svctick.cpp - one tick per service task, served by the task's own receive calls.
#include "svctick.h"

#include <atomic>
#include <cstdint>

#include "osshared.h"
#include "oswrap.h"
#include "svcinternal.h"
#include "uint64.h"
#include "zqcmtrace.h"

tSvcTmcb SvcTmcb[SVC_TMCB_TABLE_SIZE];

namespace {

static_assert(SVC_TMCB_TABLE_SIZE == eSVC_TASK_NAME_INVALID, "one tick per service task name");

std::atomic<tSvcUpTimeClock> testUpTimeClock{nullptr};

unsigned PrintablePointer(const void *p) { return (unsigned)(uintptr_t)p; }

} // namespace

void SvcTickRelease(void) {
    const tOsTaskId self = OsWrap__TaskId();
    for (tSvcTmcb &tmcb : SvcTmcb) {
        if (SharedGetAcquire(tmcb.taskId) != self) continue;
        // Only this task uses its entry; the owner goes last, so a task claiming the entry next
        // finds it clean.
        tmcb.periodic = eOS_BOOL_FALSE;
        tmcb.duration = {0, 0};
        tmcb.expir = {0, 0};
        tmcb.callback = nullptr;
        tmcb.userDataP = nullptr;
        tmcb.missedTicks = 0;
        SharedSetRelease(tmcb.taskId, 0);
        return;
    }
}

void SvcSetTestUpTimeClock(tSvcUpTimeClock clock) { testUpTimeClock.store(clock); }

tOsTime SvcUpTime() {
    const tSvcUpTimeClock clock = testUpTimeClock.load(std::memory_order_relaxed);
    return clock != nullptr ? clock() : OsWrap__GetUpTime();
}

extern "C" {

tSvcTmcb *SvcTickGetTaskTmcb(void) {
    const tOsTaskId self = OsWrap__TaskId();
    for (tSvcTmcb &tmcb : SvcTmcb) {
        if (SharedGetAcquire(tmcb.taskId) == self) return &tmcb;
    }
    for (tSvcTmcb &tmcb : SvcTmcb) {
        // An entry's owner is written by the claim, one atomic exchange, so that two tasks claiming
        // at once get an entry each.
        if (SharedGetAcquire(tmcb.taskId) == 0 && SharedClaim(tmcb.taskId, 0, self)) return &tmcb;
    }
    OsMajorLog("SvcTickGetTaskTmcb(): No more tSvcTmcb: TI%d.\n", self);
    return nullptr;
}

eOsRet SvcTickStart(uint32 msecsTimeout, eOsBool isPeriodic, tSvcTimerCallback callback,
                    void *userInfoP) {
    // The check would call a null callback at the expiry; refuse it before claiming an entry.
    if (callback == nullptr) {
        OsMajorLog("SvcTickStart(): NULL callback: TI%d, TO%d, P%d, CB%p, UI%X.\n", OsWrap__TaskId(),
                   msecsTimeout, isPeriodic, (void *)callback, PrintablePointer(userInfoP));
        return eOS_RET_INVALID_ARG;
    }
    // Expiries are compared through a signed 32-bit difference: a tick of 2^31 ms or more would
    // look due at once.
    if (msecsTimeout > (uint32)INT32_MAX) {
        OsMajorLog("SvcTickStart(): Invalid timeout: TI%d, TO%u, P%d, CB%p, UI%X.\n", OsWrap__TaskId(),
                   msecsTimeout, isPeriodic, (void *)callback, PrintablePointer(userInfoP));
        return eOS_RET_INVALID_ARG;
    }
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    if (tmcbP == nullptr) {
        OsCriticalLog("SvcTickStart(): No more tSvcTmcb: TI%d, TO%d, P%d, CB%p, UI%X.\n",
                      OsWrap__TaskId(), msecsTimeout, isPeriodic, (void *)callback,
                      PrintablePointer(userInfoP));
        return eOS_RET_NO_RESOURCE;
    }
    if (tmcbP->callback != nullptr) {
        OsMajorLog("SvcTickStart(): Restart: TI%d, TO%d, P%d, CB%p, UI%X.\n", OsWrap__TaskId(),
                   msecsTimeout, isPeriodic, (void *)callback, PrintablePointer(userInfoP));
        return eOS_RET_INVALID_STATE;
    }
    tmcbP->duration = {0, msecsTimeout};
    tmcbP->expir = Uint64Add(SvcUpTime(), tmcbP->duration);
    tmcbP->callback = callback;
    tmcbP->periodic = isPeriodic;
    tmcbP->userDataP = userInfoP;
    return eOS_RET_SUCCESS;
}

void SvcTickStop(void) {
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    if (tmcbP == nullptr) {
        OsMajorLog("SvcTickStop(): tSvcTmcb not found: TI%d.\n", OsWrap__TaskId());
        return;
    }
    if (tmcbP->callback == nullptr) {
        OsMajorLog("SvcTickStop(): No tick: TI%d.\n", OsWrap__TaskId());
        return;
    }
    tmcbP->duration = {0, 0};
    tmcbP->expir = {0, 0};
    tmcbP->callback = nullptr;
    tmcbP->userDataP = nullptr;
}

void SvcTickRestart(void) {
    tSvcTmcb *tmcbP = SvcTickGetTaskTmcb();
    if (tmcbP == nullptr) {
        OsMajorLog("SvcTickRestart(): tSvcTmcb not found: TI%d.\n", OsWrap__TaskId());
        return;
    }
    tmcbP->expir = Uint64Add(SvcUpTime(), tmcbP->duration);
}

void SvcTickCheckTimeouts(tSvcTmcb *tmcbP) {
    if (tmcbP == nullptr || Uint64IsZero(tmcbP->expir)) return;
    const tOsTime now = SvcUpTime();
    if (Uint64Subtract(tmcbP->expir, now) > 0) return;

    // A tick re-armed after SvcTickStop has no callback to run: drop the expiry instead of calling
    // through null (or waking the task again at once on every pass).
    if (tmcbP->callback == nullptr) {
        tmcbP->expir = {0, 0};
        return;
    }
    if (tmcbP->periodic == eOS_BOOL_TRUE) {
        if (tmcbP->duration.low == 0) {
            // A zero period would be due again at once: the receive loop would spin. Disarm it; the
            // task waits without limit until the tick is stopped and started again.
            OsMajorLog("SvcTickCheckTimeouts(): zero duration detected.\n");
            tmcbP->expir = {0, 0};
            return;
        }
        tOsTime next = Uint64Add(tmcbP->expir, tmcbP->duration);
        const sint32 late = Uint64Subtract(now, next);
        if (late >= 0) {
            // Skip the missed periods: the next expiry is the first one of the grid after now.
            const uint32 missed = (uint32)late / tmcbP->duration.low + 1;
            next = Uint64Add(next, Uint64Multiply(tmcbP->duration, missed));
        }
        tmcbP->expir = next;
    } else {
        tmcbP->duration = {0, 0};
        tmcbP->expir = {0, 0};
    }
    tmcbP->callback(tmcbP->userDataP);
}

tOsTime SvcTickGetNearestExpTime(tSvcTmcb *tmcbP) {
    if (tmcbP == nullptr) return {0, 0};
    return tmcbP->expir;
}

} // extern "C"
