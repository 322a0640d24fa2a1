/* zqcmtrace.h - the trace and log facility of the stack.
 *
 * Configuration: one trace mask per service module (TraceMasks) and per CM module (CmTraceMasks),
 * the OR of each table (TraceMaskSum, CmTraceMaskSum), a trace level, a log level and the global
 * record-field switches. The guarded call-site forms below read the sums in the host's code, so
 * they are exported variables; change them only through the setters.
 *
 * Records: every writer tests its gate before formatting anything, then composes one record of at
 * most 511 characters in the calling thread. CmTraceInterface writes it at once through
 * OsWrap__TextOut; the three other writers copy it into a 512-byte block and queue it to the one
 * trace task, which writes it to syslog ("DEDURO") and OsWrap__TextOut and then frees the block.
 * Until InitTrace has started the trace task, queued records are dropped. Writers never block on
 * output and never report a failure: a record that cannot be written is dropped.
 *
 * Backlog: at most TRACE_QUEUE_LIMIT (oscustom.h) queued records wait for the trace task; the
 * message queues of the OS wrapper are otherwise unbounded, but trace writers are everywhere, and
 * a module that logs in a loop must not take the process's memory. A writer that finds the
 * backlog full, or whose 512-byte block the allocator refuses, drops its record and adds 1 to
 * TraceDropCnt; it neither waits nor reports the record. When the backlog next drains, the trace
 * task writes one log record "TraceTask(): Trace records dropped: N<count>.\n" with the records
 * dropped since its last such record, whatever the log level. So every record that passed its
 * gates after InitTrace is either written by the trace task or counted in TraceDropCnt.
 *
 * Per-ONU filters: a bitmap with one bit per (slot 0..2, device 0..1, link 0..32, ONU 1..256) that
 * records carrying an ONU id must pass, and a text filter that, when switched on, lets through
 * only TraceInterface and LogInterface records naming one (link, ONU) pair.
 *
 * Every call may be made from any thread. The configuration is plain global data: a change made
 * while another thread composes a record may or may not apply to that record. */
#ifndef RELAYKIT_ZQCMTRACE_H
#define RELAYKIT_ZQCMTRACE_H

#include "oscustom.h"
#include "ostypes.h"
#include "svcdef.h"
#include "zqtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- configuration types -------------------------------------------------------------------- */

/* Trace mask bits: a trace call names the bits it belongs to and is written when its module's mask
 * has any of them. */
/* Hosts pass 0xFFFFFFFF as a mask. */
typedef enum OS_ENUM_UINT32 {
    eZQ_CM_TM_NONE = 0,
    eZQ_CM_TM_API = 1,
    eZQ_CM_TM_PM = 2,
    eZQ_CM_TM_MESSAGE = 4,
    eZQ_CM_TM_TIMER = 8,
    eZQ_CM_TM_BUFFER = 16,
    eZQ_CM_TM_INFO = 32,
    eZQ_CM_TM_PDU_INFO = 64,
    eZQ_CM_TM_PDU_DUMP = 128,
    eZQ_CM_TM_LOCK = 256,
    eZQ_CM_TM_COUNTER = 512,
    eZQ_CM_TM_MAX = 513
} eZqCmTraceMask;

#define DISABLED_TRACE_MASK 0

typedef enum OS_ENUM_UINT32 {
    eZQ_TL_DEBUG = 0,
    eZQ_TL_MIN = eZQ_TL_DEBUG,
    eZQ_TL_INFO = 1,
    eZQ_TL_NOTICE = 2,
    eZQ_TL_WARNING = 3,
    eZQ_TL_ERR = 4,
    eZQ_TL_CRIT = 5,
    eZQ_TL_ALERT = 6,
    eZQ_TL_EMERG = 7,
    eZqTraceLevel_LAST = 8
} eZqTraceLevel;

typedef enum OS_ENUM_UINT32 {
    eZQ_LL_MINOR = 0,
    eZQ_LL_MIN = eZQ_LL_MINOR,
    eZQ_LL_MAJOR = 1,
    eZQ_LL_CRITICAL = 2,
    eZQ_LL_NO_LOG = 3,
    eZQ_LL_MAX = 4
} eZqLogLevel;

/* Global record-field switches (traceFieldBitMask). */
typedef enum {
    eZQ_TRACE_FIELD_BIT_MASK_NONE = 0,
    eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID = 1,
    eZQ_TRACE_FIELD_BIT_MASK_FILE_NAME_LINE = 2,
    eZQ_TRACE_FIELD_BIT_MASK_LINK_ID = 4,
    eZQ_TRACE_FIELD_BIT_MASK_ONU_ID = 8,
    eZQ_TRACE_FIELD_BIT_MASK_MAX = 9
} eZqTraceFieldBitMask;

/* Fields one record asks for (the bitMask argument of TraceInterface_Ext). A field other than the
 * time stamp is printed only when its global switch is on as well. */
typedef enum {
    eZQ_TRACE_BIT_MASK_NONE = 0,
    eZQ_TRACE_BIT_MASK_TIME_STAMP = 1,
    eZQ_TRACE_BIT_MASK_TRACE_LEVEL = 2,
    eZQ_TRACE_BIT_MASK_TASK_ID = 4,
    eZQ_TRACE_BIT_MASK_FILE_NAME_AND_LINE_NUM = 8,
    eZQ_TRACE_BIT_MASK_PON_LINK_ID = 16,
    eZQ_TRACE_BIT_MASK_ONU_ID = 32,
    eZQ_TRACE_BIT_MASK_MAX = 33
} eZqTraceBitMask;

#define NORMAL_SYSTEM_TRACE_BIT_MASK                                                              \
    (eZQ_TRACE_BIT_MASK_TIME_STAMP | eZQ_TRACE_BIT_MASK_TRACE_LEVEL | eZQ_TRACE_BIT_MASK_TASK_ID | \
     eZQ_TRACE_BIT_MASK_FILE_NAME_AND_LINE_NUM)
#define NORMAL_LINK_TRACE_BIT_MASK (NORMAL_SYSTEM_TRACE_BIT_MASK | eZQ_TRACE_BIT_MASK_PON_LINK_ID)
#define NORMAL_ONU_TRACE_BIT_MASK (NORMAL_LINK_TRACE_BIT_MASK | eZQ_TRACE_BIT_MASK_ONU_ID)

OS_STATIC_ASSERT(sizeof(eZqCmTraceMask) == 4, "eZqCmTraceMask is 32 bits");
OS_STATIC_ASSERT(sizeof(eZqTraceLevel) == 4, "eZqTraceLevel is 32 bits");
OS_STATIC_ASSERT(sizeof(eZqLogLevel) == 4, "eZqLogLevel is 32 bits");
OS_STATIC_ASSERT(sizeof(eZqTraceFieldBitMask) == 4, "eZqTraceFieldBitMask is 32 bits");
OS_STATIC_ASSERT(NORMAL_ONU_TRACE_BIT_MASK == 63, "the ONU preset asks for every field");

#define ZQ_TRACE_MODULE_NUM 40 /* entries of TraceMasks, indexed by eSvcModuleId */
#define ZQ_CM_TRACE_MODULE_NUM 23 /* entries of CmTraceMasks, indexed by eZqOltModuleId */
#define TRACE_PRINTF_BUF_LEN 512  /* a record and its queued block; the text holds 511 characters */
#define TRACE_PRINTF_BUF_MARGIN_LEN 32
#define FILTER_KEY_BUF_LEN 64

/* ---- configuration ------------------------------------------------------------------------ */

RELAYKIT_API extern eZqCmTraceMask TraceMasks[ZQ_TRACE_MODULE_NUM];
RELAYKIT_API extern eZqCmTraceMask TraceMaskSum;
RELAYKIT_API extern eZqCmTraceMask CmTraceMasks[ZQ_CM_TRACE_MODULE_NUM];
RELAYKIT_API extern eZqCmTraceMask CmTraceMaskSum;
RELAYKIT_API extern eZqTraceLevel TraceLevel;   /* initially eZQ_TL_INFO */
RELAYKIT_API extern eZqLogLevel LogLevel;       /* initially eZQ_LL_MAJOR */
RELAYKIT_API extern uint32 traceFieldBitMask;   /* eZqTraceFieldBitMask bits, initially 0 */
RELAYKIT_API extern const char *const ZqSubModuleStr[ZQ_TRACE_MODULE_NUM + 1];
RELAYKIT_API extern const char *const ZqTraceStr[eZqTraceLevel_LAST + 1];
RELAYKIT_API extern const char *const ZqLogStr[eZQ_LL_MAX + 1];
/* TRUE once the trace queue and the trace task exist; queued records are dropped before that. */
RELAYKIT_API extern eOsBool LogTraceInitDone;
/* Queued records dropped because the backlog was full or their block was refused, since the
 * process started. The writers add to it atomically: read it with an atomic load. The trace task's
 * summary records keep their own count, so a host that clears it does not disturb them. */
RELAYKIT_API extern uint32 TraceDropCnt;

/* Module ids outside the tables are ignored: a get returns 0 and a set changes nothing. */
RELAYKIT_API eZqCmTraceMask TraceGetMask(eSvcModuleId moduleId);
RELAYKIT_API void TraceSetMask(eSvcModuleId moduleId, eZqCmTraceMask traceMask);
RELAYKIT_API eZqCmTraceMask CmTraceGetMask(eZqOltModuleId moduleId);
RELAYKIT_API void CmTraceSetMask(eZqOltModuleId moduleId, eZqCmTraceMask traceMask);
RELAYKIT_API eZqLogLevel LogGetLevel(void);
/* MINOR, MAJOR, CRITICAL; also sets TraceLevel to DEBUG, WARNING, ERR. Other levels are printed
 * as invalid and change nothing. */
RELAYKIT_API void LogSetLevel(eZqLogLevel level);
/* 0..7; 8 and above are printed as invalid and change nothing. */
RELAYKIT_API void TraceSetLevel(eZqTraceLevel level);
RELAYKIT_API void SetTraceFieldBitMask(eZqTraceFieldBitMask mask, eOsBool isEnable);
RELAYKIT_API void DumpLogLevelAndTraceLevel(void);
/* Starts the trace task (once) and sets the start-up configuration: all masks 0, every field
 * switch on, console and file output off, log level CRITICAL, trace level ERR, every ONU of slot 1,
 * device 1, links 1..zqSysLinkNumPerDev let through by the bitmap. Call after OsWrap__Init. */
RELAYKIT_API void InitTrace(void);
RELAYKIT_API void InitCmTrace(void);
/* Opens the syslog connection ("deduro", LOG_PID | LOG_NDELAY, LOG_USER). */
RELAYKIT_API void InitSyslog(void);
/* Operator commands: the usual module traces on with the lowest log level, or everything off. */
RELAYKIT_API void enablelog(void);
RELAYKIT_API void disablelog(void);

RELAYKIT_API eZqCmTraceMask SvcTraceGetMask(eSvcModuleId moduleId);
RELAYKIT_API void SvcTraceSetMask(eSvcModuleId moduleId, eZqCmTraceMask traceMask);
RELAYKIT_API eZqLogLevel SvcLogGetLevel(void);
RELAYKIT_API void SvcLogSetLevel(eZqLogLevel level);

/* ---- record writers ----------------------------------------------------------------------- */

/* CmTraceInterface, TraceInterface and LogInterface take a format that may begin with the time
 * directive "%t", which puts the system time "TH<high>L<low>:" after the record prefix; the
 * compiler checks the rest of the format against the arguments at every call, their call-site
 * forms (CmTrace, OsLog and its siblings) included. TraceInterface_Ext and the forms built on it
 * (Trace, Trace_Ext, MinorLog and its siblings, the ONU wrappers) take plain printf formats: "%t"
 * there is ordinary format text. */

/* CM traces, gated by CmTraceMasks; written at once in the calling thread, also before InitTrace.
 * "[CM-TRACE:<module>]: " {file:line:function()}: text */
RELAYKIT_API void CmTraceInterface(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                                   eZqOltModuleId moduleId, eZqCmTraceMask mask,
                                   const char *formatP, ...);
/* Service-module traces, gated by TraceMasks; queued.
 * "[TRACE:<module>]:[TID<id>] " {file:line:function()}: text */
RELAYKIT_API void TraceInterface(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                                 eSvcModuleId moduleId, eZqCmTraceMask mask, const char *formatP,
                                 ...);
/* The writer behind the trace and log forms; queued. Modules 1..39 pass on their mask; module 0
 * with mask 0xFFFFFFFF passes when traceLevel >= TraceLevel; anything else is dropped. bitMask asks
 * for the prefix fields; linkKeyP is a tZqCmLinkKey or null; a record asking for the ONU field
 * must pass the per-ONU bitmap. */
RELAYKIT_API void TraceInterface_Ext(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                                     eSvcModuleId moduleId, eZqCmTraceMask mask,
                                     eZqTraceLevel traceLevel, uint32 bitMask, void *linkKeyP,
                                     uint32 onuId, const char *formatP, ...)
    __attribute__((format(printf, 10, 11)));
/* Log records of the OS wrapper and service layer, written when logLevel >= LogLevel; queued.
 * "[LOG]:[TID<id>] [hh:mm:ss.mmm] {file:line}: text" */
RELAYKIT_API void LogInterface(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                               eZqLogLevel logLevel, const char *formatP, ...);

/* Every call of the three writers above has its arguments checked against its format, the time
 * directive skipped. */
#define CmTraceInterface(fileNamePM, lineNumM, funcNamePM, moduleIdM, maskM, ...)                 \
    (OS_TIME_FORMAT_CHECK(__VA_ARGS__),                                                          \
     CmTraceInterface(fileNamePM, lineNumM, funcNamePM, moduleIdM, maskM, __VA_ARGS__))
#define TraceInterface(fileNamePM, lineNumM, funcNamePM, moduleIdM, maskM, ...)                   \
    (OS_TIME_FORMAT_CHECK(__VA_ARGS__),                                                          \
     TraceInterface(fileNamePM, lineNumM, funcNamePM, moduleIdM, maskM, __VA_ARGS__))
#define LogInterface(fileNamePM, lineNumM, funcNamePM, logLevelM, ...)                            \
    (OS_TIME_FORMAT_CHECK(__VA_ARGS__),                                                          \
     LogInterface(fileNamePM, lineNumM, funcNamePM, logLevelM, __VA_ARGS__))

/* Entry of the trace task "TraceTask": writes each queued record to syslog and OsWrap__TextOut. */
RELAYKIT_API void TraceTask(void);

/* ---- call-site forms ---------------------------------------------------------------------- */

/* True while a mask sum is non-zero; a guarded form skips the whole call, arguments included.
 * The library's own units read the sum as they read every shared variable (osshared.h). */
#if defined(RELAYKIT_LIBRARY) && defined(__cplusplus)
#define ZQ_TRACE_SUM_ON(sumM) (SharedGet(WordOf(sumM)) != 0)
#else
#define ZQ_TRACE_SUM_ON(sumM) (__atomic_load_n(&(sumM), __ATOMIC_RELAXED) != 0)
#endif
#define ZQ_TRACE_ALL_MASK ((eZqCmTraceMask)0xFFFFFFFFu)

#define CmTrace(moduleIdM, maskM, ...)                                                           \
    do {                                                                                         \
        if (ZQ_TRACE_SUM_ON(CmTraceMaskSum))                                                     \
            CmTraceInterface(__FILE__, __LINE__, __func__, (eZqOltModuleId)(moduleIdM),          \
                             (eZqCmTraceMask)(maskM), __VA_ARGS__);                              \
    } while (0)

#define Trace(moduleIdM, maskM, ...)                                                             \
    do {                                                                                         \
        if (ZQ_TRACE_SUM_ON(TraceMaskSum))                                                       \
            TraceInterface_Ext(__FILE__, __LINE__, __func__, (eSvcModuleId)(moduleIdM),          \
                               (eZqCmTraceMask)(maskM), eZQ_TL_INFO,                             \
                               NORMAL_SYSTEM_TRACE_BIT_MASK, NULL, 0, __VA_ARGS__);              \
    } while (0)

#define Trace_Ext(moduleIdM, maskM, traceLevelM, bitMaskM, linkKeyPM, onuIdM, ...)               \
    do {                                                                                         \
        if (ZQ_TRACE_SUM_ON(TraceMaskSum))                                                       \
            TraceInterface_Ext(__FILE__, __LINE__, __func__, (eSvcModuleId)(moduleIdM),          \
                               (eZqCmTraceMask)(maskM), (eZqTraceLevel)(traceLevelM),            \
                               (bitMaskM), (linkKeyPM), (onuIdM), __VA_ARGS__);                  \
    } while (0)

#define ZQ_LEVEL_LOG(levelM, ...)                                                                \
    TraceInterface_Ext(__FILE__, __LINE__, __func__, eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK,     \
                       (levelM), NORMAL_SYSTEM_TRACE_BIT_MASK, NULL, 0, __VA_ARGS__)
#define MinorLog(...) ZQ_LEVEL_LOG(eZQ_TL_DEBUG, __VA_ARGS__)
#define MajorLog(...) ZQ_LEVEL_LOG(eZQ_TL_WARNING, __VA_ARGS__)
#define CriticalLog(...) ZQ_LEVEL_LOG(eZQ_TL_ERR, __VA_ARGS__)

#define ZqTrace Trace
#define ZqTrace_Ext Trace_Ext
#define ZqMinorLog MinorLog
#define ZqMajorLog MajorLog
#define ZqCriticalLog CriticalLog

#define OsLog(levelM, ...) LogInterface(__FILE__, __LINE__, __func__, (eZqLogLevel)(levelM), __VA_ARGS__)
#define OsMinorLog(...) OsLog(eZQ_LL_MINOR, __VA_ARGS__)
#define OsMajorLog(...) OsLog(eZQ_LL_MAJOR, __VA_ARGS__)
#define OsCriticalLog(...) OsLog(eZQ_LL_CRITICAL, __VA_ARGS__)
#define OsTrace(moduleIdM, maskM, formatPM, ...) ((void)0)

/* ---- per-ONU filters ---------------------------------------------------------------------- */

#define ONU_TRACE_MAX_ONU_NUM 256
#define ONU_TRACE_BIT_MASK_NUMBER (ONU_TRACE_MAX_ONU_NUM / 32)
#define ONU_TRACE_SLOT_NUM 3   /* slots 0..2 */
#define ONU_TRACE_DEVICE_NUM 2 /* devices 0..1 */
#define ONU_TRACE_LINK_NUM 33  /* links 0..32 */
#define ONU_TRACE_MASK_MAX 5

/* One bit per ONU of one link: ONU n (1..256) is bit (n - 1) % 32 of word (n - 1) / 32. */
typedef struct {
    uint32 bitMask[ONU_TRACE_BIT_MASK_NUMBER];
} tZqOnuTraceBitMask;

typedef struct {
    uint8 linkId;
    uint16 onuId;
} tZqOnuTraceMask;

OS_STATIC_ASSERT(sizeof(tZqOnuTraceBitMask) == 32, "one bit for each of 256 ONUs");

RELAYKIT_API extern tZqOnuTraceBitMask
    onuTraceBitMask[ONU_TRACE_SLOT_NUM][ONU_TRACE_DEVICE_NUM][ONU_TRACE_LINK_NUM];
/* The text filter: only entry 0 is used. */
RELAYKIT_API extern tZqOnuTraceMask OnuTraceMasks[ONU_TRACE_MASK_MAX];
RELAYKIT_API extern eOsBool OnuTraceMaskEnable;

/* Slot 0..2, device 0..1, link 0..zqSysLinkNumPerDev (at most 32), ONU 1..256; any other address
 * writes "Invalid Key SlotId %d, LinkId %d OnuId %d\n" at warning level and changes nothing. */
RELAYKIT_API void EnableOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId);
RELAYKIT_API void DisableOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId);
/* Tests slot ponId / zqSysLinkNumPerDev + 1, device 1, the MIB link PhyLink2MIBLink gives for
 * ponId % zqSysLinkNumPerDev; ONU 0 tests word 0, bit 0. */
RELAYKIT_API eOsBool IsOnuTraceEnable(tZqOnuId ponOnuId);
RELAYKIT_API void EnableLinkAllOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId);
RELAYKIT_API void DisableLinkAllOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId);
RELAYKIT_API void OnuTraceSetMask(uint8 linkId, uint16 onuId);
/* Entry 0 as linkId * 256 + onuId. */
RELAYKIT_API uint32 OnuTraceGetMask(void);
RELAYKIT_API void OnuTraceSetMaskEnable(eOsBool enableOrNot);
RELAYKIT_API eOsBool OnuTraceGetMaskEnable(void);

/* ---- ONU log wrappers (file, function, line, in that order) ------------------------------- */

/* The caller's text is formatted once (at most 543 characters) and goes into the record as it
 * stands; the record asks for every field (NORMAL_ONU_TRACE_BIT_MASK). The Trace forms write
 * nothing while TraceMaskSum is 0. */
RELAYKIT_API void __OnuOmciMinorLog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                    tZqOnuId ponOnuId, const char *formatP, ...)
    __attribute__((format(printf, 5, 6)));
RELAYKIT_API void __OnuOmciMajorLog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                    tZqOnuId ponOnuId, const char *formatP, ...)
    __attribute__((format(printf, 5, 6)));
RELAYKIT_API void __OnuOmciCritical(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                    tZqOnuId ponOnuId, const char *formatP, ...)
    __attribute__((format(printf, 5, 6)));
RELAYKIT_API void __OnuOmciTrace(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                 eSvcModuleId moduleId, tZqOnuId ponOnuId, const char *formatP, ...)
    __attribute__((format(printf, 6, 7)));
RELAYKIT_API void __OnuMgrMinorLog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                   uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId,
                                   const char *formatP, ...) __attribute__((format(printf, 8, 9)));
RELAYKIT_API void __OnuMgrMajorlog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                   uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId,
                                   const char *formatP, ...) __attribute__((format(printf, 8, 9)));
RELAYKIT_API void __OnuMgrCritical(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                   uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId,
                                   const char *formatP, ...) __attribute__((format(printf, 8, 9)));
RELAYKIT_API void __OnuMgrTrace(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId,
                                const char *formatP, ...) __attribute__((format(printf, 8, 9)));
RELAYKIT_API void __OnuMgrTracelog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                                   eSvcModuleId moduleId, uint8 slotId, uint8 deviceId,
                                   uint8 linkId, uint16 onuId, const char *formatP, ...)
    __attribute__((format(printf, 9, 10)));

#define OnuOmciMinorLog(ponOnuIdM, ...) __OnuOmciMinorLog(__FILE__, __func__, __LINE__, (ponOnuIdM), __VA_ARGS__)
#define OnuOmciMajorLog(ponOnuIdM, ...) __OnuOmciMajorLog(__FILE__, __func__, __LINE__, (ponOnuIdM), __VA_ARGS__)
#define OnuOmciCritical(ponOnuIdM, ...) __OnuOmciCritical(__FILE__, __func__, __LINE__, (ponOnuIdM), __VA_ARGS__)
#define OnuOmciTrace(moduleIdM, ponOnuIdM, ...)                                                  \
    __OnuOmciTrace(__FILE__, __func__, __LINE__, (eSvcModuleId)(moduleIdM), (ponOnuIdM), __VA_ARGS__)
#define OnuMgrMinorLog(slotIdM, deviceIdM, linkIdM, onuIdM, ...)                                 \
    __OnuMgrMinorLog(__FILE__, __func__, __LINE__, (slotIdM), (deviceIdM), (linkIdM), (onuIdM), __VA_ARGS__)
#define OnuMgrMajorLog(slotIdM, deviceIdM, linkIdM, onuIdM, ...)                                 \
    __OnuMgrMajorlog(__FILE__, __func__, __LINE__, (slotIdM), (deviceIdM), (linkIdM), (onuIdM), __VA_ARGS__)
#define OnuMgrCritical(slotIdM, deviceIdM, linkIdM, onuIdM, ...)                                 \
    __OnuMgrCritical(__FILE__, __func__, __LINE__, (slotIdM), (deviceIdM), (linkIdM), (onuIdM), __VA_ARGS__)
#define OnuMgrTrace(slotIdM, deviceIdM, linkIdM, onuIdM, ...)                                    \
    __OnuMgrTrace(__FILE__, __func__, __LINE__, (slotIdM), (deviceIdM), (linkIdM), (onuIdM), __VA_ARGS__)
#define OnuMgrTracelog(moduleIdM, slotIdM, deviceIdM, linkIdM, onuIdM, ...)                      \
    __OnuMgrTracelog(__FILE__, __func__, __LINE__, (eSvcModuleId)(moduleIdM), (slotIdM),         \
                     (deviceIdM), (linkIdM), (onuIdM), __VA_ARGS__)

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCMTRACE_H */
