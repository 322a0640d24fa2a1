// cmapi_test.cpp - synchronous CM requests against a loopback OLT manager peer: the datagrams each
// member sends, what each copies back, transaction-id matching, failures and their counters, and
// several host threads sharing the channel.
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "cm_fixture.h"
#include "zqcmapi_operations.h"

namespace {

using namespace cmtest;

struct Sent {
    eOsRet result;
    Bytes datagram;
};

uZqCmKey KeyOf(uint8_t seed) {
    uZqCmKey key;
    Bytes pattern = Pattern(sizeof key, seed);
    memcpy(&key, pattern.data(), sizeof key);
    return key;
}

class CmRequestTest : public CmTest {
  protected:
    void SetUp() override {
        CmTest::SetUp();
        StartChannel();
    }
    // Runs a request against a peer that answers with response(request); returns the request.
    Sent Exchange(const std::function<eOsRet()> &call,
                  std::function<Bytes(const Bytes &)> response = [](const Bytes &r) {
                      return ResponseTo(r);
                  }) {
        peer_.ClearRequests();
        peer_.SetResponder([response](const oltmgr::Datagram &d, oltmgr::Store &) {
            return std::vector<oltmgr::Reply>{Now(response(d.bytes))};
        });
        Sent sent{call(), {}};
        if (peer_.WaitForRequests(1, 0ms) || peer_.WaitForRequests(1, 2s))
            sent.datagram = peer_.Requests().front().bytes;
        return sent;
    }
};

// One row: a member, a resource id, and what its datagram must look like.
struct Shape {
    const char *name;
    eZqCmOperType operType;
    uint32_t resId;
    size_t length;
    bool key;        // the caller's key at 40
    int record;      // 0 none, 1 in res, 2 in the extended area (res holds only a pointer)
    size_t recordSize;
    uint16_t async;
};

TEST_F(CmRequestTest, EachMemberSendsItsOwnDatagramByteForByte) {
    const Shape shapes[] = {
        {"create", eZQ_CM_OPER_TYPE_CREATE, 6, 1640, true, 1, 1072, 0},
        {"create-36", eZQ_CM_OPER_TYPE_CREATE, 36, 2448, true, 2, 804, 0},
        {"delete", eZQ_CM_OPER_TYPE_DELETE, 6, 1640, true, 0, 0, 0},
        {"set-104", eZQ_CM_OPER_TYPE_SET, 104, 2448, true, 2, 120, 0},
        {"set-38", eZQ_CM_OPER_TYPE_SET, 38, 2448, true, 2, 372, 0},
        {"get", eZQ_CM_OPER_TYPE_GET, 80, 1640, true, 1, 1072, 0},
        {"get-104", eZQ_CM_OPER_TYPE_GET, 104, 2448, true, 2, 120, 0},
        {"bysernum-38", eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER, 38, 1640, false, 1, 1072, 0},
        {"bysernum-36", eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER, 36, 2448, false, 2, 804, 0},
        {"first", eZQ_CM_OPER_TYPE_GETFIRST, 36, 1640, false, 0, 0, 0},
        {"firstwithkey", eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY, 104, 1640, true, 0, 0, 0},
        {"next-38", eZQ_CM_OPER_TYPE_GETNEXT, 38, 2448, true, 0, 0, 0},
        {"next", eZQ_CM_OPER_TYPE_GETNEXT, 6, 1640, true, 0, 0, 0},
        {"nextwithkey-36", eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY, 36, 2448, true, 0, 0, 0},
        {"nextwithkey-104", eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY, 104, 1640, true, 0, 0, 0},
        {"count", eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, 1640, false, 0, 0, 0},
        {"delete-async", eZQ_CM_OPER_TYPE_DELETE, 6, 1640, true, 0, 0, 1},
        {"set-async-36", eZQ_CM_OPER_TYPE_SET, 36, 2448, true, 2, 804, 1},
    };
    for (const Shape &s : shapes) {
        SCOPED_TRACE(s.name);
        uint16_t tid = static_cast<uint16_t>(0x1200 + (&s - shapes));
        eZqCmApiResType type = eZQ_CMAPI_RES_TYPE_ONU;
        eZqCmApiResId id = static_cast<eZqCmApiResId>(s.resId);
        uZqCmKey key = KeyOf(0x40), keyOut;
        Bytes record = Pattern(1072, 0x90);
        std::function<eOsRet()> call;
        switch (s.operType) {
        case eZQ_CM_OPER_TYPE_CREATE: call = [&] { return ZqCmApi__CreateReq(tid, type, id, key, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_DELETE:
            call = s.async ? std::function<eOsRet()>([&] { return ZqCmApi__DeleteReq_Async(tid, type, id, key); })
                           : [&] { return ZqCmApi__DeleteReq(tid, type, id, key); };
            break;
        case eZQ_CM_OPER_TYPE_SET:
            call = s.async ? std::function<eOsRet()>([&] { return ZqCmApi__SetReq_Async(tid, type, id, key, record.data()); })
                           : [&] { return ZqCmApi__SetReq(tid, type, id, key, record.data()); };
            break;
        case eZQ_CM_OPER_TYPE_GET: call = [&] { return ZqCmApi__GetReq(tid, type, id, key, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER: call = [&] { return ZqCmApi__GetReqBySerNum(tid, type, id, &keyOut, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_GETFIRST: call = [&] { return ZqCmApi__GetFirstReq(tid, type, id, &keyOut, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY: call = [&] { return ZqCmApi__GetFirstReqWithKey(tid, type, id, key, &keyOut, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_GETNEXT: call = [&] { return ZqCmApi__GetNextReq(tid, type, id, key, &keyOut, record.data()); }; break;
        case eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY: call = [&] { return ZqCmApi__GetNextReqWithKey(tid, type, id, key, &keyOut, record.data()); }; break;
        default: call = [&] { return static_cast<eOsRet>(ZqCmApi__GetNumOfInstance(tid, type, id)); }; break;
        }
        Bytes sentRecord = record;
        Sent sent = Exchange(call);
        EXPECT_EQ(sent.result, eOS_RET_SUCCESS);
        const Bytes &d = sent.datagram;
        ASSERT_EQ(d.size(), s.length);
        Bytes expected(s.length, 0);
        SetField<uint32_t>(expected, kSrcModule, eZQ_OLT_MAN_MODULE_EXT_SNMP);
        SetField<uint32_t>(expected, kDstModule, eZQ_OLT_MAN_MODULE_SVC);
        SetField<uint32_t>(expected, kSrcTask, OsWrap__TaskId());
        SetField<uint32_t>(expected, kDstTask, 0xFFFFFFFFu);
        SetField<uint32_t>(expected, kMsgType, eZQ_CM_MSG_TYPE_REQ);
        SetField<uint16_t>(expected, kTransactionId, tid);
        SetField<uint16_t>(expected, kAsync, s.async);
        SetField<uint32_t>(expected, kOperType, s.operType);
        SetField<uint32_t>(expected, kResType, type);
        SetField<uint32_t>(expected, kResId, s.resId);
        if (s.key) memcpy(expected.data() + kKey, &key, sizeof key);
        if (s.record == 1) memcpy(expected.data() + kRes, sentRecord.data(), 1072);
        if (s.record == 2) {
            memcpy(expected.data() + kRes, d.data() + kRes, 8); // the sender's own address
            EXPECT_NE(Field<uint64_t>(d, kRes), 0u);
            memcpy(expected.data() + kExt, sentRecord.data(), s.recordSize);
        }
        EXPECT_EQ(d, expected);
    }
}

TEST_F(CmRequestTest, ReadinessPollRequestCarriesOnlyTheStatusMask) {
    uZqCmKey key = {};
    key.resType = 1;
    uZqCmRes record = {};
    record.gponSysConfig.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    Sent sent = Exchange([&] {
        return ZqCmApi__GetReq(0, eZQ_CMAPI_RES_TYPE_SYSTEM, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS, key, &record);
    });
    Bytes expected(1640, 0);
    const std::vector<std::pair<size_t, uint32_t>> words = {
        {kSrcModule, 1}, {kDstModule, 13}, {kSrcTask, OsWrap__TaskId()}, {kDstTask, 0xFFFFFFFFu}, {kMsgType, 1},
        {kOperType, 4}, {kResType, 1}, {kResId, 80}, {kKey, 1}, {kRes, 0x400}};
    for (auto [offset, value] : words) SetField<uint32_t>(expected, offset, value);
    EXPECT_EQ(sent.datagram, expected);
}

// One row: which member, which resId the response carries, where rcP's bytes must come from.
struct CopyBack {
    const char *name;
    int member; // 0 get, 1 bysernum, 2 first, 3 firstwithkey, 4 next, 5 nextwithkey
    uint32_t rspResId;
    bool fromExt;
    size_t size;
};

TEST_F(CmRequestTest, EachMemberCopiesKeyThenRecordFromWhereItsRuleSays) {
    const CopyBack rows[] = {
        {"get-104", 0, 104, true, 120},        {"get-6", 0, 6, false, 1072},
        {"bysernum-36", 1, 36, true, 804},     {"bysernum-104", 1, 104, false, 1072},
        {"first-38", 2, 38, true, 372},        {"firstwithkey-38", 3, 38, false, 1072},
        {"firstwithkey-36", 3, 36, true, 804}, {"next-104", 4, 104, true, 120},
        {"nextwithkey-38", 5, 38, false, 1072}, {"nextwithkey-36", 5, 36, true, 804},
    };
    for (const CopyBack &row : rows) {
        SCOPED_TRACE(row.name);
        uZqCmKey key = KeyOf(1), keyOut = {};
        Bytes record(1100, 0xEE);
        Bytes res = Pattern(1072, 0x11), ext = Pattern(808, 0x77), rspKey = Pattern(52, 0x33);
        // The peer's thread runs the responder: it works on its own copies.
        auto respond = [row, res, ext, rspKey](const Bytes &request) {
            Bytes r = ResponseTo(request, eOS_RET_OLT_NO_INSTANCE_EXISTS, 2448);
            SetField<uint32_t>(r, kResId, row.rspResId);
            memcpy(r.data() + kKey, rspKey.data(), 52);
            memcpy(r.data() + kRes, res.data(), 1072);
            SetField<uint32_t>(r, kRet, eOS_RET_OLT_NO_INSTANCE_EXISTS);
            memcpy(r.data() + kExt, ext.data(), 808);
            return r;
        };
        eZqCmApiResType t = eZQ_CMAPI_RES_TYPE_ONU;
        eZqCmApiResId id = static_cast<eZqCmApiResId>(row.rspResId);
        std::function<eOsRet()> calls[] = {
            [&] { return ZqCmApi__GetReq(5, t, id, key, record.data()); },
            [&] { return ZqCmApi__GetReqBySerNum(5, t, id, &keyOut, record.data()); },
            [&] { return ZqCmApi__GetFirstReq(5, t, id, &keyOut, record.data()); },
            [&] { return ZqCmApi__GetFirstReqWithKey(5, t, id, key, &keyOut, record.data()); },
            [&] { return ZqCmApi__GetNextReq(5, t, id, key, &keyOut, record.data()); },
            [&] { return ZqCmApi__GetNextReqWithKey(5, t, id, key, &keyOut, record.data()); },
        };
        Sent sent = Exchange(calls[row.member], respond);
        EXPECT_EQ(sent.result, eOS_RET_OLT_NO_INSTANCE_EXISTS) << "ret passes through unchanged";
        const Bytes &source = row.fromExt ? ext : res;
        EXPECT_TRUE(std::equal(source.begin(), source.begin() + row.size, record.begin()));
        EXPECT_EQ(record[row.size], 0xEE) << "nothing written past the record";
        if (row.member != 0) {
            EXPECT_EQ(memcmp(&keyOut, rspKey.data(), 52), 0);
        }
    }
}

// One row: a forged response from the manager's address with the request's transaction id, but one
// field of the echo wrong, sent before the honest answer. The caller's record has the size that
// ZqCmApi__RecordSize gives for the id asked, with guard bytes behind it.
struct Forgery {
    const char *name;
    int member; // 0 get, 1 first, 2 next, 3 count
    uint32_t resId;
    size_t field;
    uint32_t value;
};

TEST_F(CmRequestTest, ResponsesThatDoNotEchoTheRequestAreDroppedAndCountedUntilTheHonestAnswer) {
    const Forgery rows[] = {
        {"operType", 0, 6, kOperType, eZQ_CM_OPER_TYPE_GETNEXT},
        {"operType of a walk", 2, 6, kOperType, eZQ_CM_OPER_TYPE_GET},
        {"resType", 1, 6, kResType, eZQ_CMAPI_RES_TYPE_SYSTEM},
        {"resId 6 for 104", 0, 104, kResId, 6},
        {"resId 36 for 38", 1, 38, kResId, 36},
        {"resId 38 for 104", 2, 104, kResId, 38},
        {"resId 6 for 36", 2, 36, kResId, 6},
        {"resId of a count", 3, 6, kResId, 7},
        {"an alarm", 0, 6, kMsgType, eZQ_CM_MSG_TYPE_ALM},
        {"a request", 3, 6, kMsgType, eZQ_CM_MSG_TYPE_REQ},
    };
    SetCliDisplayMode(eOS_BOOL_TRUE); // the API traces reach the host's line sink
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API);
    for (const Forgery &row : rows) {
        SCOPED_TRACE(row.name);
        const size_t size = ZqCmApi__RecordSize(static_cast<eZqCmApiResId>(row.resId));
        const bool extended = size != sizeof(uZqCmRes);
        uZqCmKey key = KeyOf(1), keyOut = {};
        Bytes record(size + 64, 0xEE);
        auto answer = [](const Bytes &request, eOsRet ret, uint8_t seed, uint16_t count) {
            Bytes r = ResponseTo(request, ret, 2448);
            Bytes res = Pattern(1072, seed), ext = Pattern(808, seed ^ 0x40);
            memcpy(r.data() + kRes, res.data(), res.size());
            memcpy(r.data() + kExt, ext.data(), ext.size());
            SetField<uint16_t>(r, kRes, count);
            return r;
        };
        peer_.SetResponder([row, answer](const oltmgr::Datagram &d, oltmgr::Store &) {
            Bytes forged = answer(d.bytes, eOS_RET_OLT_INVALID_OPER, 0x99, 9);
            SetField<uint32_t>(forged, row.field, row.value);
            return std::vector<oltmgr::Reply>{Now(forged), Now(answer(d.bytes, eOS_RET_SUCCESS, 0x11, 5))};
        });
        eZqCmApiResType t = eZQ_CMAPI_RES_TYPE_ONU;
        eZqCmApiResId id = static_cast<eZqCmApiResId>(row.resId);
        const std::function<eOsRet()> calls[] = {
            [&] { return ZqCmApi__GetReq(5, t, id, key, record.data()); },
            [&] { return ZqCmApi__GetFirstReq(5, t, id, &keyOut, record.data()); },
            [&] { return ZqCmApi__GetNextReq(5, t, id, key, &keyOut, record.data()); },
            [&] { return static_cast<eOsRet>(ZqCmApi__GetNumOfInstance(5, t, id)); },
        };
        const uint32 rcvBefore = CmApiUdpRcvCnt;
        EXPECT_EQ(calls[row.member](), row.member == 3 ? static_cast<eOsRet>(5) : eOS_RET_SUCCESS)
            << "the honest answer's result";
        EXPECT_EQ(CmApiUdpRcvCnt - rcvBefore, 2u) << "the forgery is counted like any stray";
        if (row.member == 3) continue;
        Bytes honest = extended ? Pattern(808, 0x11 ^ 0x40) : Pattern(1072, 0x11);
        if (!extended) SetField<uint16_t>(honest, 0, 5); // the count the answer carries at res
        EXPECT_TRUE(std::equal(record.begin(), record.begin() + size, honest.begin())) << "the honest record";
        EXPECT_TRUE(std::all_of(record.begin() + size, record.end(), [](uint8_t b) { return b == 0xEE; }))
            << "nothing written past the record of the requested id";
    }
    for (const char *line : {"ZqCmApi__GetReq(): dropped a datagram that does not answer T5: T5, M2, operType 6, resType 4, resId 6.",
                             "ZqCmApi__GetNumOfInstance(): dropped a datagram that does not answer T5: T5, M1, operType 7"})
        EXPECT_TRUE(rktest::BllLines().WaitFor(line, 2s)) << line;
}

// The size a host is told is the size every member reads and writes for that id: the members
// that treat all three extended ids as extended take exactly that, the others never more.
TEST(CmRecordSize, IsWhatTheRequestsCopyAndZeroForNumbersThatAreNoResourceId) {
    for (uint32_t id = 0; id < eZQ_CMAPI_RES_ID_MAX; ++id) {
        SCOPED_TRACE(id);
        const uint32 size = ZqCmApi__RecordSize(static_cast<eZqCmApiResId>(id));
        EXPECT_EQ(size, id == 36 ? 804u : id == 38 ? 372u : id == 104 ? 120u : 1072u);
        for (const tCmOperation *member : kCmOperations) {
            const size_t taken = CmCallerRecordSize(*member, id);
            const std::string name = member->nameP;
            const bool allExtended = name.find("WithKey") == std::string::npos && name.find("SerNum") == std::string::npos;
            if (taken != 0 && allExtended) {
                EXPECT_EQ(taken, size) << name;
            }
            EXPECT_LE(taken, sizeof(uZqCmRes)) << name << ": a uZqCmRes is always enough";
        }
    }
    for (uint32_t id : {109u, 1000u, 0xFFFFFFFFu}) EXPECT_EQ(ZqCmApi__RecordSize(static_cast<eZqCmApiResId>(id)), 0u) << id;
}

TEST_F(CmRequestTest, InstanceCountReadsSixteenSignedBitsAndFoldsFailuresToMinusOne) {
    struct { uint16_t count; eOsRet ret; sint16 expected; } rows[] = {
        {5, eOS_RET_SUCCESS, 5}, {0x8003, eOS_RET_SUCCESS, static_cast<sint16>(0x8003)}, {5, eOS_RET_FAILURE, -1}};
    for (auto row : rows) {
        sint16 got = 0;
        Exchange([&] { got = ZqCmApi__GetNumOfInstance(9, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG); return eOS_RET_SUCCESS; },
                 [row](const Bytes &r) { Bytes b = ResponseTo(r, row.ret); SetField<uint16_t>(b, kRes, row.count); return b; });
        EXPECT_EQ(got, row.expected);
    }
}

TEST_F(CmRequestTest, StrayForeignAndShortDatagramsAreCountedAndDroppedUntilTheOwnAnswer) {
    uZqCmRes record = {};
    uint32 rcvBefore = CmApiUdpRcvCnt;
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &) {
        Bytes stray = ResponseTo(d.bytes, eOS_RET_FAILURE);
        SetField<uint16_t>(stray, kTransactionId, 99);
        Bytes foreign = ResponseTo(d.bytes, eOS_RET_FAILURE);
        Bytes shortOne = ResponseTo(d.bytes, eOS_RET_FAILURE, 1171);
        oltmgr::Reply fromForeign = Now(foreign);
        fromForeign.fromForeign = true;
        return std::vector<oltmgr::Reply>{Now(stray), fromForeign, Now(shortOne),
                                          Now(ResponseTo(d.bytes, eOS_RET_NOT_EXIST))};
    });
    EXPECT_EQ(ZqCmApi__GetReq(7, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_NOT_EXIST);
    EXPECT_EQ(CmApiUdpRcvCnt - rcvBefore, 4u);
}

TEST_F(CmRequestTest, FailuresAreCountedAndPrintedWithTheCountersAfterTheIncrement) {
    uZqCmRes record = {};
    peer_.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    uint32 failBefore = CmApiUdpRcvFailCnt, sentBefore = CmApiUdpSentCnt;
    EXPECT_EQ(ZqCmApi__GetReq(1, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_TIME_OUT);
    EXPECT_EQ(ZqCmApi__GetNumOfInstance(1, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG), -1);
    EXPECT_EQ(CmApiUdpRcvFailCnt - failBefore, 2u);
    EXPECT_EQ(CmApiUdpSentCnt - sentBefore, 2u);
    EXPECT_EQ(Printed("CmApiUdpRcvFailCnt " + std::to_string(failBefore + 1) + "\n"), 1u);

    // A socket the kernel refuses: the send fails, nothing is received.
    int saved = CmReqRspSocket;
    std::atomic_ref<int>(CmReqRspSocket).store(-1);
    uint32 sentFailBefore = CmApiUdpSentFailCnt;
    sentBefore = CmApiUdpSentCnt;
    EXPECT_EQ(ZqCmApi__DeleteReq(2, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}), eOS_RET_FAILURE);
    EXPECT_EQ(ZqCmApi__DeleteReq_Async(2, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}), eOS_RET_FAILURE);
    std::atomic_ref<int>(CmReqRspSocket).store(saved);
    EXPECT_EQ(CmApiUdpSentFailCnt - sentFailBefore, 2u);
    EXPECT_EQ(CmApiUdpSentCnt, sentBefore);
    EXPECT_TRUE(Logged("UdpSend(): sendto() Error:"));
}

TEST_F(CmRequestTest, MissingPointersAreRefusedBeforeAnythingIsSent) {
    uZqCmKey key = {};
    uZqCmRes record = {};
    eZqCmApiResType t = eZQ_CMAPI_RES_TYPE_ONU;
    eZqCmApiResId id = eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG;
    // Results as the 32-bit numbers a C caller reads: -1 has no enumerator.
    auto raw = [](eOsRet result) { int32_t value; memcpy(&value, &result, sizeof value); return value; };
    struct { const char *name; std::function<eOsRet()> call; int32_t expected; const char *printed; } rows[] = {
        {"get", [&] { return ZqCmApi__GetReq(1, t, id, key, nullptr); }, eOS_RET_INVALID_ARG, "ZqCmApi__GetReq():rcP is NULL"},
        {"create", [&] { return ZqCmApi__CreateReq(1, t, id, key, nullptr); }, eOS_RET_FAILURE, "ZqCmApi__CreateReq():rcP is NULL"},
        {"set", [&] { return ZqCmApi__SetReq(1, t, id, key, nullptr); }, eOS_RET_FAILURE, nullptr},
        {"set-async", [&] { return ZqCmApi__SetReq_Async(1, t, id, key, nullptr); }, eOS_RET_FAILURE, nullptr},
        {"bysernum-key", [&] { return ZqCmApi__GetReqBySerNum(1, t, id, nullptr, &record); }, eOS_RET_INVALID_ARG, "resKeyP is NULL"},
        {"bysernum-rc", [&] { return ZqCmApi__GetReqBySerNum(1, t, id, &key, nullptr); }, eOS_RET_INVALID_ARG, "ZqCmApi__GetReqBySerNum():rcP is NULL"},
        {"first", [&] { return ZqCmApi__GetFirstReq(1, t, id, nullptr, &record); }, eOS_RET_INVALID_ARG, "ZqCmApi__GetFirstReq():resKeyP is NULL"},
        {"firstwithkey", [&] { return ZqCmApi__GetFirstReqWithKey(1, t, id, key, &key, nullptr); }, eOS_RET_INVALID_ARG, "ZqCmApi__GetFirstReqWithKey():rcP is NULL"},
        {"next", [&] { return ZqCmApi__GetNextReq(1, t, id, key, nullptr, &record); }, eOS_RET_INVALID_ARG, "nextResKeyP is NULL"},
        {"nextwithkey", [&] { return ZqCmApi__GetNextReqWithKey(1, t, id, key, &key, nullptr); }, eOS_RET_INVALID_ARG, "ZqCmApi__GetNextReqWithKey():rcP is NULL"},
        {"bykey", [&] { return ZqCmApi__GetInstanceByKey(1, &key, &record, id); }, -1, "ZqCmApi__GetInstanceByKey(): not supported."},
    };
    size_t printedBefore = rktest::HandlerTexts().Texts().size();
    for (auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(raw(row.call()), row.expected);
        if (row.printed) {
            EXPECT_EQ(Printed(row.printed), 1u);
        }
    }
    EXPECT_EQ(rktest::HandlerTexts().Texts().size() - printedBefore, 9u) << "set refuses silently while tracing is off";
    EXPECT_FALSE(peer_.WaitForRequests(1, 100ms));
}

TEST_F(CmRequestTest, ConcurrentHostThreadsEachGetTheirOwnAnswer) {
    // The peer answers late, so requests of both threads would overlap without serialising.
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &) {
        Bytes r = ResponseTo(d.bytes);
        memcpy(r.data() + kRes, d.bytes.data() + kRes, 16); // echo the asker's tag
        oltmgr::Reply reply = Now(r);
        reply.delay = 2ms;
        return std::vector<oltmgr::Reply>{reply};
    });
    std::atomic<int> wrong{0};
    auto host = [&](uint16_t base) {
        for (uint16_t i = 0; i < 40; ++i) {
            uZqCmRes record = {};
            uint32 tag = base + i;
            memcpy(&record, &tag, sizeof tag);
            if (ZqCmApi__GetReq(static_cast<uint16_t>(base + i), eZQ_CMAPI_RES_TYPE_ONU,
                                eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record) != eOS_RET_SUCCESS ||
                memcmp(&record, &tag, sizeof tag) != 0)
                ++wrong;
        }
    };
    std::thread a(host, 1000), b(host, 2000);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A task deleted while it waits for an answer finishes the exchange and gives it back.
void SilentWaiter() {
    uZqCmRes record = {};
    ZqCmApi__GetReq(3, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record);
}

TEST_F(CmRequestTest, DeletingAWaitingTaskReleasesTheExchange) {
    tZqCmChannelOptions waits = ZqCmChannelOptions();
    waits.receiveTimeoutMs = 1000;
    ZqCmSetChannelOptions(waits);
    peer_.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    tOsTaskId waiter = 0;
    ASSERT_EQ(OsWrap__TaskCreate(const_cast<char *>("waiter"), SilentWaiter, eOS_PRI_LOW, 0x20000, &waiter), eOS_RET_SUCCESS);
    ASSERT_TRUE(peer_.WaitForRequests(1, 2s));
    ASSERT_EQ(OsWrap__TaskDelete(waiter), eOS_RET_SUCCESS);
    Sent sent = Exchange([] {
        uZqCmRes record = {};
        return ZqCmApi__GetReq(4, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record);
    });
    EXPECT_EQ(sent.result, eOS_RET_SUCCESS);
}

} // namespace
