// zqcommunicator_start.cpp - the start of the CM channel: board detection, the two sockets, the
// receive and alarm tasks, then the readiness poll of the OLT manager.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "ostaskend.h"
#include "oswrap.h"
#include "svc.h"
#include "zqcm_internal.h"

tOsTaskId ComunicatorRxTaskId = 0;
tOsTaskId OMApi_AlarmTaskId = 0;

namespace {

// Set while a start runs or after one succeeded: the channel is started once per process.
std::atomic<bool> channelUp{false};
// Set while a stop waits for the channel's tasks to return.
std::atomic<bool> channelStopping{false};

constexpr uint32 kAlarmTaskLooks = 10;
constexpr uint32 kLongestReceiveTimeoutMs = 3600000;

// One readiness poll: a get of the OLT manager's start-up state. True when it answered and is
// ready (or asynchronous mode leaves the state unknown); *answeredP tells whether it answered.
bool PollReady(uint16 transactionId, bool *answeredP) {
    uZqCmKey key;
    memset(&key, 0, sizeof key);
    key.resType = eZQ_CMAPI_RES_TYPE_SYSTEM;
    uZqCmRes record;
    memset(&record, 0, sizeof record);
    record.gponSysConfig.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    eOsRet result = ZqCmApi__GetReq(transactionId, eZQ_CMAPI_RES_TYPE_SYSTEM,
                                    eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS, key, &record);
    *answeredP = result == eOS_RET_SUCCESS;
    if (!*answeredP) return false;
    switch (static_cast<uint32>(record.gponSysConfig.oltInitStatus)) {
    case eZQ_CM_OLT_STATUS_NOT_INIT:
        SvcPrintf("OLT MGR is not initialized.\n");
        return false;
    case eZQ_CM_OLT_STATUS_BUSY:
        SvcPrintf("OLT MGR is initializing.\n");
        return false;
    default:
        SvcPrintf("OLT MGR is initialized.\n");
        return true;
    }
}

// The receive buffer asked for the alarm socket: about 2,500 alarms, a quarter of a second of a
// storm of 10,000 a second.
constexpr int kAlarmReceiveBufferBytes = 4 << 20;

// Closes a socket of a start that failed and leaves 0 in its variable, as a failed open does: a
// retried start opens it anew, and no stale socket stays bound to the port to take its datagrams.
void CloseChannelSocket(int &socketFd) {
    int descriptor = SharedExchangeOrdered(socketFd, 0);
    if (descriptor > 0) close(descriptor);
}

// Opens one channel socket on the port its variable names. A variable of 0 lets the system choose
// the port, which is written back into the variable at once, so that everything after the start
// (the alarm task's redirect, a host's registration) names the port really bound.
eOsRet OpenChannelSocket(int &socketFd, uint16 &portVariable) {
    uint16 port = SharedGetOrdered(portVariable);
    eOsRet result = InitUdpSocket(&socketFd, port);
    if (result != eOS_RET_SUCCESS || port != 0) return result;
    sockaddr_in bound;
    socklen_t length = sizeof bound;
    if (getsockname(SharedGetOrdered(socketFd), reinterpret_cast<sockaddr *>(&bound), &length) != 0) {
        SvcPrintf("InitUdpSocket(): getsockname Error: %d\n", errno);
        CloseChannelSocket(socketFd);
        return eOS_RET_FAILURE;
    }
    SharedSetOrdered(portVariable, ntohs(bound.sin_port));
    return eOS_RET_SUCCESS;
}

// Opens both sockets and starts both tasks; the failure's result otherwise, with no socket left
// open and the port variables as the host set them.
eOsRet OpenChannel() {
    const uint16 requestPort = extEntityReqRspUdpPort, alarmPort = extEntityAlarmUdpPort;
    // Undoes what this start did: a retried start lets the system choose again.
    auto undo = [&](eOsRet result) {
        CloseChannelSocket(CmReqRspSocket);
        CloseChannelSocket(CmAlarmSocket);
        SharedSetOrdered(extEntityReqRspUdpPort, requestPort);
        SharedSetOrdered(extEntityAlarmUdpPort, alarmPort);
        return result;
    };
    eOsRet result = OpenChannelSocket(CmReqRspSocket, extEntityReqRspUdpPort);
    if (result != eOS_RET_SUCCESS) {
        SvcPrintf("ZqCmCommunicatorStart(): InitUdpSocket(): CmReqRspSocket failed.\r\n");
        return result; // nothing opened, no port chosen
    }
    result = OpenChannelSocket(CmAlarmSocket, extEntityAlarmUdpPort);
    if (result != eOS_RET_SUCCESS) {
        SvcPrintf("ZqCmCommunicatorStart(): InitUdpSocket(): CmAlarmSocket failed.\r\n");
        return undo(result);
    }
    // An alarm storm must outlast a moment in which the alarm task is not scheduled: the system's
    // usual receive buffer holds about a hundred alarms. The system caps the size asked for at its
    // own limit, and a smaller buffer still works, so a refusal is only traced.
    int alarmBuffer = kAlarmReceiveBufferBytes;
    if (setsockopt(SharedGetOrdered(CmAlarmSocket), SOL_SOCKET, SO_RCVBUF, &alarmBuffer, sizeof alarmBuffer) != 0)
        SvcPrintf("ZqCmCommunicatorStart(): CmAlarmSocket keeps its receive buffer: error %d.\n", errno);
    if (!CmCreateWakeSignal()) result = eOS_RET_FAILURE;
    if (result == eOS_RET_SUCCESS)
        result = OsWrap__TaskCreate(const_cast<char *>("CommunicatorRxTask"), CommunicatorRxTask,
                                    eOS_PRI_LOW, 0x20000, &ComunicatorRxTaskId);
    if (result != eOS_RET_SUCCESS) {
        SvcPrintf("Failed to create CommunicatorRxTask.\n");
        return undo(result);
    }
    CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
            "ZqCmCommunicatorStart(): CmReqRspSocket %d, extEntityReqRspUdpPort %d CmAlarmSocket "
            "%d, extEntityAlarmUdpPort %d.\n",
            CmReqRspSocket, extEntityReqRspUdpPort, CmAlarmSocket, extEntityAlarmUdpPort);
    if (OMApi_AlarmTaskId == 0)
        OsWrap__TaskCreate(const_cast<char *>("AlarmRxTask"), OMApi_AlarmRxTask, eOS_PRI_MEDIUM,
                           0x20000, &OMApi_AlarmTaskId);
    return eOS_RET_SUCCESS;
}

// Asks both tasks to return, the receive task through its wake-up signal and the alarm task with an
// empty datagram the alarm socket sends itself, and removes their entries once they have.
bool EndChannelTasks() {
    channelStopping.store(true);
    CmWakeReceiveTask();
    if (int alarmSocket = SharedGetOrdered(CmAlarmSocket); alarmSocket > 0) {
        char nothing = 0;
        (void)UdpSend(alarmSocket, SharedGetOrdered(extEntityAlarmUdpPort), INADDR_LOOPBACK, 0, &nothing);
    }
    for (tOsTaskId *taskIdP : {&ComunicatorRxTaskId, &OMApi_AlarmTaskId}) {
        if (*taskIdP == 0) continue;
        if (!OsWrapRemoveEndedTask(*taskIdP, 10000)) return false;
        *taskIdP = 0;
    }
    channelStopping.store(false);
    almRxTaskStarted.store(0);
    return true;
}

} // namespace

bool CmChannelStopping() { return channelStopping.load(); }

bool ZqCmStopChannelForTest() {
    if (!EndChannelTasks()) return false;
    CloseChannelSocket(CmReqRspSocket);
    CloseChannelSocket(CmAlarmSocket);
    CmForgetAlarmHandler();
    (void)ZqCmApi__SetMode(eZQ_CMAPI_MODE_SYNC, nullptr);
    for (uint32 *counterP : {&CmApiUdpSentCnt, &CmApiUdpRcvCnt, &CmApiUdpSentFailCnt, &CmApiUdpRcvFailCnt})
        SharedSet(*counterP, 0);
    SharedSet(OltMgrHostAddr, 0);
    SharedSet(oltMgrUdpPort, 0);
    SharedSetOrdered(extEntityReqRspUdpPort, 0);
    SharedSetOrdered(extEntityAlarmUdpPort, 0);
    memset(OltMgrInsMap, 0, sizeof OltMgrInsMap);
    ZqCmSetChannelOptions(kZqCmDefaultChannelOptions);
    ZqCmResetBoardForTest();
    channelUp.store(false);
    return true;
}

extern "C" {

eOsRet ZqCmCommunicatorStart(void) {
    tZqCmChannelOptions waits = ZqCmChannelOptions();
    OltMgrInsMap[0].port = oltMgrUdpPort;
    OltMgrInsMap[0].ipAddress = OltMgrHostAddr;

    eOsRet result = OpenChannel();
    if (result != eOS_RET_SUCCESS) return result;

    for (uint32 look = 0; almRxTaskStarted.load() == 0 && look < kAlarmTaskLooks; ++look)
        SvcSleep(waits.alarmTaskWaitMs / kAlarmTaskLooks);
    SvcPrintf(almRxTaskStarted.load() != 0 ? "Alarm Rx task successfully started.\n"
                                           : "Failed to create Alarm Rx task.\n");
    for (uint32 line = 0; line < waits.waitingLines; ++line) {
        SvcPrintf("Waiting for OLT MGR to be ready...\n");
        SvcSleep(waits.waitingLineMs);
    }

    // The transaction id advances only with an answer; the manager is not told apart from a
    // silent one after the last attempt.
    uint16 transactionId = 0;
    for (uint32 attempt = 0; attempt < waits.pollAttempts;) {
        bool answered = false;
        if (PollReady(transactionId, &answered)) return eOS_RET_SUCCESS;
        if (answered) ++transactionId;
        SvcSleep(waits.pollIntervalMs);
        ++attempt;
    }
    return eOS_RET_SUCCESS;
}

eOsRet ZqCmApi__InitCommunicationChannel(void) {
    if (channelUp.exchange(true)) {
        SvcPrintf("ZqCmApi__InitCommunicationChannel(): the CM channel is already up.\n");
        return eOS_RET_INVALID_STATE;
    }
    OltSysInfoInit();
    eOsRet result = ZqCmCommunicatorStart();
    // A start that could not open its sockets or tasks may be tried again.
    if (result != eOS_RET_SUCCESS) channelUp.store(false);
    return result;
}

void ZqCmApi__DefaultChannelOptions(tZqCmChannelOptions *optionsP) {
    if (optionsP == nullptr) return;
    *optionsP = kZqCmDefaultChannelOptions;
}

eOsRet ZqCmApi__InitCommunicationChannelWithOptions(const tZqCmChannelOptions *optionsP) {
    if (optionsP == nullptr || optionsP->receiveTimeoutMs == 0 ||
        optionsP->receiveTimeoutMs > kLongestReceiveTimeoutMs) {
        SvcPrintf("ZqCmApi__InitCommunicationChannelWithOptions(): invalid options: P%p, L%u.\n",
                  static_cast<const void *>(optionsP),
                  optionsP != nullptr ? optionsP->receiveTimeoutMs : 0u);
        return eOS_RET_INVALID_ARG;
    }
    ZqCmSetChannelOptions(*optionsP);
    return ZqCmApi__InitCommunicationChannel();
}

} // extern "C"
