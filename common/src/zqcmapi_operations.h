// zqcmapi_operations.h - the CM operations, one row each: what a request sends, what its
// synchronous answer copies back, which pointers it refuses, and which callback slot answers it in
// asynchronous mode. The requests, the receive task and ZqCmApi__SetMode all read these rows, so
// adding an operation means adding one row here and its exported wrapper.
#ifndef RELAYKIT_ZQCMAPI_OPERATIONS_H
#define RELAYKIT_ZQCMAPI_OPERATIONS_H

#include <span>

#include "zqcmapi.h"

// Which resource ids an operation treats as extended: their record travels at offset 1640 of a
// 2448-byte datagram instead of in `res`.
enum class tCmExtIds : uint8 { kNone, kOnly36, kAll };

// How a request refuses a null record pointer, in either mode.
enum class tCmRecordCheck : uint8 {
    kNone,    // the record pointer is not checked
    kPrinted, // "%s():rcP is NULL" through SvcPrintf
    kTraced,  // the same line as an API trace, so silent while tracing is off
};

struct tCmOperation {
    const char *nameP; // the exported call, as traces and prints name it
    eZqCmOperType operType;
    uint16 async = 0;               // the _Async members: flagged in the header, never waited for
    const char *entryTraceP = nullptr; // traced on entry, before any check

    // What goes out.
    bool sendsKey = false;
    bool sendsRecord = false;                 // the caller's record, placed by recordExt
    tCmExtIds recordExt = tCmExtIds::kNone;   // ids whose record goes in the extended area
    tCmExtIds lengthExt = tCmExtIds::kNone;   // without a record: ids still sent as 2448 bytes

    // What the synchronous answer copies back.
    bool copiesKey = false;
    bool copiesRecord = false;
    tCmExtIds copyExt = tCmExtIds::kNone;     // ids whose record is read from the extended area

    // Pointer rules. In synchronous mode a member with a key out-pointer refuses it and rcP when
    // null ("%s():<keyOutNameP> is NULL", eOS_RET_INVALID_ARG); recordCheck applies in either mode.
    const char *keyOutNameP = nullptr;
    tCmRecordCheck recordCheck = tCmRecordCheck::kNone;
    eOsRet recordMissingResult = eOS_RET_FAILURE;

    // The asynchronous answer: the slot of ZqCmApiCallback in the one of three forms its callback
    // has (key and record, key only, instance count), its name in reports, and whether
    // ZqCmApi__SetMode refuses a table without it. A row without a slot has no callback: the
    // receive task reports its answers as of an unknown operation.
    tZqCmApi__CreateRsp tZqCmApiCallback::*recordSlot = nullptr;
    tZqCmApi__DeleteRsp tZqCmApiCallback::*keySlot = nullptr;
    tZqCmApi__GetNumOfInstanceRsp tZqCmApiCallback::*countSlot = nullptr;
    const char *slotNameP = nullptr;
    bool slotRequired = false;
};

inline constexpr tCmOperation kCmCreate = {
    .nameP = "ZqCmApi__CreateReq",
    .operType = eZQ_CM_OPER_TYPE_CREATE,
    .sendsKey = true,
    .sendsRecord = true,
    .recordExt = tCmExtIds::kAll,
    .recordCheck = tCmRecordCheck::kPrinted,
    .recordSlot = &tZqCmApiCallback::createRsp,
    .slotNameP = "createRsp",
    .slotRequired = true,
};

inline constexpr tCmOperation kCmDelete = {
    .nameP = "ZqCmApi__DeleteReq",
    .operType = eZQ_CM_OPER_TYPE_DELETE,
    .sendsKey = true,
    .keySlot = &tZqCmApiCallback::deleteRsp,
    .slotNameP = "deleteRsp",
    .slotRequired = true,
};

inline constexpr tCmOperation kCmSet = {
    .nameP = "ZqCmApi__SetReq",
    .operType = eZQ_CM_OPER_TYPE_SET,
    .sendsKey = true,
    .sendsRecord = true,
    .recordExt = tCmExtIds::kAll,
    .recordCheck = tCmRecordCheck::kTraced,
    .recordSlot = &tZqCmApiCallback::setRsp,
    .slotNameP = "setRsp",
    .slotRequired = true,
};

// A get sends the caller's record too: its bitMask tells the manager which fields are wanted.
inline constexpr tCmOperation kCmGet = {
    .nameP = "ZqCmApi__GetReq",
    .operType = eZQ_CM_OPER_TYPE_GET,
    .sendsKey = true,
    .sendsRecord = true,
    .recordExt = tCmExtIds::kAll,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kAll,
    .recordCheck = tCmRecordCheck::kPrinted,
    .recordMissingResult = eOS_RET_INVALID_ARG,
    .recordSlot = &tZqCmApiCallback::getRsp,
    .slotNameP = "getRsp",
    .slotRequired = true,
};

// The serial number travels in the caller's record: without one there is nothing to send, so the
// record is checked in either mode.
inline constexpr tCmOperation kCmGetBySerNum = {
    .nameP = "ZqCmApi__GetReqBySerNum",
    .operType = eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER,
    .entryTraceP = "Enter ZqCmApi__GetReqBySerNum()\n",
    .sendsRecord = true,
    .recordExt = tCmExtIds::kOnly36,
    .copiesKey = true,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kOnly36,
    .keyOutNameP = "resKeyP",
    .recordCheck = tCmRecordCheck::kPrinted,
    .recordMissingResult = eOS_RET_INVALID_ARG,
};

inline constexpr tCmOperation kCmGetFirst = {
    .nameP = "ZqCmApi__GetFirstReq",
    .operType = eZQ_CM_OPER_TYPE_GETFIRST,
    .entryTraceP = "Enter ZqCmApi__GetFirstReq()\n",
    .copiesKey = true,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kAll,
    .keyOutNameP = "resKeyP",
    .recordSlot = &tZqCmApiCallback::getFirstRsp,
    .slotNameP = "getFirstRsp",
    .slotRequired = true,
};

inline constexpr tCmOperation kCmGetFirstWithKey = {
    .nameP = "ZqCmApi__GetFirstReqWithKey",
    .operType = eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY,
    .entryTraceP = "Enter ZqCmApi__GetFirstWithKeyReq()\n",
    .sendsKey = true,
    .copiesKey = true,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kOnly36,
    .keyOutNameP = "firstResKeyP",
    .recordSlot = &tZqCmApiCallback::getFirstWithKeyRsp,
    .slotNameP = "getFirstWithKeyRsp",
};

inline constexpr tCmOperation kCmGetNext = {
    .nameP = "ZqCmApi__GetNextReq",
    .operType = eZQ_CM_OPER_TYPE_GETNEXT,
    .sendsKey = true,
    .lengthExt = tCmExtIds::kAll,
    .copiesKey = true,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kAll,
    .keyOutNameP = "nextResKeyP",
    .recordSlot = &tZqCmApiCallback::getNextRsp,
    .slotNameP = "getNextRsp",
    .slotRequired = true,
};

inline constexpr tCmOperation kCmGetNextWithKey = {
    .nameP = "ZqCmApi__GetNextReqWithKey",
    .operType = eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY,
    .sendsKey = true,
    .lengthExt = tCmExtIds::kOnly36,
    .copiesKey = true,
    .copiesRecord = true,
    .copyExt = tCmExtIds::kOnly36,
    .keyOutNameP = "nextResKeyP",
    .recordSlot = &tZqCmApiCallback::getNextWithKeyRsp,
    .slotNameP = "getNextWithKeyRsp",
};

inline constexpr tCmOperation kCmGetNumOfInstance = {
    .nameP = "ZqCmApi__GetNumOfInstance",
    .operType = eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM,
    .countSlot = &tZqCmApiCallback::getNumInstanceRsp,
    .slotNameP = "getNumInstanceRsp",
    .slotRequired = true,
};

// The fire-and-forget variants: their answers, if any, reach the slots of delete and set.
inline constexpr tCmOperation kCmDeleteAsync = {
    .nameP = "ZqCmApi__DeleteReq_Async",
    .operType = eZQ_CM_OPER_TYPE_DELETE,
    .async = 1,
    .sendsKey = true,
};

inline constexpr tCmOperation kCmSetAsync = {
    .nameP = "ZqCmApi__SetReq_Async",
    .operType = eZQ_CM_OPER_TYPE_SET,
    .async = 1,
    .sendsKey = true,
    .sendsRecord = true,
    .recordExt = tCmExtIds::kAll,
    .recordCheck = tCmRecordCheck::kTraced,
};

// Every row, in the order ZqCmApi__SetMode checks the required slots.
inline constexpr const tCmOperation *kCmOperations[] = {
    &kCmCreate,  &kCmDelete,         &kCmSet,          &kCmGet,
    &kCmGetBySerNum, &kCmGetFirst,   &kCmGetFirstWithKey, &kCmGetNext,
    &kCmGetNextWithKey, &kCmGetNumOfInstance, &kCmDeleteAsync, &kCmSetAsync,
};

// The row whose callback answers a response of operType; null when no callback does.
constexpr const tCmOperation *CmAnsweringOperation(uint32 operType) {
    for (const tCmOperation *operationP : kCmOperations)
        if (operationP->operType == operType && operationP->slotNameP != nullptr)
            return operationP;
    return nullptr;
}

// A row names at most one slot, and requires only a slot it names; the answers of an operation
// reach one row only (the _Async rows have none of their own).
constexpr bool CmOperationRowsAreSound() {
    for (const tCmOperation *operationP : kCmOperations) {
        const tCmOperation &row = *operationP;
        int slots = (row.recordSlot != nullptr) + (row.keySlot != nullptr) +
                    (row.countSlot != nullptr);
        if (slots > 1 || (slots == 1) != (row.slotNameP != nullptr)) return false;
        if (row.slotRequired && slots == 0) return false;
        if (row.async != 0 && slots != 0) return false;
    }
    return true;
}
static_assert(CmOperationRowsAreSound());

// Whether the operation treats resId as extended.
constexpr bool CmIsExtended(tCmExtIds ids, uint32 resId) {
    switch (ids) {
    case tCmExtIds::kNone:
        return false;
    case tCmExtIds::kOnly36:
        return resId == eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT;
    case tCmExtIds::kAll:
        return resId == eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT ||
               resId == eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE ||
               resId == eZQ_CMAPI_RES_ID_TOD_REQ_MSG;
    }
    return false;
}

#endif // RELAYKIT_ZQCMAPI_OPERATIONS_H
