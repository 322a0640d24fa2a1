// fuzz_host.cpp - the library's start for the fuzz targets, and the two functions a host process
// supplies to relayKit: links map one to one, and finished output lines go nowhere.
#include "fuzz_check.h"
#include "oswrap.h"
#include "svc.h"

namespace {
void Quiet(char *) {}
} // namespace

void FuzzStartLibrary() {
    FUZZ_CHECK(OsWrap__Init(nullptr) == eOS_RET_SUCCESS);
    SvcSysInfoHandler = Quiet;
}

extern "C" int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    if (mibLinkIdP != nullptr) *mibLinkIdP = phyLinkId;
    return 0;
}

extern "C" int itSendOltDebugInfoToBll(char *textP) {
    (void)textP;
    return 0;
}
