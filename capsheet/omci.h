// omci.h - the OMCI message header as capsheet reads it, and the names of its numbers: message
// types, result codes and managed entity classes.
//
// An OMCI message starts with its transaction correlation id (2 bytes, big-endian), the message
// type (DB, AR and AK flags and a 5-bit type), the device id (0x0A baseline, 0x0B extended) and
// the managed entity's class and instance (2 bytes each). A baseline message carries 32 bytes of
// contents from byte 8; an extended one a 2-byte contents length at byte 8 and its contents from
// byte 10. A response whose type carries a result has it as the first contents byte.
#ifndef CAPSHEET_OMCI_H
#define CAPSHEET_OMCI_H

#include <cstddef>
#include <cstdint>

namespace capsheet {

constexpr uint8_t kOmciFlagAr = 0x40;  // acknowledge request: a response is expected
constexpr uint8_t kOmciFlagAk = 0x20;  // acknowledgement: this is the response
constexpr uint8_t kOmciTypeMask = 0x1F;
constexpr uint8_t kOmciBaseline = 0x0A;
constexpr uint8_t kOmciExtended = 0x0B;

// Header fields in the order they sit in the message, each as far as the frame carries it.
enum class OmciField : uint8_t { kNone, kTci, kType, kDevice, kMeClass, kMeInstance };

struct OmciHeader {
    OmciField complete = OmciField::kNone;  // the last field the frame holds whole
    uint16_t tci = 0;
    uint8_t type = 0;  // the whole byte: flags and message type
    uint8_t device = 0;
    uint16_t meClass = 0;
    uint16_t meInstance = 0;
    int16_t result = -1;  // a response's result; -1 when it carries none or the frame is too short

    bool Has(OmciField f) const { return complete >= f; }
    uint8_t MessageType() const { return type & kOmciTypeMask; }
    bool IsRequest() const { return Has(OmciField::kType) && (type & kOmciFlagAr) != 0; }
    bool IsResponse() const { return Has(OmciField::kType) && (type & kOmciFlagAk) != 0; }
};

// What the header needs of a message's front: the fixed fields, the extended length and one
// result byte.
constexpr size_t kOmciHeaderBytes = 11;

// Reads the header from the first `available` bytes of a message of `length` bytes in all.
OmciHeader ReadOmciHeader(const uint8_t *message, size_t available, uint64_t length);

// Names, or null for a number that has none.
const char *OmciMessageTypeName(uint8_t messageType);
const char *OmciResultName(uint8_t result);
const char *OmciMeClassName(uint16_t meClass);

// Result codes by number.
constexpr uint8_t kOmciSuccess = 0;

}  // namespace capsheet

#endif
