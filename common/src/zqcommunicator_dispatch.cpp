// zqcommunicator_dispatch.cpp - the receive task "CommunicatorRxTask": in asynchronous mode it
// reads the request/response socket and hands each response to the callback of its operation;
// in synchronous mode it stays off the socket. A change of mode wakes it at once.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "zqcm_internal.h"
#include "zqcmapi_operations.h"

namespace {

std::atomic<int> wakeFd{-1};


// Reads one datagram if the API is (still) asynchronous, holding the exchange so that no
// synchronous request waits on the socket at the same time. Returns its length, or -1 when
// nothing was read.
int ReadIfAsync(int socketFd, uZqCmApiMsg &msg, sockaddr_in &sender) {
    tCmExchange exchange;
    int byteCount = -1;
    if (CmApiIsAsync()) {
        memset(&msg, 0, sizeof msg);
        socklen_t length = sizeof sender;
        ssize_t got;
        do {
            got = recvfrom(socketFd, &msg, sizeof msg, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr *>(&sender), &length);
        } while (got < 0 && errno == EINTR);
        byteCount = got < 0 ? -1 : static_cast<int>(got);
    }
    return byteCount;
}

void DrainWakeSignal(int fd) {
    uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
}

} // namespace

bool CmCreateWakeSignal() {
    if (wakeFd.load() >= 0) return true;
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) return false;
    int expected = -1;
    if (!wakeFd.compare_exchange_strong(expected, fd)) close(fd);
    return true;
}

void CmWakeReceiveTask() {
    int fd = wakeFd.load();
    if (fd < 0) return;
    uint64_t one = 1;
    ssize_t written = write(fd, &one, sizeof one);
    (void)written; // a full counter already wakes the task
}

void PackageParse(const uZqCmApiMsg *msgP, int byteCount) {
    const tZqCmRspMsg &rsp = msgP->commonMsg.rspMsg;
    if (rsp.msgHdr.msgType != eZQ_CM_MSG_TYPE_RSP) {
        MajorLog("Unknown message: M%d.\n", rsp.msgHdr.msgType);
        return;
    }
    if (byteCount < ZQ_CM_RSP_MIN_LEN) {
        MajorLog("Unknown message: M%d, L%d.\n", rsp.msgHdr.msgType, byteCount);
        return;
    }
    int t = rsp.msgHdr.transactionId;
    int r = rsp.resType;
    int i = rsp.resId;
    eOsRet e = rsp.ret;
    uint16 n = rsp.res.resInstance.instanceNum;
    uZqCmKey key;
    memcpy(&key, &rsp.dbKey, sizeof key);
    void *resP = const_cast<uZqCmRes *>(&rsp.res);
    uint32 operType = rsp.operType;

    const tCmOperation *operationP = CmAnsweringOperation(operType);
    if (operationP == nullptr) {
        MajorLog("Unknown operType: O%d, T%d, R%d:%d, N%d.\n", operType, t, r, i, n);
        return;
    }
    const char *slotNameP = operationP->slotNameP;
    if (operationP->keySlot != nullptr) {
        tZqCmApi__DeleteRsp callback = SharedGetAcquire(ZqCmApiCallback.*(operationP->keySlot));
        if (callback == nullptr) {
            MajorLog("NULL %s: T%d, R%d:%d.\n", slotNameP, t, r, i);
            return;
        }
        eOsRet result = callback(rsp.msgHdr.transactionId, rsp.resType, rsp.resId, key, e);
        if (result != eOS_RET_SUCCESS)
            MajorLog("%s() failed: T%d, R%d:%d, E%d.\n", slotNameP, t, r, i, result);
        return;
    }
    if (operationP->countSlot != nullptr) {
        tZqCmApi__GetNumOfInstanceRsp callback = SharedGetAcquire(ZqCmApiCallback.*(operationP->countSlot));
        if (callback == nullptr) {
            MajorLog("NULL %s: T%d, R%d:%d, N%d.\n", slotNameP, t, r, i, n);
            return;
        }
        sint16 count = e != eOS_RET_SUCCESS ? static_cast<sint16>(-1) : static_cast<sint16>(n);
        eOsRet result = callback(rsp.msgHdr.transactionId, rsp.resType, rsp.resId, count);
        if (result != eOS_RET_SUCCESS)
            MajorLog("%s() failed: T%d, R%d:%d, N%d, E%d.\n", slotNameP, t, r, i, n, result);
        return;
    }
    tZqCmApi__CreateRsp callback = SharedGetAcquire(ZqCmApiCallback.*(operationP->recordSlot));
    if (callback == nullptr) {
        MajorLog("NULL %s: T%d, R%d:%d.\n", slotNameP, t, r, i);
        return;
    }
    eOsRet result = callback(rsp.msgHdr.transactionId, rsp.resType, rsp.resId, key, resP, e);
    if (result != eOS_RET_SUCCESS)
        MajorLog("%s() failed: T%d, R%d:%d, E%d.\n", slotNameP, t, r, i, result);
}

void CommunicatorRxTask(void) {
    uZqCmApiMsg msg;
    while (!CmChannelStopping()) {
        int socketFd = SharedGetOrdered(CmReqRspSocket);
        bool async = CmApiIsAsync();
        pollfd waiters[2] = {{wakeFd.load(), POLLIN, 0}, {socketFd, POLLIN, 0}};
        // In synchronous mode only the wake-up signal is watched: the socket belongs to the
        // synchronous requests then.
        int ready = poll(waiters, async ? 2 : 1, static_cast<int>(ZqCmChannelOptions().receiveTimeoutMs));
        if (ready <= 0) {
            if (async) CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
                               "UdpReceive() error: rcvByte %d\n", ready == 0 ? -1 : 0);
            continue;
        }
        if (waiters[0].revents & POLLIN) DrainWakeSignal(waiters[0].fd);
        if (!async || (waiters[1].revents & POLLIN) == 0) continue;
        sockaddr_in sender;
        int byteCount = ReadIfAsync(socketFd, msg, sender);
        if (byteCount < 0 || !CmFromManager(sender, socketFd)) continue;
        CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
                "CommunicatorRxTask(): received %d bytes.\n", byteCount);
        PackageParse(&msg, byteCount);
    }
}
