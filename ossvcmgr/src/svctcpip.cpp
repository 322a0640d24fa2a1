// svctcpip.cpp - host lookup for the service layer: a host name to its first IPv4 address.
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "svc.h"
#include "zqcmtrace.h"

extern "C" {

eOsRet SvcTcpIpInit(void) { return eOS_RET_SUCCESS; }

eOsRet SvcTcpIpGetHostAddr(char *hostNameP, uint32 *hostAddrP) {
    if (hostAddrP == nullptr) {
        OsMajorLog("SvcTcpIpGetHostAddr(): NULL hostAddrP.\n");
        return eOS_RET_FAILURE;
    }
    *hostAddrP = 0;
    if (hostNameP == nullptr) {
        OsMajorLog("SvcTcpIpGetHostAddr(): NULL hostNameP.\n");
        return eOS_RET_FAILURE;
    }
    // getaddrinfo is the reentrant lookup; restricted to IPv4 it gives the same first address.
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    struct addrinfo *resultP = nullptr;
    errno = 0;
    int ret = getaddrinfo(hostNameP, nullptr, &hints, &resultP);
    if (ret != 0 || resultP == nullptr || resultP->ai_addr == nullptr) {
        int error = errno;
        if (resultP != nullptr) freeaddrinfo(resultP);
        OsMajorLog("SvcTcpIpGetHostAddr(): gethostbyname() failed for host: H%s, E0x%X.\n",
                   hostNameP, static_cast<unsigned>(error));
        return eOS_RET_FAILURE;
    }
    const struct sockaddr_in *addrP = reinterpret_cast<const struct sockaddr_in *>(resultP->ai_addr);
    memcpy(hostAddrP, &addrP->sin_addr.s_addr, sizeof *hostAddrP);
    freeaddrinfo(resultP);
    return eOS_RET_SUCCESS;
}

} // extern "C"
