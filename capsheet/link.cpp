// link.cpp - link-layer headers in front of OMCI: Ethernet, both Linux cooked captures, VLAN tags.
#include "link.h"

#include <cstring>

namespace capsheet {

namespace {

constexpr uint16_t kEtherTypeOmci = 0x88B5;
constexpr uint16_t kEtherTypeVlan = 0x8100;   // 802.1Q
constexpr uint16_t kEtherTypeQinQ = 0x88A8;   // 802.1ad service tag
constexpr size_t kVlanTagLength = 4;          // tag control information, then the next type
constexpr int kMaxVlanTags = 2;

// Where the protocol type (big-endian) and what it describes sit in a frame of each link type
// that can carry OMCI.
struct LinkLayout {
    uint32_t linkType;
    size_t protocolAt;
    size_t payloadAt;
    bool macAddresses = false;
};
constexpr LinkLayout kLinkLayouts[] = {
    // Ethernet: destination MAC, source MAC, EtherType
    {.linkType = 1, .protocolAt = 12, .payloadAt = 14, .macAddresses = true},
    // Linux cooked capture: packet type, address type and length, address, protocol
    {.linkType = 113, .protocolAt = 14, .payloadAt = 16},
    // Linux cooked capture v2: protocol, reserved, interface, address fields
    {.linkType = 276, .protocolAt = 0, .payloadAt = 20},
};
// The deepest header read: cooked v2 with two tags.
static_assert(kHeadMin >= 20 + kMaxVlanTags * kVlanTagLength);

const LinkLayout *LayoutOf(uint32_t linkType) {
    for (const LinkLayout &layout : kLinkLayouts)
        if (layout.linkType == linkType) return &layout;
    return nullptr;
}

uint16_t Load16be(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

bool FindOmci(const Record &rec, OmciFrame &frame) {
    const LinkLayout *layout = LayoutOf(rec.linkType);
    if (layout == nullptr || rec.length < layout->payloadAt) return false;
    uint16_t type = Load16be(rec.head + layout->protocolAt);
    size_t at = layout->payloadAt;
    // A tag sits where the payload would: its control information, then the type it carries.
    for (int tags = 0; tags < kMaxVlanTags && (type == kEtherTypeVlan || type == kEtherTypeQinQ); ++tags) {
        if (rec.length < at + kVlanTagLength) return false;
        type = Load16be(rec.head + at + 2);
        at += kVlanTagLength;
    }
    if (type != kEtherTypeOmci) return false;
    frame.messageAt = at;
    if (layout->macAddresses) {
        std::memcpy(frame.dst, rec.head, kMacLength);
        std::memcpy(frame.src, rec.head + kMacLength, kMacLength);
    }
    return true;
}

}  // namespace capsheet
