// capsheet.cpp - converts a capture of OMCI frames into a CSV file, one row per OMCI frame, or
// reports on the OMCI exchanges in it.
//
// Usage: capsheet [--decode] <capture file> <csv file>
//        capsheet --check [--json] [--fail-on unanswered,failed] <capture file>
// Rows are numbered by the record's position in the capture, so records that are not OMCI leave
// gaps. Either file name may be "-": standard input, standard output. Exit status: 0 when the
// whole capture was converted (or checked) and every message printed, 1 when the capture, the
// CSV or the output failed or a --fail-on condition holds, 2 for a wrong command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capsheet.h"
#include "capture.h"
#include "check.h"
#include "csv.h"
#include "decode.h"
#include "link.h"
#include "omci.h"

namespace {

using namespace capsheet;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

enum class Mode { kConvert, kDecode, kCheck };

struct Options {
    Mode mode = Mode::kConvert;
    bool json = false;
    bool failOnUnanswered = false;
    bool failOnFailed = false;
    const char *capture = nullptr;
    const char *csv = nullptr;
};

// Descriptors 0 to 2 that the caller left closed are opened on /dev/null first, so neither the
// capture nor the CSV can take their place and mix with the messages. False when that fails.
bool OpenMissingStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower descriptors are open, so this one is the lowest free.
        if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) return false;
    }
    return true;
}

void PrintUsage(const char *program) {
    std::printf("Usage: %s <pcap_file_name> <csv_file_name> \n"
                "Example::: %s onu_0-2-1.pcap omci.csv \n"
                "       %s --decode <pcap_file_name> <csv_file_name>\n"
                "       %s --check [--json] [--fail-on unanswered,failed] <pcap_file_name>\n"
                "A file name of - reads standard input or writes standard output.\n",
                program, program, program, program);
}

// The exit status once every message is out: a status of 0 becomes 1 when standard output
// could not take them all.
int Exit(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fputs("Error: can not write standard output\n", stderr);
    return status == kExitConverted ? kExitFailed : status;
}

// Reads --fail-on's list: "unanswered", "failed" or both, comma-separated.
bool ParseFailOn(const char *list, Options &opt) {
    const char *at = list;
    for (;;) {
        const char *end = std::strchr(at, ',');
        const size_t n = end ? static_cast<size_t>(end - at) : std::strlen(at);
        if (n == 10 && std::strncmp(at, "unanswered", n) == 0) opt.failOnUnanswered = true;
        else if (n == 6 && std::strncmp(at, "failed", n) == 0) opt.failOnFailed = true;
        else return false;
        if (end == nullptr) return true;
        at = end + 1;
    }
}

// Prints why the command line is wrong; false, for the caller to return.
bool Wrong(const char *why) {
    std::fputs(why, stdout);
    return false;
}

// Reads the options and file names; prints why and returns false when the command line is wrong.
bool ParseArguments(int argc, char **argv, Options &opt) {
    const char *files[2] = {};
    int fileCount = 0;
    bool decode = false, check = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--decode") == 0) {
            decode = true;
        } else if (std::strcmp(arg, "--check") == 0) {
            check = true;
        } else if (std::strcmp(arg, "--json") == 0) {
            opt.json = true;
        } else if (std::strcmp(arg, "--fail-on") == 0) {
            if (i + 1 == argc || !ParseFailOn(argv[++i], opt))
                return Wrong("Error: --fail-on takes unanswered, failed or unanswered,failed\n");
        } else if (arg[0] == '-' && arg[1] == '-') {
            std::printf("Error: unknown option %s\n", arg);
            return false;
        } else {  // a file name; "-" is standard input or output
            if (fileCount < 2) files[fileCount] = arg;
            ++fileCount;
        }
    }
    if (decode && check) return Wrong("Error: --decode and --check do not go together\n");
    if (!check && (opt.json || opt.failOnUnanswered || opt.failOnFailed))
        return Wrong("Error: --json and --fail-on go with --check\n");
    const int wanted = check ? 1 : 2;
    if (fileCount != wanted) {
        std::printf("Error: the number of input parameters is %d, not %d.\n", fileCount, wanted);
        return false;
    }
    opt.mode = check ? Mode::kCheck : decode ? Mode::kDecode : Mode::kConvert;
    opt.capture = files[0];
    opt.csv = check ? nullptr : files[1];
    return true;
}

// True when the CSV would be the very file the capture is read from: writing it would truncate
// or grow the capture while it is being read.
bool IsCaptureFile(const Capture &cap, const char *csvPath) {
    struct stat in, out;
    const bool standardOutput = std::strcmp(csvPath, "-") == 0;
    return fstat(cap.src.fd, &in) == 0 && S_ISREG(in.st_mode) &&
           (standardOutput ? fstat(STDOUT_FILENO, &out) : stat(csvPath, &out)) == 0 &&
           in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

// The line that says why reading stopped at record number.
void ReportDamage(FILE *notes, NextResult why, long long number, const Capture &cap, const Record &rec) {
    switch (why) {
        case NextResult::kTimeOutOfRange:
            std::fprintf(notes, "%lld: Time stamp out of range\n", number);
            break;
        case NextResult::kUndeclaredInterface:
            std::fprintf(notes, "%lld: Packet on undeclared interface %u\n", number, rec.interfaceId);
            break;
        case NextResult::kUnknownVersion:
            std::fprintf(notes, "%lld: Section of unknown pcapng version %u.%u\n", number, cap.sectionMajor,
                         cap.sectionMinor);
            break;
        case NextResult::kTooManyInterfaces:
            std::fprintf(notes, "%lld: More than %zu interfaces in a section\n", number, kMaxInterfaces);
            break;
        default:
            std::fprintf(notes, "%lld: Can not read omci header\n", number);
            break;
    }
}

// Where each OMCI message goes: a CSV row (with the decoded columns or without), or the report.
struct Output {
    CsvFile *csv = nullptr;
    bool decode = false;
    CheckState *check = nullptr;
    FILE *notes = stdout;
};

// Reads every record of cap into out; true when the capture ended cleanly.
bool ReadRecords(Capture &cap, const Output &out) {
    long long number = 0;  // every record counts, OMCI or not
    Record rec;
    SecondText lastSecond;
    char decoded[kDecodeTextMax];
    for (;;) {
        NextResult next = CaptureNext(cap, rec);
        if (next == NextResult::kEnd) return true;
        ++number;
        if (next == NextResult::kRecord && rec.length == 0) next = NextResult::kTruncated;  // no header at all
        if (next != NextResult::kRecord) {
            ReportDamage(out.notes, next, number, cap, rec);
            return false;
        }
        OmciFrame frame;
        const bool omci = FindOmci(rec, frame);
        OmciHeader header;
        if (omci && (out.decode || out.check))
            header = ReadOmciHeader(rec.head + frame.messageAt, rec.headLength - frame.messageAt,
                                    rec.length - frame.messageAt);
        // The frame streams into the row piece by piece; a frame cut short takes its row back.
        CsvFile *csv = omci ? out.csv : nullptr;
        if (csv != nullptr) {
            CsvBeginRow(*csv, number, rec.seconds);
            CaptureFrameDrop(cap, frame.messageAt);
            const uint8_t *piece;
            size_t n;
            while (!csv->failed && (n = CaptureFramePiece(cap, piece)) > 0) CsvPutHex(*csv, piece, n);
            if (csv->failed) return false;
        }
        if (!CaptureFinish(cap)) {
            if (csv != nullptr) CsvDropRow(*csv);
            ReportDamage(out.notes, NextResult::kTruncated, number, cap, rec);
            return false;
        }
        if (csv != nullptr) {
            if (out.decode) CsvPutText(*csv, decoded, FormatDecodeColumns(decoded, rec, header, lastSecond));
            CsvEndRow(*csv);
        } else if (omci && out.check != nullptr) {
            CheckAdd(*out.check, number, rec, frame, header);
        } else if (out.check == nullptr) {
            std::fprintf(out.notes, "Not OMCI protocol. Skip this message.\n");
        }
    }
}

// --check: reads the capture once, then prints the report on standard output; its messages go to
// standard error so the report stays whole.
int CheckCapture(Capture &cap, const Options &opt) {
    CheckStatePtr state = CheckStart();
    Output out;
    out.check = state.get();
    out.notes = stderr;
    const bool reachedEnd = ReadRecords(cap, out);
    CaptureClose(cap);
    if (opt.json) CheckPrintJson(*state, stdout);
    else CheckPrintText(*state, stdout);
    const bool condition = (opt.failOnUnanswered && CheckHasUnanswered(*state)) ||
                           (opt.failOnFailed && CheckHasFailures(*state));
    return Exit(reachedEnd && !condition ? kExitConverted : kExitFailed);
}

}  // namespace

int capsheet::Run(int argc, char **argv) {
    if (!OpenMissingStandardStreams()) return kExitFailed;
    // Started without a name (the kernel may also supply an empty one), it calls itself capsheet.
    const char *program = argc > 0 && argv[0] != nullptr && argv[0][0] != '\0' ? argv[0] : "capsheet";
    if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage(program);
        return Exit(kExitConverted);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("capsheet (relayKit) %s\n", RELAYKIT_VERSION_TEXT);
        return Exit(kExitConverted);
    }
    Options opt;
    if (!ParseArguments(argc, argv, opt)) {
        PrintUsage(program);
        return Exit(kExitUsage);
    }
    // Standard output that carries the CSV or the report takes nothing else: the notes go to
    // standard error then.
    FILE *notes = opt.mode == Mode::kCheck || std::strcmp(opt.csv, "-") == 0 ? stderr : stdout;

    // The capture is checked before the CSV is touched: a file that is no capture leaves an
    // existing CSV as it was.
    Capture cap;
    switch (CaptureOpen(cap, opt.capture)) {
        case OpenResult::kOk:
            break;
        case OpenResult::kCannotOpen:
            CaptureClose(cap);
            std::fprintf(notes, "Error: can not open pcap file\n");
            return Exit(kExitFailed);
        case OpenResult::kNotACapture:
            CaptureClose(cap);
            std::fprintf(notes, "Error: not a pcap or pcapng file\n");
            return Exit(kExitFailed);
    }
    if (opt.mode == Mode::kCheck) return CheckCapture(cap, opt);

    CsvFile csv;
    if (IsCaptureFile(cap, opt.csv) || !CsvCreate(csv, opt.csv)) {
        CaptureClose(cap);
        std::fprintf(notes, "Error: can not create csv file\n");
        return Exit(kExitFailed);
    }
    Output out;
    out.csv = &csv;
    out.decode = opt.mode == Mode::kDecode;
    out.notes = notes;
    CsvWriteHeader(csv, out.decode ? kDecodeColumns : "");
    const bool reachedEnd = ReadRecords(cap, out);
    CaptureClose(cap);
    if (!CsvClose(csv)) {
        std::fprintf(notes, "Error: can not write csv file\n");
        return Exit(kExitFailed);
    }
    if (!reachedEnd) return Exit(kExitFailed);
    std::fprintf(notes, "Convert %s to %s successfully.\n", opt.capture, opt.csv);
    return Exit(kExitConverted);
}
