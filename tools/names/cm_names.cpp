// cm_names.cpp - lookups in the generated name table.
#include "cm_names.h"

namespace cmnames {

const Enumeration *FindEnumeration(std::string_view type) {
    for (const Enumeration &enumeration : kEnumerations)
        if (enumeration.type == type) return &enumeration;
    return nullptr;
}

std::string_view FullName(std::span<const Enumerator> enumerators, uint32_t value) {
    for (const Enumerator &enumerator : enumerators)
        if (enumerator.value == value && !enumerator.bound) return enumerator.name;
    return {};
}

std::string_view ShortName(std::span<const EnumName> names, uint32_t value) {
    for (const EnumName &entry : names)
        if (entry.value == value) return entry.name;
    return {};
}

} // namespace cmnames
