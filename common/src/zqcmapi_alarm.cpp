// zqcmapi_alarm.cpp - alarm registration and unregistration: sent from the alarm socket, so that
// the OLT manager learns where to send alarms; the answer comes back through the alarm task.
#include <cstring>

#include "oswrap.h"
#include "zqcm_internal.h"

namespace {

constexpr int kAnswerAttempts = 3;

// True when a datagram of byteCount bytes answers a registration of regType: a response, whole up
// to ret, carrying the regType that was sent. Anything else is traced; the caller drops it.
bool AnswersRegistration(const char *nameP, const uZqCmApiMsg &msg, int byteCount,
                         eZqCmAlarmRegType regType) {
    const tZqCmRspMsg &rsp = msg.commonMsg.rspMsg;
    uint32 msgType = rsp.msgHdr.msgType, answered = rsp.res.alarmRegInfo.regType;
    if (byteCount >= ZQ_CM_RSP_MIN_LEN && msgType == eZQ_CM_MSG_TYPE_RSP &&
        answered == static_cast<uint32>(regType))
        return true;
    if (ZQ_TRACE_SUM_ON(CmTraceMaskSum))
        CmTraceInterface(__FILE__, __LINE__, nameP, eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API,
                         "%s(): dropped a datagram that does not answer RT%d: L%d, M%u, RT%u.\r\n",
                         nameP, regType, byteCount, msgType, answered);
    return false;
}

// Up to three receive waits for the answer of a registration of regType; a datagram that is not
// its answer is dropped and the wait it came in goes on, so three waits bound the whole call.
// ret is preset to 1, so no answer gives 1.
void AwaitAnswer(const char *nameP, uZqCmApiMsg &msg, eZqCmAlarmRegType regType) {
    int rcvSocket = SharedGetOrdered(CmReqRspSocket);
    uint32 timeoutMs = ZqCmChannelOptions().receiveTimeoutMs;
    for (int attempt = 0; attempt < kAnswerAttempts; ++attempt) {
        int64_t deadline = ZqCmNowMs() + timeoutMs;
        for (;;) {
            memset(&msg, 0, sizeof msg);
            msg.commonMsg.rspMsg.ret = eOS_RET_FAILURE;
            sockaddr_in sender;
            int byteCount = 0;
            tCmRx got = CmUdpReceive(rcvSocket, sizeof msg, reinterpret_cast<char *>(&msg),
                                     &sender, deadline, &byteCount);
            if (got != tCmRx::kDatagram) break; // this attempt is over
            if (!CmFromManager(sender, rcvSocket)) continue;
            if (AnswersRegistration(nameP, msg, byteCount, regType)) return;
        }
    }
    memset(&msg, 0, sizeof msg);
    msg.commonMsg.rspMsg.ret = eOS_RET_FAILURE;
}

eOsRet Register(const char *nameP, uint16 transactionId, const tZqCmAlarmRegInfo &info,
                eZqCmAlarmRegType regType) {
    uZqCmApiMsg msg;
    memset(&msg, 0, sizeof msg);
    tZqCmAlarmRegInfo &reg = msg.commonMsg.alarmRegMsg;
    tOsTaskId taskId = OsWrap__TaskId();
    reg.msgHdr.srcModuleId = GetModuleIdByTaskId(taskId);
    reg.msgHdr.dstModuleId = eZQ_OLT_MAN_MODULE_ALM;
    reg.msgHdr.srcTaskId = taskId;
    reg.msgHdr.dstTaskId = OS_TASK_ID_INVALID;
    reg.msgHdr.msgType = eZQ_CM_MSG_TYPE_ALM_REG;
    reg.msgHdr.transactionId = transactionId;
    reg.managerId = info.managerId;
    reg.ipAddress = info.ipAddress;
    reg.port = info.port;
    reg.regType = regType;
    reg.alarmFilterInfo = info.alarmFilterInfo;
    if (ZQ_TRACE_SUM_ON(CmTraceMaskSum))
        CmTraceInterface(__FILE__, __LINE__, nameP, eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API,
                         "srcModuleId %d, dstModuleId %d, srcTaskId %x msgType %d, regype %d\n",
                         reg.msgHdr.srcModuleId, reg.msgHdr.dstModuleId, reg.msgHdr.srcTaskId,
                         reg.msgHdr.msgType, reg.regType);

    tCmExchange exchange;
    eOsRet result = ZqCmMsgSend(&msg.commonMsg, ZQ_CM_MSG_LEN);
    if (result == eOS_RET_SUCCESS && !CmApiIsAsync()) {
        AwaitAnswer(nameP, msg, regType);
        result = msg.commonMsg.rspMsg.ret;
        if (ZQ_TRACE_SUM_ON(CmTraceMaskSum))
            CmTraceInterface(__FILE__, __LINE__, nameP, eZQ_OLT_MAN_MODULE_EXT_CML_API,
                             eZQ_CM_TM_API, "%s(): rspMsg.ret %d.\r\n", nameP, result);
    }
    return result;
}

} // namespace

extern "C" {

eOsRet ZqCmApi__AlarmRegister(uint16 transactionId, tZqCmAlarmRegInfo alarmRegInfo) {
    return Register("ZqCmApi__AlarmRegister", transactionId, alarmRegInfo,
                    eZQ_CMAPI_ALARM_REG_TYPE_REG);
}

eOsRet ZqCmApi__AlarmUnRegister(uint16 transactionId, tZqCmAlarmRegInfo alarmRegInfo) {
    return Register("ZqCmApi__AlarmUnRegister", transactionId, alarmRegInfo,
                    eZQ_CMAPI_ALARM_REG_TYPE_UNREG);
}

} // extern "C"
