// zqcommunicator_transport.cpp - the UDP transport of the CM client: the endpoints, the two
// sockets, sending to and receiving from the OLT manager, and the lock of the exchange.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "svc.h"
#include "zqcm_internal.h"

extern "C" {

uint32 OltMgrHostAddr = 0;
uint16 oltMgrUdpPort = 0;
uint16 extEntityReqRspUdpPort = 0;
uint16 extEntityAlarmUdpPort = 0;
int CmReqRspSocket = 0;
int CmAlarmSocket = 0;
tZqOltMgrInstanceMap OltMgrInsMap[ZQ_OLT_MGR_INSTANCE_NUM];
tZqOltMgrExtEntityMap OltMgrExtEntityMap[ZQ_OLT_MGR_INSTANCE_NUM];

} // extern "C"

namespace {

pthread_mutex_t exchangeMutex = PTHREAD_MUTEX_INITIALIZER;

std::mutex channelOptionsMutex;
tZqCmChannelOptions channelOptions = kZqCmDefaultChannelOptions;

sockaddr_in IpV4Address(uint32 ipAddr, uint32 port) {
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16>(port));
    address.sin_addr.s_addr = htonl(ipAddr);
    return address;
}

// A channel socket of 0 is one not opened yet (or closed by a failed start): descriptor 0 is the
// host's standard input, which the CM messages must never go to or be read from.
bool ChannelSocketOpen(int socketFd, const char *callerP) {
    if (socketFd != 0) return true;
    SvcPrintf("%s(): the CM channel is not open.\n", callerP);
    return false;
}

} // namespace

// ---- waits and the exchange lock --------------------------------------------------------------

void ZqCmSetChannelOptions(const tZqCmChannelOptions &options) {
    std::lock_guard<std::mutex> guard(channelOptionsMutex);
    channelOptions = options;
}

tZqCmChannelOptions ZqCmChannelOptions() {
    std::lock_guard<std::mutex> guard(channelOptionsMutex);
    return channelOptions;
}

int64_t ZqCmNowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

tCmExchange::tCmExchange() {
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &oldCancelState_);
    pthread_mutex_lock(&exchangeMutex);
}

tCmExchange::~tCmExchange() {
    pthread_mutex_unlock(&exchangeMutex);
    pthread_setcancelstate(oldCancelState_, nullptr);
}

// ---- receiving --------------------------------------------------------------------------------

tCmRx CmUdpReceive(int socketFd, uint32 len, char *msgP, sockaddr_in *fromP, int64_t deadlineMs,
                   int *byteCountP) {
    *byteCountP = 0;
    for (;;) {
        // A datagram already waiting is taken at once: one system call per datagram under load.
        socklen_t fromLength = sizeof *fromP;
        ssize_t got;
        do {
            got = recvfrom(socketFd, msgP, len, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(fromP),
                           &fromLength);
        } while (got < 0 && errno == EINTR);
        if (got >= 0) {
            *byteCountP = static_cast<int>(got);
            CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
                    "UdpReceive(): recv() byteCount: %d, len %d, ipaddr %x(%x), port %d (%d).\n",
                    *byteCountP, len, fromP->sin_addr.s_addr, htonl(fromP->sin_addr.s_addr),
                    fromP->sin_port, htons(fromP->sin_port));
            return tCmRx::kDatagram;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            SvcPrintf("UdpReceive(): recv() failed on rcvSocket %d: B%d, E%d.\n", socketFd,
                      static_cast<int>(got), errno);
            return tCmRx::kError;
        }
        // Nothing yet (or another reader took it first): wait for the rest of the time.
        int ready;
        do {
            int64_t remaining = deadlineMs - ZqCmNowMs();
            pollfd waiter = {socketFd, POLLIN, 0};
            ready = poll(&waiter, 1, static_cast<int>(remaining < 0 ? 0 : remaining));
            if (ready > 0 && (waiter.revents & POLLIN) == 0) {
                SvcPrintf("UdpReceive(): select() error: E0x%X.\n", errno);
                return tCmRx::kError;
            }
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            SvcPrintf("UdpReceive(): socketCount -1, select() error: E0x%X.\n", errno);
            return tCmRx::kError;
        }
        if (ready == 0) return tCmRx::kTimeOut;
    }
}

bool CmFromManager(const sockaddr_in &from, int socketFd) {
    uint32 manager = SharedGet(OltMgrHostAddr);
    uint32 sender = ntohl(from.sin_addr.s_addr);
    if (manager == 0 || sender == manager) return true;
    CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
            "Dropped datagram from a foreign sender on socket %d: ip %x, port %d.\n", socketFd,
            sender, ntohs(from.sin_port));
    return false;
}

extern "C" {

eOsRet InitUdpSocket(int *localSocket, int localPort) {
    if (localSocket == nullptr) {
        SvcPrintf("InitUdpSocket(): NULL localSocket.\n");
        return eOS_RET_FAILURE;
    }
    int descriptor = socket(AF_INET, SOCK_DGRAM, 0);
    if (descriptor == 0) {
        // 0 marks a socket that is not open: a host that closed its standard input gets the
        // socket on another descriptor.
        descriptor = fcntl(0, F_DUPFD, 3);
        close(0);
    }
    if (descriptor < 0) {
        SvcPrintf("InitUdpSocket(): socket Error: %d\n", errno);
        *localSocket = 0;
        return eOS_RET_FAILURE;
    }
    sockaddr_in address = IpV4Address(INADDR_ANY, static_cast<uint32>(localPort));
    // Port 0 lets the system choose: without address reuse, so that it never hands out a port
    // another socket already holds.
    int reuse = 1;
    if (localPort != 0 &&
        setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) {
        SvcPrintf("InitUdpSocket(): setsockopt Error: %d\n", errno);
        close(descriptor);
        *localSocket = 0;
        return eOS_RET_FAILURE;
    }
    if (bind(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        SvcPrintf("InitUdpSocket(): Bind Error: %d\n", errno);
        close(descriptor);
        *localSocket = 0;
        return eOS_RET_FAILURE;
    }
    SharedSetOrdered(*localSocket, descriptor);
    return eOS_RET_SUCCESS;
}

eOsRet UdpSend(int sendSocket, uint32 port, uint32 ipAddr, uint32 len, char *msgP) {
    sockaddr_in address = IpV4Address(ipAddr, port);
    ssize_t sent;
    do {
        sent = sendto(sendSocket, msgP, len, 0, reinterpret_cast<sockaddr *>(&address),
                      sizeof address);
    } while (sent < 0 && errno == EINTR);
    CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
            "UdpSend(): sendto() sendSocket %d ret %d\r\n", sendSocket, static_cast<int>(sent));
    if (sent < 0) {
        MajorLog("UdpSend(): sendto() Error:%d\n", errno);
        return eOS_RET_FAILURE;
    }
    return eOS_RET_SUCCESS;
}

int UdpReceive(int rcvSocket, uint32 len, char *msgP, struct sockaddr_in *remoteAddr) {
    sockaddr_in sender;
    if (remoteAddr == nullptr) remoteAddr = &sender;
    int byteCount = 0;
    int64_t deadline = ZqCmNowMs() + ZqCmChannelOptions().receiveTimeoutMs;
    switch (CmUdpReceive(rcvSocket, len, msgP, remoteAddr, deadline, &byteCount)) {
    case tCmRx::kTimeOut:
        return -1;
    case tCmRx::kError:
        return 0;
    case tCmRx::kDatagram:
        break;
    }
    if (byteCount == 0)
        SvcPrintf("UdpReceive(): recv() failed on rcvSocket %d: B%d, E%d.\n", rcvSocket, 0, 0);
    return byteCount;
}

eOsRet ZqCmMsgSend(uZqCmMsg *msgP, uint16 len) {
    if (msgP == nullptr) return eOS_RET_FAILURE;
    int sendSocket = msgP->reqMsg.msgHdr.msgType == eZQ_CM_MSG_TYPE_ALM_REG
                         ? SharedGetOrdered(CmAlarmSocket)
                         : SharedGetOrdered(CmReqRspSocket);
    if (!ChannelSocketOpen(sendSocket, "ZqCmMsgSend")) return eOS_RET_INVALID_STATE;
    CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
            "ZqCmMsgSend(): sendSocket %d, port %d, ip %x, msgP %p, len %d.\n", sendSocket,
            OltMgrInsMap[0].port, OltMgrInsMap[0].ipAddress, static_cast<void *>(msgP), len);
    return UdpSend(sendSocket, OltMgrInsMap[0].port, OltMgrInsMap[0].ipAddress, len,
                   reinterpret_cast<char *>(msgP));
}

eOsRet ZqCmMsgReceive(uZqCmApiMsg *msgP, eZqCmMsgType msgType) {
    (void)msgType; // every answer, registration answers included, arrives on this socket
    if (msgP == nullptr) return eOS_RET_FAILURE;
    int rcvSocket = SharedGetOrdered(CmReqRspSocket);
    if (!ChannelSocketOpen(rcvSocket, "ZqCmMsgReceive")) return eOS_RET_INVALID_STATE;
    int64_t deadline = ZqCmNowMs() + ZqCmChannelOptions().receiveTimeoutMs;
    eOsRet result;
    int byteCount = 0;
    for (;;) {
        memset(msgP, 0, sizeof *msgP);
        sockaddr_in sender;
        tCmRx got = CmUdpReceive(rcvSocket, sizeof *msgP, reinterpret_cast<char *>(msgP), &sender,
                                 deadline, &byteCount);
        if (got == tCmRx::kDatagram && !CmFromManager(sender, rcvSocket)) continue;
        result = got == tCmRx::kTimeOut ? eOS_RET_TIME_OUT
                 : got == tCmRx::kError || byteCount == 0 ? eOS_RET_FAILURE
                                                          : eOS_RET_SUCCESS;
        if (got == tCmRx::kTimeOut) byteCount = -1;
        break;
    }
    CmTrace(eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API,
            "ZqCmMsgReceive() rcvByte %d at rcvSocket %d, ret %d\n", byteCount, rcvSocket, result);
    return result;
}

} // extern "C"
