// pcapng_test.cpp - converting pcapng captures: sections, interfaces and their time units, the
// three kinds of packet block, blocks without packets, and blocks cut short or damaged.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

struct PcapngCaptureTest : ::testing::Test {
    Scratch scratch;
    std::string capture = scratch.Path("in.pcapng");
    std::string csv = scratch.Path("out.csv");
    Result Convert(const Bytes &c) {
        c.Save(capture);
        return Capsheet({capture, csv});
    }
};

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
    Bytes second = NewCapture(true);  // interface 0 of this section counts in microseconds
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

TEST_F(PcapngCaptureTest, SectionHeaderAloneIsAnEmptyCapture) {
    const Result r = Convert(NewCapture(true));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), kCsvHeader);
}

}  // namespace
