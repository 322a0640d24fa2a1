// zqcommunicator_alarm.cpp - the alarm task "AlarmRxTask": it owns the alarm socket, hands alarms
// and events to the host's alarm handler, and passes the OLT manager's answers to alarm
// registration on to the waiting registration call (or to its callback in asynchronous mode).
#include <arpa/inet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "svc.h"
#include "zqcm_internal.h"

std::atomic<unsigned int> almRxTaskStarted{0};

namespace {

std::atomic<tZqCMLalarmHandler> almHandler{nullptr};

constexpr const char *kTaskName = "OMApi_AlarmRxTask";

// In asynchronous mode a registration answer goes to its callback: forwarded to the
// request/response socket it would meet the response dispatcher, not the registration call.
// Returns false when the answer is to be forwarded instead.
bool HandOverRegistrationAnswer(const tZqCmRspMsg &rsp, uint32 regType) {
    if (!CmApiIsAsync()) return false;
    tZqCmApi__AlarmRegisterRsp callback =
        regType == eZQ_CMAPI_ALARM_REG_TYPE_REG
            ? SharedGetOrdered(ZqCmApiCallback.alarmRegisterRsp)
            : SharedGetOrdered(ZqCmApiCallback.alarmUnregisterRsp);
    if (callback == nullptr) {
        CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
                "%s(): no callback for the ALM REG/UNREG answer: T%d, RT%d.\n", kTaskName,
                rsp.msgHdr.transactionId, regType);
        return true;
    }
    tZqCmAlarmRegInfo regInfo;
    memcpy(&regInfo, &rsp.res.alarmRegInfo, sizeof regInfo);
    callback(rsp.msgHdr.transactionId, regInfo, rsp.ret);
    return true;
}

} // namespace

void AlarmRxHandleDatagram(uZqCmMsg *msgP, int byteCount) {
    (void)byteCount; // the buffer is zero-filled behind a short datagram
    if (msgP->rspMsg.msgHdr.msgType != eZQ_CM_MSG_TYPE_RSP) {
        tZqCMLalarmHandler handler = almHandler.load();
        if (handler != nullptr) handler(msgP);
        return;
    }
    const tZqCmRspMsg &rsp = msgP->rspMsg;
    uint32 regType = rsp.res.alarmRegInfo.regType;
    if (regType != eZQ_CMAPI_ALARM_REG_TYPE_REG && regType != eZQ_CMAPI_ALARM_REG_TYPE_UNREG) {
        SvcPrintf("%s(): Received unknown response type: T%d, RT%d.\n", kTaskName,
                  rsp.msgHdr.transactionId, regType);
        return;
    }
    if (HandOverRegistrationAnswer(rsp, regType)) return;
    eOsRet sent = UdpSend(SharedGetOrdered(CmReqRspSocket),
                          SharedGetOrdered(extEntityReqRspUdpPort),
                          SharedGetOrdered(OltMgrHostAddr), ZQ_CM_MSG_LEN,
                          reinterpret_cast<char *>(msgP));
    if (sent == eOS_RET_SUCCESS)
        SvcPrintf("Redirecting ALM REG/UNREG message to extEntityReqRspUdpPort.\n");
    else
        SvcPrintf("%s(), Cannot redirect ALM REG/UNREG message to extEntityReqRspUdpPort <ret=%d>\n",
                  kTaskName, sent);
}

void OMApi_AlarmRxTask(void) {
    if (almRxTaskStarted.exchange(1) != 0)
        SvcPrintf("OMApi_AlarmRxTask has already been started.\n");
    uZqCmMsg *msgP = static_cast<uZqCmMsg *>(malloc(sizeof(uZqCmMsg)));
    if (msgP == nullptr) {
        SvcPrintf("%s:malloc() error.\n", kTaskName);
        return;
    }
    while (!CmChannelStopping()) {
        // Cleared every time, so a handler never sees bytes of an earlier alarm behind a short one.
        memset(msgP, 0, sizeof *msgP);
        int alarmSocket = SharedGetOrdered(CmAlarmSocket);
        sockaddr_in sender;
        int byteCount = 0;
        tCmRx got = CmUdpReceive(alarmSocket, sizeof *msgP, reinterpret_cast<char *>(msgP),
                                 &sender, ZqCmNowMs() + ZqCmChannelOptions().receiveTimeoutMs,
                                 &byteCount);
        if (got != tCmRx::kDatagram || byteCount < 1) continue;
        if (!CmFromManager(sender, alarmSocket)) continue;
        AlarmRxHandleDatagram(msgP, byteCount);
    }
    free(msgP);
}

void CmForgetAlarmHandler() { almHandler.store(nullptr); }

extern "C" eOsRet itCmApi__RegisterAlarmHandler(tZqCMLalarmHandler callbackP) {
    if (callbackP == nullptr) return eOS_RET_INVALID_ARG;
    almHandler.store(callbackP);
    return eOS_RET_SUCCESS;
}
