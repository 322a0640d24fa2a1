// printf.cpp - the library's unconditional output: SvcPrintf to syslog and the information handler.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <syslog.h>

#include "oswrap.h"
#include "svc.h"

namespace {
constexpr int kLineBufLen = 2080;
constexpr int kLineMaxLen = 2048;
} // namespace

extern "C" {

void SvcPrintf(const char *formatP, ...) {
    char line[kLineBufLen] = {};
    va_list args;
    va_start(args, formatP);
    vsnprintf(line, kLineMaxLen + 1, formatP, args);
    va_end(args);
    syslog(LOG_USER | LOG_ERR, "%s: %s", "DEDURO", line);
    tOsSysErrorHandler handler = SvcSysInfoHandler;
    if (handler != nullptr) handler(line);
}

} // extern "C"
