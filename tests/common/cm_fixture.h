// cm_fixture.h - what the CM client tests share: a host started in the usual order with the CM
// waits shortened, the endpoint variables pointed at a loopback OLT manager peer, helpers to read
// and write fields of datagrams, and the channel brought up against the peer.
#ifndef RELAYKIT_TESTS_CM_FIXTURE_H
#define RELAYKIT_TESTS_CM_FIXTURE_H

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "oltmgr_peer.h"
#include "trace_support.h"
#include "zqcm_internal.h"

namespace cmtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

template <typename T> T Field(const Bytes &bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}
template <typename T> void SetField(Bytes &bytes, size_t offset, T value) {
    if (bytes.size() < offset + sizeof value) bytes.resize(offset + sizeof value);
    memcpy(bytes.data() + offset, &value, sizeof value);
}
// n bytes of a recognisable pattern starting at seed.
inline Bytes Pattern(size_t n, uint8_t seed) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

// Offsets of the wire format the tests read and write, taken from the message structures, so that
// a datagram built here follows the layout the library sends and parses.
constexpr size_t kSrcModule = offsetof(tZqOltMsgHdr, srcModuleId),
                 kDstModule = offsetof(tZqOltMsgHdr, dstModuleId),
                 kSrcTask = offsetof(tZqOltMsgHdr, srcTaskId),
                 kDstTask = offsetof(tZqOltMsgHdr, dstTaskId),
                 kMsgType = offsetof(tZqOltMsgHdr, msgType),
                 kManagerId = offsetof(tZqOltMsgHdr, managerId),
                 kTransactionId = offsetof(tZqOltMsgHdr, transactionId),
                 kAsync = offsetof(tZqOltMsgHdr, async);
constexpr size_t kOperType = offsetof(tZqCmReqMsg, operType), kResType = offsetof(tZqCmReqMsg, resType),
                 kResId = offsetof(tZqCmReqMsg, resId), kKey = offsetof(tZqCmReqMsg, dbKey),
                 kRes = offsetof(tZqCmReqMsg, res), kRet = offsetof(tZqCmRspMsg, ret),
                 kExt = offsetof(tZqCmSwdlMsg, onuUpgradeTaskAndResult);
// An alarm registration: who subscribes, and how.
constexpr size_t kRegManagerId = offsetof(tZqCmAlarmRegInfo, managerId),
                 kRegAddress = offsetof(tZqCmAlarmRegInfo, ipAddress),
                 kRegPort = offsetof(tZqCmAlarmRegInfo, port),
                 kRegType = offsetof(tZqCmAlarmRegInfo, regType),
                 kRegFilter = offsetof(tZqCmAlarmRegInfo, alarmFilterInfo);
// The registration type an answer to a registration carries in its record.
constexpr size_t kAnswerRegType = kRes + offsetof(tZqCmAlarmRegInfo, regType);
// An alarm's sequence number.
constexpr size_t kAlarmSeqNo = offsetof(tZqCmAlarmMsg, alarmInfo) + offsetof(tZqCmAlarmInfo, alarmSeqNo);

// The response the peer's store would give, with the request's transaction id and fields.
inline Bytes ResponseTo(const Bytes &request, eOsRet ret = eOS_RET_SUCCESS, size_t length = 1640) {
    Bytes response(length, 0);
    memcpy(response.data(), request.data(), std::min<size_t>(kRes, request.size()));
    SetField<uint32_t>(response, kMsgType, eZQ_CM_MSG_TYPE_RSP);
    SetField<uint32_t>(response, kRet, ret);
    response.resize(length);
    return response;
}

inline oltmgr::Reply Now(Bytes bytes) {
    oltmgr::Reply reply;
    reply.bytes = std::move(bytes);
    return reply;
}

class CmTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.Ok());
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        ASSERT_EQ(SvcInit(nullptr, rktest::CaptureInfoHandler), eOS_RET_SUCCESS);
        rktest::StartTrace();
        TraceSetLevel(eZQ_TL_DEBUG); // the major logs of the CM client are written
        tZqCmChannelOptions waits = kZqCmDefaultChannelOptions;
        waits.receiveTimeoutMs = 400;
        waits.alarmTaskWaitMs = 100;
        waits.waitingLineMs = 1;
        waits.pollIntervalMs = 1;
        ZqCmSetChannelOptions(waits);
        OltMgrHostAddr = INADDR_LOOPBACK;
        oltMgrUdpPort = peer_.Port();
        extEntityReqRspUdpPort = 0; // the system chooses, and the start writes them back
        extEntityAlarmUdpPort = 0;
        ZqCmSetBoardFileForTest("/nonexistent/board-file");
    }
    // The channel and the trace facility end, so that the next test starts them anew.
    void TearDown() override {
        EXPECT_TRUE(ZqCmStopChannelForTest()) << "the channel's tasks did not end";
        rktest::EndTrace();
    }

    // Brings the channel up against the peer (which answers READY by default).
    void StartChannel() {
        ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
        peer_.WaitForRequests(1, 2s);
        peer_.ClearRequests();
    }

    static size_t Printed(const std::string &text) { return rktest::HandlerTexts().Count(text); }
    static bool Logged(const std::string &text) { return rktest::SyslogLines().WaitFor(text, 3s); }

    oltmgr::Peer peer_;
};

} // namespace cmtest

#endif // RELAYKIT_TESTS_CM_FIXTURE_H
