// cm_response_fuzz.cpp - the synchronous requests' acceptance of one datagram (CmAcceptResponse):
// arbitrary responses against arbitrary requests of every member. Only a response from the
// manager that echoes the request's transaction id, operation, resource type and resource id is
// taken. The caller's key and record are allocated at exactly their size, so a write past them or
// a read past the datagram trips AddressSanitizer.
//
// Input: byte 0 the member, byte 1 the request's resource id (36, 38, 104, the response's own
// or bytes 2..5), bytes 6..7 the expected transaction id, byte 8 the sender (bit 0 foreign, bit 1
// no manager address set) and bit 2 a request's resource type one above the response's; the
// rest is the datagram (at most 2448 bytes are ever received).
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "fuzz_check.h"
#include "oswrap.h"
#include "svc.h"
#include "zqcm_internal.h"
#include "zqcmapi_operations.h"

namespace {

// What each member sends and copies back, told independently of the library's table: its
// operation, key, record, and which extended ids the caller's record is sized for (0 none, 1 only
// 36, 2 36, 38 and 104).
struct tRule {
    const char *nameP;
    uint32 operType;
    bool copiesKey;
    bool copiesRecord;
    bool hasRecord;
    int callerExt;
};

constexpr tRule kRules[] = {
    {"ZqCmApi__CreateReq", 1, false, false, true, 2},
    {"ZqCmApi__DeleteReq", 2, false, false, false, 0},
    {"ZqCmApi__SetReq", 3, false, false, true, 2},
    {"ZqCmApi__GetReq", 4, false, true, true, 2},
    {"ZqCmApi__GetReqBySerNum", 11, true, true, true, 1},
    {"ZqCmApi__GetFirstReq", 5, true, true, true, 2},
    {"ZqCmApi__GetFirstReqWithKey", 8, true, true, true, 1},
    {"ZqCmApi__GetNextReq", 6, true, true, true, 2},
    {"ZqCmApi__GetNextReqWithKey", 9, true, true, true, 1},
    {"ZqCmApi__GetNumOfInstance", 7, false, false, false, 0},
    {"ZqCmApi__DeleteReq_Async", 2, false, false, false, 0},
    {"ZqCmApi__SetReq_Async", 3, false, false, true, 2},
};
constexpr size_t kRuleCount = sizeof kRules / sizeof kRules[0];

size_t CallerRecordSize(const tRule &rule, uint32 resId) {
    if (!rule.hasRecord) return 0;
    bool only36 = rule.callerExt == 1, all = rule.callerExt == 2;
    if ((only36 || all) && resId == 36) return 804;
    if (all && resId == 38) return 372;
    if (all && resId == 104) return 120;
    return 1072;
}

constexpr uint32 kManager = 0x7F000001; // 127.0.0.1
constexpr size_t kHeader = 9;
constexpr uint8 kUntouched = 0xA5;

// The bytes at offset of the datagram, zero where it does not reach.
std::vector<uint8> DatagramBytes(const uint8 *datagramP, size_t length, size_t offset, size_t n) {
    std::vector<uint8> bytes(n, 0);
    for (size_t i = 0; i < n && offset + i < length; ++i) bytes[i] = datagramP[offset + i];
    return bytes;
}

bool AllUntouched(const uint8 *p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != kUntouched) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    FuzzStartLibrary();
    FUZZ_CHECK(std::size(kCmOperations) == kRuleCount);
    for (unsigned i = 0; i < kRuleCount; ++i)
        FUZZ_CHECK(strcmp(kCmOperations[i]->nameP, kRules[i].nameP) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < kHeader) return 0;
    unsigned index = data[0] % kRuleCount;
    const tRule &rule = kRules[index];
    const tCmOperation &member = *kCmOperations[index];

    size_t length = size - kHeader;
    if (length > ZQ_CM_API_MSG_LEN) length = ZQ_CM_API_MSG_LEN;
    // The datagram in a block of its own size: the acceptance may not read beyond it.
    uint8 *datagramP = static_cast<uint8 *>(malloc(length == 0 ? 1 : length));
    memcpy(datagramP, data + kHeader, length);

    uint32 rspResType = length >= 36 ? FieldAt<uint32>(datagramP, 32) : 0;
    uint32 rspResId = length >= 40 ? FieldAt<uint32>(datagramP, 36) : 0;
    static constexpr uint32 kIds[] = {36, 38, 104};
    uint32 selector = data[1] % 5;
    uint32 reqResId = selector < 3 ? kIds[selector] : selector == 3 ? rspResId : FieldAt<uint32>(data, 2);
    uint32 reqResType = rspResType + ((data[8] >> 2) & 1);
    uint16 transactionId = FieldAt<uint16>(data, 6);
    bool foreign = data[8] & 1;
    OltMgrHostAddr = (data[8] & 2) ? 0 : kManager;

    sockaddr_in sender = {};
    sender.sin_family = AF_INET;
    sender.sin_addr.s_addr = htonl(foreign ? kManager + 1 : kManager);
    sender.sin_port = htons(5000);

    size_t recordSize = CallerRecordSize(rule, reqResId);
    FUZZ_CHECK(CmCallerRecordSize(member, reqResId) == recordSize);
    uint8 *keyP = static_cast<uint8 *>(malloc(sizeof(uZqCmKey)));
    uint8 *recordP = static_cast<uint8 *>(malloc(recordSize == 0 ? 1 : recordSize));
    memset(keyP, kUntouched, sizeof(uZqCmKey));
    memset(recordP, kUntouched, recordSize);
    tCmAwaited awaited = {transactionId, reqResType, reqResId,
                          rule.copiesKey ? reinterpret_cast<uZqCmKey *>(keyP) : nullptr,
                          recordSize != 0 ? recordP : nullptr};

    bool accepted = CmAcceptResponse(member, datagramP, static_cast<int>(length), sender, 0, awaited);

    bool answers = (!foreign || OltMgrHostAddr == 0) && length >= ZQ_CM_RSP_MIN_LEN &&
                   FieldAt<uint16>(datagramP, 24) == transactionId &&
                   FieldAt<uint32>(datagramP, 16) == eZQ_CM_MSG_TYPE_RSP &&
                   FieldAt<uint32>(datagramP, 28) == rule.operType && rspResType == reqResType &&
                   rspResId == reqResId;
    FUZZ_CHECK(accepted == answers);
    if (accepted && rule.copiesKey) {
        FUZZ_CHECK(memcmp(keyP, datagramP + 40, sizeof(uZqCmKey)) == 0);
    } else {
        FUZZ_CHECK(AllUntouched(keyP, sizeof(uZqCmKey)));
    }
    if (accepted && rule.copiesRecord) {
        // The answer names the request's own id: its record comes whole from the extended area
        // when the caller's buffer is sized for an extended record, else from res.
        size_t from = recordSize != sizeof(uZqCmRes) ? 1640 : 96;
        FUZZ_CHECK(DatagramBytes(datagramP, length, from, recordSize) ==
                   std::vector<uint8>(recordP, recordP + recordSize));
    } else {
        FUZZ_CHECK(AllUntouched(recordP, recordSize));
    }
    free(recordP);
    free(keyP);
    free(datagramP);
    return 0;
}
