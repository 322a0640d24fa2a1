// sim_emulator.h - what the emulator does with each datagram and on its schedule: answers from
// the store, raises and clears an ONU's alarm (and sends its activation or deactivation event)
// when its configuration is created or deleted, saves the store when the system configuration
// asks for it, and raises the scheduled alarms.
//
// Until the start-up state reaches READY, every request except a get of the system configuration
// (the readiness poll) is answered with INVALID_STATE, as a manager that is still starting does;
// acceptEarly answers them from the store at once.
//
// Respond runs on the peer's thread, ScheduledAlarm and FlushIgnored on the main thread,
// OnuUpOrDown and StormAlarm on the life thread; the alarm sequence number and the ignored
// datagrams' summary are shared. Until Open is called
// every datagram is dropped unanswered, so no answer comes from a store that is still being
// loaded.
#ifndef OLTMGR_SIM_EMULATOR_H
#define OLTMGR_SIM_EMULATOR_H

#include <atomic>
#include <string>
#include <vector>

#include "oltmgr_peer.h"
#include "sim_db.h"
#include "sim_log.h"

namespace oltmgr::sim {

// The alarm an ONU configuration's creation raises and its deletion clears: the ONU reports a
// low received optical power until its configuration goes. An ONU of the churn raises it when it
// goes down and clears it when it comes back.
inline constexpr eZqCmAlarmType kOnuAlarm = eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER;
// The scheduled alarms: a threshold crossing on each configured ONU in turn, or, with no ONU
// configured, loss of signal on the PON link 1/0/1 (slot, device, link).
inline constexpr eZqCmAlarmType kScheduledOnuAlarm = eZQ_CMAPI_TCA_ALARM_ONU_GEM_LOST_PKTS;
inline constexpr eZqCmAlarmType kScheduledLinkAlarm = eZQ_CMAPI_OLT_ALARM_LOS;

class Emulator {
  public:
    Emulator(Database *database, bool acceptEarly) : database_(database), acceptEarly_(acceptEarly) {}

    void Open() { open_ = true; }

    // From now on the database is written through by writer (given before Open): a requested
    // save is then the writer's checkpoint, and the answering thread never waits for it.
    void UseWriteThrough(WriteThrough *writer) { writer_ = writer; }

    // The peer's responder: the answer to the datagram and the notifications it causes, in that
    // order; each request and registration is logged on one line, ignored datagrams in summary.
    std::vector<Reply> Respond(const Datagram &datagram, Store &store);

    // Logs the summary of the ignored datagrams when one is due (final: at once).
    void FlushIgnored(bool final = false) { ignored_.Flush(IgnoredDatagrams::Clock::now(), final); }

    // Raises the next scheduled alarm through the peer and logs it.
    void ScheduledAlarm(Peer &peer);

    // An ONU that came back (up) or went down while its configuration stays: ONU_ACTIVATED with
    // the ONU alarm cleared, or ONU_DEACTIVATED with it raised, sent through the peer and logged. The
    // serial number may be null. Any thread.
    void OnuUpOrDown(Peer &peer, const Key &key, const uint8_t *serial, bool up);

    // Raises one alarm of type on the ONU port of key (serial may be null) through the peer,
    // unlogged; returns how many subscribers it was sent to. Any thread.
    size_t StormAlarm(Peer &peer, eZqCmAlarmType type, const Key &key, const uint8_t *serial);

    // Saves the store to the database (when there is one: through the writer, else whole) and
    // logs the outcome; false when a database save failed.
    bool Save(Store &store);

  private:
    tZqCmAlarmInfo NewAlarm(eZqCmAlarmType type, eZqCmAlarmSeverity severity, eZqCmAlarmCondition condition,
                            const tZqCmOnuPortKey &where);
    std::vector<Reply> OnuChanged(Store &store, const Bytes &request, bool created);
    struct OnuChange {
        bool raise;     // the ONU alarm is raised, else cleared
        bool activated; // ONU_ACTIVATED, else ONU_DEACTIVATED
    };
    std::vector<Reply> OnuReplies(Store &store, const Key &key, uint32_t resType, const uint8_t *serial,
                                  OnuChange change);
    std::vector<Reply> Register(const Datagram &datagram, Store &store);
    void SaveOnRequest(Store &store);
    bool LogSave(bool saved, size_t instances, const std::string &error);

    Database *database_;
    WriteThrough *writer_ = nullptr;
    bool acceptEarly_;
    std::atomic<bool> open_{false};
    IgnoredDatagrams ignored_;
    std::atomic<uint32_t> alarmSeqNo_{0};
    Key lastScheduledOnu_{}; // main thread only: the ONU the latest scheduled alarm was about
};

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_EMULATOR_H
