/* zqcmtrace.h - the trace and log facility: masks, levels, record writers and their call-site forms.
 * Records are composed in the caller's thread and written by the one trace task. */
#ifndef RELAYKIT_ZQCMTRACE_H
#define RELAYKIT_ZQCMTRACE_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    eZQ_LL_MINOR = 0,
    eZQ_LL_MIN = eZQ_LL_MINOR,
    eZQ_LL_MAJOR = 1,
    eZQ_LL_CRITICAL = 2,
    eZQ_LL_NO_LOG = 3,
    eZQ_LL_MAX = 4
} eZqLogLevel;

OS_STATIC_ASSERT(sizeof(eZqLogLevel) == 4, "eZqLogLevel is 32 bits");

/* TRUE once the trace queue and the trace task exist; records are dropped before that. */
RELAYKIT_API extern eOsBool LogTraceInitDone;

/* Log records of the OS wrapper and the service layer, gated by the log level. */
RELAYKIT_API void LogInterface(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                               eZqLogLevel logLevel, const char *formatP, ...)
    __attribute__((format(printf, 5, 6)));

#define OsLog(levelM, ...) LogInterface(__FILE__, __LINE__, __func__, (levelM), __VA_ARGS__)
#define OsMinorLog(...) LogInterface(__FILE__, __LINE__, __func__, eZQ_LL_MINOR, __VA_ARGS__)
#define OsMajorLog(...) LogInterface(__FILE__, __LINE__, __func__, eZQ_LL_MAJOR, __VA_ARGS__)
#define OsCriticalLog(...) LogInterface(__FILE__, __LINE__, __func__, eZQ_LL_CRITICAL, __VA_ARGS__)

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCMTRACE_H */
