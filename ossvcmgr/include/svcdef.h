/* svcdef.h - the fixed service modules and service tasks of the stack. They index the trace masks,
 * the module and task registries, the tick timers and the conveyor belts. */
#ifndef RELAYKIT_SVCDEF_H
#define RELAYKIT_SVCDEF_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    eSVC_MODULE_ID_NONE = 0,
    eSVC_MODULE_ID_SVC = 1,
    eSVC_MODULE_ID_SVC_MGR = 2,
    eSVC_MODULE_ID_OMCI_ME = 3,
    eSVC_MODULE_ID_OMCI_PROTOCOL_LOW = 4,
    eSVC_MODULE_ID_OMCI_PROTOCOL_HIGH = 5,
    eSVC_MODULE_ID_OMCI_AGT_LOW = 6,
    eSVC_MODULE_ID_OMCI_AGT_HIGH = 7,
    eSVC_MODULE_ID_OMCI_MIB = 8,
    eSVC_MODULE_ID_OMCI_PM = 9,
    eSVC_MODULE_ID_OMCC = 10,
    eSVC_MODULE_ID_ME_TEST_AGT = 11,
    eSVC_MODULE_ID_SNMP = 12,
    eSVC_MODULE_ID_SWDL = 13,
    eSVC_MODULE_ID_LMT = 14,
    eSVC_MODULE_ID_SVCT = 15,
    eSVC_MODULE_ID_PAL = 16,
    eSVC_MODULE_ID_ALARM = 17,
    eSVC_MODULE_ID_PM = 18,
    eSVC_MODULE_ID_EXT_CML_API = 19,
    eSVC_MODULE_ID_IN_CML_API = 20,
    eSVC_MODULE_ID_CML_TX = 21,
    eSVC_MODULE_ID_CML_RX = 22,
    eSVC_MODULE_ID_CML_DISPATCH = 23,
    eSVC_MODULE_ID_SOC_EVENT = 24,
    eSVC_MODULE_ID_PAL_TX = 25,
    eSVC_MODULE_ID_PAL_RX = 26,
    eSVC_MODULE_ID_IGMP_PROXY = 27,
    eSVC_MODULE_ID_SQL_DB = 28,
    eSVC_MODULE_ID_DEVINIT = 29,
    eSVC_MODULE_ID_SYSTEM = 30,
    eSVC_MODULE_ID_MW_VOIP = 31,
    eSVC_MODULE_ID_IPIF_TEST = 32,
    eSVC_MODULE_ID_CML_CMD = 33,
    eSVC_MODULE_ID_PROTECTION_SWITCH = 34,
    eSVC_MODULE_ID_CFGFILE = 35,
    eSVC_MODULE_ID_HEART_BEAT = 36,
    eSVC_MODULE_ID_SUPRESS_LOSI = 37,
    eSVC_MODULE_ID_LOG = 38,
    eSVC_MODULE_ID_TOD = 39,
    eSVC_MODULE_ID_INVALID = 40
} eSvcModuleId;

typedef enum {
    eSVC_TASK_NAME_MIN = 0,
    eSVC_TASK_NAME_SVC_MGR = 1,
    eSVC_TASK_NAME_OMCI = 2,
    eSVC_TASK_NAME_OMCI_AGT_LOW = 3,
    eSVC_TASK_NAME_OMCI_AGT_HIGH = 4,
    eSVC_TASK_NAME_OMCI_PM = 5,
    eSVC_TASK_NAME_ME_TEST_AGT = 6,
    eSVC_TASK_NAME_SNMP = 7,
    eSVC_TASK_NAME_SWDL = 8,
    eSVC_TASK_NAME_LMT = 9,
    eSVC_TASK_NAME_ALARM = 10,
    eSVC_TASK_NAME_PM = 11,
    eSVC_TASK_NAME_DEVINIT = 12,
    eSVC_TASK_NAME_DB = 13,
    eSVC_TASK_NAME_PROTECTION_SWITCH = 14,
    eSVC_TASK_NAME_CFGFILE = 15,
    eSVC_TASK_NAME_HEART_BEAT = 16,
    eSVC_TASK_NAME_SUPRESS_LOSI = 17,
    eSVC_TASK_NAME_TOD = 18,
    eSVC_TASK_NAME_INVALID = 19,
    eSVC_TASK_NAME_MAX = eSVC_TASK_NAME_INVALID
} eSvcTaskName;

OS_STATIC_ASSERT(sizeof(eSvcModuleId) == 4, "eSvcModuleId is 32 bits");
OS_STATIC_ASSERT(sizeof(eSvcTaskName) == 4, "eSvcTaskName is 32 bits");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVCDEF_H */
