// zqcmapi_mode.cpp - the API's two modes and the response callback table of asynchronous mode.
#include <atomic>

#include "svc.h"
#include "zqcm_internal.h"
#include "zqcmapi_operations.h"

extern "C" {
eZqCmApiMode ZqCmApiMode = eZQ_CMAPI_MODE_SYNC;
tZqCmApiCallback ZqCmApiCallback = {};
}

namespace {

// The receive task reads one slot at a time while a host may replace the table: each slot is
// stored whole, so a reader sees the old or the new pointer, never half of one.

// Copies the operation's slot, whatever its form, from the table into ZqCmApiCallback.
void StoreOperationSlot(const tCmOperation &operation, const tZqCmApiCallback &table) {
    if (operation.recordSlot != nullptr)
        SharedSetRelease(ZqCmApiCallback.*(operation.recordSlot), table.*(operation.recordSlot));
    if (operation.keySlot != nullptr)
        SharedSetRelease(ZqCmApiCallback.*(operation.keySlot), table.*(operation.keySlot));
    if (operation.countSlot != nullptr)
        SharedSetRelease(ZqCmApiCallback.*(operation.countSlot), table.*(operation.countSlot));
}

void StoreTable(const tZqCmApiCallback &table) {
    for (const tCmOperation *operationP : kCmOperations) StoreOperationSlot(*operationP, table);
    SharedSetRelease(ZqCmApiCallback.alarmRegisterRsp, table.alarmRegisterRsp);
    SharedSetRelease(ZqCmApiCallback.alarmUnregisterRsp, table.alarmUnregisterRsp);
}

// True when the table has no callback in the operation's slot.
bool SlotMissing(const tCmOperation &operation, const tZqCmApiCallback &table) {
    if (operation.recordSlot != nullptr) return table.*(operation.recordSlot) == nullptr;
    if (operation.keySlot != nullptr) return table.*(operation.keySlot) == nullptr;
    return table.*(operation.countSlot) == nullptr;
}

void StoreMode(eZqCmApiMode mode) {
    SharedSetRelease(ZqCmApiMode, mode);
    CmWakeReceiveTask();
}

constexpr const char *kSetModeName = "ZqCmApi__SetMode";

} // namespace

extern "C" {

eOsRet ZqCmApi__SetMode(eZqCmApiMode mode, tZqCmApiCallback *callbackP) {
    uint32 rawMode = static_cast<uint32>(mode);
    if (rawMode == eZQ_CMAPI_MODE_ASYNC && callbackP == nullptr) {
        SvcPrintf("%s(): NULL callbackP.\n", kSetModeName);
        return eOS_RET_FAILURE;
    }
    if (rawMode != eZQ_CMAPI_MODE_SYNC && rawMode != eZQ_CMAPI_MODE_ASYNC) {
        SvcPrintf("%s(): invalid mode: %d.\n", kSetModeName, static_cast<int>(rawMode));
        return eOS_RET_FAILURE;
    }
    if (mode == eZQ_CMAPI_MODE_SYNC) {
        StoreMode(mode);
        StoreTable(tZqCmApiCallback{});
        return eOS_RET_SUCCESS;
    }
    // A refused table still turns the mode asynchronous and keeps the old table. An accepted one
    // is in place before the mode turns, so the receive task never dispatches with the old one.
    // The printed number is the mode the table was offered for.
    tZqCmApiCallback table = *callbackP;
    for (const tCmOperation *operationP : kCmOperations) {
        if (operationP->slotRequired && SlotMissing(*operationP, table)) {
            StoreMode(mode);
            SvcPrintf("%s(): NULL %s: %d.\n", kSetModeName, operationP->slotNameP,
                      static_cast<int>(rawMode));
            return eOS_RET_FAILURE;
        }
    }
    if (table.alarmRegisterRsp == nullptr)
        SvcPrintf("%s(): NULL alarmRegisterRsp: %d.\n", kSetModeName, static_cast<int>(rawMode));
    if (table.alarmUnregisterRsp == nullptr)
        SvcPrintf("%s(): NULL alarmUnregisterRsp: %d.\n", kSetModeName, static_cast<int>(rawMode));
    StoreTable(table);
    StoreMode(mode);
    return eOS_RET_SUCCESS;
}

eZqCmApiMode ZqCmApi__GetMode(void) {
    return SharedGetAcquire(ZqCmApiMode);
}

} // extern "C"
