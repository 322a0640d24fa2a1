// cli_test.cpp - the command line of capsheet: argument count, files that cannot be read or
// written, input that is no capture, and the generator with the shipped sample capture.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

using CapsheetCommandLineTest = CapsheetTest;

// A valid classic capture of one OMCI record.
Bytes OneRecordCapture() {
    Bytes c;
    c.U32(0xA1B2C3D4).U16(2).U16(4).U32(0).U32(0).U32(65535).U32(1);
    const std::vector<uint8_t> frame = Omci({0x42});
    c.U32(9).U32(0).U32(frame.size()).U32(frame.size()).Raw(frame);
    return c;
}

// Started under another name; an empty name starts it with no arguments at all.
Launch InvokedAs(const std::string &name) {
    Launch how;
    how.argv0 = name;
    how.noArguments = name.empty();
    return how;
}

// The usage text, naming the program as it was invoked.
std::string Usage(const std::string &program) {
    return "Usage: " + program + " <pcap_file_name> <csv_file_name> \n" + "Example::: " + program +
           " onu_0-2-1.pcap omci.csv \n" + "       " + program + " --decode <pcap_file_name> <csv_file_name>\n" +
           "       " + program + " --check [--json] [--fail-on unanswered,failed] <pcap_file_name>\n" +
           "A file name of - reads standard input or writes standard output.\n";
}

TEST_F(CapsheetCommandLineTest, WrongArgumentCountPrintsUsageTouchesNothingAndExitsTwo) {
    OneRecordCapture().Save(capture);
    const std::string usage = Usage(CAPSHEET_BIN);
    const std::vector<std::vector<std::string>> calls = {{}, {capture}, {capture, csv, csv + "2"}};
    for (const auto &args : calls) {
        const Result r = Capsheet(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "Error: the number of input parameters is " + std::to_string(args.size()) +
                             ", not 2.\n" + usage);
    }
    EXPECT_EQ(scratch.Entries(), 1u);  // the capture alone: no CSV was created
}

TEST_F(CapsheetCommandLineTest, HelpPrintsTheUsageUnderTheNameTheProgramWasInvokedBy) {
    struct Case {
        Launch how;
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const std::string count0 = "Error: the number of input parameters is 0, not 2.\n";
    const std::vector<Case> cases = {
        {{}, {"-h"}, 0, Usage(CAPSHEET_BIN)},
        {{}, {"--help"}, 0, Usage(CAPSHEET_BIN)},
        {InvokedAs("omci2csv"), {"--help", capture, csv}, 0, Usage("omci2csv")},
        {InvokedAs("tools/capsheet"), {capture}, 2,
         "Error: the number of input parameters is 1, not 2.\n" + Usage("tools/capsheet")},
        {InvokedAs(""), {}, 2, count0 + Usage("capsheet")},  // not even a name
    };
    for (const Case &k : cases) {
        const Result r = Capsheet(k.args, k.how);
        EXPECT_EQ(r.status, k.status);
        EXPECT_EQ(r.out, k.out);
    }
    EXPECT_EQ(scratch.Entries(), 0u);
}

TEST_F(CapsheetCommandLineTest, VersionAsTheFirstArgumentPrintsItAndConvertsNothing) {
    const std::string version = std::string("capsheet (relayKit) ") + RELAYKIT_VERSION_TEXT + "\n";
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{{"--version"}, {"--version", capture, csv}}) {
        const Result r = Capsheet(args, InvokedAs("omci2csv"));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, version);
    }
    EXPECT_EQ(scratch.Entries(), 0u);
}

// Messages that never reached standard output make a successful run a failed one.
TEST_F(CapsheetCommandLineTest, StandardOutputThatCannotBeWrittenFailsTheRun) {
    OneRecordCapture().Save(capture);
    Launch full;
    full.stdoutFile = "/dev/full";
    EXPECT_EQ(Capsheet({capture, csv}, full).status, 1);
    EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 9, 0x42\r\n");  // the CSV itself is whole
    EXPECT_EQ(Capsheet({"--help"}, full).status, 1);
    EXPECT_EQ(Capsheet({capture}, full).status, 2);
}

// With standard descriptors closed, the capture and the CSV would take their numbers, and the
// messages would land in the CSV.
TEST_F(CapsheetCommandLineTest, ClosedStandardDescriptorsNeverCarryTheCsv) {
    Bytes c = OneRecordCapture();
    for (int i = 0; i < 300; ++i) AddRecord(c, 10, 0, Ipv4());  // notes enough to leave stdio's buffer
    c.Save(capture);
    for (const std::vector<int> &closed : std::vector<std::vector<int>>{{1}, {0, 1}, {0, 1, 2}, {2}, {0}}) {
        SCOPED_TRACE(::testing::PrintToString(closed));
        std::filesystem::remove(csv);
        Launch how;
        how.closedFds = closed;
        const Result r = Capsheet({capture, csv}, how);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + "1, 9, 0x42\r\n");
    }
}

TEST_F(CapsheetCommandLineTest, WrongOptionsSayWhyPrintTheUsageAndTouchNothing) {
    OneRecordCapture().Save(capture);
    const std::string count = "Error: the number of input parameters is ";
    const std::string apart = "Error: --decode and --check do not go together\n";
    const std::string failOn = "Error: --fail-on takes unanswered, failed or unanswered,failed\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--decode", capture}, count + "1, not 2.\n"},
        {{"--check", capture, csv}, count + "2, not 1.\n"},
        {{"--check"}, count + "0, not 1.\n"},
        {{"--check", "--decode", capture}, apart},
        {{"--decode", "--check", capture}, apart},
        {{"--json", capture, csv}, "Error: --json and --fail-on go with --check\n"},
        {{"--fail-on", "failed", capture, csv}, "Error: --json and --fail-on go with --check\n"},
        {{"--check", "--fail-on", "late", capture}, failOn},
        {{"--check", "--fail-on", "failed,", capture}, failOn},
        {{"--check", capture, "--fail-on"}, failOn},
        {{"--verbose", capture, csv}, "Error: unknown option --verbose\n"},
    };
    for (const auto &[args, why] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = Capsheet(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, why + Usage(CAPSHEET_BIN));
    }
    EXPECT_EQ(scratch.Entries(), 1u);
}

TEST_F(CapsheetCommandLineTest, UnreadableCaptureFailsWithoutCreatingTheCsv) {
    for (const std::string &input : {scratch.Path("missing.pcap"), scratch.dir}) {
        SCOPED_TRACE(input);
        const Result r = Capsheet({input, csv});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Error: can not open pcap file\n");
        EXPECT_FALSE(Exists(csv));
    }
}

TEST_F(CapsheetCommandLineTest, InputThatIsNoCaptureFailsAndLeavesAnExistingCsvAlone) {
    std::ofstream(csv) << "kept";
    Bytes textFile;
    textFile.Raw({'R', 'o', 'w', ',', ' ', 'T', 'i', 'm', 'e', 's', 't', 'a', 'm', 'p', '\r', '\n'});
    Bytes shortHeader = OneRecordCapture();
    shortHeader.b.resize(20);  // a classic magic, but the global header is cut
    Bytes badOrder;            // a section header whose byte-order magic is wrong
    badOrder.U32(0x0A0D0D0A).U32(28).U32(0x12345678).U16(1).U16(0).U64(0).U32(28);
    Bytes newerVersion = NewCapture(false, 2, 0);  // a first section this reader cannot read
    AddInterface(newerVersion, 0);
    AddEnhanced(newerVersion, 0, 0, Omci({0x01}));
    for (const Bytes &input : {Bytes{}, textFile, shortHeader, badOrder, newerVersion, NewCapture(true, 0, 9)}) {
        const Result r = Convert(input);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Error: not a pcap or pcapng file\n");
        EXPECT_EQ(ReadFile(csv), "kept");
    }
}

TEST_F(CapsheetCommandLineTest, UncreatableCsvFailsAndWritesNothing) {
    OneRecordCapture().Save(capture);
    const std::string inMissingDir = scratch.Path("no/such/dir/out.csv");
    const Result r = Capsheet({capture, inMissingDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error: can not create csv file\n");
    EXPECT_FALSE(Exists(inMissingDir));
    EXPECT_EQ(scratch.Entries(), 1u);
}

TEST_F(CapsheetCommandLineTest, CsvNamingTheCaptureItselfLeavesTheCaptureIntact) {
    const Bytes original = OneRecordCapture();
    original.Save(capture);
    const std::string sameFile = scratch.dir + "/./in.pcap";
    const Result r = Capsheet({capture, sameFile});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error: can not create csv file\n");
    EXPECT_EQ(ReadFile(capture), std::string(original.b.begin(), original.b.end()));
}

TEST_F(CapsheetCommandLineTest, FailedCsvWriteIsReportedInsteadOfSuccess) {
    OneRecordCapture().Save(capture);
    const Result r = Capsheet({capture, "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error: can not write csv file\n");
}

// The shipped sample is made by: gen-capture --seed 2 --records 16 examples/omci-sample.pcap
TEST_F(CapsheetCommandLineTest, ShippedSampleIsTheGeneratorsOutputAndConverts) {
    ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, {"--seed", "2", "--records", "16", capture}).status, 0);
    EXPECT_EQ(ReadFile(capture), ReadFile(SAMPLE_CAPTURE));
    const Result r = Capsheet({SAMPLE_CAPTURE, csv});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kNotOmci) + Success(SAMPLE_CAPTURE, csv));
    const std::string text = ReadFile(csv);
    EXPECT_EQ(text.rfind(kCsvHeader, 0), 0u);
    EXPECT_NE(text.find("\r\n8, "), std::string::npos);
    EXPECT_EQ(text.find("\r\n9, "), std::string::npos);  // record 9 is not OMCI
    EXPECT_NE(text.find("\r\n16, "), std::string::npos);
}

// Several megabytes, so records straddle the program's read buffer again and again; the two
// formats carry the same frames and time stamps and must give the same CSV.
TEST_F(CapsheetCommandLineTest, GeneratedClassicAndPcapngCapturesGiveTheSameCsv) {
    const std::string ng = scratch.Path("in.pcapng");
    const std::string csvNg = scratch.Path("ng.csv");
    ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, {"--seed", "5", "--bytes", "6000000", capture}).status, 0);
    ASSERT_EQ(captest::Run(GEN_CAPTURE_BIN, {"--pcapng", "--seed", "5", "--bytes", "6000000", ng}).status, 0);
    const Result classic = Capsheet({capture, csv});
    const Result pcapng = Capsheet({ng, csvNg});
    EXPECT_EQ(classic.status, 0);
    EXPECT_EQ(pcapng.status, 0);
    const std::string a = ReadFile(csv);
    const std::string b = ReadFile(csvNg);
    const size_t rowsA = static_cast<size_t>(std::count(a.begin(), a.end(), '\n'));
    const size_t rowsB = static_cast<size_t>(std::count(b.begin(), b.end(), '\n'));
    ASSERT_GT(rowsA, 10000u);
    // pcapng spends more bytes on each record, so it stops at fewer records: compare the rows
    // both have.
    const size_t common = std::min(rowsA, rowsB);
    auto prefix = [common](const std::string &s) {
        size_t pos = 0;
        for (size_t i = 0; i < common; ++i) pos = s.find('\n', pos) + 1;
        return s.substr(0, pos);
    };
    EXPECT_EQ(prefix(a), prefix(b));
}

}  // namespace
