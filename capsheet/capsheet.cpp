// capsheet.cpp - converts a capture of OMCI frames into a CSV file, one row per OMCI frame.
//
// Usage: capsheet <capture file> <csv file>. Rows are numbered by the record's position in the
// capture, so records that are not OMCI leave gaps. Exit status: 0 when the whole capture was
// converted and every message printed, 1 when the capture, the CSV or the output failed, 2 for
// a wrong argument count.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capsheet.h"
#include "capture.h"
#include "csv.h"

namespace {

using namespace capsheet;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr uint16_t kEtherTypeOmci = 0x88B5;

// Where the protocol type (big-endian) and the OMCI message sit in a frame of each link type
// that can carry OMCI.
struct LinkLayout {
    uint32_t linkType;
    size_t protocolAt;
    size_t messageAt;
};
constexpr LinkLayout kLinkLayouts[] = {
    {1, 12, 14},    // Ethernet: destination MAC, source MAC, EtherType
    {113, 14, 16},  // Linux cooked capture: packet type, address type and length, address, protocol
    {276, 0, 20},   // Linux cooked capture v2: protocol, reserved, interface, address fields
};
static_assert(kHeadMin >= 20);

const LinkLayout *LayoutOf(uint32_t linkType) {
    for (const LinkLayout &layout : kLinkLayouts)
        if (layout.linkType == linkType) return &layout;
    return nullptr;
}

// The layout of rec's link type when rec is an OMCI frame, null otherwise.
const LinkLayout *OmciLayout(const Record &rec) {
    const LinkLayout *layout = LayoutOf(rec.linkType);
    if (layout == nullptr || rec.length < layout->messageAt) return nullptr;
    const uint8_t *type = rec.head + layout->protocolAt;
    return ((type[0] << 8) | type[1]) == kEtherTypeOmci ? layout : nullptr;
}

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
                "Example::: %s onu_0-2-1.pcap omci.csv \n",
                program, program);
}

// The exit status once every message is out: a status of 0 becomes 1 when standard output
// could not take them all.
int Exit(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fputs("Error: can not write standard output\n", stderr);
    return status == kExitConverted ? kExitFailed : status;
}

// True when path names the very file the capture was opened from: creating the CSV there would
// truncate the capture while it is being read.
bool IsCaptureFile(const Capture &cap, const char *path) {
    struct stat in, out;
    return fstat(cap.src.fd, &in) == 0 && stat(path, &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

// The line that says why the conversion stopped at record number.
void ReportDamage(NextResult why, long long number, const Capture &cap, const Record &rec) {
    switch (why) {
        case NextResult::kTimeOutOfRange:
            std::printf("%lld: Time stamp out of range\n", number);
            break;
        case NextResult::kUndeclaredInterface:
            std::printf("%lld: Packet on undeclared interface %u\n", number, rec.interfaceId);
            break;
        case NextResult::kUnknownVersion:
            std::printf("%lld: Section of unknown pcapng version %u.%u\n", number, cap.sectionMajor,
                        cap.sectionMinor);
            break;
        case NextResult::kTooManyInterfaces:
            std::printf("%lld: More than %zu interfaces in a section\n", number, kMaxInterfaces);
            break;
        default:
            std::printf("%lld: Can not read omci header\n", number);
            break;
    }
}

// Converts every record of cap into csv; true when the capture ended cleanly.
bool ConvertRecords(Capture &cap, CsvFile &csv) {
    long long number = 0;  // every record counts, OMCI or not
    Record rec;
    for (;;) {
        NextResult next = CaptureNext(cap, rec);
        if (next == NextResult::kEnd) return true;
        ++number;
        if (next == NextResult::kRecord && rec.length == 0) next = NextResult::kTruncated;  // no header at all
        if (next != NextResult::kRecord) {
            ReportDamage(next, number, cap, rec);
            return false;
        }
        // The frame streams into the row piece by piece; a frame cut short takes its row back.
        const LinkLayout *omci = OmciLayout(rec);
        if (omci != nullptr) {
            CsvBeginRow(csv, number, rec.seconds);
            CaptureFrameDrop(cap, omci->messageAt);
            const uint8_t *piece;
            size_t n;
            while (!csv.failed && (n = CaptureFramePiece(cap, piece)) > 0) CsvPutHex(csv, piece, n);
        }
        if (csv.failed) return false;
        if (!CaptureFinish(cap)) {
            if (omci != nullptr) CsvDropRow(csv);
            ReportDamage(NextResult::kTruncated, number, cap, rec);
            return false;
        }
        if (omci != nullptr) {
            CsvEndRow(csv);
        } else {
            std::printf("Not OMCI protocol. Skip this message.\n");
        }
    }
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
    if (argc != 3) {
        std::printf("Error: the number of input parameters is %d, not 2.\n", argc > 0 ? argc - 1 : 0);
        PrintUsage(program);
        return Exit(kExitUsage);
    }
    const char *capturePath = argv[1];
    const char *csvPath = argv[2];

    // The capture is checked before the CSV is touched: a file that is no capture leaves an
    // existing CSV as it was.
    Capture cap;
    switch (CaptureOpen(cap, capturePath)) {
        case OpenResult::kOk:
            break;
        case OpenResult::kCannotOpen:
            CaptureClose(cap);
            std::printf("Error: can not open pcap file\n");
            return Exit(kExitFailed);
        case OpenResult::kNotACapture:
            CaptureClose(cap);
            std::printf("Error: not a pcap or pcapng file\n");
            return Exit(kExitFailed);
    }
    CsvFile csv;
    if (IsCaptureFile(cap, csvPath) || !CsvCreate(csv, csvPath)) {
        CaptureClose(cap);
        std::printf("Error: can not create csv file\n");
        return Exit(kExitFailed);
    }
    CsvWriteHeader(csv);
    const bool reachedEnd = ConvertRecords(cap, csv);
    CaptureClose(cap);
    if (!CsvClose(csv)) {
        std::printf("Error: can not write csv file\n");
        return Exit(kExitFailed);
    }
    if (!reachedEnd) return Exit(kExitFailed);
    std::printf("Convert %s to %s successfully.\n", capturePath, csvPath);
    return Exit(kExitConverted);
}
