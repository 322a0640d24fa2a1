// zqcmtrace.cpp - trace configuration, the record writers and the trace task.
#include <syslog.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <mutex>

#include "ostaskend.h"
#include "oswrap.h"
#include "svc.h"
#include "svcsyslog.h"
#include "zqcmtrace.h"
#include "zqcmtrace_hooks.h"
#include "zqcmtrace_internal.h"
#include "zqcmtrace_modules.h"
#include "zqsysconfig.h"

namespace {

// Composition buffer of one record: the prefix and the caller's text are appended at the running
// length, never past the last byte; the record is cut at 511 characters, so that it stays
// terminated inside its 512-byte block.
constexpr size_t kComposeLen = TRACE_PRINTF_BUF_LEN + TRACE_PRINTF_BUF_MARGIN_LEN;
static_assert(kComposeLen == 544, "a record is composed in 544 bytes");

struct tRecord {
    char text[kComposeLen];
    size_t len;
};

void RecordAppendV(tRecord &rec, const char *formatP, va_list args) {
    if (rec.len >= kComposeLen - 1) return;
    int written = vsnprintf(rec.text + rec.len, kComposeLen - rec.len, formatP, args);
    if (written < 0) {
        rec.text[rec.len] = '\0';
        return;
    }
    rec.len = std::min(rec.len + static_cast<size_t>(written), kComposeLen - 1);
}

// The prefix fields are appended directly rather than through printf: this is the caller's cost
// of every record. Each appender gives what the printf form in its comment would give.

void RecordAppendText(tRecord &rec, const char *textP) { // "%s"
    size_t room = kComposeLen - 1 - rec.len;
    size_t length = strnlen(textP, room);
    memcpy(rec.text + rec.len, textP, length);
    rec.len += length;
    rec.text[rec.len] = '\0';
}

void RecordAppendTexts(tRecord &rec, std::initializer_list<const char *> texts) {
    for (const char *textP : texts) RecordAppendText(rec, textP);
}

// "%d" for width 0, "%0<width>d" for a value that is not negative.
void RecordAppendDecimal(tRecord &rec, long long value, int width = 0) {
    char digits[24];
    char *endP = digits + sizeof digits;
    char *p = endP;
    *--p = '\0';
    bool negative = value < 0;
    unsigned long long magnitude =
        negative ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (endP - 1 - p < width) *--p = '0';
    if (negative) *--p = '-';
    RecordAppendText(rec, p);
}

void RecordAppendHex8(tRecord &rec, uint32 value) { // "%08x"
    static constexpr char kHex[] = "0123456789abcdef";
    char digits[9];
    for (int i = 7; i >= 0; --i, value >>= 4) digits[i] = kHex[value & 0xF];
    digits[8] = '\0';
    RecordAppendText(rec, digits);
}

void RecordStart(tRecord &rec) {
    rec.text[0] = '\0';
    rec.len = 0;
}

void RecordFinish(tRecord &rec) {
    rec.text[TRACE_PRINTF_BUF_LEN - 1] = '\0';
    rec.len = strlen(rec.text);
}

// A format that begins with "%t" gets the system time "TH%uL%u:"; the rest of the format is
// returned.
const char *RecordTimeDirective(tRecord &rec, const char *formatP) {
    if (formatP[0] == '%' && formatP[1] == 't') {
        tOsTime now = OsWrap__GetSysTime();
        RecordAppendText(rec, "TH");
        RecordAppendDecimal(rec, now.high);
        RecordAppendText(rec, "L");
        RecordAppendDecimal(rec, now.low);
        RecordAppendText(rec, ":");
        return formatP + 2;
    }
    return formatP;
}

// Local time of day of one second, converted once per second and thread: the conversion takes a
// process-wide lock that syslog takes too.
struct tLocalSecond {
    time_t second = -1;
    bool valid = false;
    int hour = 0;
    int minute = 0;
    int sec = 0;
};
thread_local tLocalSecond localSecond;

// The wall-clock field: "[%02d:%02d:%02d.%03ld]:" in trace records, "[%02d:%02d:%02d.%03ld] " in
// log records. Left out when the local time cannot be had.
void RecordWallClock(tRecord &rec, bool logForm) {
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return;
    tLocalSecond &cached = localSecond;
    if (cached.second != now.tv_sec) {
        struct tm local;
        cached.second = now.tv_sec;
        cached.valid = localtime_r(&now.tv_sec, &local) != nullptr;
        if (cached.valid) {
            cached.hour = local.tm_hour;
            cached.minute = local.tm_min;
            cached.sec = local.tm_sec;
        }
    }
    if (!cached.valid) return;
    RecordAppendText(rec, "[");
    RecordAppendDecimal(rec, cached.hour, 2);
    RecordAppendText(rec, ":");
    RecordAppendDecimal(rec, cached.minute, 2);
    RecordAppendText(rec, ":");
    RecordAppendDecimal(rec, cached.sec, 2);
    RecordAppendText(rec, ".");
    RecordAppendDecimal(rec, now.tv_nsec / 1000000, 3);
    RecordAppendText(rec, logForm ? "] " : "]:");
}

// When the ONU text filter is on, a record passes only if it names the selected link and ONU in
// the colon form "1:1:<link>:<onu>" or in the comma form "1,1,<link>,<onu>".
bool RecordPassesOnuTextFilter(const tRecord &rec) {
    if (!SharedIsTrue(OnuTraceMaskEnable)) return true;
    int linkId = SharedGet(OnuTraceMasks[0].linkId);
    int onuId = SharedGet(OnuTraceMasks[0].onuId);
    char key[FILTER_KEY_BUF_LEN];
    snprintf(key, sizeof key, "1:1:%d:%d", linkId, onuId);
    if (strstr(rec.text, key) != nullptr) return true;
    snprintf(key, sizeof key, "1,1,%d,%d", linkId, onuId);
    return strstr(rec.text, key) != nullptr;
}

std::atomic<tOsQueueId> traceQueueId{OS_QUEUE_ID_INVALID};
std::atomic<tOsTaskId> traceTaskId{OS_TASK_ID_INVALID};
// The block that asks the trace task to end. It is queued behind the records already waiting, so
// the task writes them first; the task frees it and returns.
std::atomic<tOsMsg> traceTaskEndRequest{nullptr};
std::mutex traceStartMutex;

// A writer that fails inside the wrapper (allocation, queue) is reported through LogInterface
// again; this keeps such a report from recursing into the writer that caused it.
thread_local bool inQueuedWriter = false;

struct tWriterGuard {
    bool entered;
    tWriterGuard() : entered(!inQueuedWriter) { inQueuedWriter = true; }
    ~tWriterGuard() {
        if (entered) inQueuedWriter = false;
    }
};

bool TraceStarted() {
    return SharedGetAcquire(LogTraceInitDone) == eOS_BOOL_TRUE;
}

// Records on the trace queue, not yet taken by the trace task. A writer takes its place before it
// allocates, so a full backlog costs no memory; the trace task gives the place back as it takes
// the record.
std::atomic<uint32> traceBacklog{0};
// Records dropped since the trace task's last summary. TraceDropCnt is the hosts' running total,
// which a host may clear; this count belongs to the trace task alone.
std::atomic<uint32> dropsSinceSummary{0};

void RecordDropped() {
    SharedIncrement(TraceDropCnt);
    dropsSinceSummary.fetch_add(1, std::memory_order_relaxed);
}

// Copies the record into a 512-byte block and sends it to the trace task, which frees it. A full
// backlog or a refused block drops the record and counts it; the allocator's report of the refusal
// reaches this thread's writer again and stops at its guard.
bool RecordQueue(const tRecord &rec) {
    if (traceBacklog.fetch_add(1, std::memory_order_relaxed) >= TRACE_QUEUE_LIMIT) {
        traceBacklog.fetch_sub(1, std::memory_order_relaxed);
        RecordDropped();
        return false;
    }
    void *blockP = OsWrap__Alloc(TRACE_PRINTF_BUF_LEN);
    if (blockP != nullptr) {
        memcpy(blockP, rec.text, TRACE_PRINTF_BUF_LEN);
        if (OsWrap__QueueSend(traceQueueId.load(std::memory_order_acquire), blockP) ==
            eOS_RET_SUCCESS)
            return true;
        OsWrap__Free(blockP);
    }
    traceBacklog.fetch_sub(1, std::memory_order_relaxed);
    RecordDropped();
    return false;
}

std::atomic<tLogObserver> logObserver{nullptr};

const char *OrEmpty(const char *textP) { return textP != nullptr ? textP : ""; }

// "{%s:%d:%s()}: " with file, line and function.
void RecordAppendLocation(tRecord &rec, const char *fileNameP, uint32 lineNum,
                          const char *funcNameP) {
    RecordAppendTexts(rec, {"{", OrEmpty(fileNameP), ":"});
    RecordAppendDecimal(rec, static_cast<int>(lineNum));
    RecordAppendTexts(rec, {":", OrEmpty(funcNameP), "()}: "});
}

// The tail of the CM and service trace records: the time stamp the caller's format asks for, the
// caller's location, then the caller's text; the record is then complete.
void RecordAppendLocatedText(tRecord &rec, const char *fileNameP, uint32 lineNum, const char *funcNameP,
                             const char *formatP, va_list args) {
    const char *restP = RecordTimeDirective(rec, OrEmpty(formatP));
    RecordAppendLocation(rec, fileNameP, lineNum, funcNameP);
    RecordAppendV(rec, restP, args);
    RecordFinish(rec);
}

// A log record: "[LOG]:[TID<id>] ", the time the caller's format asks for, the wall clock,
// "{file:line}: " and the caller's text.
void RecordComposeLog(tRecord &rec, const char *fileNameP, uint32 lineNum, const char *formatP,
                      va_list args) {
    RecordStart(rec);
    RecordAppendText(rec, "[LOG]:[TID");
    RecordAppendHex8(rec, OsWrap__TaskId());
    RecordAppendText(rec, "] ");
    const char *restP = RecordTimeDirective(rec, OrEmpty(formatP));
    RecordWallClock(rec, true);
    RecordAppendTexts(rec, {"{", OrEmpty(fileNameP), ":"});
    RecordAppendDecimal(rec, static_cast<int>(lineNum));
    RecordAppendText(rec, "}: ");
    RecordAppendV(rec, restP, args);
    RecordFinish(rec);
}

// Written by the trace task itself, to the same outputs as a queued record.
void TraceTaskWrite(const char *recordP) {
    SvcWriteSyslog(recordP);
    OsWrap__TextOut(const_cast<char *>(recordP));
}

// Once the backlog has drained, the trace task writes one log record with the records dropped
// since its last one. It is written directly, not queued, so it can be neither dropped nor
// refused, and whatever the log level: it stands for records that passed their gates. A drop
// counted after this check is summarised at the next drain.
__attribute__((format(printf, 3, 4))) void TraceTaskWriteLog(const char *fileNameP, uint32 lineNum,
                                                             const char *formatP, ...) {
    tRecord rec;
    va_list args;
    va_start(args, formatP);
    RecordComposeLog(rec, fileNameP, lineNum, formatP, args);
    va_end(args);
    TraceTaskWrite(rec.text);
}

void TraceTaskSummariseDrops() {
    uint32 dropped = dropsSinceSummary.exchange(0, std::memory_order_relaxed);
    if (dropped == 0) return;
    TraceTaskWriteLog(__FILE__, __LINE__, "TraceTask(): Trace records dropped: N%u.\n",
                      static_cast<unsigned>(dropped));
}

// The levels a process starts with, before InitTrace.
constexpr eZqTraceLevel kTraceLevelAtStart = eZQ_TL_INFO;
constexpr eZqLogLevel kLogLevelAtStart = eZQ_LL_MAJOR;

// Setters of masks are serialised, so that two changes at the same time cannot leave a sum that
// misses one of them; the sum is ORed up aside and stored at once, so readers never see a partial
// one.
std::mutex maskSetMutex;

// The entry of a module in a mask table; a module outside the table has no mask.
template <size_t N>
eZqCmTraceMask MaskOf(eZqCmTraceMask (&table)[N], uint32 module) {
    return module < N ? SharedGet(table[module]) : eZQ_CM_TM_NONE;
}

// Sets a module's entry and stores the table's new sum whole, so that a call site never reads a
// half-built sum. A module outside the table is ignored.
template <size_t N>
void SetMaskAndSum(eZqCmTraceMask (&table)[N], uint32 module, eZqCmTraceMask mask, eZqCmTraceMask &sum) {
    if (module >= N) return;
    std::lock_guard<std::mutex> lock(maskSetMutex);
    SharedSet(table[module], mask);
    uint32 total = 0;
    for (const eZqCmTraceMask &entry : table) total |= static_cast<uint32>(SharedGet(entry));
    SharedSet(sum, static_cast<eZqCmTraceMask>(total));
}

eOsRet TraceTaskStart() {
    std::lock_guard<std::mutex> lock(traceStartMutex);
    if (TraceStarted()) return eOS_RET_SUCCESS;
    tOsQueueId queueId = traceQueueId.load();
    if (queueId == OS_QUEUE_ID_INVALID) {
        eOsRet ret = OsWrap__QueueCreate(const_cast<char *>("TraceQueue"), 100, &queueId);
        if (ret != eOS_RET_SUCCESS) return ret;
        traceQueueId.store(queueId, std::memory_order_release);
    }
    tOsTaskId taskId = 0;
    eOsRet ret = OsWrap__TaskCreate(const_cast<char *>("TraceTask"), TraceTask, eOS_PRI_LOW,
                                    0x20000, &taskId);
    if (ret != eOS_RET_SUCCESS) return ret;
    traceTaskId.store(taskId);
    SharedSetRelease(LogTraceInitDone, eOS_BOOL_TRUE);
    return eOS_RET_SUCCESS;
}

// Asks the trace task to end once it has written what is queued, and removes its entry when it
// has; false when it did not end within ten seconds.
bool TraceTaskEnd() {
    tOsMsg requestP = OsWrap__Alloc(TRACE_PRINTF_BUF_LEN);
    if (requestP == nullptr) return false;
    traceTaskEndRequest.store(requestP, std::memory_order_release);
    if (OsWrap__QueueSend(traceQueueId.load(), requestP) != eOS_RET_SUCCESS) {
        OsWrap__Free(requestP);
        return false;
    }
    return OsWrapRemoveEndedTask(traceTaskId.exchange(OS_TASK_ID_INVALID), 10000);
}

} // namespace

void LogSetTestObserver(tLogObserver observer) { logObserver.store(observer); }

bool TraceResetForTest() {
    std::lock_guard<std::mutex> lock(traceStartMutex);
    if (TraceStarted()) {
        SharedSetRelease(LogTraceInitDone, eOS_BOOL_FALSE); // writers queue nothing more
        if (!TraceTaskEnd()) return false;
    }
    // The queue goes with whatever a writer queued behind the end request.
    if (tOsQueueId queueId = traceQueueId.exchange(OS_QUEUE_ID_INVALID); queueId != OS_QUEUE_ID_INVALID)
        (void)OsWrap__QueueDelete(queueId);
    traceTaskEndRequest.store(nullptr);
    traceBacklog.store(0);
    dropsSinceSummary.store(0);
    SharedSet(TraceDropCnt, 0);
    for (eZqCmTraceMask &mask : TraceMasks) SharedSet(mask, eZQ_CM_TM_NONE);
    for (eZqCmTraceMask &mask : CmTraceMasks) SharedSet(mask, eZQ_CM_TM_NONE);
    SharedSet(TraceMaskSum, eZQ_CM_TM_NONE);
    SharedSet(CmTraceMaskSum, eZQ_CM_TM_NONE);
    SharedSet(TraceLevel, kTraceLevelAtStart);
    SharedSet(LogLevel, kLogLevelAtStart);
    SharedSet(traceFieldBitMask, static_cast<uint32>(eZQ_TRACE_FIELD_BIT_MASK_NONE));
    OnuTraceClear();
    SharedSet(WordOf(OnuTraceMaskEnable), static_cast<uint32>(eOS_BOOL_FALSE));
    return true;
}
bool TraceInterfaceExtV(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                        eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                        uint32 bitMask, const void *linkKeyP, uint32 onuId, const char *formatP,
                        va_list args) {
    if (!TraceStarted()) return false;
    uint32 module = RawValue(moduleId);
    if (module >= 1 && module < ZQ_TRACE_MODULE_NUM) {
        if ((SharedGet(TraceMasks[module]) & mask) == 0) return false;
    } else if (module == eSVC_MODULE_ID_NONE && static_cast<uint32>(mask) == 0xFFFFFFFFu) {
        if (RawValue(traceLevel) < static_cast<uint32>(SharedGet(TraceLevel)))
            return false;
    } else {
        return false;
    }
    tWriterGuard guard;
    if (!guard.entered) return false;

    uint32 fields = SharedGet(traceFieldBitMask);
    tRecord rec;
    RecordStart(rec);
    if (bitMask & eZQ_TRACE_BIT_MASK_TIME_STAMP) {
        RecordWallClock(rec, false);
    } else {
        RecordAppendText(rec, ":");
    }
    RecordAppendTexts(rec, {"[", ZqSubModuleStr[module], "]:"});
    if (fields & eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID) {
        if (bitMask & eZQ_TRACE_BIT_MASK_TRACE_LEVEL) {
            uint32 level = std::min(RawValue(traceLevel),
                                    static_cast<uint32>(eZqTraceLevel_LAST));
            RecordAppendTexts(rec, {"[", ZqTraceStr[level], "]:"});
        } else {
            RecordAppendText(rec, ":");
        }
        if (bitMask & eZQ_TRACE_BIT_MASK_TASK_ID) {
            RecordAppendText(rec, "[TID");
            RecordAppendHex8(rec, OsWrap__TaskId());
            RecordAppendText(rec, "]:");
        } else {
            RecordAppendText(rec, ":");
        }
    } else {
        RecordAppendText(rec, "::");
    }
    if ((fields & eZQ_TRACE_FIELD_BIT_MASK_FILE_NAME_LINE) &&
        (bitMask & eZQ_TRACE_BIT_MASK_FILE_NAME_AND_LINE_NUM)) {
        RecordAppendTexts(rec, {"[", OrEmpty(fileNameP), ":"});
        RecordAppendDecimal(rec, static_cast<int>(lineNum));
        RecordAppendTexts(rec, {":", OrEmpty(funcNameP), "()]:"});
    } else {
        RecordAppendTexts(rec, {"::", OrEmpty(funcNameP), "():"});
    }
    const tZqCmLinkKey *keyP = static_cast<const tZqCmLinkKey *>(linkKeyP);
    if ((fields & eZQ_TRACE_FIELD_BIT_MASK_LINK_ID) && (bitMask & eZQ_TRACE_BIT_MASK_PON_LINK_ID)) {
        if (keyP == nullptr) return false;
        RecordAppendText(rec, "[");
        RecordAppendDecimal(rec, keyP->slotId);
        RecordAppendText(rec, ",");
        RecordAppendDecimal(rec, keyP->deviceId);
        RecordAppendText(rec, ",");
        RecordAppendDecimal(rec, keyP->linkId);
        RecordAppendText(rec, "]:");
    } else {
        RecordAppendText(rec, ":");
    }
    if ((fields & eZQ_TRACE_FIELD_BIT_MASK_ONU_ID) && (bitMask & eZQ_TRACE_BIT_MASK_ONU_ID)) {
        if (!(bitMask & eZQ_TRACE_BIT_MASK_PON_LINK_ID) || keyP == nullptr) return false;
        if (!OnuTraceBitIsSet(keyP->slotId, keyP->deviceId, keyP->linkId, onuId)) return false;
        RecordAppendText(rec, "[");
        RecordAppendDecimal(rec, static_cast<int>(onuId));
        RecordAppendText(rec, "]: ");
    } else {
        RecordAppendText(rec, ": ");
    }
    RecordAppendV(rec, OrEmpty(formatP), args);
    RecordFinish(rec);
    return RecordQueue(rec);
}

bool TraceInterfaceExtQueued(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                             eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                             uint32 bitMask, const void *linkKeyP, uint32 onuId,
                             const char *formatP, ...) {
    va_list args;
    va_start(args, formatP);
    bool queued = TraceInterfaceExtV(fileNameP, lineNum, funcNameP, moduleId, mask, traceLevel,
                                     bitMask, linkKeyP, onuId, formatP, args);
    va_end(args);
    return queued;
}

extern "C" {

// ---- configuration ------------------------------------------------------------------------------

eZqCmTraceMask TraceMasks[ZQ_TRACE_MODULE_NUM];
eZqCmTraceMask TraceMaskSum = eZQ_CM_TM_NONE;
eZqCmTraceMask CmTraceMasks[ZQ_CM_TRACE_MODULE_NUM];
eZqCmTraceMask CmTraceMaskSum = eZQ_CM_TM_NONE;
eZqTraceLevel TraceLevel = kTraceLevelAtStart;
eZqLogLevel LogLevel = kLogLevelAtStart;
uint32 traceFieldBitMask = eZQ_TRACE_FIELD_BIT_MASK_NONE;
eOsBool LogTraceInitDone = eOS_BOOL_FALSE;
uint32 TraceDropCnt = 0;

constexpr const char *const ZqSubModuleStr[ZQ_TRACE_MODULE_NUM + 1] = {
    "LOG",     "SVC",         "SVCMGR",     "OMCI_ME",     "OMCI_L",       "OMCI_H",
    "OMCI_AGT_L", "OMCI_AGT_H", "OMCI_MIB", "OMCI_PM",     "OMCC",         "ME_TEST_AGT",
    "SNMP",    "SWDL",        "LMT",        "SVCT",        "PAL",          "ALARM",
    "PM",      "EXT_CML_API", "IN_CML_API", "CML_TX",      "CML_RX",       "DISP",
    "EVT",     "PAL_TX",      "PAL_RX",     "IGMP",        "SQL",          "DEV",
    "SYS",     "VOIP",        "IPIF",       "CML_REQ",     "PS",           "CFGFILE",
    "HB",      "SUPRESS_LOSI", "LOG",       "TOD",         "INVALID"};
const char *const ZqTraceStr[eZqTraceLevel_LAST + 1] = {
    "DEBG", "INFO", "NOTICE", "WARNING", "ERR", "CRIT", "ALERT", "EMERG", "INVALID"};
const char *const ZqLogStr[eZQ_LL_MAX + 1] = {"MINOR", "MAJOR", "CRITICAL", "NO_LOG", "INVALID"};

static_assert(ModuleNamesMatchRows(ZqSubModuleStr), "a module's records carry the name of its row");
static_assert(ZQ_TRACE_MODULE_NUM == eSVC_MODULE_ID_INVALID, "a mask for every service module");
static_assert(ZQ_CM_TRACE_MODULE_NUM == eZQ_OLT_MAN_MODULE_MAX, "a mask for every CM module");

eZqCmTraceMask TraceGetMask(eSvcModuleId moduleId) { return MaskOf(TraceMasks, RawValue(moduleId)); }

void TraceSetMask(eSvcModuleId moduleId, eZqCmTraceMask traceMask) {
    SetMaskAndSum(TraceMasks, RawValue(moduleId), traceMask, TraceMaskSum);
}

eZqCmTraceMask CmTraceGetMask(eZqOltModuleId moduleId) { return MaskOf(CmTraceMasks, RawValue(moduleId)); }

void CmTraceSetMask(eZqOltModuleId moduleId, eZqCmTraceMask traceMask) {
    SetMaskAndSum(CmTraceMasks, RawValue(moduleId), traceMask, CmTraceMaskSum);
}

eZqLogLevel LogGetLevel(void) { return SharedGet(LogLevel); }

void LogSetLevel(eZqLogLevel level) {
    if (RawValue(level) > eZQ_LL_CRITICAL) {
        SvcPrintf("LogSetLevel(): Invalid log level: L%d.\n", static_cast<int>(RawValue(level)));
        return;
    }
    SharedSet(LogLevel, level);
    static constexpr eZqTraceLevel kMatchingTraceLevel[] = {eZQ_TL_DEBUG, eZQ_TL_WARNING,
                                                           eZQ_TL_ERR};
    TraceSetLevel(kMatchingTraceLevel[RawValue(level)]);
}

void TraceSetLevel(eZqTraceLevel level) {
    if (RawValue(level) > eZQ_TL_EMERG) {
        SvcPrintf("TraceSetLevel(): Invalid trace level: L%d.\n", static_cast<int>(RawValue(level)));
        return;
    }
    SharedSet(TraceLevel, level);
}

// One atomic change of the switches, so that setters in several threads never lose one another's.
void SetTraceFieldBitMask(eZqTraceFieldBitMask mask, eOsBool isEnable) {
    if (RawValue(isEnable) != 0) {
        SharedSetBits(traceFieldBitMask, RawValue(mask));
    } else {
        SharedClearBits(traceFieldBitMask, RawValue(mask));
    }
}

void DumpLogLevelAndTraceLevel(void) {
    uint32 traceLevel = std::min(static_cast<uint32>(SharedGet(TraceLevel)),
                                 static_cast<uint32>(eZqTraceLevel_LAST));
    uint32 logLevel =
        std::min(static_cast<uint32>(SharedGet(LogLevel)), static_cast<uint32>(eZQ_LL_MAX));
    SvcPrintf("Current: \nTraceLevel[%s] \nLogLevel[%s] \n", ZqTraceStr[traceLevel],
              ZqLogStr[logLevel]);
}

void InitTrace(void) {
    (void)TraceTaskStart();
    OnuTraceClear();
    SharedSet(traceFieldBitMask, static_cast<uint32>(eZQ_TRACE_FIELD_BIT_MASK_NONE));
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID, eOS_BOOL_TRUE);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_FILE_NAME_LINE, eOS_BOOL_TRUE);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LINK_ID, eOS_BOOL_TRUE);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_ONU_ID, eOS_BOOL_TRUE);
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
    disablelog();
}

void InitCmTrace(void) {}

void InitSyslog(void) { openlog("deduro", LOG_PID | LOG_NDELAY, LOG_USER); }

void enablelog(void) {
    LogSetLevel(eZQ_LL_MINOR);
    for (const tSvcTraceModule &row : kSvcTraceModules)
        if (row.enableLogMask != kKeep)
            TraceSetMask(row.module, static_cast<eZqCmTraceMask>(row.enableLogMask));
    for (const tCmTraceModule &row : kCmTraceModules)
        if (row.enableLogMask != kKeep)
            CmTraceSetMask(row.module, static_cast<eZqCmTraceMask>(row.enableLogMask));
}

void disablelog(void) {
    for (int module = 0; module < ZQ_TRACE_MODULE_NUM; ++module)
        TraceSetMask(static_cast<eSvcModuleId>(module), eZQ_CM_TM_NONE);
    for (int module = 0; module < ZQ_CM_TRACE_MODULE_NUM; ++module)
        CmTraceSetMask(static_cast<eZqOltModuleId>(module), eZQ_CM_TM_NONE);
    uint32 links = SharedGet(zqSysLinkNumPerDev);
    for (uint32 link = 1; link <= links; ++link)
        EnableLinkAllOnuTrace(1, 1, static_cast<uint8>(link));
    LogSetLevel(eZQ_LL_CRITICAL);
}

eZqCmTraceMask SvcTraceGetMask(eSvcModuleId moduleId) { return TraceGetMask(moduleId); }
void SvcTraceSetMask(eSvcModuleId moduleId, eZqCmTraceMask traceMask) {
    TraceSetMask(moduleId, traceMask);
}
eZqLogLevel SvcLogGetLevel(void) { return LogGetLevel(); }
void SvcLogSetLevel(eZqLogLevel level) { LogSetLevel(level); }

// ---- record writers -------------------------------------------------------------------------------

void(CmTraceInterface)(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                       eZqOltModuleId moduleId, eZqCmTraceMask mask, const char *formatP, ...) {
    uint32 module = RawValue(moduleId);
    if ((MaskOf(CmTraceMasks, module) & mask) == 0) return; // a module outside the table has no mask
    tRecord rec;
    RecordStart(rec);
    RecordAppendText(rec, "[CM-TRACE:");
    RecordAppendDecimal(rec, static_cast<int>(module));
    RecordAppendText(rec, "]: ");
    va_list args;
    va_start(args, formatP);
    RecordAppendLocatedText(rec, fileNameP, lineNum, funcNameP, formatP, args);
    va_end(args);
    OsWrap__TextOut(rec.text);
}

void(TraceInterface)(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                     eSvcModuleId moduleId, eZqCmTraceMask mask, const char *formatP, ...) {
    if (!TraceStarted()) return;
    uint32 module = RawValue(moduleId);
    if ((MaskOf(TraceMasks, module) & mask) == 0) return; // a module outside the table has no mask
    tWriterGuard guard;
    if (!guard.entered) return;
    tRecord rec;
    RecordStart(rec);
    RecordAppendText(rec, "[TRACE:");
    RecordAppendDecimal(rec, static_cast<int>(module));
    RecordAppendText(rec, "]:[TID");
    RecordAppendHex8(rec, OsWrap__TaskId());
    RecordAppendText(rec, "] ");
    va_list args;
    va_start(args, formatP);
    RecordAppendLocatedText(rec, fileNameP, lineNum, funcNameP, formatP, args);
    va_end(args);
    if (!RecordPassesOnuTextFilter(rec)) return;
    RecordQueue(rec);
}

void TraceInterface_Ext(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                        eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                        uint32 bitMask, void *linkKeyP, uint32 onuId, const char *formatP, ...) {
    va_list args;
    va_start(args, formatP);
    TraceInterfaceExtV(fileNameP, lineNum, funcNameP, moduleId, mask, traceLevel, bitMask,
                       linkKeyP, onuId, formatP, args);
    va_end(args);
}

void(LogInterface)(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                   eZqLogLevel logLevel, const char *formatP, ...) {
    (void)funcNameP;
    if (tLogObserver observer = logObserver.load(); observer != nullptr) {
        char text[TRACE_PRINTF_BUF_LEN];
        va_list args;
        va_start(args, formatP);
        const char *callerFormatP = OrEmpty(formatP);
        if (callerFormatP[0] == '%' && callerFormatP[1] == 't') callerFormatP += 2;
        vsnprintf(text, sizeof text, callerFormatP, args);
        va_end(args);
        observer(logLevel, text);
    }
    if (!TraceStarted()) return;
    if (RawValue(logLevel) < static_cast<uint32>(SharedGet(LogLevel))) return;
    tWriterGuard guard;
    if (!guard.entered) return;
    tRecord rec;
    va_list args;
    va_start(args, formatP);
    RecordComposeLog(rec, fileNameP, lineNum, formatP, args);
    va_end(args);
    if (!RecordPassesOnuTextFilter(rec)) return;
    RecordQueue(rec);
}

void TraceTask(void) {
    tOsQueueId queueId = traceQueueId.load(std::memory_order_acquire);
    for (;;) {
        tOsMsg msg = nullptr;
        if (OsWrap__QueueRcv(queueId, &msg, OS_WAIT_FOREVER) != eOS_RET_SUCCESS) continue;
        if (msg == nullptr) continue;
        if (msg == traceTaskEndRequest.load(std::memory_order_acquire)) {
            OsWrap__Free(msg);
            return;
        }
        traceBacklog.fetch_sub(1, std::memory_order_relaxed);
        TraceTaskWrite(static_cast<char *>(msg));
        OsWrap__Free(msg);
        if (traceBacklog.load(std::memory_order_relaxed) == 0) TraceTaskSummariseDrops();
    }
}

} // extern "C"
