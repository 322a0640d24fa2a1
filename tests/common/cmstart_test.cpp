// cmstart_test.cpp - bringing the CM channel up: the readiness poll, its bound, the sockets each
// message leaves from, the transport's receive results, a second start, and board detection.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "cm_fixture.h"
#include "oswraplx.h"

namespace {

using namespace cmtest;

// The port a socket is bound to.
uint16_t BoundPort(int fd) {
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// A socket bound without SO_REUSEADDR to a free port, which no other socket can then bind.
int HoldPort(uint16_t *portP) {
    int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    EXPECT_EQ(bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    *portP = BoundPort(holder);
    return holder;
}

bool ReusesAddress(int fd) {
    int reuse = 0;
    socklen_t length = sizeof reuse;
    getsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, &length);
    return reuse != 0;
}

// A socket with SO_REUSEADDR bound to port (0: one the system chooses), or -1.
int BindReusing(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int reuse = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return fd;
    close(fd);
    return -1;
}

TEST_F(CmTest, StartUpPollsUntilTheManagerIsReadyAdvancingTheTransactionId) {
    peer_.GetStore().SetInitStatusSequence(
        {eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY, eZQ_CM_OLT_STATUS_READY});
    ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
    std::vector<oltmgr::Datagram> polls = peer_.Requests();
    ASSERT_EQ(polls.size(), 3u);
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Field<uint16_t>(polls[i].bytes, kTransactionId), i);
        EXPECT_EQ(ntohs(polls[i].from.sin_port), extEntityReqRspUdpPort) << "requests leave the request socket";
    }
    std::vector<std::string> lines;
    for (const std::string &t : rktest::HandlerTexts().Texts())
        if (t.find("OLT MGR") != std::string::npos || t.find("Alarm Rx task") != std::string::npos) lines.push_back(t);
    std::vector<std::string> expected = {"Alarm Rx task successfully started.\n",
                                         "Waiting for OLT MGR to be ready...\n",
                                         "Waiting for OLT MGR to be ready...\n",
                                         "Waiting for OLT MGR to be ready...\n",
                                         "OLT MGR is not initialized.\n",
                                         "OLT MGR is initializing.\n",
                                         "OLT MGR is initialized.\n"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_INVALID_STATE);
    EXPECT_EQ(Printed("already up"), 1u);
    EXPECT_EQ(peer_.Requests().size(), 3u) << "a second start sends nothing";
}

TEST_F(CmTest, AnUnansweredPollGivesUpAfterFortyEightAttemptsWithTheSameTransactionId) {
    tZqCmChannelOptions waits = ZqCmChannelOptions();
    waits.receiveTimeoutMs = 10;
    ZqCmSetChannelOptions(waits);
    peer_.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
    ASSERT_TRUE(peer_.WaitForRequests(48, 2s));
    std::vector<oltmgr::Datagram> polls = peer_.Requests();
    EXPECT_EQ(polls.size(), 48u);
    for (const auto &poll : polls) EXPECT_EQ(Field<uint16_t>(poll.bytes, kTransactionId), 0);
    EXPECT_EQ(Printed("OLT MGR is initialized"), 0u);
}

TEST_F(CmTest, ChannelOptionsChooseTheWaitsAndRefuseNonsense) {
    tZqCmChannelOptions options;
    ZqCmApi__DefaultChannelOptions(&options);
    EXPECT_EQ(options.receiveTimeoutMs, 60000u);
    EXPECT_EQ(options.alarmTaskWaitMs, 10000u);
    EXPECT_EQ(options.waitingLines, 3u);
    EXPECT_EQ(options.waitingLineMs, 5000u);
    EXPECT_EQ(options.pollAttempts, 48u);
    EXPECT_EQ(options.pollIntervalMs, 5000u);
    for (uint32 timeout : {0u, 3600001u}) {
        options.receiveTimeoutMs = timeout;
        EXPECT_EQ(ZqCmApi__InitCommunicationChannelWithOptions(&options), eOS_RET_INVALID_ARG);
    }
    EXPECT_EQ(ZqCmApi__InitCommunicationChannelWithOptions(nullptr), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Printed("ZqCmApi__InitCommunicationChannelWithOptions(): invalid options"), 3u);
    options = {250, 1000, 0, 0, 0, 0};
    EXPECT_EQ(ZqCmApi__InitCommunicationChannelWithOptions(&options), eOS_RET_SUCCESS);
    EXPECT_EQ(Printed("Waiting for OLT MGR"), 0u);
    EXPECT_FALSE(peer_.WaitForRequests(1, 50ms)) << "no readiness poll";
    EXPECT_EQ(ZqCmChannelOptions().receiveTimeoutMs, 250u) << "the receive time-out stays in force";
}

TEST_F(CmTest, AlarmRegistrationLeavesTheAlarmSocketAndRequestsTheOther) {
    StartChannel();
    tZqCmAlarmRegInfo info = {};
    ZqCmApi__AlarmRegister(1, info);
    uZqCmKey key = {};
    ZqCmApi__DeleteReq(2, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, key);
    std::vector<oltmgr::Datagram> sent = peer_.Requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(ntohs(sent[0].from.sin_port), extEntityAlarmUdpPort);
    EXPECT_EQ(ntohs(sent[1].from.sin_port), extEntityReqRspUdpPort);
}

TEST_F(CmTest, PortsLeftAtZeroAreChosenByTheSystemHeldAloneAndKnownBeforeTheStartReturns) {
    StartChannel();
    const uint16_t request = extEntityReqRspUdpPort, alarm = extEntityAlarmUdpPort;
    EXPECT_NE(request, 0);
    EXPECT_NE(alarm, 0);
    EXPECT_NE(request, alarm);
    // The alarm socket asks for a large receive buffer: it holds at least what the system allows
    // (the system reports twice the size it grants).
    int rcvbuf = 0, usual = 0;
    socklen_t size = sizeof rcvbuf;
    ASSERT_EQ(getsockopt(CmAlarmSocket, SOL_SOCKET, SO_RCVBUF, &rcvbuf, &size), 0);
    ASSERT_EQ(getsockopt(CmReqRspSocket, SOL_SOCKET, SO_RCVBUF, &usual, &size), 0);
    long limit = 0;
    if (FILE *max = std::fopen("/proc/sys/net/core/rmem_max", "r")) {
        if (std::fscanf(max, "%ld", &limit) != 1) limit = 0;
        std::fclose(max);
    }
    if (limit > usual / 2) {
        EXPECT_GE(rcvbuf, std::min(2 * limit, 8L << 20)) << "the alarm socket kept the usual buffer";
    }
    EXPECT_EQ(BoundPort(CmReqRspSocket), request);
    EXPECT_EQ(BoundPort(CmAlarmSocket), alarm);
    for (int fd : {CmReqRspSocket, CmAlarmSocket}) {
        EXPECT_FALSE(ReusesAddress(fd));
        int sharer = BindReusing(BoundPort(fd));
        EXPECT_LT(sharer, 0) << "no other socket, even one reusing addresses, shares the port";
        if (sharer >= 0) close(sharer);
    }
    // A registration names the bound alarm port, and its answer comes back through the alarm task
    // to the bound request port.
    tZqCmAlarmRegInfo info = {};
    info.port = extEntityAlarmUdpPort;
    EXPECT_EQ(ZqCmApi__AlarmRegister(1, info), eOS_RET_SUCCESS);
    std::vector<oltmgr::Datagram> sent = peer_.Requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(ntohs(sent[0].from.sin_port), alarm);
    EXPECT_EQ(Field<uint16_t>(sent[0].bytes, kRegPort), alarm);
    EXPECT_EQ(peer_.Subscribers(), 1u);
}

TEST_F(CmTest, AGivenPortIsBoundAsGivenWithAddressReuse) {
    // A port another socket holds with SO_REUSEADDR: the channel binds it too, as reuse allows.
    int holder = BindReusing(0);
    ASSERT_GE(holder, 0);
    const uint16_t given = BoundPort(holder);
    extEntityReqRspUdpPort = given;
    tZqCmChannelOptions options = {400, 100, 0, 0, 0, 0};
    ASSERT_EQ(ZqCmApi__InitCommunicationChannelWithOptions(&options), eOS_RET_SUCCESS);
    close(holder);
    EXPECT_EQ(extEntityReqRspUdpPort, given);
    EXPECT_EQ(BoundPort(CmReqRspSocket), given);
    EXPECT_TRUE(ReusesAddress(CmReqRspSocket));
    EXPECT_FALSE(ReusesAddress(CmAlarmSocket)) << "the alarm port was left to the system";
    EXPECT_NE(extEntityAlarmUdpPort, 0);
    uZqCmRes record = {};
    EXPECT_EQ(ZqCmApi__GetReq(2, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_OLT_NO_INSTANCE_EXISTS);
}

TEST_F(CmTest, UdpReceiveReportsEmptyCutAndQuietDatagrams) {
    int receiver = 0;
    ASSERT_EQ(InitUdpSocket(&receiver, 0), eOS_RET_SUCCESS);
    const uint16_t port = BoundPort(receiver);
    Bytes big(3000, 0x5A);
    char buffer[2448];
    sockaddr_in from;
    ASSERT_TRUE(peer_.SendTo(port, big.data(), 0));
    EXPECT_EQ(UdpReceive(receiver, sizeof buffer, buffer, &from), 0);
    EXPECT_EQ(Printed("recv() failed on rcvSocket"), 1u);
    ASSERT_TRUE(peer_.SendTo(port, big.data(), big.size()));
    EXPECT_EQ(UdpReceive(receiver, sizeof buffer, buffer, &from), 2448);
    EXPECT_EQ(UdpReceive(receiver, sizeof buffer, buffer, &from), -1);
    close(receiver);
}

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

TEST_F(CmTest, AStartRefusedForABusyPortMayBeRetriedAndThenGetsItsAnswers) {
    const struct { bool requestPort; const char *printed; } rows[] = {
        {true, "ZqCmCommunicatorStart(): InitUdpSocket(): CmReqRspSocket failed.\r\n"},
        {false, "ZqCmCommunicatorStart(): InitUdpSocket(): CmAlarmSocket failed.\r\n"},
    };
    const size_t descriptors = OpenDescriptors();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.printed);
        uint16_t busy = 0;
        int holder = HoldPort(&busy);
        extEntityReqRspUdpPort = extEntityAlarmUdpPort = 0;
        (row.requestPort ? extEntityReqRspUdpPort : extEntityAlarmUdpPort) = busy;
        EXPECT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_FAILURE);
        EXPECT_EQ(Printed(row.printed), 1u);
        EXPECT_EQ(row.requestPort ? extEntityAlarmUdpPort : extEntityReqRspUdpPort, 0)
            << "the system chooses again at the next start";
        close(holder);
    }
    EXPECT_EQ(peer_.Requests().size(), 0u) << "no poll before both sockets are open";
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a failed start keeps no socket";
    extEntityReqRspUdpPort = extEntityAlarmUdpPort = 0;
    ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
    ASSERT_TRUE(peer_.WaitForRequests(1, 2s));
    // The answer reaches the request socket of the start that succeeded.
    uZqCmRes record = {};
    record.gponSysConfig.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    uZqCmKey key = {};
    key.resType = 1;
    EXPECT_EQ(ZqCmApi__GetReq(9, eZQ_CMAPI_RES_TYPE_SYSTEM, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS, key, &record),
              eOS_RET_SUCCESS);
    EXPECT_EQ(record.gponSysConfig.oltInitStatus, eZQ_CM_OLT_STATUS_READY);
}

tOsSemId taskGate = 0;
void WaitAtTaskGate() { OsWrap__SemWait(taskGate, OS_WAIT_FOREVER); }

TEST_F(CmTest, AStartWithoutRoomForItsReceiveTaskClosesBothSocketsAndMayBeRetried) {
    ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("gate"), 0, &taskGate), eOS_RET_SUCCESS);
    std::vector<tOsTaskId> fillers;
    for (tOsTaskId id = 0; OsWrap__TaskCreate(const_cast<char *>("filler"), WaitAtTaskGate, eOS_PRI_LOW,
                                              65536, &id) == eOS_RET_SUCCESS;)
        fillers.push_back(id);
    ASSERT_FALSE(fillers.empty());
    EXPECT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_FAILURE);
    EXPECT_EQ(Printed("Failed to create CommunicatorRxTask.\n"), 1u);
    // Both sockets were closed again (the receive task's wake-up signal is kept for the next start),
    // and the next start lets the system choose its ports again.
    EXPECT_EQ(CmReqRspSocket, 0);
    EXPECT_EQ(CmAlarmSocket, 0);
    EXPECT_EQ(extEntityReqRspUdpPort, 0);
    EXPECT_EQ(extEntityAlarmUdpPort, 0);
    ASSERT_EQ(OsWrap__TaskDelete(fillers.back()), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__TaskDelete(fillers.front()), eOS_RET_SUCCESS);
    ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
    EXPECT_EQ(Printed("OLT MGR is initialized.\n"), 1u);
}

TEST_F(CmTest, TransportCallsRefuseMissingBuffersAndReportFailedSockets) {
    uint16_t held = 0;
    int holder = HoldPort(&held);
    int socketFd = 77;
    EXPECT_EQ(InitUdpSocket(&socketFd, held), eOS_RET_FAILURE);
    EXPECT_EQ(socketFd, 0) << "a failed bind leaves no descriptor behind";
    EXPECT_EQ(InitUdpSocket(nullptr, 0), eOS_RET_FAILURE);
    close(holder);
    {
        // A process out of descriptors gets no socket.
        rlimit saved{}, none{};
        getrlimit(RLIMIT_NOFILE, &saved);
        none = saved;
        none.rlim_cur = 0;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
        socketFd = 77;
        EXPECT_EQ(InitUdpSocket(&socketFd, 0), eOS_RET_FAILURE);
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(socketFd, 0);
    }

    char buffer[64] = {};
    EXPECT_EQ(UdpSend(-1, peer_.Port(), INADDR_LOOPBACK, sizeof buffer, buffer), eOS_RET_FAILURE);
    EXPECT_EQ(UdpReceive(-1, sizeof buffer, buffer, nullptr), 0) << "an error is a count of 0";
    EXPECT_EQ(ZqCmMsgSend(nullptr, 1640), eOS_RET_FAILURE);
    EXPECT_EQ(ZqCmMsgReceive(nullptr, eZQ_CM_MSG_TYPE_RSP), eOS_RET_FAILURE);
    for (const char *line : {"InitUdpSocket(): Bind Error", "InitUdpSocket(): NULL localSocket.\n",
                             "InitUdpSocket(): socket Error: 24\n",
                             "UdpReceive(): recv() failed on rcvSocket -1"})
        EXPECT_EQ(Printed(line), 1u) << line;
    EXPECT_TRUE(Logged("UdpSend(): sendto() Error:"));
}

// Before the channel opens, its sockets are 0: every call that would use them refuses at once,
// and descriptor 0 (here a UDP socket with a datagram waiting) is neither written nor read.
TEST_F(CmTest, BeforeTheChannelOpensNoCallUsesDescriptorZero) {
    int stdinCopy = dup(0);
    int stdinSocket = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_EQ(InitUdpSocket(&stdinSocket, 0), eOS_RET_SUCCESS);
    const uint16_t stdinPort = BoundPort(stdinSocket);
    ASSERT_EQ(dup2(stdinSocket, 0), 0);
    Bytes waiting = Pattern(1640, 0x44);
    ASSERT_TRUE(peer_.SendTo(stdinPort, waiting.data(), waiting.size()));

    static uZqCmApiMsg msg;
    struct Row {
        const char *what;
        std::function<eOsRet()> call;
    };
    const std::vector<Row> rows = {
        {"ZqCmMsgSend(): the CM channel is not open", [] {
             msg.commonMsg.reqMsg.msgHdr.msgType = eZQ_CM_MSG_TYPE_REQ;
             return ZqCmMsgSend(&msg.commonMsg, 1640);
         }},
        {"ZqCmMsgSend(): the CM channel is not open", [] {
             msg.commonMsg.reqMsg.msgHdr.msgType = eZQ_CM_MSG_TYPE_ALM_REG;
             return ZqCmMsgSend(&msg.commonMsg, 1640);
         }},
        {"ZqCmMsgReceive(): the CM channel is not open",
         [] { return ZqCmMsgReceive(&msg, eZQ_CM_MSG_TYPE_RSP); }},
        {"ZqCmMsgSend(): the CM channel is not open", [] {
             uZqCmKey key = {};
             static uZqCmRes config; // a whole resource union, as the requests read and write
             return ZqCmApi__GetReq(1, eZQ_CMAPI_RES_TYPE_SYSTEM, eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG, key,
                                 &config);
         }},
        {"ZqCmMsgSend(): the CM channel is not open",
         [] { return ZqCmApi__AlarmRegister(1, tZqCmAlarmRegInfo{}); }},
    };
    for (const Row &row : rows) {
        size_t before = Printed(row.what);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(row.call(), eOS_RET_INVALID_STATE) << row.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms) << "refused without a wait";
        EXPECT_EQ(Printed(row.what), before + 1) << row.what;
    }
    EXPECT_FALSE(peer_.WaitForRequests(1, 50ms)) << "nothing left descriptor 0";
    Bytes still(2000);
    EXPECT_EQ(recv(0, still.data(), still.size(), MSG_DONTWAIT), 1640) << "the host's datagram is still there";

    // A host without standard input gets the channel's sockets on other descriptors.
    close(0);
    StartChannel();
    EXPECT_GT(CmReqRspSocket, 0);
    EXPECT_GT(CmAlarmSocket, 0);
    uZqCmKey key = {};
    static uZqCmRes config; // a whole resource union, as the requests read and write
    EXPECT_EQ(ZqCmApi__GetReq(2, eZQ_CMAPI_RES_TYPE_SYSTEM, eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG, key, &config),
              eOS_RET_SUCCESS);
    dup2(stdinCopy, 0);
    close(stdinCopy);
    close(stdinSocket);
}

TEST_F(CmTest, MsgReceiveTakesTheManagersDatagramOnlyAndTellsEmptyFromQuiet) {
    StartChannel();
    tZqCmChannelOptions waits = ZqCmChannelOptions();
    waits.receiveTimeoutMs = 100;
    ZqCmSetChannelOptions(waits);
    static uZqCmApiMsg msg; // 2448 bytes, off the stack of the test
    Bytes answer = Pattern(1700, 0x30), foreign(2448, 0xEE);
    ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, foreign.data(), foreign.size(), true));
    ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, answer.data(), answer.size()));
    ASSERT_EQ(ZqCmMsgReceive(&msg, eZQ_CM_MSG_TYPE_RSP), eOS_RET_SUCCESS);
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&msg);
    EXPECT_EQ(Bytes(bytes, bytes + answer.size()), answer) << "the foreign datagram was passed over";
    EXPECT_EQ(std::count(bytes + answer.size(), bytes + sizeof msg, 0), 2448 - 1700) << "zero-filled behind";
    ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, answer.data(), 0));
    EXPECT_EQ(ZqCmMsgReceive(&msg, eZQ_CM_MSG_TYPE_RSP), eOS_RET_FAILURE) << "an empty datagram";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ZqCmMsgReceive(&msg, eZQ_CM_MSG_TYPE_RSP), eOS_RET_TIME_OUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(std::count(bytes, bytes + sizeof msg, 0), 2448) << "cleared before each wait";
}

// The stop wakes both tasks out of their longest waits, in either mode, and leaves nothing of the
// channel behind: no task entry, no socket on its ports, no callbacks or counts; the channel then
// starts again and answers.
TEST_F(CmTest, AStoppedChannelLeavesNothingBehindAndStartsAgain) {
    static tZqCmApiCallback table = {};
    for (eZqCmApiMode mode : {eZQ_CMAPI_MODE_SYNC, eZQ_CMAPI_MODE_ASYNC}) {
        SCOPED_TRACE(mode);
        const int tasksBefore = OWData.numOfTasks;
        StartChannel();
        for (auto slot : {&tZqCmApiCallback::createRsp, &tZqCmApiCallback::setRsp, &tZqCmApiCallback::getRsp,
                          &tZqCmApiCallback::getFirstRsp, &tZqCmApiCallback::getNextRsp})
            table.*slot = [](uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, void *, eOsRet) { return eOS_RET_SUCCESS; };
        table.deleteRsp = [](uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, eOsRet) { return eOS_RET_SUCCESS; };
        table.getNumInstanceRsp = [](uint16, eZqCmApiResType, eZqCmApiResId, sint16) { return eOS_RET_SUCCESS; };
        ASSERT_EQ(ZqCmApi__SetMode(mode, &table), eOS_RET_SUCCESS);
        uZqCmRes record = {};
        (void)ZqCmApi__GetReq(1, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record);
        tZqCmChannelOptions waits = ZqCmChannelOptions();
        waits.receiveTimeoutMs = 60000; // both tasks sit in a minute's wait
        ZqCmSetChannelOptions(waits);
        const uint16_t ports[] = {extEntityReqRspUdpPort, extEntityAlarmUdpPort};
        std::this_thread::sleep_for(50ms);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(ZqCmStopChannelForTest());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the tasks were woken, not timed out";
        EXPECT_EQ(OWData.numOfTasks, tasksBefore);
        EXPECT_EQ(CmReqRspSocket + CmAlarmSocket, 0);
        for (uint16_t port : ports) {
            int holder = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            EXPECT_EQ(bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << "port " << port;
            close(holder);
        }
        EXPECT_EQ(ZqCmApi__GetMode(), eZQ_CMAPI_MODE_SYNC);
        EXPECT_EQ(ZqCmApiCallback.getRsp, nullptr);
        EXPECT_EQ(CmApiUdpSentCnt + CmApiUdpRcvCnt, 0u);
        EXPECT_EQ(extEntityReqRspUdpPort + extEntityAlarmUdpPort + oltMgrUdpPort, 0);
        SetUp(); // the endpoints and short waits again
    }
    StartChannel();
    uZqCmRes record = {};
    EXPECT_EQ(ZqCmApi__GetReq(3, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_OLT_NO_INSTANCE_EXISTS);
}

// One row: what the board file holds, and what detection makes of it.
struct Board {
    const char *content; // null: no file
    eOsRet result;
    boardType_t type;
    int links, gpon, xgpon;
};

TEST(BoardDetection, SetsTheLimitsOfTheModelTheFileBeginsWith) {
    const Board rows[] = {
        {"MYXv1.0.8\n", eOS_RET_SUCCESS, btMYX8, 8, 128, 256},
        {"MYXv1.0.9\n", eOS_RET_FAILURE, btUndefined, 16, 128, 256},
        {"KWN-rev-b", eOS_RET_SUCCESS, btKWN, 16, 128, 256},
        {"MYL", eOS_RET_SUCCESS, btMYL, 32, 128, 256},
        {"MYK\n", eOS_RET_SUCCESS, btMYK, 8, 128, 256},
        {"MYQv1.0.4", eOS_RET_SUCCESS, btMYQ4, 4, 128, 256},
        {"MYU", eOS_RET_SUCCESS, btMYU, 16, 128, 256},
        {"MYRv1.0.8", eOS_RET_SUCCESS, btMYR8, 8, 128, 256},
        {"MYH", eOS_RET_SUCCESS, btMYH, 32, 128, 256},
        {"WU7", eOS_RET_SUCCESS, btWU7, 16, 128, 256},
        {" MYL", eOS_RET_FAILURE, btUndefined, 16, 128, 256},
        {"Undefined", eOS_RET_FAILURE, btUndefined, 16, 128, 256},
        {"", eOS_RET_FAILURE, btUndefined, 16, 128, 256},
        {"01234567890123456789012345678901234567MYL", eOS_RET_FAILURE, btUndefined, 16, 128, 256},
        {nullptr, eOS_RET_FAILURE, btKXM, 16, 128, 256}, // untouched: no row gives btKXM
    };
    ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    std::string path = testing::TempDir() + "board-" + std::to_string(getpid());
    ZqCmSetBoardFileForTest(path.c_str());
    for (const Board &row : rows) {
        SCOPED_TRACE(row.content ? row.content : "(no file)");
        unlink(path.c_str());
        if (row.content) std::ofstream(path) << row.content;
        zqSysLinkNumPerDev = 16;
        zqSysOnuNumPerLink_GPON = 128;
        zqSysOnuNumPerLink_XGPON = 256;
        boardType_t type = btKXM;
        EXPECT_EQ(GetBoardTypeFromHW(&type), row.result);
        EXPECT_EQ(type, row.type);
        EXPECT_EQ(OltSysInfoInit(), row.result);
        EXPECT_EQ(zqSysLinkNumPerDev, row.links);
        EXPECT_EQ(zqSysOnuNumPerLink_GPON, row.gpon);
        EXPECT_EQ(zqSysOnuNumPerLink_XGPON, row.xgpon);
    }
    unlink(path.c_str());
    ZqCmSetBoardFileForTest(nullptr);
}

} // namespace
