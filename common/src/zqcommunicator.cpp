// zqcommunicator.cpp - the communicator: the copy of text output to the CLI telnet connection.
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "zqcmtrace.h"
#include "zqcmtrace_internal.h"
#include "zqcommunicator.h"

namespace {

constexpr const char *kTelnetFailureText = "CLI sent to Telnet session failed.\n";

// Set from the moment a failure report is queued until the trace task has written it (and so
// passed it through here). The report itself goes to the same connection: while it is on its way,
// further failures are not reported, so a dead connection cannot feed on its own reports.
std::atomic<bool> failureReportPending{false};

// Sends all of the text; false when a send fails before everything is out.
bool SendAll(int socketFd, const char *textP, size_t length) {
    while (length > 0) {
        ssize_t sent = send(socketFd, textP, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        textP += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

} // namespace

extern "C" {

eOsBool CliTelnetConnectedB = eOS_BOOL_FALSE;
uint16 CliTelnetEnable = 0;
int CliClientSocket = 0;

void WriteToCliTelnetSocket(char *textP) {
    if (textP == nullptr) return;
    bool isFailureReport = failureReportPending.load() && strstr(textP, kTelnetFailureText) != nullptr;
    bool connected = FlagIsTrue(CliTelnetConnectedB) &&
                     RelaxedLoad(CliTelnetEnable) != 0 && RelaxedLoad(CliClientSocket) > 0;
    bool failed = connected && !SendAll(RelaxedLoad(CliClientSocket), textP, strlen(textP));
    if (isFailureReport) {
        failureReportPending.store(false);
        return;
    }
    if (failed && !failureReportPending.exchange(true)) {
        bool queued = TraceInterfaceExtQueued(__FILE__, __LINE__, __func__, eSVC_MODULE_ID_NONE,
                                              ZQ_TRACE_ALL_MASK, eZQ_TL_WARNING,
                                              NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "%s",
                                              kTelnetFailureText);
        // A report the level drops is never written, so nothing is pending.
        if (!queued) failureReportPending.store(false);
    }
}

} // extern "C"
