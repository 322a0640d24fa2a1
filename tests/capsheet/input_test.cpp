// input_test.cpp - captures as they come from the field: VLAN-tagged OMCI on every link type,
// gzip-compressed files, a capture read from a pipe and a CSV written to standard output; and the
// plain conversion, byte for byte as earlier releases wrote it.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

using FieldCaptureTest = CapsheetTest;

constexpr uint32_t kLinuxCooked = 113;
constexpr uint32_t kLinuxCookedV2 = 276;

// The frame of each link type around `payload`, which starts with its protocol type.
std::vector<uint8_t> LinkFrame(uint32_t linkType, const std::vector<uint8_t> &payload) {
    Bytes f;
    f.big = true;
    const uint16_t protocol = static_cast<uint16_t>(payload[0] << 8 | payload[1]);
    const std::vector<uint8_t> rest(payload.begin() + 2, payload.end());
    if (linkType == kLinkEthernet) f.Raw({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}).U16(protocol).Raw(rest);
    if (linkType == kLinuxCooked) f.U16(0).U16(1).U16(6).Raw({1, 2, 3, 4, 5, 6, 0, 0}).U16(protocol).Raw(rest);
    if (linkType == kLinuxCookedV2) f.U16(protocol).U16(0).U32(3).U16(1).Raw({0, 6}).Raw({1, 2, 3, 4, 5, 6, 0, 0}).Raw(rest);
    return f.b;
}

TEST_F(FieldCaptureTest, VlanTaggedOmciIsFoundBehindOneOrTwoTagsOnEveryLinkType) {
    const std::vector<uint8_t> message = {0xC0, 0xFF, 0xEE};
    struct Case {
        const char *what;
        std::vector<uint8_t> payload;  // from the first protocol type on
        bool omci;
    } cases[] = {
        {"untagged", {0x88, 0xB5, 0xC0, 0xFF, 0xEE}, true},
        {"802.1Q", {0x81, 0x00, 0x20, 0x64, 0x88, 0xB5, 0xC0, 0xFF, 0xEE}, true},
        {"802.1ad", {0x88, 0xA8, 0x00, 0x0A, 0x88, 0xB5, 0xC0, 0xFF, 0xEE}, true},
        {"QinQ", {0x88, 0xA8, 0x00, 0x0A, 0x81, 0x00, 0x20, 0x64, 0x88, 0xB5, 0xC0, 0xFF, 0xEE}, true},
        {"two 802.1Q tags", {0x81, 0x00, 0x00, 0x01, 0x81, 0x00, 0x00, 0x02, 0x88, 0xB5, 0xC0, 0xFF, 0xEE}, true},
        {"three tags", {0x88, 0xA8, 0, 1, 0x81, 0x00, 0, 2, 0x81, 0x00, 0, 3, 0x88, 0xB5, 0xC0, 0xFF, 0xEE}, false},
        {"IPv4 behind a tag", {0x81, 0x00, 0x20, 0x64, 0x08, 0x00, 0x45, 0x00}, false},
        {"a tag cut short", {0x81, 0x00, 0x20, 0x64, 0x88}, false},
    };
    for (uint32_t linkType : {kLinkEthernet, kLinuxCooked, kLinuxCookedV2}) {
        Bytes c = ClassicHeader(false, kMagicMicro, linkType);
        std::string rows = kCsvHeader, notes;
        int row = 0;
        for (const Case &k : cases) {
            AddRecord(c, 7, 0, LinkFrame(linkType, k.payload));
            ++row;
            if (k.omci) rows += std::to_string(row) + ", 7, " + HexText(message) + "\r\n";
            else notes += kNotOmci;
        }
        SCOPED_TRACE(linkType);
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, notes + Success(capture, csv));
        EXPECT_EQ(ReadFile(csv), rows);
    }
}

std::vector<uint8_t> Joined(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(FieldCaptureTest, GzipCaptureIsRecognisedByItsBytesAndConvertsLikeThePlainOne) {
    const std::string plain = scratch.Path("plain.pcap");
    ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, {"--seed", "9", "--bytes", "3000000", plain}).status, 0);
    const std::string text = ReadFile(plain);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    const std::string expected = scratch.Path("plain.csv");
    ASSERT_EQ(Capsheet({plain, expected}).status, 0);
    const size_t half = bytes.size() / 2 + 3;  // two members, split inside a record
    const std::vector<std::pair<const char *, std::vector<uint8_t>>> cases = {
        {"fastest", Gzip(bytes, 1)},
        {"smallest", Gzip(bytes, 9)},
        {"two members", Joined(Gzip({bytes.begin(), bytes.begin() + half}), Gzip({bytes.begin() + half, bytes.end()}))},
    };
    for (const auto &[what, gz] : cases) {
        SCOPED_TRACE(what);
        Bytes c;
        c.b = gz;
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(r.out.rfind("Convert")), Success(capture, csv));
        EXPECT_TRUE(ReadFile(csv) == ReadFile(expected));
    }
}

// A gzip stream that is damaged or cut short fails where it stops, as a cut capture does; one
// that holds no capture is refused.
TEST_F(FieldCaptureTest, DamagedGzipStreamStopsTheConversionAndFails) {
    Bytes inner = ClassicHeader();
    for (uint8_t i = 1; i <= 3; ++i) AddRecord(inner, i, 0, Omci({i}));
    const std::vector<uint8_t> gz = Gzip(inner.b);
    const std::string rows = std::string(kCsvHeader) + "1, 1, 0x01\r\n2, 2, 0x02\r\n3, 3, 0x03\r\n";
    std::vector<uint8_t> badCrc = gz;
    badCrc[badCrc.size() - 6] ^= 1;
    std::vector<uint8_t> garbage = gz;
    garbage.push_back('x');
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        const char *out;
        std::string csvText;  // "kept": the CSV was never touched
    } cases[] = {
        {"trailer cut short", {gz.begin(), gz.end() - 3}, "4: Can not read omci header\n", rows},
        {"checksum wrong", badCrc, "4: Can not read omci header\n", rows},
        {"garbage after the member", garbage, "4: Can not read omci header\n", rows},
        {"cut inside the global header", {gz.begin(), gz.begin() + 12}, "Error: not a pcap or pcapng file\n", "kept"},
        {"the magic bytes and nothing after", {0x1F, 0x8B, 0x08}, "Error: not a pcap or pcapng file\n", "kept"},
        {"text inside", Gzip({'R', 'o', 'w', ',', ' '}), "Error: not a pcap or pcapng file\n", "kept"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::ofstream(csv) << "kept";
        Bytes c;
        c.b = k.file;
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, k.out);
        EXPECT_EQ(ReadFile(csv), k.csvText);
    }
}

// "-" reads the capture from standard input, a pipe that cannot seek, or writes the CSV to
// standard output; then the notes go to standard error.
TEST_F(FieldCaptureTest, CaptureFromAPipeAndCsvToStandardOutput) {
    Bytes c = ClassicHeader();
    AddRecord(c, 5, 0, Omci({0x0A}));
    AddRecord(c, 6, 0, Ipv4());
    AddRecord(c, 7, 0, Omci(Pattern(3 << 20)));  // larger than the pipe and the read buffer
    const std::string rows = std::string(kCsvHeader) + "1, 5, 0x0a\r\n3, 7, " + HexText(Pattern(3 << 20)) + "\r\n";
    const std::vector<uint8_t> gz = Gzip(c.b);
    c.Save(capture);
    struct Case {
        const char *what;
        const std::vector<uint8_t> *stdinBytes;
        std::string input, output;
    } cases[] = {
        {"pipe to file", &c.b, "-", csv},
        {"gzip pipe to file", &gz, "-", csv},
        {"file to standard output", nullptr, capture, "-"},
        {"pipe to standard output", &c.b, "-", "-"},
        {"gzip pipe to standard output", &gz, "-", "-"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::filesystem::remove(csv);
        Launch how;
        how.stdinPipe = k.stdinBytes;
        const Result r = Capsheet({k.input, k.output}, how);
        EXPECT_EQ(r.status, 0);
        const std::string notes = kNotOmci + Success(k.input, k.output);
        if (k.output == "-") {
            EXPECT_TRUE(r.out == rows);
            EXPECT_EQ(r.err, notes);
            EXPECT_FALSE(Exists(csv));
        } else {
            EXPECT_EQ(r.out, notes);
            EXPECT_TRUE(ReadFile(csv) == rows);
        }
    }
}

// Standard output that is the capture itself (appending to it, say) would feed the conversion
// its own output; rows of a record found cut short stay where standard output already took them.
TEST_F(FieldCaptureTest, StandardOutputIsNeverTheCaptureNorCutBack) {
    Bytes c = ClassicHeader();
    AddRecord(c, 5, 0, Omci({0x0A}));
    c.Save(capture);
    Launch intoCapture;
    intoCapture.stdoutFile = capture;
    Result r = Capsheet({capture, "-"}, intoCapture);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: can not create csv file\n");
    EXPECT_TRUE(ReadFile(capture) == std::string(c.b.begin(), c.b.end()));

    // An earlier file's text before the CSV: a cut record must not truncate it away.
    std::ofstream(csv) << "earlier\n";
    AddRecord(c, 6, 0, Omci(Pattern(3 << 20)));
    c.b.resize(c.b.size() - 10);
    c.Save(capture);
    Launch appending;
    appending.stdoutFile = csv;
    appending.stdoutAppend = true;
    r = Capsheet({capture, "-"}, appending);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "2: Can not read omci header\n");
    EXPECT_EQ(ReadFile(csv).rfind(std::string("earlier\n") + kCsvHeader + "1, 5, 0x0a\r\n2, 6, 0x000102", 0), 0u);
}

// FNV-1a: the conversions below are several megabytes.
uint64_t Fnv1a(const std::string &s) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char ch : s) h = (h ^ ch) * 0x100000001b3ULL;
    return h;
}

// The plain conversion of captures earlier releases converted stays the same to the byte; the
// figures were taken from the release before VLAN tags, gzip and pipes.
TEST_F(FieldCaptureTest, DefaultOutputIsByteIdenticalToEarlierReleases) {
    struct Case {
        std::vector<std::string> generate;  // gen-capture's options; empty: the shipped sample
        uint64_t csvBytes;
        uint64_t csvHash;
        size_t notes;  // "Not OMCI" lines
    } cases[] = {
        {{}, 5585, 0x40fb01ada118b820ULL, 1},
        {{"--seed", "5", "--bytes", "6000000"}, 10961178, 0x7f639733d1a402a4ULL, 514},
        {{"--pcapng", "--seed", "5", "--bytes", "6000000"}, 10190964, 0x3db501a66ddaf9eaULL, 474},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(::testing::PrintToString(k.generate));
        std::string input = SAMPLE_CAPTURE;
        if (!k.generate.empty()) {
            std::vector<std::string> args = k.generate;
            args.push_back(input = capture);
            ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, args).status, 0);
        }
        const Result r = Capsheet({input, csv});
        EXPECT_EQ(r.status, 0);
        std::string notes;
        for (size_t i = 0; i < k.notes; ++i) notes += kNotOmci;
        EXPECT_TRUE(r.out == notes + Success(input, csv));
        const std::string text = ReadFile(csv);
        EXPECT_EQ(text.size(), k.csvBytes);
        EXPECT_EQ(Fnv1a(text), k.csvHash);
    }
}

// A gzip file of a classic capture with one OMCI frame of `zeros` zero bytes, compressed piece by
// piece: a run forked from this process must not inherit the frame as resident memory.
void SaveGzipOfLargeFrame(const std::string &path, size_t zeros) {
    Bytes head = ClassicHeader();
    const std::vector<uint8_t> prefix = Omci({});
    head.U32(1).U32(0).U32(prefix.size() + zeros).U32(prefix.size() + zeros).Raw(prefix);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::ofstream file(path, std::ios::binary);
    std::vector<uint8_t> zero(1 << 20), out(1 << 20);
    auto feed = [&](const uint8_t *p, size_t n, int flush) {
        z.next_in = const_cast<Bytef *>(p);
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, flush);
            file.write(reinterpret_cast<const char *>(out.data()), static_cast<std::streamsize>(out.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    feed(head.b.data(), head.b.size(), Z_NO_FLUSH);
    for (size_t left = zeros; left > 0;) {
        const size_t n = std::min(left, zero.size());
        left -= n;
        feed(zero.data(), n, left > 0 ? Z_NO_FLUSH : Z_FINISH);
    }
    deflateEnd(&z);
}

// A gzip stream of a frame far larger than every buffer inflates in flat memory.
TEST_F(FieldCaptureTest, GzipCaptureConvertsInFlatMemory) {
    const Result small = Capsheet({SAMPLE_CAPTURE, csv});
    ASSERT_EQ(small.status, 0);
    SaveGzipOfLargeFrame(capture, 96 << 20);
    Launch how;
    how.csvPipe = true;
    const Result r = Capsheet({capture, kCsvPipePath}, how);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.csvBytes, sizeof kCsvHeader - 1 + std::string("1, 1, 0x\r\n").size() + 2 * (96u << 20));
    EXPECT_LT(r.peakKiB - small.peakKiB, 16 << 10) << "peak " << r.peakKiB << " KiB";
}

}  // namespace
