// cmctl_names.h - the names cmctl reads and prints for the CM vocabulary: resource ids with the
// resource type each one is requested with, results (eOsRet), start-up states, alarm fields, and
// the enumerations of the records cmctl shows field by field.
#ifndef RELAYKIT_CMCTL_NAMES_H
#define RELAYKIT_CMCTL_NAMES_H

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zqcmapi.h"

namespace cmctl {

struct EnumName {
    uint32_t value;
    std::string_view name;
};

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

inline constexpr EnumName kBoolNames[] = {{0, "FALSE"}, {1, "TRUE"}};
inline constexpr EnumName kStateNames[] = {{1, "ENABLE"}, {2, "DISABLE"}};
inline constexpr EnumName kInitStatusNames[] = {{1, "NOT_INIT"}, {2, "BUSY"}, {3, "READY"}};
inline constexpr EnumName kResTypeNames[] = {
    {0, "MIN"},      {1, "SYSTEM"}, {2, "LINK_SET"}, {3, "LINK"},     {4, "ONU"},     {5, "PROFILE"},
    {6, "SWDL"},     {7, "PM"},     {8, "ALARM"},    {9, "DB"},       {10, "CFGFILE"}, {11, "TOD"}};
inline constexpr EnumName kIgmpModeNames[] = {{1, "IGMP"}, {2, "STD_DISTRIBUTED"}, {3, "DISABLED"}};
inline constexpr EnumName kAuthMethodNames[] = {
    {1, "SERIAL_NUM_ONLY"}, {2, "SERIAL_NUM_AND_PWD"},   {3, "DISABLED"},
    {4, "PASSWORD_ONLY"},   {5, "SERIAL_NUM_AND_REGID"}, {6, "REGISTRATIONID_ONLY"}};
inline constexpr EnumName kProgressNames[] = { // database save and audit
    {1, "NO_OPER"}, {2, "IN_PROGRESS"}, {3, "COMPLETED_SUCCESS"}, {4, "COMPLETED_FAILURE"}};
inline constexpr EnumName kSystemModeNames[] = {{1, "GPON"},           {2, "XGPON"},
                                                {3, "XGSPON_GPON_COMBO"}, {4, "ANY_PON__8_X"},
                                                {5, "NOT_AVAILABLE"}};
inline constexpr EnumName kRebootModeNames[] = {{1, "AUTOMATIC"}, {2, "MANUAL"}, {3, "SCHEDULED"}};
inline constexpr EnumName kSwapModeNames[] = {
    {1, "SEQUENCE"}, {2, "ONLY_SWDL"}, {3, "ONLY_SWAP0"}, {4, "ONLY_SWAP1"}};
inline constexpr EnumName kSeverityNames[] = {{0, "CLEAR"}, {1, "TCA"},   {2, "INFO"},
                                              {3, "MINOR"}, {4, "MAJOR"}, {5, "CRITICAL"}};
inline constexpr EnumName kConditionNames[] = {{0, "CLEAR"}, {1, "ALARM"}};
inline constexpr EnumName kFilterTypeNames[] = {{0, "NONE"},  {1, "ONU"},    {2, "LINK"}, {3, "SLOT"},
                                                {4, "ALARM_TYPE"}, {5, "PM_TCA"}, {6, "AVC"}};
inline constexpr EnumName kCmModuleNames[] = {
    {1, "EXT_SNMP"},      {2, "EXT_CLI"},           {3, "EXT_WEB"},    {4, "EXT_COMMUNICATION"},
    {5, "EXT_CML_API"},   {6, "IN_COMMUNICATION"},  {7, "IN_CML_API"}, {8, "PAL_TX"},
    {9, "PAL_RX"},        {10, "CML_DISPATCH"},     {11, "CML_TX"},    {12, "CML_RX"},
    {13, "SVC"},          {14, "SVCMGR"},           {15, "SOC_EVENT"}, {16, "SWDL"},
    {17, "PM"},           {18, "ALM"},              {19, "LOCALMGR"},  {20, "PROTECTION_SWITCH"},
    {21, "DB"},           {22, "TOD"}};
inline constexpr EnumName kTraceMaskNames[] = {
    {1, "API"},        {2, "PM"},        {4, "MESSAGE"},     {8, "TIMER"},  {16, "BUFFER"},
    {32, "INFO"},      {64, "PDU_INFO"}, {128, "PDU_DUMP"},  {256, "LOCK"}, {512, "COUNTER"}};
inline constexpr EnumName kTraceLevelNames[] = {{0, "DEBUG"}, {1, "INFO"}, {2, "NOTICE"},
                                                {3, "WARNING"}, {4, "ERR"}, {5, "CRIT"},
                                                {6, "ALERT"}, {7, "EMERG"}};
inline constexpr EnumName kLogLevelNames[] = {{0, "MINOR"}, {1, "MAJOR"}, {2, "CRITICAL"}};

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
