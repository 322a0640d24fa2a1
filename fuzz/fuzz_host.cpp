// fuzz_host.cpp - the two functions a host process supplies to relayKit, for the fuzz targets:
// links map one to one, and finished output lines go nowhere.
#include "oswrap.h"

extern "C" int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    if (mibLinkIdP != nullptr) *mibLinkIdP = phyLinkId;
    return 0;
}

extern "C" int itSendOltDebugInfoToBll(char *textP) {
    (void)textP;
    return 0;
}
