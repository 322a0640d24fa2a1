// link.h - finds the OMCI message in a captured frame of each link type that can carry one.
#ifndef CAPSHEET_LINK_H
#define CAPSHEET_LINK_H

#include <cstddef>
#include <cstdint>

#include "capture.h"

namespace capsheet {

constexpr size_t kMacLength = 6;

struct OmciFrame {
    size_t messageAt = 0;           // where the OMCI message starts in the frame
    const uint8_t *dst = nullptr;   // Ethernet: the frame's MAC addresses, in rec.head;
    const uint8_t *src = nullptr;   // null on Linux cooked captures, which keep only one
};

// True when rec is an OMCI frame (protocol type 0x88B5, behind at most two VLAN tags of type
// 0x8100 or 0x88A8), and where its message starts.
bool FindOmci(const Record &rec, OmciFrame &frame);

}  // namespace capsheet

#endif
