// zqcmapi_mode.cpp - the API's two modes and the response callback table of asynchronous mode.
#include <atomic>

#include "svc.h"
#include "zqcm_internal.h"

extern "C" {
eZqCmApiMode ZqCmApiMode = eZQ_CMAPI_MODE_SYNC;
tZqCmApiCallback ZqCmApiCallback = {};
}

namespace {

// The receive task reads one slot at a time while a host may replace the table: each slot is
// stored whole, so a reader sees the old or the new pointer, never half of one.
template <typename F> void StoreSlot(F &slot, F value) {
    std::atomic_ref<F>(slot).store(value, std::memory_order_release);
}

void StoreTable(const tZqCmApiCallback &table) {
    StoreSlot(ZqCmApiCallback.createRsp, table.createRsp);
    StoreSlot(ZqCmApiCallback.deleteRsp, table.deleteRsp);
    StoreSlot(ZqCmApiCallback.setRsp, table.setRsp);
    StoreSlot(ZqCmApiCallback.getRsp, table.getRsp);
    StoreSlot(ZqCmApiCallback.getFirstRsp, table.getFirstRsp);
    StoreSlot(ZqCmApiCallback.getNextRsp, table.getNextRsp);
    StoreSlot(ZqCmApiCallback.getFirstWithKeyRsp, table.getFirstWithKeyRsp);
    StoreSlot(ZqCmApiCallback.getNextWithKeyRsp, table.getNextWithKeyRsp);
    StoreSlot(ZqCmApiCallback.getNumInstanceRsp, table.getNumInstanceRsp);
    StoreSlot(ZqCmApiCallback.alarmRegisterRsp, table.alarmRegisterRsp);
    StoreSlot(ZqCmApiCallback.alarmUnregisterRsp, table.alarmUnregisterRsp);
}

void StoreMode(eZqCmApiMode mode) {
    std::atomic_ref<eZqCmApiMode>(ZqCmApiMode).store(mode, std::memory_order_release);
    CmWakeReceiveTask();
}

// The slots an asynchronous table must have, in the order they are checked.
struct tRequiredSlot {
    const char *lineP;
    bool (*missing)(const tZqCmApiCallback &);
};
constexpr tRequiredSlot kRequiredSlots[] = {
    {"%s(): NULL createRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.createRsp; }},
    {"%s(): NULL deleteRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.deleteRsp; }},
    {"%s(): NULL setRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.setRsp; }},
    {"%s(): NULL getRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.getRsp; }},
    {"%s(): NULL getFirstRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.getFirstRsp; }},
    {"%s(): NULL getNextRsp: %d.\n", [](const tZqCmApiCallback &t) { return !t.getNextRsp; }},
    {"%s(): NULL getNumInstanceRsp: %d.\n",
     [](const tZqCmApiCallback &t) { return !t.getNumInstanceRsp; }},
};

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
    for (const tRequiredSlot &slot : kRequiredSlots) {
        if (slot.missing(table)) {
            StoreMode(mode);
            SvcPrintf(slot.lineP, kSetModeName, static_cast<int>(rawMode));
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
    return std::atomic_ref<eZqCmApiMode>(ZqCmApiMode).load(std::memory_order_acquire);
}

} // extern "C"
