// print_lua_names.cpp - prints the dissector's name tables from the generated C++ table: for each
// enumeration the dissector names, one Lua table from value to enumerator; where several
// enumerators share a value the first one that is not a _MIN bound names it.
#include <cstdio>
#include <map>
#include <string>

#include "cm_names.h"

namespace {

// The enumerations the dissector names, in the order of its generated block.
constexpr std::string_view kDissectorTypes[] = {
    "eZqOltModuleId", "eZqCmMsgType", "eZqCmOperType", "eZqCmApiResType", "eZqCmApiResId",
    "eOsRet", "eOsBool", "eOsState", "eZqCmIgmpProxyRoutingMode", "eZqCmAuthenticationMethod",
    "eZqCmDbSaveStatus", "eZqCmDbAuditStatus", "eZqCmSystemMode", "eZqCmOltMgrInitStatus",
    "eZqCmOnuUpgradeRebootMode", "eZqCmOnuUpgradeSwapMode", "eZqCmAlarmType", "eZqCmAlarmSeverity",
    "eZqCmAlarmCondition", "eZqCmAlarmRegType", "eZqCmAlarmFilterType", "eZqCmEventId",
    "eZqProfileOperation", "eZqCmPmInnerMsgType", "eZqCmIntervalId", "eZqCmMacTblKeyType"};

bool IsMinBound(std::string_view name) { return name.ends_with("_MIN"); }

} // namespace

int main() {
    for (std::string_view type : kDissectorTypes) {
        const cmnames::Enumeration *enumeration = cmnames::FindEnumeration(type);
        if (enumeration == nullptr) {
            std::fprintf(stderr, "the headers have no enumeration %.*s\n", static_cast<int>(type.size()), type.data());
            return 1;
        }
        std::map<uint32_t, std::string_view> byValue;
        for (const cmnames::Enumerator &e : enumeration->enumerators) {
            auto [found, added] = byValue.emplace(e.value, e.name);
            if (!added && IsMinBound(found->second) && !IsMinBound(e.name)) found->second = e.name;
        }
        std::printf("names.%.*s = {\n", static_cast<int>(type.size()), type.data());
        for (const auto &[value, name] : byValue)
            std::printf("    [%u] = \"%.*s\",\n", value, static_cast<int>(name.size()), name.data());
        std::printf("}\n");
    }
    std::printf("names.sysConfigMaskBits = {\n");
    for (const cmnames::Enumerator &bit : cmnames::kSysConfigMaskBits)
        std::printf("    {0x%08x, \"%.*s\"},\n", bit.value, static_cast<int>(bit.name.size()), bit.name.data());
    std::printf("}\n");
    return 0;
}
