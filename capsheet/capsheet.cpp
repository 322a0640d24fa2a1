// capsheet.cpp - converts a capture of OMCI frames into a CSV file, one row per OMCI frame.
//
// Usage: capsheet <capture file> <csv file>. Rows are numbered by the record's position in the
// capture, so records that are not OMCI leave gaps. Exit status: 0 when the whole capture was
// converted, 1 when the capture or the CSV failed, 2 for a wrong argument count.
#include <cstdio>
#include <sys/stat.h>

#include "capture.h"
#include "csv.h"

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr uint16_t kEtherTypeOmci = 0x88B5;
constexpr size_t kEthernetHeaderSize = 14;  // destination MAC, source MAC, EtherType

// True when path names the very file the capture was opened from: creating the CSV there would
// truncate the capture while it is being read.
bool IsCaptureFile(const capsheet::Capture &cap, const char *path) {
    struct stat in, out;
    return fstat(cap.src.fd, &in) == 0 && stat(path, &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

bool IsOmci(const capsheet::Record &rec) {
    if (rec.length < kEthernetHeaderSize) return false;
    return ((rec.data[12] << 8) | rec.data[13]) == kEtherTypeOmci;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace capsheet;
    if (argc != 3) {
        std::printf("Error: the number of input parameters is %d, not 2.\n", argc - 1);
        std::printf("Usage: ./capsheet <pcap_file_name> <csv_file_name> \n"
                    "Example::: ./capsheet onu_0-2-1.pcap omci.csv \n");
        return kExitUsage;
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
            return kExitFailed;
        case OpenResult::kNotACapture:
            CaptureClose(cap);
            std::printf("Error: not a pcap or pcapng file\n");
            return kExitFailed;
    }
    CsvFile csv;
    if (IsCaptureFile(cap, csvPath) || !CsvCreate(csv, csvPath)) {
        CaptureClose(cap);
        std::printf("Error: can not create csv file\n");
        return kExitFailed;
    }
    CsvWriteHeader(csv);

    bool reachedEnd = false;
    long long number = 0;  // every record counts, OMCI or not
    Record rec;
    for (;;) {
        const NextResult next = CaptureNext(cap, rec);
        if (next == NextResult::kEnd) {
            reachedEnd = true;
            break;
        }
        ++number;
        if (next == NextResult::kTruncated || rec.length == 0) {
            std::printf("%lld: Can not read omci header\n", number);
            break;
        }
        if (!IsOmci(rec)) {
            std::printf("Not OMCI protocol. Skip this message.\n");
            continue;
        }
        CsvWriteRow(csv, number, rec.seconds, rec.data + kEthernetHeaderSize, rec.length - kEthernetHeaderSize);
        if (csv.failed) break;
    }
    CaptureClose(cap);
    if (!CsvClose(csv)) {
        std::printf("Error: can not write csv file\n");
        return kExitFailed;
    }
    if (!reachedEnd) return kExitFailed;
    std::printf("Convert %s to %s successfully.\n", capturePath, csvPath);
    return kExitConverted;
}
