// zqcmtrace_hooks.h - internal, not exported: lets white-box tests see every log report as it is
// made (the lines given to syslog are seen through svcsyslog.h).
#ifndef RELAYKIT_ZQCMTRACE_HOOKS_H
#define RELAYKIT_ZQCMTRACE_HOOKS_H

#include "zqcmtrace.h"

// Called by LogInterface with the level and the caller's formatted text (without the record
// prefix), before any gate, in the reporting thread. Null switches it off.
using tLogObserver = void (*)(eZqLogLevel level, const char *textP);
void LogSetTestObserver(tLogObserver observer);

// Ends the trace task once it has written what was queued before, deletes its queue with anything
// queued after, and puts the trace configuration, the drop counts and the ONU filters back as a
// process starts with; the next InitTrace starts the facility anew. False when the trace task did
// not end within ten seconds: it is left running, and the configuration as it is.
bool TraceResetForTest();

#endif // RELAYKIT_ZQCMTRACE_HOOKS_H
