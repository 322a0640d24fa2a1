// cm_alarm_fuzz.cpp - the alarm task's handling of one datagram (AlarmRxHandleDatagram) in both
// modes: alarms go to the registered handler, registration answers to their callback
// (asynchronous) or forwarded to the request/response port (synchronous). The forward goes from
// and to sockets of this process on 127.0.0.1, and the harness reads it back.
//
// The input is the datagram; its byte 20 (the header's managerId, which the alarm task ignores)
// also chooses the mode (bit 0) and null answer callbacks (bits 1 and 2).
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "oswrap.h"
#include "svc.h"
#include "zqcm_internal.h"

namespace {

constexpr uint32 kLoopback = 0x7F000001;

struct tSeen {
    int handlerCalls = 0;
    const uZqCmMsg *handlerMsgP = nullptr;
    int registerCalls = 0, unregisterCalls = 0;
    uint16 transactionId = 0;
    uint8 regInfo[sizeof(tZqCmAlarmRegInfo)] = {};
    eOsRet ret = eOS_RET_SUCCESS;
};
tSeen seen;

eOsRet Handler(uZqCmMsg *msgP) {
    ++seen.handlerCalls;
    seen.handlerMsgP = msgP;
    return eOS_RET_SUCCESS;
}

eOsRet Answer(uint16 t, const tZqCmAlarmRegInfo &regInfo, eOsRet ret) {
    seen.transactionId = t;
    memcpy(seen.regInfo, &regInfo, sizeof regInfo);
    seen.ret = ret;
    return eOS_RET_SUCCESS;
}
eOsRet RegisterRsp(uint16 t, tZqCmAlarmRegInfo regInfo, eOsRet ret) {
    ++seen.registerCalls;
    return Answer(t, regInfo, ret);
}
eOsRet UnregisterRsp(uint16 t, tZqCmAlarmRegInfo regInfo, eOsRet ret) {
    ++seen.unregisterCalls;
    return Answer(t, regInfo, ret);
}

int forwardIn = -1; // where forwarded answers arrive

int LoopbackSocket(uint16 *portP) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(fd >= 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    FUZZ_CHECK(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    socklen_t length = sizeof address;
    FUZZ_CHECK(getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    *portP = ntohs(address.sin_port);
    return fd;
}

// The forwarded datagram's length (0 when none came within a moment), into bufP.
ssize_t ReadForward(uint8 *bufP, size_t capacity) {
    pollfd waiter = {forwardIn, POLLIN, 0};
    if (poll(&waiter, 1, 1000) != 1) return 0;
    return recv(forwardIn, bufP, capacity, MSG_DONTWAIT);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    FuzzStartLibrary();
    FUZZ_CHECK(itCmApi__RegisterAlarmHandler(Handler) == eOS_RET_SUCCESS);
    uint16 outPort = 0, inPort = 0;
    CmReqRspSocket = LoopbackSocket(&outPort);
    forwardIn = LoopbackSocket(&inPort);
    OltMgrHostAddr = kLoopback;
    extEntityReqRspUdpPort = inPort;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uZqCmMsg msg;
    size_t byteCount = FillLikeReceive(msg, data, size);
    uint8 sent[sizeof msg];
    memcpy(sent, &msg, sizeof msg);

    uint8 choice = sent[20];
    bool async = choice & 1;
    tZqCmApiCallback table = {};
    if (!(choice & 2)) table.alarmRegisterRsp = RegisterRsp;
    if (!(choice & 4)) table.alarmUnregisterRsp = UnregisterRsp;
    ZqCmApiCallback = table;
    ZqCmApiMode = async ? eZQ_CMAPI_MODE_ASYNC : eZQ_CMAPI_MODE_SYNC;
    seen = tSeen{};

    AlarmRxHandleDatagram(&msg, static_cast<int>(byteCount));

    FUZZ_CHECK(memcmp(&msg, sent, sizeof msg) == 0); // the message is handed on, not changed
    uint32 msgType = FieldAt<uint32>(sent, 16);
    uint32 regType = FieldAt<uint32>(sent, 136);
    bool isAnswer = msgType == eZQ_CM_MSG_TYPE_RSP;
    bool knownAnswer = isAnswer && (regType == eZQ_CMAPI_ALARM_REG_TYPE_REG ||
                                    regType == eZQ_CMAPI_ALARM_REG_TYPE_UNREG);
    FUZZ_CHECK(seen.handlerCalls == (isAnswer ? 0 : 1));
    if (!isAnswer) FUZZ_CHECK(seen.handlerMsgP == &msg);

    bool toRegister = async && knownAnswer && regType == eZQ_CMAPI_ALARM_REG_TYPE_REG &&
                      table.alarmRegisterRsp != nullptr;
    bool toUnregister = async && knownAnswer && regType == eZQ_CMAPI_ALARM_REG_TYPE_UNREG &&
                        table.alarmUnregisterRsp != nullptr;
    FUZZ_CHECK(seen.registerCalls == (toRegister ? 1 : 0));
    FUZZ_CHECK(seen.unregisterCalls == (toUnregister ? 1 : 0));
    if (toRegister || toUnregister) {
        FUZZ_CHECK(seen.transactionId == FieldAt<uint16>(sent, 24));
        FUZZ_CHECK(memcmp(seen.regInfo, sent + 96, sizeof seen.regInfo) == 0);
        FUZZ_CHECK(seen.ret == FieldAt<eOsRet>(sent, 1168));
    }

    // In synchronous mode a known answer is forwarded whole, 1640 bytes, and nothing else is.
    static uint8 forwarded[ZQ_CM_API_MSG_LEN];
    if (!async && knownAnswer) {
        FUZZ_CHECK(ReadForward(forwarded, sizeof forwarded) == ZQ_CM_MSG_LEN);
        FUZZ_CHECK(memcmp(forwarded, sent, ZQ_CM_MSG_LEN) == 0);
    }
    FUZZ_CHECK(recv(forwardIn, forwarded, sizeof forwarded, MSG_DONTWAIT) < 0);
    return 0;
}
