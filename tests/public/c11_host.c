/* c11_host.c - a plain C11 host: includes the umbrella header, supplies the two host hooks and
 * calls into the shared library. */
#include <stdio.h>

#include "relaykit.h"

int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    *mibLinkIdP = phyLinkId;
    return 0;
}

int itSendOltDebugInfoToBll(char *textP) {
    (void)textP;
    return 0;
}

int main(void) {
    tOsUint64 sum = {0, 0};
    if (sizeof sum != 8) return 1;
    /* A call of the CM API that sends nothing: what a get of the system configuration writes. */
    if (ZqCmApi__RecordSize(eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG) != sizeof(uZqCmRes)) return 1;
    /* The trace backlog's drop count is exported, and nothing was dropped yet. */
    if (TraceDropCnt != 0 || TRACE_QUEUE_LIMIT != 4096) return 1;
    relayKitVersion();
    return 0;
}
