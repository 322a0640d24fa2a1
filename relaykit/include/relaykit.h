/* relaykit.h - everything a host of relayKit needs: include this one header and link -lrelayKit.
 * The host also supplies PhyLink2MIBLink and itSendOltDebugInfoToBll (declared in oswrap.h). */
#ifndef RELAYKIT_RELAYKIT_H
#define RELAYKIT_RELAYKIT_H

#include "ostypes.h"
#include "oscustom.h"
#include "oswrap.h"
#include "svcdef.h"
#include "svc.h"
#include "svcmsg.h"
#include "svctick.h"
#include "timerdef.h"
#include "uint64.h"
#include "zqtypes.h"
#include "zqsysconfig.h"
#include "zqcmtrace.h"
#include "zqconfig.h"
#include "zqcommon.h"
#include "zqcmapi.h"
#include "zqcommunicator.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes "relayKitVersion 1.0" (the major and minor version, RELAYKIT_VERSION_MAJOR_MINOR of
 * relaykit_version.h) and a newline to standard output. */
RELAYKIT_API void relayKitVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_RELAYKIT_H */
