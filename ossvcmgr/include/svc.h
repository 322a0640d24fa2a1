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

/* These never queue and never allocate: the text is composed on the caller's stack and written in
 * the calling thread, from any thread, whatever the trace masks and levels say. */

/* One line of at most 2048 characters to syslog ("DEDURO") and the information handler (a null
 * handler is skipped). A format that begins with "%t" gets the system time "TH%uL%u:" in front.
 * No newline is added. */
RELAYKIT_API void SvcPrintf(const char *formatP, ...);
/* Hex dump through the information handler, one call per 653 bytes of input and one more for the
 * rest (possibly none) followed by "\n". dumpForm eOS_BOOL_TRUE: " %02X" per byte and a line break
 * before every sixteenth byte of the whole dump; any other value: "%02X" and no line breaks. */
RELAYKIT_API void SvcPrintHex(char *bufferP, uint32 length, eOsBool dumpForm);
/* As SvcPrintf and SvcPrintHex, but written straight to "/dev/console" (opened on first use and
 * kept); no syslog, no handler. A console that cannot be opened or written loses the text. */
RELAYKIT_API void SvcConsolePrintf(const char *formatP, ...);
RELAYKIT_API void SvcConsolePrintHex(char *bufferP, uint32 length, eOsBool dumpForm);

/* ---- host lookup ---------------------------------------------------------------------------- */

/* Does nothing; eOS_RET_SUCCESS. */
RELAYKIT_API eOsRet SvcTcpIpInit(void);
/* The first IPv4 address of hostNameP, as the resolver gives it (network byte order), in
 * *hostAddrP. eOS_RET_SUCCESS, or eOS_RET_FAILURE (reported, *hostAddrP 0) when the name does not
 * resolve or an argument is null. */
RELAYKIT_API eOsRet SvcTcpIpGetHostAddr(char *hostNameP, uint32 *hostAddrP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVC_H */
