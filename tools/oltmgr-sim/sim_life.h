// sim_life.h - the emulator's line card coming to life on its own: ONUs that go down and come back
// (--churn), an alarm storm (--alarm-rate) and a manager that restarts (--restart-every), on a
// thread of their own that wakes every millisecond.
//
// Churn: R ONUs a minute, in key order, one at a time: the ONU goes down (ONU_DEACTIVATED, the
// ONU alarm raised), and half a churn period later comes back (ONU_ACTIVATED, the alarm cleared).
//
// Storm: R alarms a second, one ONU after the other and the types of kStormTypes in turn (on link
// 1/0/1 when no ONU is configured). The storm is paced by the clock: each tick sends what is due
// since the storm began, so a late tick catches up; more than a second behind, the backlog is
// written off and counted. A line a second sums the storm up, and the end gives its totals.
//
// Restart: every S seconds the manager goes back to NOT_INIT, then BUSY, then READY over the
// start-up delay (a second when that is 0), forgets its alarm subscribers, and its store goes back
// to what it held at start, unless it lives in a database, which keeps it.
//
// The ONUs of the churn and the storm are the store's ONU configurations, read again every second.
#ifndef OLTMGR_SIM_LIFE_H
#define OLTMGR_SIM_LIFE_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "oltmgr_peer.h"
#include "sim_emulator.h"

namespace oltmgr::sim {

inline constexpr eZqCmAlarmType kStormTypes[] = {
    eZQ_CMAPI_ONU_ALARM_DYING_GASP,        eZQ_CMAPI_ONU_ALARM_SF, eZQ_CMAPI_ONU_ALARM_SD,
    eZQ_CMAPI_ONU_ALARM_HIGH_RX_OPTICAL_POWER, eZQ_CMAPI_ONU_ALARM_TEMPERATURE_YELLOW,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_LOST_PKTS,
};

struct LifeOptions {
    unsigned churnPerMinute = 0;              // 0: no churn
    unsigned alarmsPerSecond = 0;             // 0: no storm
    std::chrono::milliseconds restartEvery{0}; // 0: no restarts
    std::chrono::milliseconds startUp{0};     // a restart's start-up; 0: a second
    // What the store holds again after a restart; none: it keeps what it has.
    std::optional<std::vector<Instance>> storeAfterRestart;
};

class Life {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts the thread when any of churn, storm or restarts is asked for.
    Life(LifeOptions options, Emulator &emulator, Peer &peer);
    ~Life(); // Stop()
    Life(const Life &) = delete;
    Life &operator=(const Life &) = delete;

    // Stops the thread and logs the storm's totals; nothing happens after it returns.
    void Stop();

  private:
    struct Onu {
        Key key;
        std::array<uint8_t, kSerialLen> serial;
    };

    void Run();
    void ReadOnus();
    void Churn();
    void Storm(Clock::time_point now);
    void StormSummary(Clock::time_point now, bool final);
    void Restart();

    LifeOptions options_;
    Emulator &emulator_;
    Peer &peer_;

    std::mutex mutex_; // guards stop_
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;

    // The thread's own.
    std::vector<Onu> onus_;
    Clock::time_point onusRead_{};
    size_t churnNext_ = 0;             // the ONU that goes down next
    std::optional<Onu> down_;          // the ONU that is down
    Clock::time_point nextChurn_{};
    Clock::time_point stormStart_{};
    uint64_t stormRaised_ = 0;         // alarms raised since the storm began, written off included
    size_t stormOnu_ = 0;
    size_t stormType_ = 0;
    Clock::time_point nextRestart_{};
    // The storm's figures: since the last summary line and in all.
    struct StormCount {
        uint64_t alarms = 0;
        uint64_t datagrams = 0;
        uint64_t writtenOff = 0;
    } stormLine_, stormTotal_;
    Clock::time_point stormLineAt_{};
};

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_LIFE_H
