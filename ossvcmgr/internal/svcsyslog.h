// svcsyslog.h - internal, not exported: the one writer of the library's syslog lines (SvcPrintf's
// and the trace task's), and the hook that lets white-box tests see each line.
#ifndef RELAYKIT_SVCSYSLOG_H
#define RELAYKIT_SVCSYSLOG_H

// Gives one finished line to syslog as "DEDURO: <line>" at LOG_USER | LOG_ERR.
void SvcWriteSyslog(const char *lineP);

// Called with each line given to syslog, in the writing thread, after the syslog call. Null
// switches it off.
using tSyslogObserver = void (*)(const char *lineP);
void SvcSetSyslogObserver(tSyslogObserver observer);

#endif // RELAYKIT_SVCSYSLOG_H
