/* zqconfig.h - the CM resource catalogue: resource types and ids, the resource records a request
 * carries (the resource union uZqCmRes), alarms and events. The client passes all of it through
 * unchanged; it acts only on the extended resource ids 36, 38 and 104, on the system configuration
 * record (the start-up poll) and on the instance count. Layouts are wire format. */
#ifndef RELAYKIT_ZQCONFIG_H
#define RELAYKIT_ZQCONFIG_H

#include <stddef.h>

#include "ostypes.h"
#include "zqtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Resource types; passed to the OLT manager unchecked. */
typedef enum OS_ENUM_UINT32 {
    eZQ_CMAPI_RES_TYPE_MIN = 0,
    eZQ_CMAPI_RES_TYPE_SYSTEM = 1,
    eZQ_CMAPI_RES_TYPE_LINK_SET = 2,
    eZQ_CMAPI_RES_TYPE_LINK = 3,
    eZQ_CMAPI_RES_TYPE_ONU = 4,
    eZQ_CMAPI_RES_TYPE_PROFILE = 5,
    eZQ_CMAPI_RES_TYPE_SWDL = 6,
    eZQ_CMAPI_RES_TYPE_PM = 7,
    eZQ_CMAPI_RES_TYPE_ALARM = 8,
    eZQ_CMAPI_RES_TYPE_DB = 9,
    eZQ_CMAPI_RES_TYPE_CFGFILE = 10,
    eZQ_CMAPI_RES_TYPE_TOD = 11,
    eZQ_CMAPI_RES_TYPE_MAX = 12
} eZqCmApiResType;

/* Resource ids: the resources of the OLT manager. The client tests only the extended ids 36, 38 and 104. */
typedef enum OS_ENUM_UINT32 {
    eZQ_CMAPI_RES_ID_MIN = 0,
    eZQ_CMAPI_RES_ID_NONE = 0,
    eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG = 1,
    eZQ_CMAPI_RES_ID_EQPT_OLT_SLOT_STATUS = 2,
    eZQ_CMAPI_RES_ID_EQPT_OLT_PON_LINK_SET_CONFIG = 3,
    eZQ_CMAPI_RES_ID_EQPT_OLT_PON_LINK_CONFIG = 4,
    eZQ_CMAPI_RES_ID_EQPT_OLT_GPON_PROTO_PROF = 5,
    eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG = 6,
    eZQ_CMAPI_RES_ID_EQPT_ONU_VIRTUAL_PORT_CONFIG = 7,
    eZQ_CMAPI_RES_ID_EQPT_ONU_ETH_UNI_CONFIG = 8,
    eZQ_CMAPI_RES_ID_EQPT_ONU_VIDEO_UNI_CONFIG = 9,
    eZQ_CMAPI_RES_ID_EQPT_ONU_VIDEO_ANI_CONFIG = 10,
    eZQ_CMAPI_RES_ID_EQPT_ONU_ETH_UNI_CONFIG_PROF = 11,
    eZQ_CMAPI_RES_ID_EQPT_ONU_POTS_UNI_CONFIG = 12,
    eZQ_CMAPI_RES_ID_EQPT_ONU_VLAN_TRANSLATE_CONFIG = 13,
    eZQ_CMAPI_RES_ID_EQPT_ONU_MAC_FILTER_PRE_CONFIG = 14,
    eZQ_CMAPI_RES_ID_SERV_ONU_TCONT_VIRTUAL_PORT_BIND_PROF = 15,
    eZQ_CMAPI_RES_ID_SERV_ONU_TCONT_SERV_PROF = 16,
    eZQ_CMAPI_RES_ID_SERV_ONU_VIRTUAL_PORT_SERV_PROF = 17,
    eZQ_CMAPI_RES_ID_SERV_ONU_BANDWIDTH_PROF = 18,
    eZQ_CMAPI_RES_ID_SERV_ONU_RATECTRL_SCHEDULER_PROF = 19,
    eZQ_CMAPI_RES_ID_SERV_ONU_FLOW_TABLE_PROF = 20,
    eZQ_CMAPI_RES_ID_SERV_ONU_USER_PORT_UPSTREAM_TRAFFIC_MAP_PROF = 21,
    eZQ_CMAPI_RES_ID_SERV_ONU_VLAN_PBIT_UPSTREAM_TRAFFIC_MAP_PROF = 22,
    eZQ_CMAPI_RES_ID_SERV_ONU_VID_UPSTREAM_TRAFFIC_MAP_PROF = 23,
    eZQ_CMAPI_RES_ID_SERV_ONU_VID_VPBIT_UPSTREAM_TRAFFIC_MAP_PROF = 24,
    eZQ_CMAPI_RES_ID_SERV_ONU_USER_PORT_COS_UPSTREAM_TRAFFIC_MAP_PROF = 25,
    eZQ_CMAPI_RES_ID_SERV_OLT_VLAN_TRANSLATE_PROF = 26,
    eZQ_CMAPI_RES_ID_SERV_ONU_VLAN_TRANSLATE_PROF = 27,
    eZQ_CMAPI_RES_ID_SERV_OLT_MAC_BRIDGE_FDB = 28,
    eZQ_CMAPI_RES_ID_SERV_ONU_MAC_BRIDGE_FDB = 29,
    eZQ_CMAPI_RES_ID_SERV_OLT_MCAST_GROUP_TO_MCAST_VLAN_MAP = 30,
    eZQ_CMAPI_RES_ID_SERV_OLT_MCAST_VLAN_TO_MCAST_GEM_PORT_MAP = 31,
    eZQ_CMAPI_RES_ID_SERV_ONU_STATIC_MCAST_GROUP_PROF = 32,
    eZQ_CMAPI_RES_ID_SERV_ONU_DYNAMIC_MCAST_GROUP_PROF = 33,
    eZQ_CMAPI_RES_ID_SERV_ONU_VOIP_SERV_PROF = 34,
    eZQ_CMAPI_RES_ID_SERV_ONU_BLACK_LIST = 35,
    eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT = 36,
    eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_HW_TYPE = 37,
    eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE = 38,
    eZQ_CMAPI_RES_ID_SERV_ONU_VLAN_TYPE = 39,
    eZQ_CMAPI_RES_ID_SERV_ONU_MULT_OPER_PROFILE = 40,
    eZQ_CMAPI_RES_ID_SERV_ONU_MAC_FILTER_PRE_PROFILE = 41,
    eZQ_CMAPI_RES_ID_SERV_ONU_MAC_FILTER_PROFILE = 42,
    eZQ_CMAPI_RES_ID_SERV_ONU_SIP_AGENT_PROF = 43,
    eZQ_CMAPI_RES_ID_SERV_ONU_SIP_USER_DATA = 44,
    eZQ_CMAPI_RES_ID_SERV_ONU_DIAL_PLAN_TABLE = 45,
    eZQ_CMAPI_RES_ID_SERV_ONU_VOIP_MEDIA_PROF = 46,
    eZQ_CMAPI_RES_ID_PM_ONU_ETH_PORT_THRESHOLD_DATA_PROFILE = 47,
    eZQ_CMAPI_RES_ID_PM_ONU_GEM_PORT_THRESHOLD_DATA_PROFILE = 48,
    eZQ_CMAPI_RES_ID_PM_PON_THRESHOLD_DATA_PROFILE = 49,
    eZQ_CMAPI_RES_ID_PM_THRESHOLD_DATA_PROFILE = 50,
    eZQ_CMAPI_RES_ID_VERSION = 51,
    eZQ_CMAPI_RES_ID_SERV_OLT_MAC_ADDRESS = 52,
    eZQ_CMAPI_RES_ID_SERV_ONU_PROF = 53,
    eZQ_CMAPI_RES_ID_OLT_MCAST_ACL = 54,
    eZQ_CMAPI_RES_ID_ONU_ALLOC_ID_CFG = 55,
    eZQ_CMAPI_RES_ID_ONU_ETH_UNI_CFG_PROF_EXT = 56,
    eZQ_CMAPI_RES_ID_SOFTWARE_UPGRADE_POLICY_TABLE = 57,
    eZQ_CMAPI_RES_ID_MCAST_ACTIVE_GROUP_ENTRY = 58,
    eZQ_CMAPI_RES_ID_ONU_MONITOR = 59,
    eZQ_CMAPI_RES_ID_OLT_XGPON_CHANNEL = 60,
    eZQ_CMAPI_RES_ID_OLT_CHANNEL_PROFILE = 61,
    eZQ_CMAPI_RES_ID_OLT_BURST_PROFILE_TABLE = 62,
    eZQ_CMAPI_RES_ID_ALARM_DB = 63,
    eZQ_CMAPI_RES_ID_PM_ONU_GEM_PORT = 64,
    eZQ_CMAPI_RES_ID_PM_ONU_ETH_PORT = 65,
    eZQ_CMAPI_RES_ID_PM_PON_COUNTER = 66,
    eZQ_CMAPI_RES_ID_PM_NNI_COUNTER = 67,
    eZQ_CMAPI_RES_ID_PON_ACTIVE_COUNTER_NNI_STAT_GET = 68,
    eZQ_CMAPI_RES_ID_PM_PON_ACTIVE_COUNTER = 69,
    eZQ_CMAPI_RES_ID_PM_ONU_ACTIVE_GEM_PORT = 70,
    eZQ_CMAPI_RES_ID_PM_ONU_ACTIVE_ETH_PORT = 71,
    eZQ_CMAPI_RES_ID_PM_LINK_ACTION_HANDLE = 72,
    eZQ_CMAPI_RES_ID_PM_ONU_ACTION_HANDLE = 73,
    eZQ_CMAPI_RES_ID_PM_ONU_CURRENT_ETH_PORT = 74,
    eZQ_CMAPI_RES_ID_PM_ONU_CURRENT_GEM_PORT = 75,
    eZQ_CMAPI_RES_ID_PM_CUMU_STAT_PON_COUNTER = 76,
    eZQ_CMAPI_RES_ID_ALARM_OLT_ACTIVE_ALARM_TABLE = 77,
    eZQ_CMAPI_RES_ID_ALARM_OLT_HIST_ALARM_TABLE = 78,
    eZQ_CMAPI_RES_ID_EQPT_ONU_DYNAMIC_STATUS = 79,
    eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS = 80,
    eZQ_CMAPI_RES_ID_SERV_ONU_MCAST_ACTIVE_GROUP_LIST = 81,
    eZQ_CMAPI_RES_ID_PM_ONU_15MIN_ETH_PORT = 82,
    eZQ_CMAPI_RES_ID_PM_ONU_1HOUR_ETH_PORT = 83,
    eZQ_CMAPI_RES_ID_PM_ONU_1DAY_ETH_PORT = 84,
    eZQ_CMAPI_RES_ID_SERV_ONU_WHITE_LIST = 85,
    eZQ_CMAPI_RES_ID_ONU_TO_PROF_MAP = 86,
    eZQ_CMAPI_RES_ID_I2C_READ_WRITE = 87,
    eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG_LIST = 88,
    eZQ_CMAPI_RES_ID_SERV_OLT_BATCH_MAC_ADDRESS = 89,
    eZQ_CMAPI_RES_ID_ALARM_OLT_ONU_ALARM_STATUS = 90,
    eZQ_CMAPI_RES_ID_SEND_PKT_OVER_GEMPORT = 91,
    eZQ_CMAPI_RES_ID_REG_ADP = 92,
    eZQ_CMAPI_RES_ID_ONU_ACTIVE_GEM_PORT_STAT_CFG_GET = 93,
    eZQ_CMAPI_RES_ID_PON_ACTIVE_COUNTER_STAT_CFG_GET = 94,
    eZQ_CMAPI_RES_ID_ONU_ACTIVE_GEM_PORT_STAT_GET = 95,
    eZQ_CMAPI_RES_ID_EQPT_OLT_SEND_INTER_SOC_PS_GEN_MSG = 96,
    eZQ_CMAPI_RES_ID_AVC_ALARM_HEART_BEAT_LOS = 97,
    eZQ_CMAPI_RES_ID_AVC_ALARM_IMA_CFG_COMPLETE = 98,
    eZQ_CMAPI_RES_ID_XGPON_TC_PM_DATA = 99,
    eZQ_CMAPI_RES_ID_XGPON_TC_PM_DATA_ACTIVE = 100,
    eZQ_CMAPI_RES_ID_XGPON_MGMT_PM_DATA = 101,
    eZQ_CMAPI_RES_ID_XGPON_MGMT_PM_DATA_ACTIVE = 102,
    eZQ_CMAPI_RES_ID_GET_PM_OPER_ME_STATUS = 103,
    eZQ_CMAPI_RES_ID_TOD_REQ_MSG = 104,
    eZQ_CMAPI_RES_ID_PROFILE_OLT_MGR_DEBUG = 105,
    eZQ_CMAPI_RES_ID_PAL_API = 106,
    eZQ_CMAPI_RES_ID_ONU_REMOTE_DEBUG = 107,
    eZQ_CMAPI_RES_ID_XGPON_TRANSCEIVER_CONFIG = 108,
    eZQ_CMAPI_RES_ID_MAX = 109
} eZqCmApiResId;

/* Enable/disable state of a feature. */
typedef enum {
    eOS_STATE_MIN = 0,
    eOS_STATE_ENABLE = 1,
    eOS_STATE_DISABLE = 2,
    eOS_STATE_MAX = 3
} eOsState;

/* IGMP proxy routing mode of the system configuration. */
typedef enum {
    eZQ_CMAPI_IGMP_PROXY_ROUTING_MODE_MIN = 0,
    eZQ_CMAPI_IGMP_PROXY_ROUTING_IGMP = 1,
    eZQ_CMAPI_IGMP_PROXY_ROUTING_STD_DISTRIBUTED = 2,
    eZQ_CMAPI_IGMP_PROXY_ROUTING_DISABLED = 3,
    eZQ_CMAPI_IGMP_PROXY_ROUTING_MODE_MAX = 4
} eZqCmIgmpProxyRoutingMode;

/* ONU authentication method. */
typedef enum {
    eZQ_CMAPI_AUTH_METHOD_MIN = 0,
    eZQ_CMAPI_AUTH_METHOD_SERIAL_NUM_ONLY = 1,
    eZQ_CMAPI_AUTH_METHOD_SERIAL_NUM_AND_PWD = 2,
    eZQ_CMAPI_AUTH_METHOD_DISABLED = 3,
    eZQ_CMAPI_AUTH_METHOD_PASSWORD_ONLY = 4,
    eZQ_CMAPI_AUTH_METHOD_SERIAL_NUM_AND_REGID = 5,
    eZQ_CMAPI_AUTH_METHOD_REGISTRATIONID_ONLY = 6,
    eZQ_CMAPI_AUTH_METHOD_MAX = 7
} eZqCmAuthenticationMethod;

/* Progress of a database save. */
typedef enum {
    eZQ_CMAPI_DB_SAVE_STATUS_MIN = 0,
    eZQ_CMAPI_DB_SAVE_STATUS_NO_OPER = 1,
    eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS = 2,
    eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_SUCCESS = 3,
    eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE = 4,
    eZQ_CMAPI_DB_SAVE_STATUS_MAX = 5
} eZqCmDbSaveStatus;

/* Progress of a database audit. */
typedef enum {
    eZQ_CMAPI_DB_AUDIT_STATUS_MIN = 0,
    eZQ_CMAPI_DB_AUDIT_STATUS_NO_OPER = 1,
    eZQ_CMAPI_DB_AUDIT_STATUS_IN_PROGRESS = 2,
    eZQ_CMAPI_DB_AUDIT_STATUS_COMPLETED_SUCCESS = 3,
    eZQ_CMAPI_DB_AUDIT_STATUS_COMPLETED_FAILURE = 4,
    eZQ_CMAPI_DB_AUDIT_STATUS_MAX = 5
} eZqCmDbAuditStatus;

/* PON system mode. */
typedef enum {
    eZQ_CMAPI_SYSTEM_MODE_MIN = 0,
    eZQ_CMAPI_SYSTEM_MODE_GPON = 1,
    eZQ_CMAPI_SYSTEM_MODE_XGPON = 2,
    eZQ_CMAPI_SYSTEM_MODE_XGSPON_GPON_COMBO = 3,
    eZQ_CMAPI_SYSTEM_MODE_ANY_PON__8_X = 4,
    eZQ_CMAPI_SYSTEM_MODE_NOT_AVAILABLE = 5,
    eZQ_CMAPI_SYSTEM_MODE_MAX = 6
} eZqCmSystemMode;

/* The OLT manager's start-up state (oltInitStatus). */
typedef enum {
    eZQ_CM_OLT_STATUS_MIN = 0,
    eZQ_CM_OLT_STATUS_NOT_INIT = 1,
    eZQ_CM_OLT_STATUS_BUSY = 2,
    eZQ_CM_OLT_STATUS_READY = 3,
    eZQ_CM_OLT_STATUS_MAX = 4
} eZqCmOltMgrInitStatus;

/* Reboot mode of an ONU upgrade. */
typedef enum {
    eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_MIN = 0,
    eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_AUTOMATIC = 1,
    eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_MANUAL = 2,
    eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_SCHEDULED = 3,
    eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_MAX = 4
} eZqCmOnuUpgradeRebootMode;

/* Image swap method of an ONU upgrade. */
typedef enum {
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_MIN = 0,
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_SEQUENCE = 1,
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_ONLY_SWDL = 2,
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_ONLY_SWAP0 = 3,
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_ONLY_SWAP1 = 4,
    eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_MAX = 5
} eZqCmOnuUpgradeSwapMode;

/* Alarm types, in ranges: OLT from 1, ONU from 100, threshold crossings 400 to 506, PM collection from 507, system from 600, voice from 650. */
typedef enum {
    eZQ_CMAPI_ALARM_MIN = 0,
    eZQ_CMAPI_ALARM_NONE = 0,
    eZQ_CMAPI_OLT_ALARM_LOS = 1,
    eZQ_CMAPI_OLT_ALARM_LOSI = 2,
    eZQ_CMAPI_OLT_ALARM_LOFI = 3,
    eZQ_CMAPI_OLT_ALARM_SFI = 4,
    eZQ_CMAPI_OLT_ALARM_SDI = 5,
    eZQ_CMAPI_OLT_ALARM_LCDGI = 6,
    eZQ_CMAPI_OLT_ALARM_RDLI = 7,
    eZQ_CMAPI_OLT_ALARM_SUFI = 8,
    eZQ_CMAPI_OLT_ALARM_LOAI = 9,
    eZQ_CMAPI_OLT_ALARM_DGI = 10,
    eZQ_CMAPI_OLT_ALARM_DFI = 11,
    eZQ_CMAPI_OLT_ALARM_LOAMI = 12,
    eZQ_CMAPI_OLT_ALARM_PEEI = 13,
    eZQ_CMAPI_OLT_ALARM_PST = 14,
    eZQ_CMAPI_OLT_ALARM_MEMI = 15,
    eZQ_CMAPI_OLT_ALARM_DOWI = 16,
    eZQ_CMAPI_OLT_ALARM_DISCOVERED_ONU = 17,
    eZQ_CMAPI_OLT_ALARM_BER = 18,
    eZQ_CMAPI_OLT_ALARM_REI = 19,
    eZQ_CMAPI_OLT_ALARM_LINK_SWITCHED = 20,
    eZQ_CMAPI_OLT_ALARM_ONU_SWITCHED = 21,
    eZQ_CMAPI_OLT_ALARM_TIWI = 22,
    eZQ_CMAPI_OLT_ALARM_LOKI = 23,
    eZQ_CMAPI_OLT_ALARM_LOBI = 24,
    eZQ_CMAPI_OLT_ALARM_LOPCI = 25,
    eZQ_CMAPI_OLT_ALARM_LCPCI_MIC_ERROR = 26,
    eZQ_CMAPI_OLT_ALARM_LOOCI = 27,
    eZQ_CMAPI_OLT_ALARM_PQSI = 28,
    eZQ_CMAPI_ONU_ALARM_MIN = 100,
    eZQ_CMAPI_ONU_ALARM_EQUIPMENT = 101,
    eZQ_CMAPI_ONU_ALARM_POWERING = 102,
    eZQ_CMAPI_ONU_ALARM_BATTERY_MISSING = 103,
    eZQ_CMAPI_ONU_ALARM_BATTERY_FAILURE = 104,
    eZQ_CMAPI_ONU_ALARM_BATTERY_LOW = 105,
    eZQ_CMAPI_ONU_ALARM_PHYSICAL_INTRUSION = 106,
    eZQ_CMAPI_ONU_ALARM_SELF_TEST_FAILURE = 107,
    eZQ_CMAPI_ONU_ALARM_DYING_GASP = 108,
    eZQ_CMAPI_ONU_ALARM_TEMPERATURE_YELLOW = 109,
    eZQ_CMAPI_ONU_ALARM_TEMPERATURE_RED = 110,
    eZQ_CMAPI_ONU_ALARM_VOLTAGE_YELLOW = 111,
    eZQ_CMAPI_ONU_ALARM_VOLTAGE_RED = 112,
    eZQ_CMAPI_ONU_ALARM_MANUAL_POWER_OFF = 113,
    eZQ_CMAPI_ONU_ALARM_INV_IMAGE = 114,
    eZQ_CMAPI_ONU_ALARM_PSE_OVERLOAD_YELLOW = 115,
    eZQ_CMAPI_ONU_ALARM_PSE_OVERLOAD_RED = 116,
    eZQ_CMAPI_ONU_ALARM_LAN_LOS = 117,
    eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER = 118,
    eZQ_CMAPI_ONU_ALARM_HIGH_RX_OPTICAL_POWER = 119,
    eZQ_CMAPI_ONU_ALARM_SF = 120,
    eZQ_CMAPI_ONU_ALARM_SD = 121,
    eZQ_CMAPI_ONU_ALARM_LOW_TX_OPTICAL_POWER = 122,
    eZQ_CMAPI_ONU_ALARM_HIGH_TX_OPTICAL_POWER = 123,
    eZQ_CMAPI_ONU_ALARM_PLUG_IN_CIRCUIT_PACK_MISSING_ALARM = 124,
    eZQ_CMAPI_ONU_ALARM_PLUG_IN_TYPE_MISMATCH_ALARM = 125,
    eZQ_CMAPI_ONU_ALARM_IMPROPER_CARD_REMOVAL = 126,
    eZQ_CMAPI_ONU_ALARM_PLUG_IN_EQPT_ID_MISMATCH_ALARM = 127,
    eZQ_CMAPI_ONU_ALARM_PROTECTION_SWITCH = 128,
    eZQ_CMAPI_ONU_ALARM_LASER_END_OF_LIFE = 129,
    eZQ_CMAPI_ONU_ALARM_END_TO_END_LOSS_OF_CONTINUITY = 130,
    eZQ_CMAPI_ONU_ALARM_PORT_BLOCKING = 131,
    eZQ_CMAPI_ONU_ALARM_TF = 132,
    eZQ_CMAPI_ONU_ALARM_LOS = 133,
    eZQ_CMAPI_ONU_ALARM_LOF = 134,
    eZQ_CMAPI_ONU_ALARM_OOF = 135,
    eZQ_CMAPI_ONU_ALARM_RAI = 136,
    eZQ_CMAPI_ONU_ALARM_15_M_BAIS = 137,
    eZQ_CMAPI_ONU_ALARM_R_INH = 138,
    eZQ_CMAPI_ONU_ALARM_6_M_REC = 139,
    eZQ_CMAPI_ONU_ALARM_6_M_SEND = 140,
    eZQ_CMAPI_ONU_ALARM_6_M_ERR = 141,
    eZQ_CMAPI_ONU_ALARM_6_M_BERR = 142,
    eZQ_CMAPI_ONU_ALARM_34_M_REC = 143,
    eZQ_CMAPI_ONU_ALARM_34_M_AIS = 144,
    eZQ_CMAPI_ONU_ALARM_2_M_REC = 145,
    eZQ_CMAPI_ONU_ALARM_2_M_AIS = 146,
    eZQ_CMAPI_ONU_ALARM_15_M_REC = 147,
    eZQ_CMAPI_ONU_ALARM_15_AIS = 148,
    eZQ_CMAPI_ONU_ALARM_INFO0 = 149,
    eZQ_CMAPI_ONU_ALARM_45_M_RDI = 150,
    eZQ_CMAPI_ONU_ALARM_45_M_AIS = 151,
    eZQ_CMAPI_ONU_ALARM_AIS_CI = 152,
    eZQ_CMAPI_ONU_ALARM_DS1_IDLE = 153,
    eZQ_CMAPI_ONU_ALARM_RAI_CI = 154,
    eZQ_CMAPI_ONU_ALARM_VIDEO_LOS = 155,
    eZQ_CMAPI_ONU_ALARM_VIDEO_OOR_LOW = 156,
    eZQ_CMAPI_ONU_ALARM_VIDEO_OOR_HIGH = 157,
    eZQ_CMAPI_ONU_ALARM_BLOCK_LOSS = 158,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_NAME = 159,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_REACH = 160,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_CON = 161,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_VALIDATE = 162,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_AUTH = 163,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_TIMEOUT = 164,
    eZQ_CMAPI_ONU_ALARM_SIP_UA_REG_FAIL = 165,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_NAME = 166,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_REACH = 167,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_CON = 168,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_VALIDATE = 169,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_AUTH = 170,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_TIMEOUT = 171,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_SERVER_FAIL = 172,
    eZQ_CMAPI_ONU_ALARM_VCD_CONFIG_FILE_ERROR = 173,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_NAME = 174,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_REACH = 175,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_CON = 176,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_VALIDATE = 177,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_AUTH = 178,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_TIMEOUT = 179,
    eZQ_CMAPI_ONU_ALARM_VCD_SUBSCRIPT_FAIL = 180,
    eZQ_CMAPI_ONU_ALARM_VCD_REBOOT_REQ = 181,
    eZQ_CMAPI_ONU_ALARM_CON_FUNC_FAIL = 182,
    eZQ_CMAPI_ONU_ALARM_FREQ_MISMATCH = 183,
    eZQ_CMAPI_ONU_ALARM_PROV_FAILURE = 184,
    eZQ_CMAPI_ONU_SPECIFIC_FLOW_PROV_FAILED = 185,
    eZQ_CMAPI_ONU_ALARM_SWDL_VERSION_MISMATCH = 186,
    eZQ_CMAPI_ONU_ALARM_CFGFILE_DOWNLOAD_FAILED = 187,
    eZQ_CMAPI_ONU_ALARM_OMCC_CHANNEL_ERROR = 188,
    eZQ_CMAPI_ONU_ITU_PON_STATS_ALARM_RAISED = 189,
    eZQ_CMAPI_ONU_ITU_PON_STATS_ALARM_CLEARED = 190,
    eZQ_CMAPI_TCA_ALARM_MIN = 400,
    eZQ_CMAPI_TCA_ALARM_PON_DS_INVALID_PKTS = 400,
    eZQ_CMAPI_TCA_ALARM_PON_DS_RX_CRC_ERROR_PKTS = 401,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_LOST_PKTS = 402,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_MISINSERTED_PKTS = 403,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_RX_PKTS = 404,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_RX_BLOCKS = 405,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_TX_BLOCKS = 406,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_IMPAIRED_BLOCK = 407,
    eZQ_CMAPI_TCA_ALARM_ONU_GEM_NET_CTP_ENCRYPTION_KEY_ERRORS = 408,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FCS_ERROR = 409,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_EXCESSIVE_COLLISION = 410,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_LATE_COLLISION = 411,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_TOO_LONGS = 412,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_BUF_OVERFLOWS_RX = 413,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_BUF_OVERFLOWS_TX = 414,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_SINGLE_COLLISION_FRAME = 415,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_MULTI_COLLISIONS = 416,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_SQE_COUNT = 417,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_DEFERRED_TX = 418,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_INT_MAC_TX = 419,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_CARRIER_SENSE_ERROR_COUNT = 420,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_ALIGN_ERROR_COUNT = 421,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_INT_MAC_RX = 422,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_PPPOE_FILTERED_FRAME = 423,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_DROP_EVENTS = 424,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_UNDERSIZE_PACKETS = 425,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAGMENTS = 426,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_JABBERS = 427,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_US_DROP_EVENTS = 428,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_US_CRC_ERRORED_PACKETS = 429,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_US_UNDERSIZE_PACKETS = 430,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_US_OVERSIZE_PACKETS = 431,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_DS_DROP_EVENTS = 432,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_DS_CRC_ERRORED_PACKETS = 433,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_DS_UNDERSIZE_PACKETS = 434,
    eZQ_CMAPI_TCA_ALARM_ONU_ETH_FRAME_DS_OVERSIZE_PACKETS = 435,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_PSBD_HEC_ERROR_COUNT = 436,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_XGTC_HEC_ERROR_COUNT = 437,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_UNKNOWN_PROFILE_COUNT = 438,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_XGEM_HEC_LOSS_COUNT = 439,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_XGEM_KEY_ERRORS = 440,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_TC_XGEM_HEC_ERROR_COUNT = 441,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_DS_MGMT_PLOAM_MIC_ERROR_COUNT = 442,
    eZQ_CMAPI_TCA_ALARM_ONU_XGPON_DS_MGMT_OMCI_MIC_ERROR_COUNT = 443,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_ES = 444,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_SES = 445,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_BES = 446,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_UAS = 447,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_CSS = 448,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_LOSS_L = 449,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_AISS_P = 450,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_ES_P = 451,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_ESA_P = 452,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_SES_P = 453,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_SAS_P = 454,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_CV_L = 455,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_CV_P = 456,
    eZQ_CMAPI_TCA_ALARM_CES_PI_PM_HIST_DATA_EB = 457,
    eZQ_CMAPI_TCA_ALARM_CC_PM_CALL_SETUP_FAIL = 458,
    eZQ_CMAPI_TCA_ALARM_CC_PM_SETUP_TIMEOUT = 459,
    eZQ_CMAPI_TCA_ALARM_CC_PM_CALL_TERM = 460,
    eZQ_CMAPI_TCA_ALARM_CC_PM_PORT_RELEASE = 461,
    eZQ_CMAPI_TCA_ALARM_CC_PM_PORT_OFFHOOK_TIMEOUT = 462,
    eZQ_CMAPI_TCA_ALARM_GAL_PM_HIST_DATA_DISCARDED_FRAMES = 463,
    eZQ_CMAPI_TCA_ALARM_GAL_TDM_PM_HIST_DATA_GEM_FRAME_LOSS = 464,
    eZQ_CMAPI_TCA_ALARM_GAL_TDM_PM_HIST_DATA_BUF_UNDERFLOWS = 465,
    eZQ_CMAPI_TCA_ALARM_GAL_TDM_PM_HIST_DATA_BUF_OVERFLOWS = 466,
    eZQ_CMAPI_TCA_ALARM_FEC_PM_HIST_DATA_CORRECTED_BYTES = 467,
    eZQ_CMAPI_TCA_ALARM_FEC_PM_HIST_DATA_CORRECTED_CODE_WORDS = 468,
    eZQ_CMAPI_TCA_ALARM_FEC_PM_HIST_DATA_UNCORRECTIBLE_CODE_WORDS = 469,
    eZQ_CMAPI_TCA_ALARM_FEC_PM_HIST_DATA_FEC_SECONDS = 470,
    eZQ_CMAPI_TCA_ALARM_BRIDGE_LEARNING_ENTRY_DISCARD = 471,
    eZQ_CMAPI_TCA_ALARM_BRIDGE_PORT_DELAY_EXCEEDED_DISCARD = 472,
    eZQ_CMAPI_TCA_ALARM_BRIDGE_PORT_MTU_EXCEEDED_DISCARD = 473,
    eZQ_CMAPI_TCA_ALARM_BRIDGE_PORT_RX_AND_DISCARDED = 474,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_IPNPM_ICMP_ERROR = 475,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_IPNPM_DNS_ERROR = 476,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_DHCP_TIME_OUTS = 477,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_IP_ADDR_CONFLICT = 478,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_OUT_OF_MEMORY = 479,
    eZQ_CMAPI_TCA_ALARM_IP_HOST_PM_INTERNAL_ERROR = 480,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_INVITE_REQ = 481,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_INVITE_REQ_RET = 482,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_NONINVITE_REQ = 483,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_NONINVITE_REQ_RET = 484,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_RES = 485,
    eZQ_CMAPI_TCA_ALARM_SIP_MD_RX_RES_RET = 486,
    eZQ_CMAPI_TCA_ALARM_SIP_CALL_PM_FAILED_CONN = 487,
    eZQ_CMAPI_TCA_ALARM_SIP_CALL_PM_FAILED_VALIDATE = 488,
    eZQ_CMAPI_TCA_ALARM_SIP_CALL_PM_TIMEOUT = 489,
    eZQ_CMAPI_TCA_ALARM_SIP_CALL_PM_FAILURE_RX = 490,
    eZQ_CMAPI_TCA_ALARM_SIP_CALL_PM_FAILED_AUTH = 491,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_RTP_ERRORS = 492,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_PACKET_LOSS = 493,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_MAX_JITTER = 494,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_MAX_TIME_BETWEEN_RTCP_PACKET = 495,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_BUF_UNDERFLOWS = 496,
    eZQ_CMAPI_TCA_ALARM_RTP_PM_BUF_OVERFLOWS = 497,
    eZQ_CMAPI_TCA_ALARM_RX_TOTAL_BURSTS = 498,
    eZQ_CMAPI_TCA_ALARM_RX_GOOD_BURSTS = 499,
    eZQ_CMAPI_TCA_ALARM_RX_FEC_CORRECTED_BURSTS = 500,
    eZQ_CMAPI_TCA_ALARM_RX_MISSED_BURSTS = 501,
    eZQ_CMAPI_TCA_ALARM_RX_MIN_POWER = 502,
    eZQ_CMAPI_TCA_ALARM_RX_MAX_POWER = 503,
    eZQ_CMAPI_TCA_ALARM_RX_CUR_POWER = 504,
    eZQ_CMAPI_TCA_ALARM_RX_FEC_CORRECTED_SYMBOLS = 505,
    eZQ_CMAPI_TCA_ALARM_MAX = 506,
    eZQ_CMAPI_PM_ALARM_MIN = 507,
    eZQ_CMAPI_ALARM_PON_PM_COLLECTION_FAIL = 508,
    eZQ_CMAPI_ALARM_ONU_ETH_PM_COLLECTION_FAILURE = 509,
    eZQ_CMAPI_ALARM_ONU_GEM_PM_COLLECTION_FAILURE = 510,
    eZQ_CMAPI_ALARM_ONU_XGPON_PM_COLLECTION_FAILURE = 511,
    eZQ_CMAPI_SYSTEM_ALARM_MIN = 600,
    eZQ_CMAPI_SYSTEM_ALARM_DB_CORRUPTION = 600,
    eZQ_CMAPI_SYSTEM_ALARM_DB_MISMATCH = 601,
    eZQ_CMAPI_SYSTEM_ALARM_MEM_ALLOC_FAILURE = 602,
    eZQ_CMAPI_SYSTEM_ALARM_TASK_NOT_RESPONDING = 603,
    eZQ_CMAPI_SYSTEM_ALARM_TASK_CREATION_FAILURE = 604,
    eZQ_CMAPI_SYSTEM_ALARM_QUEUE_CREATION_FAILURE = 605,
    eZQ_CMAPI_SYSTEM_ALARM_SEM_CREATION_FAILURE = 606,
    eZQ_CMAPI_VOIP_ALARM_MIN = 650,
    eZQ_CMAPI_VOIP_ALARM_ONU_SIPUD_REG_AUTH = 650,
    eZQ_CMAPI_VOIP_ALARM_ONU_SIPUD_REG_TIMEOUT = 651,
    eZQ_CMAPI_VOIP_ALARM_ONU_SIPUD_REG_FAIL = 652,
    eZQ_CMAPI_INTER_LINE_CARD_GENERAL_MESSAGE = 700,
    eZQ_CMAPI_ONU_ALARM_OPTICAL_TRANS_FAULT = 800,
    eZq_CMAPI_HEART_BEAT_LOS = 801,
    eZQ_CMAPI_ALARM_LINKSET_MIS_CONFIGURED_OR_NOT_CONFIGURED = 802,
    eZQ_CMAPI_ONU_ALARM_OMCC_ERROR = 803,
    eZQ_CMAPI_ONU_PROVISION_ERROR = 804,
    eZQ_CMAPI_PM_ALARM_OPER_ME_FAILED = 805,
    eZQ_CMAPI_ALARM_ONU_WRONG_EXTENDED_MESSAGE = 806,
    eZQ_CMAPI_ONU_ALARM_REMOVE_ONU = 900,
    eZQ_CMAPI_ONU_ALARM_TRANSFER_FOR_INTRA_PS = 901,
    eZQ_CMAPI_ALARM_MAX = 902
} eZqCmAlarmType;

/* Alarm severity. */
typedef enum {
    eZQ_CMAPI_ALARM_SEVERITY_MIN = 0,
    eZQ_CMAPI_ALARM_SEVERITY_CLEAR = 0,
    eZQ_CMAPI_ALARM_SEVERITY_TCA = 1,
    eZQ_CMAPI_ALARM_SEVERITY_INFO = 2,
    eZQ_CMAPI_ALARM_SEVERITY_MINOR = 3,
    eZQ_CMAPI_ALARM_SEVERITY_MAJOR = 4,
    eZQ_CMAPI_ALARM_SEVERITY_CRITICAL = 5,
    eZQ_CMAPI_ALARM_SEVERITY_MAX = 6
} eZqCmAlarmSeverity;

/* Alarm raised or cleared. */
typedef enum {
    eZQ_CMAPI_ALARM_CONDITION_MIN = 0,
    eZQ_CMAPI_ALARM_CONDITION_CLEAR = 0,
    eZQ_CMAPI_ALARM_CONDITION_ALARM = 1,
    eZQ_CMAPI_ALARM_CONDITION_MAX = 2
} eZqCmAlarmCondition;

/* Registration or unregistration (regType). */
typedef enum OS_ENUM_UINT32 {
    eZQ_CMAPI_ALARM_REG_TYPE_MIN = 0,
    eZQ_CMAPI_ALARM_REG_TYPE_REG = 1,
    eZQ_CMAPI_ALARM_REG_TYPE_UNREG = 2,
    eZQ_CMAPI_ALARM_REG_TYPE_MAX = 3
} eZqCmAlarmRegType;

/* What an alarm registration filters on. */
typedef enum {
    eZQ_CMAPI_ALARM_FILTER_MIN = 0,
    eZQ_CMAPI_ALARM_FILTER_NONE = 0,
    eZQ_CMAPI_ALARM_FILTER_ONU = 1,
    eZQ_CMAPI_ALARM_FILTER_LINK = 2,
    eZQ_CMAPI_ALARM_FILTER_SLOT = 3,
    eZQ_CMAPI_ALARM_FILTER_ALARM_TYPE = 4,
    eZQ_CMAPI_ALARM_FILTER_PM_TCA = 5,
    eZQ_CMAPI_ALARM_FILTER_AVC = 6,
    eZQ_CMAPI_ALARM_FILTER_MAX = 7
} eZqCmAlarmFilterType;

/* Events of the OLT manager. */
typedef enum {
    eZQ_CMAPI_EVENT_MIN = 0,
    eZQ_CMAPI_EVENT_LINK_ACTIVATED = 1,
    eZQ_CMAPI_EVENT_LINK_DEACTIVATED = 2,
    eZQ_CMAPI_EVENT_DISCOVERED_ONU = 3,
    eZQ_CMAPI_EVENT_ONU_ACTIVATED = 4,
    eZQ_CMAPI_EVENT_ONU_DEACTIVATED = 5,
    eZQ_CMAPI_EVENT_ONU_DISABLE_COMPLETE = 6,
    eZQ_CMAPI_EVENT_NEW_MAC = 7,
    eZQ_CMAPI_EVENT_MAC_MOVE = 8,
    eZQ_CMAPI_EVENT_MAC_AGING_EXPIRED = 9,
    eZQ_CMAPI_EVENT_ADD_NEW_MAC_COMPLETED = 10,
    eZQ_CMAPI_EVENT_REMOVE_MAC_COMPLETED = 11,
    eZQ_CMAPI_EVENT_FLUSH_MAC_COMPLETED = 12,
    eZQ_CMAPI_EVENT_CPU_PACKET = 13,
    eZQ_CMAPI_EVENT_LOS = 14,
    eZQ_CMAPI_EVENT_ONU_ALARMS = 15,
    eZQ_CMAPI_EVENT_MIB_UPLOAD_CNF = 16,
    eZQ_CMAPI_EVENT_OMCI_LINK_DOWN = 17,
    eZQ_CMAPI_EVENT_GPIO_CHANGE = 18,
    eZQ_CMAPI_EVENT_LINK_MODE_CHANGE_COMPLETED = 19,
    eZQ_CMAPI_EVENT_RANGING_COMPLETED = 20,
    eZQ_CMAPI_EVENT_PASSWORD_AUTHENTICATION_COMPLETE = 21,
    eZQ_CMAPI_EVENT_KEY_EXCHANGE_COMPLETED = 22,
    eZQ_CMAPI_EVENT_PORT_ID_CONFIG_COMPLETED = 23,
    eZQ_CMAPI_EVENT_OMCI_PORT_CONFIG_COMPLETED = 24,
    eZQ_CMAPI_EVENT_ALLOC_ID_CONFIG_COMPLETED = 25,
    eZQ_CMAPI_EVENT_ONU_MODE_CHANGE_COMPLETED = 26,
    eZQ_CMAPI_EVENT_DEVICE_PENDING = 27,
    eZQ_CMAPI_EVENT_DEVICE_INITIALIZING = 28,
    eZQ_CMAPI_EVENT_DEVICE_BIND = 29,
    eZQ_CMAPI_EVENT_DEVICE_DETECTED = 30,
    eZQ_CMAPI_EVENT_DEVICE_READY = 31,
    eZQ_CMAPI_EVENT_DEVICE_CONNECTION_FAILURE = 32,
    eZQ_CMAPI_EVENT_DEVICE_EXCEPTION_MESSAGE = 33,
    eZQ_CMAPI_EVENT_DEVICE_HOST_INDICATIONS = 34,
    eZQ_CMAPI_EVENT_DEVICE_NOT_READY = 35,
    eZQ_CMAPI_EVENT_DEVICE_REINIT_PONLINKS = 36,
    eZQ_CMAPI_EVENT_DEVICE_STAND_ALONE = 37,
    eZQ_CMAPI_EVENT_DEVICE_RESET = 38,
    eZQ_CMAPI_EVENT_DEVICE_ESTABLISHED = 39,
    eZQ_CMAPI_EVENT_DEVICE_DISCONNECTED = 40,
    eZQ_CMAPI_EVENT_DEVICE_CONNECTING = 41,
    eZQ_CMAPI_EVENT_ENABLE_ALL_ONTS = 42,
    eZQ_CMAPI_EVENT_FOUND_ROGUE_ONT = 43,
    eZQ_CMAPI_EVENT_ONU_RSSI_MEASUREMENT_COMPLETED = 44,
    eZQ_CMAPI_EVENT_INTER_SOC_LINK_MODE_CHANGE = 45,
    eZQ_CMAPI_EVENT_INTER_SOC_MANUAL_SWITCH_LINK_MODE = 46,
    eZQ_CMAPI_EVENT_INTER_SOC_SYNC_ONU_CFG = 47,
    eZQ_CMAPI_EVENT_ONU_AUTO_ID_REGISTRATION_ID = 48,
    eZQ_CMAPI_EVENT_TOD_REQUEST_COMPLETED = 49,
    eZQ_CMAPI_EVENT_TOD_FOR_ONU_GENERATED = 50,
    eZQ_CMAPI_EVENT_IMAGE_TRANSFER_COMPLETED = 51,
    eZQ_CMAPI_EVENT_ONU_UPGRADE_COMPLETE = 52,
    eZQ_CMAPI_EVENT_PTP_TOD_CHANGE = 53,
    eZQ_CMAPI_EVENT_ONU_ALL_DEACTIVATION_COMPLETED = 54,
    eZQ_CMAPI_EVENT_PON_LINK_SWITCH_PON_TYPE_COMPLETED = 55,
    eZQ_CMAPI_EVENT_TYPE_MAX = 56
} eZqCmEventId;

/* Operation of a profile change message. */
typedef enum {
    eZQ_PROF_OPER_MIN = 0,
    eZQ_PROF_OPER_ADD = 1,
    eZQ_PROF_OPER_MOD = 2,
    eZQ_PROF_OPER_DEL = 3,
    eZQ_PROF_OPER_MAX = 4
} eZqProfileOperation;

/* Inner message types of PM messages. */
typedef enum {
    eZQ_CMAPI_PM_MSG_TYPE_MIN = 0,
    eZQ_CMAPI_PM_MSG_ONU_TIMEOUT = 1,
    eZQ_CMAPI_PM_MSG_LINK_TIMEOUT = 2,
    eZQ_CMAPI_PM_MSG_GEM_PORT_NO = 3,
    eZQ_CMAPI_PM_MSG_GEM_PORT_PM_HIST_DATA = 4,
    eZQ_CMAPI_PM_MSG_ETH_PM_HIST_DATA = 5,
    eZQ_CMAPI_PM_MSG_ETH_PM_HIST_DATA2 = 6,
    eZQ_CMAPI_PM_MSG_ETH_PM_HIST_DATA3 = 7,
    eZQ_CMAPI_PM_MSG_ETH_FRAME_PM_HIST_DATA_US = 8,
    eZQ_CMAPI_PM_MSG_ETH_FRAME_PM_HIST_DATA_DS = 9,
    eZQ_CMAPI_PM_MSG_XGPON_TC_PM_HIST = 10,
    eZQ_CMAPI_PM_MSG_XGPON_MGMT_PM_HIST_DS = 11,
    eZQ_CMAPI_PM_MSG_XGPON_MGMT_PM_HIST_US = 12,
    eZQ_CMAPI_PM_MSG_LINK_ACTIVE = 13,
    eZQ_CMAPI_PM_MSG_LINK_DEACTIVE = 14,
    eZQ_CMAPI_PM_MSG_ONU_ACTIVE = 15,
    eZQ_CMAPI_PM_MSG_ONU_DEACTIVE = 16,
    eZQ_CMAPI_PM_MSG_LINK_PMENABLE = 17,
    eZQ_CMAPI_PM_MSG_LINK_PMDISABLE = 18,
    eZQ_CMAPI_PM_MSG_ONU_PMENABLE = 19,
    eZQ_CMAPI_PM_MSG_ONU_PMDISABLE = 20,
    eZQ_CMAPI_PM_MSG_ONU_UNREGISTER = 21,
    eZQ_CMAPI_PM_MSG_ONU_READ_TMOUT0 = 22,
    eZQ_CMAPI_PM_MSG_ONU_READ_TMOUT = 23,
    eZQ_CMAPI_PM_MSG_SYNC_ONU_PM_TIMER = 24,
    eZQ_CMAPI_PM_MSG_TYPE_MAX = 25
} eZqCmPmInnerMsgType;

/* Mask bits of the system configuration record, one per field. */
#define fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER 0x00000001u
#define fCMAPI_GPON_SYS_CONFIG_MASK_IGMP_PROXY_ROUTING_MODE 0x00000002u
#define fCMAPI_GPON_SYS_CONFIG_MASK_AUTHENTICATION_METHOD 0x00000004u
#define fCMAPI_GPON_SYS_CONFIG_MASK_ENCRYPTION_MODE 0x00000008u
#define fCMAPI_GPON_SYS_CONFIG_MASK_KEY_EXCHANGE_INTERVAL 0x00000010u
#define fCMAPI_GPON_SYS_CONFIG_MASK_DOWNSTREAM_BROADCAST_GEM_PORT_NO 0x00000020u
#define fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE 0x00000040u
#define fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE_STATU 0x00000080u
#define fCMAPI_GPON_SYS_CONFIG_MASK_DB_AUDIT 0x00000100u
#define fCMAPI_GPON_SYS_CONFIG_MASK_DB_AUDIT_STATU 0x00000200u
#define fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS 0x00000400u
#define fCMAPI_GPON_SYS_CONFIG_MASK_AUTO_UPGRADE_SERVER_ADDRESS 0x00000800u
#define fCMAPI_GPON_SYS_CONFIG_SHOW_RUNNING_CONFIG 0x00001000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_AUTO_LEARN_SN 0x00002000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_CLEAR_CONFIG 0x00004000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_VENDOR_ID 0x00008000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_VERSION 0x00010000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_OLTG_EQUIPMENT_ID 0x00020000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_REPETITION_DELAY 0x00040000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_NUM_OF_CONSECUTIVE_MISSED_HBS 0x00080000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_USERNAME 0x00100000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_HEARTBEAT_PASSWORD 0x00200000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_IMA_CONFIG_COMPLETE_REQ 0x00400000u
#define fCMAPI_GPON_SYS_CONFIG_MASK_SYSTEM_MODE 0x00800000u
#define fCMAPI_XGPON_SYS_CONFIG_MASK_AUTHENTICATION_METHOD 0x01000000u

/* The system configuration record (gponSysConfig). bitMask names the fields a request sets or
 * asks for, one fCMAPI_GPON_SYS_CONFIG_ bit per field. */
typedef struct {
    uint32 bitMask;
    uint32 fdbAgingTimer;
    eZqCmIgmpProxyRoutingMode igmpProxyRoutingMode;
    eZqCmAuthenticationMethod authenticationMethod;
    eOsState encryptionMode;
    uint32 keyExchangeInterval;
    uint32 downstreamBroadcastGEMPortNo;
    eOsBool dbSave;
    eZqCmDbSaveStatus dbSaveStatus;
    eOsBool dbAudit;
    eZqCmDbAuditStatus dbAuditStatus;
    eZqCmOltMgrInitStatus oltInitStatus;
    char autoUpgradeServerAddr[257];
    uint32 showRunningConfig;
    eOsBool autoLearnSnB;
    eOsBool clearConfig;
    uint8 oltGVendorId[5];
    uint8 oltGversion[15];
    uint8 oltGEquipmentID[21];
    uint32 hbRepetitionDelay;
    uint32 numOfConsecutiveMissedHbs;
    char hbUserName[30];
    char hbPassWord[30];
    eOsBool imaCfgComplete;
    eZqCmSystemMode systemMode;
    eZqCmAuthenticationMethod xgsAuthenticationMethod;
} tZqCmGponSysConfig;

/* The answer to an instance count. */
typedef struct {
    uint16 instanceNum;
} tZqCmResInstance;

/* Extended record of resource 36: an ONU upgrade task and its result. */
typedef struct {
    uint32 bitMask;
    uint8 onuUpgradeOption;
    uint8 onuUpgradeTaskStatus;
    uint8 onuUpgradeImageInstance;
    eZqCmOnuUpgradeRebootMode onuUpgradeRebootMode;
    uint8 onuUpgradeScheduleTime[9];
    uint8 onuUpgradeRebootScheduleTime[9];
    uint8 onuUpgradeParticipantPortListBitMap[96];
    uint8 onuUpgradeInstancePortListBitMap[96];
    uint8 onuUpgradeProgressDownloadPortListBitMap[96];
    uint8 onuUpgradeProgressActivatePortListBitMap[96];
    uint8 onuUpgradeProgressCommitPortListBitMap[96];
    uint8 onuUpgradeProgressFinalPortListBitMap[96];
    uint8 onuUpgradeProgressResultPortListBitMap[96];
    eZqCmOnuUpgradeSwapMode onuUpgradeSwapMethod;
    uint8 onuUpgradeCancelPortListBitMap[96];
} tZqCmOnuUpgradeTaskAndResult;

/* Extended record of resource 38: an ONU configuration file task. */
typedef struct {
    uint32 bitMask;
    uint8 onuUpgradeConfigFileFwRevision[15];
    uint8 onuUpgradeConfigFileImageName[257];
    uint8 onuUpgradeConfigFilePpantPortListBitMap[96];
} tZqCmOnuUpgradeConfigFileTask;

typedef struct {
    eOsBool oper;
    uint8 todOnuList[96];
} tZqCmOnuTodEnableList;

/* Extended record of resource 104: time-of-day configuration. */
typedef struct {
    uint32 bitMask;
    tZqCmLinkKey linkKey;
    eOsBool enable;
    uint32 syncPeriod;
    uint32 buffTime;
    tZqCmOnuTodEnableList onuTodEnableList;
} tZqCmTodCfg;

/* The filter of an alarm registration. */
typedef struct {
    uint32 slotIdMin;
    uint32 slotIdMax;
    uint32 linkIdMin;
    uint32 linkIdMax;
    uint32 onuIdMin;
    uint32 onuIdMax;
    eZqCmAlarmType alarmTypeMin;
    eZqCmAlarmType alarmTypeMax;
    eZqCmAlarmFilterType alarmFilterType;
} tZqCmAlarmFilterInfo;

/* An alarm registration or unregistration (sent as a 1640-byte datagram; also the record of the
 * OLT manager's answer). */
typedef struct {
    tZqOltMsgHdr msgHdr;
    uint32 managerId;
    uint32 ipAddress;
    uint16 port;
    eZqCmAlarmRegType regType;
    tZqCmAlarmFilterInfo alarmFilterInfo;
} tZqCmAlarmRegInfo;

/* What an alarm is about. The client never reads it; the host does. */
typedef union {
    tZqCmLinkKey linkId;
    tZqCmOnuKey onuId;
    tZqCmOnuPortKey portId;
    uint8 meId[24];
    uint32 systemId;
    tZqCmOnuKey onuProvId;
    uint8 swdlErrorId[24];
    uint8 provisionErrorId[24];
    uint8 cfgFileDownLoadFailId[24];
} uZqCmAlarmRes;

/* Further information of an alarm, by alarm type. */
typedef union {
    uint8 onuSerialNum[17];
    uint32 driftValue;
    uint32 newEqD;
    uint32 ber;
    uint32 counter;
    uint8 memMsgDte[64];
    uint8 pstParam[64];
    uint8 tcaInfo[64];
    uint8 memAllocFailure[64];
    uint8 taskFailure[64];
    uint8 queueFailure[64];
    uint8 semFailure[64];
    uint8 linkSetAlarm[64];
    uint8 omccError[64];
    uint8 provisionError[256];
    uint8 operMeFail[256];
    uint8 generalData[1024];
} uZqCmAlarmAdditionInfo;

/* One alarm. */
typedef struct {
    eZqCmAlarmType alarmType;
    uZqCmAlarmRes alarmResId;
    uint32 alarmSeqNo;
    tOsTime alarmOccurrenceTime;
    eZqCmAlarmSeverity alarmSeverity;
    eZqCmAlarmCondition alarmCondition;
    uZqCmAlarmAdditionInfo alarmAdditionInfo;
} tZqCmAlarmInfo;

/* Records whose fields belong to the OLT manager's resource model: the client copies them as
 * opaque bytes of their fixed sizes. */
typedef struct { uint8 bytes[136]; } tZqCmOltGponProtoProf;
typedef struct { uint8 bytes[12]; } tZqCmOltSlotStatus;
typedef struct { uint8 bytes[124]; } tZqCmOltPonLinkSetConfig;
typedef struct { uint8 bytes[224]; } tZqCmOltPonLinkConfig;
typedef struct { uint8 bytes[16]; } tZqCmOltMcasVlanToMcastGemPortMap;
typedef struct { uint8 bytes[16]; } tZqCmOltMacBridgeFdb;
typedef struct { uint8 bytes[16]; } tZqCmOltMcastGroupToMcastVlanMap;
typedef struct { uint8 bytes[128]; } tZqCmOltVlanTranslateProf;
typedef struct { uint8 bytes[688]; } tZqCmOnuConfig;
typedef struct { uint8 bytes[44]; } tZqCmOnuVirtualPortConfig;
typedef struct { uint8 bytes[64]; } tZqCmOnuEthUniConfig;
typedef struct { uint8 bytes[80]; } tZqCmOnuEthUniConfigProf;
typedef struct { uint8 bytes[28]; } tZqCmOnuVideoUniConfig;
typedef struct { uint8 bytes[68]; } tZqCmOnuVideoAniConfig;
typedef struct { uint8 bytes[104]; } tZqCmOnuPotsUniConfig;
typedef struct { uint8 bytes[68]; } tZqCmOnuTcontVirtualPortBindProf;
typedef struct { uint8 bytes[72]; } tZqCmOnuTcontServProf;
typedef struct { uint8 bytes[96]; } tZqCmOnuVirtualPortServProf;
typedef struct { uint8 bytes[72]; } tZqCmOnuBandwidthProf;
typedef struct { uint8 bytes[68]; } tZqCmOnuRateCtrlSchedulerProf;
typedef struct { uint8 bytes[68]; } tZqCmOnuUserPortUpstreamTrafficMapProf;
typedef struct { uint8 bytes[84]; } tZqCmOnuUserPortCosUpstreamTrafficMapProf;
typedef struct { uint8 bytes[72]; } tZqCmOnuVidVpbitUpstreamTrafficMapProf;
typedef struct { uint8 bytes[68]; } tZqCmOnuVidUpstreamTrafficMapProf;
typedef struct { uint8 bytes[64]; } tZqCmOnuVlanPbitUpstreamTrafficMapProf;
typedef struct { uint8 bytes[80]; } tZqCmOnuStaticMcastGroupProf;
typedef struct { uint8 bytes[80]; } tZqCmOnuDynamicMcastGroupProf;
typedef struct { uint8 bytes[68]; } tZqCmOnuBlackList;
typedef struct { uint8 bytes[76]; } tZqCmOnuMacFilterProfile;
typedef struct { uint8 bytes[152]; } tZqCmOnuVlanTranslateProf;
typedef struct { uint8 bytes[292]; } tZqCmOnuUpgradeHwType;
typedef struct { uint8 bytes[4]; } tZqCmOnuVlanType;
typedef struct { uint8 bytes[260]; } tZqCmOnuVoipServProf;
typedef struct { uint8 bytes[836]; } tZqCmOnuSipAgentProf;
typedef struct { uint8 bytes[396]; } tZqCmOnuSipUserData;
typedef struct { uint8 bytes[40]; } tZqCmOnuDialPlanTable;
typedef struct { uint8 bytes[72]; } tZqCmOnuVoipMediaProf;
typedef struct { uint8 bytes[60]; } tZqCmXgponChannel;
typedef struct { uint8 bytes[44]; } tZqCmChannelProfile;
typedef struct { uint8 bytes[104]; } tZqCmBurstProfileTable;
typedef struct { uint8 bytes[92]; } tZqCmOnuMulticastOperProfile;
typedef struct { uint8 bytes[84]; } tZqCmOnuFlowProf;
typedef struct { uint8 bytes[100]; } tZqCmOnuVlanTranslateConfig;
typedef struct { uint8 bytes[44]; } tZqCmOnuMacFilterPreAssignConfig;
typedef struct { uint8 bytes[52]; } tZqCmPmOnuGemPort;
typedef struct { uint8 bytes[316]; } tZqCmPmOnuEthPort;
typedef struct { uint8 bytes[312]; } tZqCmPmPonLinkCounter;
typedef struct { uint8 bytes[504]; } tZqCmPmNniCounter;
typedef struct { uint8 bytes[36]; } tZqCmXgponTcCounter;
typedef struct { uint8 bytes[84]; } tZqCmXgponMgmtCounter;
typedef struct { uint8 bytes[4]; } tZqCmPmActionHandle;
typedef struct { uint8 bytes[80]; } tZqCmPmOnuEthPortThresholdData;
typedef struct { uint8 bytes[28]; } tZqCmPmOnuGemPortThresholdData;
typedef struct { uint8 bytes[20]; } tZqCmPonPmThresholdData;
typedef struct { uint8 bytes[248]; } tZqCmOnuPmThresholdProfile;
typedef struct { uint8 bytes[40]; } tZqCmMacAddr;
typedef struct { uint8 bytes[520]; } tZqCmBatchMacAddr;
typedef struct { uint8 bytes[32]; } tZqCmOltActiveAlarm;
typedef struct { uint8 bytes[32]; } tZqCmOltHistAlarm;
typedef struct { uint8 bytes[76]; } tZqCmOltOnuAlarmStatus;
typedef struct { uint8 bytes[128]; } tZqCmOltMgrVersion;
typedef struct { uint8 bytes[4]; } tZqCmOnuDynamicStatus;
typedef struct { uint8 bytes[104]; } tZqCmOnuProf;
typedef struct { uint8 bytes[16]; } tZqCmMcastAcl;
typedef struct { uint8 bytes[20]; } tZqCmOnuAllocIdCfg;
typedef struct { uint8 bytes[104]; } tZqCmOnuEthUniCfgProfExt;
typedef struct { uint8 bytes[336]; } tZqCmSwdlPolicy;
typedef struct { uint8 bytes[24]; } tZqCmOnuMcastActiveGroupEntry;
typedef struct { uint8 bytes[12]; } tZqCmOnuWhiteList;
typedef struct { uint8 bytes[512]; } tZqCmOnuToProfMap;
typedef struct { uint8 bytes[68]; } tZqCmOnuMonitor;
typedef struct { uint8 bytes[272]; } tZqCmI2cReadWrite;
typedef struct { uint8 bytes[1032]; } tZqCmInterSocPsGenMsg;
typedef struct { uint8 bytes[132]; } tZqCmPmMeOperStateList16;
typedef struct { uint8 bytes[44]; } tZqCmOltMgrDebugInfo;
typedef struct { uint8 bytes[320]; } tZqCmPalApiCall;
typedef struct { uint8 bytes[26]; } tZqCmOnuRemoteDbgCfg;
typedef struct { uint8 bytes[176]; } tZqCmTransceiverCfg;

/* The resource record of a request or response (1072 bytes): one member per record. The three
 * pointer members only mark an extended record, which travels at offset 1640 of the message. */
typedef union {
    tZqCmGponSysConfig gponSysConfig;
    tZqCmOltGponProtoProf oltGponProtoProf;
    tZqCmOltSlotStatus oltSlotStatus;
    tZqCmOltPonLinkSetConfig oltPonLinkSetConfig;
    tZqCmOltPonLinkConfig oltPonLinkConfig;
    tZqCmOltMcasVlanToMcastGemPortMap oltMcasVlanToMcastGemPortMap;
    tZqCmOltMacBridgeFdb oltMacBridgeFdb;
    tZqCmOltMcastGroupToMcastVlanMap oltMcastGroupToMcastVlanMap;
    tZqCmOltVlanTranslateProf oltVlanTranslateProf;
    tZqCmOnuConfig onuConfig;
    tZqCmOnuVirtualPortConfig onuVirtualPortConfig;
    tZqCmOnuEthUniConfig onuEthUniConfig;
    tZqCmOnuEthUniConfigProf onuEthUniConfigProf;
    tZqCmOnuVideoUniConfig onuVideoUniConfig;
    tZqCmOnuVideoAniConfig onuVideoAniConfig;
    tZqCmOnuPotsUniConfig onuPotsUniConfig;
    tZqCmOnuTcontVirtualPortBindProf onuTcontVirtualPortBindProf;
    tZqCmOnuTcontServProf onuTcontServProf;
    tZqCmOnuVirtualPortServProf onuVirtualPortServProf;
    tZqCmOnuBandwidthProf onuBandwidthProf;
    tZqCmOnuRateCtrlSchedulerProf rateCtrlSchedulerProf;
    tZqCmOnuUserPortUpstreamTrafficMapProf onuUserPortUpstreamTrafficMapProf;
    tZqCmOnuUserPortCosUpstreamTrafficMapProf onuUserPortCosUpstreamTrafficMapProf;
    tZqCmOnuVidVpbitUpstreamTrafficMapProf onuVidVpbitUpstreamTrafficMapProf;
    tZqCmOnuVidUpstreamTrafficMapProf onuVidUpstreamTrafficMapProf;
    tZqCmOnuVlanPbitUpstreamTrafficMapProf onuVlanPbitUpstreamTrafficMapProf;
    tZqCmOnuRateCtrlSchedulerProf onuRateCtrlSchedulerProf;
    tZqCmOnuStaticMcastGroupProf onuStaticMcastGroupProf;
    tZqCmOnuDynamicMcastGroupProf onuDynamicMcastGroupProf;
    tZqCmOnuBlackList onuBlackList;
    tZqCmOnuMacFilterProfile onuMacFilterProf;
    tZqCmOnuUpgradeTaskAndResult* onuUpgradeTaskAndResultP;
    tZqCmOnuUpgradeConfigFileTask* onuUpgradeConfigFileP;
    tZqCmOnuVlanTranslateProf onuVlanTranslateProf;
    tZqCmOnuUpgradeHwType onuUpgradeHwType;
    tZqCmOnuVlanType onuVlanType;
    tZqCmOnuVoipServProf onuVoipServProf;
    tZqCmOnuSipAgentProf onuSipAgentProf;
    tZqCmOnuSipUserData onuSipUserData;
    tZqCmOnuDialPlanTable onuDialPlanTable;
    tZqCmOnuVoipMediaProf onuVoipMediaProf;
    tZqCmXgponChannel xgponChannel;
    tZqCmChannelProfile channelProfile;
    tZqCmBurstProfileTable burstProfileTable;
    tZqCmOnuMulticastOperProfile onuMultOperProfile;
    tZqCmOnuFlowProf onuFlowProf;
    tZqCmOnuVlanTranslateConfig onuVlanTranslateConfig;
    tZqCmOnuMacFilterPreAssignConfig onuMacFilterPreAssignConfig;
    tZqCmPmOnuGemPort pmOnuGemPort;
    tZqCmPmOnuEthPort pmOnuEthPort;
    tZqCmPmPonLinkCounter pmPonCounter;
    tZqCmPmNniCounter pmNniCounter;
    tZqCmXgponTcCounter pmXgponTcCounter;
    tZqCmXgponMgmtCounter pmXgponMgmtCounter;
    tZqCmPmActionHandle pmAction;
    tZqCmPmOnuEthPortThresholdData pmOnuEthPortThresholdData;
    tZqCmPmOnuGemPortThresholdData pmOnuGemPortThresholdData;
    tZqCmPonPmThresholdData ponPmThresholdData;
    tZqCmOnuPmThresholdProfile onuPmThdDataProf;
    tZqCmMacAddr ponMacAddr;
    tZqCmBatchMacAddr ponBatchMacAddr;
    tZqCmAlarmRegInfo alarmRegInfo;
    tZqCmAlarmInfo alarmInfo;
    tZqCmOltActiveAlarm oltActiveAlarm;
    tZqCmOltHistAlarm oltHistAlarm;
    tZqCmOltOnuAlarmStatus oltOnuAlarmStatus;
    tZqCmOltMgrVersion oltMgrVersion;
    tZqCmResInstance resInstance;
    tZqCmOnuDynamicStatus onuDynamicStatus;
    tZqCmOnuProf onuProf;
    tZqCmMcastAcl mcastAcl;
    tZqCmOnuAllocIdCfg onuAllocIdCfg;
    tZqCmOnuEthUniCfgProfExt onuEthUniConfigProfExt;
    tZqCmSwdlPolicy swdlPolicy;
    tZqCmOnuMcastActiveGroupEntry onuMcastActiveGroupEntry;
    tZqCmOnuWhiteList onuWhiteList;
    tZqCmOnuToProfMap onuToProfMap;
    tZqCmOnuMonitor onuMonitor;
    tZqCmI2cReadWrite i2cReadWrite;
    tZqCmInterSocPsGenMsg interSocPsGenMsg;
    tZqCmPmMeOperStateList16 operState;
    tZqCmTodCfg* todCfgP;
    tZqCmOltMgrDebugInfo debugInfo;
    tZqCmPalApiCall apiCall;
    tZqCmOnuRemoteDbgCfg onuRmtDbgCfg;
    tZqCmTransceiverCfg xgponTraceCfg;
} uZqCmRes;

OS_STATIC_ASSERT(sizeof(eZqCmApiResId) == 4 && sizeof(eZqCmApiResType) == 4, "enumerations are 32 bits");
OS_STATIC_ASSERT(sizeof(eZqCmAlarmType) == 4 && sizeof(eZqCmEventId) == 4, "enumerations are 32 bits");
OS_STATIC_ASSERT(sizeof(tZqCmGponSysConfig) == 444, "tZqCmGponSysConfig is 444 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, dbSave) == 28, "gponSysConfig: dbSave at 28");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, oltInitStatus) == 44, "gponSysConfig: oltInitStatus at 44");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, autoUpgradeServerAddr) == 48, "gponSysConfig: server at 48");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, showRunningConfig) == 308, "gponSysConfig: at 308");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, oltGVendorId) == 320, "gponSysConfig: vendor at 320");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, oltGversion) == 325, "gponSysConfig: version at 325");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, oltGEquipmentID) == 340, "gponSysConfig: at 340");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, hbRepetitionDelay) == 364, "gponSysConfig: at 364");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, hbUserName) == 372, "gponSysConfig: at 372");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, hbPassWord) == 402, "gponSysConfig: at 402");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, imaCfgComplete) == 432, "gponSysConfig: at 432");
OS_STATIC_ASSERT(offsetof(tZqCmGponSysConfig, xgsAuthenticationMethod) == 440, "gponSysConfig: at 440");
OS_STATIC_ASSERT(sizeof(tZqCmResInstance) == 2, "tZqCmResInstance is 2 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUpgradeTaskAndResult) == 804, "record of resource 36 is 804 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeTaskAndResult, onuUpgradeRebootMode) == 8, "upgrade: at 8");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeTaskAndResult, onuUpgradeParticipantPortListBitMap) == 30, "upgrade: at 30");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressResultPortListBitMap) == 606, "upgrade: at 606");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeTaskAndResult, onuUpgradeSwapMethod) == 704, "upgrade: at 704");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeTaskAndResult, onuUpgradeCancelPortListBitMap) == 708, "upgrade: at 708");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUpgradeConfigFileTask) == 372, "record of resource 38 is 372 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeConfigFileTask, onuUpgradeConfigFileImageName) == 19, "cfg file: at 19");
OS_STATIC_ASSERT(offsetof(tZqCmOnuUpgradeConfigFileTask, onuUpgradeConfigFilePpantPortListBitMap) == 276, "cfg file: at 276");
OS_STATIC_ASSERT(sizeof(tZqCmTodCfg) == 120, "record of resource 104 is 120 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmTodCfg, enable) == 8 && offsetof(tZqCmTodCfg, onuTodEnableList) == 20, "tod record");
OS_STATIC_ASSERT(sizeof(tZqCmAlarmFilterInfo) == 36, "tZqCmAlarmFilterInfo is 36 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmFilterInfo, alarmFilterType) == 32, "filter: type at 32");
OS_STATIC_ASSERT(sizeof(tZqCmAlarmRegInfo) == 80, "tZqCmAlarmRegInfo is 80 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmRegInfo, managerId) == 28, "alarm registration: managerId at 28");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmRegInfo, ipAddress) == 32, "alarm registration: ipAddress at 32");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmRegInfo, port) == 36, "alarm registration: port at 36");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmRegInfo, regType) == 40, "alarm registration: regType at 40");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmRegInfo, alarmFilterInfo) == 44, "alarm registration: filter at 44");
OS_STATIC_ASSERT(sizeof(uZqCmAlarmRes) == 24 && sizeof(uZqCmAlarmAdditionInfo) == 1024, "alarm unions");
OS_STATIC_ASSERT(sizeof(tZqCmAlarmInfo) == 1072, "tZqCmAlarmInfo is 1072 bytes");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmInfo, alarmSeqNo) == 28, "alarm: sequence number at 28");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmInfo, alarmOccurrenceTime) == 32, "alarm: time at 32");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmInfo, alarmSeverity) == 40, "alarm: severity at 40");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmInfo, alarmCondition) == 44, "alarm: condition at 44");
OS_STATIC_ASSERT(offsetof(tZqCmAlarmInfo, alarmAdditionInfo) == 48, "alarm: addition at 48");
OS_STATIC_ASSERT(sizeof(tZqCmOltGponProtoProf) == 136, "tZqCmOltGponProtoProf is 136 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltSlotStatus) == 12, "tZqCmOltSlotStatus is 12 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltPonLinkSetConfig) == 124, "tZqCmOltPonLinkSetConfig is 124 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltPonLinkConfig) == 224, "tZqCmOltPonLinkConfig is 224 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltMcasVlanToMcastGemPortMap) == 16, "tZqCmOltMcasVlanToMcastGemPortMap is 16 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltMacBridgeFdb) == 16, "tZqCmOltMacBridgeFdb is 16 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltMcastGroupToMcastVlanMap) == 16, "tZqCmOltMcastGroupToMcastVlanMap is 16 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltVlanTranslateProf) == 128, "tZqCmOltVlanTranslateProf is 128 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuConfig) == 688, "tZqCmOnuConfig is 688 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVirtualPortConfig) == 44, "tZqCmOnuVirtualPortConfig is 44 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuEthUniConfig) == 64, "tZqCmOnuEthUniConfig is 64 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuEthUniConfigProf) == 80, "tZqCmOnuEthUniConfigProf is 80 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVideoUniConfig) == 28, "tZqCmOnuVideoUniConfig is 28 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVideoAniConfig) == 68, "tZqCmOnuVideoAniConfig is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuPotsUniConfig) == 104, "tZqCmOnuPotsUniConfig is 104 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuTcontVirtualPortBindProf) == 68, "tZqCmOnuTcontVirtualPortBindProf is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuTcontServProf) == 72, "tZqCmOnuTcontServProf is 72 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVirtualPortServProf) == 96, "tZqCmOnuVirtualPortServProf is 96 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuBandwidthProf) == 72, "tZqCmOnuBandwidthProf is 72 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuRateCtrlSchedulerProf) == 68, "tZqCmOnuRateCtrlSchedulerProf is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUserPortUpstreamTrafficMapProf) == 68, "tZqCmOnuUserPortUpstreamTrafficMapProf is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUserPortCosUpstreamTrafficMapProf) == 84, "tZqCmOnuUserPortCosUpstreamTrafficMapProf is 84 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVidVpbitUpstreamTrafficMapProf) == 72, "tZqCmOnuVidVpbitUpstreamTrafficMapProf is 72 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVidUpstreamTrafficMapProf) == 68, "tZqCmOnuVidUpstreamTrafficMapProf is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVlanPbitUpstreamTrafficMapProf) == 64, "tZqCmOnuVlanPbitUpstreamTrafficMapProf is 64 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuStaticMcastGroupProf) == 80, "tZqCmOnuStaticMcastGroupProf is 80 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuDynamicMcastGroupProf) == 80, "tZqCmOnuDynamicMcastGroupProf is 80 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuBlackList) == 68, "tZqCmOnuBlackList is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMacFilterProfile) == 76, "tZqCmOnuMacFilterProfile is 76 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVlanTranslateProf) == 152, "tZqCmOnuVlanTranslateProf is 152 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuUpgradeHwType) == 292, "tZqCmOnuUpgradeHwType is 292 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVlanType) == 4, "tZqCmOnuVlanType is 4 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVoipServProf) == 260, "tZqCmOnuVoipServProf is 260 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuSipAgentProf) == 836, "tZqCmOnuSipAgentProf is 836 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuSipUserData) == 396, "tZqCmOnuSipUserData is 396 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuDialPlanTable) == 40, "tZqCmOnuDialPlanTable is 40 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVoipMediaProf) == 72, "tZqCmOnuVoipMediaProf is 72 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmXgponChannel) == 60, "tZqCmXgponChannel is 60 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmChannelProfile) == 44, "tZqCmChannelProfile is 44 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmBurstProfileTable) == 104, "tZqCmBurstProfileTable is 104 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMulticastOperProfile) == 92, "tZqCmOnuMulticastOperProfile is 92 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuFlowProf) == 84, "tZqCmOnuFlowProf is 84 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuVlanTranslateConfig) == 100, "tZqCmOnuVlanTranslateConfig is 100 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMacFilterPreAssignConfig) == 44, "tZqCmOnuMacFilterPreAssignConfig is 44 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmOnuGemPort) == 52, "tZqCmPmOnuGemPort is 52 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmOnuEthPort) == 316, "tZqCmPmOnuEthPort is 316 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmPonLinkCounter) == 312, "tZqCmPmPonLinkCounter is 312 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmNniCounter) == 504, "tZqCmPmNniCounter is 504 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmXgponTcCounter) == 36, "tZqCmXgponTcCounter is 36 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmXgponMgmtCounter) == 84, "tZqCmXgponMgmtCounter is 84 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmActionHandle) == 4, "tZqCmPmActionHandle is 4 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmOnuEthPortThresholdData) == 80, "tZqCmPmOnuEthPortThresholdData is 80 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmOnuGemPortThresholdData) == 28, "tZqCmPmOnuGemPortThresholdData is 28 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPonPmThresholdData) == 20, "tZqCmPonPmThresholdData is 20 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuPmThresholdProfile) == 248, "tZqCmOnuPmThresholdProfile is 248 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmMacAddr) == 40, "tZqCmMacAddr is 40 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmBatchMacAddr) == 520, "tZqCmBatchMacAddr is 520 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltActiveAlarm) == 32, "tZqCmOltActiveAlarm is 32 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltHistAlarm) == 32, "tZqCmOltHistAlarm is 32 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltOnuAlarmStatus) == 76, "tZqCmOltOnuAlarmStatus is 76 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltMgrVersion) == 128, "tZqCmOltMgrVersion is 128 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuDynamicStatus) == 4, "tZqCmOnuDynamicStatus is 4 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuProf) == 104, "tZqCmOnuProf is 104 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmMcastAcl) == 16, "tZqCmMcastAcl is 16 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuAllocIdCfg) == 20, "tZqCmOnuAllocIdCfg is 20 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuEthUniCfgProfExt) == 104, "tZqCmOnuEthUniCfgProfExt is 104 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmSwdlPolicy) == 336, "tZqCmSwdlPolicy is 336 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMcastActiveGroupEntry) == 24, "tZqCmOnuMcastActiveGroupEntry is 24 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuWhiteList) == 12, "tZqCmOnuWhiteList is 12 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuToProfMap) == 512, "tZqCmOnuToProfMap is 512 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuMonitor) == 68, "tZqCmOnuMonitor is 68 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmI2cReadWrite) == 272, "tZqCmI2cReadWrite is 272 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmInterSocPsGenMsg) == 1032, "tZqCmInterSocPsGenMsg is 1032 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPmMeOperStateList16) == 132, "tZqCmPmMeOperStateList16 is 132 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOltMgrDebugInfo) == 44, "tZqCmOltMgrDebugInfo is 44 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmPalApiCall) == 320, "tZqCmPalApiCall is 320 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmOnuRemoteDbgCfg) == 26, "tZqCmOnuRemoteDbgCfg is 26 bytes");
OS_STATIC_ASSERT(sizeof(tZqCmTransceiverCfg) == 176, "tZqCmTransceiverCfg is 176 bytes");
OS_STATIC_ASSERT(sizeof(uZqCmRes) == 1072, "uZqCmRes is 1072 bytes");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCONFIG_H */
