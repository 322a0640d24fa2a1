// capture.h - reads the records of a packet capture, classic pcap or pcapng, one after another.
//
// The file is read front to back through one buffer; a record's bytes stay valid until the next
// call to CaptureNext. The buffer grows only for a frame larger than itself, and only as that
// frame's bytes actually arrive, so a damaged length field never makes it grow past the file.
#ifndef CAPSHEET_CAPTURE_H
#define CAPSHEET_CAPTURE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace capsheet {

// A sequential byte source over a file descriptor, with a window of buffered bytes.
struct ByteSource {
    int fd = -1;
    std::unique_ptr<uint8_t[]> buf;
    size_t capacity = 0;
    size_t begin = 0;  // first unconsumed byte
    size_t end = 0;    // one past the last buffered byte
    bool eof = false;
    bool failed = false;  // a read error, as opposed to the end of the file
};

// Makes up to n bytes available at src.buf[src.begin]; returns how many are (fewer only at the
// end of the file or on a read error).
size_t SourceEnsure(ByteSource &src, size_t n);
// Drops n bytes from the front of the window; n must not exceed what SourceEnsure returned.
void SourceConsume(ByteSource &src, size_t n);
// Drops n bytes without buffering them whole; false when the file ends first.
bool SourceSkip(ByteSource &src, uint64_t n);

enum class CaptureFormat { kClassic, kPcapng };

// One pcapng interface: what its packets need to turn time stamps into seconds.
struct PcapngInterface {
    uint32_t snaplen = 0;
    uint8_t tsresol = 6;     // if_tsresol: 10^-6 s unless the interface says otherwise
    int64_t tsoffset = 0;    // if_tsoffset: seconds added to every time stamp
};

struct Capture {
    ByteSource src;
    CaptureFormat format = CaptureFormat::kClassic;
    bool swapped = false;  // the file's byte order is not this machine's
    std::vector<PcapngInterface> interfaces;  // of the current pcapng section
};

enum class OpenResult { kOk, kCannotOpen, kNotACapture };

// Opens path and reads the global header (classic) or the first section header (pcapng).
OpenResult CaptureOpen(Capture &cap, const char *path);
void CaptureClose(Capture &cap);

// One packet record: its capture time in whole seconds and its captured bytes.
struct Record {
    int64_t seconds = 0;
    const uint8_t *data = nullptr;
    size_t length = 0;
};

enum class NextResult {
    kRecord,     // rec holds the next packet record
    kEnd,        // the file ended cleanly between two records
    kTruncated,  // the next record is cut short, damaged or unreadable
};

// Reads the next packet record, passing over pcapng blocks that hold no packet.
NextResult CaptureNext(Capture &cap, Record &rec);

}  // namespace capsheet

#endif
