// oltmgr_store.cpp - the OLT manager's resources, start-up state and alarm subscribers.
#include "oltmgr_store.h"

#include <algorithm>
#include <cstring>

namespace oltmgr {

namespace {

constexpr uint32_t kSysConfigId = eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG;
constexpr uint32_t kInitStatusId = eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS;
constexpr uint32_t kOnuConfigId = eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG;

static_assert(kSerialAt + kSerialLen <= sizeof(tZqCmOnuConfig), "serial inside the ONU configuration");

// The fields of the system configuration and the bitMask bit that names each.
struct SysField {
    uint32_t bit;
    size_t at;
    size_t len;
};
#define OLTMGR_SYS_FIELD(bitM, fieldM) \
    SysField { bitM, offsetof(tZqCmGponSysConfig, fieldM), sizeof(tZqCmGponSysConfig::fieldM) }
constexpr SysField kSysFields[] = {
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER, fdbAgingTimer),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_IGMP_PROXY_ROUTING_MODE, igmpProxyRoutingMode),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_AUTHENTICATION_METHOD, authenticationMethod),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_ENCRYPTION_MODE, encryptionMode),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_KEY_EXCHANGE_INTERVAL, keyExchangeInterval),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_DOWNSTREAM_BROADCAST_GEM_PORT_NO, downstreamBroadcastGEMPortNo),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE, dbSave),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE_STATU, dbSaveStatus),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_DB_AUDIT, dbAudit),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_DB_AUDIT_STATU, dbAuditStatus),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS, oltInitStatus),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_AUTO_UPGRADE_SERVER_ADDRESS, autoUpgradeServerAddr),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_SHOW_RUNNING_CONFIG, showRunningConfig),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_AUTO_LEARN_SN, autoLearnSnB),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_CLEAR_CONFIG, clearConfig),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_VENDOR_ID, oltGVendorId),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_VERSION, oltGversion),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_EQUIPMENT_ID, oltGEquipmentID),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_REPETITION_DELAY, hbRepetitionDelay),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_NUM_OF_CONSECUTIVE_MISSED_HBS, numOfConsecutiveMissedHbs),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_USERNAME, hbUserName),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_PASSWORD, hbPassWord),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_IMA_CONFIG_COMPLETE_REQ, imaCfgComplete),
    OLTMGR_SYS_FIELD(fCMAPI_GPON_SYS_CONFIG_MASK_SYSTEM_MODE, systemMode),
    OLTMGR_SYS_FIELD(fCMAPI_XGPON_SYS_CONFIG_MASK_AUTHENTICATION_METHOD, xgsAuthenticationMethod),
};
#undef OLTMGR_SYS_FIELD

// Where the record of a resource id lies in a message.
size_t RecordAt(uint32_t resId) { return ExtendedRecordSize(resId) != 0 ? kExtOffset : kResAt; }

Bytes RecordOf(const Bytes &message) {
    uint32_t resId = ReadAt<uint32_t>(message, kResIdAt);
    auto begin = message.begin() + static_cast<std::ptrdiff_t>(RecordAt(resId));
    return Bytes(begin, begin + static_cast<std::ptrdiff_t>(RecordSize(resId)));
}

void PutRecord(Bytes &message, const Bytes &record) {
    uint32_t resId = ReadAt<uint32_t>(message, kResIdAt);
    std::copy_n(record.begin(), std::min(record.size(), RecordSize(resId)), message.begin() + RecordAt(resId));
}

bool SameEndpoint(const sockaddr_in &a, const sockaddr_in &b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

template <typename T>
bool InRange(T value, T min, T max) {
    return min <= value && value <= max;
}

// The filters that select by place: whether where passes; false for the other filter types.
bool PlacePasses(const tZqCmAlarmFilterInfo &filter, const tZqCmOnuPortKey &where) {
    bool slotIn = InRange<uint32_t>(where.slotId, filter.slotIdMin, filter.slotIdMax);
    bool linkIn = InRange<uint32_t>(where.linkId, filter.linkIdMin, filter.linkIdMax);
    bool onuIn = InRange<uint32_t>(where.onuId, filter.onuIdMin, filter.onuIdMax);
    switch (WireValue(filter.alarmFilterType)) {
    case eZQ_CMAPI_ALARM_FILTER_NONE:
        return true;
    case eZQ_CMAPI_ALARM_FILTER_ONU:
        return slotIn && linkIn && onuIn;
    case eZQ_CMAPI_ALARM_FILTER_LINK:
        return slotIn && linkIn;
    case eZQ_CMAPI_ALARM_FILTER_SLOT:
        return slotIn;
    default:
        return false;
    }
}

} // namespace

size_t RecordSize(uint32_t resId) {
    size_t extSize = ExtendedRecordSize(resId);
    return extSize != 0 ? extSize : kResLen;
}

bool EventFilterPasses(const tZqCmAlarmFilterInfo &filter, const tZqCmOnuPortKey &where) {
    return PlacePasses(filter, where);
}

bool FilterPasses(const tZqCmAlarmFilterInfo &filter, const tZqCmAlarmInfo &alarm) {
    uint32_t alarmType = WireValue(alarm.alarmType);
    switch (WireValue(filter.alarmFilterType)) {
    case eZQ_CMAPI_ALARM_FILTER_ALARM_TYPE:
        return InRange(alarmType, WireValue(filter.alarmTypeMin), WireValue(filter.alarmTypeMax));
    case eZQ_CMAPI_ALARM_FILTER_PM_TCA:
        return InRange<uint32_t>(alarmType, eZQ_CMAPI_TCA_ALARM_MIN, eZQ_CMAPI_TCA_ALARM_MAX);
    default:
        return PlacePasses(filter, alarm.alarmResId.portId);
    }
}

Store::Store() : initStatuses_{eZQ_CM_OLT_STATUS_READY} {
    records_.emplace(Id{kSysConfigId, Key{}}, Bytes(kResLen, 0));
}

Bytes Store::Handle(const uint8_t *request, size_t length) {
    if (request == nullptr || length < kMsgLen) {
        return {};
    }
    uint32_t msgType;
    std::memcpy(&msgType, request + kMsgTypeAt, sizeof msgType);
    if (msgType != eZQ_CM_MSG_TYPE_REQ) {
        return {};
    }
    Bytes response = EchoResponse(request, length, eOS_RET_SUCCESS);
    std::lock_guard lock(mutex_);
    WriteAt<uint32_t>(response, kRetAt, Apply(response));
    return response;
}

// Carries out the request held in response (its echo) and writes the found key and record there.
eOsRet Store::Apply(Bytes &response) {
    uint32_t operType = ReadAt<uint32_t>(response, kOperTypeAt);
    uint32_t resId = ReadAt<uint32_t>(response, kResIdAt);
    bool system = resId == kSysConfigId || resId == kInitStatusId;
    Id id{system ? kSysConfigId : resId, system ? Key{} : ReadAt<Key>(response, kKeyAt)};

    switch (operType) {
    case eZQ_CM_OPER_TYPE_CREATE:
        return Create(id, response);
    case eZQ_CM_OPER_TYPE_DELETE:
        if (system) {
            return eOS_RET_OLT_INVALID_OPER;
        }
        if (records_.erase(id) == 0) {
            return eOS_RET_OLT_NO_INSTANCE_EXISTS;
        }
        Note(id);
        return eOS_RET_SUCCESS;
    case eZQ_CM_OPER_TYPE_SET: {
        eOsRet ret = Set(id, response);
        if (ret == eOS_RET_SUCCESS) {
            PutFound(response, records_.find(id), false);
        }
        return ret;
    }
    case eZQ_CM_OPER_TYPE_GET: {
        auto found = records_.find(id);
        if (found == records_.end()) {
            return eOS_RET_OLT_NO_INSTANCE_EXISTS;
        }
        PutFound(response, found, resId == kInitStatusId);
        return eOS_RET_SUCCESS;
    }
    case eZQ_CM_OPER_TYPE_GETFIRST:
    case eZQ_CM_OPER_TYPE_GETNEXT:
    case eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY:
    case eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY:
    case eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER: {
        auto found = operType == eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER ? FindBySerial(response)
                                                                       : WalkFrom(id, operType);
        if (found == records_.end()) {
            return eOS_RET_OLT_NO_INSTANCE_EXISTS;
        }
        WriteAt(response, kKeyAt, found->first.key);
        PutFound(response, found, false);
        return eOS_RET_SUCCESS;
    }
    case eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM: {
        size_t count = CountOf(id.resId);
        std::fill_n(response.begin() + kResAt, kResLen, 0);
        WriteAt(response, kInstanceNumAt, static_cast<uint16_t>(std::min<size_t>(count, UINT16_MAX)));
        return eOS_RET_SUCCESS;
    }
    default:
        return eOS_RET_OLT_UNKNOWN_OPER;
    }
}

eOsRet Store::Create(const Id &id, const Bytes &response) {
    if (records_.contains(id)) {
        return eOS_RET_OLT_INSTANCE_EXISTS;
    }
    if (records_.size() >= kMaxInstances) {
        return eOS_RET_NO_RESOURCE;
    }
    records_.emplace(id, RecordOf(response));
    Note(id);
    return eOS_RET_SUCCESS;
}

eOsRet Store::Set(const Id &id, const Bytes &response) {
    auto found = records_.find(id);
    if (found == records_.end()) {
        return eOS_RET_OLT_NO_INSTANCE_EXISTS;
    }
    Note(id);
    Bytes given = RecordOf(response);
    if (id.resId != kSysConfigId) {
        found->second = std::move(given);
        return eOS_RET_SUCCESS;
    }
    Bytes &stored = found->second;
    uint32_t mask = ReadAt<uint32_t>(given, 0);
    for (const SysField &field : kSysFields) {
        if ((mask & field.bit) != 0) {
            std::copy_n(given.begin() + field.at, field.len, stored.begin() + field.at);
        }
    }
    WriteAt(stored, 0, ReadAt<uint32_t>(stored, 0) | mask);
    return eOS_RET_SUCCESS;
}

Store::Records::iterator Store::WalkFrom(const Id &id, uint32_t operType) {
    Records::iterator found;
    if (operType == eZQ_CM_OPER_TYPE_GETFIRST) {
        found = records_.lower_bound(Id{id.resId, Key{}});
    } else if (operType == eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY) {
        found = records_.lower_bound(id);
    } else {
        found = records_.upper_bound(id);
    }
    return found != records_.end() && found->first.resId == id.resId ? found : records_.end();
}

Store::Records::iterator Store::FindBySerial(const Bytes &response) {
    Bytes wanted = RecordOf(response);
    auto serial = wanted.begin() + kSerialAt;
    for (auto it = records_.lower_bound(Id{kOnuConfigId, Key{}});
         it != records_.end() && it->first.resId == kOnuConfigId; ++it) {
        if (std::equal(serial, serial + kSerialLen, it->second.begin() + kSerialAt)) {
            return it;
        }
    }
    return records_.end();
}

// Puts a stored record into the answer; the system configuration carries the start-up state.
void Store::PutFound(Bytes &response, Records::const_iterator found, bool isPoll) {
    PutRecord(response, found->second);
    if (found->first.resId == kSysConfigId) {
        WriteAt<uint32_t>(response, kInitStatusAt, InitStatus(isPoll));
    }
}

eZqCmOltMgrInitStatus Store::InitStatus(bool isPoll) {
    if (timed_) {
        auto elapsed = Clock::now() - started_;
        if (elapsed >= initDelay_) {
            return eZQ_CM_OLT_STATUS_READY;
        }
        return elapsed * 2 < initDelay_ ? eZQ_CM_OLT_STATUS_NOT_INIT : eZQ_CM_OLT_STATUS_BUSY;
    }
    size_t last = initStatuses_.size() - 1;
    if (isPoll) {
        return initStatuses_[std::min(polls_++, last)];
    }
    return initStatuses_[std::min(polls_ == 0 ? 0 : polls_ - 1, last)];
}

eZqCmOltMgrInitStatus Store::CurrentInitStatus() {
    std::lock_guard lock(mutex_);
    return InitStatus(false);
}

void Store::SetInitStatusSequence(std::vector<eZqCmOltMgrInitStatus> statuses) {
    std::lock_guard lock(mutex_);
    initStatuses_ = statuses.empty() ? std::vector{eZQ_CM_OLT_STATUS_READY} : std::move(statuses);
    polls_ = 0;
    timed_ = false;
}

void Store::SetInitDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    timed_ = true;
    started_ = Clock::now();
    initDelay_ = std::max(delay, std::chrono::milliseconds{0});
}

std::vector<Instance> Store::Instances() {
    std::lock_guard lock(mutex_);
    std::vector<Instance> instances;
    instances.reserve(records_.size());
    for (const auto &[id, record] : records_) {
        instances.push_back({id.resId, id.key, record});
    }
    return instances;
}

bool Store::Load(const std::vector<Instance> &instances) {
    if (instances.size() > kMaxInstances) {
        return false;
    }
    Records loaded;
    for (const Instance &instance : instances) {
        bool system = instance.resId == kSysConfigId;
        if (instance.record.size() != RecordSize(instance.resId) || instance.resId == kInitStatusId ||
            (system && instance.key != Key{}) ||
            !loaded.emplace(Id{instance.resId, instance.key}, instance.record).second) {
            return false;
        }
    }
    std::lock_guard lock(mutex_);
    loaded.emplace(Id{kSysConfigId, Key{}}, records_.at(Id{kSysConfigId, Key{}})); // kept unless given
    if (tracking_) {
        // What goes and what comes are changes; an instance kept as it was is not.
        for (const auto &[id, record] : records_) {
            auto kept = loaded.find(id);
            if (kept == loaded.end() || kept->second != record) {
                changed_.insert(id);
            }
        }
        for (const auto &[id, record] : loaded) {
            if (!records_.contains(id)) {
                changed_.insert(id);
            }
        }
    }
    records_ = std::move(loaded);
    return true;
}

size_t Store::Size() {
    std::lock_guard lock(mutex_);
    return records_.size();
}

void Store::TrackChanges() {
    std::lock_guard lock(mutex_);
    tracking_ = true;
    changed_.clear();
}

void Store::Note(const Id &id) {
    if (tracking_) {
        changed_.insert(id);
    }
}

bool Store::TakeChanges(size_t limit, std::vector<Instance> *changes) {
    std::lock_guard lock(mutex_);
    auto next = changed_.begin();
    for (; next != changed_.end() && limit > 0; --limit) {
        auto found = records_.find(*next);
        changes->push_back({next->resId, next->key, found != records_.end() ? found->second : Bytes{}});
        next = changed_.erase(next);
    }
    return !changed_.empty();
}

size_t Store::Count(eZqCmApiResId resId) {
    std::lock_guard lock(mutex_);
    return CountOf(resId == kInitStatusId ? kSysConfigId : static_cast<uint32_t>(resId));
}

size_t Store::CountOf(uint32_t resId) const {
    size_t count = 0;
    for (auto it = records_.lower_bound(Id{resId, Key{}}); it != records_.end() && it->first.resId == resId; ++it) {
        ++count;
    }
    return count;
}

Bytes Store::HandleAlarmRegistration(const uint8_t *request, size_t length, const sockaddr_in &from,
                                     std::optional<Subscriber> *evictedP) {
    if (request == nullptr || length < sizeof(tZqCmAlarmRegInfo)) {
        return {};
    }
    Bytes registration(request, request + sizeof(tZqCmAlarmRegInfo));
    if (ReadAt<uint32_t>(registration, kMsgTypeAt) != eZQ_CM_MSG_TYPE_ALM_REG) {
        return {};
    }
    tZqCmAlarmRegInfo info = ReadAt<tZqCmAlarmRegInfo>(registration, 0);
    Bytes response(kMsgLen, 0);
    std::copy_n(registration.begin(), sizeof(tZqOltMsgHdr), response.begin());
    TurnIntoResponse(response);
    WriteAt(response, kResAt, info);

    std::lock_guard lock(mutex_);
    auto known = std::find_if(subscribers_.begin(), subscribers_.end(),
                              [&](const Subscriber &s) { return SameEndpoint(s.address, from); });
    eOsRet ret = eOS_RET_SUCCESS;
    uint32_t regType = WireValue(info.regType);
    if (regType == eZQ_CMAPI_ALARM_REG_TYPE_REG) {
        // Registration order is age: a subscriber that registers again is the newest.
        if (known != subscribers_.end()) {
            subscribers_.erase(known);
        } else if (subscribers_.size() >= kMaxSubscribers) {
            if (evictedP != nullptr) {
                *evictedP = subscribers_.front();
            }
            subscribers_.erase(subscribers_.begin());
        }
        subscribers_.push_back({from, info.managerId, info.alarmFilterInfo});
    } else if (regType == eZQ_CMAPI_ALARM_REG_TYPE_UNREG) {
        if (known != subscribers_.end()) {
            subscribers_.erase(known);
        } else {
            ret = eOS_RET_OLT_NO_INSTANCE_EXISTS;
        }
    } else {
        ret = eOS_RET_OLT_INVALID_OPER;
    }
    WriteAt<uint32_t>(response, kRetAt, ret);
    return response;
}

std::vector<Subscriber> Store::Subscribers() {
    std::lock_guard lock(mutex_);
    return subscribers_;
}

size_t Store::ForgetSubscribers() {
    std::lock_guard lock(mutex_);
    size_t count = subscribers_.size();
    subscribers_.clear();
    return count;
}

} // namespace oltmgr
