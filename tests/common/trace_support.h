// trace_support.h - helpers the trace tests share: starting the trace facility as a host does,
// capturing syslog lines, and waiting until everything queued so far has been written.
#ifndef RELAYKIT_TESTS_TRACE_SUPPORT_H
#define RELAYKIT_TESTS_TRACE_SUPPORT_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "capture.h"
#include "isolation.h"
#include "probes.h"
#include "oswrap.h"
#include "svc.h"
#include "svcsyslog.h"
#include "zqcmtrace.h"
#include "zqcm_internal.h"
#include "zqcmtrace_hooks.h"

namespace rktest {

// Records the trace task (and SvcPrintf) gave to syslog, exactly as given.
// Never destroyed: the trace task may still signal it while the process exits.
inline TextCapture &SyslogLines() {
    static TextCapture &capture = *new TextCapture;
    return capture;
}

inline void CaptureSyslog() {
    SvcSetSyslogObserver([](const char *lineP) { SyslogLines().Add(lineP); });
}

// The start-up of a host: wrapper, information handler, trace task; then every text is also fed to
// the line buffer, so completed lines show up in BllLines().
inline void StartTrace() {
    ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    SvcSysInfoHandler = CaptureInfoHandler;
    CaptureSyslog();
    InitTrace();
    ASSERT_EQ(LogTraceInitDone, eOS_BOOL_TRUE);
    SetCliDisplayMode(eOS_BOOL_TRUE);
}

// The first captured text containing needle, waiting for it with a deadline; "" when none came.
inline std::string WaitForText(TextCapture &capture, const std::string &needle) {
    if (!capture.WaitFor(needle)) return "";
    for (const std::string &text : capture.Texts())
        if (text.find(needle) != std::string::npos) return text;
    return "";
}

// Queues a critical record with a fresh marker and waits until the trace task has written it: the
// queue is first in, first out, so everything queued before it has been written too.
inline void DrainTraceQueue() {
    static std::atomic<int> next{0};
    std::string marker = "drain-marker-" + std::to_string(next++);
    CriticalLog("%s\n", marker.c_str());
    ASSERT_TRUE(SyslogLines().WaitFor(marker)) << "the trace task did not write " << marker;
    if (OutPutCliB == eOS_BOOL_TRUE) {
        ASSERT_TRUE(BllLines().WaitFor(marker));
    }
}

// Called at the end of a test that started the trace task, so that the captures can be destroyed
// at exit: with the line buffer switched off, the last record the task writes reaches syslog
// only, and waiting for it orders everything the task did with the other captures before exit.
inline void QuiesceTrace() {
    if (LogTraceInitDone != eOS_BOOL_TRUE) return;
    SetCliDisplayMode(eOS_BOOL_FALSE);
    SetCliShowOltLog(eOS_BOOL_FALSE);
    TraceSetLevel(eZQ_TL_DEBUG);
    DrainTraceQueue();
}

// Called at the end of every test that may have started the trace task: the trace task writes what
// was queued and ends, and the trace facility, the board limits and the wrapper's switches are back
// as a process
// starts with, so that the next test starts them anew with empty captures. Fails the test when
// the trace task does not end.
inline void EndTrace() {
    EXPECT_TRUE(TraceResetForTest()) << "the trace task did not end";
    ZqCmResetBoardForTest(); // the board limits bound the ONU filters
    ResetWrapperSettings();
    for (TextCapture *captureP : {&SyslogLines(), &BllLines(), &HandlerTexts(), &LogReports()})
        captureP->Clear();
}

// The drops the trace task's summary records in capture add up to; each record reads
// "TraceTask(): Trace records dropped: N<count>.".
inline uint64_t SummarisedDrops(TextCapture &capture) {
    static const std::string kSummary = "TraceTask(): Trace records dropped: N";
    uint64_t total = 0;
    for (const std::string &text : capture.Texts()) {
        size_t at = text.find(kSummary);
        if (at != std::string::npos) total += std::stoull(text.substr(at + kSummary.size()));
    }
    return total;
}

} // namespace rktest

#endif // RELAYKIT_TESTS_TRACE_SUPPORT_H
