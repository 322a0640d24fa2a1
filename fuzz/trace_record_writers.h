/* trace_record_writers.h - one call into the trace and log writers, chosen by number, as a C host
 * makes it. */
#ifndef RELAYKIT_FUZZ_TRACE_RECORD_WRITERS_H
#define RELAYKIT_FUZZ_TRACE_RECORD_WRITERS_H

#include "zqtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

void CallTraceWriter(unsigned writer, const char *fileP, const char *funcP, uint32 module,
                     uint32 level, uint32 bitMask, const tZqCmLinkKey *linkKeyP, uint8 link,
                     uint16 onu, const char *textP);

#ifdef __cplusplus
}
#endif

#endif
