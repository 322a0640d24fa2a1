// The CM names the OLT manager peer, the emulator and cmctl print: read from the table generated
// from the public headers, with the bounds left out and the shared prefix cut off.
#include <gtest/gtest.h>

#include <string>

#include "cm_names.h"
#include "oltmgr_names.h"

namespace {

std::string Text(const char *name) { return name == nullptr ? "(null)" : name; }

TEST(NamesTest, OltManagerNamesFollowTheHeaders) {
    struct Case {
        const char *what;
        const char *(*lookup)(uint32_t);
        uint32_t value;
        const char *expected;
    };
    const Case cases[] = {
        {"first resource", oltmgr::ResIdName, 1, "EQPT_GPON_SYS_CONFIG"},
        {"resource 6", oltmgr::ResIdName, 6, "EQPT_ONU_CONFIG"},
        {"last resource", oltmgr::ResIdName, eZQ_CMAPI_RES_ID_MAX - 1, "XGPON_TRANSCEIVER_CONFIG"},
        {"resource 0 names nothing", oltmgr::ResIdName, 0, "(null)"},
        {"the bound is no resource", oltmgr::ResIdName, eZQ_CMAPI_RES_ID_MAX, "(null)"},
        {"first operation", oltmgr::OperName, 1, "CREATE"},
        {"last operation", oltmgr::OperName, 11, "GET_CFG_BY_SERNUMBER"},
        {"operation 0 names nothing", oltmgr::OperName, 0, "(null)"},
        {"the operation bound", oltmgr::OperName, eZQ_CM_OPER_TYPE_MAX, "(null)"},
        {"success, not its _MIN alias", oltmgr::RetName, 0, "eOS_RET_SUCCESS"},
        {"a manager result", oltmgr::RetName, 23, "eOS_RET_OLT_INSTANCE_EXISTS"},
        {"last device-layer result", oltmgr::RetName, 46, "eOS_RET_PAL_GET_ONU_STATUS_FAIL_ONU_NOT_EXIST"},
        {"between the ranges", oltmgr::RetName, 47, "(null)"},
        {"a provisioning result", oltmgr::RetName, 10015, "eOS_RET_PROVISION_ERROR_REASON_UNI_TYPE_MISCONFIGURATION"},
        {"the driver base", oltmgr::RetName, 20000, "eOS_RET_BCM_ERR_BASE"},
        {"the result bound", oltmgr::RetName, eOS_RET_MAX, "(null)"},
        {"an ONU alarm", oltmgr::AlarmTypeName, 118, "ONU_ALARM_LOW_RX_OPTICAL_POWER"},
        {"alarm type 0", oltmgr::AlarmTypeName, 0, "ALARM_NONE"},
        {"no alarm type", oltmgr::AlarmTypeName, 7000, "(null)"},
        {"an event", oltmgr::EventName, 4, "ONU_ACTIVATED"},
        {"the event bound", oltmgr::EventName, eZQ_CMAPI_EVENT_TYPE_MAX, "(null)"},
    };
    for (const Case &c : cases) EXPECT_EQ(Text(c.lookup(c.value)), c.expected) << c.what;
}

TEST(NamesTest, ShortNamesCutTheSharedPrefixAndSkipBounds) {
    struct Case {
        const char *type;
        uint32_t value;
        const char *expected; // "" when the value has no short name
    };
    const Case cases[] = {
        {"eZqCmAlarmType", eZQ_CMAPI_OLT_ALARM_LOS, "OLT_ALARM_LOS"},
        {"eZqCmAlarmType", eZq_CMAPI_HEART_BEAT_LOS, "HEART_BEAT_LOS"}, // prefix in another case
        {"eZqCmAlarmType", 650, "VOIP_ALARM_ONU_SIPUD_REG_AUTH"}, // shares its value with a _MIN
        {"eZqCmAlarmType", eZQ_CMAPI_ALARM_MAX, ""},
        {"eZqCmAlarmType", 7000, ""},
        {"eZqCmEventId", eZQ_CMAPI_EVENT_ONU_ACTIVATED, "ONU_ACTIVATED"},
        {"eZqCmEventId", 0, ""},
        {"eZqCmAlarmSeverity", 0, "CLEAR"},
        {"eZqCmAlarmSeverity", 5, "CRITICAL"},
        {"eZqTraceLevel", 0, "DEBUG"},
        {"eZqCmSystemMode", 4, "ANY_PON__8_X"},
        {"eOsState", 0, ""},
    };
    for (const Case &c : cases) {
        const cmnames::Enumeration *enumeration = cmnames::FindEnumeration(c.type);
        ASSERT_NE(enumeration, nullptr) << c.type;
        EXPECT_EQ(cmnames::ShortName(enumeration->names, c.value), c.expected) << c.type << " " << c.value;
    }
    EXPECT_EQ(cmnames::FindEnumeration("eNoSuchEnum"), nullptr);
}

TEST(NamesTest, EveryShortNameIsItsEnumeratorWithoutThePrefix) {
    for (const cmnames::Enumeration &enumeration : cmnames::kEnumerations) {
        size_t named = 0;
        for (const cmnames::Enumerator &enumerator : enumeration.enumerators) {
            if (enumerator.bound) continue;
            ASSERT_LT(named, enumeration.names.size()) << enumeration.type;
            const cmnames::EnumName &entry = enumeration.names[named++];
            EXPECT_EQ(entry.value, enumerator.value) << enumerator.name;
            EXPECT_EQ(enumeration.prefix.size() + entry.name.size(), enumerator.name.size()) << enumerator.name;
            EXPECT_TRUE(enumerator.name.ends_with(entry.name)) << enumerator.name;
            EXPECT_FALSE(entry.name.empty()) << enumerator.name;
            EXPECT_EQ(entry.name.data()[entry.name.size()], '\0') << enumerator.name;
        }
        EXPECT_EQ(named, enumeration.names.size()) << enumeration.type;
    }
}

} // namespace
