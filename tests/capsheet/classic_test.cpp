// classic_test.cpp - converting classic pcap captures: rows, numbering, frame sizes, byte orders,
// time stamp units and records cut short.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

using ClassicCaptureTest = CapsheetTest;

TEST_F(ClassicCaptureTest, HeaderOnlyCaptureGivesHeaderLineAndSucceeds) {
    const Result r = Convert(ClassicHeader());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), kCsvHeader);
}

TEST_F(ClassicCaptureTest, RowsAreNumberedByRecordPositionAndNonOmciIsSkipped) {
    Bytes c = ClassicHeader();
    AddRecord(c, 1700000000, 5, Omci({0x01, 0x02, 0xAB, 0xCD}));
    AddRecord(c, 1700000001, 6, Ipv4());
    AddRecord(c, 1700000002, 999999, Omci({}));           // caplen 14: the bare prefix
    AddRecord(c, 0xFFFFFFFF, 0, Omci({0xFF}));             // seconds are signed
    AddRecord(c, 7, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x88});  // too short for an EtherType
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kNotOmci) + kNotOmci + Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) +
                                 "1, 1700000000, 0x0102abcd\r\n"
                                 "3, 1700000002, 0x\r\n"
                                 "4, -1, 0xff\r\n");
}

// Row numbers and times reuse the previous row's text where they can: carries, gaps left by
// skipped records, repeats, sign changes and rows after the write buffer went out must all come
// out as plain decimal numbers.
TEST_F(ClassicCaptureTest, RowNumbersAndTimesStayRightAcrossCarriesGapsAndSigns) {
    const int32_t times[] = {-11, -10, -9, -1, 0, 1, 2, 8, 9, 10, 10, 11, 99, 100, 999, 1000, 1001,
                             INT32_MAX - 1, INT32_MAX, INT32_MIN, INT32_MIN + 1, 0, 0, 1};
    const std::vector<uint8_t> content = Pattern(700);  // the CSV passes 1 MiB several times
    const std::string text = HexText(content);
    Bytes c = ClassicHeader();
    std::string expected = kCsvHeader;
    for (int row = 1; row <= 2010; ++row) {
        const int32_t seconds = times[row % std::size(times)];
        const bool skipped = row == 10 || row == 100 || row == 101 || row == 1000;
        AddRecord(c, static_cast<uint32_t>(seconds), 0, skipped ? Ipv4() : Omci(content));
        if (!skipped) expected += std::to_string(row) + ", " + std::to_string(seconds) + ", " + text + "\r\n";
    }
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(csv), expected);
}

TEST_F(ClassicCaptureTest, FramesOfAnySizeAreConvertedWhole) {
    Bytes c = ClassicHeader();
    std::string expected = kCsvHeader;
    uint32_t row = 0;
    // The last one is larger than the program's read and write buffers.
    for (size_t size : {510, 511, 1024, 2000, 262144, 3 << 20}) {
        const std::vector<uint8_t> content = Pattern(size, static_cast<uint8_t>(size));
        AddRecord(c, 100 + ++row, 0, Omci(content));
        expected += std::to_string(row) + ", " + std::to_string(100 + row) + ", " + HexText(content) + "\r\n";
    }
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), expected);
}

TEST_F(ClassicCaptureTest, EitherByteOrderAndEitherTimeUnitGiveTheSameRows) {
    for (bool big : {false, true}) {
        for (uint32_t magic : {kMagicMicro, kMagicNano}) {
            SCOPED_TRACE(std::string(big ? "big" : "little") + (magic == kMagicNano ? " nano" : " micro"));
            const uint32_t almostNext = magic == kMagicNano ? 999999999 : 999999;
            Bytes c = ClassicHeader(big, magic);
            AddRecord(c, 1700000000, almostNext, Omci({0x12, 0x34}));
            AddRecord(c, 1700000100, 1, Omci(Pattern(300)));
            const Result r = Convert(c);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, Success(capture, csv));
            EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1700000000, 0x1234\r\n" +
                                         "2, 1700000100, " + HexText(Pattern(300)) + "\r\n");
        }
    }
}

TEST_F(ClassicCaptureTest, ZeroCaplenRecordStopsTheConversionAndFails) {
    Bytes c = ClassicHeader();
    AddRecord(c, 1, 0, Omci({0xAA}));
    AddRecord(c, 2, 0, {});
    AddRecord(c, 3, 0, Omci({0xBB}));
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2: Can not read omci header\n");
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 1, 0xaa\r\n");
}

TEST_F(ClassicCaptureTest, CaptureCutShortKeepsEarlierRowsAndFails) {
    Bytes whole = ClassicHeader();
    AddRecord(whole, 1, 0, Ipv4());
    AddRecord(whole, 2, 0, Omci({0xAA}));
    AddRecord(whole, 3, 0, Omci(Pattern(100)));
    const size_t lastRecord = whole.b.size() - (16 + 114);
    struct Cut {
        size_t keep;
        const char *what;
    };
    // Inside the frame, inside the record header: both are a record cut short, not an end.
    for (Cut cut : {Cut{whole.b.size() - 1, "frame"}, Cut{lastRecord + 10, "record header"}}) {
        SCOPED_TRACE(cut.what);
        Bytes c = whole;
        c.b.resize(cut.keep);
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, std::string(kNotOmci) + "3: Can not read omci header\n");
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "2, 2, 0xaa\r\n");
    }
}

TEST_F(ClassicCaptureTest, HugeCaplenInASmallFileIsACutRecord) {
    Bytes c = ClassicHeader();
    c.U32(1).U32(0).U32(0xFFFFFFF0).U32(0xFFFFFFF0).Raw(Omci(Pattern(64)));
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1: Can not read omci header\n");
    EXPECT_EQ(ReadFile(csv), kCsvHeader);
}

}  // namespace
