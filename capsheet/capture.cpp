// capture.cpp - reads classic pcap and pcapng captures record by record.
#include "capture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace capsheet {

namespace {

// Big enough that a read call moves a lot of data at once, small enough to keep memory flat.
constexpr size_t kReadBufferSize = size_t{1} << 20;

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

// Smallest whole block of each kind: type, length, fixed body, trailing length.
constexpr uint32_t kMinBlock = 12;
constexpr uint32_t kMinSectionHeader = 28;
constexpr uint32_t kMinInterface = 20;
constexpr uint32_t kMinPacket = 32;  // enhanced and obsolete packet blocks alike
constexpr uint32_t kMinSimplePacket = 16;

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

// Whole seconds of a pcapng time stamp counted in the interface's units.
int64_t PcapngSeconds(uint64_t stamp, const PcapngInterface &itf) {
    uint64_t seconds = 0;
    if (itf.tsresol & 0x80) {  // units of 2^-n seconds
        const unsigned shift = itf.tsresol & 0x7F;
        seconds = shift >= 64 ? 0 : stamp >> shift;
    } else {  // units of 10^-n seconds; past 10^19 no 64-bit stamp reaches one second
        uint64_t divisor = 1;
        for (unsigned i = 0; i < itf.tsresol && divisor != 0; ++i)
            divisor = divisor > UINT64_MAX / 10 ? 0 : divisor * 10;
        seconds = divisor == 0 ? 0 : stamp / divisor;
    }
    return static_cast<int64_t>(seconds) + itf.tsoffset;
}

// Reads the options of an interface description block; p and len cover the whole block.
// Options are optional: a malformed list just ends the reading, the defaults stay.
PcapngInterface ParseInterface(const uint8_t *p, uint32_t len, bool swapped) {
    PcapngInterface itf;
    itf.snaplen = Load32(p + 12, swapped);
    size_t pos = 16;
    const size_t limit = len - 4;
    while (pos + 4 <= limit) {
        const uint16_t code = Load16(p + pos, swapped);
        const uint16_t olen = Load16(p + pos + 2, swapped);
        if (code == kOptEnd || pos + 4 + olen > limit) break;
        const uint8_t *value = p + pos + 4;
        if (code == kOptTsresol && olen >= 1) itf.tsresol = value[0];
        if (code == kOptTsoffset && olen >= 8) itf.tsoffset = static_cast<int64_t>(Load64(value, swapped));
        pos += 4 + ((olen + 3u) & ~3u);
    }
    return itf;
}

NextResult ClassicNext(Capture &cap, Record &rec) {
    ByteSource &src = cap.src;
    const size_t got = SourceEnsure(src, kClassicRecordHeaderSize);
    if (got == 0) return src.failed ? NextResult::kTruncated : NextResult::kEnd;
    if (got < kClassicRecordHeaderSize) return NextResult::kTruncated;
    const uint8_t *hdr = Window(src);
    const int32_t seconds = static_cast<int32_t>(Load32(hdr, cap.swapped));
    const uint32_t caplen = Load32(hdr + 8, cap.swapped);
    SourceConsume(src, kClassicRecordHeaderSize);
    if (SourceEnsure(src, caplen) < caplen) return NextResult::kTruncated;
    rec.seconds = seconds;
    rec.data = Window(src);
    rec.length = caplen;
    SourceConsume(src, caplen);
    return NextResult::kRecord;
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

NextResult PcapngNext(Capture &cap, Record &rec) {
    ByteSource &src = cap.src;
    for (;;) {
        size_t got = SourceEnsure(src, 8);
        if (got == 0) return src.failed ? NextResult::kTruncated : NextResult::kEnd;
        if (got < 8) return NextResult::kTruncated;
        uint32_t type;
        std::memcpy(&type, Window(src), sizeof type);
        if (type == kBlockSectionHeader) {  // a new section may change the byte order
            if (SourceEnsure(src, 12) < 12 || !SectionByteOrder(Window(src), cap.swapped))
                return NextResult::kTruncated;
        }
        type = Load32(Window(src), cap.swapped);
        const uint32_t len = Load32(Window(src) + 4, cap.swapped);
        if (len < kMinBlock || len % 4 != 0) return NextResult::kTruncated;

        const bool packet = type == kBlockEnhancedPacket || type == kBlockSimplePacket ||
                            type == kBlockPacketObsolete;
        if (!packet && type != kBlockSectionHeader && type != kBlockInterface) {
            if (!SourceSkip(src, len)) return NextResult::kTruncated;
            continue;
        }
        if (SourceEnsure(src, len) < len) return NextResult::kTruncated;
        const uint8_t *p = Window(src);
        if (Load32(p + len - 4, cap.swapped) != len) return NextResult::kTruncated;

        if (type == kBlockSectionHeader) {
            if (len < kMinSectionHeader) return NextResult::kTruncated;
            cap.interfaces.clear();  // interface ids count from 0 in every section
            SourceConsume(src, len);
            continue;
        }
        if (type == kBlockInterface) {
            if (len < kMinInterface) return NextResult::kTruncated;
            cap.interfaces.push_back(ParseInterface(p, len, cap.swapped));
            SourceConsume(src, len);
            continue;
        }

        const PcapngInterface noInterface;
        if (type == kBlockSimplePacket) {
            // No time stamp and no captured length: the length is the original length cut to
            // the first interface's snap length.
            if (len < kMinSimplePacket) return NextResult::kTruncated;
            const uint32_t original = Load32(p + 8, cap.swapped);
            const uint32_t snaplen = cap.interfaces.empty() ? 0 : cap.interfaces[0].snaplen;
            const uint32_t caplen = (snaplen != 0 && original > snaplen) ? snaplen : original;
            if (caplen > len - kMinSimplePacket) return NextResult::kTruncated;
            rec.seconds = 0;
            rec.data = p + 12;
            rec.length = caplen;
        } else {
            if (len < kMinPacket) return NextResult::kTruncated;
            const uint32_t ifid = type == kBlockEnhancedPacket ? Load32(p + 8, cap.swapped)
                                                               : Load16(p + 8, cap.swapped);
            const uint64_t stamp = (uint64_t{Load32(p + 12, cap.swapped)} << 32) | Load32(p + 16, cap.swapped);
            const uint32_t caplen = Load32(p + 20, cap.swapped);
            if (caplen > len - kMinPacket) return NextResult::kTruncated;
            const PcapngInterface &itf = ifid < cap.interfaces.size() ? cap.interfaces[ifid] : noInterface;
            rec.seconds = PcapngSeconds(stamp, itf);
            rec.data = p + 28;
            rec.length = caplen;
        }
        SourceConsume(src, len);
        return NextResult::kRecord;
    }
}

}  // namespace

size_t SourceEnsure(ByteSource &src, size_t n) {
    while (src.end - src.begin < n && !src.eof && !src.failed) {
        // Move the leftover to the front so the read fills as much as possible.
        if (src.begin > 0) {
            std::memmove(src.buf.get(), src.buf.get() + src.begin, src.end - src.begin);
            src.end -= src.begin;
            src.begin = 0;
        }
        // Full of real bytes and still short: a frame larger than the buffer. Grow at most
        // twofold per fill, so the buffer never outruns the data that is really there.
        if (src.end == src.capacity) {
            const size_t grown = src.capacity * 2 < n ? src.capacity * 2 : n;
            std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown]);
            std::memcpy(bigger.get(), src.buf.get(), src.end);
            src.buf = std::move(bigger);
            src.capacity = grown;
        }
        const ssize_t r = read(src.fd, src.buf.get() + src.end, src.capacity - src.end);
        if (r > 0) {
            src.end += static_cast<size_t>(r);
        } else if (r == 0) {
            src.eof = true;
        } else if (errno != EINTR) {
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
        const size_t have = src.end - src.begin;
        const size_t take = n < have ? static_cast<size_t>(n) : have;
        SourceConsume(src, take);
        n -= take;
    }
    return true;
}

OpenResult CaptureOpen(Capture &cap, const char *path) {
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return OpenResult::kCannotOpen;
    ByteSource &src = cap.src;
    src.fd = fd;
    src.buf.reset(new uint8_t[kReadBufferSize]);
    src.capacity = kReadBufferSize;

    // Not even the first bytes readable (a directory, an I/O error): the file cannot be read.
    const size_t got = SourceEnsure(src, kClassicHeaderSize);
    if (src.failed && got < kClassicHeaderSize) return OpenResult::kCannotOpen;
    if (got < 12) return OpenResult::kNotACapture;

    uint32_t magic;
    std::memcpy(&magic, Window(src), sizeof magic);
    if (magic == kClassicMagicMicro || magic == kClassicMagicNano ||
        magic == __builtin_bswap32(kClassicMagicMicro) || magic == __builtin_bswap32(kClassicMagicNano)) {
        if (got < kClassicHeaderSize) return OpenResult::kNotACapture;
        cap.format = CaptureFormat::kClassic;
        cap.swapped = magic != kClassicMagicMicro && magic != kClassicMagicNano;
        SourceConsume(src, kClassicHeaderSize);
        return OpenResult::kOk;
    }
    if (magic == kBlockSectionHeader && SectionByteOrder(Window(src), cap.swapped)) {
        // The first section header must be whole; the records start after it.
        const uint32_t len = Load32(Window(src) + 4, cap.swapped);
        if (len < kMinSectionHeader || len % 4 != 0 || SourceEnsure(src, len) < len ||
            Load32(Window(src) + len - 4, cap.swapped) != len)
            return OpenResult::kNotACapture;
        cap.format = CaptureFormat::kPcapng;
        SourceConsume(src, len);
        return OpenResult::kOk;
    }
    return OpenResult::kNotACapture;
}

void CaptureClose(Capture &cap) {
    if (cap.src.fd >= 0) close(cap.src.fd);
    cap.src.fd = -1;
}

NextResult CaptureNext(Capture &cap, Record &rec) {
    return cap.format == CaptureFormat::kClassic ? ClassicNext(cap, rec) : PcapngNext(cap, rec);
}

}  // namespace capsheet
