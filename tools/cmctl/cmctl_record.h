// cmctl_record.h - keys and records as an operator writes and reads them: keys from member forms
// (onu=1/1/3/17, link=1/1/3, profile=5, hex:...), records from hexadecimal, a file or field=value
// assignments, and the layouts of the records cmctl knows field by field (the system
// configuration and the extended records of resources 36, 38 and 104).
#ifndef RELAYKIT_CMCTL_RECORD_H
#define RELAYKIT_CMCTL_RECORD_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cmctl_names.h"

namespace cmctl {

using Bytes = std::vector<uint8_t>;

// ---- keys -------------------------------------------------------------------------------------

// Builds a key field by field in a zero-filled union (keys compare all 52 bytes, and a copied
// member struct may bring a padding byte along). Forms: onu=S/D/L/O, port=S/D/L/O/P, link=S/D/L,
// device=S/D, slot=S, profile=I[/I2], type=N (the first word), hex:BYTES (at most 52). Returns an
// empty string on success, else what is wrong.
std::string ParseKey(std::string_view text, uZqCmKey *keyP);
// The key form a resource type is addressed with, for messages: "onu=S/D/L/O", "link=S/D/L",
// "profile=I[/I2]", or "KEY" where no one form fits.
std::string_view KeyForm(uint32_t resType);
// The key in the form that suits the resource type: type=N for the system, onu=... for ONUs,
// link=... for links and time of day, profile=... for profiles, hex:... otherwise or when bytes
// lie outside the form. A key of zeros is "none".
std::string KeyText(const uZqCmKey &key, uint32_t resType);
// The key's bytes in hexadecimal, trailing zero bytes left out.
std::string KeyHex(const uZqCmKey &key);

// ---- records ----------------------------------------------------------------------------------

enum class FieldKind { kNumber, kEnum, kText, kChars, kBytes, kLink };
// "number", "enum", "text" (zero-terminated), "chars" (may fill every byte), "bytes", "link".
std::string_view FieldKindName(FieldKind kind);

struct Field {
    std::string_view name;
    uint32_t offset;
    uint32_t size;     // bytes; a number is 1, 2 or 4
    FieldKind kind;
    uint32_t maskBit;  // its bit in bitMask (0 for bitMask itself)
    std::span<const EnumName> names = {};
};

struct Layout {
    std::string_view name;
    std::span<const Field> fields; // the first is bitMask
};

// The size of the record a request about resId carries: 804, 372 or 120 for the extended ids,
// else a whole uZqCmRes (1072).
size_t RecordSize(uint32_t resId);
// The layout of resId's record, null when cmctl shows it as bytes.
const Layout *LayoutOf(uint32_t resId);

// Field names are matched without regard to case. Each returns an empty string on success.
// A mask: a number, "all" (every field's bit; every bit of a record shown as bytes), or field
// names joined by commas.
std::string ParseMask(const Layout *layout, std::string_view text, uint32_t *maskP);
// Hexadecimal bytes ("0x" and separators ':' '-' '.' '_' allowed), at most record.size() of them,
// into the start of record.
std::string ParseHexInto(std::string_view text, std::span<uint8_t> record);
// The contents of a file (at most record.size() bytes, read without taking more memory).
std::string ReadFileInto(const std::string &path, std::span<uint8_t> record);
// One FIELD=VALUE assignment; the field's mask bit is added to bitMask (an assignment to bitMask
// itself replaces it).
std::string Assign(const Layout &layout, std::string_view assignment, std::span<uint8_t> record);

// A field's value as text, and as a JSON value.
std::string FieldText(const Field &field, std::span<const uint8_t> record);
std::string FieldJson(const Field &field, std::span<const uint8_t> record);

std::string JsonString(std::string_view text);
// An enumerated value, always of one shape: {"value": N, "name": "NAME"}, the name null when
// the value has none.
std::string EnumJson(std::span<const EnumName> names, uint32_t value);
std::string EnumJson(uint32_t value, std::string_view name);
std::string HexText(std::span<const uint8_t> bytes); // lower case, no separators
size_t UsedLength(std::span<const uint8_t> bytes);   // without trailing zero bytes

} // namespace cmctl

#endif // RELAYKIT_CMCTL_RECORD_H
