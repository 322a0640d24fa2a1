// zqcmtrace_hooks.h - internal, not exported: lets white-box tests see every log report as it is
// made (the lines given to syslog are seen through svcsyslog.h).
#ifndef RELAYKIT_ZQCMTRACE_HOOKS_H
#define RELAYKIT_ZQCMTRACE_HOOKS_H

#include "zqcmtrace.h"

// Called by LogInterface with the level and the caller's formatted text (without the record
// prefix), before any gate, in the reporting thread. Null switches it off.
using tLogObserver = void (*)(eZqLogLevel level, const char *textP);
void LogSetTestObserver(tLogObserver observer);

#endif // RELAYKIT_ZQCMTRACE_HOOKS_H
