// zqcommunicator_telnet.cpp - the communicator's copy of text output to the CLI telnet connection.
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
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

// How long one text may wait for room on the connection before it is dropped for it.
constexpr int kSendBoundMs = 200;

// The descriptor of a connection that let a text time out, -1 for none. Such a connection gets no
// further waits: texts go out only as far as it takes them at once. The stall ends once the client
// has taken everything sent to it (a short text may still squeeze into a stalled connection's
// buffer). Only the stall's first text is reported.
std::atomic<int> stalledSocket{-1};

// True when nothing sent on the socket waits for the client any more (or the socket cannot say).
bool ClientTookEverything(int socketFd) {
    int queued = 0;
    return ioctl(socketFd, SIOCOUTQ, &queued) != 0 || queued == 0;
}

enum class tSendResult { kSent, kFailed, kStalled };

// Sends all of the text without blocking; waits for room at most kSendBoundMs in all, and not at
// all on a stalled connection.
tSendResult SendBounded(int socketFd, const char *textP, size_t length) {
    const bool mayWait = stalledSocket.load(std::memory_order_relaxed) != socketFd;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSendBoundMs);
    while (length > 0) {
        ssize_t sent = send(socketFd, textP, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            textP += sent;
            length -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return tSendResult::kFailed;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!mayWait || left.count() <= 0) return tSendResult::kStalled;
        struct pollfd room = {socketFd, POLLOUT, 0};
        (void)poll(&room, 1, static_cast<int>(left.count()));
    }
    return tSendResult::kSent;
}

} // namespace

extern "C" {

eOsBool CliTelnetConnectedB = eOS_BOOL_FALSE;
uint16 CliTelnetEnable = 0;
int CliClientSocket = 0;

void WriteToCliTelnetSocket(char *textP) {
    if (textP == nullptr) return;
    bool isFailureReport = failureReportPending.load() && strstr(textP, kTelnetFailureText) != nullptr;
    const int socketFd = SharedGet(CliClientSocket); // read once: the host may change it meanwhile
    bool connected = SharedIsTrue(CliTelnetConnectedB) && SharedGet(CliTelnetEnable) != 0 && socketFd > 0;
    tSendResult result = connected ? SendBounded(socketFd, textP, strlen(textP)) : tSendResult::kSent;
    bool failed = result == tSendResult::kFailed;
    if (result == tSendResult::kStalled) {
        failed = stalledSocket.exchange(socketFd) != socketFd;
    } else if (result == tSendResult::kSent && connected && stalledSocket.load() == socketFd &&
               ClientTookEverything(socketFd)) {
        int stalled = socketFd;
        stalledSocket.compare_exchange_strong(stalled, -1);
    }
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
