// ostextout.cpp - the text output sinks: console, bounded log file, CLI telnet connection, and the
// line buffer whose completed lines go to the host's itSendOltDebugInfoToBll.
#include <string.h>
#include <sys/time.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "oscancel.h"
#include "osshared.h"
#include "oswrap.h"
#include "zqcmtrace.h"
#include "zqcommunicator.h"

namespace {

constexpr size_t kLineBufLen = sizeof oltDebugTempP;
constexpr size_t kLineMaxLen = kLineBufLen - 1; // characters one hand-over carries
static_assert(kLineBufLen == 4096, "the line buffer holds 4095 characters and a terminator");

constexpr size_t kLogFileNameLen = 128;
constexpr size_t kLogFileStampLen = 12; // "_%m%d_%H%M%S"
constexpr size_t kLogFilePrefixMaxLen = kLogFileNameLen - kLogFileStampLen - 1;
static_assert(kLogFilePrefixMaxLen == 115, "prefix, time stamp and terminator fit the name");
// The file is started anew (the old one kept with ".1" appended) before a write would take it
// past this size, so the newest 1 to 2 MiB of output are always on disk.
constexpr size_t kLogFileMaxSize = 1048576;

eOsBool FileOutputModeB = eOS_BOOL_FALSE;

// The log file, its name and size; guarded by logFileMutex.
std::mutex logFileMutex;
FILE *LogFileP = nullptr;
char logFileName[kLogFileNameLen];
size_t logFileSize = 0;

// The line buffer oltDebugTempP is process-wide; lineBufMutex serialises the texts that feed it.
std::mutex lineBufMutex;
// Set while this thread feeds the line buffer: a host sink that prints while it takes a line over
// would otherwise wait for the lock it holds. Its own texts skip the line buffer.
thread_local bool feedingLineBuffer = false;

// Gives the buffer to the host and clears all of it. lineBufMutex held.
void LineBufferHandOver() {
    itSendOltDebugInfoToBll(oltDebugTempP);
    memset(oltDebugTempP, 0, kLineBufLen);
}

void LineBufferAdd(const char *textP) {
    if (feedingLineBuffer) return;
    NoCancelScope noCancel; // the host's sink may reach a cancellation point
    std::lock_guard<std::mutex> lock(lineBufMutex);
    feedingLineBuffer = true;
    size_t textLen = strlen(textP);
    size_t pendingLen = strnlen(oltDebugTempP, kLineMaxLen);
    // What is pending goes first, unchanged, when the text would not fit behind it.
    if (pendingLen > 0 && pendingLen + textLen > kLineMaxLen) {
        LineBufferHandOver();
        pendingLen = 0;
    }
    // A text too long for the buffer even when it is empty goes over in pieces of 4095.
    while (textLen > kLineMaxLen) {
        memcpy(oltDebugTempP, textP, kLineMaxLen);
        oltDebugTempP[kLineMaxLen] = '\0';
        LineBufferHandOver();
        textP += kLineMaxLen;
        textLen -= kLineMaxLen;
    }
    memcpy(oltDebugTempP + pendingLen, textP, textLen + 1);
    // A text that ends a line hands the line over, without its final newline.
    if (textLen > 0 && textP[textLen - 1] == '\n') {
        oltDebugTempP[pendingLen + textLen - 1] = '\0';
        LineBufferHandOver();
    }
    feedingLineBuffer = false;
}

void ReportOpenFailure(const char *nameP, int error) {
    char reason[128];
    const char *reasonP = strerror_r(error, reason, sizeof reason);
    OsMajorLog("fopen() failed: FN:%s, E%d:%s.\n", nameP, error, reasonP);
}

// Keeps the current file as "<name>.1" (replacing an older one) and starts the name afresh.
// logFileMutex held.
void RotateLogFile() {
    fclose(LogFileP);
    LogFileP = nullptr;
    char keptName[kLogFileNameLen + 2];
    snprintf(keptName, sizeof keptName, "%s.1", logFileName);
    rename(logFileName, keptName);
    LogFileP = fopen(logFileName, "w");
    logFileSize = 0;
    if (LogFileP == nullptr) ReportOpenFailure(logFileName, errno);
}

void WriteToFile(const char *textP) {
    NoCancelScope noCancel; // fwrite, fflush and the rotation's fopen are cancellation points
    std::lock_guard<std::mutex> lock(logFileMutex);
    if (LogFileP == nullptr) return;
    size_t textLen = strlen(textP);
    if (logFileSize > 0 && logFileSize + textLen > kLogFileMaxSize) {
        RotateLogFile();
        if (LogFileP == nullptr) return;
    }
    fwrite(textP, 1, textLen, LogFileP);
    fflush(LogFileP);
    logFileSize += textLen;
}

} // namespace

extern "C" {

eOsBool ConsoleOutputModeB = eOS_BOOL_FALSE;
eOsBool OutPutCliB = eOS_BOOL_FALSE;
eOsBool OltLogToCliB = eOS_BOOL_FALSE;
char oltDebugTempP[4096];

void OsWrap__TextOut(char *textP) {
    if (textP == nullptr) return;
    if (SharedIsTrue(ConsoleOutputModeB)) {
        fputs(textP, stdout);
        fflush(stdout);
    }
    if (SharedIsTrue(FileOutputModeB)) WriteToFile(textP);
    WriteToCliTelnetSocket(textP);
    if (SharedIsTrue(OutPutCliB) || SharedIsTrue(OltLogToCliB))
        LineBufferAdd(textP);
}

eOsRet OpenLogFile(char *prefixP) {
    if (prefixP == nullptr) {
        OsMajorLog("OpenLogFile(): NULL prefixP.\n");
        return eOS_RET_INVALID_ARG;
    }
    size_t prefixLen = strlen(prefixP);
    if (prefixLen > kLogFilePrefixMaxLen) {
        OsMajorLog("OpenLogFile(): Prefix too long for the file name: L%u.\n",
                   static_cast<unsigned>(prefixLen));
        return eOS_RET_INVALID_ARG;
    }
    char name[kLogFileNameLen];
    memcpy(name, prefixP, prefixLen);
    name[prefixLen] = '\0';
    struct timeval now;
    struct tm local;
    gettimeofday(&now, nullptr);
    if (localtime_r(&now.tv_sec, &local) != nullptr)
        strftime(name + prefixLen, sizeof name - prefixLen, "_%m%d_%H%M%S", &local);

    NoCancelScope noCancel; // fclose and fopen are cancellation points
    std::lock_guard<std::mutex> lock(logFileMutex);
    if (LogFileP != nullptr) {
        fclose(LogFileP);
        LogFileP = nullptr;
    }
    LogFileP = fopen(name, "w");
    if (LogFileP == nullptr) {
        ReportOpenFailure(name, errno);
        return eOS_RET_FAILURE;
    }
    memcpy(logFileName, name, sizeof logFileName);
    logFileSize = 0;
    return eOS_RET_SUCCESS;
}

void SetDisplayMode(eOsBool consoleOutputModeB, eOsBool fileOutputModeB) {
    SharedSet(WordOf(ConsoleOutputModeB), RawValue(consoleOutputModeB));
    SharedSet(WordOf(FileOutputModeB), RawValue(fileOutputModeB));
}

void SetCliDisplayMode(eOsBool outPutCliB) { SharedSet(WordOf(OutPutCliB), RawValue(outPutCliB)); }

void SetCliShowOltLog(eOsBool outPutCliB) { SharedSet(WordOf(OltLogToCliB), RawValue(outPutCliB)); }

} // extern "C"
