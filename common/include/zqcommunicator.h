/* zqcommunicator.h - the communicator of the CM client: the UDP transport to the OLT manager, the
 * start of the channel, the receive task that dispatches asynchronous responses, the alarm task
 * that hands alarms to the host, and the copy of text output to the host CLI's telnet connection.
 *
 * Two sockets, both bound on all local addresses: CmReqRspSocket (extEntityReqRspUdpPort) carries
 * every request and response; CmAlarmSocket (extEntityAlarmUdpPort) sends alarm registrations and
 * receives alarms and the answers to registration. Every request goes to OltMgrHostAddr:
 * oltMgrUdpPort. When OltMgrHostAddr is not 0, datagrams from any other address are dropped on
 * both sockets. Ports and addresses are in host byte order; message bodies are never converted. */
#ifndef RELAYKIT_ZQCOMMUNICATOR_H
#define RELAYKIT_ZQCOMMUNICATOR_H

#include <netinet/in.h>

#include "ostypes.h"
#include "zqcommon.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- endpoints: set by the host before ZqCmApi__InitCommunicationChannel ---------------------
 * A local port of 0 lets the system choose: the socket is bound to a free port without address
 * reuse, and the start writes the port it got into the variable before it returns (and before
 * anything, such as the alarm task, names it), so the host reads its ports there afterwards. A
 * start that fails leaves 0 again. A port other than 0 is bound as given, with SO_REUSEADDR. */
RELAYKIT_API extern uint32 OltMgrHostAddr;         /* the OLT manager's IPv4 address */
RELAYKIT_API extern uint16 oltMgrUdpPort;          /* its request port */
RELAYKIT_API extern uint16 extEntityReqRspUdpPort; /* local port of the request/response socket */
RELAYKIT_API extern uint16 extEntityAlarmUdpPort;  /* local port of the alarm socket */

/* Socket descriptors: 0 until opened, 0 again when opening fails. */
RELAYKIT_API extern int CmReqRspSocket;
RELAYKIT_API extern int CmAlarmSocket;

#define ZQ_OLT_MGR_INSTANCE_NUM 10

typedef struct {
    uint16 instanceId;
    uint8 slotId;
    uint32 ipAddress; /* host byte order */
    uint16 port;
    eOsBool valid;
} tZqOltMgrInstanceMap;

typedef struct {
    uint32 managerId;
    uint32 ipAddress;
    uint16 port;
    tOsTime activeTime;
    tOsTime regTime;
    uint32 activeCounter;
    eOsBool valid;
} tZqOltMgrExtEntityMap;

/* Entry 0 is the OLT manager every request goes to (its ipAddress and port, copied from the
 * endpoints at start); the rest, and OltMgrExtEntityMap, are for hosts. */
RELAYKIT_API extern tZqOltMgrInstanceMap OltMgrInsMap[ZQ_OLT_MGR_INSTANCE_NUM];
RELAYKIT_API extern tZqOltMgrExtEntityMap OltMgrExtEntityMap[ZQ_OLT_MGR_INSTANCE_NUM];

/* ---- transport ------------------------------------------------------------------------------- */

/* Opens a UDP socket bound to localPort on all addresses, with SO_REUSEADDR; localPort 0 binds a
 * port the system chooses, without SO_REUSEADDR (getsockname tells which). On failure prints the
 * reason, sets *localSocket to 0 and returns eOS_RET_FAILURE. */
RELAYKIT_API eOsRet InitUdpSocket(int *localSocket, int localPort);
/* Sends len bytes to ipAddr:port (host order). eOS_RET_FAILURE when sendto fails (major log). */
RELAYKIT_API eOsRet UdpSend(int sendSocket, uint32 port, uint32 ipAddr, uint32 len, char *msgP);
/* Waits up to the receive time-out (60 s) for one datagram of at most len bytes. Returns its
 * byte count, -1 on time-out, 0 on an error (printed) or an empty datagram. remoteAddr receives
 * the sender. Cancellation point. */
RELAYKIT_API int UdpReceive(int rcvSocket, uint32 len, char *msgP, struct sockaddr_in *remoteAddr);
/* Sends a message to the OLT manager: from the alarm socket when msgType is ALM_REG, else from the
 * request/response socket. */
RELAYKIT_API eOsRet ZqCmMsgSend(uZqCmMsg *msgP, uint16 len);
/* One datagram of the request/response socket into the 2448-byte buffer, which is zero-filled
 * first: eOS_RET_SUCCESS, eOS_RET_TIME_OUT or eOS_RET_FAILURE. msgType is not used to filter. */
RELAYKIT_API eOsRet ZqCmMsgReceive(uZqCmApiMsg *msgP, eZqCmMsgType msgType);
/* Opens the sockets, starts the receive and alarm tasks and polls the OLT manager until it is
 * ready (or 48 polls have passed). Called by ZqCmApi__InitCommunicationChannel. */
RELAYKIT_API eOsRet ZqCmCommunicatorStart(void);

/* ---- alarms ---------------------------------------------------------------------------------- */

/* Receives every alarm and event whole, in the alarm task, one at a time in arrival order. The
 * message is valid only during the call. */
typedef eOsRet (*tZqCMLalarmHandler)(uZqCmMsg *msgP);
/* Registers (or replaces) the handler; null is refused with eOS_RET_INVALID_ARG. */
RELAYKIT_API eOsRet itCmApi__RegisterAlarmHandler(tZqCMLalarmHandler callbackP);

/* ---- CLI telnet connection ------------------------------------------------------------------ *
 * Set by the host's CLI, only read by the library; all three start at zero. */
RELAYKIT_API extern eOsBool CliTelnetConnectedB; /* a telnet client is connected */
RELAYKIT_API extern uint16 CliTelnetEnable;      /* non-zero: copy output to the connection */
RELAYKIT_API extern int CliClientSocket;         /* descriptor of the connection's socket */

/* Sends the text (without terminator) on CliClientSocket when a client is connected, copying is
 * enabled and the descriptor is above 0; otherwise does nothing. Called by OsWrap__TextOut for
 * every text, from any thread. A peer that went away never raises SIGPIPE; a partial send is
 * completed. A client that stops reading never holds a caller up for long: a text that finds no
 * room within about 200 ms is dropped for the connection, and later texts are sent only as far as
 * the connection takes them at once, until one goes out whole. A failed send, and the first text
 * of such a stall, is reported once as a major log ("CLI sent to Telnet session failed.\n"); that
 * report failing in turn is not reported again. */
RELAYKIT_API void WriteToCliTelnetSocket(char *textP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCOMMUNICATOR_H */
