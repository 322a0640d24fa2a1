/* zqtypes.h - the CM definitions shared by the CM client and the trace facility: the modules of
 * the OLT manager stack, PON link keys and system-wide ONU addresses. */
#ifndef RELAYKIT_ZQTYPES_H
#define RELAYKIT_ZQTYPES_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Modules of the OLT manager stack: source and destination of CM messages, module of CM traces. */
typedef enum {
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

OS_STATIC_ASSERT(sizeof(eZqOltModuleId) == 4, "eZqOltModuleId is 32 bits");
OS_STATIC_ASSERT(sizeof(tZqCmLinkKey) == 3, "tZqCmLinkKey is three bytes");
OS_STATIC_ASSERT(sizeof(tZqOnuId) == 4, "tZqOnuId is a byte, a pad byte and a 16-bit ONU id");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQTYPES_H */
