// zqcm_internal.h - internal to the CM client: what its request, transport, dispatch and alarm
// units share, and the test hooks that shorten its waits. Nothing here is exported.
#ifndef RELAYKIT_ZQCM_INTERNAL_H
#define RELAYKIT_ZQCM_INTERNAL_H

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "osshared.h"
#include "zqcmapi.h"
#include "zqcmtrace.h"
#include "zqcommon.h"
#include "zqcommunicator.h"
#include "zqsysconfig.h"

// ---- waits ------------------------------------------------------------------------------------

// The line card's waits, which the channel uses unless the host starts it with options of its own.
inline constexpr tZqCmChannelOptions kZqCmDefaultChannelOptions = {
    .receiveTimeoutMs = 60000,
    .alarmTaskWaitMs = 10000,
    .waitingLines = 3,
    .waitingLineMs = 5000,
    .pollAttempts = 48,
    .pollIntervalMs = 5000,
};

// The channel's waits, held once and replaced and read whole, so a request never sees half of an
// old set and half of a new one. The start sets them from the host's options; tests set them to
// shorten the long waits.
void ZqCmSetChannelOptions(const tZqCmChannelOptions &options);
tZqCmChannelOptions ZqCmChannelOptions();

// Points GetBoardTypeFromHW at another file; null restores "/tmp/get_board_id".
void ZqCmSetBoardFileForTest(const char *pathP);
// Restores the board file and the board limits a process starts with.
void ZqCmResetBoardForTest();

// Ends the channel for a test that starts it again in the same process: asks the receive and alarm
// tasks to return and waits (ten seconds at the most) until both have, closes both sockets,
// forgets the alarm handler and the asynchronous callbacks (the mode turns synchronous), zeroes the
// counters, and puts the endpoints, waits and board (ZqCmResetBoardForTest) back as a process
// starts with. False when a task did not return in time; the sockets then stay open.
bool ZqCmStopChannelForTest();

// True while a stop asks the channel's tasks to return.
bool CmChannelStopping();

// Forgets the host's alarm handler.
void CmForgetAlarmHandler();

// Milliseconds of the monotonic clock, for deadlines.
int64_t ZqCmNowMs();

// ---- the request/response exchange ------------------------------------------------------------

// One lock serialises synchronous exchanges (from the send until the matching answer or the
// failure) and the receive task's reads, so exactly one reader takes datagrams from the
// request/response socket at a time. The holder cannot be cancelled: a task deleted during an
// exchange finishes it (bounded by the receive time-out), gives the lock back and ends at its next
// cancellation point. The caller's cancellation state is restored afterwards.
class tCmExchange {
  public:
    tCmExchange();
    ~tCmExchange();
    tCmExchange(const tCmExchange &) = delete;
    tCmExchange &operator=(const tCmExchange &) = delete;

  private:
    int oldCancelState_;
};

// The mode as the receive task and the requests read it.
inline bool CmApiIsAsync() {
    return SharedGetAcquire(ZqCmApiMode) == eZQ_CMAPI_MODE_ASYNC;
}

// One row of the CM operations' table (zqcmapi_operations.h).
struct tCmOperation;

// A synchronous request waiting for its answer: what the answer must echo besides the member's
// own operation, and the caller's buffers for it. resId also tells how large rcP is. Members that
// copy no key or record leave the pointers unused.
struct tCmAwaited {
    uint16 transactionId;
    uint32 resType;
    uint32 resId;
    uZqCmKey *keyOutP;
    void *rcP;
};

// Bytes of the caller's record for a member and the request's resource id: the extended record's
// size for an id the member handles as extended, else a whole uZqCmRes; 0 for members without one.
size_t CmCallerRecordSize(const tCmOperation &member, uint32 requestResId);

// Decides whether one datagram of byteCount bytes from sender answers the awaited request: it must
// come from the manager, reach ret, be a response and echo the request's transaction id,
// operation, resource type and resource id. Anything else is dropped and traced (false). An
// answer is copied back into the caller's buffers by the member's rules (true). Reads nothing
// beyond byteCount, where a short datagram reads as zero, and never writes more into rcP than
// CmCallerRecordSize.
bool CmAcceptResponse(const tCmOperation &member, const uint8 *datagramP, int byteCount,
                      const sockaddr_in &sender, int socketFd, const tCmAwaited &awaited);

// ---- receiving --------------------------------------------------------------------------------

enum class tCmRx { kDatagram, kTimeOut, kError };

// Waits until deadlineMs (monotonic) for one datagram of at most len bytes on the socket. On
// kDatagram *byteCountP is its length (0 for an empty one) and *fromP its sender. Errors are
// printed as UdpReceive prints them. Does not clear the buffer. Cancellation point.
tCmRx CmUdpReceive(int socketFd, uint32 len, char *msgP, sockaddr_in *fromP, int64_t deadlineMs,
                   int *byteCountP);

// True when the sender may speak for the OLT manager: OltMgrHostAddr is 0 or is the sender's
// address. A datagram from anyone else is traced here and must be dropped.
bool CmFromManager(const sockaddr_in &from, int socketFd);

// Wakes the receive task so that it looks at the mode at once.
void CmWakeReceiveTask();
// Creates the receive task's wake-up signal (start-up, before the task).
bool CmCreateWakeSignal();

// Dispatches one datagram of byteCount bytes read by the receive task to the response callbacks.
void PackageParse(const uZqCmApiMsg *msgP, int byteCount);
// Hands one datagram of the alarm socket to the alarm handler, the registration answer callbacks,
// or forwards a registration answer to the request/response socket.
void AlarmRxHandleDatagram(uZqCmMsg *msgP, int byteCount);

// The receive task and alarm task bodies, and the board detection of the start-up.
void CommunicatorRxTask(void);
void OMApi_AlarmRxTask(void);
eOsRet OltSysInfoInit(void);

// Set by the alarm task when it begins (0 to 1, once).
extern std::atomic<unsigned int> almRxTaskStarted;
extern tOsTaskId ComunicatorRxTaskId;
extern tOsTaskId OMApi_AlarmTaskId;

#endif // RELAYKIT_ZQCM_INTERNAL_H
