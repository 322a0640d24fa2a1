/* trace_record_writers.c - the trace and log writers called as a C host calls them: module, level
 * and field numbers are plain integers, any value of 32 bits. The text is always an argument. */
#include "svc.h"
#include "zqcmtrace.h"

#include "trace_record_writers.h"

void CallTraceWriter(unsigned writer, const char *fileP, const char *funcP, uint32 module,
                     uint32 level, uint32 bitMask, const tZqCmLinkKey *linkKeyP, uint8 link,
                     uint16 onu, const char *textP) {
    tZqOnuId ponOnu = {link, onu};
    switch (writer % 14) {
    case 0: CmTraceInterface(fileP, __LINE__, funcP, module, ZQ_TRACE_ALL_MASK, "%s", textP); break;
    case 1: TraceInterface(fileP, __LINE__, funcP, module, ZQ_TRACE_ALL_MASK, "%s", textP); break;
    case 2:
        TraceInterface_Ext(fileP, __LINE__, funcP, module, ZQ_TRACE_ALL_MASK, level, bitMask,
                           (void *)linkKeyP, onu, "%s", textP);
        break;
    case 3: LogInterface(fileP, __LINE__, funcP, level, "%s", textP); break;
    case 4: __OnuOmciMinorLog(fileP, funcP, __LINE__, ponOnu, "%s", textP); break;
    case 5: __OnuOmciMajorLog(fileP, funcP, __LINE__, ponOnu, "%s", textP); break;
    case 6: __OnuOmciCritical(fileP, funcP, __LINE__, ponOnu, "%s", textP); break;
    case 7: __OnuOmciTrace(fileP, funcP, __LINE__, module, ponOnu, "%s", textP); break;
    case 8: __OnuMgrMinorLog(fileP, funcP, __LINE__, 1, 1, link, onu, "%s", textP); break;
    case 9: __OnuMgrMajorlog(fileP, funcP, __LINE__, 1, 1, link, onu, "%s", textP); break;
    case 10: __OnuMgrCritical(fileP, funcP, __LINE__, 1, 1, link, onu, "%s", textP); break;
    case 11: __OnuMgrTrace(fileP, funcP, __LINE__, 1, 1, link, onu, "%s", textP); break;
    case 12: __OnuMgrTracelog(fileP, funcP, __LINE__, module, 1, 1, link, onu, "%s", textP); break;
    default: SvcPrintf("%s", textP); break;
    }
}
