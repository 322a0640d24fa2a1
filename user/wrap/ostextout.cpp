// ostextout.cpp - the text output sinks: console, log file, CLI telnet connection, host line sink.
#include <cstdio>

#include "oswrap.h"

extern "C" {

eOsBool ConsoleOutputModeB = eOS_BOOL_FALSE;
eOsBool OutPutCliB = eOS_BOOL_FALSE;
eOsBool OltLogToCliB = eOS_BOOL_FALSE;
char oltDebugTempP[4096];

void OsWrap__TextOut(char *textP) {
    if (ConsoleOutputModeB == eOS_BOOL_TRUE) {
        fputs(textP, stdout);
        fflush(stdout);
    }
}

} // extern "C"
