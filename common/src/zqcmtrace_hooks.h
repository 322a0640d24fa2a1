// zqcmtrace_hooks.h - internal, not exported: lets white-box tests see every log report as it is
// made and every line the library gives to syslog.
#ifndef RELAYKIT_ZQCMTRACE_HOOKS_H
#define RELAYKIT_ZQCMTRACE_HOOKS_H

#include "zqcmtrace.h"

// Called by LogInterface with the level and the caller's formatted text (without the record
// prefix), before any gate, in the reporting thread. Null switches it off.
using tLogObserver = void (*)(eZqLogLevel level, const char *textP);
void LogSetTestObserver(tLogObserver observer);

// Called with each line given to syslog (by the trace task and by SvcPrintf), in the writing
// thread, after the syslog call. Null switches it off.
using tSyslogObserver = void (*)(const char *lineP);
void TraceSetSyslogObserver(tSyslogObserver observer);

#endif // RELAYKIT_ZQCMTRACE_HOOKS_H
