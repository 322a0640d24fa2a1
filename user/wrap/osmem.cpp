// osmem.cpp - accounted memory: a header in front of every block, the live-block counter and the
// allocation records.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "oswraplx.h"
#include "svc.h"
#include "zqcmtrace.h"

tOsSysMemAllocHandler OsMemAlloc = nullptr;
tOsSysMemFreeHandler OsMemFree = nullptr;
uint32 MemRecordFlag = 0;
pthread_mutex_t MemRecordMutex = PTHREAD_MUTEX_INITIALIZER;
uint32 MemRecordFull = 0;
tMemRecord MemDebugRecord[OS_MAX_MEM_RECORDS];

extern "C" {
uint32 MemAllocCnt = 0;
}

namespace {

constexpr uint32 kHeaderSize = sizeof(tMsgBlock);

static_assert(sizeof(MemDebugRecord) / sizeof(MemDebugRecord[0]) == OS_MAX_MEM_RECORDS,
              "one record per slot");
static_assert(sizeof(tMemRecord::timeStamp) == 17 && sizeof(tMemRecord::fileName) == 21,
              "record text fields");

} // namespace

extern "C" {

void *OsWrap__AllocExt(uint32 size, char *fileName, uint32 lineNo, uint32 cntType) {
    const uint32 total = size + kHeaderSize;
    tMsgBlock *headerP = nullptr;
    if (total >= size) { // a size whose total wraps 32 bits is refused
        tOsSysMemAllocHandler allocP = SharedGetAcquire(OsMemAlloc);
        headerP = static_cast<tMsgBlock *>(allocP != nullptr ? allocP(total) : malloc(total));
    }
    if (headerP == nullptr) {
        OsMajorLog("OsWrap__Alloc(): malloc() failed: S%d.\n", static_cast<int>(size));
        return nullptr;
    }
    headerP->signature = static_cast<sint32>(OS_MSG_SIGNATURE_LIVE);
    SharedIncrement(MemAllocCnt);
    void *memP = headerP + 1;
    if (SharedGetAcquire(MemRecordFlag) != 0 && cntType != 0) MemRecordAdd(memP, size, fileName, lineNo);
    return memP;
}

void OsWrap__FreeExt(void *memP, char *fileName, uint32 lineNo, uint32 cntType) {
    (void)fileName;
    (void)lineNo;
    if (memP == nullptr) {
        OsMajorLog("OsWrap__Free(): NULL memP.\n");
        return;
    }
    tMsgBlock *headerP = static_cast<tMsgBlock *>(memP) - 1;
    if (headerP->signature != static_cast<sint32>(OS_MSG_SIGNATURE_LIVE)) {
        // Freed already, or never ours: releasing it would corrupt the allocator, and its address
        // may be recorded for a newer block.
        OsMajorLog("OsWrap__Free(): Corrupted or Freed Memory 0x%x\n", Addr32(memP));
        return;
    }
    if (SharedGetAcquire(MemRecordFlag) != 0 && cntType != 0) MemRecordRemove(memP);
    headerP->signature = static_cast<sint32>(OS_MSG_SIGNATURE_FREED);
    tOsSysMemFreeHandler freeP = SharedGetAcquire(OsMemFree);
    if (freeP != nullptr) {
        freeP(headerP);
    } else {
        free(headerP);
    }
    SharedDecrement(MemAllocCnt);
}

void OsWrap__RegisterMemHandleFunc(tOsSysMemAllocHandler memAllocFuncP, tOsSysMemFreeHandler memFreeFuncP) {
    SharedSetRelease(OsMemAlloc, memAllocFuncP != nullptr ? memAllocFuncP : static_cast<tOsSysMemAllocHandler>(malloc));
    SharedSetRelease(OsMemFree, memFreeFuncP != nullptr ? memFreeFuncP : static_cast<tOsSysMemFreeHandler>(free));
}

void ShowMemAllocCnt(void) {
    SvcPrintf("Memory Allocation Count %u.\n", SharedGet(MemAllocCnt));
}

// ---- allocation records ---------------------------------------------------------------------------

void MemRecordStart(uint32 flag) { SharedSetRelease(MemRecordFlag, flag); }

void MemRecordAdd(void *memP, uint32 size, char *fileName, uint32 lineNo) {
    // "Www Mmm dd hh:mm:ss yyyy\n": the 15 characters after the weekday.
    const time_t now = time(nullptr);
    char ctimeText[32] = {};
    char stamp[17] = {};
    if (ctime_r(&now, ctimeText) != nullptr) memcpy(stamp, ctimeText + 4, 15);

    MutexGuard guard(&MemRecordMutex);
    if (MemRecordFull != 0) return;
    for (tMemRecord &record : MemDebugRecord) {
        if (record.inUseB != 0) continue;
        record.inUseB = 1;
        record.memP = memP;
        record.size = size;
        memcpy(record.timeStamp, stamp, sizeof record.timeStamp);
        memset(record.fileName, 0, sizeof record.fileName);
        if (fileName != nullptr) strncpy(record.fileName, fileName, sizeof record.fileName - 1);
        record.lineNo = lineNo;
        return;
    }
    MemRecordFull = 1;
}

void MemRecordRemove(void *memP) {
    MutexGuard guard(&MemRecordMutex);
    for (tMemRecord &record : MemDebugRecord) {
        if (record.inUseB != 0 && record.memP == memP) {
            record.inUseB = 0;
            MemRecordFull = 0;
            return;
        }
    }
}

void MemRecordClear(void) {
    MutexGuard guard(&MemRecordMutex);
    memset(MemDebugRecord, 0, sizeof MemDebugRecord);
    MemRecordFull = 0;
}

void MemRecordDump(void) {
    struct Row {
        int index;
        tMemRecord record;
    };
    auto copy = [](int &next, Row *rows) {
        tDumpPass pass;
        for (; next < OS_MAX_MEM_RECORDS && pass.rows < kDumpChunk; ++next) {
            if (MemDebugRecord[next].inUseB == 0) continue;
            rows[pass.rows++] = {next, MemDebugRecord[next]};
        }
        pass.more = next < OS_MAX_MEM_RECORDS;
        return pass;
    };
    DumpTable<Row>(nullptr, &MemRecordMutex, nullptr, 0, copy, [](const Row &row) {
        const tMemRecord &record = row.record;
        SvcPrintf("%08d, %s, %s:%d, %d, 0x%x\n", row.index, record.timeStamp, record.fileName,
                  static_cast<int>(record.lineNo), static_cast<int>(record.size), Addr32(record.memP));
    });
}

} // extern "C"
