// capture.cpp - reads classic pcap and pcapng captures record by record, in constant memory.
#include "capture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace capsheet {

namespace {

// Big enough that a read call moves a lot of data at once, small enough to keep memory flat.
// Every fixed header and every option value fits it whole.
// The fuzz build shrinks the buffer (CAPSHEET_READ_BUFFER_BYTES) so that small inputs reach its edge.
#ifndef CAPSHEET_READ_BUFFER_BYTES
#define CAPSHEET_READ_BUFFER_BYTES (size_t{1} << 20)
#endif
constexpr size_t kReadBufferSize = CAPSHEET_READ_BUFFER_BYTES;
static_assert(kReadBufferSize >= 4 + 65535 + 3 && kReadBufferSize >= kHeadMin);

constexpr uint32_t kClassicMagicMicro = 0xA1B2C3D4;
constexpr uint32_t kClassicMagicNano = 0xA1B23C4D;
constexpr size_t kClassicHeaderSize = 24;
constexpr size_t kClassicRecordHeaderSize = 16;

constexpr uint32_t kBlockSectionHeader = 0x0A0D0D0A;  // reads the same in both byte orders
constexpr uint32_t kBlockInterface = 1;
constexpr uint32_t kBlockPacketObsolete = 2;
constexpr uint32_t kBlockSimplePacket = 3;
constexpr uint32_t kBlockEnhancedPacket = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptTsresol = 9;
constexpr uint16_t kOptTsoffset = 14;

// Every block ends with its length again, after its body.
constexpr uint32_t kTrailerSize = 4;
// Smallest whole block of each kind: type, length, fixed body, trailing length.
constexpr uint32_t kMinBlock = 12;
constexpr uint32_t kMinSectionHeader = 28;
constexpr uint32_t kMinInterface = 20;
// What is read of a block before its options or its frame.
constexpr size_t kSectionHeaderStart = 16;  // type, length, byte-order magic, version
constexpr size_t kInterfaceFixed = 16;      // type, length, link type, reserved, snap length
constexpr size_t kPacketFixed = 28;         // enhanced and obsolete packet blocks alike
constexpr size_t kSimplePacketFixed = 12;   // type, length, original length

uint16_t Load16(const uint8_t *p, bool swapped) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return swapped ? __builtin_bswap16(v) : v;
}

uint32_t Load32(const uint8_t *p, bool swapped) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return swapped ? __builtin_bswap32(v) : v;
}

uint64_t Load64(const uint8_t *p, bool swapped) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return swapped ? __builtin_bswap64(v) : v;
}

const uint8_t *Window(const ByteSource &src) { return src.buf.get() + src.begin; }

uint64_t Smaller(uint64_t a, uint64_t b) { return a < b ? a : b; }

constexpr uint32_t kNanosPerSecond = 1000000000;

// The fraction of a second that `rest` units of 10^-digits s make, in nanoseconds.
uint32_t DecimalNanos(uint64_t rest, unsigned digits) {
    if (digits <= 9) {
        for (unsigned i = digits; i < 9; ++i) rest *= 10;  // rest < 10^digits: no overflow
        return static_cast<uint32_t>(rest);
    }
    for (unsigned i = 9; i < digits && rest != 0; ++i) rest /= 10;
    return static_cast<uint32_t>(rest);
}

// The time of a pcapng time stamp counted in the interface's units, plus its offset: whole
// seconds, and the fraction in nanoseconds with the precision the units give (6 digits down to
// a microsecond, 9 below). False when the seconds do not fit a signed 64-bit number.
bool PcapngTime(uint64_t stamp, const PcapngInterface &itf, Record &rec) {
    uint64_t whole = 0;
    if (itf.tsresol & 0x80) {  // units of 2^-n seconds
        const unsigned shift = itf.tsresol & 0x7F;
        const uint64_t rest = shift >= 64 ? stamp : stamp & ((uint64_t{1} << shift) - 1);
        whole = shift >= 64 ? 0 : stamp >> shift;
        rec.nanoseconds = shift >= 128 ? 0 : static_cast<uint32_t>((static_cast<unsigned __int128>(rest) * kNanosPerSecond) >> shift);
        rec.fractionDigits = shift >= 20 ? 9 : 6;  // 2^-20 s is just under a microsecond
    } else {  // units of 10^-n seconds; past 10^19 no 64-bit stamp reaches one second
        uint64_t divisor = 1;
        for (unsigned i = 0; i < itf.tsresol && divisor != 0; ++i)
            divisor = divisor > UINT64_MAX / 10 ? 0 : divisor * 10;
        whole = divisor == 0 ? 0 : stamp / divisor;
        rec.nanoseconds = DecimalNanos(divisor == 0 ? stamp : stamp % divisor, itf.tsresol);
        rec.fractionDigits = itf.tsresol > 6 ? 9 : 6;
    }
    // The sum is taken exactly and fails when it does not fit.
    return !__builtin_add_overflow(whole, itf.tsoffset, &rec.seconds);
}

// Skips rest bytes of the current block, then reads its trailing length; true when that equals
// len, the length the block began with.
bool FinishBlock(Capture &cap, uint64_t rest, uint32_t len) {
    ByteSource &src = cap.src;
    if (!SourceSkip(src, rest) || SourceEnsure(src, kTrailerSize) < kTrailerSize) return false;
    const bool matches = Load32(Window(src), cap.swapped) == len;
    SourceConsume(src, kTrailerSize);
    return matches;
}

// Reads the byte order of a section header block at the front of the window (12 bytes there).
bool SectionByteOrder(const uint8_t *p, bool &swapped) {
    uint32_t bom;
    std::memcpy(&bom, p + 8, sizeof bom);
    if (bom == kByteOrderMagic) {
        swapped = false;
        return true;
    }
    if (bom == __builtin_bswap32(kByteOrderMagic)) {
        swapped = true;
        return true;
    }
    return false;
}

// Reads the start of a section header block: its byte order, length and version, which the
// caller checks. Interface ids count from 0 again in every section. The rest of the block, up to
// its trailing length, is len - 20 bytes.
bool SectionHeaderStart(Capture &cap, uint32_t &len) {
    ByteSource &src = cap.src;
    if (SourceEnsure(src, kSectionHeaderStart) < kSectionHeaderStart ||
        !SectionByteOrder(Window(src), cap.swapped))
        return false;
    const uint8_t *p = Window(src);
    len = Load32(p + 4, cap.swapped);
    if (len < kMinSectionHeader || len % 4 != 0) return false;
    cap.sectionMajor = Load16(p + 12, cap.swapped);
    cap.sectionMinor = Load16(p + 14, cap.swapped);
    cap.interfaces.clear();
    SourceConsume(src, kSectionHeaderStart);
    return true;
}

// Reads the options of an interface description, the rest bytes before its trailing length;
// what is left of them stays in rest. Options are optional: a malformed list ends the reading
// and what was read so far stays. False when the file ends first.
bool ReadInterfaceOptions(Capture &cap, PcapngInterface &itf, uint64_t &rest) {
    ByteSource &src = cap.src;
    while (rest >= 4) {
        if (SourceEnsure(src, 4) < 4) return false;
        const uint16_t code = Load16(Window(src), cap.swapped);
        const uint16_t olen = Load16(Window(src) + 2, cap.swapped);
        if (code == kOptEnd || 4u + olen > rest) return true;
        const size_t need = 4 + Smaller(olen, 8);  // only the values read below
        if (SourceEnsure(src, need) < need) return false;
        const uint8_t *value = Window(src) + 4;
        if (code == kOptTsresol && olen >= 1) itf.tsresol = value[0];
        if (code == kOptTsoffset && olen >= 8) itf.tsoffset = static_cast<int64_t>(Load64(value, cap.swapped));
        const uint64_t step = Smaller(4u + ((olen + 3u) & ~3u), rest);
        if (!SourceSkip(src, step)) return false;
        rest -= step;
    }
    return true;
}

// Reads an interface description block of length len into the section's table.
bool ReadInterface(Capture &cap, uint32_t len) {
    ByteSource &src = cap.src;
    if (len < kMinInterface || SourceEnsure(src, kInterfaceFixed) < kInterfaceFixed) return false;
    PcapngInterface itf;
    itf.linkType = Load16(Window(src) + 8, cap.swapped);
    itf.snaplen = Load32(Window(src) + 12, cap.swapped);
    SourceConsume(src, kInterfaceFixed);
    uint64_t rest = len - kInterfaceFixed - kTrailerSize;
    if (!ReadInterfaceOptions(cap, itf, rest) || !FinishBlock(cap, rest, len)) return false;
    cap.interfaces.push_back(itf);
    return true;
}

// The record's fixed fields are consumed and its frame of `frame` bytes is next, followed by
// `tail` more bytes (and the trailing length in pcapng). A record that fits the buffer is
// checked whole here, so a short file is found before any of it is written.
NextResult StartFrame(Capture &cap, uint64_t frame, uint64_t tail, Record &rec) {
    ByteSource &src = cap.src;
    const bool trailer = cap.format == CaptureFormat::kPcapng;
    cap.frameLeft = frame;
    cap.tailLeft = tail;
    const uint64_t rest = frame + tail + (trailer ? kTrailerSize : 0);
    const size_t want = static_cast<size_t>(Smaller(rest, src.capacity));
    if (SourceEnsure(src, want) < want) return NextResult::kTruncated;
    if (trailer && rest == want && Load32(Window(src) + want - kTrailerSize, cap.swapped) != cap.blockLength)
        return NextResult::kTruncated;
    rec.length = frame;
    rec.head = Window(src);
    rec.headLength = static_cast<size_t>(Smaller(frame, want));
    return NextResult::kRecord;
}

NextResult ClassicNext(Capture &cap, Record &rec) {
    ByteSource &src = cap.src;
    const size_t got = SourceEnsure(src, kClassicRecordHeaderSize);
    if (got == 0) return src.failed ? NextResult::kTruncated : NextResult::kEnd;
    if (got < kClassicRecordHeaderSize) return NextResult::kTruncated;
    const uint8_t *hdr = Window(src);
    rec.seconds = static_cast<int32_t>(Load32(hdr, cap.swapped));
    const uint32_t fraction = Load32(hdr + 4, cap.swapped);
    const uint32_t perSecond = cap.nanosecondStamps ? kNanosPerSecond : 1000000;
    rec.fractionDigits = fraction < perSecond ? (cap.nanosecondStamps ? 9 : 6) : 0;
    rec.nanoseconds = fraction < perSecond ? (cap.nanosecondStamps ? fraction : fraction * 1000) : 0;
    rec.linkType = cap.linkType;
    const uint32_t caplen = Load32(hdr + 8, cap.swapped);
    SourceConsume(src, kClassicRecordHeaderSize);
    return StartFrame(cap, caplen, 0, rec);
}

// Reads an enhanced, simple or obsolete packet block of length len up to its frame.
NextResult ReadPacket(Capture &cap, uint32_t type, uint32_t len, Record &rec) {
    ByteSource &src = cap.src;
    const bool simple = type == kBlockSimplePacket;
    const size_t fixed = simple ? kSimplePacketFixed : kPacketFixed;
    if (len < fixed + kTrailerSize || SourceEnsure(src, fixed) < fixed) return NextResult::kTruncated;
    const uint8_t *p = Window(src);
    const uint32_t room = static_cast<uint32_t>(len - fixed - kTrailerSize);  // frame, padding, options

    // A simple packet block belongs to interface 0 and has no time stamp.
    rec.interfaceId = simple                         ? 0
                      : type == kBlockEnhancedPacket ? Load32(p + 8, cap.swapped)
                                                     : Load16(p + 8, cap.swapped);
    if (rec.interfaceId >= cap.interfaces.size()) return NextResult::kUndeclaredInterface;
    const PcapngInterface &itf = cap.interfaces[rec.interfaceId];
    uint32_t caplen;
    uint64_t stamp = 0;
    if (simple) {
        // No captured length: the original length cut to the interface's snap length.
        const uint32_t original = Load32(p + 8, cap.swapped);
        caplen = (itf.snaplen != 0 && original > itf.snaplen) ? itf.snaplen : original;
    } else {
        caplen = Load32(p + 20, cap.swapped);
        stamp = (uint64_t{Load32(p + 12, cap.swapped)} << 32) | Load32(p + 16, cap.swapped);
    }
    if (caplen > room) return NextResult::kTruncated;
    rec.seconds = 0;
    rec.nanoseconds = 0;
    rec.fractionDigits = 0;
    if (!simple && !PcapngTime(stamp, itf, rec)) return NextResult::kTimeOutOfRange;
    rec.linkType = itf.linkType;
    cap.blockLength = len;
    SourceConsume(src, fixed);
    return StartFrame(cap, caplen, room - caplen, rec);
}

NextResult PcapngNext(Capture &cap, Record &rec) {
    ByteSource &src = cap.src;
    for (;;) {
        const size_t got = SourceEnsure(src, 8);
        if (got == 0) return src.failed ? NextResult::kTruncated : NextResult::kEnd;
        if (got < 8) return NextResult::kTruncated;
        uint32_t type;
        std::memcpy(&type, Window(src), sizeof type);
        if (type == kBlockSectionHeader) {  // a new section may change the byte order
            uint32_t len;
            if (!SectionHeaderStart(cap, len)) return NextResult::kTruncated;
            if (cap.sectionMajor != 1) return NextResult::kUnknownVersion;
            if (!FinishBlock(cap, len - kSectionHeaderStart - kTrailerSize, len)) return NextResult::kTruncated;
            continue;
        }
        type = Load32(Window(src), cap.swapped);
        const uint32_t len = Load32(Window(src) + 4, cap.swapped);
        if (len < kMinBlock || len % 4 != 0) return NextResult::kTruncated;
        switch (type) {
            case kBlockInterface:
                if (cap.interfaces.size() == kMaxInterfaces) return NextResult::kTooManyInterfaces;
                if (!ReadInterface(cap, len)) return NextResult::kTruncated;
                continue;
            case kBlockEnhancedPacket:
            case kBlockSimplePacket:
            case kBlockPacketObsolete:
                return ReadPacket(cap, type, len, rec);
            default:  // a block without packets
                SourceConsume(src, 8);
                if (!FinishBlock(cap, len - 8 - kTrailerSize, len)) return NextResult::kTruncated;
                continue;
        }
    }
}

}  // namespace

size_t SourceEnsure(ByteSource &src, size_t n) {
    if (n > src.capacity) n = src.capacity;
    while (src.end - src.begin < n && !src.eof && !src.failed) {
        // Move the leftover to the front so the read fills as much as possible.
        if (src.begin > 0) {
            std::memmove(src.buf.get(), src.buf.get() + src.begin, src.end - src.begin);
            src.end -= src.begin;
            src.begin = 0;
        }
        uint8_t *into = src.buf.get() + src.end;
        const size_t room = src.capacity - src.end;
        const ssize_t r = src.gzip ? GzipRead(*src.gzip, into, room) : read(src.fd, into, room);
        if (r > 0) {
            src.end += static_cast<size_t>(r);
        } else if (r == 0) {
            src.eof = true;
        } else if (src.gzip || errno != EINTR) {
            src.failed = true;
        }
    }
    const size_t have = src.end - src.begin;
    return have < n ? have : n;
}

void SourceConsume(ByteSource &src, size_t n) { src.begin += n; }

bool SourceSkip(ByteSource &src, uint64_t n) {
    while (n > 0) {
        if (src.end == src.begin && SourceEnsure(src, 1) == 0) return false;
        const size_t take = static_cast<size_t>(Smaller(n, src.end - src.begin));
        SourceConsume(src, take);
        n -= take;
    }
    return true;
}

// When the file starts with gzip's magic bytes, its bytes are inflated from here on: what was
// read so far becomes the inflater's input, and the window starts empty.
static bool StartGzip(ByteSource &src) {
    if (SourceEnsure(src, 2) < 2 || Window(src)[0] != kGzipMagic0 || Window(src)[1] != kGzipMagic1) return true;
    src.gzip = GzipStart(src.fd, std::move(src.buf), src.capacity, src.begin, src.end);
    src.buf.reset(new uint8_t[kReadBufferSize]);
    src.begin = src.end = 0;
    src.eof = false;
    return src.gzip != nullptr;
}

OpenResult CaptureOpen(Capture &cap, const char *path) {
    ByteSource &src = cap.src;
    if (std::strcmp(path, "-") == 0) {
        src.fd = STDIN_FILENO;
        src.ownsFd = false;
    } else {
        do {
            src.fd = open(path, O_RDONLY | O_CLOEXEC);
        } while (src.fd < 0 && errno == EINTR);
        if (src.fd < 0) return OpenResult::kCannotOpen;
    }
    src.buf.reset(new uint8_t[kReadBufferSize]);
    src.capacity = kReadBufferSize;
    if (!StartGzip(src)) return OpenResult::kCannotOpen;

    // Not even the first bytes readable (a directory, an I/O error): the file cannot be read. A
    // damaged gzip stream could be read; what it holds is no capture.
    const size_t got = SourceEnsure(src, kClassicHeaderSize);
    if (src.failed && got < kClassicHeaderSize && !src.gzip) return OpenResult::kCannotOpen;
    if (got < 12) return OpenResult::kNotACapture;

    uint32_t magic;
    std::memcpy(&magic, Window(src), sizeof magic);
    if (magic == kClassicMagicMicro || magic == kClassicMagicNano ||
        magic == __builtin_bswap32(kClassicMagicMicro) || magic == __builtin_bswap32(kClassicMagicNano)) {
        if (got < kClassicHeaderSize) return OpenResult::kNotACapture;
        cap.format = CaptureFormat::kClassic;
        cap.swapped = magic != kClassicMagicMicro && magic != kClassicMagicNano;
        cap.nanosecondStamps = magic == kClassicMagicNano || magic == __builtin_bswap32(kClassicMagicNano);
        // The upper half of the link-type field holds frame check sequence flags.
        cap.linkType = Load32(Window(src) + 20, cap.swapped) & 0xFFFF;
        SourceConsume(src, kClassicHeaderSize);
        return OpenResult::kOk;
    }
    if (magic == kBlockSectionHeader) {
        // The first section header must be whole and of a version this reader knows.
        cap.format = CaptureFormat::kPcapng;
        uint32_t len;
        if (!SectionHeaderStart(cap, len) || cap.sectionMajor != 1 ||
            !FinishBlock(cap, len - kSectionHeaderStart - kTrailerSize, len))
            return OpenResult::kNotACapture;
        return OpenResult::kOk;
    }
    return OpenResult::kNotACapture;
}

void CaptureClose(Capture &cap) {
    cap.src.gzip.reset();
    if (cap.src.fd >= 0 && cap.src.ownsFd) close(cap.src.fd);
    cap.src.fd = -1;
}

NextResult CaptureNext(Capture &cap, Record &rec) {
    return cap.format == CaptureFormat::kClassic ? ClassicNext(cap, rec) : PcapngNext(cap, rec);
}

void CaptureFrameDrop(Capture &cap, size_t n) {
    SourceConsume(cap.src, n);
    cap.frameLeft -= n;
}

size_t CaptureFramePiece(Capture &cap, const uint8_t *&piece) {
    ByteSource &src = cap.src;
    if (cap.frameLeft == 0) return 0;
    size_t have = src.end - src.begin;
    if (have == 0) have = SourceEnsure(src, static_cast<size_t>(Smaller(cap.frameLeft, src.capacity)));
    const size_t take = static_cast<size_t>(Smaller(have, cap.frameLeft));
    piece = Window(src);
    SourceConsume(src, take);
    cap.frameLeft -= take;
    return take;
}

bool CaptureFinish(Capture &cap) {
    const uint64_t rest = cap.frameLeft + cap.tailLeft;
    cap.frameLeft = 0;
    cap.tailLeft = 0;
    if (cap.format == CaptureFormat::kClassic) return SourceSkip(cap.src, rest);
    return FinishBlock(cap, rest, cap.blockLength);
}

}  // namespace capsheet
