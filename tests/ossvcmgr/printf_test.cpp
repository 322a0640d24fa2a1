// printf_test.cpp - SvcPrintf, the hex dumps, the console writers and the host lookup.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
// std::regex trips a false maybe-uninitialized warning of GCC 12 in optimised sanitizer builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "printf_hooks.h"
#include "svc.h"
#include "svcsyslog.h"

namespace {

rktest::TextCapture &SyslogLines() {
    static rktest::TextCapture capture;
    return capture;
}

class SvcPrintfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        SvcSysInfoHandler = rktest::CaptureInfoHandler;
        SvcSetSyslogObserver([](const char *lineP) { SyslogLines().Add(lineP); });
        SyslogLines().Clear();
        rktest::HandlerTexts().Clear();
    }
    static std::vector<std::string> Texts() { return rktest::HandlerTexts().Texts(); }
};

TEST_F(SvcPrintfTest, TimeDirectivePutsTheSystemTimeInFront) {
    tOsTime before = OsWrap__GetSysTime();
    SvcPrintf("%tboot done\n");
    ASSERT_EQ(Texts().size(), 1u);
    std::smatch match;
    std::string text = Texts()[0];
    ASSERT_TRUE(std::regex_match(text, match, std::regex(R"(TH(\d+)L(\d+):boot done\n)"))) << text;
    uint64_t stamp = (std::stoull(match[1]) << 32) | std::stoull(match[2]);
    uint64_t start = (static_cast<uint64_t>(before.high) << 32) | before.low;
    EXPECT_GE(stamp, start);
    EXPECT_LT(stamp, start + 60000);
    EXPECT_EQ(SyslogLines().Texts(), std::vector<std::string>{text});
}

TEST_F(SvcPrintfTest, LineIsFormattedAndNothingIsAdded) {
    SvcPrintf("a %s %d %%t", "line", 3);
    SvcPrintf("crlf\r\n");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a line 3 %t", "crlf\r\n"}));
}

TEST_F(SvcPrintfTest, LineIsCutAt2048Characters) {
    std::string text(3000, 'x');
    SvcPrintf("%s\n", text.c_str());
    SvcPrintf("%t%s", text.c_str());
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[0], std::string(2048, 'x'));
    EXPECT_EQ(Texts()[1].size(), 2048u);
    EXPECT_EQ(Texts()[1].back(), 'x');
}

TEST_F(SvcPrintfTest, NullHandlerIsNeverCalled) {
    SvcSysInfoHandler = nullptr;
    SvcPrintf("to syslog only\n");
    SvcPrintHex(const_cast<char *>("ab"), 2, eOS_BOOL_TRUE);
    EXPECT_EQ(SyslogLines().Texts(), std::vector<std::string>{"to syslog only\n"});
}

// ---- hex dumps --------------------------------------------------------------------------------------

std::vector<char> Bytes(size_t count) {
    std::vector<char> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i);
    return bytes;
}

TEST_F(SvcPrintfTest, HexDumpOfTwentyBytesInBothForms) {
    std::vector<char> bytes = Bytes(20);
    SvcPrintHex(bytes.data(), 20, eOS_BOOL_TRUE);
    SvcPrintHex(bytes.data(), 20, eOS_BOOL_FALSE);
    SvcPrintHex(bytes.data(), 20, static_cast<eOsBool>(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n 10 11 12 13\n",
                           "000102030405060708090A0B0C0D0E0F10111213\n",
                           "000102030405060708090A0B0C0D0E0F10111213\n"}));
}

TEST_F(SvcPrintfTest, HexDumpOfNothingIsALineBreak) {
    SvcPrintHex(nullptr, 0, eOS_BOOL_TRUE);
    SvcPrintHex(nullptr, 100, eOS_BOOL_TRUE);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"\n", "\n"}));
}

TEST_F(SvcPrintfTest, HexDumpGoesOutIn653ByteChunks) {
    std::vector<char> bytes = Bytes(2 * 653);
    SvcPrintHex(bytes.data(), 653, eOS_BOOL_FALSE);
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[0].size(), 653u * 2);
    EXPECT_EQ(Texts()[1], "\n");
    rktest::HandlerTexts().Clear();
    SvcPrintHex(bytes.data(), 2 * 653, eOS_BOOL_FALSE);
    EXPECT_EQ(Texts().size(), 3u);
}

TEST_F(SvcPrintfTest, HexDumpLineBreaksCountOverTheWholeDump) {
    constexpr size_t kLength = 1500;
    std::vector<char> bytes = Bytes(kLength);
    SvcPrintHex(bytes.data(), kLength, eOS_BOOL_TRUE);
    std::vector<std::string> texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    std::string expected;
    char byte[4];
    for (size_t i = 0; i < kLength; ++i) {
        if (i != 0 && i % 16 == 0) expected += "\n";
        snprintf(byte, sizeof byte, " %02X", static_cast<unsigned char>(bytes[i]));
        expected += byte;
    }
    expected += "\n";
    EXPECT_EQ(texts[0] + texts[1] + texts[2], expected);
    // The first chunk ends inside a line: 653 = 40 * 16 + 13.
    EXPECT_EQ(texts[0].substr(texts[0].size() - 3), " 8C");
    EXPECT_EQ(texts[1].substr(0, 4), " 8D ");
}

// ---- console ----------------------------------------------------------------------------------------

class ConsolePrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        char pattern[] = "/tmp/rk_console_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        SvcSysInfoHandler = rktest::CaptureInfoHandler;
        rktest::HandlerTexts().Clear();
    }
    void TearDown() override {
        SvcConsoleSetTestPath(nullptr);
        unlink(Path().c_str());
        rmdir(dir_.c_str());
    }
    std::string Path() const { return dir_ + "/console"; }
    std::string Read() const {
        std::ifstream file(Path());
        std::stringstream content;
        content << file.rdbuf();
        return content.str();
    }
    std::string dir_;
};

TEST_F(ConsolePrintTest, ConsoleThatCannotBeOpenedLosesTheTextAndIsTriedAgain) {
    SvcConsoleSetTestPath(Path().c_str()); // does not exist yet: open fails
    SvcConsolePrintf("lost\n");
    { std::ofstream create(Path()); }
    SvcConsolePrintf("%tfound %d\n", 1);
    EXPECT_TRUE(std::regex_match(Read(), std::regex(R"(TH\d+L\d+:found 1\n)"))) << Read();
    EXPECT_TRUE(rktest::HandlerTexts().Texts().empty());
}

TEST_F(ConsolePrintTest, ConsoleThatFailsAWriteIsOpenedAgainForTheNextText) {
    // The console is a link: first to a device that refuses every write, then to a file.
    const std::string file = dir_ + "/file", link = Path();
    { std::ofstream create(file); }
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    SvcConsoleSetTestPath(link.c_str());
    SvcConsolePrintf("lost\n");
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    SvcConsolePrintf("written %d\n", 2);
    EXPECT_EQ(Read(), "written 2\n") << "the failed descriptor was not kept";
    unlink(file.c_str());
}

TEST_F(ConsolePrintTest, ConsoleHexDumpWritesEveryChunk) {
    { std::ofstream create(Path()); }
    SvcConsoleSetTestPath(Path().c_str());
    std::vector<char> bytes = Bytes(700);
    SvcConsolePrintHex(bytes.data(), 700, eOS_BOOL_FALSE);
    std::string content = Read();
    EXPECT_EQ(content.size(), 1401u);
    EXPECT_EQ(content.substr(0, 8), "00010203");
    EXPECT_EQ(content.back(), '\n');
    EXPECT_TRUE(rktest::HandlerTexts().Texts().empty());
}

// ---- host lookup ------------------------------------------------------------------------------------

TEST(HostLookupTest, LocalhostResolvesToItsFirstIpv4Address) {
    EXPECT_EQ(SvcTcpIpInit(), eOS_RET_SUCCESS);
    uint32 address = 0xDEADBEEF;
    ASSERT_EQ(SvcTcpIpGetHostAddr(const_cast<char *>("localhost"), &address), eOS_RET_SUCCESS);
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
}

TEST(HostLookupTest, UnknownNameIsReportedAndLeavesTheAddressZero) {
    rktest::CaptureLogReports();
    // A label longer than 63 characters is refused by the resolver without asking any server.
    std::string name = std::string(70, 'a') + ".example";
    uint32 address = 0xDEADBEEF;
    EXPECT_EQ(SvcTcpIpGetHostAddr(const_cast<char *>(name.c_str()), &address), eOS_RET_FAILURE);
    EXPECT_EQ(address, 0u);
    address = 0xDEADBEEF;
    EXPECT_EQ(SvcTcpIpGetHostAddr(const_cast<char *>(""), &address), eOS_RET_FAILURE);
    EXPECT_EQ(address, 0u);
    std::vector<std::string> reports = rktest::LogReports().Texts();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(std::regex_match(reports[0],
                                 std::regex("MAJOR:SvcTcpIpGetHostAddr\\(\\): gethostbyname\\(\\) failed for host: H" +
                                            name + R"(, E0x[0-9A-F]+\.\n)")))
        << reports[0];
}

TEST(HostLookupTest, NullArgumentsFailWithoutTouchingMemory) {
    rktest::CaptureLogReports();
    uint32 address = 5;
    EXPECT_EQ(SvcTcpIpGetHostAddr(nullptr, &address), eOS_RET_FAILURE);
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(SvcTcpIpGetHostAddr(const_cast<char *>("localhost"), nullptr), eOS_RET_FAILURE);
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:SvcTcpIpGetHostAddr(): NULL"), 2u);
}

} // namespace
