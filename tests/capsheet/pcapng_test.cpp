// pcapng_test.cpp - converting pcapng captures: sections, interfaces and their time units, the
// three kinds of packet block, blocks without packets, and blocks cut short or damaged.
#include <gtest/gtest.h>

#include <functional>

#include "capsheet_run.h"

namespace {

using namespace captest;

using PcapngCaptureTest = CapsheetTest;

TEST_F(PcapngCaptureTest, EachInterfaceKeepsItsOwnTimeUnitsAndEveryPacketBlockIsARow) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian section" : "little-endian section");
        Bytes c = NewCapture(big);
        AddInterface(c, 0);                                  // 0: microseconds by default
        AddInterface(c, 0, {{9, {9}}});                      // 1: nanoseconds
        AddInterface(c, 6, {{9, {0x80 | 10}}, {14, {}}});    // 2: 1/1024 s; empty offset ignored
        Bytes offset = Body(c);
        offset.U64(1000);
        AddInterface(c, 0, {{2, {'e', 't', 'h'}}, {14, offset.b}});  // 3: +1000 s, a name first
        AddEnhanced(c, 0, 1700000000999999ULL, Omci({0x01}));
        AddEnhanced(c, 1, 1700000001999999999ULL, Omci({0x02}));
        AddBlock(c, 5, Body(c).U32(0).U32(0).U32(0));        // statistics: no packet, no row
        AddEnhanced(c, 2, (uint64_t{1700000002} << 10) + 1023, Omci({0x03}));
        AddEnhanced(c, 1, 5, Ipv4());
        AddSimple(c, 16, Omci({0xAB, 0xCD}));                // interface 0 has no snap length
        AddObsoletePacket(c, 1, 1700000003000000000ULL, Omci({0x04}));
        AddEnhanced(c, 3, 1700000004000000ULL, Omci({0x05}));
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string(kNotOmci) + Success(capture, csv));
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) +
                                     "1, 1700000000, 0x01\r\n"
                                     "2, 1700000001, 0x02\r\n"
                                     "3, 1700000002, 0x03\r\n"
                                     "5, 0, 0xabcd\r\n"
                                     "6, 1700000003, 0x04\r\n"
                                     "7, 1700001004, 0x05\r\n");
    }
}

TEST_F(PcapngCaptureTest, NewSectionBringsItsOwnByteOrderAndInterfaces) {
    Bytes c = NewCapture(false);
    AddInterface(c, 0, {{9, {9}}});
    AddEnhanced(c, 0, 1700000000000000000ULL, Omci({0x01}));
    Bytes second = NewCapture(true, 1, 2);  // interface 0 of this section counts in microseconds
    AddInterface(second, 0);
    AddEnhanced(second, 0, 1700000001000000ULL, Omci({0x02}));
    c.Raw(second.b);
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1700000000, 0x01\r\n2, 1700000001, 0x02\r\n");
}

TEST_F(PcapngCaptureTest, SimplePacketIsCutToTheSnapLength) {
    Bytes c = NewCapture();
    AddInterface(c, 16);
    AddSimple(c, 1500, Omci({1, 2, 3, 4}));  // 18 bytes stored, 16 of them captured
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 0, 0x0102\r\n");
}

TEST_F(PcapngCaptureTest, LargeFrameIsConvertedWhole) {
    Bytes c = NewCapture();
    AddInterface(c, 0);
    const std::vector<uint8_t> content = Pattern(262144, 7);
    AddEnhanced(c, 0, 3000000, Omci(content));
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 3, " + HexText(content) + "\r\n");
}

TEST_F(PcapngCaptureTest, BlockCutShortOrDamagedKeepsEarlierRowsAndFails) {
    Bytes good = NewCapture();
    AddInterface(good, 0);
    AddEnhanced(good, 0, 1000000, Omci({0xAA}));
    AddEnhanced(good, 0, 2000000, Ipv4());
    struct Case {
        const char *what;
        std::vector<uint8_t> tail;
    };
    Bytes last = Body(good);
    AddEnhanced(last, 0, 3000000, Omci(Pattern(40)));
    const std::vector<uint8_t> lastBlock = last.b;
    std::vector<Case> cases;
    cases.push_back({"cut inside the packet", {lastBlock.begin(), lastBlock.end() - 20}});
    cases.push_back({"cut inside the block header", {lastBlock.begin(), lastBlock.begin() + 5}});
    std::vector<uint8_t> mismatch = lastBlock;
    mismatch.back() ^= 4;  // trailing length differs from the leading one
    cases.push_back({"trailing length differs", mismatch});
    cases.push_back({"length not a multiple of four", Body(good).U32(6).U32(34).U32(0).b});
    Bytes overlong = Body(good);
    overlong.U32(6).U32(36).U32(0).U32(0).U32(0).U32(200).U32(200).U32(36);  // caplen past the block
    cases.push_back({"captured length past the block", overlong.b});
    Bytes cutOther = Body(good);
    cutOther.U32(5).U32(400).U32(0);  // a block without packets, cut short
    cases.push_back({"cut block without packets", cutOther.b});
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Bytes c = good;
        c.Raw(k.tail);
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, std::string(kNotOmci) + "3: Can not read omci header\n");
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0xaa\r\n");
    }
}

// Row 1 on interface 0 at second 1, then row 2 on interface 1 with the case's units and offset.
TEST_F(PcapngCaptureTest, TimeThatDoesNotFitSixtyFourBitsIsADamagedRecord) {
    constexpr int64_t kMax = INT64_MAX;
    constexpr int64_t kMin = INT64_MIN;
    struct Case {
        const char *what;
        uint8_t tsresol;
        int64_t tsoffset;
        uint64_t stamp;
        const char *seconds;  // null: not representable
    } cases[] = {
        {"whole seconds, the largest that fits", 0, 0, uint64_t{kMax}, "9223372036854775807"},
        {"whole seconds, one more", 0, 0, uint64_t{1} << 63, nullptr},
        {"an offset of 1 past the top", 0, 1, uint64_t{kMax}, nullptr},
        {"the largest offset and a real time", 6, kMax, 1700000000000000ULL, nullptr},
        {"the largest offset and under a second", 6, kMax, 999999, "9223372036854775807"},
        {"the smallest offset and under a second", 6, kMin, 999999, "-9223372036854775808"},
        {"the smallest offset brings the largest stamp back", 0, kMin, UINT64_MAX, "9223372036854775807"},
        {"a negative offset", 6, -1700000000, 1700000005000000ULL, "5"},
        {"units of 2^0 s", 0x80, 0, UINT64_MAX, nullptr},
        {"units of 2^-63 s", 0x80 | 63, 0, UINT64_MAX, "1"},
        {"units of 2^-127 s", 0xFF, 0, UINT64_MAX, "0"},
        {"units of 10^-19 s", 19, 0, UINT64_MAX, "1"},
        {"units of 10^-20 s", 20, 0, UINT64_MAX, "0"},
    };
    const std::string row1 = "1, 1, 0x01\r\n";
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Bytes c = NewCapture();
        AddInterface(c, 0);
        Bytes offset = Body(c);
        offset.U64(static_cast<uint64_t>(k.tsoffset));
        AddInterface(c, 0, {{9, {k.tsresol}}, {14, offset.b}});
        AddEnhanced(c, 0, 1000000, Omci({0x01}));
        AddEnhanced(c, 1, k.stamp, Omci({0x02}));
        const Result r = Convert(c);
        if (k.seconds == nullptr) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "2: Time stamp out of range\n");
            EXPECT_EQ(ReadFile(csv), kCsvHeader + row1);
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(ReadFile(csv), kCsvHeader + row1 + "2, " + k.seconds + ", 0x02\r\n");
        }
    }
}

// Row 1 is good; what follows it is damaged, and the conversion stops there.
TEST_F(PcapngCaptureTest, PacketOnUndeclaredInterfaceOrSectionOfUnknownVersionStopsTheConversion) {
    struct Case {
        const char *what;
        std::function<void(Bytes &)> add;
        const char *line;
    };
    const std::vector<Case> cases = {
        {"enhanced packet beyond the interfaces", [](Bytes &c) { AddEnhanced(c, 1, 0, Omci({2})); },
         "2: Packet on undeclared interface 1\n"},
        {"the largest interface id", [](Bytes &c) { AddEnhanced(c, UINT32_MAX, 0, Omci({2})); },
         "2: Packet on undeclared interface 4294967295\n"},
        {"obsolete packet beyond the interfaces", [](Bytes &c) { AddObsoletePacket(c, 5, 0, Omci({2})); },
         "2: Packet on undeclared interface 5\n"},
        {"simple packet in a section without interfaces",
         [](Bytes &c) {
             AddSection(c);
             AddSimple(c, 15, Omci({2}));
         },
         "2: Packet on undeclared interface 0\n"},
        {"interface of an earlier section",
         [](Bytes &c) {
             AddSection(c);
             AddInterface(c, 0);
             AddEnhanced(c, 1, 0, Omci({2}));
         },
         "2: Packet on undeclared interface 1\n"},
        {"section of version 2.0",
         [](Bytes &c) {
             AddSection(c, 2, 0);
             AddInterface(c, 0);
             AddEnhanced(c, 0, 0, Omci({2}));
         },
         "2: Section of unknown pcapng version 2.0\n"},
        {"big-endian section of version 0.1",
         [](Bytes &c) {
             Bytes big = NewCapture(true, 0, 1);
             c.Raw(big.b);
         },
         "2: Section of unknown pcapng version 0.1\n"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Bytes c = NewCapture();
        AddInterface(c, 0);
        AddEnhanced(c, 0, 1000000, Omci({0x01}));
        k.add(c);
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, k.line);
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0x01\r\n");
    }
}

TEST_F(PcapngCaptureTest, EachSectionHoldsAtMost65536Interfaces) {
    auto interfaces = [](Bytes &c, size_t n) {
        for (size_t i = 0; i < n; ++i) AddInterface(c, 0);
    };
    Bytes full = NewCapture();
    interfaces(full, 65536);
    AddEnhanced(full, 65535, 1000000, Omci({0x01}));
    Bytes twoFull = full;  // a new section starts a new table
    AddSection(twoFull);
    interfaces(twoFull, 65536);
    AddEnhanced(twoFull, 65535, 2000000, Omci({0x02}));
    Bytes tooMany = NewCapture();
    interfaces(tooMany, 65537);
    AddEnhanced(tooMany, 0, 1000000, Omci({0x01}));

    Result r = Convert(full);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0x01\r\n");
    r = Convert(twoFull);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0x01\r\n2, 2, 0x02\r\n");
    r = Convert(tooMany);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1: More than 65536 interfaces in a section\n");
    EXPECT_EQ(ReadFile(csv), kCsvHeader);
}

TEST_F(PcapngCaptureTest, SectionHeaderAloneIsAnEmptyCapture) {
    const Result r = Convert(NewCapture(true));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), kCsvHeader);
}

}  // namespace
