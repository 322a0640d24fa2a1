// sim_faults.cpp - dropped, delayed and duplicated answers, and their summary lines.
#include "sim_faults.h"

#include "sim_log.h"

namespace oltmgr::sim {

namespace {

constexpr auto kSummaryPeriod = std::chrono::seconds(1);
constexpr uint32_t kSeed = 20261209; // fixed: a run draws as the previous one did

std::string Answers(uint64_t count) { return std::to_string(count) + (count == 1 ? " answer" : " answers"); }

} // namespace

Faults::Faults(const FaultOptions &options) : options_(options), random_(kSeed) {}

bool Faults::Draw(double percent) {
    if (percent <= 0) {
        return false;
    }
    return std::uniform_real_distribution<double>(0, 100)(random_) < percent;
}

void Faults::Apply(std::vector<Reply> &replies) {
    if (replies.empty()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (Draw(options_.dropPercent)) {
        ++dropped_;
        replies.erase(replies.begin());
        return;
    }
    Reply &answer = replies.front();
    auto jitter = std::chrono::milliseconds(
        options_.jitter.count() > 0
            ? std::uniform_int_distribution<int64_t>(0, options_.jitter.count())(random_)
            : 0);
    answer.delay += options_.delay + jitter;
    if (answer.delay.count() > 0) {
        ++delayed_;
        longestDelay_ = std::max(longestDelay_, answer.delay);
    }
    if (Draw(options_.duplicatePercent)) {
        ++duplicated_;
        Reply copy = answer;
        replies.insert(replies.begin() + 1, std::move(copy));
    }
}

// "faults: 3 answers dropped, 1 answer sent twice, 12 answers delayed (longest 240 ms)"
void Faults::Flush(Clock::time_point now, bool final) {
    std::string line;
    {
        std::lock_guard lock(mutex_);
        if ((dropped_ | duplicated_ | delayed_) == 0 || (!final && now - lastLine_ < kSummaryPeriod)) {
            return;
        }
        std::string separator = "faults: ";
        if (dropped_ != 0) {
            line += separator + Answers(dropped_) + " dropped";
            separator = ", ";
        }
        if (duplicated_ != 0) {
            line += separator + Answers(duplicated_) + " sent twice";
            separator = ", ";
        }
        if (delayed_ != 0) {
            line += separator + Answers(delayed_) + " delayed (longest " + std::to_string(longestDelay_.count()) +
                    " ms)";
        }
        dropped_ = duplicated_ = delayed_ = 0;
        longestDelay_ = std::chrono::milliseconds{0};
        lastLine_ = now;
    }
    TrafficLine(line);
}

} // namespace oltmgr::sim
