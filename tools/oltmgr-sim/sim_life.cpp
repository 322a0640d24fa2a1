// sim_life.cpp - churn, alarm storm and restarts on the life thread.
#include "sim_life.h"

#include <algorithm>
#include <string>

#include "sim_fill.h"
#include "sim_log.h"

namespace oltmgr::sim {

namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 1ms;
constexpr auto kOnusReadEvery = 1s;
constexpr auto kStormLineEvery = 1s;
constexpr auto kDefaultStartUp = 1s;

std::string OnuText(const Key &key) { return KeySummary(eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, key); }

} // namespace

Life::Life(LifeOptions options, Emulator &emulator, Peer &peer)
    : options_(std::move(options)), emulator_(emulator), peer_(peer) {
    if (options_.churnPerMinute > 0 || options_.alarmsPerSecond > 0 || options_.restartEvery.count() > 0) {
        thread_ = std::thread(&Life::Run, this);
    }
}

Life::~Life() { Stop(); }

void Life::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (!thread_.joinable()) {
        return;
    }
    thread_.join();
    if (options_.alarmsPerSecond > 0) {
        StormSummary(Clock::now(), true);
    }
}

void Life::Run() {
    // Half a churn period: an ONU goes down at one step and comes back at the next.
    const auto churnStep = std::chrono::microseconds(30'000'000 / std::max(options_.churnPerMinute, 1u));
    Clock::time_point now = Clock::now();
    nextChurn_ = now + churnStep;
    stormStart_ = stormLineAt_ = now;
    nextRestart_ = now + options_.restartEvery;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        now = Clock::now();
        if ((options_.churnPerMinute > 0 || options_.alarmsPerSecond > 0) && now - onusRead_ >= kOnusReadEvery) {
            ReadOnus();
            onusRead_ = now;
        }
        if (options_.churnPerMinute > 0 && now >= nextChurn_) {
            Churn();
            nextChurn_ = std::max(nextChurn_ + churnStep, now); // steps missed while late are not repeated
        }
        if (options_.alarmsPerSecond > 0) {
            Storm(now);
        }
        if (options_.restartEvery.count() > 0 && now >= nextRestart_) {
            Restart();
            nextRestart_ = now + options_.restartEvery;
        }
        lock.lock();
        wake_.wait_until(lock, now + kTick, [this] { return stop_; });
    }
}

void Life::ReadOnus() {
    onus_.clear();
    for (const Instance &instance : peer_.GetStore().Instances()) {
        if (instance.resId == eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG) {
            Onu onu{instance.key, {}};
            std::copy_n(instance.record.begin() + kSerialAt, kSerialLen, onu.serial.begin());
            onus_.push_back(onu);
        }
    }
}

void Life::Churn() {
    if (down_) {
        TrafficLine("churn: " + OnuText(down_->key) + " comes back");
        emulator_.OnuUpOrDown(peer_, down_->key, down_->serial.data(), true);
        down_.reset();
        return;
    }
    if (onus_.empty()) {
        return;
    }
    down_ = onus_[churnNext_++ % onus_.size()];
    TrafficLine("churn: " + OnuText(down_->key) + " goes down");
    emulator_.OnuUpOrDown(peer_, down_->key, down_->serial.data(), false);
}

void Life::Storm(Clock::time_point now) {
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - stormStart_).count();
    uint64_t due = static_cast<uint64_t>(elapsed) * options_.alarmsPerSecond / 1'000'000;
    uint64_t behind = due - std::min(due, stormRaised_);
    if (behind > options_.alarmsPerSecond) { // more than a second behind: the backlog is written off
        stormLine_.writtenOff += behind;
        stormRaised_ = due;
        behind = 0;
    }
    static const Key kLink = OnuKeyOf(1, 0);
    for (; behind > 0; --behind, ++stormRaised_) {
        eZqCmAlarmType type = kStormTypes[stormType_++ % std::size(kStormTypes)];
        size_t sent;
        if (onus_.empty()) {
            sent = emulator_.StormAlarm(peer_, type, kLink, nullptr);
        } else {
            const Onu &onu = onus_[stormOnu_++ % onus_.size()];
            sent = emulator_.StormAlarm(peer_, type, onu.key, onu.serial.data());
        }
        ++stormLine_.alarms;
        stormLine_.datagrams += sent;
    }
    StormSummary(now, false);
}

// "storm: 10000 alarms -> 10000 datagrams to subscribers, 0 written off" a second; at the end
// "storm: in all 100000 alarms -> ...".
void Life::StormSummary(Clock::time_point now, bool final) {
    if (!final && now - stormLineAt_ < kStormLineEvery) {
        return;
    }
    auto text = [](const StormCount &count) {
        return std::to_string(count.alarms) + " alarms -> " + std::to_string(count.datagrams) +
               " datagrams to subscribers, " + std::to_string(count.writtenOff) + " written off";
    };
    stormTotal_.alarms += stormLine_.alarms;
    stormTotal_.datagrams += stormLine_.datagrams;
    stormTotal_.writtenOff += stormLine_.writtenOff;
    if (stormLine_.alarms + stormLine_.writtenOff > 0) {
        TrafficLine("storm: " + text(stormLine_));
    }
    stormLine_ = {};
    stormLineAt_ = now;
    if (final) {
        LogLine("storm: in all " + text(stormTotal_));
    }
}

void Life::Restart() {
    auto startUp = options_.startUp.count() > 0 ? options_.startUp : std::chrono::milliseconds(kDefaultStartUp);
    Store &store = peer_.GetStore();
    store.SetInitDelay(startUp);
    size_t forgotten = store.ForgetSubscribers();
    bool reset = options_.storeAfterRestart && store.Load(*options_.storeAfterRestart);
    down_.reset(); // the restarted manager knows nothing of the ONU that was down
    ReadOnus();
    LogLine("restart: NOT_INIT, then BUSY, then READY in " + std::to_string(startUp.count()) + " ms; " +
            std::to_string(forgotten) + (forgotten == 1 ? " subscriber" : " subscribers") + " forgotten; " +
            (reset ? "the store is back to its start" : "the store is kept"));
}

} // namespace oltmgr::sim
