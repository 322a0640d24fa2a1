// printf.cpp - the library's unconditional output: SvcPrintf to syslog and the information
// handler, hex dumps, and the same straight to the system console.
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "oscancel.h"
#include "oswrap.h"
#include "printf_hooks.h"
#include "osshared.h"
#include "svc.h"
#include "svcsyslog.h"

namespace {

// A line is composed in 2080 bytes on the caller's stack and cut at 2048 characters.
constexpr size_t kLineBufLen = 2080;
constexpr size_t kLineMaxLen = 2048;
// Input bytes per hex dump chunk: three characters each plus the line breaks fit the line buffer.
constexpr uint32 kHexChunkLen = 653;
static_assert(kHexChunkLen * 3 + kHexChunkLen / 16 + 2 < kLineBufLen, "a chunk fits its buffer");

// The console descriptor: -1 until opened, back to -1 after a failed write. consoleMutex guards
// open, write and close, so no task writes on a descriptor another one is closing.
std::mutex consoleMutex;
int consoleFd = -1;
char consolePath[256] = "/dev/console";

std::atomic<tSyslogObserver> syslogObserver{nullptr};

// Formats into line (2080 bytes, zero-filled) with the "%t" directive, cut at 2048 characters.
void ComposeLine(char *line, const char *formatP, va_list args) {
    memset(line, 0, kLineBufLen);
    if (formatP == nullptr) return;
    size_t used = 0;
    if (formatP[0] == '%' && formatP[1] == 't') {
        tOsTime now = OsWrap__GetSysTime();
        int written = snprintf(line, kLineMaxLen + 1, "TH%uL%u:", now.high, now.low);
        if (written > 0) used = static_cast<size_t>(written);
        formatP += 2;
    }
    vsnprintf(line + used, kLineMaxLen + 1 - used, formatP, args);
    line[kLineMaxLen] = '\0';
}

int writeToConsole(const char *text) {
    NoCancelScope noCancel; // open, write and close are cancellation points
    std::lock_guard<std::mutex> lock(consoleMutex);
    if (consoleFd < 0) {
        consoleFd = open(consolePath, O_RDWR | O_CLOEXEC);
        if (consoleFd < 0) return -1;
    }
    if (write(consoleFd, text, strlen(text)) < 0) {
        close(consoleFd);
        consoleFd = -1;
        return -1;
    }
    return 0;
}

void InfoHandlerOut(const char *text) {
    tOsSysErrorHandler handler = SharedGet(SvcSysInfoHandler);
    if (handler != nullptr) handler(const_cast<char *>(text));
}

void ConsoleOut(const char *text) { (void)writeToConsole(text); }

// Writes the dump one chunk at a time: full chunks as they are, then the rest with "\n". The line
// breaks count bytes over the whole dump, so the joined texts read as one dump.
void HexDump(const char *bufferP, uint32 length, eOsBool dumpForm, void (*outP)(const char *)) {
    const unsigned char *bytesP = reinterpret_cast<const unsigned char *>(bufferP);
    if (bytesP == nullptr) length = 0;
    uint32 form; // a C host may pass any 32-bit value; only eOS_BOOL_TRUE asks for the dump form
    memcpy(&form, &dumpForm, sizeof form);
    bool dump = form == static_cast<uint32>(eOS_BOOL_TRUE);
    char text[kLineBufLen];
    uint32 index = 0;
    uint32 fullChunks = length / kHexChunkLen;
    for (uint32 chunk = 0; chunk <= fullChunks; ++chunk) {
        uint32 chunkLen = chunk < fullChunks ? kHexChunkLen : length % kHexChunkLen;
        memset(text, 0, sizeof text);
        size_t used = 0;
        for (uint32 i = 0; i < chunkLen; ++i, ++index) {
            if (dump) {
                if (index != 0 && index % 16 == 0) text[used++] = '\n';
                used += static_cast<size_t>(snprintf(text + used, sizeof text - used, " %02X", bytesP[index]));
            } else {
                used += static_cast<size_t>(snprintf(text + used, sizeof text - used, "%02X", bytesP[index]));
            }
        }
        if (chunk == fullChunks) text[used] = '\n';
        outP(text);
    }
}

} // namespace

void SvcWriteSyslog(const char *lineP) {
    syslog(LOG_USER | LOG_ERR, "%s: %s", "DEDURO", lineP);
    if (tSyslogObserver observer = syslogObserver.load(); observer != nullptr) observer(lineP);
}

void SvcSetSyslogObserver(tSyslogObserver observer) { syslogObserver.store(observer); }

void SvcConsoleSetTestPath(const char *pathP) {
    NoCancelScope noCancel;
    std::lock_guard<std::mutex> lock(consoleMutex);
    if (consoleFd >= 0) close(consoleFd);
    consoleFd = -1;
    snprintf(consolePath, sizeof consolePath, "%s", pathP != nullptr ? pathP : "/dev/console");
}

extern "C" {

void(SvcPrintf)(const char *formatP, ...) {
    char line[kLineBufLen];
    va_list args;
    va_start(args, formatP);
    ComposeLine(line, formatP, args);
    va_end(args);
    SvcWriteSyslog(line);
    InfoHandlerOut(line);
}

void SvcPrintHex(char *bufferP, uint32 length, eOsBool dumpForm) {
    HexDump(bufferP, length, dumpForm, InfoHandlerOut);
}

void(SvcConsolePrintf)(const char *formatP, ...) {
    char line[kLineBufLen];
    va_list args;
    va_start(args, formatP);
    ComposeLine(line, formatP, args);
    va_end(args);
    (void)writeToConsole(line);
}

void SvcConsolePrintHex(char *bufferP, uint32 length, eOsBool dumpForm) {
    HexDump(bufferP, length, dumpForm, ConsoleOut);
}

} // extern "C"
