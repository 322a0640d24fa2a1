// gen-capture.cpp - writes a capture of mixed OMCI frames, for the sample capture, tests and the
// benchmark of capsheet.
//
// Usage: gen-capture [--pcapng] [--records N] [--bytes N] [--seed N] <output file>
//        gen-capture [--pcapng] --session [--bytes N] <output file>
// Most frames carry a 48-byte baseline OMCI message, some an extended one of up to 1980 bytes,
// a few are IPv4 frames. The output depends only on the options: the same options give the same
// bytes on every machine.
//
// --session writes one OLT's exchange with one ONU instead, with known round trips: a MIB reset
// and upload, creates and sets with their answers, two failed responses, a retransmitted request,
// an attribute value change and a request left unanswered (kSession below). With --bytes the
// session repeats, ids and time running on, until the file holds that many bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    bool pcapng = false;
    bool session = false;
    uint64_t records = 16;
    uint64_t bytes = 0;  // when set, write records until the file holds at least this many bytes
    uint64_t seed = 1;
    const char *output = nullptr;
};

// Small deterministic generator (xorshift64*), independent of the C library's rand().
struct Random {
    uint64_t state;
    uint32_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 0x2545F4914F6CDD1DULL) >> 32);
    }
};

constexpr uint16_t kEtherTypeOmci = 0x88B5;
constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr size_t kBaselineSize = 48;
constexpr size_t kExtendedMax = 1980;

void Put16be(std::vector<uint8_t> &f, uint16_t v) {
    f.push_back(static_cast<uint8_t>(v >> 8));
    f.push_back(static_cast<uint8_t>(v));
}

// One Ethernet frame: OMCI baseline, OMCI extended or IPv4, chosen by the generator.
std::vector<uint8_t> MakeFrame(Random &rnd) {
    std::vector<uint8_t> f;
    const uint8_t dst[6] = {0x00, 0x0A, 0x35, 0x00, 0x01, 0x02};
    const uint8_t src[6] = {0x00, 0x0A, 0x35, 0x00, 0x0F, 0x01};
    f.insert(f.end(), dst, dst + 6);
    f.insert(f.end(), src, src + 6);
    const uint32_t pick = rnd.Next() % 100;
    if (pick < 2) {  // IPv4/UDP of some length
        Put16be(f, kEtherTypeIpv4);
        const size_t n = 28 + rnd.Next() % 100;
        for (size_t i = 0; i < n; ++i) f.push_back(static_cast<uint8_t>(rnd.Next()));
        f[14] = 0x45;
        return f;
    }
    Put16be(f, kEtherTypeOmci);
    Put16be(f, static_cast<uint16_t>(rnd.Next()));      // transaction correlation id
    f.push_back(static_cast<uint8_t>(0x40 | (rnd.Next() % 32)));  // message type, AR set
    if (pick < 10) {  // extended message: device id 0x0B, explicit contents length
        const size_t contents = kExtendedMax - 14 - rnd.Next() % 64;
        f.push_back(0x0B);
        Put16be(f, static_cast<uint16_t>(rnd.Next() % 400));  // managed entity class
        Put16be(f, static_cast<uint16_t>(rnd.Next()));        // managed entity instance
        Put16be(f, static_cast<uint16_t>(contents));
        for (size_t i = 0; i < contents; ++i) f.push_back(static_cast<uint8_t>(rnd.Next()));
        for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(rnd.Next()));  // MIC
        return f;
    }
    f.push_back(0x0A);  // baseline message: 32 bytes of contents and an 8-byte trailer
    Put16be(f, static_cast<uint16_t>(rnd.Next() % 400));
    Put16be(f, static_cast<uint16_t>(rnd.Next()));
    for (size_t i = 0; i < 32; ++i) f.push_back(static_cast<uint8_t>(rnd.Next() % 4 ? 0 : rnd.Next()));
    Put16be(f, 0);
    Put16be(f, 0x0028);
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(rnd.Next()));
    static_assert(kBaselineSize == 2 + 1 + 1 + 2 + 2 + 32 + 8);
    return f;
}

// ---- the OMCI session -------------------------------------------------------------------------

// OMCI message types and results used by the session.
enum : uint8_t { kCreate = 4, kSet = 8, kGet = 9, kMibUpload = 13, kMibUploadNext = 14, kMibReset = 15, kAvc = 17 };
enum : uint8_t { kSuccess = 0, kParameterError = 3, kInstanceExists = 7 };
constexpr uint8_t kAr = 0x40, kAk = 0x20;

// One request and what became of it.
struct Exchange {
    uint8_t type;
    uint16_t meClass;
    uint16_t meInstance;
    uint32_t rttMs;            // 0: never answered
    uint8_t result = kSuccess;
    uint32_t retransmitMs = 0;  // the request is sent again this long after the first
    bool extended = false;      // the extended message format
    bool notification = false;  // an attribute value change from the ONU, not a request
};

// The rows of the capture follow from this list: a request, its retransmission, its answer.
constexpr Exchange kSession[] = {
    {.type = kMibReset, .meClass = 2, .meInstance = 0, .rttMs = 2},
    {.type = kMibUpload, .meClass = 2, .meInstance = 0, .rttMs = 3},
    {.type = kMibUploadNext, .meClass = 2, .meInstance = 0, .rttMs = 1},
    {.type = kMibUploadNext, .meClass = 2, .meInstance = 0, .rttMs = 1},
    {.type = kMibUploadNext, .meClass = 2, .meInstance = 0, .rttMs = 1},
    {.type = kSet, .meClass = 262, .meInstance = 0x8000, .rttMs = 4},          // T-CONT alloc-id
    {.type = kCreate, .meClass = 268, .meInstance = 1, .rttMs = 5},            // GEM port network CTP
    {.type = kCreate, .meClass = 266, .meInstance = 1, .rttMs = 5},            // GEM interworking TP
    {.type = kCreate, .meClass = 45, .meInstance = 1, .rttMs = 6},             // MAC bridge
    {.type = kCreate, .meClass = 47, .meInstance = 1, .rttMs = 6},             // its port
    {.type = kCreate, .meClass = 84, .meInstance = 1, .rttMs = 8, .result = kParameterError},
    {.type = kSet, .meClass = 256, .meInstance = 0, .rttMs = 1020, .retransmitMs = 1000},
    {.type = kAvc, .meClass = 256, .meInstance = 0, .rttMs = 0, .notification = true},
    {.type = kCreate, .meClass = 268, .meInstance = 1, .rttMs = 7, .result = kInstanceExists},
    {.type = kGet, .meClass = 263, .meInstance = 1, .rttMs = 3, .extended = true},
    {.type = kSet, .meClass = 171, .meInstance = 1, .rttMs = 0},               // never answered
    {.type = kGet, .meClass = 257, .meInstance = 0, .rttMs = 2},
};

constexpr uint8_t kOltMac[6] = {0x00, 0x0A, 0x35, 0x00, 0x0F, 0x01};
constexpr uint8_t kOnuMac[6] = {0x00, 0x0A, 0x35, 0x00, 0x01, 0x02};

// An Ethernet frame of one OMCI message; a result, when given, is the first contents byte.
std::vector<uint8_t> SessionFrame(const Exchange &x, uint16_t tci, uint8_t flags, bool fromOnu, int result) {
    uint8_t f[14 + 8 + 32 + 8] = {};
    size_t n = 0;
    auto put16 = [&](uint16_t v) {
        f[n++] = static_cast<uint8_t>(v >> 8);
        f[n++] = static_cast<uint8_t>(v);
    };
    std::memcpy(f, fromOnu ? kOltMac : kOnuMac, 6);
    std::memcpy(f + 6, fromOnu ? kOnuMac : kOltMac, 6);
    n = 12;
    put16(kEtherTypeOmci);
    put16(tci);
    f[n++] = static_cast<uint8_t>(flags | x.type);
    f[n++] = x.extended ? 0x0B : 0x0A;
    put16(x.meClass);
    put16(x.meInstance);
    // A response's first contents bytes: the result, or how many uploads follow a MIB upload; a
    // request's: an attribute mask.
    uint8_t contents[32] = {};
    size_t length = 0;
    if (result >= 0) contents[length++] = static_cast<uint8_t>(result);
    if (x.type == kMibUpload && result >= 0) contents[length++] = 3;
    if (x.extended && result < 0) contents[length++] = 0x80, contents[length++] = 0x00;
    if (!x.extended) length = sizeof contents;  // baseline contents are always 32 bytes
    if (x.extended) put16(static_cast<uint16_t>(length));
    std::memcpy(f + n, contents, length);
    n += length;
    if (!x.extended) put16(0), put16(0x0028);  // trailer: length, then the CRC below
    n += 4;  // CRC or message integrity check, left zero
    return std::vector<uint8_t>(f, f + n);
}

struct Stamped {
    uint64_t usec;
    std::vector<uint8_t> frame;
};

// The session's frames in the order of their time stamps; exchanges start 10 ms apart. usec and
// tci carry on from one repetition to the next.
std::vector<Stamped> SessionFrames(uint64_t &usec, uint16_t &tci) {
    std::vector<Stamped> out;
    for (const Exchange &x : kSession) {
        usec += 10000;
        if (x.notification) {  // autonomous messages from the ONU carry id 0
            out.push_back({usec, SessionFrame(x, 0, 0, true, -1)});
            continue;
        }
        if (++tci == 0) tci = 1;  // id 0 is for the ONU's own messages
        out.push_back({usec, SessionFrame(x, tci, kAr, false, -1)});
        if (x.retransmitMs != 0) out.push_back({usec + x.retransmitMs * 1000ULL, SessionFrame(x, tci, kAr, false, -1)});
        if (x.rttMs == 0) continue;
        const bool carriesResult = x.type != kMibUpload && x.type != kMibUploadNext;
        out.push_back({usec + x.rttMs * 1000ULL, SessionFrame(x, tci, kAk, true, carriesResult ? x.result : 0)});
        usec += x.rttMs * 1000ULL;
    }
    return out;
}

struct Writer {
    FILE *file;
    uint64_t written = 0;
    bool ok = true;
    void Bytes(const void *p, size_t n) {
        if (n && std::fwrite(p, 1, n, file) != n) ok = false;
        written += n;
    }
    void U16(uint16_t v) { Bytes(&v, 2); }  // little-endian: this tool runs on such machines only
    void U32(uint32_t v) { Bytes(&v, 4); }
    void U64(uint64_t v) { Bytes(&v, 8); }
};

void ClassicHeader(Writer &w) {
    w.U32(0xA1B2C3D4);
    w.U16(2);
    w.U16(4);
    w.U32(0);       // time zone
    w.U32(0);       // accuracy
    w.U32(262144);  // snap length
    w.U32(1);       // Ethernet
}

void ClassicRecord(Writer &w, uint64_t usec, const std::vector<uint8_t> &f) {
    w.U32(static_cast<uint32_t>(usec / 1000000));
    w.U32(static_cast<uint32_t>(usec % 1000000));
    w.U32(static_cast<uint32_t>(f.size()));
    w.U32(static_cast<uint32_t>(f.size()));
    w.Bytes(f.data(), f.size());
}

// Section header, then two interfaces: 0 in microseconds, 1 in nanoseconds.
void PcapngHeader(Writer &w) {
    w.U32(0x0A0D0D0A);
    w.U32(28);
    w.U32(0x1A2B3C4D);
    w.U16(1);
    w.U16(0);
    w.U64(~uint64_t{0});
    w.U32(28);
    for (int itf = 0; itf < 2; ++itf) {
        const bool nano = itf == 1;
        const uint32_t len = nano ? 20 + 8 + 4 : 20;
        w.U32(1);
        w.U32(len);
        w.U16(1);
        w.U16(0);
        w.U32(0);
        if (nano) {
            w.U16(9);  // if_tsresol
            w.U16(1);
            const uint8_t resol[4] = {9, 0, 0, 0};
            w.Bytes(resol, 4);
            w.U32(0);  // end of options
        }
        w.U32(len);
    }
}

void PcapngRecord(Writer &w, uint64_t usec, const std::vector<uint8_t> &f, uint32_t itf) {
    const uint32_t padded = static_cast<uint32_t>((f.size() + 3) & ~size_t{3});
    const uint32_t len = 32 + padded;
    const uint64_t stamp = itf == 1 ? usec * 1000 : usec;
    w.U32(6);
    w.U32(len);
    w.U32(itf);
    w.U32(static_cast<uint32_t>(stamp >> 32));
    w.U32(static_cast<uint32_t>(stamp));
    w.U32(static_cast<uint32_t>(f.size()));
    w.U32(static_cast<uint32_t>(f.size()));
    w.Bytes(f.data(), f.size());
    const uint8_t pad[4] = {0, 0, 0, 0};
    w.Bytes(pad, padded - f.size());
    w.U32(len);
}

bool ParseNumber(const char *text, uint64_t &out) {
    char *end = nullptr;
    out = std::strtoull(text, &end, 10);
    return *text != '\0' && *end == '\0';
}

int Usage() {
    std::fprintf(stderr, "usage: gen-capture [--pcapng] [--records N] [--bytes N] [--seed N] <output file>\n"
                         "       gen-capture [--pcapng] --session <output file>\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pcapng") {
            opt.pcapng = true;
        } else if (arg == "--session") {
            opt.session = true;
        } else if ((arg == "--records" || arg == "--bytes" || arg == "--seed") && i + 1 < argc) {
            uint64_t &field = arg == "--records" ? opt.records : arg == "--bytes" ? opt.bytes : opt.seed;
            if (!ParseNumber(argv[++i], field)) return Usage();
        } else if (!arg.empty() && arg[0] != '-' && opt.output == nullptr) {
            opt.output = argv[i];
        } else {
            return Usage();
        }
    }
    if (opt.output == nullptr) return Usage();

    FILE *file = std::fopen(opt.output, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "gen-capture: can not create %s\n", opt.output);
        return 1;
    }
    static char buffer[1 << 20];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    Writer w{file};
    Random rnd{opt.seed * 0x9E3779B97F4A7C15ULL + 1};
    if (opt.pcapng) {
        PcapngHeader(w);
    } else {
        ClassicHeader(w);
    }
    uint64_t sessionUsec = 1700000000ULL * 1000000;
    uint16_t sessionTci = 0;
    do {
        for (const Stamped &s : opt.session ? SessionFrames(sessionUsec, sessionTci) : std::vector<Stamped>{}) {
            if (opt.pcapng) PcapngRecord(w, s.usec, s.frame, 0);
            else ClassicRecord(w, s.usec, s.frame);
        }
    } while (opt.session && w.written < opt.bytes);
    uint64_t usec = 1700000000ULL * 1000000;  // 2023-11-14, then up to 1.5 s apart
    for (uint64_t n = 0; !opt.session && (opt.bytes ? w.written < opt.bytes : n < opt.records); ++n) {
        const std::vector<uint8_t> frame = MakeFrame(rnd);
        usec += 50000 + rnd.Next() % 1500000;
        if (opt.pcapng) {
            PcapngRecord(w, usec, frame, static_cast<uint32_t>(n % 2));
        } else {
            ClassicRecord(w, usec, frame);
        }
    }
    if (std::fclose(file) != 0 || !w.ok) {
        std::fprintf(stderr, "gen-capture: can not write %s\n", opt.output);
        return 1;
    }
    return 0;
}
