/* hidden_host.c - a C11 host built with -fvisibility=hidden, as many hosts are: the library still
 * finds its two hooks and calls them, and a format-checked call evaluates its arguments once. */
#include <stdio.h>
#include <string.h>

#include "relaykit.h"

static int mapCalls;
static char lastLine[128];

int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    mapCalls++;
    *mibLinkIdP = phyLinkId;
    return 0;
}

int itSendOltDebugInfoToBll(char *textP) {
    snprintf(lastLine, sizeof lastLine, "%s", textP);
    return 0;
}

int main(void) {
    int evaluations = 0;
    tZqOnuId onu;

    OsWrap__Init(NULL);
    SvcInit(NULL, NULL);
    SetCliDisplayMode(eOS_BOOL_TRUE); /* completed lines go to itSendOltDebugInfoToBll */
    SvcPrintf("%thidden host line %d\n", ++evaluations);

    memset(&onu, 0, sizeof onu);
    onu.onuId = 1;
    (void)IsOnuTraceEnable(onu); /* maps the PON link through PhyLink2MIBLink */

    if (strstr(lastLine, "hidden host line 1") == NULL || evaluations != 1 || mapCalls != 1) {
        fprintf(stderr, "hooks: line '%s', evaluations %d, link mappings %d\n", lastLine,
                evaluations, mapCalls);
        return 1;
    }
    puts("hidden host: both hooks reached");
    return 0;
}
