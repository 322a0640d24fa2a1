// sim_faults.h - faults the emulator puts on its answers on purpose, so a host can rehearse a slow
// or lossy manager: an answer not sent (--drop), sent late (--delay MS[:JITTER]) while later
// requests are answered meanwhile, or sent twice (--duplicate).
//
// Only the answer to a request or registration is touched, never the alarms and events it causes.
// Each answer is dropped with the drop chance; one that is not gets the delay plus a jitter drawn
// evenly from 0 to JITTER, and is followed by its copy with the duplicate chance (the copy leaves
// with it). The draws come from a generator with a fixed seed, so a run repeats the previous one
// as far as the requests do.
//
// What was done is counted and summarised on one line at most once a second, as the ignored
// datagrams are. Apply runs on the peer's thread, Flush on the main thread.
#ifndef OLTMGR_SIM_FAULTS_H
#define OLTMGR_SIM_FAULTS_H

#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "oltmgr_peer.h"

namespace oltmgr::sim {

struct FaultOptions {
    double dropPercent = 0;             // 0 to 100
    double duplicatePercent = 0;        // 0 to 100
    std::chrono::milliseconds delay{0}; // every answer's least delay
    std::chrono::milliseconds jitter{0};
};

class Faults {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Faults(const FaultOptions &options);

    // Puts the faults on the answer, the first of replies; the rest leave as they were.
    void Apply(std::vector<Reply> &replies);

    // Logs the summary of what was done since the last one when a second has passed (final: at
    // once, when anything was done).
    void Flush(Clock::time_point now, bool final = false);

  private:
    bool Draw(double percent);

    FaultOptions options_;
    std::mutex mutex_; // guards everything below
    std::mt19937 random_;
    uint64_t dropped_ = 0;
    uint64_t duplicated_ = 0;
    uint64_t delayed_ = 0;
    std::chrono::milliseconds longestDelay_{0};
    Clock::time_point lastLine_{};
};

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_FAULTS_H
