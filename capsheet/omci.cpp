// omci.cpp - reads the OMCI header, and the one table of names for message types, result codes
// and managed entity classes, each number beside its name.
#include "omci.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace capsheet {

namespace {

struct MessageTypeRow {
    uint8_t number;
    const char *name;
    bool resultInResponse = false;  // the response's first contents byte is a result code
};

constexpr MessageTypeRow kMessageTypes[] = {
    {.number = 4, .name = "Create", .resultInResponse = true},
    {.number = 6, .name = "Delete", .resultInResponse = true},
    {.number = 8, .name = "Set", .resultInResponse = true},
    {.number = 9, .name = "Get", .resultInResponse = true},
    {.number = 11, .name = "GetAllAlarms"},            // answered with a command count
    {.number = 12, .name = "GetAllAlarmsNext"},        // answered with alarm bits
    {.number = 13, .name = "MibUpload"},               // answered with a command count
    {.number = 14, .name = "MibUploadNext"},           // answered with an entity's attributes
    {.number = 15, .name = "MibReset", .resultInResponse = true},
    {.number = 16, .name = "Alarm"},                   // notifications: never answered
    {.number = 17, .name = "AttributeValueChange"},
    {.number = 18, .name = "Test", .resultInResponse = true},
    {.number = 19, .name = "StartSoftwareDownload", .resultInResponse = true},
    {.number = 20, .name = "DownloadSection", .resultInResponse = true},
    {.number = 21, .name = "EndSoftwareDownload", .resultInResponse = true},
    {.number = 22, .name = "ActivateSoftware", .resultInResponse = true},
    {.number = 23, .name = "CommitSoftware", .resultInResponse = true},
    {.number = 24, .name = "SynchronizeTime", .resultInResponse = true},
    {.number = 25, .name = "Reboot", .resultInResponse = true},
    {.number = 26, .name = "GetNext", .resultInResponse = true},
    {.number = 27, .name = "TestResult"},
    {.number = 28, .name = "GetCurrentData", .resultInResponse = true},
    {.number = 29, .name = "SetTable", .resultInResponse = true},  // extended messages only
};

struct NameRow {
    uint16_t number;
    const char *name;
};

constexpr NameRow kResults[] = {
    {.number = 0, .name = "Success"},
    {.number = 1, .name = "ProcessingError"},
    {.number = 2, .name = "NotSupported"},
    {.number = 3, .name = "ParameterError"},
    {.number = 4, .name = "UnknownEntity"},
    {.number = 5, .name = "UnknownInstance"},
    {.number = 6, .name = "DeviceBusy"},
    {.number = 7, .name = "InstanceExists"},
    {.number = 9, .name = "AttributeFailed"},  // 8 is not assigned
};

// The classes of provisioning, MIB upload, software download and the usual monitoring, in
// ascending order.
constexpr NameRow kMeClasses[] = {
    {.number = 2, .name = "ONU data"},
    {.number = 5, .name = "Cardholder"},
    {.number = 6, .name = "Circuit pack"},
    {.number = 7, .name = "Software image"},
    {.number = 11, .name = "PPTP Ethernet UNI"},
    {.number = 12, .name = "PPTP CES UNI"},
    {.number = 14, .name = "Interworking VCC termination point"},
    {.number = 16, .name = "AAL5 profile"},
    {.number = 18, .name = "AAL5 performance monitoring history data"},
    {.number = 21, .name = "CES service profile"},
    {.number = 24, .name = "Ethernet performance monitoring history data"},
    {.number = 45, .name = "MAC bridge service profile"},
    {.number = 46, .name = "MAC bridge configuration data"},
    {.number = 47, .name = "MAC bridge port configuration data"},
    {.number = 48, .name = "MAC bridge port designation data"},
    {.number = 49, .name = "MAC bridge port filter table data"},
    {.number = 50, .name = "MAC bridge port bridge table data"},
    {.number = 51, .name = "MAC bridge performance monitoring history data"},
    {.number = 52, .name = "MAC bridge port performance monitoring history data"},
    {.number = 53, .name = "PPTP POTS UNI"},
    {.number = 58, .name = "Voice service profile"},
    {.number = 62, .name = "VP performance monitoring history data"},
    {.number = 78, .name = "VLAN tagging operation configuration data"},
    {.number = 79, .name = "MAC bridge port filter preassign table"},
    {.number = 82, .name = "PPTP video UNI"},
    {.number = 83, .name = "PPTP LCT UNI"},
    {.number = 84, .name = "VLAN tagging filter data"},
    {.number = 89, .name = "Ethernet performance monitoring history data 2"},
    {.number = 90, .name = "PPTP video ANI"},
    {.number = 98, .name = "PPTP xDSL UNI part 1"},
    {.number = 99, .name = "PPTP xDSL UNI part 2"},
    {.number = 130, .name = "IEEE 802.1p mapper service profile"},
    {.number = 131, .name = "OLT-G"},
    {.number = 133, .name = "ONU power shedding"},
    {.number = 134, .name = "IP host config data"},
    {.number = 135, .name = "IP host performance monitoring history data"},
    {.number = 136, .name = "TCP/UDP config data"},
    {.number = 137, .name = "Network address"},
    {.number = 138, .name = "VoIP config data"},
    {.number = 139, .name = "VoIP voice CTP"},
    {.number = 140, .name = "Call control performance monitoring history data"},
    {.number = 141, .name = "VoIP line status"},
    {.number = 142, .name = "VoIP media profile"},
    {.number = 143, .name = "RTP profile data"},
    {.number = 144, .name = "RTP performance monitoring history data"},
    {.number = 145, .name = "Network dial plan table"},
    {.number = 146, .name = "VoIP application service profile"},
    {.number = 147, .name = "VoIP feature access codes"},
    {.number = 148, .name = "Authentication security method"},
    {.number = 150, .name = "SIP agent config data"},
    {.number = 151, .name = "SIP agent performance monitoring history data"},
    {.number = 152, .name = "SIP call initiation performance monitoring history data"},
    {.number = 153, .name = "SIP user data"},
    {.number = 155, .name = "MGC config data"},
    {.number = 156, .name = "MGC performance monitoring history data"},
    {.number = 157, .name = "Large string"},
    {.number = 158, .name = "ONU remote debug"},
    {.number = 160, .name = "Equipment extension package"},
    {.number = 162, .name = "PPTP MoCA UNI"},
    {.number = 163, .name = "MoCA Ethernet performance monitoring history data"},
    {.number = 171, .name = "Extended VLAN tagging operation configuration data"},
    {.number = 256, .name = "ONU-G"},
    {.number = 257, .name = "ONU2-G"},
    {.number = 262, .name = "T-CONT"},
    {.number = 263, .name = "ANI-G"},
    {.number = 264, .name = "UNI-G"},
    {.number = 266, .name = "GEM interworking termination point"},
    {.number = 268, .name = "GEM port network CTP"},
    {.number = 269, .name = "VP network CTP"},
    {.number = 272, .name = "GAL Ethernet profile"},
    {.number = 273, .name = "Threshold data 1"},
    {.number = 274, .name = "Threshold data 2"},
    {.number = 276, .name = "GAL Ethernet performance monitoring history data"},
    {.number = 277, .name = "Priority queue"},
    {.number = 278, .name = "Traffic scheduler"},
    {.number = 280, .name = "Traffic descriptor"},
    {.number = 281, .name = "Multicast GEM interworking termination point"},
    {.number = 282, .name = "Pseudowire termination point"},
    {.number = 286, .name = "Ethernet flow termination point"},
    {.number = 287, .name = "OMCI"},
    {.number = 288, .name = "Managed entity"},
    {.number = 289, .name = "Attribute"},
    {.number = 290, .name = "Dot1X port extension package"},
    {.number = 291, .name = "Dot1X configuration profile"},
    {.number = 292, .name = "Dot1X performance monitoring history data"},
    {.number = 293, .name = "Radius performance monitoring history data"},
    {.number = 296, .name = "Ethernet performance monitoring history data 3"},
    {.number = 298, .name = "Dot1 rate limiter"},
    {.number = 299, .name = "Dot1ag maintenance domain"},
    {.number = 300, .name = "Dot1ag maintenance association"},
    {.number = 301, .name = "Dot1ag default MD level"},
    {.number = 302, .name = "Dot1ag MEP"},
    {.number = 305, .name = "Dot1ag CFM stack"},
    {.number = 309, .name = "Multicast operations profile"},
    {.number = 310, .name = "Multicast subscriber config info"},
    {.number = 311, .name = "Multicast subscriber monitor"},
    {.number = 312, .name = "FEC performance monitoring history data"},
    {.number = 321, .name = "Ethernet frame performance monitoring history data downstream"},
    {.number = 322, .name = "Ethernet frame performance monitoring history data upstream"},
    {.number = 329, .name = "Virtual Ethernet interface point"},
    {.number = 332, .name = "Enhanced security control"},
    {.number = 334, .name = "Ethernet frame extended PM"},
    {.number = 335, .name = "SNMP configuration data"},
    {.number = 336, .name = "ONU dynamic power management control"},
    {.number = 340, .name = "BBF TR-069 management server"},
    {.number = 341, .name = "GEM port network CTP performance monitoring history data"},
    {.number = 342, .name = "TCP/UDP performance monitoring history data"},
    {.number = 343, .name = "Energy consumption performance monitoring history data"},
    {.number = 344, .name = "XG-PON TC performance monitoring history data"},
    {.number = 345, .name = "XG-PON downstream management performance monitoring history data"},
    {.number = 346, .name = "XG-PON upstream management performance monitoring history data"},
    {.number = 348, .name = "MAC bridge port ICMPv6 process preassign table"},
    {.number = 426, .name = "Ethernet frame extended PM 64-bit"},
};

struct RangeRow {
    uint16_t first;
    uint16_t last;
    const char *name;
};

constexpr RangeRow kMeClassRanges[] = {
    {.first = 240, .last = 255, .name = "Vendor-specific"},
    {.first = 350, .last = 399, .name = "Vendor-specific"},
    {.first = 65280, .last = 65535, .name = "Vendor-specific"},
};

// Names become CSV fields as they are: no separator or quote may hide in one.
constexpr bool PlainText(const char *s) {
    for (; *s != '\0'; ++s)
        if (*s == ',' || *s == '"' || *s == '\r' || *s == '\n') return false;
    return true;
}

template <typename Row, size_t N>
constexpr bool Ascending(const Row (&rows)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (!PlainText(rows[i].name) || (i > 0 && rows[i - 1].number >= rows[i].number)) return false;
    return true;
}
static_assert(Ascending(kMessageTypes) && kMessageTypes[std::size(kMessageTypes) - 1].number <= kOmciTypeMask);
static_assert(Ascending(kResults) && Ascending(kMeClasses));

// Message types by number, for the per-message lookups.
constexpr std::array<const MessageTypeRow *, kOmciTypeMask + 1> kTypeByNumber = [] {
    std::array<const MessageTypeRow *, kOmciTypeMask + 1> t{};
    for (const MessageTypeRow &row : kMessageTypes) t[row.number] = &row;
    return t;
}();

template <size_t N>
const char *Find(const NameRow (&rows)[N], uint16_t number) {
    const NameRow *end = rows + N;
    const NameRow *at = std::lower_bound(rows, end, number, [](const NameRow &r, uint16_t n) { return r.number < n; });
    return at != end && at->number == number ? at->name : nullptr;
}

uint16_t Load16be(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

OmciHeader ReadOmciHeader(const uint8_t *message, size_t available, uint64_t length) {
    OmciHeader h;
    const uint64_t n = available < length ? available : length;
    if (n >= 2) h.tci = Load16be(message), h.complete = OmciField::kTci;
    if (n >= 3) h.type = message[2], h.complete = OmciField::kType;
    if (n >= 4) h.device = message[3], h.complete = OmciField::kDevice;
    if (n >= 6) h.meClass = Load16be(message + 4), h.complete = OmciField::kMeClass;
    if (n >= 8) h.meInstance = Load16be(message + 6), h.complete = OmciField::kMeInstance;

    // A result is read only where the format says the contents are: after the extended length,
    // and only when that length leaves room for it.
    const MessageTypeRow *row = kTypeByNumber[h.MessageType()];
    if (!h.IsResponse() || row == nullptr || !row->resultInResponse) return h;
    if (h.device == kOmciBaseline && n >= 9) h.result = message[8];
    if (h.device == kOmciExtended && n >= 11 && Load16be(message + 8) >= 1) h.result = message[10];
    return h;
}

const char *OmciMessageTypeName(uint8_t messageType) {
    const MessageTypeRow *row = kTypeByNumber[messageType & kOmciTypeMask];
    return row != nullptr ? row->name : nullptr;
}

const char *OmciResultName(uint8_t result) { return Find(kResults, result); }

const char *OmciMeClassName(uint16_t meClass) {
    if (const char *name = Find(kMeClasses, meClass)) return name;
    for (const RangeRow &range : kMeClassRanges)
        if (meClass >= range.first && meClass <= range.last) return range.name;
    return nullptr;
}

}  // namespace capsheet
