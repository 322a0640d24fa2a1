// cm_dispatch_fuzz.cpp - the receive task's dispatch of one datagram (PackageParse) in asynchronous
// mode, with a callback table that records every call and now and then lacks a slot.
//
// The input is the datagram; its bytes 20 and 21 (the header's managerId, which dispatch ignores)
// also choose which slots are null and whether the callbacks report a failure.
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "oswrap.h"
#include "svc.h"
#include "zqcm_internal.h"

namespace {

struct tCall {
    int count = 0;
    uint32 slot = 0; // the operation whose slot was called
    uint16 transactionId = 0;
    uint32 resType = 0, resId = 0;
    uint8 key[sizeof(uZqCmKey)] = {};
    const void *resP = nullptr;
    eOsRet ret = eOS_RET_SUCCESS;
    sint16 num = 0;
};

tCall call;
eOsRet answer = eOS_RET_SUCCESS;

void Record(uint32 slot, uint16 t, eZqCmApiResType r, eZqCmApiResId i) {
    ++call.count;
    call.slot = slot;
    call.transactionId = t;
    call.resType = static_cast<uint32>(r);
    call.resId = static_cast<uint32>(i);
}

template <uint32 kOper>
eOsRet RecordRsp(uint16 t, eZqCmApiResType r, eZqCmApiResId i, uZqCmKey key, void *resP,
                 eOsRet ret) {
    Record(kOper, t, r, i);
    memcpy(call.key, &key, sizeof key);
    call.resP = resP;
    call.ret = ret;
    return answer;
}

eOsRet DeleteRsp(uint16 t, eZqCmApiResType r, eZqCmApiResId i, uZqCmKey key, eOsRet ret) {
    Record(eZQ_CM_OPER_TYPE_DELETE, t, r, i);
    memcpy(call.key, &key, sizeof key);
    call.ret = ret;
    return answer;
}

eOsRet CountRsp(uint16 t, eZqCmApiResType r, eZqCmApiResId i, sint16 num) {
    Record(eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, t, r, i);
    call.num = num;
    return answer;
}

const tZqCmApiCallback kTable = {
    RecordRsp<eZQ_CM_OPER_TYPE_CREATE>,  DeleteRsp,
    RecordRsp<eZQ_CM_OPER_TYPE_SET>,     RecordRsp<eZQ_CM_OPER_TYPE_GET>,
    RecordRsp<eZQ_CM_OPER_TYPE_GETFIRST>, RecordRsp<eZQ_CM_OPER_TYPE_GETNEXT>,
    RecordRsp<eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY>, RecordRsp<eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY>,
    CountRsp,                            nullptr,
    nullptr};

// The operations that have a slot, in the order of the null-slot bits.
constexpr uint32 kOpers[] = {eZQ_CM_OPER_TYPE_CREATE,          eZQ_CM_OPER_TYPE_DELETE,
                             eZQ_CM_OPER_TYPE_SET,             eZQ_CM_OPER_TYPE_GET,
                             eZQ_CM_OPER_TYPE_GETFIRST,        eZQ_CM_OPER_TYPE_GETNEXT,
                             eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY, eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY,
                             eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM};

// The table with the slots whose bit is set in nullBits taken out.
tZqCmApiCallback TableWithout(uint32 nullBits) {
    tZqCmApiCallback table = kTable;
    void *slots[] = {&table.createRsp,  &table.deleteRsp,          &table.setRsp,
                     &table.getRsp,     &table.getFirstRsp,        &table.getNextRsp,
                     &table.getFirstWithKeyRsp, &table.getNextWithKeyRsp, &table.getNumInstanceRsp};
    for (size_t bit = 0; bit < sizeof slots / sizeof slots[0]; ++bit)
        if (nullBits & (1u << bit)) memset(slots[bit], 0, sizeof(void *));
    return table;
}

int SlotIndex(uint32 operType) {
    for (size_t i = 0; i < sizeof kOpers / sizeof kOpers[0]; ++i)
        if (kOpers[i] == operType) return static_cast<int>(i);
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    FuzzStartLibrary();
    ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, const_cast<tZqCmApiCallback *>(&kTable));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uZqCmApiMsg msg;
    size_t byteCount = FillLikeReceive(msg, data, size);
    const uint8 *bytes = reinterpret_cast<const uint8 *>(&msg);

    uint32 nullBits = FieldAt<uint16>(bytes, 20) & 0x1FF;
    answer = (bytes[22] & 1) ? eOS_RET_FAILURE : eOS_RET_SUCCESS;
    ZqCmApiCallback = TableWithout(nullBits);
    call = tCall{};

    PackageParse(&msg, static_cast<int>(byteCount));

    uint32 msgType = FieldAt<uint32>(bytes, 16);
    uint32 operType = FieldAt<uint32>(bytes, 28);
    int slot = SlotIndex(operType);
    bool expected = msgType == eZQ_CM_MSG_TYPE_RSP && byteCount >= ZQ_CM_RSP_MIN_LEN &&
                    slot >= 0 && (nullBits & (1u << slot)) == 0;
    FUZZ_CHECK(call.count == (expected ? 1 : 0)); // never a call for a non-response
    if (!expected) return 0;

    FUZZ_CHECK(call.slot == operType);
    FUZZ_CHECK(call.transactionId == FieldAt<uint16>(bytes, 24));
    FUZZ_CHECK(call.resType == FieldAt<uint32>(bytes, 32));
    FUZZ_CHECK(call.resId == FieldAt<uint32>(bytes, 36));
    eOsRet ret = FieldAt<eOsRet>(bytes, 1168);
    if (operType == eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM) {
        FUZZ_CHECK(call.num == (ret != eOS_RET_SUCCESS ? -1 : FieldAt<sint16>(bytes, 96)));
        return 0;
    }
    FUZZ_CHECK(memcmp(call.key, bytes + 40, sizeof call.key) == 0);
    FUZZ_CHECK(call.ret == ret);
    if (operType != eZQ_CM_OPER_TYPE_DELETE) FUZZ_CHECK(call.resP == bytes + 96);
    return 0;
}
