// capture.h - reads the records of a packet capture, classic pcap or pcapng, one after another.
//
// The file is read front to back through one fixed buffer, whatever a length field claims: a
// frame is handed out in pieces as its bytes arrive, and options and blocks without packets are
// skipped, never kept whole. Memory stays the same for a record of 100 bytes or of 4 GiB.
#ifndef CAPSHEET_CAPTURE_H
#define CAPSHEET_CAPTURE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gzip_input.h"

namespace capsheet {

// A sequential byte source over a file descriptor, with a window of buffered bytes. A gzip file
// is inflated on its way into the window.
struct ByteSource {
    int fd = -1;
    bool ownsFd = true;    // false for standard input, which stays open
    GzipInputPtr gzip;     // set when the file is gzip-compressed
    std::unique_ptr<uint8_t[]> buf;
    size_t capacity = 0;
    size_t begin = 0;  // first unconsumed byte
    size_t end = 0;    // one past the last buffered byte
    bool eof = false;
    bool failed = false;  // a read error, as opposed to the end of the file
};

// Makes up to n bytes (n at most the capacity) available at src.buf[src.begin]; returns how
// many are (fewer only at the end of the file or on a read error).
size_t SourceEnsure(ByteSource &src, size_t n);
// Drops n bytes from the front of the window; n must not exceed what SourceEnsure returned.
void SourceConsume(ByteSource &src, size_t n);
// Drops n bytes, reading them through the window; false when the file ends first.
bool SourceSkip(ByteSource &src, uint64_t n);

enum class CaptureFormat { kClassic, kPcapng };

// What the converter keeps of one pcapng interface.
struct PcapngInterface {
    int64_t tsoffset = 0;    // if_tsoffset: seconds added to every time stamp
    uint32_t snaplen = 0;
    uint16_t linkType = 0;
    uint8_t tsresol = 6;     // if_tsresol: 10^-6 s unless the interface says otherwise
};
static_assert(sizeof(PcapngInterface) == 16);

// A section describing more interfaces than this is damaged; the table stays within 1 MiB.
// (Obsolete packet blocks can name no more than 65536 either.)
constexpr size_t kMaxInterfaces = 65536;

struct Capture {
    ByteSource src;
    CaptureFormat format = CaptureFormat::kClassic;
    bool swapped = false;     // the file's byte order is not this machine's
    uint32_t linkType = 0;    // classic: of every record
    bool nanosecondStamps = false;  // classic: the fraction of a second counts nanoseconds
    std::vector<PcapngInterface> interfaces;  // of the current pcapng section
    uint16_t sectionMajor = 0;  // version of the last pcapng section header read
    uint16_t sectionMinor = 0;
    // The record being read.
    uint64_t frameLeft = 0;    // frame bytes not handed out yet
    uint64_t tailLeft = 0;     // bytes between the frame and the block's trailing length
    uint32_t blockLength = 0;  // pcapng: the length the block must end with
};

enum class OpenResult { kOk, kCannotOpen, kNotACapture };

// Opens path ("-": standard input) and reads the global header (classic) or the first section
// header (pcapng), inflating the file first when it is gzip-compressed. Nothing is read twice, so
// a pipe serves as well as a file.
OpenResult CaptureOpen(Capture &cap, const char *path);
void CaptureClose(Capture &cap);

// One packet record as CaptureNext finds it.
struct Record {
    int64_t seconds = 0;           // capture time in whole seconds
    uint32_t nanoseconds = 0;      // and the fraction of that second
    uint8_t fractionDigits = 0;    // the capture's precision: 6 or 9 digits; 0 when it has no
                                   // sub-second time (a simple packet block, a fraction past 1 s)
    uint32_t linkType = 0;         // of the interface the packet was captured on
    uint32_t interfaceId = 0;      // pcapng: the interface the packet block names
    uint64_t length = 0;           // captured bytes of the frame
    const uint8_t *head = nullptr;  // the frame's first headLength bytes, valid until the next read
    size_t headLength = 0;          // all of the frame, or at least its first kHeadMin bytes
};

// Enough of a frame's front for any link-layer header the converter reads.
constexpr size_t kHeadMin = 64;

enum class NextResult {
    kRecord,               // rec holds the next packet record; its frame follows
    kEnd,                  // the file ended cleanly between two records
    kTruncated,            // the next record or block is cut short, damaged or unreadable
    kTimeOutOfRange,       // the record's time in seconds does not fit 64 bits
    kUndeclaredInterface,  // the packet block names an interface its section never described
    kUnknownVersion,       // a section header of a major version other than 1
    kTooManyInterfaces,    // a section describes more than kMaxInterfaces interfaces
};

// Reads the next packet record up to its frame, passing over pcapng blocks that hold no packet.
// A record that fits the buffer is checked whole before it is returned.
NextResult CaptureNext(Capture &cap, Record &rec);
// Drops the first n bytes of the current frame (n at most rec.headLength).
void CaptureFrameDrop(Capture &cap, size_t n);
// Hands out the next piece of the current frame, valid until the next read; 0 at its end, or
// when the file ends first (CaptureFinish then fails).
size_t CaptureFramePiece(Capture &cap, const uint8_t *&piece);
// Passes over the rest of the current record; false when it is cut short or its block damaged.
bool CaptureFinish(Capture &cap);

}  // namespace capsheet

#endif
