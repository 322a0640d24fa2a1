// peer_test.cpp - the OLT manager peer as a client meets it: plain UDP sockets on loopback send
// request and registration datagrams and read the answers and alarms, each wait with a deadline.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "oltmgr_peer.h"
#include "udp_client.h"

namespace {

using namespace std::chrono_literals;
using oltmgr::Bytes;
using oltmgr::Datagram;
using oltmgr::Peer;
using oltmgr::ReadAt;
using oltmgr::Reply;
using oltmgr::Store;
using oltmgr::WriteAt;

using oltmgr_test::BytesOf;
using oltmgr_test::kDeadline;
using oltmgr_test::OnuKey;
using oltmgr_test::OnuRecord;
using oltmgr_test::Request;
using oltmgr_test::Ret;

// The test client, talking to a Peer.
class Client : public oltmgr_test::Client {
  public:
    using oltmgr_test::Client::Exchange;
    Bytes Exchange(const Peer &peer, const Bytes &request) { return Exchange(peer.Port(), request); }
};

constexpr size_t kRecordProbeAt = oltmgr::kResAt + 40; // a record byte outside the serial

class PeerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.Ok()); }
    Peer peer;
    Client client;
};

TEST_F(PeerTest, StoreAnswersCreateGetSetWalkCountSerialAndDeleteInKeyOrder) {
    constexpr int kNone = -1;
    struct Step {
        const char *what;
        int operType;
        uint32_t resId;
        int keyOnu;   // key of the request, kNone: zero key
        int fill;     // record of the request, kNone: none
        uint32_t ret;
        int wantKey;  // ONU id of the answer's key, kNone: not checked
        int wantFill; // record byte of the answer, kNone: not checked
        int wantCount;
    };
    const Step steps[] = {
        {"create 2", eZQ_CM_OPER_TYPE_CREATE, 6, 2, 0xB2, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"create 5", eZQ_CM_OPER_TYPE_CREATE, 6, 5, 0xB5, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"create 1", eZQ_CM_OPER_TYPE_CREATE, 6, 1, 0xB1, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"create in another resource", eZQ_CM_OPER_TYPE_CREATE, 7, 1, 0x71, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"create an existing one", eZQ_CM_OPER_TYPE_CREATE, 6, 1, 0xEE, eOS_RET_OLT_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"get keeps the first record", eZQ_CM_OPER_TYPE_GET, 6, 1, kNone, eOS_RET_SUCCESS, 1, 0xB1, kNone},
        {"get a missing one", eZQ_CM_OPER_TYPE_GET, 6, 9, 0x33, eOS_RET_OLT_NO_INSTANCE_EXISTS, 9, 0x33, kNone},
        {"set replaces", eZQ_CM_OPER_TYPE_SET, 6, 1, 0xC1, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"get after set", eZQ_CM_OPER_TYPE_GET, 6, 1, kNone, eOS_RET_SUCCESS, 1, 0xC1, kNone},
        {"set a missing one", eZQ_CM_OPER_TYPE_SET, 6, 9, 0xC9, eOS_RET_OLT_NO_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"first", eZQ_CM_OPER_TYPE_GETFIRST, 6, kNone, kNone, eOS_RET_SUCCESS, 1, 0xC1, kNone},
        {"next", eZQ_CM_OPER_TYPE_GETNEXT, 6, 1, kNone, eOS_RET_SUCCESS, 2, 0xB2, kNone},
        {"next skips a gap", eZQ_CM_OPER_TYPE_GETNEXT, 6, 2, kNone, eOS_RET_SUCCESS, 5, 0xB5, kNone},
        {"next from an absent key", eZQ_CM_OPER_TYPE_GETNEXT, 6, 3, kNone, eOS_RET_SUCCESS, 5, kNone, kNone},
        {"next stays in its resource", eZQ_CM_OPER_TYPE_GETNEXT, 6, 5, kNone, eOS_RET_OLT_NO_INSTANCE_EXISTS, 5, kNone, kNone},
        {"first with key at the key", eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY, 6, 2, kNone, eOS_RET_SUCCESS, 2, kNone, kNone},
        {"first with key after it", eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY, 6, 3, kNone, eOS_RET_SUCCESS, 5, kNone, kNone},
        {"first with key past the end", eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY, 6, 6, kNone, eOS_RET_OLT_NO_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"next with key", eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY, 6, 2, kNone, eOS_RET_SUCCESS, 5, kNone, kNone},
        {"first of an empty resource", eZQ_CM_OPER_TYPE_GETFIRST, 8, kNone, kNone, eOS_RET_OLT_NO_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"count", eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, kNone, kNone, eOS_RET_SUCCESS, kNone, kNone, 3},
        {"count of an empty resource", eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 8, kNone, kNone, eOS_RET_SUCCESS, kNone, kNone, 0},
        {"by serial", eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER, 6, kNone, 0xB2, eOS_RET_SUCCESS, 2, 0xB2, kNone},
        {"by unknown serial", eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER, 6, kNone, 0x99, eOS_RET_OLT_NO_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"delete", eZQ_CM_OPER_TYPE_DELETE, 6, 2, kNone, eOS_RET_SUCCESS, kNone, kNone, kNone},
        {"delete again", eZQ_CM_OPER_TYPE_DELETE, 6, 2, kNone, eOS_RET_OLT_NO_INSTANCE_EXISTS, kNone, kNone, kNone},
        {"count after delete", eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, kNone, kNone, eOS_RET_SUCCESS, kNone, kNone, 2},
        {"get instance by key is unknown", eZQ_CM_OPER_TYPE_GET_INSTANCE_BY_KEY, 6, 1, kNone, eOS_RET_OLT_UNKNOWN_OPER, kNone, kNone, kNone},
        {"operation 0", 0, 6, 1, kNone, eOS_RET_OLT_UNKNOWN_OPER, kNone, kNone, kNone},
        {"operation 99", 99, 6, 1, kNone, eOS_RET_OLT_UNKNOWN_OPER, kNone, kNone, kNone},
    };
    uint16_t tid = 100;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        uZqCmKey key = step.keyOnu == kNone ? uZqCmKey{} : OnuKey(step.keyOnu);
        Bytes record = step.fill == kNone ? Bytes{} : OnuRecord(step.fill);
        Bytes answer = client.Exchange(peer, Request(step.operType, step.resId, key,
                                                     record, ++tid));
        ASSERT_EQ(answer.size(), oltmgr::kMsgLen);
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kMsgTypeAt), eZQ_CM_MSG_TYPE_RSP);
        EXPECT_EQ(ReadAt<uint16_t>(answer, oltmgr::kTransactionIdAt), tid);
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kSrcModuleAt), eZQ_OLT_MAN_MODULE_SVC) << "header turned around";
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kDstTaskAt), 0u) << "back to the sending task";
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kOperTypeAt), static_cast<uint32_t>(step.operType));
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kResTypeAt), eZQ_CMAPI_RES_TYPE_ONU);
        EXPECT_EQ(ReadAt<uint32_t>(answer, oltmgr::kResIdAt), step.resId);
        EXPECT_EQ(Ret(answer), step.ret);
        if (step.wantKey != kNone) {
            EXPECT_EQ(ReadAt<uZqCmKey>(answer, oltmgr::kKeyAt).onuKey.onuId, step.wantKey);
        }
        if (step.wantFill != kNone) {
            EXPECT_EQ(answer[kRecordProbeAt], step.wantFill);
        }
        if (step.wantCount != kNone) {
            EXPECT_EQ(ReadAt<uint16_t>(answer, oltmgr::kInstanceNumAt), step.wantCount);
        }
    }
    EXPECT_EQ(peer.GetStore().Count(eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG), 2u);
    EXPECT_EQ(peer.Requests().size(), std::size(steps));
}

TEST_F(PeerTest, ExtendedRecordsTravelAtOffset1640InBothDirections) {
    const uint32_t extendedIds[] = {36, 38, 104};
    uint16_t tid = 0;
    for (uint32_t resId : extendedIds) {
        SCOPED_TRACE(resId);
        size_t size = oltmgr::ExtendedRecordSize(resId);
        Bytes record(size);
        for (size_t i = 0; i < size; ++i) {
            record[i] = static_cast<uint8_t>(i * 7 + resId);
        }
        Bytes create = Request(eZQ_CM_OPER_TYPE_CREATE, resId, OnuKey(1), record, ++tid);
        WriteAt<uint64_t>(create, oltmgr::kResAt, 0x7FFF12345678u); // the sender's own address
        ASSERT_EQ(Ret(client.Exchange(peer, create)), eOS_RET_SUCCESS);

        // The client's get-first of an extended id is an ordinary 1640-byte datagram.
        Bytes first = oltmgr::Resized(Request(eZQ_CM_OPER_TYPE_GETFIRST, resId, uZqCmKey{}, {}, ++tid), oltmgr::kMsgLen);
        for (const Bytes &request : {Request(eZQ_CM_OPER_TYPE_GET, resId, OnuKey(1), {}, ++tid), first}) {
            Bytes answer = client.Exchange(peer, request);
            ASSERT_EQ(answer.size(), oltmgr::kApiMsgLen);
            EXPECT_EQ(Ret(answer), eOS_RET_SUCCESS);
            EXPECT_EQ(Bytes(answer.begin() + oltmgr::kExtOffset, answer.begin() + oltmgr::kExtOffset + size), record);
            EXPECT_TRUE(std::all_of(answer.begin() + oltmgr::kExtOffset + size, answer.end(), [](uint8_t b) { return b == 0; }));
            EXPECT_EQ(ReadAt<uint64_t>(answer, oltmgr::kResAt), 0u);
        }
    }
}

TEST_F(PeerTest, SystemConfigurationReportsTheStartUpSequenceAndMergesFieldsByMask) {
    peer.GetStore().SetInitStatusSequence({eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY, eZQ_CM_OLT_STATUS_READY});
    uZqCmKey pollKey{};
    pollKey.resType = eZQ_CMAPI_RES_TYPE_SYSTEM;
    tZqCmGponSysConfig asked{};
    asked.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    auto status = [&](uint32_t resId) {
        Bytes answer = client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_GET, resId, pollKey, BytesOf(asked), 0));
        EXPECT_EQ(Ret(answer), eOS_RET_SUCCESS);
        EXPECT_EQ(ReadAt<uZqCmKey>(answer, oltmgr::kKeyAt).resType, pollKey.resType);
        return ReadAt<uint32_t>(answer, oltmgr::kInitStatusAt);
    };
    EXPECT_EQ(status(80), eZQ_CM_OLT_STATUS_NOT_INIT);
    EXPECT_EQ(status(1), eZQ_CM_OLT_STATUS_NOT_INIT); // repeats the latest poll
    EXPECT_EQ(status(80), eZQ_CM_OLT_STATUS_BUSY);
    EXPECT_EQ(status(80), eZQ_CM_OLT_STATUS_READY);
    EXPECT_EQ(status(80), eZQ_CM_OLT_STATUS_READY);
    peer.GetStore().SetInitStatusSequence({});
    EXPECT_EQ(status(80), eZQ_CM_OLT_STATUS_READY);

    auto set = [&](uint32_t mask, uint32_t fdb, eZqCmIgmpProxyRoutingMode igmp) {
        tZqCmGponSysConfig config{};
        config.bitMask = mask;
        config.fdbAgingTimer = fdb;
        config.igmpProxyRoutingMode = igmp;
        return Ret(client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_SET, 1, OnuKey(4), BytesOf(config), 0)));
    };
    EXPECT_EQ(set(fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER, 300, eZQ_CMAPI_IGMP_PROXY_ROUTING_IGMP), eOS_RET_SUCCESS);
    EXPECT_EQ(set(fCMAPI_GPON_SYS_CONFIG_MASK_IGMP_PROXY_ROUTING_MODE, 999, eZQ_CMAPI_IGMP_PROXY_ROUTING_DISABLED),
              eOS_RET_SUCCESS);
    Bytes got = client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_GET, 1, uZqCmKey{}, {}, 0));
    auto config = ReadAt<tZqCmGponSysConfig>(got, oltmgr::kResAt);
    EXPECT_EQ(config.fdbAgingTimer, 300u);
    EXPECT_EQ(config.igmpProxyRoutingMode, eZQ_CMAPI_IGMP_PROXY_ROUTING_DISABLED);
    EXPECT_EQ(config.bitMask, fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER | fCMAPI_GPON_SYS_CONFIG_MASK_IGMP_PROXY_ROUTING_MODE);

    EXPECT_EQ(Ret(client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_DELETE, 1, uZqCmKey{}, {}, 0))), eOS_RET_OLT_INVALID_OPER);
    EXPECT_EQ(Ret(client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_CREATE, 80, uZqCmKey{}, {}, 0))), eOS_RET_OLT_INSTANCE_EXISTS);
    EXPECT_EQ(peer.GetStore().Count(eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS), 1u);
}

TEST_F(PeerTest, ResponderDecidesContentTimingAndSenderOfEachReply) {
    using Make = std::vector<Reply> (*)(const Bytes &answer);
    struct Case {
        const char *what;
        Make replies;
        std::vector<size_t> lengths; // lengths of the datagrams the client gets, in order
        std::vector<int> tidOffsets; // their transaction ids relative to the request's
        bool foreign;
        std::chrono::milliseconds atLeast;
    };
    const Case cases[] = {
        {"stray transaction id first, then the answer",
         [](const Bytes &a) {
             return std::vector<Reply>{{oltmgr::WithTransactionId(a, ReadAt<uint16_t>(a, oltmgr::kTransactionIdAt) + 1)},
                                       {oltmgr::WithRet(a, eOS_RET_NOT_EXIST)}};
         },
         {1640, 1640}, {1, 0}, false, 0ms},
        {"late answer", [](const Bytes &a) { return std::vector<Reply>{{a, 150ms}}; }, {1640}, {0}, false, 150ms},
        {"late reply sent after an earlier-listed later one",
         [](const Bytes &a) { return std::vector<Reply>{{oltmgr::Resized(a, 1700), 120ms}, {a, 0ms}}; },
         {1640, 1700}, {0, 0}, false, 0ms},
        {"foreign sender", [](const Bytes &a) { return std::vector<Reply>{{a, 0ms, true}}; }, {1640}, {0}, true, 0ms},
        {"short", [](const Bytes &a) { return std::vector<Reply>{{oltmgr::Resized(a, 100)}}; }, {100}, {0}, false, 0ms},
        {"oversized", [](const Bytes &a) { return std::vector<Reply>{{oltmgr::Resized(a, 3000)}}; }, {3000}, {0}, false, 0ms},
        {"empty", [](const Bytes &) { return std::vector<Reply>{{}}; }, {0}, {0}, false, 0ms},
        {"silent", [](const Bytes &) { return std::vector<Reply>{}; }, {}, {}, false, 0ms},
    };
    uint16_t tid = 500;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        peer.SetResponder([&c](const Datagram &request, Store &store) {
            return c.replies(oltmgr::StoreReply(request, store).bytes);
        });
        auto sent = std::chrono::steady_clock::now();
        client.Send(peer.Port(), Request(eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, uZqCmKey{}, {}, ++tid));
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            auto got = client.Receive();
            ASSERT_TRUE(got) << "datagram " << i;
            EXPECT_GE(std::chrono::steady_clock::now() - sent, c.atLeast);
            EXPECT_EQ(got->bytes.size(), c.lengths[i]);
            if (got->bytes.size() > oltmgr::kTransactionIdAt) {
                EXPECT_EQ(ReadAt<uint16_t>(got->bytes, oltmgr::kTransactionIdAt), tid + c.tidOffsets[i]);
            }
            EXPECT_EQ(got->from.sin_addr.s_addr, inet_addr(c.foreign ? "127.0.0.2" : "127.0.0.1"));
            EXPECT_EQ(ntohs(got->from.sin_port), c.foreign ? peer.ForeignPort() : peer.Port());
        }
        EXPECT_FALSE(client.Receive(100ms)) << "nothing more";
    }
    peer.SetResponder(nullptr);
    EXPECT_EQ(Ret(client.Exchange(peer, Request(eZQ_CM_OPER_TYPE_GET, 1, {}, {}, 1))), eOS_RET_SUCCESS)
        << "back to the Store's answers";
}

TEST_F(PeerTest, AlarmRegistrationIsAnsweredAndAlarmsReachMatchingSubscribersOnly) {
    Client alarmSocket;
    auto reg = [&](uint16_t tid, uint32_t regType, tZqCmAlarmFilterInfo filter) {
        alarmSocket.Send(peer.Port(), oltmgr::BuildAlarmRegistration(tid, static_cast<eZqCmAlarmRegType>(regType), filter));
        auto answer = alarmSocket.Receive();
        EXPECT_TRUE(answer);
        if (!answer) {
            return ~0u;
        }
        EXPECT_EQ(answer->bytes.size(), oltmgr::kMsgLen);
        EXPECT_EQ(ReadAt<uint32_t>(answer->bytes, oltmgr::kMsgTypeAt), eZQ_CM_MSG_TYPE_RSP);
        EXPECT_EQ(ReadAt<uint16_t>(answer->bytes, oltmgr::kTransactionIdAt), tid);
        EXPECT_EQ(ReadAt<uint32_t>(answer->bytes, oltmgr::kRegTypeAt), regType);
        EXPECT_EQ(ReadAt<uint32_t>(answer->bytes, oltmgr::kResAt + offsetof(tZqCmAlarmRegInfo, alarmFilterInfo) +
                                                      offsetof(tZqCmAlarmFilterInfo, onuIdMax)),
                  filter.onuIdMax);
        return Ret(answer->bytes);
    };
    tZqCmAlarmFilterInfo onus10to20{1, 1, 3, 3, 10, 20, eZQ_CMAPI_ALARM_MIN, eZQ_CMAPI_ALARM_MAX, eZQ_CMAPI_ALARM_FILTER_ONU};
    tZqCmAlarmInfo onu15{};
    onu15.alarmType = eZQ_CMAPI_OLT_ALARM_LOS;
    onu15.alarmResId.portId = {1, 0, 3, 15, 0};
    onu15.alarmSeqNo = 42;
    tZqCmAlarmInfo onu30 = onu15;
    onu30.alarmResId.portId.onuId = 30;

    EXPECT_EQ(reg(11, eZQ_CMAPI_ALARM_REG_TYPE_REG, onus10to20), eOS_RET_SUCCESS);
    EXPECT_EQ(peer.Subscribers(), 1u);
    EXPECT_EQ(peer.SendAlarm(onu15), 1u);
    auto alarm = alarmSocket.Receive();
    ASSERT_TRUE(alarm);
    EXPECT_EQ(alarm->bytes.size(), oltmgr::kMsgLen);
    EXPECT_EQ(ReadAt<uint32_t>(alarm->bytes, oltmgr::kMsgTypeAt), eZQ_CM_MSG_TYPE_ALM);
    EXPECT_EQ(ReadAt<tZqCmAlarmInfo>(alarm->bytes, oltmgr::kAlarmInfoAt).alarmSeqNo, 42u);
    EXPECT_EQ(ReadAt<tZqCmAlarmInfo>(alarm->bytes, oltmgr::kAlarmInfoAt).alarmResId.portId.onuId, 15);
    EXPECT_EQ(peer.SendAlarm(onu30), 0u);

    tZqCmAlarmFilterInfo everything{};
    EXPECT_EQ(reg(12, eZQ_CMAPI_ALARM_REG_TYPE_REG, everything), eOS_RET_SUCCESS) << "a second registration updates";
    EXPECT_EQ(peer.Subscribers(), 1u);
    EXPECT_EQ(peer.SendAlarm(onu30), 1u);
    EXPECT_TRUE(alarmSocket.Receive());

    EXPECT_EQ(reg(13, eZQ_CMAPI_ALARM_REG_TYPE_MIN, everything), eOS_RET_OLT_INVALID_OPER);
    EXPECT_EQ(reg(14, eZQ_CMAPI_ALARM_REG_TYPE_UNREG, everything), eOS_RET_SUCCESS);
    EXPECT_EQ(peer.Subscribers(), 0u);
    EXPECT_EQ(reg(15, eZQ_CMAPI_ALARM_REG_TYPE_UNREG, everything), eOS_RET_OLT_NO_INSTANCE_EXISTS);
    EXPECT_EQ(peer.SendAlarm(onu15), 0u);
    EXPECT_FALSE(alarmSocket.Receive(100ms));
}

TEST(PeerFilterTest, EachFilterTypeLooksAtItsOwnFields) {
    tZqCmAlarmInfo alarm{};
    alarm.alarmType = eZQ_CMAPI_TCA_ALARM_MIN;
    alarm.alarmResId.portId = {2, 0, 5, 300, 0};
    struct Case {
        const char *what;
        // slot, link and ONU ranges, alarm type range, filter type: the filter's nine words
        std::array<uint32_t, 9> filter;
        bool passes;
    };
    static_assert(sizeof(tZqCmAlarmFilterInfo) == sizeof(Case::filter));
    const Case cases[] = {
        {"none", {0, 0, 0, 0, 0, 0, 0, 0, eZQ_CMAPI_ALARM_FILTER_NONE}, true},
        {"onu in range", {2, 2, 5, 5, 300, 300, 0, 0, eZQ_CMAPI_ALARM_FILTER_ONU}, true},
        {"onu out of range", {2, 2, 5, 5, 0, 299, 0, 0, eZQ_CMAPI_ALARM_FILTER_ONU}, false},
        {"onu on another link", {2, 2, 4, 4, 0, 999, 0, 0, eZQ_CMAPI_ALARM_FILTER_ONU}, false},
        {"link in range", {0, 9, 5, 6, 0, 0, 0, 0, eZQ_CMAPI_ALARM_FILTER_LINK}, true},
        {"link in another slot", {3, 9, 5, 6, 0, 0, 0, 0, eZQ_CMAPI_ALARM_FILTER_LINK}, false},
        {"link out of range", {2, 2, 6, 9, 0, 999, 0, 0, eZQ_CMAPI_ALARM_FILTER_LINK}, false},
        {"slot in range", {2, 2, 0, 0, 0, 0, 0, 0, eZQ_CMAPI_ALARM_FILTER_SLOT}, true},
        {"slot out of range", {0, 1, 0, 99, 0, 999, 0, 0, eZQ_CMAPI_ALARM_FILTER_SLOT}, false},
        {"alarm type in range", {0, 0, 0, 0, 0, 0, 400, 400, eZQ_CMAPI_ALARM_FILTER_ALARM_TYPE}, true},
        {"alarm type out of range", {0, 0, 0, 0, 0, 0, 1, 399, eZQ_CMAPI_ALARM_FILTER_ALARM_TYPE}, false},
        {"threshold crossing", {0, 0, 0, 0, 0, 0, 0, 0, eZQ_CMAPI_ALARM_FILTER_PM_TCA}, true},
        {"attribute value changes only", {0, 9, 0, 9, 0, 999, 0, 999, eZQ_CMAPI_ALARM_FILTER_AVC}, false},
        {"unknown filter type", {0, 9, 0, 9, 0, 999, 0, 999, 77}, false},
    };
    auto passes = [&](const std::array<uint32_t, 9> &words) {
        tZqCmAlarmFilterInfo filter;
        std::memcpy(&filter, words.data(), sizeof filter);
        return oltmgr::FilterPasses(filter, alarm);
    };
    for (const Case &c : cases) {
        EXPECT_EQ(passes(c.filter), c.passes) << c.what;
    }
    alarm.alarmType = eZQ_CMAPI_OLT_ALARM_LOS;
    EXPECT_FALSE(passes(cases[11].filter)) << "not a threshold crossing";
}

TEST_F(PeerTest, GarbageIsRecordedAndIgnoredAndTheNextRequestIsAnswered) {
    Bytes valid = Request(eZQ_CM_OPER_TYPE_GET, 1, uZqCmKey{}, {}, 0);
    Bytes notARequest = valid;
    WriteAt<uint32_t>(notARequest, oltmgr::kMsgTypeAt, 99);
    Bytes shortRegistration = oltmgr::Resized(oltmgr::BuildAlarmRegistration(1, eZQ_CMAPI_ALARM_REG_TYPE_REG, {}), 40);
    const Bytes garbage[] = {
        {}, Bytes(10, 0xFF), oltmgr::Resized(valid, 27), oltmgr::Resized(valid, oltmgr::kMsgLen - 1),
        notARequest, shortRegistration, Bytes(oltmgr::kApiMsgLen, 0xA5),
    };
    for (const Bytes &g : garbage) {
        client.Send(peer.Port(), g);
    }
    Bytes oversized = oltmgr::Resized(oltmgr::WithTransactionId(valid, 4), 3000);
    client.Send(peer.Port(), oversized);
    client.Send(peer.Port(), oltmgr::WithTransactionId(valid, 5));

    ASSERT_TRUE(peer.WaitForRequests(std::size(garbage) + 2, kDeadline));
    for (uint16_t tid : {4, 5}) {
        auto answer = client.Receive();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->bytes.size(), oltmgr::kMsgLen);
        EXPECT_EQ(ReadAt<uint16_t>(answer->bytes, oltmgr::kTransactionIdAt), tid);
        EXPECT_EQ(Ret(answer->bytes), eOS_RET_SUCCESS);
    }
    EXPECT_FALSE(client.Receive(100ms));
    auto recorded = peer.Requests();
    ASSERT_EQ(recorded.size(), std::size(garbage) + 2);
    for (size_t i = 0; i < std::size(garbage); ++i) {
        EXPECT_EQ(recorded[i].bytes, garbage[i]) << "datagram " << i;
    }
    EXPECT_EQ(recorded[std::size(garbage)].bytes.size(), 3000u);
    EXPECT_EQ(ntohs(recorded.back().from.sin_port), client.Port());
}

TEST(PeerLifeTest, BindFailuresAreReportedAndWaitsEndAtTheirDeadline) {
    Peer first;
    ASSERT_TRUE(first.Ok());
    EXPECT_FALSE(Peer({"127.0.0.1", first.Port()}).Ok()) << "port taken";
    EXPECT_FALSE(Peer({"not an address"}).Ok());
    EXPECT_FALSE(Peer({"127.0.0.1", 0, "192.0.2.1"}).Ok()) << "foreign address not local";
    Peer noForeign({"127.0.0.1", 0, ""});
    EXPECT_TRUE(noForeign.Ok());
    EXPECT_FALSE(noForeign.SendTo(first.Port(), "x", 1, true));

    EXPECT_FALSE(first.WaitForRequests(1, 50ms));
    EXPECT_TRUE(noForeign.SendTo(first.Port(), "ping", 4));
    EXPECT_TRUE(first.WaitForRequests(1, kDeadline));
    first.ClearRequests();
    EXPECT_TRUE(first.Requests().empty());
    EXPECT_FALSE(first.WaitForRequests(1, 50ms));
}

} // namespace

namespace {

using oltmgr::Instance;
using oltmgr::Key;

Instance MakeInstance(uint32_t resId, int onuId, size_t recordSize) {
    Instance instance{resId, {}, Bytes(recordSize, static_cast<uint8_t>(onuId))};
    auto key = OnuKey(onuId);
    std::memcpy(instance.key.data(), &key, sizeof key);
    return instance;
}

TEST(StoreLoadTest, InstancesComeBackInStoreOrderAndABadSetIsRefusedWhole) {
    Store store;
    std::vector<Instance> good = {MakeInstance(6, 9, 1072), MakeInstance(6, 2, 1072), MakeInstance(104, 1, 120),
                                  Instance{1, {}, Bytes(1072, 0x11)}};
    ASSERT_TRUE(store.Load(good));
    auto loaded = store.Instances();
    ASSERT_EQ(loaded.size(), 4u);
    EXPECT_EQ(loaded[0].resId, 1u);
    EXPECT_EQ(loaded[0].record, Bytes(1072, 0x11)) << "a loaded system configuration replaces the stored one";
    EXPECT_EQ(loaded[1].record, Bytes(1072, 2)) << "ONU 2 before ONU 9";
    EXPECT_EQ(loaded[3].resId, 104u);
    EXPECT_EQ(store.Count(eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG), 2u);

    Instance systemWithKey = MakeInstance(1, 3, 1072);
    const struct {
        const char *what;
        std::vector<Instance> instances;
    } bad[] = {
        {"record of the wrong size", {MakeInstance(6, 1, 1071)}},
        {"extended record of the ordinary size", {MakeInstance(36, 1, 1072)}},
        {"the alias of the system configuration", {Instance{80, {}, Bytes(1072, 0)}}},
        {"system configuration with a key", {systemWithKey}},
        {"an instance twice", {MakeInstance(6, 1, 1072), MakeInstance(6, 1, 1072)}},
        {"more than the store holds", std::vector<Instance>(oltmgr::kMaxInstances + 1)},
    };
    for (const auto &b : bad) {
        EXPECT_FALSE(store.Load(b.instances)) << b.what;
        EXPECT_EQ(store.Instances().size(), 4u) << b.what << ": nothing changed";
    }
    ASSERT_TRUE(store.Load({}));
    EXPECT_EQ(store.Instances().size(), 1u) << "only the system configuration stays";
}

// Each step is a request (or a Load) followed by a take of the noted changes: which instances come
// out, by ONU id (0: the system configuration), and which of them are gone.
TEST(StoreChangeTest, EveryChangeIsNotedOnceAndTakenInStoreOrderWithItsLatestRecord) {
    Store store;
    auto handle = [&](uint32_t operType, int onuId, uint8_t fill) {
        Bytes request = Request(operType, 6, OnuKey(onuId), OnuRecord(fill), 1);
        return Ret(store.Handle(request.data(), request.size()));
    };
    ASSERT_EQ(handle(eZQ_CM_OPER_TYPE_CREATE, 7, 1), eOS_RET_SUCCESS);
    std::vector<Instance> untracked;
    EXPECT_FALSE(store.TakeChanges(10, &untracked));
    EXPECT_TRUE(untracked.empty()) << "nothing is noted before tracking starts";
    store.TrackChanges();

    struct Step {
        const char *what;
        std::function<void()> act;
        std::vector<int> taken;     // ONU ids in the order taken
        std::vector<int> gone;      // of those, the ones taken with an empty record
        uint8_t fill = 0;           // the first taken record's first byte, when not gone
    };
    const Step steps[] = {
        {"create", [&] { handle(eZQ_CM_OPER_TYPE_CREATE, 9, 2); }, {9}, {}, 2},
        {"set twice: one change with the latest record",
         [&] { handle(eZQ_CM_OPER_TYPE_SET, 7, 3), handle(eZQ_CM_OPER_TYPE_SET, 7, 4); }, {7}, {}, 4},
        {"delete", [&] { handle(eZQ_CM_OPER_TYPE_DELETE, 9, 0); }, {9}, {9}},
        {"created and deleted before the take: gone", [&] { handle(eZQ_CM_OPER_TYPE_CREATE, 4, 5), handle(eZQ_CM_OPER_TYPE_DELETE, 4, 0); }, {4}, {4}},
        {"refused and read-only requests note nothing",
         [&] {
             handle(eZQ_CM_OPER_TYPE_CREATE, 7, 6), handle(eZQ_CM_OPER_TYPE_SET, 8, 6), handle(eZQ_CM_OPER_TYPE_DELETE, 8, 6),
                 handle(eZQ_CM_OPER_TYPE_GET, 7, 6), handle(eZQ_CM_OPER_TYPE_GETFIRST, 7, 6);
         },
         {}, {}},
        {"a load: what went and what came, in store order; the kept system configuration is no change",
         [&] { ASSERT_TRUE(store.Load({MakeInstance(6, 2, 1072), MakeInstance(6, 7, 1072)})); }, {2, 7}, {}, 2},
        {"a load of what is there already notes nothing",
         [&] { ASSERT_TRUE(store.Load({MakeInstance(6, 2, 1072), MakeInstance(6, 7, 1072)})); }, {}, {}},
        {"a load of nothing: all but the system configuration go",
         [&] { ASSERT_TRUE(store.Load({})); }, {2, 7}, {2, 7}, 0},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        std::vector<Instance> changes;
        EXPECT_FALSE(store.TakeChanges(100, &changes));
        std::vector<int> taken, gone;
        for (const Instance &change : changes) {
            int onuId = change.resId == 1 ? 0 : ReadAt<uZqCmKey>(Bytes(change.key.begin(), change.key.end()), 0).onuKey.onuId;
            taken.push_back(onuId);
            if (change.record.empty()) gone.push_back(onuId);
        }
        EXPECT_EQ(taken, step.taken);
        EXPECT_EQ(gone, step.gone);
        if (!changes.empty() && !changes.front().record.empty()) {
            EXPECT_EQ(changes.front().record[0], step.fill);
        }
    }

    // A take stops at its limit and says more are noted; what it left comes with the next one.
    for (int onuId : {1, 2, 3}) handle(eZQ_CM_OPER_TYPE_CREATE, onuId, 1);
    std::vector<Instance> changes;
    EXPECT_TRUE(store.TakeChanges(2, &changes));
    EXPECT_FALSE(store.TakeChanges(2, &changes));
    EXPECT_EQ(changes.size(), 3u);
    store.TrackChanges();
    handle(eZQ_CM_OPER_TYPE_SET, 1, 9);
    changes.clear();
    store.TrackChanges();
    EXPECT_FALSE(store.TakeChanges(10, &changes));
    EXPECT_TRUE(changes.empty()) << "tracking anew forgets what was noted";
    EXPECT_EQ(store.Size(), 4u);
}

} // namespace
