// oswraplx.h - internal to the OS wrapper: the one state record OWData, the mutex primitives and the
// helpers its units share. Nothing here is exported.
#ifndef RELAYKIT_OSWRAPLX_H
#define RELAYKIT_OSWRAPLX_H

#include <pthread.h>
#include <stdint.h>
#include <time.h>

#include <atomic>

#include "oscustom.h"
#include "osshared.h"
#include "oswrap.h"
#include "svc.h"

// ---- control blocks ---------------------------------------------------------------------------

// One task table entry.
struct tTcb {
    char name[OS_MAX_NAME_LEN + 1];
    eOsBool busy;                  // TRUE once the thread was created
    pthread_t taskId;              // handle of the task's thread
    pthread_attr_t attr;           // destroyed when the task is deleted
    struct sched_param schedParam; // derived from the task priority
    eOsBool ended;                 // TRUE once the entry function returned: the thread is gone
};

// One semaphore control block; entry n of scbArray is semaphore n.
struct tScb {
    char name[OS_MAX_NAME_LEN + 1];
    eOsBool busy; // TRUE while the semaphore exists (read without gsMutex through SharedGetAcquire)
    uint32 semId;
    pthread_cond_t condVar;
    pthread_mutex_t semMutex; // guards semCount and waiters
    sint32 semCount;
    pthread_condattr_t condAttr;
    sint32 waiters; // threads blocked in OsWrap__SemWait; a semaphore with waiters is not deleted
    // Releases between giving a unit (under semMutex) and their signal (after unlocking); deletion
    // waits for them. Accessed through osshared.h.
    sint32 signalling;
};

// One queue control block; queue id n is entry n-1 of qcbArray.
struct tQcb {
    char name[OS_MAX_NAME_LEN + 1];
    sint32 count;
    eOsBool busy; // TRUE while the queue exists (read without gqMutex through SharedGetAcquire)
    tOsSemId semId;
    pthread_mutex_t qMutex; // serialises flushing and deleting the queue
    // The list and count are guarded by the semMutex of the queue's semaphore, so that a send or a
    // receive changes the list and the semaphore's count under one lock.
    tMsgBlock *firstP;
    tMsgBlock *lastP;
};

// Semaphore ids 1..44960 as bits 0..44959: a set bit is a taken id. semIdFull has one bit per word
// of semIdBits, set while that word is full, so the lowest free id is two count-trailing-zeros away.
constexpr int kSemIdWords = (OS_MAX_SEMAPHORES + 63) / 64;
constexpr int kSemIdFullWords = (kSemIdWords + 63) / 64;

// ---- locks ----------------------------------------------------------------------------------------
//
// A thread that holds more than one of these takes them in this order, never the other way round:
//
//   gqMutex -> a queue's qMutex -> gsMutex -> a semaphore's semMutex -> the allocation records' lock
//
// gtMutex (the task table) is taken alone. globMutex is the callers' critical section; the wrapper
// itself never takes it. A queue's list (firstP, lastP, count) has no lock of its own: it is
// guarded by the semMutex of the queue's semaphore, so a send or a receive changes the list and the
// semaphore's count under one lock.
//
// Nothing is reported under a lock: a report allocates (the allocation records' lock) and queues
// a record (the trace queue's semMutex), so a locked section decides, says why in a text, and the
// caller reports after releasing the lock. The one exception keeps the order above: a queue makes
// its semaphore under gqMutex, so the semaphore's own refusals are reported with gqMutex held.
// The lock guard is used where no cancellation point lies inside the locked section (oscancel.h).

struct tOsWrap {
    pthread_mutex_t globMutex; // the callers' critical section
    sint32 numOfTasks;         // entries 0 .. numOfTasks-1 of tcbArray are in use
    tTcb tcbArray[OS_MAX_TASKS];
    pthread_mutex_t gtMutex; // task table, start barrier, dumps of tasks
    sint32 numOfQueues;
    tQcb qcbArray[OS_MAX_QUEUES];
    pthread_mutex_t gqMutex; // queue creation, deletion, flushing
    sint32 numOfSems;
    tScb scbArray[OS_MAX_SEMAPHORES + 1]; // entry 0 is never used
    pthread_mutex_t gsMutex;              // semaphore ids, creation, deletion
    struct timespec bootTime;             // origin of the up-time clock
    uint64_t semIdBits[kSemIdWords];
    uint64_t semIdFull[kSemIdFullWords];
};

static_assert(kSemIdWords * 64 >= OS_MAX_SEMAPHORES, "a bit for every semaphore id");
static_assert(kSemIdFullWords * 64 >= kSemIdWords, "a summary bit for every id word");
static_assert(sizeof(tTcb::name) == 31 && sizeof(tScb::name) == 31 && sizeof(tQcb::name) == 31,
              "names hold 30 characters and the terminator");

// Zero at load, which is the empty state of every table.
extern tOsWrap OWData;

// ---- mutex primitives ---------------------------------------------------------------------------

// Makes a mutex; reports nothing, as it runs under table locks: a caller that sees it fail reports
// kMutexCreateFailure, then its own text, once its lock is released.
eOsRet MutexCreate(pthread_mutex_t *mutexP);
inline constexpr const char *kMutexCreateFailure = "MutexCreate(): pthread_mutex_init() failed.\n";
eOsRet MutexDelete(pthread_mutex_t *mutexP);
void MutexLock(pthread_mutex_t *mutexP);
void MutexUnlock(pthread_mutex_t *mutexP);

// Test hooks, 0 in normal use: when set to n, the n-th MutexCreate, or the n-th destruction of a
// semaphore's mutex, from now on fails as if the OS refused.
extern std::atomic<int> OsWrapTestMutexCreateFailAt;
extern std::atomic<int> OsWrapTestSemDestroyFailAt;
// Counts a hook down; true on the call that is to fail.
bool OsWrapTestFailureDue(std::atomic<int> &countdown);

// Holds a wrapper mutex for one scope.
class MutexGuard {
  public:
    explicit MutexGuard(pthread_mutex_t *mutexP) : mutexP_(mutexP) { MutexLock(mutexP_); }
    ~MutexGuard() { MutexUnlock(mutexP_); }
    MutexGuard(const MutexGuard &) = delete;
    MutexGuard &operator=(const MutexGuard &) = delete;

  private:
    pthread_mutex_t *mutexP_;
};

// Addresses are reported by their low 32 bits ("0x%x").
inline uint32 Addr32(const void *p) { return static_cast<uint32>(reinterpret_cast<uintptr_t>(p)); }

// Copies at most 30 characters of srcP into a 31-byte name, always terminated.
void OsCopyName(char *dstP, const char *srcP);

// ---- table dumps ----------------------------------------------------------------------------------

// What one locked pass of a dump copied: how many rows, and whether rows may follow.
struct tDumpPass {
    int rows = 0;
    bool more = false;
};

// The table dumps copy this many rows under the table's lock, print them after releasing it, and
// go on with the next rows.
constexpr int kDumpChunk = 32;

// Dumps a table a chunk of rows at a time: copy(next, rows) runs under lockP, copies at most
// kDumpChunk rows from position next on and moves next past what it read; print(row) runs after
// the lock is released. A titled dump opens with "Show <title> Control Block" and the table's
// count (*countP, read under the lock) and closes with an empty line; a count above maxCount (a
// corrupted table) ends the dump before anything of the pass is printed.
template <typename Row, typename Copy, typename Print>
void DumpTable(const char *titleP, pthread_mutex_t *lockP, const sint32 *countP, sint32 maxCount, Copy copy,
               Print print) {
    Row rows[kDumpChunk];
    int next = 0;
    for (bool first = true;; first = false) {
        tDumpPass pass;
        sint32 count = 0;
        {
            MutexGuard guard(lockP);
            if (countP != nullptr) count = *countP;
            if (count > maxCount) return;
            pass = copy(next, rows);
        }
        if (first && titleP != nullptr) SvcPrintf("Show %s Control Block........Total number is %d\n", titleP, count);
        for (int i = 0; i < pass.rows; ++i) print(rows[i]);
        if (!pass.more) break;
    }
    if (titleP != nullptr) SvcPrintf("\n");
}

// ---- time ---------------------------------------------------------------------------------------

void TimeSpecFix(struct timespec *tsP);
void TimeSpecAdd(struct timespec *aP, const struct timespec *bP); // a += b
void TimeSpecSub(struct timespec *aP, const struct timespec *bP); // a -= b
tOsTime TimeSpec2OsTime(struct timespec *tsP, int clockType);

// ---- semaphore ids (gsMutex held) ----------------------------------------------------------------

eOsRet GetFreeSemId(uint32 *semIdP);
void ReleaseAssignedSemId(uint32 semId);

// ---- one semaphore, its semMutex held (the queues keep their list under the same lock) ------------

// Takes one unit, waiting as OsWrap__SemWait does; returns with semMutex held again. Reports nothing:
// the caller reports eOS_RET_FAILURE with SemReportWaitFailure after unlocking.
eOsRet SemTakeLocked(tScb &scb, sint32 timeout);
// Adds one unit; true when a waiter is to be woken: the caller then unlocks and calls SemWake.
// The signal is given after unlocking, so that the woken waiter does not find semMutex still taken.
bool SemGiveLocked(tScb &scb);
// Wakes one waiter after SemGiveLocked said so. The woken waiter may meanwhile have taken the unit
// and deleted the semaphore (drain, then delete): the deletion waits until this signal is done.
void SemWake(tScb &scb);
void SemReportWaitFailure();

// ---- memory accounting ---------------------------------------------------------------------------

struct tMemRecord {
    uint32 inUseB;
    void *memP;
    uint32 size;
    char timeStamp[17]; // "Mmm dd hh:mm:ss"
    char fileName[21];
    uint32 lineNo;
};

extern tOsSysMemAllocHandler OsMemAlloc;
extern tOsSysMemFreeHandler OsMemFree;
extern uint32 MemRecordFlag;
// The allocation records and their full mark, guarded by MemRecordMutex: the innermost lock, as
// any report may allocate, and so record, under any other lock.
extern pthread_mutex_t MemRecordMutex;
extern uint32 MemRecordFull;
extern tMemRecord MemDebugRecord[OS_MAX_MEM_RECORDS];

#endif // RELAYKIT_OSWRAPLX_H
