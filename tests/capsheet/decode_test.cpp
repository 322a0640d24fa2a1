// decode_test.cpp - the columns of --decode: time with the capture's precision, the OMCI header
// by name in both formats, results only where a response carries one, and short messages.
#include <gtest/gtest.h>

#include "capsheet_run.h"
#include "omci_bytes.h"

namespace {

using namespace captest;

constexpr char kDecodeHeader[] =
    "Row, Timestamp, RawData, Time, Tci, MsgType, AR, AK, Device, MeClass, MeName, MeInstance, Result\r\n";

struct DecodeTest : CapsheetTest {
    // One record per message at 1700000000.000001 s; the decoded columns of each row.
    std::vector<std::string> Decode(const std::vector<std::vector<uint8_t>> &messages) {
        Bytes c = ClassicHeader();
        for (const auto &m : messages) AddRecord(c, 1700000000, 1, Omci(m));
        const Result r = Convert(c, {"--decode"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ReadFile(csv).rfind(kDecodeHeader, 0), 0u);
        return DecodedColumns(ReadFile(csv));
    }
};

constexpr char kTime[] = "2023-11-14T22:13:20.000001Z";

TEST_F(DecodeTest, EveryMessageTypeIsNamedInBothFormats) {
    const char *names[32] = {};
    names[4] = "Create", names[6] = "Delete", names[8] = "Set", names[9] = "Get", names[11] = "GetAllAlarms";
    names[12] = "GetAllAlarmsNext", names[13] = "MibUpload", names[14] = "MibUploadNext", names[15] = "MibReset";
    names[16] = "Alarm", names[17] = "AttributeValueChange", names[18] = "Test";
    names[19] = "StartSoftwareDownload", names[20] = "DownloadSection", names[21] = "EndSoftwareDownload";
    names[22] = "ActivateSoftware", names[23] = "CommitSoftware", names[24] = "SynchronizeTime";
    names[25] = "Reboot", names[26] = "GetNext", names[27] = "TestResult", names[28] = "GetCurrentData";
    names[29] = "SetTable";
    std::vector<std::vector<uint8_t>> messages;
    std::vector<std::string> expected;
    for (uint8_t device : {kBaseline, kExtended}) {
        for (uint8_t type = 0; type < 32; ++type) {
            const uint16_t tci = static_cast<uint16_t>(device << 8 | type);
            messages.push_back(Message{.tci = tci, .type = static_cast<uint8_t>(kAr | type), .device = device,
                                       .meClass = 257, .meInstance = type}.Bytes());
            const std::string name = names[type] ? names[type] : std::to_string(type);
            expected.push_back(std::string(kTime) + ", " + std::to_string(tci) + ", " + name + ", 1, 0, " +
                               (device == kBaseline ? "Baseline" : "Extended") + ", 257, ONU2-G, " +
                               std::to_string(type) + ", ");
        }
    }
    EXPECT_EQ(Decode(messages), expected);
}

// Each case: the message, and what its row ends with from the AR column on.
TEST_F(DecodeTest, ResultIsNamedOnlyWhereTheResponseCarriesOne) {
    struct Case {
        Message m;
        const char *tail;
    };
    const char *results[] = {"Success", "ProcessingError", "NotSupported", "ParameterError", "UnknownEntity",
                             "UnknownInstance", "DeviceBusy", "InstanceExists", "8", "AttributeFailed"};
    std::vector<Case> cases;
    for (uint8_t code = 0; code < 10; ++code)
        cases.push_back({{.type = kAk | 4, .contents = {code}}, results[code]});
    const std::vector<Case> more = {
        {{.type = kAk | 8, .contents = {200}}, "200"},                        // a code with no name
        {{.type = kAk | 8, .device = kExtended, .contents = {3, 0, 0}}, "ParameterError"},
        {{.type = kAk | 8, .device = kExtended, .contents = {}}, ""},          // length 0: no contents
        {{.type = kAk | 13, .contents = {0, 3}}, ""},                          // MIB upload: a count
        {{.type = kAk | 14, .contents = {7}}, ""},                             // MIB upload next: data
        {{.type = kAr | 4, .contents = {3}}, ""},                              // a request
        {{.type = kAk | 4, .device = 0x0C, .contents = {3}}, ""},              // an unknown format
        {{.type = kAk | 25, .contents = {6}}, "DeviceBusy"},                   // reboot
        {{.type = kAk | 29, .device = kExtended, .contents = {1}}, "ProcessingError"},  // set table
    };
    cases.insert(cases.end(), more.begin(), more.end());
    std::vector<std::vector<uint8_t>> messages;
    for (const Case &k : cases) messages.push_back(k.m.Bytes());
    const std::vector<std::string> rows = Decode(messages);
    ASSERT_EQ(rows.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string &row = rows[i];
        EXPECT_EQ(row.substr(row.rfind(", ") + 2), cases[i].tail);
    }
    EXPECT_NE(rows[16].find(", 0x0c, 256, ONU-G, "), std::string::npos);
}

// A frame cut inside the header: every field it lacks is empty, none is guessed.
TEST_F(DecodeTest, ShortMessageLeavesTheFieldsItLacksEmpty) {
    const std::vector<uint8_t> whole = Message{.tci = 0x1234, .type = kAk | 8, .device = kExtended,
                                               .meClass = 84, .meInstance = 9, .contents = {3}}.Bytes();
    const char *expected[] = {
        ", , , , , , , , ",
        ", , , , , , , , ",
        "4660, , , , , , , , ",
        "4660, Set, 0, 1, , , , , ",
        "4660, Set, 0, 1, Extended, , , , ",
        "4660, Set, 0, 1, Extended, , , , ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, , ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, , ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, 9, ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, 9, ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, 9, ",
        "4660, Set, 0, 1, Extended, 84, VLAN tagging filter data, 9, ParameterError",
    };
    std::vector<std::vector<uint8_t>> messages;
    for (size_t n = 0; n < std::size(expected); ++n) messages.emplace_back(whole.begin(), whole.begin() + n);
    const std::vector<std::string> rows = Decode(messages);
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t n = 0; n < rows.size(); ++n) EXPECT_EQ(rows[n], std::string(kTime) + ", " + expected[n]) << n;
}

TEST_F(DecodeTest, ClassesAreNamedBesideTheirNumbers) {
    const std::vector<std::pair<uint16_t, std::string>> classes = {
        {256, "ONU-G"}, {257, "ONU2-G"}, {2, "ONU data"}, {5, "Cardholder"}, {6, "Circuit pack"},
        {7, "Software image"}, {11, "PPTP Ethernet UNI"}, {45, "MAC bridge service profile"},
        {47, "MAC bridge port configuration data"}, {84, "VLAN tagging filter data"},
        {130, "IEEE 802.1p mapper service profile"}, {171, "Extended VLAN tagging operation configuration data"},
        {262, "T-CONT"}, {263, "ANI-G"}, {266, "GEM interworking termination point"},
        {268, "GEM port network CTP"}, {277, "Priority queue"}, {278, "Traffic scheduler"},
        {239, ""}, {240, "Vendor-specific"}, {255, "Vendor-specific"}, {349, ""}, {350, "Vendor-specific"},
        {399, "Vendor-specific"}, {400, ""}, {65279, ""}, {65280, "Vendor-specific"}, {65535, "Vendor-specific"},
    };
    std::vector<std::vector<uint8_t>> messages;
    for (const auto &[number, name] : classes) messages.push_back(Message{.meClass = number}.Bytes());
    const std::vector<std::string> rows = Decode(messages);
    ASSERT_EQ(rows.size(), classes.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], std::string(kTime) + ", 1, Create, 1, 0, Baseline, " + std::to_string(classes[i].first) +
                               ", " + classes[i].second + ", 0, ");
}

// The time in UTC with as many digits as the capture's time stamps have; empty where the record
// has no sub-second time.
TEST_F(DecodeTest, TimeIsUtcWithTheCapturesPrecision) {
    const std::vector<uint8_t> m = Message{}.Bytes();
    struct Case {
        const char *what;
        Bytes capture;
        const char *time;
    };
    std::vector<Case> cases;
    auto classic = [&](const char *what, uint32_t magic, uint32_t seconds, uint32_t fraction, const char *time) {
        Bytes c = ClassicHeader(false, magic);
        AddRecord(c, seconds, fraction, Omci(m));
        cases.push_back({what, c, time});
    };
    classic("microseconds", kMagicMicro, 1700000000, 123456, "2023-11-14T22:13:20.123456Z");
    classic("nanoseconds", kMagicNano, 1700000000, 123456789, "2023-11-14T22:13:20.123456789Z");
    classic("a leap day", kMagicMicro, 951782400, 0, "2000-02-29T00:00:00.000000Z");
    classic("before 1970", kMagicMicro, 0xFFFFFFFF, 999999, "1969-12-31T23:59:59.999999Z");
    classic("a fraction of a second or more", kMagicMicro, 1700000000, 1000000, "");
    auto pcapng = [&](const char *what, uint8_t tsresol, uint64_t stamp, const char *time) {
        Bytes c = NewCapture();
        AddInterface(c, 0, {{9, {tsresol}}});
        AddEnhanced(c, 0, stamp, Omci(m));
        cases.push_back({what, c, time});
    };
    pcapng("pcapng milliseconds", 3, 1700000000123ULL, "2023-11-14T22:13:20.123000Z");
    pcapng("pcapng nanoseconds", 9, 1700000000000000001ULL, "2023-11-14T22:13:20.000000001Z");
    pcapng("pcapng 1/1024 s", 0x80 | 10, (uint64_t{1700000000} << 10) | 512, "2023-11-14T22:13:20.500000Z");
    pcapng("pcapng 2^-30 s", 0x80 | 30, (uint64_t{1} << 30) | 1, "1970-01-01T00:00:01.000000000Z");
    pcapng("pcapng 10^-12 s", 12, 1999999999999ULL, "1970-01-01T00:00:01.999999999Z");
    {
        Bytes c = NewCapture();
        AddInterface(c, 0);
        AddSimple(c, 64, Omci(m));
        cases.push_back({"a simple packet block has no time", c, ""});
    }
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(Convert(k.capture, {"--decode"}).status, 0);
        const std::vector<std::string> rows = DecodedColumns(ReadFile(csv));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0], std::string(k.time) + ", 1, Create, 1, 0, Baseline, 256, ONU-G, 0, ");
    }
}

// The three columns of a decoded row are those of a plain one, the row numbers the same.
TEST_F(DecodeTest, DecodedRowsStartWithThePlainRows) {
    const std::string plain = scratch.Path("plain.csv");
    ASSERT_EQ(Capsheet({SAMPLE_CAPTURE, plain}).status, 0);
    ASSERT_EQ(Capsheet({"--decode", SAMPLE_CAPTURE, csv}).status, 0);
    std::istringstream a(ReadFile(plain)), b(ReadFile(csv));
    std::string lineA, lineB;
    std::getline(a, lineA), std::getline(b, lineB);
    size_t rows = 0;
    while (std::getline(a, lineA) && std::getline(b, lineB)) {
        EXPECT_EQ(lineB.rfind(lineA.substr(0, lineA.size() - 1) + ", ", 0), 0u) << lineB;
        ++rows;
    }
    EXPECT_EQ(rows, 15u);
    EXPECT_FALSE(std::getline(b, lineB));
}

}  // namespace
