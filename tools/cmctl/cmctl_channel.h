// cmctl_channel.h - cmctl as a host of relayKit: the library brought up in start-up order with its
// output kept off standard output, the trace settings of a run, and the CM channel opened with
// waits fit for a command a person types.
#ifndef RELAYKIT_CMCTL_CHANNEL_H
#define RELAYKIT_CMCTL_CHANNEL_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cmctl {

struct TraceSettings {
    bool on = false;
    std::vector<std::pair<uint32_t, uint32_t>> cmMasks;  // CM module, mask
    std::vector<std::pair<uint32_t, uint32_t>> svcMasks; // service module, mask
    std::optional<uint32_t> traceLevel;
    std::optional<uint32_t> logLevel;
};

struct Endpoints {
    uint32_t managerIp = 0x7f000001; // host byte order
    uint16_t managerPort = 47000;
    uint16_t requestPort = 0;        // 0: the system chooses at start (then the bound port)
    uint16_t alarmPort = 0;
    uint32_t timeoutMs = 3000;
};

// OsWrap__Init, SvcInit with handlers that write the library's lines to standard error when
// verbose (or tracing) and drop them otherwise, InitSyslog, InitTrace, then the trace settings.
// While tracing, trace records reach standard error through the host's line sink.
void StartLibrary(bool verbose, const TraceSettings &trace);
// The trace configuration in force, one line per switched-on mask, then the levels.
std::string TraceReport();
// Waits (at most half a second) until the trace task has written what was queued.
void DrainTrace();

// Sets the endpoint variables (a local port of 0 lets the system choose) and starts the CM channel
// without waiting lines or readiness poll, receive time-out timeoutMs; the ports bound come back
// in *endpointsP. Empty on success, else what failed.
std::string OpenChannel(Endpoints *endpointsP);

} // namespace cmctl

#endif // RELAYKIT_CMCTL_CHANNEL_H
