// oltmgr_names.cpp - the OLT manager's names of the CM vocabulary, read from the generated table.
#include "oltmgr_names.h"

#include "cm_names.h"

namespace oltmgr {

namespace {

// A short name as a C string, null when the value has none.
const char *Name(std::span<const cmnames::EnumName> names, uint32_t value) {
    std::string_view name = cmnames::ShortName(names, value);
    return name.empty() ? nullptr : name.data();
}

// The same, but null for 0 as well (the resource id and operation 0 name nothing).
const char *NonZeroName(std::span<const cmnames::EnumName> names, uint32_t value) {
    return value == 0 ? nullptr : Name(names, value);
}

} // namespace

const char *ResIdName(uint32_t resId) { return NonZeroName(cmnames::eZqCmApiResId_names, resId); }
const char *OperName(uint32_t operType) { return NonZeroName(cmnames::eZqCmOperType_names, operType); }

const char *AlarmTypeName(uint32_t alarmType) { return Name(cmnames::eZqCmAlarmType_names, alarmType); }
const char *EventName(uint32_t eventId) { return Name(cmnames::eZqCmEventId_names, eventId); }

const char *RetName(uint32_t ret) {
    std::string_view name = cmnames::FullName(cmnames::eOsRet_enumerators, ret);
    return name.empty() ? nullptr : name.data();
}

} // namespace oltmgr
