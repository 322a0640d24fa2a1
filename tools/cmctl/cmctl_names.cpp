// cmctl_names.cpp - the name tables of cmctl and the lookups that read numbers and names.
#include "cmctl_names.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace cmctl {

namespace {

constexpr ResourceName kResources[] = {
    {0, "NONE", eZQ_CMAPI_RES_TYPE_MIN},
    {1, "EQPT_GPON_SYS_CONFIG", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {2, "EQPT_OLT_SLOT_STATUS", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {3, "EQPT_OLT_PON_LINK_SET_CONFIG", eZQ_CMAPI_RES_TYPE_LINK_SET},
    {4, "EQPT_OLT_PON_LINK_CONFIG", eZQ_CMAPI_RES_TYPE_LINK},
    {5, "EQPT_OLT_GPON_PROTO_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {6, "EQPT_ONU_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {7, "EQPT_ONU_VIRTUAL_PORT_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {8, "EQPT_ONU_ETH_UNI_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {9, "EQPT_ONU_VIDEO_UNI_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {10, "EQPT_ONU_VIDEO_ANI_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {11, "EQPT_ONU_ETH_UNI_CONFIG_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {12, "EQPT_ONU_POTS_UNI_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {13, "EQPT_ONU_VLAN_TRANSLATE_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {14, "EQPT_ONU_MAC_FILTER_PRE_CONFIG", eZQ_CMAPI_RES_TYPE_ONU},
    {15, "SERV_ONU_TCONT_VIRTUAL_PORT_BIND_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {16, "SERV_ONU_TCONT_SERV_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {17, "SERV_ONU_VIRTUAL_PORT_SERV_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {18, "SERV_ONU_BANDWIDTH_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {19, "SERV_ONU_RATECTRL_SCHEDULER_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {20, "SERV_ONU_FLOW_TABLE_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {21, "SERV_ONU_USER_PORT_UPSTREAM_TRAFFIC_MAP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {22, "SERV_ONU_VLAN_PBIT_UPSTREAM_TRAFFIC_MAP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {23, "SERV_ONU_VID_UPSTREAM_TRAFFIC_MAP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {24, "SERV_ONU_VID_VPBIT_UPSTREAM_TRAFFIC_MAP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {25, "SERV_ONU_USER_PORT_COS_UPSTREAM_TRAFFIC_MAP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {26, "SERV_OLT_VLAN_TRANSLATE_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {27, "SERV_ONU_VLAN_TRANSLATE_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {28, "SERV_OLT_MAC_BRIDGE_FDB", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {29, "SERV_ONU_MAC_BRIDGE_FDB", eZQ_CMAPI_RES_TYPE_ONU},
    {30, "SERV_OLT_MCAST_GROUP_TO_MCAST_VLAN_MAP", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {31, "SERV_OLT_MCAST_VLAN_TO_MCAST_GEM_PORT_MAP", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {32, "SERV_ONU_STATIC_MCAST_GROUP_PROF", eZQ_CMAPI_RES_TYPE_PM},
    {33, "SERV_ONU_DYNAMIC_MCAST_GROUP_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {34, "SERV_ONU_VOIP_SERV_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {35, "SERV_ONU_BLACK_LIST", eZQ_CMAPI_RES_TYPE_ONU},
    {36, "SERV_ONU_UPGRADE_TASK_AND_RESULT", eZQ_CMAPI_RES_TYPE_SWDL},
    {37, "SERV_ONU_UPGRADE_HW_TYPE", eZQ_CMAPI_RES_TYPE_SWDL},
    {38, "SERV_ONU_ONUCONFIG_FILE", eZQ_CMAPI_RES_TYPE_CFGFILE},
    {39, "SERV_ONU_VLAN_TYPE", eZQ_CMAPI_RES_TYPE_PROFILE},
    {40, "SERV_ONU_MULT_OPER_PROFILE", eZQ_CMAPI_RES_TYPE_PROFILE},
    {41, "SERV_ONU_MAC_FILTER_PRE_PROFILE", eZQ_CMAPI_RES_TYPE_PROFILE},
    {42, "SERV_ONU_MAC_FILTER_PROFILE", eZQ_CMAPI_RES_TYPE_PROFILE},
    {43, "SERV_ONU_SIP_AGENT_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {44, "SERV_ONU_SIP_USER_DATA", eZQ_CMAPI_RES_TYPE_PROFILE},
    {45, "SERV_ONU_DIAL_PLAN_TABLE", eZQ_CMAPI_RES_TYPE_PROFILE},
    {46, "SERV_ONU_VOIP_MEDIA_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {47, "PM_ONU_ETH_PORT_THRESHOLD_DATA_PROFILE", eZQ_CMAPI_RES_TYPE_PM},
    {48, "PM_ONU_GEM_PORT_THRESHOLD_DATA_PROFILE", eZQ_CMAPI_RES_TYPE_PM},
    {49, "PM_PON_THRESHOLD_DATA_PROFILE", eZQ_CMAPI_RES_TYPE_PM},
    {50, "PM_THRESHOLD_DATA_PROFILE", eZQ_CMAPI_RES_TYPE_PM},
    {51, "VERSION", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {52, "SERV_OLT_MAC_ADDRESS", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {53, "SERV_ONU_PROF", eZQ_CMAPI_RES_TYPE_PROFILE},
    {54, "OLT_MCAST_ACL", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {55, "ONU_ALLOC_ID_CFG", eZQ_CMAPI_RES_TYPE_ONU},
    {56, "ONU_ETH_UNI_CFG_PROF_EXT", eZQ_CMAPI_RES_TYPE_PROFILE},
    {57, "SOFTWARE_UPGRADE_POLICY_TABLE", eZQ_CMAPI_RES_TYPE_SWDL},
    {58, "MCAST_ACTIVE_GROUP_ENTRY", eZQ_CMAPI_RES_TYPE_ONU},
    {59, "ONU_MONITOR", eZQ_CMAPI_RES_TYPE_ONU},
    {60, "OLT_XGPON_CHANNEL", eZQ_CMAPI_RES_TYPE_LINK},
    {61, "OLT_CHANNEL_PROFILE", eZQ_CMAPI_RES_TYPE_LINK},
    {62, "OLT_BURST_PROFILE_TABLE", eZQ_CMAPI_RES_TYPE_LINK},
    {63, "ALARM_DB", eZQ_CMAPI_RES_TYPE_ALARM},
    {64, "PM_ONU_GEM_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {65, "PM_ONU_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {66, "PM_PON_COUNTER", eZQ_CMAPI_RES_TYPE_PM},
    {67, "PM_NNI_COUNTER", eZQ_CMAPI_RES_TYPE_PM},
    {68, "PON_ACTIVE_COUNTER_NNI_STAT_GET", eZQ_CMAPI_RES_TYPE_PM},
    {69, "PM_PON_ACTIVE_COUNTER", eZQ_CMAPI_RES_TYPE_PM},
    {70, "PM_ONU_ACTIVE_GEM_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {71, "PM_ONU_ACTIVE_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {72, "PM_LINK_ACTION_HANDLE", eZQ_CMAPI_RES_TYPE_PM},
    {73, "PM_ONU_ACTION_HANDLE", eZQ_CMAPI_RES_TYPE_PM},
    {74, "PM_ONU_CURRENT_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {75, "PM_ONU_CURRENT_GEM_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {76, "PM_CUMU_STAT_PON_COUNTER", eZQ_CMAPI_RES_TYPE_PM},
    {77, "ALARM_OLT_ACTIVE_ALARM_TABLE", eZQ_CMAPI_RES_TYPE_ALARM},
    {78, "ALARM_OLT_HIST_ALARM_TABLE", eZQ_CMAPI_RES_TYPE_ALARM},
    {79, "EQPT_ONU_DYNAMIC_STATUS", eZQ_CMAPI_RES_TYPE_PM},
    {80, "EQPT_OLT_INIT_STATUS", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {81, "SERV_ONU_MCAST_ACTIVE_GROUP_LIST", eZQ_CMAPI_RES_TYPE_ONU},
    {82, "PM_ONU_15MIN_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {83, "PM_ONU_1HOUR_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {84, "PM_ONU_1DAY_ETH_PORT", eZQ_CMAPI_RES_TYPE_PM},
    {85, "SERV_ONU_WHITE_LIST", eZQ_CMAPI_RES_TYPE_ONU},
    {86, "ONU_TO_PROF_MAP", eZQ_CMAPI_RES_TYPE_PROFILE},
    {87, "I2C_READ_WRITE", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {88, "EQPT_ONU_CONFIG_LIST", eZQ_CMAPI_RES_TYPE_ONU},
    {89, "SERV_OLT_BATCH_MAC_ADDRESS", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {90, "ALARM_OLT_ONU_ALARM_STATUS", eZQ_CMAPI_RES_TYPE_PM},
    {91, "SEND_PKT_OVER_GEMPORT", eZQ_CMAPI_RES_TYPE_LINK},
    {92, "REG_ADP", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {93, "ONU_ACTIVE_GEM_PORT_STAT_CFG_GET", eZQ_CMAPI_RES_TYPE_PM},
    {94, "PON_ACTIVE_COUNTER_STAT_CFG_GET", eZQ_CMAPI_RES_TYPE_PM},
    {95, "ONU_ACTIVE_GEM_PORT_STAT_GET", eZQ_CMAPI_RES_TYPE_PM},
    {96, "EQPT_OLT_SEND_INTER_SOC_PS_GEN_MSG", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {97, "AVC_ALARM_HEART_BEAT_LOS", eZQ_CMAPI_RES_TYPE_ALARM},
    {98, "AVC_ALARM_IMA_CFG_COMPLETE", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {99, "XGPON_TC_PM_DATA", eZQ_CMAPI_RES_TYPE_PM},
    {100, "XGPON_TC_PM_DATA_ACTIVE", eZQ_CMAPI_RES_TYPE_PM},
    {101, "XGPON_MGMT_PM_DATA", eZQ_CMAPI_RES_TYPE_PM},
    {102, "XGPON_MGMT_PM_DATA_ACTIVE", eZQ_CMAPI_RES_TYPE_PM},
    {103, "GET_PM_OPER_ME_STATUS", eZQ_CMAPI_RES_TYPE_PM},
    {104, "TOD_REQ_MSG", eZQ_CMAPI_RES_TYPE_TOD},
    {105, "PROFILE_OLT_MGR_DEBUG", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {106, "PAL_API", eZQ_CMAPI_RES_TYPE_SYSTEM},
    {107, "ONU_REMOTE_DEBUG", eZQ_CMAPI_RES_TYPE_ONU},
    {108, "XGPON_TRANSCEIVER_CONFIG", eZQ_CMAPI_RES_TYPE_SYSTEM},
};
static_assert(std::size(kResources) == eZQ_CMAPI_RES_ID_MAX, "one name for every resource id");

struct RetEntry {
    int32_t value;
    std::string_view name;
};

constexpr RetEntry kRets[] = {
    {0, "eOS_RET_SUCCESS"},
    {1, "eOS_RET_FAILURE"},
    {2, "eOS_RET_INVALID_ARG"},
    {3, "eOS_RET_INVALID_STATE"},
    {4, "eOS_RET_NO_RESOURCE"},
    {5, "eOS_RET_TIME_OUT"},
    {6, "eOS_RET_AGAIN"},
    {7, "eOS_RET_NOT_EXIST"},
    {8, "eOS_RET_ALREADY_EXIST"},
    {9, "eOS_RET_ONU_MIB_NOT_READY"},
    {10, "eOS_RET_CONFIG_CONTINUE"},
    {11, "eOS_RET_PAL_DEVICE_BUSY"},
    {12, "eOS_RET_SUCCESS_COMPLETE"},
    {13, "eOS_RET_OMCI_UNKNOWN_ONU"},
    {14, "eOS_RET_OMCI_UNKNOWN_CLASS"},
    {15, "eOS_RET_OMCI_UNKNOWN_ACTION"},
    {16, "eOS_RET_OMCI_UNKNOWN_ATTR"},
    {17, "eOS_RET_OMCI_UNSUPPORTED_ACTION"},
    {18, "eOS_RET_OMCI_UNSUPPORTED_ATTR"},
    {19, "eOS_RET_OLT_UNKNOWN_ENTITY"},
    {20, "eOS_RET_OLT_UNKNOWN_OPER"},
    {21, "eOS_RET_OLT_UNKNOWN_ATTR"},
    {22, "eOS_RET_OLT_INVALID_OPER"},
    {23, "eOS_RET_OLT_INSTANCE_EXISTS"},
    {24, "eOS_RET_OLT_NO_INSTANCE_EXISTS"},
    {25, "eOS_RET_ONUMGR_INSTANCE_EXISTS"},
    {26, "eOS_RET_CM_SOCKET_BIND_ERROR"},
    {27, "eOS_RET_CM_SOCKET_SEND_FAIL"},
    {28, "eOS_RET_CM_SOCKET_RCV_ERROR"},
    {29, "eOS_RET_CM_REQUEST_TIMEOUT"},
    {30, "eOS_RET_DB_FILE_OPEN_FAIL"},
    {31, "eOS_RET_DB_FILE_CORRUPT"},
    {32, "eOS_RET_DB_FILE_READ_ERROR"},
    {33, "eOS_RET_DB_FILE_WRITE_ERROR"},
    {34, "eOS_RET_DB_RECORD_ERROR"},
    {35, "eOS_RET_PAL_RX_TIMEOUT"},
    {36, "eOS_RET_PAL_TX_TIMEOUT"},
    {37, "eOS_RET_PAL_TASK_ID_ARRAY_FULL"},
    {38, "eOS_RET_PAL_INVALID_LINK_ID"},
    {39, "eOS_RET_PAL_INVALID_ONU_ID"},
    {40, "eOS_RET_PAL_DEVICE_BIND_FAIL"},
    {41, "eOS_RET_PAL_DEVICE_INIT_FAIL"},
    {42, "eOS_RET_PAL_LINK_INIT_FAIL_DEVICE_NOT_READY"},
    {43, "eOS_RET_PAL_LINK_ACTIVATION_FAIL"},
    {44, "eOS_RET_PAL_LINK_DEACTIVATION_FAIL_ONUS_ACTIVE"},
    {45, "eOS_RET_PAL_ONU_ADD_FAIL_SN_ALREADY_EXISTS"},
    {46, "eOS_RET_PAL_GET_ONU_STATUS_FAIL_ONU_NOT_EXIST"},
    {10000, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_ME"},
    {10001, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_VIRTUAL_ETH_INTF_POINT_ME"},
    {10002, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_IP_HOST_CONFIG_DATA_ME"},
    {10003, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_PPTP_ETH_UNI_ME"},
    {10004, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_VIRTUAL_PORT_BIND_PROF"},
    {10005, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_VIRTUAL_PORT_CONFIG"},
    {10006, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_ONU_VIRTUAL_PORT_SERV_PROF"},
    {10007, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_SERV_PROF"},
    {10008, "eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_BANDWIDTH_PROF"},
    {10009, "eOS_RET_PROVISION_ERROR_REASON_INVALID_ARG_TCONT_INDEX"},
    {10010, "eOS_RET_PROVISION_ERROR_REASON_ASSIGN_ALLOCID_FAILED"},
    {10011, "eOS_RET_PROVISION_ERROR_REASON_CONFIG_ALLOCID_ERROR"},
    {10012, "eOS_RET_PROVISION_ERROR_REASON_CONFIG_GEMPORT_ERROR"},
    {10013, "eOS_RET_PROVISION_ERROR_REASON_US_ASSIGN_GEMPORT_ERROR"},
    {10014, "eOS_RET_PROVISION_ERROR_REASON_DS_CONFIG_FLOW_ERROR"},
    {10015, "eOS_RET_PROVISION_ERROR_REASON_UNI_TYPE_MISCONFIGURATION"},
    {20000, "eOS_RET_BCM_ERR_BASE"},
};

constexpr bool ResourcesInOrder() {
    for (size_t i = 0; i < std::size(kResources); ++i)
        if (kResources[i].id != i) return false;
    return true;
}
static_assert(ResourcesInOrder(), "the resource table is indexed by id");

} // namespace

std::span<const ResourceName> Resources() { return kResources; }

const ResourceName *FindResource(uint32_t id) {
    return id < std::size(kResources) ? &kResources[id] : nullptr;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseResource(std::string_view text) {
    if (auto number = ParseNumber(text, UINT32_MAX)) return static_cast<uint32_t>(*number);
    if (text.size() > kResourcePrefix.size() &&
        SameText(text.substr(0, kResourcePrefix.size()), kResourcePrefix))
        text.remove_prefix(kResourcePrefix.size());
    for (const ResourceName &resource : kResources)
        if (SameText(resource.name, text)) return resource.id;
    return std::nullopt;
}

std::string ResourceLabel(uint32_t id) {
    const ResourceName *resource = FindResource(id);
    return resource != nullptr ? std::string(resource->name) : std::to_string(id);
}

std::string_view RetName(int32_t ret) {
    for (const RetEntry &entry : kRets)
        if (entry.value == ret) return entry.name;
    return {};
}

std::string RetText(int32_t ret) {
    std::string_view name = RetName(ret);
    if (name.empty()) return std::to_string(ret);
    return std::string(name) + " (" + std::to_string(ret) + ")";
}

std::string_view NameOf(std::span<const EnumName> names, uint32_t value) {
    for (const EnumName &entry : names)
        if (entry.value == value) return entry.name;
    return {};
}

std::string NamedValue(std::span<const EnumName> names, uint32_t value) {
    std::string_view name = NameOf(names, value);
    return name.empty() ? std::to_string(value) : std::string(name) + " (" + std::to_string(value) + ")";
}

std::optional<uint32_t> ValueOf(std::span<const EnumName> names, std::string_view text,
                                uint32_t max) {
    for (const EnumName &entry : names)
        if (SameText(entry.name, text)) return entry.value;
    if (auto number = ParseNumber(text, max)) return static_cast<uint32_t>(*number);
    return std::nullopt;
}

std::string_view AlarmClass(uint32_t alarmType) {
    if (alarmType >= 1 && alarmType < 100) return "OLT";
    if (alarmType >= 100 && alarmType < 400) return "ONU";
    if (alarmType >= 400 && alarmType <= 506) return "TCA";
    if (alarmType >= 507 && alarmType < 600) return "PM";
    if (alarmType >= 600 && alarmType < 650) return "SYSTEM";
    if (alarmType >= 650 && alarmType < 700) return "VOIP";
    return "OTHER";
}

} // namespace cmctl
