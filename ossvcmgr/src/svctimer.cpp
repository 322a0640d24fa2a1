// svctimer.cpp - the conveyor-belt timer service: many timers per task on two rings of slots that
// the task's periodic tick turns by one slot at a time.
#include "timerdef.h"

#include <cstdint>
#include <utility>

#include "oswrap.h"
#include "svc.h"
#include "svcinternal.h"
#include "svctick.h"
#include "zqcmtrace.h"

tTaskTimer TaskTimer[SVC_TMCB_TABLE_SIZE];

namespace {

constexpr uint32 kTaskCount = SVC_TMCB_TABLE_SIZE;
constexpr uint16 kMinTick = 50;
constexpr uint64_t kMaxSlots = 0xFFFF; // slot counts and slot numbers are 16 bits

unsigned PrintablePointer(const void *p) { return (unsigned)(uintptr_t)p; }

tTimerBlock *SlotHead(tTimerConvSlot *slotP) { return reinterpret_cast<tTimerBlock *>(slotP); }

void MakeEmptyRing(tTimerConvSlot *slotP) {
    slotP->next = SlotHead(slotP);
    slotP->prev = SlotHead(slotP);
}

// Puts the block at the front of the slot's ring.
void InsertTimerAtHead(tTimerBlock *timerBlockP, tTimerConvSlot *convSlotP) {
    timerBlockP->prev = SlotHead(convSlotP);
    timerBlockP->next = convSlotP->next;
    convSlotP->next->prev = timerBlockP;
    convSlotP->next = timerBlockP;
}

tTimerConvSlot *AllocBelt(uint32 slots) {
    return static_cast<tTimerConvSlot *>(
        OsWrap__AllocExt(slots * (uint32)sizeof(tTimerConvSlot), (char *)__FILE__, __LINE__, 1));
}

} // namespace

// mem(I) = h + (L - I) / (h * T) with h = (I - S) / T, in unsigned 32-bit division where a division
// by zero gives 0: the slots of both belts for the boundary I. The search walks up in whole ticks
// until the count rises, then back in 1 ms steps, and settles in the middle of the last flat run.
uint32 FindIntermediateTimer(uint32 shortestTimer, uint32 longestTimer, uint16 tick) {
    const uint32 s = shortestTimer;
    const uint32 l = longestTimer;
    const uint32 middle = (uint32)(((uint64_t)s + l) / 2);
    if (tick == 0) return middle;
    auto slotCount = [s, l, tick](uint32 i) -> uint32 {
        const uint32 h = (i - s) / tick;
        const uint32 lrcTick = h * tick;
        return h + (lrcTick == 0 ? 0 : (l - i) / lrcTick);
    };

    uint32 step = tick; // added with wrap-around, so 0xFFFFFFFF steps back by one
    int phase = 1;
    uint32 mem = (l - s) / tick;
    uint32 i = s + tick;
    while (phase != 0) {
        if (i >= l || i <= s) return middle;
        const uint32 memPrev = mem;
        uint16 run = 0;
        do {
            mem = slotCount(i);
            i += step;
            run++;
        } while (mem == memPrev);
        if (mem > memPrev) {
            if (phase == 1) {
                phase = -1;
                step = (uint32)-1;
            } else {
                phase = 0;
                i += run / 2;
            }
        }
        i += step;
    }
    return i;
}

void InsertTimer(tTimerBlock *timerBlockP, tTimerConvSlot *convSlotP) {
    timerBlockP->prev = convSlotP->prev;
    timerBlockP->next = SlotHead(convSlotP);
    convSlotP->prev->next = timerBlockP;
    convSlotP->prev = timerBlockP;
}

void RemoveTimer(tTimerBlock *timerBlockP) {
    if (timerBlockP->next != nullptr) timerBlockP->next->prev = timerBlockP->prev;
    if (timerBlockP->prev != nullptr) timerBlockP->prev->next = timerBlockP->next;
}

void DeleteTimer(tTimerBlock *timerBlockP) {
    if (timerBlockP == nullptr) return;
    RemoveTimer(timerBlockP);
    timerBlockP->next = nullptr;
    timerBlockP->prev = nullptr;
    OsWrap__FreeExt(timerBlockP, (char *)__FILE__, __LINE__, 1);
}

// A block of fewer than N - 1 ticks goes straight to its high-resolution slot; a longer one is
// parked on the low-resolution slot of the turn in which it becomes due, with the high-resolution
// slot it moves to at the end of that turn.
eOsRet StartTimer(eSvcTaskName taskName, tTimerBlock *timerBlockP) {
    tTaskTimer &tt = TaskTimer[taskName];
    const uint32 n = tt.hrcSlotCounts;
    const uint32 m = tt.lrcSlotCounts;
    const uint32 ths = tt.ths;
    const uint32 tls = tt.tls;
    const uint32 ticks = timerBlockP->ticks;

    if (ticks < n - 1) {
        const uint32 slot = ticks < ths ? ths - ticks - 1 : n + ths - ticks - 1;
        InsertTimer(timerBlockP, &tt.hrcsP[slot]);
        return eOS_RET_SUCCESS;
    }
    // Here ticks >= N - 1 >= ths.
    const uint32 lrcSlot = (ticks - ths) / n;
    const uint32 hrcSlotNo = n - (ticks - ths) % n - 1;
    if (hrcSlotNo >= n || lrcSlot >= m) {
        OsCriticalLog("StartTimer(): Timer invalid HRC slot:\n  T%d, ticks(%d), hrsSlotNo(%d), "
                      "lrcSlot(%d), THS(%d).\n",
                      taskName, ticks, hrcSlotNo, lrcSlot, ths);
        return eOS_RET_INVALID_ARG;
    }
    timerBlockP->hrcSlotNo = (uint16)hrcSlotNo;
    const uint32 slot = lrcSlot <= tls ? tls - lrcSlot : m + tls - lrcSlot;
    InsertTimer(timerBlockP, &tt.lrcsP[slot]);
    return eOS_RET_SUCCESS;
}

// The whole steps of length step from `from` that reach at least `to` (from < to).
static uint64_t StepsToReach(uint64_t from, uint64_t to, uint64_t step) {
    return (to - from + step - 1) / step;
}

void SvcTimerTestReset() {
    for (tTaskTimer &tt : TaskTimer) {
        if (tt.msecsPerTick == 0) continue;
        for (auto [beltP, slots] : {std::pair{tt.hrcsP, tt.hrcSlotCounts}, std::pair{tt.lrcsP, tt.lrcSlotCounts}}) {
            for (uint32 i = 0; i < slots; i++) {
                while (beltP[i].next != SlotHead(&beltP[i])) DeleteTimer(beltP[i].next);
            }
            OsWrap__FreeExt(beltP, (char *)__FILE__, __LINE__, 1);
        }
        tt = {};
    }
}

extern "C" {

eOsRet SvcTimerInit(eSvcTaskName taskName, uint16 msecsTickInterval, uint32 shortestTimer,
                    uint32 longestTimer) {
    const uint32 t = msecsTickInterval;
    if ((uint32)taskName >= kTaskCount) {
        OsMajorLog("SvcTimerInit(): Invalid task name: T%d.\n", taskName);
        return eOS_RET_INVALID_ARG;
    }
    if (t < kMinTick) {
        OsMajorLog("SvcTimerInit(): Invalid timer tick interval: T%d, TI%d.\n", taskName, t);
        return eOS_RET_INVALID_ARG;
    }
    if (shortestTimer < t || longestTimer <= shortestTimer) {
        OsMajorLog("SvcTimerInit(): Invalid timer values:\n T%d, TI%d, ST%d, LT%d.\n", taskName, t,
                   shortestTimer, longestTimer);
        return eOS_RET_INVALID_ARG;
    }

    uint32 intermediate = FindIntermediateTimer(shortestTimer, longestTimer, msecsTickInterval);

    uint32 shortest = shortestTimer;
    if (shortestTimer % t != 0) {
        shortest = shortestTimer / t * t;
        OsMajorLog("SvcTimerInit(): shortestTimer interval adjusted: T%d, %d->%d.\n", taskName,
                   shortestTimer, shortest);
    }
    if (intermediate <= shortest) intermediate = shortest + 1;

    // Sizes are worked out in 64 bits: bounds near the top of the 32-bit range must be refused, not
    // wrapped. Each belt covers whole steps: a bound between two steps moves up to the next one.
    const uint64_t hrcSlots = StepsToReach(shortest, intermediate, t);
    const uint64_t adjustedIntermediate = shortest + hrcSlots * t;
    if (adjustedIntermediate != intermediate) {
        OsMinorLog("SvcTimerInit(): intermediateTimer interval adjusted: T%d, %d->%d.\n", taskName,
                   intermediate, (uint32)adjustedIntermediate);
    }
    uint64_t longestWanted = longestTimer;
    if (longestWanted <= adjustedIntermediate) longestWanted = adjustedIntermediate + 1;
    const uint64_t lrcTickInterval = (uint64_t)t * hrcSlots;
    const uint64_t lrcSlots = StepsToReach(adjustedIntermediate, longestWanted, lrcTickInterval);
    const uint64_t longest = adjustedIntermediate + lrcSlots * lrcTickInterval;
    if (longest != longestWanted) {
        OsMinorLog("SvcTimerInit(): longestTimer interval adjusted: T%d, %d->%d.\n", taskName,
                   (uint32)longestWanted, (uint32)longest);
    }

    // Every accepted timer must be placeable: the belts reach N x M - 1 ticks from any position.
    // With a shortest timer of many ticks that sizing can fall short; then the low belt grows.
    const uint64_t hrcCount = hrcSlots + 1;
    uint64_t lrcCount = lrcSlots + 1;
    const uint64_t longestTicks = longest / t;
    if (hrcCount * lrcCount - 1 < longestTicks) lrcCount = (longestTicks + hrcCount) / hrcCount;

    if (longest > UINT32_MAX || hrcCount > kMaxSlots || lrcCount > kMaxSlots) {
        OsMajorLog("SvcTimerInit(): Invalid timer values:\n T%d, TI%d, ST%d, LT%d.\n", taskName, t,
                   shortestTimer, longestTimer);
        return eOS_RET_INVALID_ARG;
    }

    tTaskTimer &tt = TaskTimer[taskName];
    if (tt.msecsPerTick != 0) {
        OsMajorLog("SvcTimerInit(): Timer re-initialization: T%d.\n", taskName);
        return eOS_RET_FAILURE;
    }

    tTimerConvSlot *hrcsP = AllocBelt((uint32)hrcCount);
    if (hrcsP == nullptr) {
        OsMajorLog("SvcTimerInit(): SvcAlloc() failed for high resolution conveyer belt.\n");
        return eOS_RET_NO_RESOURCE;
    }
    tTimerConvSlot *lrcsP = AllocBelt((uint32)lrcCount);
    if (lrcsP == nullptr) {
        OsMajorLog("SvcTimerInit(): SvcAlloc() failed for low resolution conveyer belt.\n");
        OsWrap__FreeExt(hrcsP, (char *)__FILE__, __LINE__, 1);
        return eOS_RET_NO_RESOURCE;
    }
    // The belts turn only with the task's own periodic tick: without it the service stays
    // uninitialised. The tick cannot fire before the task's next receive call, when the service
    // below is complete.
    const eOsRet tickRet = SvcTickStart(t, eOS_BOOL_TRUE, SvcTimerTick, (void *)(uintptr_t)taskName);
    if (tickRet != eOS_RET_SUCCESS) {
        OsMajorLog("SvcTimerInit(): SvcTickStart() failed: T%d, E%d.\n", taskName, tickRet);
        OsWrap__FreeExt(lrcsP, (char *)__FILE__, __LINE__, 1);
        OsWrap__FreeExt(hrcsP, (char *)__FILE__, __LINE__, 1);
        return tickRet;
    }
    for (uint32 i = 0; i < hrcCount; i++) MakeEmptyRing(&hrcsP[i]);
    for (uint32 i = 0; i < lrcCount; i++) MakeEmptyRing(&lrcsP[i]);

    tt.shortestTimer = shortest;
    tt.intermediateTimer = (uint32)adjustedIntermediate;
    tt.longestTimer = (uint32)longest;
    tt.hrcSlotCounts = (uint16)hrcCount;
    tt.lrcSlotCounts = (uint16)lrcCount;
    tt.ths = (uint16)(hrcCount - 1);
    tt.tls = (uint16)(lrcCount - 1);
    tt.hrcsP = hrcsP;
    tt.lrcsP = lrcsP;
    tt.msecsPerTick = msecsTickInterval;
    return eOS_RET_SUCCESS;
}

tSvcTimerId SvcTimerStart(eSvcModuleId moduleId, uint32 msecsTimer, eOsBool periodic,
                          tSvcTimerCallback callback, void *userInfoP) {
    const eSvcTaskName task = SvcModuleGetTaskName(moduleId);
    if ((uint32)task >= kTaskCount) {
        OsMajorLog("SvcTimerStart(): No task for module: M%d, TN%d.\n", moduleId, task);
        return nullptr;
    }
    tTaskTimer &tt = TaskTimer[task];
    if (msecsTimer > tt.longestTimer) {
        OsMajorLog("SvcTimerStart(): Longer than longest: M%d, TM%d, T%d, LT%d.\n", moduleId, task,
                   msecsTimer, tt.longestTimer);
        return nullptr;
    }
    // A zero length is refused too: it is shorter than any timer the belts accept (and, for a task
    // whose service was never set up, would pass both bounds).
    if (msecsTimer < tt.shortestTimer || msecsTimer == 0) {
        OsMajorLog("SvcTimerStart(): Shorter than shortest: M%d, TN%d, T%d, ST%d.\n", moduleId, task,
                   msecsTimer, tt.shortestTimer);
        return nullptr;
    }
    if (callback == nullptr) {
        OsMajorLog("SvcTimerStart(): NULL callback: TN%d, T%d, UI%X.\n", task, msecsTimer,
                   PrintablePointer(userInfoP));
        return nullptr;
    }
    auto *blockP = static_cast<tTimerBlock *>(
        OsWrap__AllocExt(sizeof(tTimerBlock), (char *)__FILE__, __LINE__, 1));
    if (blockP == nullptr) {
        OsMajorLog("SvcTimerStart(): SvcAlloc() failed for timer block: TN%d, T%d, UI%X.\n", task,
                   msecsTimer, PrintablePointer(userInfoP));
        return nullptr;
    }
    blockP->next = nullptr;
    blockP->prev = nullptr;
    blockP->hrcSlotNo = 0;
    blockP->ticks = msecsTimer / tt.msecsPerTick;
    blockP->periodic = periodic;
    blockP->deleted = eOS_BOOL_FALSE;
    blockP->callback = callback;
    blockP->userInfoP = userInfoP;
    if (StartTimer(task, blockP) != eOS_RET_SUCCESS) {
        OsWrap__FreeExt(blockP, (char *)__FILE__, __LINE__, 1);
        return nullptr;
    }
    return blockP;
}

void SvcTimerStop(eSvcModuleId moduleId, tSvcTimerId timerId) {
    auto *blockP = static_cast<tTimerBlock *>(timerId);
    if (blockP == nullptr) {
        OsMajorLog("SvcTimerStop(): Invalid timer block: M%d.\n", moduleId);
        return;
    }
    if (blockP->periodic == eOS_BOOL_TRUE) {
        // Only marked: the tick frees it when its slot comes, so a stop from inside any callback of
        // the slot being handled never frees a block the tick still walks.
        blockP->deleted = eOS_BOOL_TRUE;
        return;
    }
    if (blockP->deleted == eOS_BOOL_TRUE) {
        // A one-shot timer stopping itself inside its callback: the tick frees it afterwards.
        OsMajorLog("SvcTimerStop():Delete itself within timeout callback: M%d, TN%d.\n", moduleId,
                   SvcModuleGetTaskName(moduleId));
        return;
    }
    DeleteTimer(blockP);
}

void FreeTimerUserInfo(eSvcModuleId moduleId, tSvcTimerId timerId) {
    auto *blockP = static_cast<tTimerBlock *>(timerId);
    if (blockP == nullptr) {
        OsMajorLog("SvcTimerStop(): Invalid timer block: M%d.\n", moduleId);
        return;
    }
    if (blockP->userInfoP != nullptr) {
        OsWrap__FreeExt(blockP->userInfoP, (char *)__FILE__, __LINE__, 1);
        blockP->userInfoP = nullptr;
    }
}

// Handles the current high-resolution slot, turns the belt by one slot, and at the end of each turn
// moves the timers of the current low-resolution slot to their high-resolution slots.
void SvcTimerTick(void *userInfoP) {
    const uint32 task = (uint32)(uintptr_t)userInfoP;
    if (task >= kTaskCount || TaskTimer[task].msecsPerTick == 0) return;
    tTaskTimer &tt = TaskTimer[task];
    const uint16 prevThs = tt.ths;
    tTimerConvSlot *slotP = &tt.hrcsP[prevThs];
    tTimerBlock *const endP = SlotHead(slotP);

    // Nothing a callback starts can land in this slot, so the walk ends. The next block is read only
    // after the callback returned (it may have stopped that one) and before this one is unlinked.
    tTimerBlock *blockP = slotP->next;
    while (blockP != endP) {
        tTimerBlock *nextP;
        if (blockP->periodic != eOS_BOOL_TRUE) {
            blockP->deleted = eOS_BOOL_TRUE;
            if (blockP->callback != nullptr) blockP->callback(blockP->userInfoP);
            nextP = blockP->next;
            DeleteTimer(blockP);
        } else if (blockP->deleted != eOS_BOOL_TRUE) {
            if (blockP->callback != nullptr) blockP->callback(blockP->userInfoP);
            nextP = blockP->next;
            if (blockP->deleted == eOS_BOOL_TRUE) {
                // Stopped inside its own callback (or by another callback of this slot).
                DeleteTimer(blockP);
            } else {
                RemoveTimer(blockP);
                if (StartTimer((eSvcTaskName)task, blockP) != eOS_RET_SUCCESS) {
                    blockP->next = nullptr;
                    blockP->prev = nullptr;
                    DeleteTimer(blockP);
                }
            }
        } else {
            nextP = blockP->next;
            DeleteTimer(blockP);
        }
        blockP = nextP;
    }
    MakeEmptyRing(slotP);
    tt.ths = (uint16)((prevThs + tt.hrcSlotCounts - 1) % tt.hrcSlotCounts);

    if (prevThs == 0) {
        // The slots the moved timers go to hold only timers placed directly during the last turn,
        // and those were all started later: walking the parked ring backwards and putting each at
        // the front keeps timers that fire on the same tick in start order.
        tTimerConvSlot *lrcP = &tt.lrcsP[tt.tls];
        tTimerBlock *const lrcEndP = SlotHead(lrcP);
        tTimerBlock *movedP = lrcP->prev;
        while (movedP != lrcEndP) {
            tTimerBlock *prevP = movedP->prev;
            InsertTimerAtHead(movedP, &tt.hrcsP[movedP->hrcSlotNo]);
            movedP = prevP;
        }
        MakeEmptyRing(lrcP);
        tt.tls = (uint16)((tt.tls + tt.lrcSlotCounts - 1) % tt.lrcSlotCounts);
    }
}

} // extern "C"
