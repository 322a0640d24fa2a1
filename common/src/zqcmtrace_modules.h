// zqcmtrace_modules.h - the trace modules, one row each: the name a service module's records carry
// and the mask enablelog gives a module. Each row names its module, and the rows are checked to
// stand at their module's index, so a row cannot land in the wrong place.
#ifndef RELAYKIT_ZQCMTRACE_MODULES_H
#define RELAYKIT_ZQCMTRACE_MODULES_H

#include <span>
#include <string_view>

#include "zqcmtrace.h"

// enablelog leaves a module whose row says kKeep as it is, and sets every other module's mask.
constexpr int kKeep = -1;
// The usual traces: API, PM, MESSAGE, TIMER, BUFFER and INFO.
constexpr int kUsual = 63;

struct tSvcTraceModule {
    eSvcModuleId module;
    const char *nameP; // the record prefix "[<name>]"
    int enableLogMask;
};

struct tCmTraceModule {
    eZqOltModuleId module;
    int enableLogMask;
};

inline constexpr tSvcTraceModule kSvcTraceModules[] = {
    {.module = eSVC_MODULE_ID_NONE, .nameP = "LOG", .enableLogMask = kKeep},
    {.module = eSVC_MODULE_ID_SVC, .nameP = "SVC", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_SVC_MGR, .nameP = "SVCMGR", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_OMCI_ME, .nameP = "OMCI_ME", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_PROTOCOL_LOW, .nameP = "OMCI_L", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_PROTOCOL_HIGH, .nameP = "OMCI_H", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_AGT_LOW, .nameP = "OMCI_AGT_L", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_AGT_HIGH, .nameP = "OMCI_AGT_H", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_MIB, .nameP = "OMCI_MIB", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCI_PM, .nameP = "OMCI_PM", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_OMCC, .nameP = "OMCC", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_ME_TEST_AGT, .nameP = "ME_TEST_AGT", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SNMP, .nameP = "SNMP", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SWDL, .nameP = "SWDL", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_LMT, .nameP = "LMT", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SVCT, .nameP = "SVCT", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_PAL, .nameP = "PAL", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_ALARM, .nameP = "ALARM", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_PM, .nameP = "PM", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_EXT_CML_API, .nameP = "EXT_CML_API", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_IN_CML_API, .nameP = "IN_CML_API", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_CML_TX, .nameP = "CML_TX", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_CML_RX, .nameP = "CML_RX", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_CML_DISPATCH, .nameP = "DISP", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SOC_EVENT, .nameP = "EVT", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_PAL_TX, .nameP = "PAL_TX", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_PAL_RX, .nameP = "PAL_RX", .enableLogMask = 0},
    {.module = eSVC_MODULE_ID_IGMP_PROXY, .nameP = "IGMP", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SQL_DB, .nameP = "SQL", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_DEVINIT, .nameP = "DEV", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_SYSTEM, .nameP = "SYS", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_MW_VOIP, .nameP = "VOIP", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_IPIF_TEST, .nameP = "IPIF", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_CML_CMD, .nameP = "CML_REQ", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_PROTECTION_SWITCH, .nameP = "PS", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_CFGFILE, .nameP = "CFGFILE", .enableLogMask = kUsual},
    {.module = eSVC_MODULE_ID_HEART_BEAT, .nameP = "HB", .enableLogMask = kKeep},
    {.module = eSVC_MODULE_ID_SUPRESS_LOSI, .nameP = "SUPRESS_LOSI", .enableLogMask = kKeep},
    {.module = eSVC_MODULE_ID_LOG, .nameP = "LOG", .enableLogMask = kKeep},
    {.module = eSVC_MODULE_ID_TOD, .nameP = "TOD", .enableLogMask = kKeep},
};

inline constexpr tCmTraceModule kCmTraceModules[] = {
    {.module = eZQ_OLT_MAN_MODULE_MIN, .enableLogMask = kKeep},
    {.module = eZQ_OLT_MAN_MODULE_EXT_SNMP, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_EXT_CLI, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_EXT_WEB, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_EXT_CML_API, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_IN_COMMUNICATION, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_IN_CML_API, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_PAL_TX, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_PAL_RX, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_CML_DISPATCH, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_CML_TX, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_CML_RX, .enableLogMask = kUsual},
    {.module = eZQ_OLT_MAN_MODULE_SVC, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_SVCMGR, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_SOC_EVENT, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_SWDL, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_PM, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_ALM, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_LOCALMGR, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_PROTECTION_SWITCH, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_DB, .enableLogMask = 0},
    {.module = eZQ_OLT_MAN_MODULE_TOD, .enableLogMask = kKeep},
};

// Every module has a row, at its own index.
template <typename Row> constexpr bool TraceModuleRowsAreSound(std::span<const Row> rows, size_t modules) {
    if (rows.size() != modules) return false;
    for (size_t index = 0; index < rows.size(); ++index)
        if (static_cast<size_t>(rows[index].module) != index) return false;
    return true;
}
static_assert(TraceModuleRowsAreSound<tSvcTraceModule>(kSvcTraceModules, ZQ_TRACE_MODULE_NUM));
static_assert(TraceModuleRowsAreSound<tCmTraceModule>(kCmTraceModules, ZQ_CM_TRACE_MODULE_NUM));

// The exported name table says what the rows say, and "INVALID" after the last module.
constexpr bool ModuleNamesMatchRows(const char *const (&names)[ZQ_TRACE_MODULE_NUM + 1]) {
    for (const tSvcTraceModule &row : kSvcTraceModules)
        if (std::string_view(names[row.module]) != row.nameP) return false;
    return std::string_view(names[ZQ_TRACE_MODULE_NUM]) == "INVALID";
}

#endif // RELAYKIT_ZQCMTRACE_MODULES_H
