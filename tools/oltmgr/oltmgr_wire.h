// oltmgr_wire.h - CM datagrams as the OLT manager sees them: fields read and written at their wire
// offsets, the lengths a message takes, responses turned from requests, alarm messages, and the
// requests a test sends in place of a client.
//
// A datagram is a byte vector holding the raw image of the records of zqcommon.h. Readers never
// look past the end of the vector: a field the datagram does not cover reads as zero and a write
// outside it is dropped, so a short or garbled datagram is never a memory fault.
#ifndef RELAYKIT_OLTMGR_WIRE_H
#define RELAYKIT_OLTMGR_WIRE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "zqcommon.h"

namespace oltmgr {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kMsgLen = ZQ_CM_MSG_LEN;        // an ordinary datagram
inline constexpr size_t kApiMsgLen = ZQ_CM_API_MSG_LEN; // a datagram with an extended record
inline constexpr size_t kExtOffset = ZQ_CM_EXT_OFFSET;  // where the extended record starts

// Field offsets in a message; the records of zqcommon.h assert the same numbers.
inline constexpr size_t kSrcModuleAt = offsetof(tZqOltMsgHdr, srcModuleId);
inline constexpr size_t kDstModuleAt = offsetof(tZqOltMsgHdr, dstModuleId);
inline constexpr size_t kSrcTaskAt = offsetof(tZqOltMsgHdr, srcTaskId);
inline constexpr size_t kDstTaskAt = offsetof(tZqOltMsgHdr, dstTaskId);
inline constexpr size_t kMsgTypeAt = offsetof(tZqOltMsgHdr, msgType);
inline constexpr size_t kManagerIdAt = offsetof(tZqOltMsgHdr, managerId);
inline constexpr size_t kTransactionIdAt = offsetof(tZqOltMsgHdr, transactionId);
inline constexpr size_t kOperTypeAt = offsetof(tZqCmRspMsg, operType);
inline constexpr size_t kResTypeAt = offsetof(tZqCmRspMsg, resType);
inline constexpr size_t kResIdAt = offsetof(tZqCmRspMsg, resId);
inline constexpr size_t kKeyAt = offsetof(tZqCmRspMsg, dbKey);
inline constexpr size_t kResAt = offsetof(tZqCmRspMsg, res);
inline constexpr size_t kRetAt = offsetof(tZqCmRspMsg, ret);
inline constexpr size_t kKeyLen = sizeof(uZqCmKey);
inline constexpr size_t kResLen = sizeof(uZqCmRes);
inline constexpr size_t kRegTypeAt = kResAt + offsetof(tZqCmAlarmRegInfo, regType);
inline constexpr size_t kInitStatusAt = kResAt + offsetof(tZqCmGponSysConfig, oltInitStatus);
inline constexpr size_t kInstanceNumAt = kResAt + offsetof(tZqCmResInstance, instanceNum);
inline constexpr size_t kAlarmInfoAt = offsetof(tZqCmAlarmMsg, alarmInfo);
inline constexpr size_t kEventIdAt = offsetof(tZqCmEventMsg, eventId);
inline constexpr size_t kEventResTypeAt = offsetof(tZqCmEventMsg, resType);
inline constexpr size_t kEventKeyAt = offsetof(tZqCmEventMsg, dbKey);
inline constexpr size_t kEventInfoAt = offsetof(tZqCmEventMsg, eventInfo);

static_assert(kMsgTypeAt == 16 && kTransactionIdAt == 24, "header offsets");
static_assert(kOperTypeAt == 28 && kResIdAt == 36 && kKeyAt == 40 && kResAt == 96, "message offsets");
static_assert(kRetAt == 1168 && kRegTypeAt == 136 && kInitStatusAt == 140, "answer offsets");
static_assert(kAlarmInfoAt == 28 && sizeof(tZqCmAlarmInfo) == 1072, "alarm message layout");
static_assert(kEventIdAt == 28 && kEventResTypeAt == 32 && kEventKeyAt == 36 && kEventInfoAt == 88,
              "event message layout");
static_assert(kResAt + kResLen == kRetAt, "ret follows the record");

// The field of type T at offset; zero when the datagram does not hold all of it.
template <typename T>
T ReadAt(const Bytes &datagram, size_t offset) {
    static_assert(std::is_trivially_copyable_v<T>);
    T value{};
    if (offset <= datagram.size() && sizeof(T) <= datagram.size() - offset) {
        std::memcpy(&value, datagram.data() + offset, sizeof(T));
    }
    return value;
}

// Writes the field of type T at offset; nothing when the datagram does not hold all of it.
template <typename T>
void WriteAt(Bytes &datagram, size_t offset, const T &value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (offset <= datagram.size() && sizeof(T) <= datagram.size() - offset) {
        std::memcpy(datagram.data() + offset, &value, sizeof(T));
    }
}

// The 32 bits of an enumeration field as they came off the wire; reading the enumeration itself
// would claim the value is one of its enumerators, which a datagram does not promise.
template <typename E>
uint32_t WireValue(const E &field) {
    static_assert(sizeof(E) == sizeof(uint32_t));
    uint32_t value;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

// Record size of an extended resource id (804 for 36, 372 for 38, 120 for 104), else 0.
size_t ExtendedRecordSize(uint32_t resId);

// Length of a message about resId: 2448 for an extended id, else 1640.
size_t MessageLength(uint32_t resId);

// Turns a message header into the header of its answer: msgType RSP, source and destination
// module and task swapped, transaction id kept.
void TurnIntoResponse(Bytes &message);

// The answer skeleton of a request datagram: the request's bytes (at most 2448) in a zero-filled
// buffer of MessageLength(resId), msgType RSP, source and destination module and task swapped,
// the first 8 bytes of res cleared for an extended id (they held an address in the sender's
// memory), and ret. Empty for a datagram shorter than 1640 bytes.
Bytes EchoResponse(const uint8_t *request, size_t length, eOsRet ret);

// The datagram with another transaction id, another ret, or cut or zero-padded to a length.
Bytes WithTransactionId(Bytes datagram, uint16_t transactionId);
Bytes WithRet(Bytes datagram, eOsRet ret);
Bytes Resized(Bytes datagram, size_t length);

// An alarm message (msgType ALM) of 1640 bytes from the alarm module, carrying alarm.
Bytes BuildAlarmMessage(const tZqCmAlarmInfo &alarm, uint32_t managerId);

// An event message (msgType EVT) of 1640 bytes from the alarm module: the event, the resource
// type and key it is about, and its details (at most 1552 bytes, the rest zero).
struct EventFields {
    uint32_t eventId = 0;
    uint32_t resType = 0;
    uZqCmKey key{};
    Bytes info;
};
Bytes BuildEventMessage(const EventFields &event, uint32_t managerId);

// A request as the client lays it out: header from module EXT_SNMP to module SVC with msgType REQ,
// the key, and the record in res (at most 1072 bytes, 1640-byte datagram) or, for an extended id,
// at offset 1640 (at most the record's size, 2448-byte datagram).
struct RequestFields {
    uint32_t operType = eZQ_CM_OPER_TYPE_GET; // any value, the unknown ones included
    uint32_t resType = 0;
    uint32_t resId = 0;
    uZqCmKey key{};
    Bytes record;
    uint16_t transactionId = 0;
};
Bytes BuildRequest(const RequestFields &fields);

// An alarm registration (regType 1) or unregistration (2) as the client sends it: 1640 bytes,
// msgType ALM_REG, destination module ALM.
Bytes BuildAlarmRegistration(uint16_t transactionId, eZqCmAlarmRegType regType,
                             const tZqCmAlarmFilterInfo &filter);

} // namespace oltmgr

#endif // RELAYKIT_OLTMGR_WIRE_H
