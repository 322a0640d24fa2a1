// streaming_test.cpp - records larger than capsheet's buffers: converted whole in flat memory
// however much a length claims (sparse files, so the disk holds almost none of it), and taken
// back out of the CSV when they turn out to be cut short.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

// Far more than capsheet may ever hold; a multiple of four, as pcapng blocks are.
constexpr uint64_t kHuge = uint64_t{256} << 20;
// What a conversion may take beyond converting a small capture.
constexpr long kPeakAllowanceKiB = 16 << 10;

constexpr uint64_t kSecond = 1000000;  // pcapng time stamps in the default microseconds

struct HugeCase {
    const char *what;
    SparseFile file;
    std::string out;         // standard output, with "<capture>" for the capture's path
    std::string csvBefore;   // CSV text before the hole's hexadecimal zeros
    uint64_t zeroDigits;     // "0" digits the hole turns into
    std::string csvAfter;    // CSV text after them
};

// The last record of every case: a small OMCI frame at second 6.
void AddLastClassic(Bytes &c) { AddRecord(c, 6, 0, Omci({0xAB, 0xCD})); }

Bytes LastPacket(bool declareInterface) {
    Bytes c;
    if (declareInterface) AddInterface(c, 0);
    AddEnhanced(c, 0, 6 * kSecond, Omci({0xAB, 0xCD}));
    return c;
}

Bytes CaptureWithInterface() {
    Bytes c = NewCapture();
    AddInterface(c, 0);
    return c;
}

// A classic record at second 5 whose frame begins with head and runs on through the hole.
SparseFile HugeClassic(const std::vector<uint8_t> &head) {
    SparseFile f;
    f.front = ClassicHeader();
    f.front.U32(5).U32(0).U32(head.size() + kHuge).U32(head.size() + kHuge).Raw(head);
    f.hole = kHuge;
    AddLastClassic(f.back);
    return f;
}

// After front, a pcapng block whose fixed part is followed by the hole; then what comes after.
SparseFile HugePcapng(const Bytes &front, uint32_t type, const Bytes &fixed, uint64_t hole, const Bytes &after) {
    const uint64_t len = 12 + fixed.b.size() + hole;
    SparseFile f;
    f.front = front;
    f.front.U32(type).U32(len).Raw(fixed.b);
    f.hole = hole;
    f.back.U32(len).Raw(after.b);
    return f;
}

std::vector<HugeCase> HugeCases() {
    const std::string header = kCsvHeader;
    const std::string lastRow = "2, 6, 0xabcd\r\n";
    const std::string onlyRow = "1, 6, 0xabcd\r\n";  // after blocks that hold no packet
    const std::string converted = "Convert <capture> to /dev/fd/3 successfully.\n";
    const Bytes withInterface = CaptureWithInterface();
    return {
        {"classic OMCI frame", HugeClassic(Omci({})), converted, header + "1, 5, 0x", 2 * kHuge, "\r\n" + lastRow},
        {"classic frame that is not OMCI", HugeClassic(Frame(0x0800, {})), kNotOmci + converted, header, 0, lastRow},
        {"section header options",
         HugePcapng({}, kBlockSection, Bytes{}.U32(0x1A2B3C4D).U16(1).U16(0).U64(~uint64_t{0}), kHuge, LastPacket(true)),
         converted, header, 0, onlyRow},
        {"interface options",
         HugePcapng(NewCapture(), kBlockInterface, Bytes{}.U16(kLinkEthernet).U16(0).U32(0), kHuge, LastPacket(false)),
         converted, header, 0, onlyRow},
        {"block of an unknown type", HugePcapng(withInterface, 0xB10C, {}, kHuge, LastPacket(false)), converted,
         header, 0, onlyRow},
        {"packet options",
         HugePcapng(withInterface, kBlockEnhanced, EnhancedFields({}, 0, 5 * kSecond, 16).Raw(Omci({0x01, 0x02})),
                    kHuge, LastPacket(false)),
         converted, header + "1, 5, 0x0102\r\n", 0, lastRow},
        {"packet frame",
         HugePcapng(withInterface, kBlockEnhanced, EnhancedFields({}, 0, 5 * kSecond, kHuge).Raw(Omci({})),
                    kHuge - 14, LastPacket(false)),
         converted, header + "1, 5, 0x", 2 * (kHuge - 14), "\r\n" + lastRow},
    };
}

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(CapsheetStreamingTest, HugeClaimedLengthsAreConvertedInFlatMemory) {
    Scratch scratch;
    const std::string csv = scratch.Path("small.csv");
    const Result small = Capsheet({SAMPLE_CAPTURE, csv});
    ASSERT_EQ(small.status, 0);
    ASSERT_GT(small.peakKiB, 0);

    const std::string capture = scratch.Path("huge.pcap");
    for (const HugeCase &k : HugeCases()) {
        SCOPED_TRACE(k.what);
        k.file.Save(capture);
        Launch how;
        how.csvPipe = true;
        const Result r = Capsheet({capture, kCsvPipePath}, how);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Replace(k.out, "<capture>", capture));
        EXPECT_LT(r.peakKiB - small.peakKiB, kPeakAllowanceKiB) << "peak " << r.peakKiB << " KiB";
        // The CSV: its length, and its first and last bytes around the hole's zeros.
        EXPECT_EQ(r.csvBytes, k.csvBefore.size() + k.zeroDigits + k.csvAfter.size());
        const std::string whole = k.csvBefore + std::string(std::min<uint64_t>(k.zeroDigits, 512), '0') + k.csvAfter;
        EXPECT_EQ(r.csvFront, whole.substr(0, r.csvFront.size()));
        EXPECT_EQ(r.csvBack, whole.substr(whole.size() - r.csvBack.size()));
        EXPECT_EQ(r.csvFront.size(), std::min(whole.size(), kCsvEndsKept));
    }
    std::filesystem::remove(capture);
}

// Row 1 is whole; record 2 is larger than capsheet's buffers and turns out damaged only after
// part of its row has gone out, so that part is taken back.
TEST(CapsheetStreamingTest, RecordFoundCutShortWhileStreamingTakesItsRowBack) {
    Scratch scratch;
    const std::string capture = scratch.Path("cut.cap");
    const std::string csv = scratch.Path("out.csv");
    const std::vector<uint8_t> big = Pattern(3 << 20, 9);
    struct Case {
        const char *what;
        Bytes file;
    };
    std::vector<Case> cases;
    {
        Bytes c = ClassicHeader();
        AddRecord(c, 1, 0, Omci({0x01}));
        AddRecord(c, 2, 0, Omci(big));
        c.b.erase(c.b.end() - (1 << 20), c.b.end());  // the last MiB of its frame is missing
        cases.push_back({"classic frame cut short", c});
    }
    {
        Bytes c = CaptureWithInterface();
        AddEnhanced(c, 0, kSecond, Omci({0x01}));
        AddEnhanced(c, 0, 2 * kSecond, Omci(big));
        c.b.back() ^= 8;  // the trailing length differs from the leading one
        cases.push_back({"pcapng frame, block trailer wrong", c});
    }
    {
        // A small frame whose row is still in the write buffer, then 2 MiB of options.
        Bytes c = CaptureWithInterface();
        AddEnhanced(c, 0, kSecond, Omci({0x01}));
        const uint32_t len = 32 + 16 + (2 << 20);
        c.U32(kBlockEnhanced).U32(len).Raw(EnhancedFields({}, 0, 2 * kSecond, 16).b).Raw(Omci({0x02, 0x03}));
        c.Raw(std::vector<uint8_t>(2 << 20, 0)).U32(len + 4);
        cases.push_back({"pcapng options, block trailer wrong", c});
    }
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        k.file.Save(capture);
        const Result r = Capsheet({capture, csv});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "2: Can not read omci header\n");
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0x01\r\n");
    }
}

}  // namespace
