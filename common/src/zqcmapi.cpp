// zqcmapi.cpp - the CM requests: each builds one request message, sends it to the OLT manager and,
// in synchronous mode, waits for the response with its transaction id and copies back its key
// and record. The members differ only in the shape told by their row in zqcmapi_operations.h.
#include <sys/socket.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "oswrap.h"
#include "svc.h"
#include "zqcm_internal.h"
#include "zqcmapi_operations.h"

extern "C" {
uint32 CmApiUdpSentCnt = 0;
uint32 CmApiUdpRcvCnt = 0;
uint32 CmApiUdpSentFailCnt = 0;
uint32 CmApiUdpRcvFailCnt = 0;
}

namespace {

using tMember = tCmOperation;

// An API trace of this unit: module EXT_CML_API, mask API, under the member's name.
#define API_TRACE(nameP, ...)                                                                    \
    do {                                                                                         \
        if (ZQ_TRACE_SUM_ON(CmTraceMaskSum))                                                     \
            CmTraceInterface(__FILE__, __LINE__, (nameP), eZQ_OLT_MAN_MODULE_EXT_CML_API,        \
                             eZQ_CM_TM_API, __VA_ARGS__);                                        \
    } while (0)

void PrintCounters(const char *nameP, int line) {
    SvcPrintf("%s, %d, CmApiUdpSentCnt %d, CmApiUdpRcvCnt %d, CmApiUdpSentFailCnt %d, "
              "CmApiUdpRcvFailCnt %d\n",
              nameP, line, SharedGet(CmApiUdpSentCnt), SharedGet(CmApiUdpRcvCnt),
              SharedGet(CmApiUdpSentFailCnt), SharedGet(CmApiUdpRcvFailCnt));
}

// Builds the request of a member into the zero-filled buffer; returns the length to send.
uint16 BuildRequest(const tMember &member, uZqCmApiMsg &msg, uint16 transactionId,
                    eZqCmApiResType resType, eZqCmApiResId resId, const uZqCmKey &resKey,
                    const void *rcP) {
    memset(&msg.commonMsg, 0, sizeof msg.commonMsg);
    tZqCmReqMsg &req = msg.commonMsg.reqMsg;
    tOsTaskId taskId = OsWrap__TaskId();
    req.msgHdr.srcModuleId = GetModuleIdByTaskId(taskId);
    req.msgHdr.dstModuleId = GetModuleIdByResId(resId);
    req.msgHdr.srcTaskId = taskId;
    req.msgHdr.dstTaskId = OS_TASK_ID_INVALID;
    req.msgHdr.msgType = eZQ_CM_MSG_TYPE_REQ;
    req.msgHdr.transactionId = transactionId;
    req.msgHdr.async = member.async;
    req.operType = member.operType;
    req.resType = resType;
    req.resId = resId;
    if (member.sendsKey) memcpy(&req.dbKey, &resKey, sizeof req.dbKey);

    uint8 *extendedP = reinterpret_cast<uint8 *>(&msg) + ZQ_CM_EXT_OFFSET;
    uint32 id = static_cast<uint32>(resId);
    if (member.sendsRecord) {
        if (CmIsExtended(member.recordExt, id)) {
            // res only marks the record with the sender's address of the extended area.
            void *areaP = extendedP;
            memcpy(&req.res, &areaP, sizeof areaP);
            memcpy(extendedP, rcP, ZqCmExtendedRecordSize(id));
            return ZQ_CM_API_MSG_LEN;
        }
        memcpy(&req.res, rcP, sizeof req.res);
        return ZQ_CM_MSG_LEN;
    }
    return CmIsExtended(member.lengthExt, id) ? ZQ_CM_API_MSG_LEN : ZQ_CM_MSG_LEN;
}

void TraceRequest(const tMember &member, const tZqCmReqMsg &req) {
    if (member.operType == eZQ_CM_OPER_TYPE_DELETE) {
        API_TRACE(member.nameP,
                  "transactionId: %u, srcModuleId %d, dstModuleId %d, srcTaskId %x msgType %d, "
                  "operType %d, resType %d\r\n",
                  req.msgHdr.transactionId, req.msgHdr.srcModuleId, req.msgHdr.dstModuleId,
                  req.msgHdr.srcTaskId, req.msgHdr.msgType, req.operType, req.resType);
        return;
    }
    API_TRACE(member.nameP, "%s():resId = %d\r\n", member.nameP, req.resId);
    API_TRACE(member.nameP,
              "srcModuleId %d, dstModuleId %d, srcTaskId %x msgType %d, operType %d, "
              "resType %d\r\n",
              req.msgHdr.srcModuleId, req.msgHdr.dstModuleId, req.msgHdr.srcTaskId,
              req.msgHdr.msgType, req.operType, req.resType);
}

// Waits, with the exchange lock held, for the response to the awaited request; the whole wait
// is bounded by one receive time-out. Every datagram read is counted; CmAcceptResponse drops
// those that do not answer the request and copies back the one that does.
eOsRet AwaitResponse(const tMember &member, uZqCmApiMsg &msg, const tCmAwaited &awaited) {
    int rcvSocket = SharedGetOrdered(CmReqRspSocket);
    int64_t deadline = ZqCmNowMs() + ZqCmChannelOptions().receiveTimeoutMs;
    for (;;) {
        memset(&msg, 0, sizeof msg);
        sockaddr_in sender;
        int byteCount = 0;
        tCmRx got = CmUdpReceive(rcvSocket, sizeof msg, reinterpret_cast<char *>(&msg), &sender,
                                 deadline, &byteCount);
        if (got != tCmRx::kDatagram) {
            SharedIncrement(CmApiUdpRcvFailCnt);
            PrintCounters(member.nameP, __LINE__);
            return got == tCmRx::kTimeOut ? eOS_RET_TIME_OUT : eOS_RET_FAILURE;
        }
        SharedIncrement(CmApiUdpRcvCnt);
        if (CmAcceptResponse(member, reinterpret_cast<const uint8 *>(&msg), byteCount, sender,
                             rcvSocket, awaited))
            return eOS_RET_SUCCESS;
    }
}

// Sends the built request and counts the outcome.
eOsRet SendCounted(const tMember &member, uZqCmApiMsg &msg, uint16 length) {
    eOsRet result = ZqCmMsgSend(&msg.commonMsg, length);
    if (result != eOS_RET_SUCCESS) {
        SharedIncrement(CmApiUdpSentFailCnt);
        PrintCounters(member.nameP, __LINE__);
        return result;
    }
    SharedIncrement(CmApiUdpSentCnt);
    return result;
}

// Sends the built request and, in synchronous mode, waits for its response under the exchange
// lock and copies it back into the caller's buffers. *waitedP tells whether a response is in msg.
// The _Async members never wait.
eOsRet SendAndAwait(const tMember &member, uZqCmApiMsg &msg, uint16 length,
                    const tCmAwaited &awaited, bool *waitedP) {
    *waitedP = false;
    if (member.async != 0) return SendCounted(member, msg, length);
    tCmExchange exchange;
    eOsRet result = SendCounted(member, msg, length);
    if (result == eOS_RET_SUCCESS && !CmApiIsAsync()) {
        result = AwaitResponse(member, msg, awaited);
        *waitedP = result == eOS_RET_SUCCESS;
    }
    return result;
}

const uZqCmKey kNoKey = {};

// The row's pointer rules, in their order: in synchronous mode a member with a key out-pointer
// refuses it and then rcP when null; the record check applies in either mode. True, after the
// printed or traced refusal, with the result in *resultP.
bool PointersRefused(const tMember &member, const void *keyOutP, const void *rcP,
                     eOsRet *resultP) {
    if (member.keyOutNameP != nullptr && !CmApiIsAsync() && (keyOutP == nullptr || rcP == nullptr)) {
        SvcPrintf("%s():%s is NULL\r\n", member.nameP,
                  keyOutP == nullptr ? member.keyOutNameP : "rcP");
        *resultP = eOS_RET_INVALID_ARG;
        return true;
    }
    if (member.recordCheck == tCmRecordCheck::kNone || rcP != nullptr) return false;
    if (member.recordCheck == tCmRecordCheck::kPrinted)
        SvcPrintf("%s():rcP is NULL\r\n", member.nameP);
    else
        API_TRACE(member.nameP, "%s():rcP is NULL\r\n", member.nameP);
    *resultP = member.recordMissingResult;
    return true;
}

// Builds, traces and sends the request and, in synchronous mode, waits for its answer and copies
// it back. *waitedP tells whether the answer is in msg; the result is the exchange's.
eOsRet Exchange(const tMember &member, uZqCmApiMsg &msg, uint16 transactionId,
                eZqCmApiResType resType, eZqCmApiResId resId, const uZqCmKey &resKey, void *rcP,
                uZqCmKey *keyOutP, bool *waitedP) {
    memset(&msg, 0, sizeof msg);
    uint16 length = BuildRequest(member, msg, transactionId, resType, resId, resKey, rcP);
    TraceRequest(member, msg.commonMsg.reqMsg);
    return SendAndAwait(
        member, msg, length,
        {transactionId, static_cast<uint32>(resType), static_cast<uint32>(resId), keyOutP, rcP},
        waitedP);
}

// The shared procedure of the members that return an eOsRet: entry trace, pointer rules, the
// exchange, then the response's ret.
eOsRet Request(const tMember &member, uint16 transactionId, eZqCmApiResType resType,
               eZqCmApiResId resId, const uZqCmKey &resKey, void *rcP, uZqCmKey *keyOutP) {
    if (member.entryTraceP != nullptr) API_TRACE(member.nameP, "%s", member.entryTraceP);
    eOsRet refused;
    if (PointersRefused(member, keyOutP, rcP, &refused)) return refused;

    uZqCmApiMsg msg;
    bool waited = false;
    eOsRet result =
        Exchange(member, msg, transactionId, resType, resId, resKey, rcP, keyOutP, &waited);
    if (!waited) return result;

    const tZqCmRspMsg &rsp = msg.commonMsg.rspMsg;
    API_TRACE(member.nameP, "%s(): rspMsg.ret %d.\r\n", member.nameP, rsp.ret);
    return rsp.ret;
}

// A field of a datagram known to reach past it.
template <typename T> T FieldOf(const uint8 *datagramP, size_t offset) {
    T value;
    memcpy(&value, datagramP + offset, sizeof value);
    return value;
}

// Copies n bytes found at offset of a datagram of byteCount bytes; what the datagram does not reach
// reads as zero, as it would from the cleared receive buffer.
void CopyFromDatagram(void *toP, const uint8 *datagramP, size_t byteCount, size_t offset,
                      size_t n) {
    size_t have = byteCount > offset ? std::min(n, byteCount - offset) : 0;
    if (have != 0) memcpy(toP, datagramP + offset, have);
    memset(static_cast<uint8 *>(toP) + have, 0, n - have);
}

} // namespace

size_t CmCallerRecordSize(const tCmOperation &member, uint32 requestResId) {
    if (!member.copiesRecord && !member.sendsRecord) return 0;
    tCmExtIds ids = member.copiesRecord ? member.copyExt : member.recordExt;
    return CmIsExtended(ids, requestResId) ? ZqCmExtendedRecordSize(requestResId) : sizeof(uZqCmRes);
}

bool CmAcceptResponse(const tCmOperation &member, const uint8 *datagramP, int byteCount,
                      const sockaddr_in &sender, int socketFd, const tCmAwaited &awaited) {
    if (!CmFromManager(sender, socketFd)) return false;
    if (byteCount < ZQ_CM_RSP_MIN_LEN) {
        API_TRACE(member.nameP, "%s(): dropped a datagram too short for a response: L%d.\r\n",
                  member.nameP, byteCount);
        return false;
    }
    size_t length = std::min<size_t>(static_cast<size_t>(byteCount), sizeof(uZqCmApiMsg));
    // Sixteen bits of transaction id alone let one stray datagram in 65536 from the manager's
    // address pass for the answer: the answer also says it is a response and echoes what was
    // asked.
    uint16 answered = FieldOf<uint16>(datagramP, offsetof(tZqOltMsgHdr, transactionId));
    uint32 msgType = FieldOf<uint32>(datagramP, offsetof(tZqOltMsgHdr, msgType));
    uint32 operType = FieldOf<uint32>(datagramP, offsetof(tZqCmRspMsg, operType));
    uint32 resType = FieldOf<uint32>(datagramP, offsetof(tZqCmRspMsg, resType));
    uint32 resId = FieldOf<uint32>(datagramP, offsetof(tZqCmRspMsg, resId));
    if (answered != awaited.transactionId || msgType != eZQ_CM_MSG_TYPE_RSP ||
        operType != static_cast<uint32>(member.operType) || resType != awaited.resType ||
        resId != awaited.resId) {
        API_TRACE(member.nameP,
                  "%s(): dropped a datagram that does not answer T%d: T%d, M%u, operType %u, "
                  "resType %u, resId %u.\r\n",
                  member.nameP, awaited.transactionId, answered, msgType, operType,
                  resType, resId);
        return false;
    }

    if (member.copiesKey)
        CopyFromDatagram(awaited.keyOutP, datagramP, length, offsetof(tZqCmRspMsg, dbKey),
                         sizeof(uZqCmKey));
    if (member.copiesRecord) {
        // The answer echoes the request's id, so the record lies where the caller's buffer expects
        // it; the copy is still bounded by the buffer the request's id calls for.
        size_t room = CmCallerRecordSize(member, awaited.resId);
        if (CmIsExtended(member.copyExt, resId))
            CopyFromDatagram(awaited.rcP, datagramP, length, ZQ_CM_EXT_OFFSET,
                             std::min<size_t>(ZqCmExtendedRecordSize(resId), room));
        else
            CopyFromDatagram(awaited.rcP, datagramP, length, offsetof(tZqCmRspMsg, res),
                             std::min(sizeof(uZqCmRes), room));
    }
    return true;
}

extern "C" {

eZqOltModuleId GetModuleIdByResId(eZqCmApiResId resId) {
    (void)resId;
    return eZQ_OLT_MAN_MODULE_SVC;
}

eZqOltModuleId GetModuleIdByTaskId(tOsTaskId taskId) {
    (void)taskId;
    return eZQ_OLT_MAN_MODULE_EXT_SNMP;
}

uint32 ZqCmApi__RecordSize(eZqCmApiResId resId) {
    uint32 id = static_cast<uint32>(resId);
    if (id >= eZQ_CMAPI_RES_ID_MAX) return 0;
    uint32 extended = ZqCmExtendedRecordSize(id);
    return extended != 0 ? extended : static_cast<uint32>(sizeof(uZqCmRes));
}

eOsRet ZqCmApi__CreateReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                          uZqCmKey resKey, void *rcP) {
    return Request(kCmCreate, transactionId, resType, resId, resKey, rcP, nullptr);
}

eOsRet ZqCmApi__DeleteReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                          uZqCmKey resKey) {
    return Request(kCmDelete, transactionId, resType, resId, resKey, nullptr, nullptr);
}

eOsRet ZqCmApi__SetReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                       uZqCmKey resKey, void *rcP) {
    return Request(kCmSet, transactionId, resType, resId, resKey, rcP, nullptr);
}

eOsRet ZqCmApi__GetReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                       uZqCmKey resKey, void *rcP) {
    return Request(kCmGet, transactionId, resType, resId, resKey, rcP, nullptr);
}

eOsRet ZqCmApi__GetReqBySerNum(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                               uZqCmKey *resKeyP, void *rcP) {
    return Request(kCmGetBySerNum, transactionId, resType, resId, kNoKey, rcP, resKeyP);
}

eOsRet ZqCmApi__GetFirstReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                            uZqCmKey *resKeyP, void *rcP) {
    return Request(kCmGetFirst, transactionId, resType, resId, kNoKey, rcP, resKeyP);
}

eOsRet ZqCmApi__GetFirstReqWithKey(uint16 transactionId, eZqCmApiResType resType,
                                   eZqCmApiResId resId, uZqCmKey resKey, uZqCmKey *firstResKeyP,
                                   void *rcP) {
    return Request(kCmGetFirstWithKey, transactionId, resType, resId, resKey, rcP, firstResKeyP);
}

eOsRet ZqCmApi__GetNextReq(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                           uZqCmKey resKey, uZqCmKey *nextResKeyP, void *rcP) {
    return Request(kCmGetNext, transactionId, resType, resId, resKey, rcP, nextResKeyP);
}

eOsRet ZqCmApi__GetNextReqWithKey(uint16 transactionId, eZqCmApiResType resType,
                                  eZqCmApiResId resId, uZqCmKey resKey, uZqCmKey *nextResKeyP,
                                  void *rcP) {
    return Request(kCmGetNextWithKey, transactionId, resType, resId, resKey, rcP, nextResKeyP);
}

sint16 ZqCmApi__GetNumOfInstance(uint16 transactionId, eZqCmApiResType resType,
                                 eZqCmApiResId resId) {
    const tMember &member = kCmGetNumOfInstance;
    uZqCmApiMsg msg;
    bool waited = false;
    eOsRet result =
        Exchange(member, msg, transactionId, resType, resId, kNoKey, nullptr, nullptr, &waited);
    if (result != eOS_RET_SUCCESS) return -1;
    if (!waited) return 0; // asynchronous mode: the count goes to getNumInstanceRsp
    const tZqCmRspMsg &rsp = msg.commonMsg.rspMsg;
    API_TRACE(member.nameP, "%s(): rspMsg.ret %d.\r\n", member.nameP, rsp.ret);
    if (rsp.ret != eOS_RET_SUCCESS) return -1;
    return static_cast<sint16>(rsp.res.resInstance.instanceNum);
}

eOsRet ZqCmApi__GetInstanceByKey(uint16 transactionId, uZqCmKey *keyP, uZqCmRes *resP,
                                 eZqCmApiResId resId) {
    (void)transactionId, (void)keyP, (void)resP, (void)resId;
    SvcPrintf("%s(): not supported.\n", "ZqCmApi__GetInstanceByKey");
    // -1 has no enumerator: it is handed over as the 32-bit value a C caller reads.
    int32_t minusOne = -1;
    eOsRet result;
    memcpy(&result, &minusOne, sizeof result);
    return result;
}

eOsRet ZqCmApi__DeleteReq_Async(uint16 transactionId, eZqCmApiResType resType,
                                eZqCmApiResId resId, uZqCmKey resKey) {
    return Request(kCmDeleteAsync, transactionId, resType, resId, resKey, nullptr, nullptr);
}

eOsRet ZqCmApi__SetReq_Async(uint16 transactionId, eZqCmApiResType resType, eZqCmApiResId resId,
                             uZqCmKey resKey, void *rcP) {
    return Request(kCmSetAsync, transactionId, resType, resId, resKey, rcP, nullptr);
}

} // extern "C"
