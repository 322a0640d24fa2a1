/* zqcmapi.h - the CM client API: requests to the OLT manager (create, delete, set, get, walks,
 * instance count), the synchronous and asynchronous modes with their response callbacks, alarm
 * registration, and the start of the CM channel.
 *
 * Threads: any host task may call the requests. In synchronous mode (the default) a request
 * sends one datagram and waits for its answer: the response from the OLT manager's address that
 * echoes the request's transaction id, operation, resource type and resource id. Every other
 * datagram is dropped (traced, and counted in CmApiUdpRcvCnt). Synchronous exchanges of several
 * threads are serialised by one lock held from the send until the matching response or the
 * failure, so a thread waits its turn and never takes another's answer. Each wait for a datagram
 * is bounded by the receive time-out (60 s), and the whole wait of one request too: a stream of
 * stray datagrams cannot hold a caller longer. A host task deleted while it waits finishes its
 * exchange first (at most one receive time-out), so the lock is never left taken, and ends at its
 * next cancellation point. In asynchronous mode a request returns right after its send and the
 * receive task "CommunicatorRxTask" hands the response to the callback of its operation.
 *
 * Results: 0 eOS_RET_SUCCESS; 1 eOS_RET_FAILURE (send failed, record pointer missing in create or
 * set, mode refused, no registration answer); 2 eOS_RET_INVALID_ARG (out-pointer missing in a
 * synchronous get); 5 eOS_RET_TIME_OUT (no response within the receive time-out); any other value
 * is the OLT manager's ret, passed through unchanged. Records are copied back whatever ret says.
 *
 * Buffers: a key out-pointer points to a whole uZqCmKey (52 bytes). A record pointer rcP points to
 * as many bytes as its request's comment below names, at most a whole uZqCmRes (1072 bytes): a
 * uZqCmRes is always enough. ZqCmApi__RecordSize(resId) gives the size for the calls that treat
 * all three extended ids (36, 38, 104) as extended; a record that is shorter than the call takes
 * is overrun. The caller owns every key and record it passes. Transaction ids are the caller's to
 * choose. */
#ifndef RELAYKIT_ZQCMAPI_H
#define RELAYKIT_ZQCMAPI_H

#include "ostypes.h"
#include "zqcommon.h"
#include "zqconfig.h"
#include "zqtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- modes and response callbacks ------------------------------------------------------------ */

typedef enum {
    eZQ_CMAPI_MODE_MIN = 0,
    eZQ_CMAPI_MODE_SYNC = 0,
    eZQ_CMAPI_MODE_ASYNC = 1,
    eZQ_CMAPI_MODE_MAX = 2
} eZqCmApiMode;

/* Record form: transaction id, resource type and id, the response's key (a copy), a pointer to
 * the response's record (valid only during the call; for ids 36, 38 and 104 the record itself lies
 * 1544 bytes behind it, at offset 1640 of the datagram) and the OLT manager's result. */
typedef eOsRet (*tZqCmApi__CreateRsp)(uint16 transactionId, eZqCmApiResType resType,
                                      eZqCmApiResId resId, uZqCmKey key, void *resP, eOsRet ret);
typedef tZqCmApi__CreateRsp tZqCmApi__SetRsp;
typedef tZqCmApi__CreateRsp tZqCmApi__GetRsp;
typedef tZqCmApi__CreateRsp tZqCmApi__GetFirstRsp;
typedef tZqCmApi__CreateRsp tZqCmApi__GetNextRsp;
typedef tZqCmApi__CreateRsp tZqCmApi__GetFirstWithKeyRsp;
typedef tZqCmApi__CreateRsp tZqCmApi__GetNextWithKeyRsp;
typedef eOsRet (*tZqCmApi__DeleteRsp)(uint16 transactionId, eZqCmApiResType resType,
                                      eZqCmApiResId resId, uZqCmKey key, eOsRet ret);
/* The count, or -1 when the OLT manager's result was not 0. */
typedef eOsRet (*tZqCmApi__GetNumOfInstanceRsp)(uint16 transactionId, eZqCmApiResType resType,
                                                eZqCmApiResId resId, sint16 num);
/* Answers to alarm registration and unregistration (asynchronous mode). */
typedef eOsRet (*tZqCmApi__AlarmRegisterRsp)(uint16 transactionId, tZqCmAlarmRegInfo regInfo,
                                             eOsRet ret);
typedef tZqCmApi__AlarmRegisterRsp tZqCmApi__AlarmUnRegisterRsp;

typedef struct {
    tZqCmApi__CreateRsp createRsp;
    tZqCmApi__DeleteRsp deleteRsp;
    tZqCmApi__SetRsp setRsp;
    tZqCmApi__GetRsp getRsp;
    tZqCmApi__GetFirstRsp getFirstRsp;
    tZqCmApi__GetNextRsp getNextRsp;
    tZqCmApi__GetFirstWithKeyRsp getFirstWithKeyRsp;
    tZqCmApi__GetNextWithKeyRsp getNextWithKeyRsp;
    tZqCmApi__GetNumOfInstanceRsp getNumInstanceRsp;
    tZqCmApi__AlarmRegisterRsp alarmRegisterRsp;
    tZqCmApi__AlarmUnRegisterRsp alarmUnregisterRsp;
} tZqCmApiCallback;

/* The current mode and table; changed only by ZqCmApi__SetMode. */
RELAYKIT_API extern eZqCmApiMode ZqCmApiMode;
RELAYKIT_API extern tZqCmApiCallback ZqCmApiCallback;

/* Sets the mode; the table is copied. SYNC clears the table (callbackP may be null). ASYNC needs
 * createRsp, deleteRsp, setRsp, getRsp, getFirstRsp, getNextRsp and getNumInstanceRsp; a table
 * without one of them is refused (1) after the mode has turned asynchronous, keeping the old
 * table. Null alarm answer slots are only warned about. A null table with ASYNC, or a mode other
 * than 0 and 1, is refused (1) and changes nothing. The receive task follows at once. */
RELAYKIT_API eOsRet ZqCmApi__SetMode(eZqCmApiMode mode, tZqCmApiCallback *callbackP);
RELAYKIT_API eZqCmApiMode ZqCmApi__GetMode(void);

/* ---- counters (never reset) ------------------------------------------------------------------ */
RELAYKIT_API extern uint32 CmApiUdpSentCnt;     /* requests the transport accepted */
RELAYKIT_API extern uint32 CmApiUdpRcvCnt;      /* datagrams read while waiting, matching or not */
RELAYKIT_API extern uint32 CmApiUdpSentFailCnt; /* requests the transport refused */
RELAYKIT_API extern uint32 CmApiUdpRcvFailCnt;  /* waits that ended without a response */

/* ---- requests -------------------------------------------------------------------------------- */

/* The bytes a request's record buffer rcP must hold for resId: 1072 (a whole uZqCmRes) for every
 * resource id, except the extended ids 36, 38 and 104, whose records (804, 372 and 120 bytes)
 * travel behind the message. This is what create, set, get, first and next read and write. The
 * serial-number get and the two walks with a key treat only 36 as extended and take a whole
 * uZqCmRes for 38 and 104 (see their comments). 0 for a number that is no resource id
 * (eZQ_CMAPI_RES_ID_MAX or above): a request still sends such an id unchanged and reads or writes
 * a whole uZqCmRes. Any thread, any time; nothing is sent. */
RELAYKIT_API uint32 ZqCmApi__RecordSize(eZqCmApiResId resId);

/* rcP (in): ZqCmApi__RecordSize(resId) bytes, sent as the new instance. */
RELAYKIT_API eOsRet ZqCmApi__CreateReq(uint16 transactionId, eZqCmApiResType resType,
                                       eZqCmApiResId resId, uZqCmKey resKey, void *rcP);
/* No record. */
RELAYKIT_API eOsRet ZqCmApi__DeleteReq(uint16 transactionId, eZqCmApiResType resType,
                                       eZqCmApiResId resId, uZqCmKey resKey);
/* rcP (in): ZqCmApi__RecordSize(resId) bytes, sent as the changed instance. */
RELAYKIT_API eOsRet ZqCmApi__SetReq(uint16 transactionId, eZqCmApiResType resType,
                                    eZqCmApiResId resId, uZqCmKey resKey, void *rcP);
/* rcP (in and out): ZqCmApi__RecordSize(resId) bytes, sent too (its bitMask names the wanted
 * fields) and overwritten with the returned record: for the system configuration a whole
 * uZqCmRes, not its gponSysConfig member alone. */
RELAYKIT_API eOsRet ZqCmApi__GetReq(uint16 transactionId, eZqCmApiResType resType,
                                    eZqCmApiResId resId, uZqCmKey resKey, void *rcP);
/* The ONU configuration whose serial number the record in rcP carries; key and record come back.
 * rcP (in and out): ZqCmApi__RecordSize(36) bytes for resource 36, a whole uZqCmRes (1072) for
 * every other id, 38 and 104 included. A null rcP is refused (2) in either mode. */
RELAYKIT_API eOsRet ZqCmApi__GetReqBySerNum(uint16 transactionId, eZqCmApiResType resType,
                                            eZqCmApiResId resId, uZqCmKey *resKeyP, void *rcP);
/* rcP (out): ZqCmApi__RecordSize(resId) bytes. */
RELAYKIT_API eOsRet ZqCmApi__GetFirstReq(uint16 transactionId, eZqCmApiResType resType,
                                         eZqCmApiResId resId, uZqCmKey *resKeyP, void *rcP);
/* rcP (out): ZqCmApi__RecordSize(36) bytes for resource 36, a whole uZqCmRes (1072) for every
 * other id, 38 and 104 included. */
RELAYKIT_API eOsRet ZqCmApi__GetFirstReqWithKey(uint16 transactionId, eZqCmApiResType resType,
                                                eZqCmApiResId resId, uZqCmKey resKey,
                                                uZqCmKey *firstResKeyP, void *rcP);
/* rcP (out): ZqCmApi__RecordSize(resId) bytes. */
RELAYKIT_API eOsRet ZqCmApi__GetNextReq(uint16 transactionId, eZqCmApiResType resType,
                                        eZqCmApiResId resId, uZqCmKey resKey,
                                        uZqCmKey *nextResKeyP, void *rcP);
/* rcP (out): ZqCmApi__RecordSize(36) bytes for resource 36, a whole uZqCmRes (1072) for every
 * other id, 38 and 104 included. */
RELAYKIT_API eOsRet ZqCmApi__GetNextReqWithKey(uint16 transactionId, eZqCmApiResType resType,
                                               eZqCmApiResId resId, uZqCmKey resKey,
                                               uZqCmKey *nextResKeyP, void *rcP);
/* The number of instances; -1 on any failure or a non-zero ret, 0 in asynchronous mode. No record. */
RELAYKIT_API sint16 ZqCmApi__GetNumOfInstance(uint16 transactionId, eZqCmApiResType resType,
                                              eZqCmApiResId resId);
/* Not supported: prints so and returns -1 without sending; keyP and resP are not used. */
RELAYKIT_API eOsRet ZqCmApi__GetInstanceByKey(uint16 transactionId, uZqCmKey *keyP,
                                              uZqCmRes *resP, eZqCmApiResId resId);
/* Fire and forget, in either mode: async = 1 in the header, no response awaited. Delete takes no
 * record; set reads ZqCmApi__RecordSize(resId) bytes from rcP. */
RELAYKIT_API eOsRet ZqCmApi__DeleteReq_Async(uint16 transactionId, eZqCmApiResType resType,
                                             eZqCmApiResId resId, uZqCmKey resKey);
RELAYKIT_API eOsRet ZqCmApi__SetReq_Async(uint16 transactionId, eZqCmApiResType resType,
                                          eZqCmApiResId resId, uZqCmKey resKey, void *rcP);

/* ---- alarm registration ---------------------------------------------------------------------- */

/* Sends the caller's managerId, ipAddress, port and filter from the alarm socket (the header and
 * regType are built here); port is usually extEntityAlarmUdpPort, read after the channel started.
 * In synchronous mode it then waits for the answer, a response carrying the regType that was sent,
 * and returns its ret (1 when none came within three receive waits). Other datagrams are dropped
 * (traced, not counted) and do not lengthen the wait. In asynchronous mode it returns 0 after the
 * send and the answer goes to alarmRegisterRsp / alarmUnregisterRsp. */
RELAYKIT_API eOsRet ZqCmApi__AlarmRegister(uint16 transactionId, tZqCmAlarmRegInfo alarmRegInfo);
RELAYKIT_API eOsRet ZqCmApi__AlarmUnRegister(uint16 transactionId, tZqCmAlarmRegInfo alarmRegInfo);

/* ---- module ids of the header ---------------------------------------------------------------- */
RELAYKIT_API eZqOltModuleId GetModuleIdByResId(eZqCmApiResId resId);  /* always 13 (SVC) */
RELAYKIT_API eZqOltModuleId GetModuleIdByTaskId(tOsTaskId taskId);    /* always 1 (EXT_SNMP) */

/* ---- the CM channel -------------------------------------------------------------------------- */

/* Brings the CM channel up, once per process, after OsWrap__Init, SvcInit and InitTrace and after
 * the endpoint variables are set: board detection, the two sockets, the receive and alarm tasks,
 * then the readiness poll of the OLT manager (three waiting lines of 5 s, then up to 48 polls 5 s
 * apart). Returns the start's result; a second call while the channel is up changes nothing and
 * returns eOS_RET_INVALID_STATE. */
RELAYKIT_API eOsRet ZqCmApi__InitCommunicationChannel(void);

/* The waits of the CM channel, for hosts that are not line-card daemons (a command a person types
 * wants seconds, not minutes). ZqCmApi__DefaultChannelOptions fills in the line card's values,
 * which ZqCmApi__InitCommunicationChannel uses. */
typedef struct {
    uint32 receiveTimeoutMs; /* one wait for a datagram, for every request too (60000); 1..3600000 */
    uint32 alarmTaskWaitMs;  /* longest wait for the alarm task to start (10000) */
    uint32 waitingLines;     /* "Waiting for OLT MGR to be ready..." lines (3) */
    uint32 waitingLineMs;    /* pause after each of them (5000) */
    uint32 pollAttempts;     /* readiness polls before start-up gives up (48); 0: no poll */
    uint32 pollIntervalMs;   /* pause after a poll that did not find the manager ready (5000) */
} tZqCmChannelOptions;

/* Writes the line card's waits into *optionsP (nothing for null). */
RELAYKIT_API void ZqCmApi__DefaultChannelOptions(tZqCmChannelOptions *optionsP);
/* As ZqCmApi__InitCommunicationChannel with the given waits; they stay in force afterwards.
 * eOS_RET_INVALID_ARG (printed) for null options or a receive time-out outside 1..3600000 ms;
 * nothing is started then. */
RELAYKIT_API eOsRet ZqCmApi__InitCommunicationChannelWithOptions(const tZqCmChannelOptions *optionsP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCMAPI_H */
