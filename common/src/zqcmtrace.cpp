// zqcmtrace.cpp - the trace and log writers. Until the trace task exists every record is dropped.
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "zqcmtrace.h"
#include "zqcmtrace_hooks.h"

namespace {
std::atomic<tLogObserver> logObserver{nullptr};
} // namespace

void LogSetTestObserver(tLogObserver observer) { logObserver.store(observer); }

extern "C" {

eOsBool LogTraceInitDone = eOS_BOOL_FALSE;

void LogInterface(const char *, uint32, const char *, eZqLogLevel logLevel, const char *formatP, ...) {
    if (tLogObserver observer = logObserver.load(); observer != nullptr) {
        char text[512];
        va_list args;
        va_start(args, formatP);
        vsnprintf(text, sizeof text, formatP, args);
        va_end(args);
        observer(logLevel, text);
    }
    if (LogTraceInitDone != eOS_BOOL_TRUE) return;
}

} // extern "C"
