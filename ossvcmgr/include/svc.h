/* svc.h - the service layer: the host's handlers, the registry of service tasks and modules,
 * service messages, and the library's unconditional output (SvcPrintf, hex dumps, console). */
#ifndef RELAYKIT_SVC_H
#define RELAYKIT_SVC_H

#include "ostypes.h"
#include "svcdef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- handlers ------------------------------------------------------------------------------- */

/* Both start as OsWrap__TextOut, so output works before SvcInit. */
RELAYKIT_API extern tOsSysErrorHandler SvcSysErrorHandler;
RELAYKIT_API extern tOsSysErrorHandler SvcSysInfoHandler;

/* Installs the host's handlers (a null handler keeps the current one for that role). */
RELAYKIT_API eOsRet SvcInit(tOsSysErrorHandler sysErrorHandler, tOsSysErrorHandler sysInfoHandler);

/* ---- unconditional output ------------------------------------------------------------------- */

/* One line of at most 2048 characters to syslog ("DEDURO") and the information handler. A format
 * that begins with "%t" gets the system time "TH%uL%u:" in front. */
RELAYKIT_API void SvcPrintf(const char *formatP, ...);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVC_H */
