// cm_names.h - the names of the CM vocabulary as the public headers spell them, one table for
// cmctl, the OLT manager peer and the dissector: every enumerator of every public enumeration, and
// its name without the prefix the enumeration's enumerators share ("EQPT_ONU_CONFIG" for
// eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG). The table is generated when the tools are built.
#ifndef RELAYKIT_CM_NAMES_H
#define RELAYKIT_CM_NAMES_H

#include <cstdint>
#include <span>
#include <string_view>

#include "zqcmapi.h"
#include "zqcmtrace.h"
#include "zqcommon.h"

namespace cmnames {

// An enumerator as the header writes it; bound marks the _MIN, _MAX and _LAST bounds.
struct Enumerator {
    std::string_view name;
    uint32_t value;
    bool bound;
};

// A value and its name without the enumeration's prefix; the bounds have none.
struct EnumName {
    uint32_t value;
    std::string_view name;
};

struct Enumeration {
    std::string_view type;   // "eZqCmApiResId"
    std::string_view prefix; // "eZQ_CMAPI_RES_ID_"
    std::span<const Enumerator> enumerators;
    std::span<const EnumName> names;
};

// Every short name below is a string literal of its own, so its data() ends in a null character.
#include "cm_names_table.inc"

// The enumeration of that type name, null when the headers have none.
const Enumeration *FindEnumeration(std::string_view type);

// The first enumerator of value that is not a bound; empty when there is none.
std::string_view FullName(std::span<const Enumerator> enumerators, uint32_t value);
// The first short name of value; empty when there is none.
std::string_view ShortName(std::span<const EnumName> names, uint32_t value);

} // namespace cmnames

#endif // RELAYKIT_CM_NAMES_H
