// sim_emulator.cpp - the emulator's answers, resource-change notifications, saves and schedule.
#include "sim_emulator.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "oltmgr_names.h"
#include "sim_log.h"

namespace oltmgr::sim {

namespace {

constexpr size_t kDbSaveAt = kResAt + offsetof(tZqCmGponSysConfig, dbSave);

const char *AlarmName(eZqCmAlarmType type) {
    const char *name = AlarmTypeName(type);
    return name != nullptr ? name : "?";
}

// The ONU port of an ONU key, built field by field (the key's padding byte is not the port's).
tZqCmOnuPortKey PortOf(const Key &key) {
    uZqCmKey whole{};
    std::memcpy(&whole, key.data(), sizeof whole);
    tZqCmOnuPortKey port{};
    port.slotId = whole.onuKey.slotId;
    port.deviceId = whole.onuKey.deviceId;
    port.linkId = whole.onuKey.linkId;
    port.onuId = whole.onuKey.onuId;
    return port;
}

std::string PortText(const tZqCmOnuPortKey &port) {
    return std::to_string(port.slotId) + "/" + std::to_string(port.deviceId) + "/" + std::to_string(port.linkId) +
           "/" + std::to_string(port.onuId);
}

std::string Subscribers(size_t count) {
    return std::to_string(count) + (count == 1 ? " subscriber" : " subscribers");
}

bool IsSystemConfig(uint32_t resId) {
    return resId == eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG || resId == eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS;
}

// A request a manager that is still starting refuses: any but the get of the system
// configuration, which is how a host asks whether the manager is ready.
bool RefusedBeforeReady(const Bytes &request) {
    return request.size() >= kMsgLen && ReadAt<uint32_t>(request, kMsgTypeAt) == eZQ_CM_MSG_TYPE_REQ &&
           !(ReadAt<uint32_t>(request, kOperTypeAt) == eZQ_CM_OPER_TYPE_GET &&
             IsSystemConfig(ReadAt<uint32_t>(request, kResIdAt)));
}

// Applies a change to the system configuration as a set request of the manager itself would.
void SetSystemFields(Store &store, const tZqCmGponSysConfig &fields) {
    Bytes record(sizeof fields);
    std::memcpy(record.data(), &fields, sizeof fields);
    Bytes request = BuildRequest({eZQ_CM_OPER_TYPE_SET, eZQ_CMAPI_RES_TYPE_SYSTEM,
                                  eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG, uZqCmKey{}, std::move(record), 0});
    store.Handle(request.data(), request.size());
}

void SetDbSaveStatus(Store &store, eZqCmDbSaveStatus status) {
    tZqCmGponSysConfig fields{};
    fields.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE | fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE_STATU;
    fields.dbSave = eOS_BOOL_FALSE;
    fields.dbSaveStatus = status;
    SetSystemFields(store, fields);
}

} // namespace

std::vector<Reply> Emulator::Respond(const Datagram &datagram, Store &store) {
    if (!open_) {
        return {};
    }
    const Bytes &request = datagram.bytes;
    if (request.size() >= sizeof(tZqOltMsgHdr) && ReadAt<uint32_t>(request, kMsgTypeAt) == eZQ_CM_MSG_TYPE_ALM_REG) {
        return Register(datagram, store);
    }
    eZqCmOltMgrInitStatus state = acceptEarly_ ? eZQ_CM_OLT_STATUS_READY : store.CurrentInitStatus();
    if (state != eZQ_CM_OLT_STATUS_READY && RefusedBeforeReady(request)) {
        Bytes refusal = EchoResponse(request.data(), request.size(), eOS_RET_INVALID_STATE);
        TrafficLine(RequestLine(request, refusal) + " (not ready: " + InitStatusName(state) + ")");
        return {Reply{std::move(refusal)}};
    }
    std::vector<Reply> replies = DefaultReplies(datagram, store);
    if (replies.empty()) {
        ignored_.Count(datagram, IgnoredDatagrams::Clock::now());
        return replies;
    }
    const Bytes &answer = replies.front().bytes;
    if (TrafficLogged()) { // the answering thread formats no line that is not written
        TrafficLine(RequestLine(request, answer));
    }
    if (ReadAt<uint32_t>(answer, kRetAt) != eOS_RET_SUCCESS) {
        return replies;
    }
    uint32_t operType = ReadAt<uint32_t>(request, kOperTypeAt);
    uint32_t resId = ReadAt<uint32_t>(request, kResIdAt);
    if (resId == eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG &&
        (operType == eZQ_CM_OPER_TYPE_CREATE || operType == eZQ_CM_OPER_TYPE_DELETE)) {
        auto notifications = OnuChanged(store, request, operType == eZQ_CM_OPER_TYPE_CREATE);
        std::move(notifications.begin(), notifications.end(), std::back_inserter(replies));
    }
    if (IsSystemConfig(resId) && operType == eZQ_CM_OPER_TYPE_SET &&
        (ReadAt<uint32_t>(request, kResAt) & fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE) != 0 &&
        ReadAt<uint32_t>(request, kDbSaveAt) == eOS_BOOL_TRUE) {
        SaveOnRequest(store);
    }
    return replies;
}

// Answers a registration; a subscriber that gave way to it is logged.
std::vector<Reply> Emulator::Register(const Datagram &datagram, Store &store) {
    std::optional<Subscriber> evicted;
    Bytes answer = store.HandleAlarmRegistration(datagram.bytes.data(), datagram.bytes.size(), datagram.from, &evicted);
    if (answer.empty()) {
        ignored_.Count(datagram, IgnoredDatagrams::Clock::now());
        return {};
    }
    TrafficLine(RegistrationLine(datagram.bytes, answer, datagram.from));
    if (evicted) {
        TrafficLine("alarm subscriber " + EndpointText(evicted->address) + " gave way to " +
                    EndpointText(datagram.from) + ": " + std::to_string(kMaxSubscribers) +
                    " subscribers at most, the oldest goes");
    }
    return {Reply{std::move(answer)}};
}

tZqCmAlarmInfo Emulator::NewAlarm(eZqCmAlarmType type, eZqCmAlarmSeverity severity, eZqCmAlarmCondition condition,
                                  const tZqCmOnuPortKey &where) {
    tZqCmAlarmInfo alarm{};
    alarm.alarmType = type;
    alarm.alarmResId.portId = where;
    alarm.alarmSeqNo = ++alarmSeqNo_;
    auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch()).count();
    alarm.alarmOccurrenceTime.high = static_cast<uint32_t>(static_cast<uint64_t>(now) >> 32);
    alarm.alarmOccurrenceTime.low = static_cast<uint32_t>(now);
    alarm.alarmSeverity = severity;
    alarm.alarmCondition = condition;
    return alarm;
}

// The alarm raise or clear, then the event, for an ONU configuration created or deleted by request.
std::vector<Reply> Emulator::OnuChanged(Store &store, const Bytes &request, bool created) {
    const uint8_t *serial = created ? request.data() + kResAt + kSerialAt : nullptr;
    return OnuReplies(store, ReadAt<Key>(request, kKeyAt), ReadAt<uint32_t>(request, kResTypeAt), serial,
                      {.raise = created, .activated = created});
}

// The ONU alarm raised or cleared, then ONU_ACTIVATED or ONU_DEACTIVATED, for every subscriber
// whose filter lets them through; the serial number, when given, travels in both.
std::vector<Reply> Emulator::OnuReplies(Store &store, const Key &key, uint32_t resType, const uint8_t *serial,
                                        OnuChange change) {
    bool up = change.activated;
    tZqCmOnuPortKey where = PortOf(key);
    tZqCmAlarmInfo alarm = change.raise ? NewAlarm(kOnuAlarm, eZQ_CMAPI_ALARM_SEVERITY_MINOR, eZQ_CMAPI_ALARM_CONDITION_ALARM, where)
                              : NewAlarm(kOnuAlarm, eZQ_CMAPI_ALARM_SEVERITY_CLEAR, eZQ_CMAPI_ALARM_CONDITION_CLEAR, where);
    EventFields event;
    event.eventId = up ? eZQ_CMAPI_EVENT_ONU_ACTIVATED : eZQ_CMAPI_EVENT_ONU_DEACTIVATED;
    event.resType = resType;
    std::memcpy(&event.key, key.data(), sizeof event.key);
    if (serial != nullptr) {
        std::memcpy(alarm.alarmAdditionInfo.onuSerialNum, serial, kSerialLen);
        event.info.assign(serial, serial + kSerialLen);
    }
    std::vector<Reply> replies = AlarmReplies(store, alarm);
    TrafficLine(std::string("alarm ") + AlarmName(kOnuAlarm) + (change.raise ? " raised" : " cleared") + " onu " +
            PortText(where) + " seq " + std::to_string(alarm.alarmSeqNo) + " -> " + Subscribers(replies.size()));
    std::vector<Reply> events = EventReplies(store, event, where);
    TrafficLine(std::string("event ") + EventName(event.eventId) + " onu " + PortText(where) + " -> " +
                Subscribers(events.size()));
    std::move(events.begin(), events.end(), std::back_inserter(replies));
    return replies;
}

void Emulator::OnuUpOrDown(Peer &peer, const Key &key, const uint8_t *serial, bool up) {
    OnuChange change{.raise = !up, .activated = up};
    for (const Reply &reply : OnuReplies(peer.GetStore(), key, eZQ_CMAPI_RES_TYPE_ONU, serial, change)) {
        peer.SendTo(*reply.to, reply.bytes.data(), reply.bytes.size());
    }
}

size_t Emulator::StormAlarm(Peer &peer, eZqCmAlarmType type, const Key &key, const uint8_t *serial) {
    tZqCmAlarmInfo alarm = NewAlarm(type, eZQ_CMAPI_ALARM_SEVERITY_MINOR, eZQ_CMAPI_ALARM_CONDITION_ALARM, PortOf(key));
    if (serial != nullptr) {
        std::memcpy(alarm.alarmAdditionInfo.onuSerialNum, serial, kSerialLen);
    }
    return peer.SendAlarm(alarm);
}

void Emulator::SaveOnRequest(Store &store) {
    if (database_ == nullptr) {
        LogLine("db: save asked for, but no --db file was given: the store stays in memory");
        SetDbSaveStatus(store, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE);
        return;
    }
    if (writer_ != nullptr) {
        // The writer's thread saves while requests go on; the outcome is shown once it is known,
        // and the writer puts it in the file right after.
        SetDbSaveStatus(store, eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS);
        writer_->RequestSave([this, &store](bool saved, size_t instances, const std::string &error) {
            SetDbSaveStatus(store, saved ? eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_SUCCESS
                                         : eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE);
            LogSave(saved, instances, error);
        });
        return;
    }
    // The saved copy already shows the save as done; a failure is written over it in memory.
    SetDbSaveStatus(store, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_SUCCESS);
    if (!Save(store)) {
        SetDbSaveStatus(store, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE);
    }
}

bool Emulator::Save(Store &store) {
    if (database_ == nullptr) {
        return true;
    }
    std::string error;
    if (writer_ != nullptr) {
        size_t instances = 0;
        bool saved = writer_->Save(&instances, &error);
        return LogSave(saved, instances, error);
    }
    std::vector<Instance> instances = store.Instances();
    return LogSave(database_->Save(instances, &error), instances.size(), error);
}

bool Emulator::LogSave(bool saved, size_t instances, const std::string &error) {
    if (!saved) {
        LogLine("db: cannot save to " + database_->Path() + ": " + error);
        std::fprintf(stderr, "oltmgr-sim: cannot save to %s: %s\n", database_->Path().c_str(), error.c_str());
        return false;
    }
    LogLine("db: saved " + std::to_string(instances) + " instances to " + database_->Path());
    return true;
}

void Emulator::ScheduledAlarm(Peer &peer) {
    Store &store = peer.GetStore();
    auto walk = [&](uint32_t operType, const Key &from) {
        RequestFields fields{operType, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, {}, 0};
        std::memcpy(&fields.key, from.data(), sizeof fields.key);
        Bytes request = BuildRequest(fields);
        return store.Handle(request.data(), request.size());
    };
    Bytes found = walk(eZQ_CM_OPER_TYPE_GETNEXT, lastScheduledOnu_);
    if (ReadAt<uint32_t>(found, kRetAt) != eOS_RET_SUCCESS) {
        found = walk(eZQ_CM_OPER_TYPE_GETFIRST, Key{});
    }
    tZqCmAlarmInfo alarm;
    std::string place;
    if (ReadAt<uint32_t>(found, kRetAt) == eOS_RET_SUCCESS) {
        lastScheduledOnu_ = ReadAt<Key>(found, kKeyAt);
        alarm = NewAlarm(kScheduledOnuAlarm, eZQ_CMAPI_ALARM_SEVERITY_TCA, eZQ_CMAPI_ALARM_CONDITION_ALARM,
                         PortOf(lastScheduledOnu_));
        std::memcpy(alarm.alarmAdditionInfo.onuSerialNum, found.data() + kResAt + kSerialAt, kSerialLen);
        place = "onu " + PortText(alarm.alarmResId.portId);
    } else {
        tZqCmOnuPortKey link{};
        link.slotId = 1;
        link.linkId = 1;
        alarm = NewAlarm(kScheduledLinkAlarm, eZQ_CMAPI_ALARM_SEVERITY_CRITICAL, eZQ_CMAPI_ALARM_CONDITION_ALARM, link);
        place = "link 1/0/1";
    }
    size_t sent = peer.SendAlarm(alarm);
    TrafficLine(std::string("alarm ") + AlarmName(alarm.alarmType) + " scheduled " + place + " seq " +
            std::to_string(alarm.alarmSeqNo) + " -> " + Subscribers(sent));
}

} // namespace oltmgr::sim
