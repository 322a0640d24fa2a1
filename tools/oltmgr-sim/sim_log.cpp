// sim_log.cpp - the emulator's one-line log records.
#include "sim_log.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "oltmgr_names.h"

namespace oltmgr::sim {

namespace {

std::mutex logMutex;
std::atomic<bool> quietLog{false};

constexpr auto kSummaryPeriod = std::chrono::seconds(1);

std::string Named(const char *name, uint32_t value) {
    return name != nullptr ? std::string(name) : std::to_string(value);
}

const char *FilterName(uint32_t filterType) {
    constexpr const char *kNames[] = {"NONE", "ONU", "LINK", "SLOT", "ALARM_TYPE", "PM_TCA", "AVC"};
    return filterType < std::size(kNames) ? kNames[filterType] : "?";
}

bool IsSystem(uint32_t resId) {
    return resId == eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG || resId == eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS;
}

} // namespace

const char *InitStatusName(uint32_t status) {
    switch (status) {
    case eZQ_CM_OLT_STATUS_NOT_INIT:
        return "NOT_INIT";
    case eZQ_CM_OLT_STATUS_BUSY:
        return "BUSY";
    case eZQ_CM_OLT_STATUS_READY:
        return "READY";
    default:
        return "?";
    }
}

void LogLine(const std::string &text) {
    std::lock_guard lock(logMutex);
    std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void TrafficLine(const std::string &text) {
    if (!quietLog.load()) {
        LogLine(text);
    }
}

void SetQuiet(bool quiet) { quietLog.store(quiet); }

bool TrafficLogged() { return !quietLog.load(std::memory_order_relaxed); }

void IgnoredDatagrams::Count(const Datagram &datagram, Clock::time_point now) {
    size_t reason = 3;
    uint32_t msgType = ReadAt<uint32_t>(datagram.bytes, kMsgTypeAt);
    if (datagram.bytes.size() < sizeof(tZqOltMsgHdr)) {
        reason = 0;
    } else if (msgType == eZQ_CM_MSG_TYPE_REQ) {
        reason = 1;
    } else if (msgType == eZQ_CM_MSG_TYPE_ALM_REG) {
        reason = 2;
    }
    std::string line;
    {
        std::lock_guard lock(mutex_);
        ++byReason_[reason];
        ++count_;
        if (reason == 3) {
            lastMsgType_ = msgType;
        }
        lastFrom_ = EndpointText(datagram.from);
        lastLength_ = datagram.bytes.size();
        line = TakeSummary(now, false);
    }
    if (!line.empty()) {
        TrafficLine(line);
    }
}

void IgnoredDatagrams::Flush(Clock::time_point now, bool final) {
    std::string line;
    {
        std::lock_guard lock(mutex_);
        line = TakeSummary(now, final);
    }
    if (!line.empty()) {
        TrafficLine(line);
    }
}

// "ignored 3 datagrams: 1 shorter than a message header, 2 requests shorter than 1640 bytes;
// latest 5 bytes from 127.0.0.1:40001"
std::string IgnoredDatagrams::TakeSummary(Clock::time_point now, bool final) {
    if (count_ == 0 || (!final && now - lastLine_ < kSummaryPeriod)) {
        return {};
    }
    const std::string reasons[] = {
        "shorter than a message header",
        "requests shorter than " + std::to_string(kMsgLen) + " bytes",
        "registrations shorter than " + std::to_string(sizeof(tZqCmAlarmRegInfo)) + " bytes",
        "of a message type that is not answered (latest " + std::to_string(lastMsgType_) + ")",
    };
    std::string line = "ignored " + std::to_string(count_) + (count_ == 1 ? " datagram:" : " datagrams:");
    const char *separator = " ";
    for (size_t i = 0; i < byReason_.size(); ++i) {
        if (byReason_[i] != 0) {
            line += separator + std::to_string(byReason_[i]) + " " + reasons[i];
            separator = ", ";
        }
    }
    line += "; latest " + std::to_string(lastLength_) + " bytes from " + lastFrom_;
    byReason_ = {};
    count_ = 0;
    lastLine_ = now;
    return line;
}

std::string EndpointText(const sockaddr_in &address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

std::string KeySummary(uint32_t resId, const Key &key) {
    if (IsSystem(resId)) {
        return "system";
    }
    auto last = std::find_if(key.rbegin(), key.rend(), [](uint8_t b) { return b != 0; });
    if (last == key.rend()) {
        return "-";
    }
    if (resId == eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG) {
        tZqCmOnuKey onu = ReadAt<tZqCmOnuKey>(Bytes(key.begin(), key.end()), 0);
        return "onu " + std::to_string(onu.slotId) + "/" + std::to_string(onu.deviceId) + "/" +
               std::to_string(onu.linkId) + "/" + std::to_string(onu.onuId);
    }
    std::string hex = "key ";
    size_t used = static_cast<size_t>(key.rend() - last);
    for (size_t i = 0; i < used; ++i) {
        constexpr char kDigits[] = "0123456789abcdef";
        hex += kDigits[key[i] >> 4];
        hex += kDigits[key[i] & 0xF];
    }
    return hex;
}

std::string RequestLine(const Bytes &request, const Bytes &answer) {
    uint32_t operType = ReadAt<uint32_t>(request, kOperTypeAt);
    uint32_t resId = ReadAt<uint32_t>(request, kResIdAt);
    uint32_t ret = ReadAt<uint32_t>(answer, kRetAt);
    std::string line = "request tid " + std::to_string(ReadAt<uint16_t>(request, kTransactionIdAt)) + " " +
                       Named(OperName(operType), operType) + " " + Named(ResIdName(resId), resId) + "(" +
                       std::to_string(resId) + ") " + KeySummary(resId, ReadAt<Key>(request, kKeyAt)) +
                       " -> " + Named(RetName(ret), ret);
    if (ret != eOS_RET_SUCCESS) {
        return line;
    }
    switch (operType) {
    case eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM:
        return line + " count " + std::to_string(ReadAt<uint16_t>(answer, kInstanceNumAt));
    case eZQ_CM_OPER_TYPE_GETFIRST:
    case eZQ_CM_OPER_TYPE_GETNEXT:
    case eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY:
    case eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY:
    case eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER:
        return line + " found " + KeySummary(resId, ReadAt<Key>(answer, kKeyAt));
    default:
        break;
    }
    if (IsSystem(resId)) {
        return line + " status " + InitStatusName(ReadAt<uint32_t>(answer, kInitStatusAt));
    }
    return line;
}

std::string RegistrationLine(const Bytes &request, const Bytes &answer, const sockaddr_in &from) {
    auto info = ReadAt<tZqCmAlarmRegInfo>(request, 0);
    uint32_t regType = WireValue(info.regType);
    uint32_t ret = ReadAt<uint32_t>(answer, kRetAt);
    const char *what = regType == eZQ_CMAPI_ALARM_REG_TYPE_REG     ? "register"
                       : regType == eZQ_CMAPI_ALARM_REG_TYPE_UNREG ? "unregister"
                                                                   : "registration type ?";
    return std::string("alarm ") + what + " tid " + std::to_string(info.msgHdr.transactionId) + " from " +
           EndpointText(from) + " filter " + FilterName(WireValue(info.alarmFilterInfo.alarmFilterType)) +
           " -> " + Named(RetName(ret), ret);
}

} // namespace oltmgr::sim
