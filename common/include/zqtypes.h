/* zqtypes.h - the CM definitions shared by the CM client and the trace facility: the modules of
 * the OLT manager stack, the header that starts every CM message, the operations, and the key
 * union that addresses one instance of a resource (with PON link keys and system-wide ONU ids).
 *
 * CM messages are the raw memory image of these records on a 64-bit little-endian machine with
 * natural alignment; every enumeration is 4 bytes and nothing is converted to network order. The
 * sizes and offsets asserted here are the wire format: they never change. */
#ifndef RELAYKIT_ZQTYPES_H
#define RELAYKIT_ZQTYPES_H

#include <stddef.h>

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Modules of the OLT manager stack: source and destination of CM messages, module of CM traces. */
typedef enum OS_ENUM_UINT32 {
    eZQ_OLT_MAN_MODULE_MIN = 0,
    eZQ_OLT_MAN_MODULE_EXT_SNMP = 1,
    eZQ_OLT_MAN_MODULE_EXT_CLI = 2,
    eZQ_OLT_MAN_MODULE_EXT_WEB = 3,
    eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION = 4,
    eZQ_OLT_MAN_MODULE_EXT_CML_API = 5,
    eZQ_OLT_MAN_MODULE_IN_COMMUNICATION = 6,
    eZQ_OLT_MAN_MODULE_IN_CML_API = 7,
    eZQ_OLT_MAN_MODULE_PAL_TX = 8,
    eZQ_OLT_MAN_MODULE_PAL_RX = 9,
    eZQ_OLT_MAN_MODULE_CML_DISPATCH = 10,
    eZQ_OLT_MAN_MODULE_CML_TX = 11,
    eZQ_OLT_MAN_MODULE_CML_RX = 12,
    eZQ_OLT_MAN_MODULE_SVC = 13,
    eZQ_OLT_MAN_MODULE_SVCMGR = 14,
    eZQ_OLT_MAN_MODULE_SOC_EVENT = 15,
    eZQ_OLT_MAN_MODULE_SWDL = 16,
    eZQ_OLT_MAN_MODULE_PM = 17,
    eZQ_OLT_MAN_MODULE_ALM = 18,
    eZQ_OLT_MAN_MODULE_LOCALMGR = 19,
    eZQ_OLT_MAN_MODULE_PROTECTION_SWITCH = 20,
    eZQ_OLT_MAN_MODULE_DB = 21,
    eZQ_OLT_MAN_MODULE_TOD = 22,
    eZQ_OLT_MAN_MODULE_MAX = 23
} eZqOltModuleId;

/* One PON link of the system: slot, device within the slot, link within the device. */
typedef struct {
    uint8 slotId;
    uint8 deviceId;
    uint8 linkId;
} tZqCmLinkKey;

/* One ONU by system-wide PON number: device = ponId / zqSysLinkNumPerDev, link within the device
 * = ponId % zqSysLinkNumPerDev. */
typedef struct {
    uint8 ponId;
    uint16 onuId;
} tZqOnuId;

/* Message types of the header's msgType. */
typedef enum OS_ENUM_UINT32 {
    eZQ_CM_MSG_TYPE_MIN = 0,
    eZQ_CM_MSG_TYPE_REQ = 1,             /* every request */
    eZQ_CM_MSG_TYPE_RSP = 2,             /* every response */
    eZQ_CM_MSG_TYPE_ALM = 3,             /* alarms */
    eZQ_CM_MSG_TYPE_EVT = 4,             /* events */
    eZQ_CM_MSG_TYPE_SVC_REL_REQ = 5,
    eZQ_CM_MSG_TYPE_LMT_SANITY_CHK = 6,
    eZQ_CM_MSG_TYPE_ALM_REG = 7,         /* alarm (un)registration: leaves from the alarm socket */
    eZQ_CM_MSG_TYPE_PROF_CHANGE = 8,
    eZQ_CM_MSG_TYPE_BCAST_GEM_CHANGE = 9,
    eZQ_CM_MSG_TYPE_SVC_REL_CNF = 10,
    eZQ_CM_MSG_TYPE_AVC = 11,
    eZQ_CM_MSG_TYPE_OMCISVC = 12,
    eZQ_CM_MSG_TYPE_TIMER = 13,
    eZQ_CM_MSG_TYPE_CML_ADAPTER = 14,
    eZQ_CM_MSG_TYPE_MAX = 15
} eZqCmMsgType;

/* Operations of requests and responses. */
typedef enum OS_ENUM_UINT32 {
    eZQ_CM_OPER_TYPE_MIN = 0,
    eZQ_CM_OPER_TYPE_CREATE = 1,
    eZQ_CM_OPER_TYPE_DELETE = 2,
    eZQ_CM_OPER_TYPE_SET = 3,
    eZQ_CM_OPER_TYPE_GET = 4,
    eZQ_CM_OPER_TYPE_GETFIRST = 5,
    eZQ_CM_OPER_TYPE_GETNEXT = 6,
    eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM = 7,
    eZQ_CM_OPER_TYPE_GETFIRST_WITHKEY = 8,
    eZQ_CM_OPER_TYPE_GETNEXT_WITHKEY = 9,
    eZQ_CM_OPER_TYPE_GET_INSTANCE_BY_KEY = 10,
    eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER = 11,
    eZQ_CM_OPER_TYPE_MAX = 12
} eZqCmOperType;

/* The 28-byte header that starts every CM message. */
typedef struct {
    eZqOltModuleId srcModuleId; /* sender's module: 1 (EXT_SNMP) from this client */
    eZqOltModuleId dstModuleId; /* 13 (SVC) for requests, 18 (ALM) for alarm registration */
    tOsTaskId srcTaskId;        /* the sending task */
    tOsTaskId dstTaskId;        /* 0xFFFFFFFF from this client */
    eZqCmMsgType msgType;
    uint32 managerId;           /* 0 from this client */
    uint16 transactionId;       /* chosen by the caller, echoed by the OLT manager */
    uint16 async;               /* 1 in requests of the _Async calls, else 0 */
} tZqOltMsgHdr;

/* ---- keys ---------------------------------------------------------------------------------- */

/* Interval of a PM key. */
typedef enum {
    eZQ_CMAPI_INTERVAL_ID_MIN = 0,
    eZQ_CMAPI_INTERVAL_ID_CURRENT = 1,
    eZQ_CMAPI_INTERVAL_ID_HISTORY = 2,
    eZQ_CMAPI_INTERVAL_ID_MAX = 3
} eZqCmIntervalId;

/* Kind of a MAC table key. */
typedef enum {
    eZQ_CMAPI_TBL_KEY_TYPE_MIN = 0,
    eZQ_CMAPI_TBL_KEY_TYPE_VID_MAC = 1,
    eZQ_CMAPI_TBL_KEY_TYPE_ONU_ID_BASED = 2,
    eZQ_CMAPI_TBL_KEY_TYPE_MAX = 3
} eZqCmMacTblKeyType;

typedef struct { uint16 genId; } tZqCmGenKey;
typedef struct { uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint16 portId; } tZqCmOnuPortKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint16 portId; uint16 vlanTransId;
} tZqCmOnuVlanTransKey;
typedef struct { uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; } tZqCmOnuKey;
typedef struct { uint8 slotId; uint8 deviceId; } tZqCmDeviceKey;
typedef struct { uint8 slotId; uint8 deviceId; uint8 LinkId; uint16 allocId; } tZqCmAllocIdKey;
typedef struct { uint32 profileIndex1; uint32 profileIndex2; } tZqCmProfileKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 virtualPortNo; uint8 macAddress[18];
    uint16 vlanId; uint16 onuId; eZqCmMacTblKeyType tblKeyType;
} tZqCmMacAddrKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 virtualPortNo; uint8 portType;
    uint8 macAddress[18];
} tZqCmOnuMacAddrKey;
typedef struct { uint8 slotId; uint8 deviceId; uint8 linkId; uint8 onuSerialNum[17]; } tZqCmOnuBlackListKey;
typedef struct { uint8 slotId; } tZqCmSlotKey;
typedef struct { uint16 genId; uint16 portId; } tZqCmGenPortKey;
typedef struct {
    uint16 genId; uint16 target; uint16 method; uint8 slotId; uint8 deviceId; uint8 linkId;
} tZqCmOnuUpgradeKey;
typedef struct { uint16 hwType; uint16 target; uint16 method; uint8 vendorId[5]; } tZqCmOnuUpgradeHwKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint16 portId; uint32 ipAddr;
} tZqCmOnuMcastKey;
typedef struct { uint32 sVlan; uint32 cVlan; } tZqCmOnuVlanTypeKey;
typedef struct { uint32 profileIndex; } tZqCmProfileIndexKey;
typedef struct { uint32 seqNo; } tZqAlarmSeqNoKey;
typedef struct { uint8 slotId; uint8 linkId; uint8 allocId; eZqCmIntervalId intervalId; } tZqPmOltTcontKey;
typedef struct { uint8 slotId; uint8 linkId; eZqCmIntervalId intervalId; } tZqPmOltNNIEthKey;
typedef struct { uint8 slotId; uint8 linkId; uint16 onuId; eZqCmIntervalId intervalId; } tZqPmOltFecKey;
typedef struct { uint8 slotId; uint8 linkId; uint8 tcontIndex; eZqCmIntervalId intervalId; } tZqPmOnuTcontKey;
typedef struct { uint8 slotId; uint8 linkId; uint32 intervalId; } tZqPmPonLinkKey;
typedef struct { uint8 slotId; uint8 linkId; uint16 onuId; uint32 gemPort; uint32 intervalId; } tZqPmOnuGemKey;
typedef struct {
    uint8 slotId; uint8 linkId; uint16 logicPort; uint8 physicPort; uint32 intervalId;
} tZqPmOnuEthKey;
typedef struct { uint8 slotId; uint8 linkId; uint16 logicPort; eZqCmIntervalId intervalId; } tZqPmOnuFecKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint32 intervalId;
} tZqPmXgponOnuKey;
typedef struct { uint8 name[49]; } tZqCmProfNameKey;
typedef struct { uint32 ipAddr; } tZqCmSystemKey;
typedef struct { uint16 hwType; uint16 method; char eqptId[21]; } tZqCmSwUpgradePolicyKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint16 portId; uint16 entryId;
} tZqCmMcastActiveGroupEntryKey;
typedef struct {
    uint8 slotId; uint8 deviceId; uint8 linkId; uint16 onuId; uint8 onuSerialNum[17];
} tZqCmOnuWhiteListKey;
typedef struct { uint8 slotId; uint8 deviceId; uint8 linkId; uint8 onuList[33]; } tZqCmOnuListKey;

/* The key of one resource instance (52 bytes). The caller fills the member its resource id uses,
 * best in a zero-filled union: all 52 bytes travel as they are. */
typedef union {
    uint32 resType; /* the first word read as a resource type */
    tZqCmGenKey genKey;
    tZqCmOnuPortKey onuPortKey;
    tZqCmOnuVlanTransKey onuVlanTransCfgKey;
    tZqCmOnuKey onuKey;
    tZqCmLinkKey linkKey;
    tZqCmDeviceKey deviceKey;
    tZqCmAllocIdKey allocKey;
    tZqCmProfileKey profileKey;
    tZqCmMacAddrKey macAddrKey;
    tZqCmOnuMacAddrKey onuMacAddrKey;
    tZqCmOnuBlackListKey onuBlackListKey;
    tZqCmSlotKey slotKey;
    tZqCmGenPortKey genPortKey;
    tZqCmOnuUpgradeKey onuUpgradeKey;
    tZqCmOnuUpgradeHwKey onuUpgradeHwKey;
    tZqCmOnuMcastKey onuMcastKey;
    tZqCmOnuVlanTypeKey onuVlanType;
    tZqCmProfileIndexKey profileIndexKey;
    tZqAlarmSeqNoKey alarmSeqNoKey;
    tZqPmOltTcontKey oltPmTcontKey;
    tZqPmOltNNIEthKey oltPmNNIEthKey;
    tZqPmOltFecKey oltPmFecKey;
    tZqPmOnuTcontKey onuPmTcontKey;
    tZqPmPonLinkKey ponLinkKey;
    tZqPmOnuGemKey onuPmGemKey;
    tZqPmOnuEthKey onuPmEthKey;
    tZqPmOnuFecKey onuPmFecKey;
    tZqPmXgponOnuKey onuXgponPmKey;
    tZqCmProfNameKey profNameKey;
    tZqAlarmSeqNoKey alarmSeqKey;
    tZqCmSystemKey systemKey;
    tZqCmSwUpgradePolicyKey swdlPolicyKey;
    tZqCmMcastActiveGroupEntryKey mcastActiveGroupEntryKey;
    tZqCmOnuWhiteListKey onuWhiteListKey;
    tZqCmOnuListKey onuListKey;
} uZqCmKey;

OS_STATIC_ASSERT(sizeof(eZqCmMsgType) == 4 && sizeof(eZqCmOperType) == 4, "CM enumerations are 32 bits");
OS_STATIC_ASSERT(sizeof(tZqOltMsgHdr) == 28, "tZqOltMsgHdr is 28 bytes");
OS_STATIC_ASSERT(offsetof(tZqOltMsgHdr, srcTaskId) == 8, "tZqOltMsgHdr: srcTaskId at 8");
OS_STATIC_ASSERT(offsetof(tZqOltMsgHdr, msgType) == 16, "tZqOltMsgHdr: msgType at 16");
OS_STATIC_ASSERT(offsetof(tZqOltMsgHdr, managerId) == 20, "tZqOltMsgHdr: managerId at 20");
OS_STATIC_ASSERT(offsetof(tZqOltMsgHdr, transactionId) == 24, "tZqOltMsgHdr: transactionId at 24");
OS_STATIC_ASSERT(offsetof(tZqOltMsgHdr, async) == 26, "tZqOltMsgHdr: async at 26");
OS_STATIC_ASSERT(sizeof(uZqCmKey) == 52, "uZqCmKey is 52 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmGenKey) == 2 && sizeof(tZqCmOnuPortKey) == 8, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVlanTransKey) == 10 && sizeof(tZqCmOnuKey) == 6, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmDeviceKey) == 2 && sizeof(tZqCmAllocIdKey) == 6, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmProfileKey) == 8 && sizeof(tZqCmMacAddrKey) == 32, "key sizes");
OS_STATIC_ASSERT(offsetof(tZqCmMacAddrKey, vlanId) == 24 && offsetof(tZqCmMacAddrKey, tblKeyType) == 28, "mac key");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMacAddrKey) == 26 && sizeof(tZqCmOnuBlackListKey) == 20, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmSlotKey) == 1 && sizeof(tZqCmGenPortKey) == 4, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUpgradeKey) == 10 && sizeof(tZqCmOnuUpgradeHwKey) == 12, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMcastKey) == 12 && sizeof(tZqCmOnuVlanTypeKey) == 8, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmProfileIndexKey) == 4 && sizeof(tZqAlarmSeqNoKey) == 4, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqPmOltTcontKey) == 8 && sizeof(tZqPmOltNNIEthKey) == 8, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqPmOltFecKey) == 8 && sizeof(tZqPmOnuTcontKey) == 8, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqPmPonLinkKey) == 8 && sizeof(tZqPmOnuGemKey) == 12, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqPmOnuEthKey) == 12 && sizeof(tZqPmOnuFecKey) == 8, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqPmXgponOnuKey) == 12 && sizeof(tZqCmProfNameKey) == 49, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmSystemKey) == 4 && sizeof(tZqCmSwUpgradePolicyKey) == 26, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmMcastActiveGroupEntryKey) == 10 && sizeof(tZqCmOnuWhiteListKey) == 24, "key sizes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuListKey) == 36, "key sizes");
OS_STATIC_ASSERT(offsetof(tZqCmOnuWhiteListKey, onuSerialNum) == 6, "white list key: serial at 6");
OS_STATIC_ASSERT(offsetof(tZqCmOnuBlackListKey, onuSerialNum) == 3, "black list key: serial at 3");
OS_STATIC_ASSERT(sizeof(eZqOltModuleId) == 4, "eZqOltModuleId is 32 bits");
OS_STATIC_ASSERT(sizeof(tZqCmLinkKey) == 3, "tZqCmLinkKey is three bytes");
OS_STATIC_ASSERT(sizeof(tZqOnuId) == 4, "tZqOnuId is a byte, a pad byte and a 16-bit ONU id");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQTYPES_H */
