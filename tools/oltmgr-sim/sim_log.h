// sim_log.h - the emulator's log: one line per event of its own life (start-up, saves, errors,
// shutdown) and, unless quiet, per request, registration and notification, written whole to
// standard output and flushed at once, from any thread. Ignored datagrams are not logged one by
// one but summarised, at most once a second.
#ifndef OLTMGR_SIM_LOG_H
#define OLTMGR_SIM_LOG_H

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "oltmgr_peer.h"
#include "oltmgr_store.h"

namespace oltmgr::sim {

// Writes text and a newline to standard output as one piece, then flushes.
void LogLine(const std::string &text);
// The same for the traffic (requests, registrations, notifications, ignored datagrams), which
// --quiet drops.
void TrafficLine(const std::string &text);
void SetQuiet(bool quiet);
// Whether traffic is logged: a caller asks before it formats a line.
bool TrafficLogged();

// Datagrams the peer gave no answer to, counted by reason. A flood of garbage would otherwise
// write a line per datagram; instead at most one line a second says how many came and why.
class IgnoredDatagrams {
  public:
    using Clock = std::chrono::steady_clock;

    // Counts one ignored datagram, and logs the summary when one is due.
    void Count(const Datagram &datagram, Clock::time_point now);
    // Logs the summary of what was counted since the last one when a second has passed since
    // then (or at once when final).
    void Flush(Clock::time_point now, bool final = false);

  private:
    std::string TakeSummary(Clock::time_point now, bool final); // empty when none is due

    std::mutex mutex_;
    std::array<uint64_t, 4> byReason_{}; // short, short request, short registration, not answered
    uint64_t count_ = 0;
    uint32_t lastMsgType_ = 0;
    std::string lastFrom_;
    size_t lastLength_ = 0;
    Clock::time_point lastLine_{};
};

// "127.0.0.1:40001"
std::string EndpointText(const sockaddr_in &address);

// "NOT_INIT", "BUSY", "READY", or "?" for another start-up state.
const char *InitStatusName(uint32_t status);

// The key as a reader wants it: "onu 1/0/3/17" for an ONU configuration, "system" for the
// system configuration, "-" for the zero key, else its bytes in hexadecimal up to the last
// non-zero one.
std::string KeySummary(uint32_t resId, const Key &key);

// The line of one answered request: operation, resource, key, result and what was found, e.g.
// "request tid 7 CREATE EQPT_ONU_CONFIG(6) onu 1/0/3/17 -> eOS_RET_SUCCESS".
std::string RequestLine(const Bytes &request, const Bytes &answer);

// The line of one answered alarm registration or unregistration.
std::string RegistrationLine(const Bytes &request, const Bytes &answer, const sockaddr_in &from);

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_LOG_H
