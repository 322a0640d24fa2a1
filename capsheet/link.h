// link.h - finds the OMCI message in a captured frame of each link type that can carry one.
#ifndef CAPSHEET_LINK_H
#define CAPSHEET_LINK_H

#include <cstddef>
#include <cstdint>

#include "capture.h"

namespace capsheet {

constexpr size_t kMacLength = 6;

struct OmciFrame {
    size_t messageAt = 0;  // where the OMCI message starts in the frame
    // Ethernet: the frame's MAC addresses, copied, since the frame's bytes move on as it is read;
    // zero on Linux cooked captures, which keep only the sender's.
    uint8_t dst[kMacLength] = {};
    uint8_t src[kMacLength] = {};
};

// True when rec is an OMCI frame (protocol type 0x88B5, behind at most two VLAN tags of type
// 0x8100 or 0x88A8), and where its message starts.
bool FindOmci(const Record &rec, OmciFrame &frame);

}  // namespace capsheet

#endif
