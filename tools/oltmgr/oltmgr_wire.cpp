// oltmgr_wire.cpp - building and reshaping CM datagrams on the OLT manager's side.
#include "oltmgr_wire.h"

#include <algorithm>

namespace oltmgr {

namespace {

Bytes ZeroedMessage(size_t length) { return Bytes(length, 0); }

void WriteHeader(Bytes &message, eZqOltModuleId from, eZqOltModuleId to, eZqCmMsgType msgType,
                 uint16_t transactionId) {
    WriteAt<uint32_t>(message, kSrcModuleAt, from);
    WriteAt<uint32_t>(message, kDstModuleAt, to);
    WriteAt<uint32_t>(message, kSrcTaskAt, 0);
    WriteAt<uint32_t>(message, kDstTaskAt, 0xFFFFFFFFu);
    WriteAt<uint32_t>(message, kMsgTypeAt, msgType);
    WriteAt(message, kTransactionIdAt, transactionId);
}

} // namespace

size_t ExtendedRecordSize(uint32_t resId) { return ZqCmExtendedRecordSize(resId); }

size_t MessageLength(uint32_t resId) { return ExtendedRecordSize(resId) != 0 ? kApiMsgLen : kMsgLen; }

void TurnIntoResponse(Bytes &message) {
    uint32_t srcModule = ReadAt<uint32_t>(message, kSrcModuleAt);
    uint32_t srcTask = ReadAt<uint32_t>(message, kSrcTaskAt);
    WriteAt(message, kSrcModuleAt, ReadAt<uint32_t>(message, kDstModuleAt));
    WriteAt(message, kDstModuleAt, srcModule);
    WriteAt(message, kSrcTaskAt, ReadAt<uint32_t>(message, kDstTaskAt));
    WriteAt(message, kDstTaskAt, srcTask);
    WriteAt<uint32_t>(message, kMsgTypeAt, eZQ_CM_MSG_TYPE_RSP);
}

Bytes EchoResponse(const uint8_t *request, size_t length, eOsRet ret) {
    if (request == nullptr || length < kMsgLen) {
        return {};
    }
    uint32_t resId;
    std::memcpy(&resId, request + kResIdAt, sizeof resId); // inside the 1640 bytes checked above
    Bytes response = ZeroedMessage(MessageLength(resId));
    std::copy_n(request, std::min({length, kApiMsgLen, response.size()}), response.begin());

    TurnIntoResponse(response);
    if (ExtendedRecordSize(resId) != 0) {
        WriteAt<uint64_t>(response, kResAt, 0);
    }
    WriteAt<uint32_t>(response, kRetAt, ret);
    return response;
}

Bytes WithTransactionId(Bytes datagram, uint16_t transactionId) {
    WriteAt(datagram, kTransactionIdAt, transactionId);
    return datagram;
}

Bytes WithRet(Bytes datagram, eOsRet ret) {
    WriteAt<uint32_t>(datagram, kRetAt, ret);
    return datagram;
}

Bytes Resized(Bytes datagram, size_t length) {
    datagram.resize(length, 0);
    return datagram;
}

Bytes BuildAlarmMessage(const tZqCmAlarmInfo &alarm, uint32_t managerId) {
    Bytes message = ZeroedMessage(kMsgLen);
    WriteHeader(message, eZQ_OLT_MAN_MODULE_ALM, eZQ_OLT_MAN_MODULE_EXT_SNMP, eZQ_CM_MSG_TYPE_ALM, 0);
    WriteAt(message, kManagerIdAt, managerId);
    WriteAt(message, kAlarmInfoAt, alarm);
    return message;
}

Bytes BuildEventMessage(const EventFields &event, uint32_t managerId) {
    Bytes message = ZeroedMessage(kMsgLen);
    WriteHeader(message, eZQ_OLT_MAN_MODULE_ALM, eZQ_OLT_MAN_MODULE_EXT_SNMP, eZQ_CM_MSG_TYPE_EVT, 0);
    WriteAt(message, kManagerIdAt, managerId);
    WriteAt(message, kEventIdAt, event.eventId);
    WriteAt(message, kEventResTypeAt, event.resType);
    WriteAt(message, kEventKeyAt, event.key);
    std::copy_n(event.info.begin(), std::min(event.info.size(), sizeof(uZqCmEventInfo)),
                message.begin() + kEventInfoAt);
    return message;
}

Bytes BuildRequest(const RequestFields &fields) {
    Bytes message = ZeroedMessage(MessageLength(fields.resId));
    WriteHeader(message, eZQ_OLT_MAN_MODULE_EXT_SNMP, eZQ_OLT_MAN_MODULE_SVC, eZQ_CM_MSG_TYPE_REQ,
                fields.transactionId);
    WriteAt(message, kOperTypeAt, fields.operType);
    WriteAt(message, kResTypeAt, fields.resType);
    WriteAt(message, kResIdAt, fields.resId);
    WriteAt(message, kKeyAt, fields.key);
    size_t extSize = ExtendedRecordSize(fields.resId);
    size_t at = extSize != 0 ? kExtOffset : kResAt;
    size_t room = extSize != 0 ? extSize : kResLen;
    std::copy_n(fields.record.begin(), std::min(fields.record.size(), room), message.begin() + at);
    return message;
}

Bytes BuildAlarmRegistration(uint16_t transactionId, eZqCmAlarmRegType regType,
                             const tZqCmAlarmFilterInfo &filter) {
    Bytes message = ZeroedMessage(kMsgLen);
    WriteHeader(message, eZQ_OLT_MAN_MODULE_EXT_SNMP, eZQ_OLT_MAN_MODULE_ALM, eZQ_CM_MSG_TYPE_ALM_REG,
                transactionId);
    WriteAt<uint32_t>(message, offsetof(tZqCmAlarmRegInfo, regType), regType);
    WriteAt(message, offsetof(tZqCmAlarmRegInfo, alarmFilterInfo), filter);
    return message;
}

} // namespace oltmgr
