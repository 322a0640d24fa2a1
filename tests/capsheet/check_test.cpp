// check_test.cpp - the --check report: exact figures of a generated OMCI session in text and
// JSON, pairing within each ONU's channel, the bounded table of outstanding requests, round-trip
// precision, --fail-on and a capture cut short.
#include <gtest/gtest.h>

#include <cstring>

#include "capsheet_run.h"
#include "omci_bytes.h"

namespace {

using namespace captest;

// The session gen-capture writes: see kSession in tools/gen-capture.cpp for its rows.
constexpr char kSessionText[] =
    "messages          33\n"
    "requests          17\n"
    "responses         15\n"
    "pairs             15\n"
    "unanswered        1\n"
    "duplicates        1\n"
    "orphan responses  0\n"
    "overflow          0\n"
    "round trip ms     min 1  p50 4  p90 8  p99 1020  max 1020\n"
    "failed responses  2\n"
    "     count  message type           class                                   result\n"
    "         1  Create                 84     VLAN tagging filter data         ParameterError\n"
    "         1  Create                 268    GEM port network CTP             InstanceExists\n"
    "slowest pairs\n"
    "   request row  response row  round trip ms\n"
    "            23            25  1020\n"
    "            21            22  8\n"
    "            27            28  7\n"
    "            17            18  6\n"
    "            19            20  6\n"
    "            13            14  5\n"
    "            15            16  5\n"
    "            11            12  4\n"
    "             3             4  3\n"
    "            29            30  3\n";

constexpr char kSessionJson[] =
    "{\"messages\": 33, \"requests\": 17, \"responses\": 15, \"pairs\": 15, \"unanswered\": 1, "
    "\"duplicates\": 1, \"orphanResponses\": 0, \"overflow\": 0, "
    "\"rttMs\": {\"min\": 1, \"p50\": 4, \"p90\": 8, \"p99\": 1020, \"max\": 1020}, "
    "\"failures\": [{\"msgType\": \"Create\", \"meClass\": 84, \"result\": \"ParameterError\", \"count\": 1}, "
    "{\"msgType\": \"Create\", \"meClass\": 268, \"result\": \"InstanceExists\", \"count\": 1}], "
    "\"slowest\": [{\"request\": 23, \"response\": 25, \"rttMs\": 1020}, {\"request\": 21, \"response\": 22, \"rttMs\": 8}, "
    "{\"request\": 27, \"response\": 28, \"rttMs\": 7}, {\"request\": 17, \"response\": 18, \"rttMs\": 6}, "
    "{\"request\": 19, \"response\": 20, \"rttMs\": 6}, {\"request\": 13, \"response\": 14, \"rttMs\": 5}, "
    "{\"request\": 15, \"response\": 16, \"rttMs\": 5}, {\"request\": 11, \"response\": 12, \"rttMs\": 4}, "
    "{\"request\": 3, \"response\": 4, \"rttMs\": 3}, {\"request\": 29, \"response\": 30, \"rttMs\": 3}]}\n";

struct CheckTest : CapsheetTest {
    std::string session = scratch.Path("session.pcap");
    void GenerateSession(bool pcapng = false) {
        std::vector<std::string> args = {"--session", session};
        if (pcapng) args.insert(args.begin(), "--pcapng");
        ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, args).status, 0);
    }
    Result Check(const Bytes &c, std::vector<std::string> options = {}) {
        c.Save(capture);
        options.insert(options.begin(), "--check");
        options.push_back(capture);
        return Capsheet(options);
    }
};

TEST_F(CheckTest, GeneratedSessionGivesExactFiguresInBothFormats) {
    for (bool pcapng : {false, true}) {
        SCOPED_TRACE(pcapng ? "pcapng" : "classic");
        GenerateSession(pcapng);
        Result r = Capsheet({"--check", session});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, kSessionText);
        EXPECT_EQ(r.err, "");
        r = Capsheet({"--check", "--json", session});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, kSessionJson);
    }
}

TEST_F(CheckTest, FailOnTurnsUnansweredOrFailedIntoExitStatusOne) {
    GenerateSession();
    // A session that ends well: its first five exchanges (rows 1 to 10).
    Bytes clean = ClassicHeader();
    const std::string all = ReadFile(session);
    size_t at = 24;
    for (int row = 0; row < 10; ++row) {
        uint32_t caplen;
        std::memcpy(&caplen, all.data() + at + 8, 4);
        clean.Raw(std::vector<uint8_t>(all.begin() + at, all.begin() + at + 16 + caplen));
        at += 16 + caplen;
    }
    clean.Save(capture);
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{}, 0}, {{"--fail-on", "unanswered"}, 1}, {{"--fail-on", "failed"}, 1},
        {{"--fail-on", "failed,unanswered"}, 1}, {{"--json", "--fail-on", "unanswered,failed"}, 1},
    };
    for (const auto &[options, status] : cases) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> args = {"--check"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(session);
        const Result r = Capsheet(args);
        EXPECT_EQ(r.status, status);
        EXPECT_NE(r.out.find("33"), std::string::npos);  // the report is printed either way
        args.back() = capture;
        EXPECT_EQ(Capsheet(args).status, 0);
    }
}

// Ethernet frames between an OLT and ONUs, each ONU its own pair of MAC addresses.
std::vector<uint8_t> Between(uint8_t dst, uint8_t src, const Message &m) {
    std::vector<uint8_t> f = {0, 0, 0, 0, 0, dst, 0, 0, 0, 0, 0, src, 0x88, 0xB5};
    const std::vector<uint8_t> bytes = m.Bytes();
    f.insert(f.end(), bytes.begin(), bytes.end());
    return f;
}

TEST_F(CheckTest, ResponsePairsOnlyWithARequestOfItsOwnChannel) {
    constexpr uint8_t kOlt = 1, kOnuA = 0xA, kOnuB = 0xB, kOnuC = 0xC;
    const Message request{.tci = 5, .type = kAr | 8};
    const Message answer{.tci = 5, .type = kAk | 8, .contents = {0}};
    Bytes c = ClassicHeader();
    AddRecord(c, 100, 0, Between(kOnuA, kOlt, request));                 // row 1
    AddRecord(c, 100, 1000, Between(kOnuB, kOlt, request));              // row 2: same id, other ONU
    AddRecord(c, 100, 3000, Between(kOlt, kOnuB, answer));               // row 3 answers row 2
    AddRecord(c, 100, 4000, Between(kOlt, kOnuC, answer));               // row 4: no request of C
    AddRecord(c, 100, 5000, Between(kOlt, kOnuA, Message{.tci = 6, .type = kAk | 8}));  // row 5: other id
    AddRecord(c, 100, 9000, Between(kOlt, kOnuA, answer));               // row 6 answers row 1
    AddRecord(c, 100, 9500, Between(kOlt, kOnuA, answer));               // row 7: answered already
    // Row 9 answers row 8 with a frame larger than capsheet's buffers: its addresses must be
    // read before the rest of it moves through.
    AddRecord(c, 100, 9600, Between(kOnuA, kOlt, Message{.tci = 8, .type = kAr | 9}));
    AddRecord(c, 100, 9700, Between(kOlt, kOnuA, Message{.tci = 8, .type = kAk | 9, .device = kExtended,
                                                          .contents = std::vector<uint8_t>(3 << 20, 0xEE)}));
    const Result r = Check(c, {"--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "{\"messages\": 9, \"requests\": 3, \"responses\": 6, \"pairs\": 3, \"unanswered\": 0, "
              "\"duplicates\": 0, \"orphanResponses\": 3, \"overflow\": 0, "
              "\"rttMs\": {\"min\": 0.1, \"p50\": 2, \"p90\": 9, \"p99\": 9, \"max\": 9}, \"failures\": [], "
              "\"slowest\": [{\"request\": 1, \"response\": 6, \"rttMs\": 9}, {\"request\": 2, \"response\": 3, \"rttMs\": 2}, "
              "{\"request\": 8, \"response\": 9, \"rttMs\": 0.1}]}\n");
}

// Linux cooked captures keep only the sender's address: the id alone pairs there.
TEST_F(CheckTest, CookedCapturePairsByTransactionIdAlone) {
    auto cooked = [](uint16_t packetType, const Message &m) {
        Bytes f;
        f.big = true;
        f.U16(packetType).U16(1).U16(6).Raw({1, 2, 3, 4, 5, 6, 0, 0}).U16(0x88B5).Raw(m.Bytes());
        return f.b;
    };
    Bytes c = ClassicHeader(false, kMagicMicro, 113);
    AddRecord(c, 100, 0, cooked(4, Message{.tci = 9, .type = kAr | 9}));
    AddRecord(c, 100, 250, cooked(0, Message{.tci = 9, .type = kAk | 9, .contents = {6}}));
    AddRecord(c, 100, 300, cooked(0, Message{.tci = 10, .type = kAk | 9, .contents = {12}}));  // no request
    const Result r = Check(c, {"--json"});
    EXPECT_NE(r.out.find("\"pairs\": 1, \"unanswered\": 0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"min\": 0.25,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"failures\": [{\"msgType\": \"Get\", \"meClass\": 256, \"result\": \"DeviceBusy\", \"count\": 1}, "
                         "{\"msgType\": \"Get\", \"meClass\": 256, \"result\": \"12\", \"count\": 1}]"),
              std::string::npos);
}

// 80,000 requests wait on two channels; the table holds 65,536 of them. A response still pairs
// with a request the table kept.
TEST_F(CheckTest, OutstandingRequestsAreBoundedAndTheRestCountedAsOverflow) {
    Bytes c = ClassicHeader();
    for (uint8_t onu : {0xA, 0xB})
        for (uint32_t tci = 0; tci < 40000; ++tci)
            AddRecord(c, 100, 0, Between(onu, 1, Message{.tci = static_cast<uint16_t>(tci), .type = kAr | 9}));
    AddRecord(c, 100, 7, Between(1, 0xA, Message{.tci = 17, .type = kAk | 9, .contents = {0}}));
    const Result r = Check(c, {"--json", "--fail-on", "unanswered"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, r.out.find(", \"rttMs\"")),
              "{\"messages\": 80001, \"requests\": 80000, \"responses\": 1, \"pairs\": 1, \"unanswered\": 65535, "
              "\"duplicates\": 0, \"orphanResponses\": 0, \"overflow\": 14464");
}

// Percentiles fall on four significant digits of nanoseconds; the extremes are exact. A response
// stamped before its request counts as 0.
TEST_F(CheckTest, RoundTripsAreKeptToFourSignificantDigits) {
    Bytes c = NewCapture();
    AddInterface(c, 0, {{9, {9}}});
    const uint64_t base = 1700000000000000000ULL;
    const uint64_t rtts[] = {1000000, 12345678, 50000001};
    uint16_t tci = 0;
    for (uint64_t rtt : rtts) {
        ++tci;
        AddEnhanced(c, 0, base, Between(0xA, 1, Message{.tci = tci, .type = kAr | 9}));
        AddEnhanced(c, 0, base + rtt, Between(1, 0xA, Message{.tci = tci, .type = kAk | 9, .contents = {0}}));
    }
    AddEnhanced(c, 0, base, Between(0xA, 1, Message{.tci = 99, .type = kAr | 9}));
    AddEnhanced(c, 0, base - 5, Between(1, 0xA, Message{.tci = 99, .type = kAk | 9, .contents = {0}}));
    const Result r = Check(c, {"--json"});
    EXPECT_NE(r.out.find("\"rttMs\": {\"min\": 0, \"p50\": 1, \"p90\": 50, \"p99\": 50, \"max\": 50.000001}"),
              std::string::npos) << r.out;
    Bytes three = NewCapture();
    AddInterface(three, 0, {{9, {9}}});
    for (uint64_t rtt : rtts) {
        ++tci;
        AddEnhanced(three, 0, base, Between(0xA, 1, Message{.tci = tci, .type = kAr | 9}));
        AddEnhanced(three, 0, base + rtt, Between(1, 0xA, Message{.tci = tci, .type = kAk | 9, .contents = {0}}));
    }
    EXPECT_NE(Check(three, {"--json"}).out.find("\"min\": 1, \"p50\": 12.34, \"p90\": 50, "), std::string::npos);
}

TEST_F(CheckTest, CaptureCutShortStillReportsWhatWasReadAndFails) {
    GenerateSession();
    std::string cut = ReadFile(session);
    cut.resize(cut.size() - 5);
    Bytes c;
    c.Raw(std::vector<uint8_t>(cut.begin(), cut.end()));
    const Result r = Check(c);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "33: Can not read omci header\n");
    EXPECT_EQ(r.out.rfind("messages          32\nrequests          17\nresponses         14\n", 0), 0u) << r.out;
    const Result none = Check(ClassicHeader(), {"--json"});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("\"rttMs\": {\"min\": null, \"p50\": null, \"p90\": null, \"p99\": null, \"max\": null}"),
              std::string::npos);
}

}  // namespace
