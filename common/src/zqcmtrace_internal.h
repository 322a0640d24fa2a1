// zqcmtrace_internal.h - internal to the library: what the trace units share with each other and
// with the service layer's printing. Nothing here is exported.
#ifndef RELAYKIT_ZQCMTRACE_INTERNAL_H
#define RELAYKIT_ZQCMTRACE_INTERNAL_H

#include <cstdarg>

#include "osshared.h"
#include "zqcmtrace.h"

// TraceInterface_Ext with its arguments in a va_list; true when the record was queued.
bool TraceInterfaceExtV(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                        eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                        uint32 bitMask, const void *linkKeyP, uint32 onuId, const char *formatP,
                        va_list args);
// The same with variable arguments.
bool TraceInterfaceExtQueued(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                             eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                             uint32 bitMask, const void *linkKeyP, uint32 onuId,
                             const char *formatP, ...) __attribute__((format(printf, 10, 11)));

// Whether the ONU of the bitmap element (slot, device, link) lets records through. Out-of-range
// coordinates (slot > 2, device > 1, link > 32 or above zqSysLinkNumPerDev, ONU > 256) answer
// false; ONU 0 reads word 0, bit 0.
bool OnuTraceBitIsSet(uint32 slotId, uint32 deviceId, uint32 linkId, uint32 onuId);

// Clears the ONU text filter's entries and every bit of the per-ONU bitmap.
void OnuTraceClear();

#endif // RELAYKIT_ZQCMTRACE_INTERNAL_H
