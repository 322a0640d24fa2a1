// sim_options.h - the emulator's command line: where it listens, how long its start-up takes and
// whether it answers before it, how often it raises scheduled alarms, where it keeps its store,
// how many ONUs it starts with, their life (churn, alarm storm, restarts), the faults it puts on
// its answers, and how much it logs.
#ifndef OLTMGR_SIM_OPTIONS_H
#define OLTMGR_SIM_OPTIONS_H

#include <chrono>
#include <cstdint>
#include <string>

namespace oltmgr::sim {

inline constexpr uint16_t kDefaultPort = 47000;

struct Options {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultPort;             // 0: any free port (the log's first line names it)
    std::chrono::milliseconds initDelay{0};   // NOT_INIT for half of it, then BUSY, then READY
    std::chrono::milliseconds alarmEvery{0};  // 0: no scheduled alarms
    std::string dbPath;                       // empty: the store lives in memory only
    bool acceptEarly = false;                 // answer every request before READY too
    unsigned pons = 1;                        // PON links of the starting ONUs, 1 to 16
    unsigned onus = 0;                        // ONUs per PON at start, 0 to 256 (0: none)
    unsigned churnPerMinute = 0;              // ONUs that go down and come back a minute
    unsigned alarmsPerSecond = 0;             // the alarm storm, up to 20000 a second
    double dropPercent = 0;                   // answers not sent, 0 to 100
    double duplicatePercent = 0;              // answers sent twice, 0 to 100
    std::chrono::milliseconds delay{0};       // every answer this late...
    std::chrono::milliseconds jitter{0};      // ...and up to this much more
    std::chrono::milliseconds restartEvery{0}; // 0: the manager never restarts
    bool quiet = false;                       // log only start-up, shutdown, saves and errors
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name. False, with the reason in *error, for an unknown
// option, a missing or malformed value, or a stray argument; *options is then unspecified.
bool ParseOptions(int argc, const char *const *argv, Options *options, std::string *error);

// The usage text, several lines ending in a newline; the synopsis is its first two lines.
const char *Usage();
const char *Synopsis();

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_OPTIONS_H
