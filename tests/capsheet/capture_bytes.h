// capture_bytes.h - builds classic pcap and pcapng captures byte by byte, in either byte order,
// and sparse files whose records claim far more bytes than the disk holds.
#ifndef CAPSHEET_TESTS_CAPTURE_BYTES_H
#define CAPSHEET_TESTS_CAPTURE_BYTES_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace captest {

// Little- or big-endian byte writer.
struct Bytes {
    std::vector<uint8_t> b;
    bool big = false;

    Bytes &Raw(const std::vector<uint8_t> &v) {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    Bytes &Int(uint64_t v, int width) {
        for (int i = 0; i < width; ++i) {
            const int shift = big ? 8 * (width - 1 - i) : 8 * i;
            b.push_back(static_cast<uint8_t>(v >> shift));
        }
        return *this;
    }
    Bytes &U16(uint64_t v) { return Int(v, 2); }
    Bytes &U32(uint64_t v) { return Int(v, 4); }
    Bytes &U64(uint64_t v) { return Int(v, 8); }
    void Save(const std::string &path) const {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()),
                                                   static_cast<std::streamsize>(b.size()));
    }
};

// An Ethernet frame of the given EtherType around content.
inline std::vector<uint8_t> Frame(uint16_t etherType, const std::vector<uint8_t> &content) {
    std::vector<uint8_t> f = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                              static_cast<uint8_t>(etherType >> 8), static_cast<uint8_t>(etherType)};
    f.insert(f.end(), content.begin(), content.end());
    return f;
}
inline std::vector<uint8_t> Omci(const std::vector<uint8_t> &content) { return Frame(0x88B5, content); }
inline std::vector<uint8_t> Ipv4() { return Frame(0x0800, std::vector<uint8_t>(20, 0x45)); }

// n content bytes counting up from first, and their expected text.
inline std::vector<uint8_t> Pattern(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}
inline std::string HexText(const std::vector<uint8_t> &v) {
    std::string s = "0x";
    char two[3];
    for (uint8_t byte : v) {
        std::snprintf(two, sizeof two, "%02x", byte);
        s += two;
    }
    return s;
}

// The bytes as one gzip member, compressed at the given level.
inline std::vector<uint8_t> Gzip(const std::vector<uint8_t> &plain, int level = Z_DEFAULT_COMPRESSION) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    std::vector<uint8_t> out(deflateBound(&z, plain.size()));
    z.next_in = const_cast<Bytef *>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(z.total_out);
    out.shrink_to_fit();  // a run forked from this process would count the spare room as its own
    deflateEnd(&z);
    return out;
}

// Classic pcap.
constexpr uint32_t kMagicMicro = 0xA1B2C3D4;
constexpr uint32_t kMagicNano = 0xA1B23C4D;
constexpr uint32_t kLinkEthernet = 1;

inline Bytes ClassicHeader(bool big = false, uint32_t magic = kMagicMicro, uint32_t linkType = kLinkEthernet) {
    Bytes c;
    c.big = big;
    c.U32(magic).U16(2).U16(4).U32(0).U32(0).U32(262144).U32(linkType);
    return c;
}

inline void AddRecord(Bytes &c, uint32_t seconds, uint32_t fraction, const std::vector<uint8_t> &frame) {
    c.U32(seconds).U32(fraction).U32(frame.size()).U32(frame.size()).Raw(frame);
}

// pcapng.
constexpr uint32_t kBlockSection = 0x0A0D0D0A;
constexpr uint32_t kBlockInterface = 1;
constexpr uint32_t kBlockEnhanced = 6;

struct Option {
    uint16_t code;
    std::vector<uint8_t> value;
};

// A whole block: type, length, body padded to 4 bytes, length again.
inline void AddBlock(Bytes &c, uint32_t type, const Bytes &body) {
    const size_t padded = (body.b.size() + 3) & ~size_t{3};
    const uint32_t len = static_cast<uint32_t>(12 + padded);
    c.U32(type).U32(len).Raw(body.b).Raw(std::vector<uint8_t>(padded - body.b.size(), 0)).U32(len);
}

inline Bytes Body(const Bytes &c) {
    Bytes b;
    b.big = c.big;
    return b;
}

inline void AddSection(Bytes &c, uint16_t major = 1, uint16_t minor = 0) {
    Bytes b = Body(c);
    b.U32(0x1A2B3C4D).U16(major).U16(minor).U64(~uint64_t{0});
    AddBlock(c, kBlockSection, b);
}

inline void AddInterface(Bytes &c, uint32_t snaplen, const std::vector<Option> &options = {},
                         uint16_t linkType = kLinkEthernet) {
    Bytes b = Body(c);
    b.U16(linkType).U16(0).U32(snaplen);
    for (const Option &o : options) {
        b.U16(o.code).U16(o.value.size()).Raw(o.value);
        b.Raw(std::vector<uint8_t>(((o.value.size() + 3) & ~size_t{3}) - o.value.size(), 0));
    }
    if (!options.empty()) b.U32(0);
    AddBlock(c, kBlockInterface, b);
}

// The fields of an enhanced packet block before its frame.
inline Bytes EnhancedFields(const Bytes &c, uint32_t ifid, uint64_t stamp, uint64_t caplen) {
    Bytes b = Body(c);
    b.U32(ifid).U32(stamp >> 32).U32(stamp & 0xFFFFFFFF).U32(caplen).U32(caplen);
    return b;
}

inline void AddEnhanced(Bytes &c, uint32_t ifid, uint64_t stamp, const std::vector<uint8_t> &frame) {
    AddBlock(c, kBlockEnhanced, EnhancedFields(c, ifid, stamp, frame.size()).Raw(frame));
}

inline void AddObsoletePacket(Bytes &c, uint16_t ifid, uint64_t stamp, const std::vector<uint8_t> &frame) {
    Bytes b = Body(c);
    b.U16(ifid).U16(0).U32(stamp >> 32).U32(stamp & 0xFFFFFFFF).U32(frame.size()).U32(frame.size()).Raw(frame);
    AddBlock(c, 2, b);
}

inline void AddSimple(Bytes &c, uint32_t original, const std::vector<uint8_t> &frame) {
    Bytes b = Body(c);
    b.U32(original).Raw(frame);
    AddBlock(c, 3, b);
}

inline Bytes NewCapture(bool big = false, uint16_t major = 1, uint16_t minor = 0) {
    Bytes c;
    c.big = big;
    AddSection(c, major, minor);
    return c;
}

// A file of `front`, then `hole` zero bytes the disk does not store, then `back`.
struct SparseFile {
    Bytes front;
    uint64_t hole = 0;
    Bytes back;

    void Save(const std::string &path) const {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const uint64_t backAt = front.b.size() + hole;
        if (fd < 0 || pwrite(fd, front.b.data(), front.b.size(), 0) != static_cast<ssize_t>(front.b.size()) ||
            pwrite(fd, back.b.data(), back.b.size(), static_cast<off_t>(backAt)) != static_cast<ssize_t>(back.b.size()) ||
            ftruncate(fd, static_cast<off_t>(backAt + back.b.size())) != 0)
            std::abort();
        close(fd);
    }
};

}  // namespace captest

#endif
