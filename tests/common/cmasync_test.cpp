// cmasync_test.cpp - asynchronous mode and the response dispatcher, alarm registration and the
// alarm task, against a loopback OLT manager peer.
#include <atomic>
#include <mutex>
#include <thread>

#include "cm_fixture.h"

namespace {

using namespace cmtest;

// What the callbacks saw, in order.
struct Call {
    std::string slot;
    uint16_t tid;
    uint32_t resType, resId;
    int64_t value; // ret, or the count
    Bytes key, record;
};
std::mutex callsMutex;
std::vector<Call> calls;
std::atomic<eOsRet> callbackResult{eOS_RET_SUCCESS};
std::atomic<int> callbackSleepMs{0};

void Record(const char *slot, uint16 t, eZqCmApiResType r, eZqCmApiResId i, int64_t value,
            const uZqCmKey *keyP, const void *resP) {
    Call call{slot, t, static_cast<uint32_t>(r), static_cast<uint32_t>(i), value, {}, {}};
    if (keyP) call.key.assign(reinterpret_cast<const uint8_t *>(keyP), reinterpret_cast<const uint8_t *>(keyP) + 52);
    // The record form: the res area and the extended area behind it, as the callback may read.
    if (resP) call.record.assign(static_cast<const uint8_t *>(resP), static_cast<const uint8_t *>(resP) + 1544 + 120);
    std::this_thread::sleep_for(std::chrono::milliseconds(callbackSleepMs.load()));
    std::lock_guard lock(callsMutex);
    calls.push_back(std::move(call));
}

#define RECORD_SLOT(name)                                                                          \
    eOsRet name(uint16 t, eZqCmApiResType r, eZqCmApiResId i, uZqCmKey k, void *resP, eOsRet e) {  \
        Record(#name, t, r, i, e, &k, resP);                                                       \
        return callbackResult.load();                                                             \
    }
RECORD_SLOT(createRsp)
RECORD_SLOT(setRsp)
RECORD_SLOT(getRsp)
RECORD_SLOT(getFirstRsp)
RECORD_SLOT(getNextRsp)
RECORD_SLOT(getFirstWithKeyRsp)
RECORD_SLOT(getNextWithKeyRsp)
eOsRet deleteRsp(uint16 t, eZqCmApiResType r, eZqCmApiResId i, uZqCmKey k, eOsRet e) {
    Record("deleteRsp", t, r, i, e, &k, nullptr);
    return callbackResult.load();
}
eOsRet getNumInstanceRsp(uint16 t, eZqCmApiResType r, eZqCmApiResId i, sint16 n) {
    Record("getNumInstanceRsp", t, r, i, n, nullptr, nullptr);
    return callbackResult.load();
}
eOsRet alarmRegisterRsp(uint16 t, tZqCmAlarmRegInfo info, eOsRet e) {
    Record("alarmRegisterRsp", t, eZQ_CMAPI_RES_TYPE_ALARM, static_cast<eZqCmApiResId>(info.regType), e, nullptr, nullptr);
    return eOS_RET_SUCCESS;
}
eOsRet alarmUnregisterRsp(uint16 t, tZqCmAlarmRegInfo info, eOsRet e) {
    Record("alarmUnregisterRsp", t, eZQ_CMAPI_RES_TYPE_ALARM, static_cast<eZqCmApiResId>(info.regType), e, nullptr, nullptr);
    return eOS_RET_SUCCESS;
}

tZqCmApiCallback FullTable() {
    return {createRsp, deleteRsp, setRsp, getRsp, getFirstRsp, getNextRsp, getFirstWithKeyRsp,
            getNextWithKeyRsp, getNumInstanceRsp, alarmRegisterRsp, alarmUnregisterRsp};
}

std::vector<Call> WaitForCalls(size_t n) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(callsMutex);
            if (calls.size() >= n) return calls;
        }
        std::this_thread::sleep_for(1ms);
    }
    std::lock_guard lock(callsMutex);
    return calls;
}

class CmAsyncTest : public CmTest {
  protected:
    void SetUp() override {
        CmTest::SetUp();
        StartChannel();
        std::lock_guard lock(callsMutex);
        calls.clear();
    }
    // A response datagram for an operation, as the manager would send it to the request socket.
    static Bytes Response(uint32_t operType, uint16_t tid, eOsRet ret, size_t length = 2448) {
        Bytes r(length, 0);
        SetField<uint32_t>(r, kMsgType, eZQ_CM_MSG_TYPE_RSP);
        SetField<uint16_t>(r, kTransactionId, tid);
        SetField<uint32_t>(r, kOperType, operType);
        SetField<uint32_t>(r, kResType, eZQ_CMAPI_RES_TYPE_ONU);
        SetField<uint32_t>(r, kResId, 6);
        Bytes key = Pattern(52, 0x21);
        memcpy(r.data() + kKey, key.data(), key.size());
        if (length >= kRet + 4) SetField<uint32_t>(r, kRet, ret);
        return r;
    }
    void Deliver(const Bytes &datagram) {
        ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, datagram.data(), datagram.size()));
    }
};

TEST_F(CmTest, SetModeChecksItsArgumentsInOrderAndSaysWhy) {
    tZqCmApiCallback full = FullTable(), noCount = FullTable(), noOptional = FullTable();
    noCount.getNumInstanceRsp = nullptr;
    noOptional.getFirstWithKeyRsp = noOptional.getNextWithKeyRsp = nullptr;
    noOptional.alarmRegisterRsp = noOptional.alarmUnregisterRsp = nullptr;
    struct { const char *name; uint32_t mode; tZqCmApiCallback *table; eOsRet result; eZqCmApiMode after; const char *printed; } rows[] = {
        {"async without table", 1, nullptr, eOS_RET_FAILURE, eZQ_CMAPI_MODE_SYNC, "ZqCmApi__SetMode(): NULL callbackP.\n"},
        {"mode 2", 2, &full, eOS_RET_FAILURE, eZQ_CMAPI_MODE_SYNC, "ZqCmApi__SetMode(): invalid mode: 2.\n"},
        {"table without count", 1, &noCount, eOS_RET_FAILURE, eZQ_CMAPI_MODE_ASYNC, "ZqCmApi__SetMode(): NULL getNumInstanceRsp: 1.\n"},
        {"sync with null table", 0, nullptr, eOS_RET_SUCCESS, eZQ_CMAPI_MODE_SYNC, nullptr},
        {"optional slots null", 1, &noOptional, eOS_RET_SUCCESS, eZQ_CMAPI_MODE_ASYNC, "ZqCmApi__SetMode(): NULL alarmUnregisterRsp: 1.\n"},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ZqCmApi__SetMode(static_cast<eZqCmApiMode>(row.mode), row.table), row.result);
        EXPECT_EQ(ZqCmApi__GetMode(), row.after);
        if (row.printed) {
            EXPECT_EQ(Printed(row.printed), 1u);
        }
    }
    EXPECT_EQ(ZqCmApiCallback.getRsp, getRsp);
    EXPECT_EQ(Printed("NULL alarmRegisterRsp: 1.\n"), 1u);
    EXPECT_EQ(Printed("getFirstWithKeyRsp"), 0u);
    // A refused table keeps the one in force; a switch to synchronous mode clears it.
    EXPECT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &noCount), eOS_RET_FAILURE);
    EXPECT_EQ(ZqCmApiCallback.getRsp, getRsp);
    EXPECT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_SYNC, &full), eOS_RET_SUCCESS);
    EXPECT_EQ(ZqCmApiCallback.createRsp, nullptr);
}

TEST_F(CmAsyncTest, EveryResponseReachesTheCallbackOfItsOperation) {
    tZqCmApiCallback table = FullTable();
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    struct { uint32_t oper; const char *slot; eOsRet ret; uint16_t count; int64_t value; } rows[] = {
        {1, "createRsp", eOS_RET_SUCCESS, 0, 0},           {2, "deleteRsp", eOS_RET_NOT_EXIST, 0, 7},
        {3, "setRsp", eOS_RET_SUCCESS, 0, 0},              {4, "getRsp", eOS_RET_OLT_NO_INSTANCE_EXISTS, 0, 24},
        {5, "getFirstRsp", eOS_RET_SUCCESS, 0, 0},         {6, "getNextRsp", eOS_RET_SUCCESS, 0, 0},
        {7, "getNumInstanceRsp", eOS_RET_SUCCESS, 5, 5},   {7, "getNumInstanceRsp", eOS_RET_OLT_NO_INSTANCE_EXISTS, 5, -1},
        {7, "getNumInstanceRsp", eOS_RET_SUCCESS, 0xFFFE, -2},
        {8, "getFirstWithKeyRsp", eOS_RET_SUCCESS, 0, 0},  {9, "getNextWithKeyRsp", eOS_RET_SUCCESS, 0, 0},
    };
    uint16_t tid = 100;
    for (auto &row : rows) {
        Bytes r = Response(row.oper, tid++, row.ret);
        SetField<uint16_t>(r, kRes, row.count);
        Bytes ext = Pattern(120, 0x61);
        memcpy(r.data() + kExt, ext.data(), ext.size());
        Deliver(r);
    }
    std::vector<Call> got = WaitForCalls(std::size(rows));
    ASSERT_EQ(got.size(), std::size(rows));
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(rows[i].slot);
        EXPECT_EQ(got[i].slot, rows[i].slot);
        EXPECT_EQ(got[i].tid, 100 + i) << "in arrival order";
        EXPECT_EQ(got[i].resId, 6u);
        EXPECT_EQ(got[i].value, rows[i].value);
        if (!got[i].key.empty()) {
            EXPECT_EQ(got[i].key, Pattern(52, 0x21));
        }
        if (!got[i].record.empty()) {
            EXPECT_EQ(Bytes(got[i].record.begin() + 1544, got[i].record.end()), Pattern(120, 0x61))
                << "the extended record lies 1544 bytes behind res";
        }
    }
}

TEST_F(CmAsyncTest, UndeliverableResponsesAreLoggedAndDropped) {
    tZqCmApiCallback table = FullTable();
    table.getFirstWithKeyRsp = nullptr;
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    callbackResult = eOS_RET_FAILURE;
    Bytes alarmOnWrongSocket = Response(4, 1, eOS_RET_SUCCESS);
    SetField<uint32_t>(alarmOnWrongSocket, kMsgType, eZQ_CM_MSG_TYPE_ALM);
    Deliver(alarmOnWrongSocket);
    Deliver(Response(10, 2, eOS_RET_SUCCESS));
    Deliver(Response(8, 3, eOS_RET_SUCCESS));
    Deliver(Response(1, 4, eOS_RET_SUCCESS));
    Deliver(Response(4, 5, eOS_RET_SUCCESS, 1171));
    Deliver(Response(2, 6, eOS_RET_SUCCESS));
    Bytes count = Response(7, 7, eOS_RET_SUCCESS);
    SetField<uint16_t>(count, kRes, 3);
    Deliver(count);
    EXPECT_TRUE(Logged("Unknown message: M3.\n"));
    EXPECT_TRUE(Logged("Unknown operType: O10, T2, R4:6, N0.\n"));
    EXPECT_TRUE(Logged("NULL getFirstWithKeyRsp: T3, R4:6.\n"));
    EXPECT_TRUE(Logged("createRsp() failed: T4, R4:6, E1.\n")) << "E is the callback's own result";
    EXPECT_TRUE(Logged("Unknown message: M2, L1171.\n"));
    EXPECT_TRUE(Logged("deleteRsp() failed: T6, R4:6, E1.\n"));
    EXPECT_TRUE(Logged("getNumInstanceRsp() failed: T7, R4:6, N3, E1.\n"));
    EXPECT_EQ(WaitForCalls(3).size(), 3u);
}

TEST_F(CmAsyncTest, NumbersOutsideTheEnumerationsPassThroughToTheCallbackUnchanged) {
    tZqCmApiCallback table = FullTable();
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    Bytes r = Response(eZQ_CM_OPER_TYPE_GET, 9, eOS_RET_SUCCESS);
    SetField<uint32_t>(r, kResType, 0xFFFFFFFF);
    SetField<uint32_t>(r, kResId, 0x80000000);
    SetField<uint32_t>(r, kRet, 0xDEADBEEF);
    Deliver(r);
    Bytes unknown = Response(0xFFFFFFF0, 10, eOS_RET_SUCCESS);
    Deliver(unknown);
    std::vector<Call> got = WaitForCalls(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].resType, 0xFFFFFFFFu);
    EXPECT_EQ(got[0].resId, 0x80000000u);
    EXPECT_EQ(static_cast<uint32_t>(got[0].value), 0xDEADBEEFu);
    EXPECT_TRUE(Logged("Unknown operType: O-16, T10, R4:6, N0.\n"));
}

TEST_F(CmAsyncTest, ModeChangesTakeEffectAtOnceInBothDirections) {
    tZqCmApiCallback table = FullTable();
    uZqCmRes record = {};
    record.gponSysConfig.bitMask = 0xABCD;
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ZqCmApi__GetReq(11, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record), eOS_RET_SUCCESS);
    EXPECT_EQ(record.gponSysConfig.bitMask, 0xABCDu) << "asynchronous mode leaves the record alone";
    std::vector<Call> got = WaitForCalls(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].slot, "getRsp");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "the receive task was not asleep";

    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_SYNC, nullptr), eOS_RET_SUCCESS);
    for (uint16_t tid = 20; tid < 30; ++tid)
        EXPECT_EQ(ZqCmApi__GetReq(tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
                  eOS_RET_OLT_NO_INSTANCE_EXISTS) << "the synchronous request gets its own answer";
    EXPECT_EQ(WaitForCalls(2).size(), 1u);
}

TEST_F(CmAsyncTest, ASlowCallbackDelaysLaterResponsesButLosesNone) {
    tZqCmApiCallback table = FullTable();
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    callbackSleepMs = 10;
    for (uint16_t tid = 0; tid < 30; ++tid)
        ZqCmApi__DeleteReq(tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{});
    std::vector<Call> got = WaitForCalls(30);
    ASSERT_EQ(got.size(), 30u);
    for (uint16_t tid = 0; tid < 30; ++tid) EXPECT_EQ(got[tid].tid, tid);
}

TEST_F(CmAsyncTest, AlarmRegistrationIsLaidOutAndAnsweredThroughTheAlarmTask) {
    tZqCmAlarmRegInfo info;
    memset(&info, 0xA5, sizeof info); // a header and regType the call must not use
    info.managerId = 0x11223344;
    info.ipAddress = 0x7F000001;
    info.port = 0x5566;
    info.alarmFilterInfo.alarmFilterType = eZQ_CMAPI_ALARM_FILTER_ONU;
    EXPECT_EQ(ZqCmApi__AlarmRegister(77, info), eOS_RET_SUCCESS);
    ASSERT_TRUE(peer_.WaitForRequests(1, 2s));
    Bytes d = peer_.Requests().front().bytes;
    ASSERT_EQ(d.size(), 1640u);
    EXPECT_EQ(Field<uint32_t>(d, kDstModule), eZQ_OLT_MAN_MODULE_ALM);
    EXPECT_EQ(Field<uint32_t>(d, kDstTask), 0xFFFFFFFFu);
    EXPECT_EQ(Field<uint32_t>(d, kMsgType), eZQ_CM_MSG_TYPE_ALM_REG);
    EXPECT_EQ(Field<uint32_t>(d, kManagerId), 0u);
    EXPECT_EQ(Field<uint16_t>(d, kTransactionId), 77);
    EXPECT_EQ(Field<uint32_t>(d, kRegManagerId), 0x11223344u);
    EXPECT_EQ(Field<uint32_t>(d, kRegAddress), 0x7F000001u);
    EXPECT_EQ(Field<uint16_t>(d, kRegPort), 0x5566);
    EXPECT_EQ(Field<uint32_t>(d, kRegType), eZQ_CMAPI_ALARM_REG_TYPE_REG);
    EXPECT_EQ(memcmp(d.data() + kRegFilter, &info.alarmFilterInfo, 36), 0);
    EXPECT_TRUE(rktest::HandlerTexts().WaitFor("Redirecting ALM REG/UNREG message to extEntityReqRspUdpPort.\n"));
    EXPECT_EQ(peer_.Subscribers(), 1u);
    EXPECT_EQ(ZqCmApi__AlarmUnRegister(78, info), eOS_RET_SUCCESS);
    EXPECT_EQ(peer_.Subscribers(), 0u);
}

TEST_F(CmAsyncTest, RegistrationWaitsThreeTimesAndTakesALateAnswerAtTheSecond) {
    tZqCmAlarmRegInfo info = {};
    peer_.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ZqCmApi__AlarmRegister(1, info), eOS_RET_FAILURE);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 400ms) << "three waits";
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &s) {
        std::vector<oltmgr::Reply> replies = oltmgr::DefaultReplies(d, s);
        for (auto &r : replies) {
            SetField<uint32_t>(r.bytes, kRet, eOS_RET_OLT_INVALID_OPER);
            r.delay = 600ms; // inside the second wait
        }
        return replies;
    });
    EXPECT_EQ(ZqCmApi__AlarmRegister(2, info), eOS_RET_OLT_INVALID_OPER);
}

TEST_F(CmAsyncTest, RegistrationTakesOnlyAResponseOfItsOwnRegTypeWithinItsThreeWaits) {
    const uint16_t requestPortNumber = extEntityReqRspUdpPort;
    // Before the honest answer: an unregistration answer (through the alarm task, which forwards
    // it) and a response without a registration type (straight to the request port).
    peer_.SetResponder([requestPortNumber](const oltmgr::Datagram &d, oltmgr::Store &s) {
        std::vector<oltmgr::Reply> replies = oltmgr::DefaultReplies(d, s);
        if (replies.empty()) return replies;
        oltmgr::Reply otherType = replies[0], plain = replies[0];
        SetField<uint32_t>(otherType.bytes, kAnswerRegType, eZQ_CMAPI_ALARM_REG_TYPE_UNREG);
        SetField<uint32_t>(otherType.bytes, kRet, eOS_RET_OLT_INVALID_OPER);
        SetField<uint32_t>(plain.bytes, kAnswerRegType, 0);
        SetField<uint32_t>(plain.bytes, kRet, eOS_RET_OLT_UNKNOWN_OPER);
        sockaddr_in requestPort = d.from;
        requestPort.sin_port = htons(requestPortNumber);
        plain.to = requestPort;
        return std::vector<oltmgr::Reply>{otherType, plain, replies[0]};
    });
    SetCliDisplayMode(eOS_BOOL_TRUE); // the API traces reach the host's line sink
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API);
    const uint32 rcvBefore = CmApiUdpRcvCnt;
    tZqCmAlarmRegInfo info = {};
    EXPECT_EQ(ZqCmApi__AlarmRegister(1, info), eOS_RET_SUCCESS) << "the honest answer's ret";
    EXPECT_EQ(peer_.Subscribers(), 1u);
    EXPECT_EQ(CmApiUdpRcvCnt, rcvBefore) << "registrations keep out of the request counters";
    for (const char *line : {"does not answer RT1: L1640, M2, RT2.", "does not answer RT1: L1640, M2, RT0."})
        EXPECT_TRUE(rktest::BllLines().WaitFor(line, 2s)) << line;

    // Answers of the wrong type that keep coming do not stretch the three waits.
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &s) {
        std::vector<oltmgr::Reply> replies;
        for (oltmgr::Reply reply : oltmgr::DefaultReplies(d, s)) {
            SetField<uint32_t>(reply.bytes, kAnswerRegType, eZQ_CMAPI_ALARM_REG_TYPE_UNREG);
            for (int i = 0; i < 25; ++i, reply.delay += 100ms) replies.push_back(reply);
        }
        return replies;
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ZqCmApi__AlarmRegister(2, info), eOS_RET_FAILURE) << "no answer of its type came";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3 * 400ms + 500ms);
}

TEST_F(CmAsyncTest, InAsynchronousModeRegistrationAnswersGoToTheirCallbacks) {
    tZqCmApiCallback table = FullTable();
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    tZqCmAlarmRegInfo info = {};
    EXPECT_EQ(ZqCmApi__AlarmRegister(5, info), eOS_RET_SUCCESS);
    EXPECT_EQ(ZqCmApi__AlarmUnRegister(6, info), eOS_RET_SUCCESS);
    std::vector<Call> got = WaitForCalls(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].slot, "alarmRegisterRsp");
    EXPECT_EQ(got[0].tid, 5);
    EXPECT_EQ(got[1].slot, "alarmUnregisterRsp");
    EXPECT_EQ(Printed("Redirecting"), 0u) << "nothing is forwarded to the response dispatcher";
}

TEST_F(CmAsyncTest, InAsynchronousModeRegistrationAnswersWithoutACallbackAreDropped) {
    tZqCmApiCallback table = FullTable();
    table.alarmRegisterRsp = nullptr;
    table.alarmUnregisterRsp = nullptr;
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    // Both answers, then a response of no registration type that prints a line once the alarm
    // task has read them, all from one socket in this order.
    const uint32_t regTypes[] = {eZQ_CMAPI_ALARM_REG_TYPE_REG, eZQ_CMAPI_ALARM_REG_TYPE_UNREG, 0};
    for (uint32_t regType : regTypes) {
        Bytes answer(1640, 0);
        SetField<uint32_t>(answer, kMsgType, eZQ_CM_MSG_TYPE_RSP);
        SetField<uint16_t>(answer, kTransactionId, static_cast<uint16_t>(5 + regType));
        SetField<uint32_t>(answer, kAnswerRegType, regType);
        ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, answer.data(), answer.size()));
    }
    EXPECT_TRUE(rktest::HandlerTexts().WaitFor("Received unknown response type: T5, RT0.\n"));
    EXPECT_EQ(Printed("Received unknown response type"), 1u) << "both answers were taken as answers";
    EXPECT_EQ(Printed("Redirecting"), 0u) << "not forwarded to the response dispatcher either";
    EXPECT_TRUE(WaitForCalls(0).empty());
}

TEST_F(CmAsyncTest, WithTheApiTracesOnEveryExchangeStillWorksAndIsTraced) {
    SetCliDisplayMode(eOS_BOOL_TRUE); // text output reaches the host's line sink
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API);
    tZqCmAlarmRegInfo info = {};
    EXPECT_EQ(ZqCmApi__AlarmRegister(3, info), eOS_RET_SUCCESS);
    Bytes foreign = Response(eZQ_CM_OPER_TYPE_GET, 4, eOS_RET_SUCCESS);
    ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, foreign.data(), foreign.size(), true));
    uZqCmKey key = {};
    uZqCmRes record = {};
    EXPECT_EQ(ZqCmApi__GetReq(4, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, key, &record),
              eOS_RET_OLT_NO_INSTANCE_EXISTS) << "the manager's answer, not the foreign one";
    tZqCmApiCallback table = FullTable();
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    Deliver(Response(eZQ_CM_OPER_TYPE_GET, 5, eOS_RET_SUCCESS));
    ASSERT_EQ(WaitForCalls(1).size(), 1u);
    for (const char *line : {"[CM-TRACE:5]: {common/src/zqcmapi_alarm.cpp:",
                             "ZqCmApi__AlarmRegister(): rspMsg.ret 0.",
                             "[CM-TRACE:4]: {common/src/zqcommunicator_transport.cpp:",
                             "Dropped datagram from a foreign sender on socket",
                             "ZqCmApi__GetReq(): rspMsg.ret 24.",
                             "CommunicatorRxTask(): received 2448 bytes."})
        EXPECT_TRUE(rktest::BllLines().WaitFor(line, 2s)) << line;
}

std::mutex alarmsMutex;
std::vector<Bytes> alarms;
eOsRet AlarmHandler(uZqCmMsg *msgP) {
    std::lock_guard lock(alarmsMutex);
    alarms.emplace_back(reinterpret_cast<uint8_t *>(msgP), reinterpret_cast<uint8_t *>(msgP) + 1640);
    return eOS_RET_SUCCESS;
}

TEST_F(CmAsyncTest, AlarmsAndEventsReachTheHandlerOnceEachInArrivalOrder) {
    Bytes longAlarm(1100, 0x77), shortEvent(40, 0);
    SetField<uint32_t>(longAlarm, kMsgType, eZQ_CM_MSG_TYPE_ALM);
    SetField<uint32_t>(shortEvent, kMsgType, eZQ_CM_MSG_TYPE_EVT);
    // A response of no registration type prints a line: it fences what the task read before it.
    auto fence = [&](uint16_t tid) {
        Bytes unknown(1640, 0);
        SetField<uint32_t>(unknown, kMsgType, eZQ_CM_MSG_TYPE_RSP);
        SetField<uint16_t>(unknown, kTransactionId, tid);
        EXPECT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, unknown.data(), unknown.size()));
        EXPECT_TRUE(rktest::HandlerTexts().WaitFor(
            "OMApi_AlarmRxTask(): Received unknown response type: T" + std::to_string(tid) + ", RT0.\n"));
    };
    ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, longAlarm.data(), longAlarm.size()));
    fence(8); // the first alarm, without a handler, is dropped silently
    EXPECT_EQ(itCmApi__RegisterAlarmHandler(nullptr), eOS_RET_INVALID_ARG);
    ASSERT_EQ(itCmApi__RegisterAlarmHandler(AlarmHandler), eOS_RET_SUCCESS);
    EXPECT_EQ(itCmApi__RegisterAlarmHandler(nullptr), eOS_RET_INVALID_ARG);
    for (int i = 0; i < 3; ++i) {
        SetField<uint32_t>(longAlarm, kAlarmSeqNo, i);
        ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, longAlarm.data(), longAlarm.size()));
    }
    ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, shortEvent.data(), shortEvent.size()));
    ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, longAlarm.data(), longAlarm.size(), true));
    fence(9);
    std::lock_guard lock(alarmsMutex);
    ASSERT_EQ(alarms.size(), 4u) << "the foreign sender's alarm is dropped";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Field<uint32_t>(alarms[i], kAlarmSeqNo), static_cast<uint32_t>(i));
    EXPECT_EQ(Field<uint32_t>(alarms[3], kMsgType), eZQ_CM_MSG_TYPE_EVT);
    EXPECT_EQ(std::count(alarms[3].begin() + 40, alarms[3].end(), 0), 1600) << "no bytes of the earlier alarm";
}

} // namespace
