// cmctl_channel.cpp - cmctl's start of relayKit and of the CM channel, and the two host hooks.
#include "cmctl_channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "cmctl_names.h"
#include "relaykit.h"

namespace {

std::atomic<bool> showLibraryLines{false};

void LibraryLine(char *textP) {
    if (textP != nullptr && showLibraryLines.load()) std::fputs(textP, stderr);
}

// The channel reports a socket it could not bind only as a failure; binding the port here as
// the channel does (any address, address reuse) tells why. Empty when that bind works.
std::string BindFailure(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::strerror(errno);
    int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    std::string reason;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        reason = std::strerror(errno);
    close(fd);
    return reason;
}

std::string MaskNames(uint32_t mask) {
    std::string names;
    for (const cmctl::EnumName &bit : cmctl::kTraceMaskNames)
        if ((mask & bit.value) != 0) names += (names.empty() ? "" : "+") + std::string(bit.name);
    return names;
}

} // namespace

// ---- the host hooks -----------------------------------------------------------------------------

extern "C" int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    if (mibLinkIdP != nullptr) *mibLinkIdP = phyLinkId;
    return 0;
}

// The line sink carries trace records while tracing; they go to standard error.
extern "C" int itSendOltDebugInfoToBll(char *textP) {
    if (textP != nullptr) std::fprintf(stderr, "%s\n", textP);
    return 0;
}

namespace cmctl {

void StartLibrary(bool verbose, const TraceSettings &trace) {
    showLibraryLines.store(verbose || trace.on);
    OsWrap__Init(nullptr);
    SvcInit(LibraryLine, LibraryLine);
    InitSyslog();
    InitTrace();
    if (!trace.on) return;
    for (auto [module, mask] : trace.cmMasks)
        CmTraceSetMask(static_cast<eZqOltModuleId>(module), static_cast<eZqCmTraceMask>(mask));
    for (auto [module, mask] : trace.svcMasks)
        TraceSetMask(static_cast<eSvcModuleId>(module), static_cast<eZqCmTraceMask>(mask));
    if (trace.traceLevel) TraceSetLevel(static_cast<eZqTraceLevel>(*trace.traceLevel));
    if (trace.logLevel) LogSetLevel(static_cast<eZqLogLevel>(*trace.logLevel));
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
    SetCliDisplayMode(eOS_BOOL_TRUE);
}

std::string TraceReport() {
    std::string report;
    char line[160];
    for (uint32_t module = 0; module < ZQ_CM_TRACE_MODULE_NUM; ++module) {
        uint32_t mask = CmTraceGetMask(static_cast<eZqOltModuleId>(module));
        if (mask == 0) continue;
        std::snprintf(line, sizeof line, "cm %s: 0x%x %s\n",
                      std::string(NameOf(kCmModuleNames, module)).c_str(), mask,
                      MaskNames(mask).c_str());
        report += line;
    }
    for (uint32_t module = 0; module < ZQ_TRACE_MODULE_NUM; ++module) {
        uint32_t mask = TraceGetMask(static_cast<eSvcModuleId>(module));
        if (mask == 0) continue;
        std::snprintf(line, sizeof line, "module %s: 0x%x %s\n", ZqSubModuleStr[module], mask,
                      MaskNames(mask).c_str());
        report += line;
    }
    std::snprintf(line, sizeof line, "trace level %s, log level %s\n",
                  std::string(NameOf(kTraceLevelNames, TraceLevel)).c_str(),
                  std::string(NameOf(kLogLevelNames, LogLevel)).c_str());
    return report + line;
}

void DrainTrace() {
    // A record is queued and written by the trace task; give it a moment to empty the queue.
    for (int look = 0; look < 50 && MemAllocCnt != 0; ++look)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string OpenChannel(Endpoints *endpointsP) {
    // A local port of 0 is chosen by the system when the channel binds it, and written back.
    OltMgrHostAddr = endpointsP->managerIp;
    oltMgrUdpPort = endpointsP->managerPort;
    extEntityReqRspUdpPort = endpointsP->requestPort;
    extEntityAlarmUdpPort = endpointsP->alarmPort;
    tZqCmChannelOptions options;
    ZqCmApi__DefaultChannelOptions(&options);
    options.receiveTimeoutMs = endpointsP->timeoutMs;
    options.alarmTaskWaitMs = 200;
    options.waitingLines = 0;
    options.waitingLineMs = 0;
    options.pollAttempts = 0; // each command asks the manager itself, within the time-out
    options.pollIntervalMs = 0;
    eOsRet started = ZqCmApi__InitCommunicationChannelWithOptions(&options);
    endpointsP->requestPort = extEntityReqRspUdpPort;
    endpointsP->alarmPort = extEntityAlarmUdpPort;
    if (started == eOS_RET_SUCCESS) return {};
    std::string error = "cannot open the CM channel on local ports " + std::to_string(endpointsP->requestPort) +
                        " and " + std::to_string(endpointsP->alarmPort) + ": " + RetText(started);
    for (uint16_t port : {endpointsP->requestPort, endpointsP->alarmPort}) {
        std::string reason = port != 0 ? BindFailure(port) : std::string();
        if (!reason.empty()) error += "; port " + std::to_string(port) + ": " + reason;
    }
    return error;
}

} // namespace cmctl
