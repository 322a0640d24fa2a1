/* zqcommon.h - the CM messages exchanged with the OLT manager, each one UDP datagram: requests,
 * responses, alarm registrations, alarms, events and the others of the message union uZqCmMsg
 * (1640 bytes, the length of every ordinary datagram), and uZqCmApiMsg (2448 bytes), which adds
 * the extended area at offset 1640 that carries the records of resources 36, 38 and 104.
 * Layouts are the wire format: a message is the raw memory image of these records. */
#ifndef RELAYKIT_ZQCOMMON_H
#define RELAYKIT_ZQCOMMON_H

#include <stddef.h>

#include "ostypes.h"
#include "svcmsg.h"
#include "zqconfig.h"
#include "zqtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_CM_MSG_LEN 1640      /* sizeof(uZqCmMsg): an ordinary datagram */
#define ZQ_CM_API_MSG_LEN 2448  /* sizeof(uZqCmApiMsg): a datagram with an extended record */
#define ZQ_CM_EXT_OFFSET 1640   /* where an extended record starts in a message */
#define ZQ_CM_RSP_MIN_LEN 1172  /* a response up to and including ret */

/* A request: operation, resource type and id, key and record. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmOperType operType;
    eZqCmApiResType resType;
    eZqCmApiResId resId;
    uZqCmKey dbKey;
    uZqCmRes res;
} tZqCmReqMsg;

/* A response: the request's fields echoed, the key and record returned, and the result. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmOperType operType;
    eZqCmApiResType resType;
    eZqCmApiResId resId;
    uZqCmKey dbKey;
    uZqCmRes res;
    eOsRet ret;
} tZqCmRspMsg;

/* An alarm, handed whole to the host's alarm handler. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    tZqCmAlarmInfo alarmInfo;
} tZqCmAlarmMsg;

/* Event details, by event; the client never reads them. */
typedef union {
    uint8 discoveredOnu[64];
    uint8 pwdAuthComplete[64];
    uint8 linkActivation[64];
    uint8 linkDeactivation[64];
    uint8 onuActivation[64];
    uint8 onuRssiMeasurementCompleted[64];
    uint8 onuDeactivation[64];
    uint8 onuDisableCompleted[64];
    uint8 onuEnableCompleted[64];
    uint8 newMac[64];
    uint8 macMove[64];
    uint8 macAgingExpired[64];
    uint8 addNewMacCompleted[64];
    uint8 removeMacCompleted[64];
    uint8 flushMacCompleted[64];
    uint8 cpuPacketIndication[1552];
    uint8 losEventIndication[64];
    uint8 losiEventIndication[64];
    uint8 gpioChgInd[64];
    uint8 devInitDetectedIndication[64];
    uint8 devInitPendingIndication[64];
    uint8 devInitNotReadyIndication[64];
    uint8 devInitInitializingIndication[64];
    uint8 devInitExceptionMsgIndication[256];
    uint8 devInitReadyIndication[64];
    uint8 devInitConFailOper[64];
    uint8 devInitConFailReason[64];
    uint8 devEstablished[64];
    uint8 devInitResetIndication[64];
    uint8 devInitStandaloneIndication[64];
    uint8 linkModeChangeCompleted[64];
    uint8 onuModeChangeCompleted[64];
    uint8 rangingCompleted[64];
    uint8 keyExchangeCompleted[64];
    uint8 portIdConfigCompleted[64];
    uint8 omciPortConfigCompleted[64];
    uint8 allocIdConfigCompleted[64];
    uint8 todRequestCompleted[64];
    uint8 todInfo[64];
    uint8 linkModeChange[64];
    uint8 manualSwitch[64];
    uint8 syncOnuCfg[1024];
    uint8 registrationId[64];
    uint8 rogueOnuInfo[64];
    uint8 onuIPSStatsAlarmRaisedInfo[64];
    uint8 onuIPSStatsAlarmClearedInfo[64];
    uint8 imageTransCompleted[64];
    uint8 onuUpgradeCompleted[1552];
    uint8 todChange[64];
    uint8 deactivateAllOnuInfo[64];
    uint8 switchPonTypeCompleted[64];
} uZqCmEventInfo;

/* An event of the OLT manager; the largest message, it sets the size of uZqCmMsg. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmEventId eventId;
    eZqCmApiResType resType;
    uZqCmKey dbKey;
    uZqCmEventInfo eventInfo;
} tZqCmEventMsg;

typedef struct { uint8 bytes[4]; } uZqCmPmRes;
typedef struct { uint8 bytes[120]; } uZqCmPmHistData;

/* A PM message. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmOperType operType;
    eZqCmApiResType resType;
    eZqCmApiResId resId;
    uZqCmPmRes pmRes;
    eZqCmPmInnerMsgType msgType;
    uZqCmPmHistData pmData;
} tZqCmPmMsg;

/* A profile change (and, with the same layout, a broadcast GEM port change). */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmApiResType resType;
    uZqCmKey resKey;
    uZqCmKey profKey;
    eZqCmApiResId resId;
    eZqProfileOperation operType;
    uZqCmRes profileData;
} tZqCmProfileChangeMsg;
typedef tZqCmProfileChangeMsg tZqCmBcastGemPortChangeMsg;

typedef struct { uint8 bytes[24]; } uZqCmAvcAdditionalInfo;

/* An attribute value change. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    eZqCmApiResId resId;
    uZqCmKey dbKey;
    tOsTime avcOccurrenceTime;
    uint32 attrBitMask;
    uZqCmAvcAdditionalInfo additionalInfo;
} tZqCmAvcMsg;

/* A service message carried between OMCI services. */
typedef struct {
    tZqOltMsgHdr msgHdr;
    uint32 reserved;
    tSvcMsg omciSvcMsg;
} tZqCmOmciSvcMsg;

/* Every CM message (1640 bytes). */
typedef union {
    tZqCmReqMsg reqMsg;
    tZqCmRspMsg rspMsg;
    tZqCmAlarmMsg alarmMsg;
    tZqCmEventMsg eventMsg;
    tZqCmAlarmRegInfo alarmRegMsg;
    tZqCmPmMsg pmMsg;
    tZqCmProfileChangeMsg profileChangeMsg;
    tZqCmBcastGemPortChangeMsg bcastGemPortChangeMsg;
    tZqCmAvcMsg avcMsg;
    tZqCmOmciSvcMsg omciSvcMsg;
} uZqCmMsg;

/* A message with the extended record of resource 36, 38 or 104 at offset 1640. */
typedef struct {
    uZqCmMsg commonMsg;
    tZqCmOnuUpgradeTaskAndResult onuUpgradeTaskAndResult;
} tZqCmSwdlMsg;
typedef struct {
    uZqCmMsg commonMsg;
    tZqCmOnuUpgradeConfigFileTask onuUpgradeConfigFile;
} tZqCmCfgFileMsg;
typedef struct {
    uZqCmMsg commonMsg;
    tZqCmTodCfg todCfg;
} tZqCmTodCfgMsg;

/* The buffer of every request and of every receive on the request/response path (2448 bytes). */
typedef union {
    uZqCmMsg commonMsg;
    tZqCmSwdlMsg swdlMsg;
    tZqCmCfgFileMsg cfgFileMsg;
    tZqCmTodCfgMsg todCfgMsg;
} uZqCmApiMsg;

/* Bytes of the extended record a resource id carries at offset 1640 (804, 372 or 120 for the ids
 * 36, 38 and 104); 0 for every other id, whose record travels in res. */
static inline uint32 ZqCmExtendedRecordSize(uint32 resId) {
    switch (resId) {
    case eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT:
        return (uint32)sizeof(tZqCmOnuUpgradeTaskAndResult);
    case eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE:
        return (uint32)sizeof(tZqCmOnuUpgradeConfigFileTask);
    case eZQ_CMAPI_RES_ID_TOD_REQ_MSG:
        return (uint32)sizeof(tZqCmTodCfg);
    default:
        return 0;
    }
}

OS_STATIC_ASSERT(sizeof(tZqCmReqMsg) == 1168, "tZqCmReqMsg is 1168 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmReqMsg, operType) == 28, "request: operType at 28");
OS_STATIC_ASSERT(offsetof(tZqCmReqMsg, resType) == 32, "request: resType at 32");
OS_STATIC_ASSERT(offsetof(tZqCmReqMsg, resId) == 36, "request: resId at 36");
OS_STATIC_ASSERT(offsetof(tZqCmReqMsg, dbKey) == 40, "request: dbKey at 40");
OS_STATIC_ASSERT(offsetof(tZqCmReqMsg, res) == 96, "request: res at 96");
OS_STATIC_ASSERT(sizeof(tZqCmRspMsg) == 1176, "tZqCmRspMsg is 1176 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, dbKey) == 40, "response: dbKey at 40");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, res) == 96, "response: res at 96");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, ret) == 1168, "response: ret at 1168");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, ret) + sizeof(eOsRet) == ZQ_CM_RSP_MIN_LEN, "a response up to ret");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, res) + offsetof(tZqCmGponSysConfig, oltInitStatus) == 140,
                 "response: oltInitStatus at 140");
OS_STATIC_ASSERT(offsetof(tZqCmRspMsg, res) + offsetof(tZqCmAlarmRegInfo, regType) == 136,
                 "registration answer: regType at 136");
OS_STATIC_ASSERT(sizeof(tZqCmAlarmMsg) == 1100, "tZqCmAlarmMsg is 1100 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmMsg, alarmInfo) == 28, "alarm: alarmInfo at 28");
OS_STATIC_ASSERT(sizeof(uZqCmEventInfo) == 1552, "uZqCmEventInfo is 1552 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmEventMsg) == 1640, "tZqCmEventMsg is 1640 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmEventMsg, dbKey) == 36, "event: dbKey at 36");
OS_STATIC_ASSERT(offsetof(tZqCmEventMsg, eventInfo) == 88, "event: eventInfo at 88");
OS_STATIC_ASSERT(sizeof(tZqCmPmMsg) == 168, "tZqCmPmMsg is 168 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmPmMsg, msgType) == 44 && offsetof(tZqCmPmMsg, pmData) == 48, "pm message");
OS_STATIC_ASSERT(sizeof(tZqCmProfileChangeMsg) == 1216, "tZqCmProfileChangeMsg is 1216 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmProfileChangeMsg, profKey) == 84, "profile change: profKey at 84");
OS_STATIC_ASSERT(offsetof(tZqCmProfileChangeMsg, resId) == 136, "profile change: resId at 136");
OS_STATIC_ASSERT(offsetof(tZqCmProfileChangeMsg, profileData) == 144, "profile change: data at 144");
OS_STATIC_ASSERT(sizeof(tZqCmAvcMsg) == 120, "tZqCmAvcMsg is 120 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmAvcMsg, avcOccurrenceTime) == 84 && offsetof(tZqCmAvcMsg, additionalInfo) == 96,
                 "avc message");
OS_STATIC_ASSERT(sizeof(tZqCmOmciSvcMsg) == 56, "tZqCmOmciSvcMsg is 56 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmOmciSvcMsg, omciSvcMsg) == 32, "omci service message at 32");
OS_STATIC_ASSERT(sizeof(uZqCmMsg) == ZQ_CM_MSG_LEN, "uZqCmMsg is 1640 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmSwdlMsg) == 2448, "tZqCmSwdlMsg is 2448 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmCfgFileMsg) == 2016, "tZqCmCfgFileMsg is 2016 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmTodCfgMsg) == 1760, "tZqCmTodCfgMsg is 1760 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmSwdlMsg, onuUpgradeTaskAndResult) == ZQ_CM_EXT_OFFSET, "extended area at 1640");
OS_STATIC_ASSERT(offsetof(tZqCmCfgFileMsg, onuUpgradeConfigFile) == ZQ_CM_EXT_OFFSET, "extended area at 1640");
OS_STATIC_ASSERT(offsetof(tZqCmTodCfgMsg, todCfg) == ZQ_CM_EXT_OFFSET, "extended area at 1640");
OS_STATIC_ASSERT(sizeof(uZqCmApiMsg) == ZQ_CM_API_MSG_LEN, "uZqCmApiMsg is 2448 bytes");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCOMMON_H */
