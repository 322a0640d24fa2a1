// cmctl_names.h - the names cmctl reads and prints for the CM vocabulary: resource ids with the
// resource type each one is requested with, results (eOsRet), start-up states, alarm fields, and
// the enumerations of the records cmctl shows field by field. Every name of a public enumeration
// comes from the table generated from the public headers; cmctl adds the resource types.
#ifndef RELAYKIT_CMCTL_NAMES_H
#define RELAYKIT_CMCTL_NAMES_H

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cm_names.h"
#include "zqcmapi.h"

namespace cmctl {

using cmnames::EnumName;

struct ResourceName {
    uint32_t id;
    std::string_view name; // without the eZQ_CMAPI_RES_ID_ prefix
    eZqCmApiResType type;  // the type cmctl requests it with unless told otherwise
};

inline constexpr std::string_view kResourcePrefix = "eZQ_CMAPI_RES_ID_";

// Every resource id 0..108 in order; FindResource is null for any other id.
std::span<const ResourceName> Resources();
const ResourceName *FindResource(uint32_t id);
// A resource by name (case-insensitive, with or without the prefix) or by number (any 32-bit
// value: the library passes unknown ids through).
std::optional<uint32_t> ParseResource(std::string_view text);
std::string ResourceLabel(uint32_t id); // the name, or the number for an unknown id

// The eOsRet enumerator of a result, empty when it has none.
std::string_view RetName(int32_t ret);
std::string RetText(int32_t ret); // "eOS_RET_OLT_INSTANCE_EXISTS (23)", or the number alone

bool SameText(std::string_view a, std::string_view b); // ASCII case-insensitive
// An unsigned number in decimal or 0x hexadecimal, no larger than max.
std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max);
std::string_view NameOf(std::span<const EnumName> names, uint32_t value); // empty when unknown
// "READY (3)", or the number alone when it has no name.
std::string NamedValue(std::span<const EnumName> names, uint32_t value);
// A value by name (case-insensitive) or by number up to max.
std::optional<uint32_t> ValueOf(std::span<const EnumName> names, std::string_view text,
                                uint32_t max = UINT32_MAX);

// The enumerations cmctl reads and prints, from the name table of the public headers.
inline constexpr std::span<const EnumName> kBoolNames = cmnames::eOsBool_names;
inline constexpr std::span<const EnumName> kStateNames = cmnames::eOsState_names;
inline constexpr std::span<const EnumName> kInitStatusNames = cmnames::eZqCmOltMgrInitStatus_names;
inline constexpr std::span<const EnumName> kResTypeNames = cmnames::eZqCmApiResType_names;
inline constexpr std::span<const EnumName> kIgmpModeNames = cmnames::eZqCmIgmpProxyRoutingMode_names;
inline constexpr std::span<const EnumName> kAuthMethodNames = cmnames::eZqCmAuthenticationMethod_names;
inline constexpr std::span<const EnumName> kProgressNames = cmnames::eZqCmDbSaveStatus_names; // save and audit
inline constexpr std::span<const EnumName> kSystemModeNames = cmnames::eZqCmSystemMode_names;
inline constexpr std::span<const EnumName> kRebootModeNames = cmnames::eZqCmOnuUpgradeRebootMode_names;
inline constexpr std::span<const EnumName> kSwapModeNames = cmnames::eZqCmOnuUpgradeSwapMode_names;
inline constexpr std::span<const EnumName> kAlarmTypeNames = cmnames::eZqCmAlarmType_names;
inline constexpr std::span<const EnumName> kEventNames = cmnames::eZqCmEventId_names;
inline constexpr std::span<const EnumName> kSeverityNames = cmnames::eZqCmAlarmSeverity_names;
inline constexpr std::span<const EnumName> kConditionNames = cmnames::eZqCmAlarmCondition_names;
inline constexpr std::span<const EnumName> kFilterTypeNames = cmnames::eZqCmAlarmFilterType_names;
inline constexpr std::span<const EnumName> kCmModuleNames = cmnames::eZqOltModuleId_names;
inline constexpr std::span<const EnumName> kTraceMaskNames = cmnames::eZqCmTraceMask_names;
inline constexpr std::span<const EnumName> kTraceLevelNames = cmnames::eZqTraceLevel_names;
// The levels a log can be set to: NO_LOG is not one of them.
inline constexpr std::span<const EnumName> kLogLevelNames =
    std::span<const EnumName>(cmnames::eZqLogLevel_names).first(eZQ_LL_CRITICAL + 1);

// "; did you mean NAME?" for the candidate closest to text by edit distance (letters compared
// without regard to case), when it is close enough to be a slip of the fingers; else empty.
std::string DidYouMean(std::string_view text, std::span<const std::string_view> candidates);
std::string DidYouMean(std::string_view text, std::span<const EnumName> names);
// The names of the resources, for DidYouMean.
std::span<const std::string_view> ResourceNames();

// A 32-bit enumerated field as it came off the wire: any value, the ones without an enumerator
// included (reading those through the enumeration's own type is undefined behaviour).
template <typename Enum>
uint32_t WireValue(const Enum &field) {
    static_assert(sizeof(Enum) == sizeof(uint32_t), "a 32-bit field");
    uint32_t value;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

// The range an alarm type belongs to: "OLT", "ONU", "TCA", "PM", "SYSTEM", "VOIP" or "OTHER".
std::string_view AlarmClass(uint32_t alarmType);

} // namespace cmctl

#endif // RELAYKIT_CMCTL_NAMES_H
