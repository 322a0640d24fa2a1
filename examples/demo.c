/* demo.c - a small host of relayKit. */
#include <stdio.h>

#include "relaykit.h"

int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    *mibLinkIdP = phyLinkId;
    return 0;
}

int itSendOltDebugInfoToBll(char *textP) {
    printf("[host line] %s\n", textP);
    return 0;
}

int main(void) {
    relayKitVersion();
    return 0;
}
