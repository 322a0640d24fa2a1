// textout_test.cpp - the text sinks: the line buffer handed to the host, the console, and the
// bounded log file.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
// std::regex trips a false maybe-uninitialized warning of GCC 12 in optimised sanitizer builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "isolation.h"
#include "oswrap.h"
#include "zqcmtrace.h"

namespace {

void Out(const std::string &text) { OsWrap__TextOut(const_cast<char *>(text.c_str())); }

std::vector<std::string> Lines() { return rktest::BllLines().Texts(); }

// Each case starts with every sink off, the line buffer empty and nothing captured, and leaves
// every sink off.
class TextOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rktest::ResetWrapperSettings();
        memset(oltDebugTempP, 0, sizeof oltDebugTempP);
        rktest::BllLines().Clear();
        rktest::LogReports().Clear();
    }
    void TearDown() override { rktest::ResetWrapperSettings(); }
};

// ---- line buffer ----------------------------------------------------------------------------------

class LineBufferTest : public TextOutTest {
  protected:
    void SetUp() override {
        TextOutTest::SetUp();
        SetCliDisplayMode(eOS_BOOL_TRUE);
    }
};

TEST_F(LineBufferTest, ALineAssembledFromSeveralTextsIsHandedOverOnce) {
    Out("abc");
    Out("def\n");
    EXPECT_EQ(Lines(), std::vector<std::string>{"abcdef"});
    EXPECT_EQ(oltDebugTempP[0], '\0');
}

TEST_F(LineBufferTest, ATextOfTwoLinesIsHandedOverTogether) {
    Out("first\nsecond\n");
    Out("\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"first\nsecond", ""}));
}

TEST_F(LineBufferTest, PendingTextGoesFirstWhenTheNextWouldNotFit) {
    std::string pending(4000, 'p');
    std::string next(200, 'n');
    Out(pending);
    EXPECT_TRUE(Lines().empty());
    Out(next);
    EXPECT_EQ(Lines(), std::vector<std::string>{pending});
    EXPECT_EQ(std::string(oltDebugTempP), next);
    // Exactly 4095 characters, the final newline included, still fit together.
    Out(std::string(3894, 'm'));
    EXPECT_EQ(Lines().size(), 1u);
    Out("\n");
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1], next + std::string(3894, 'm'));
}

TEST_F(LineBufferTest, TextsTooLongForTheBufferGoOverInPiecesOf4095) {
    std::string text;
    for (int i = 0; i < 9000; ++i) text += static_cast<char>('a' + i % 26);
    Out("head ");
    Out(text + "\n");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "head ");
    EXPECT_EQ(lines[1], text.substr(0, 4095));
    EXPECT_EQ(lines[2], text.substr(4095, 4095));
    EXPECT_EQ(lines[3], text.substr(8190));
    EXPECT_EQ(oltDebugTempP[0], '\0');
    // A long text without a newline leaves its tail pending.
    Out(std::string(4100, 'z'));
    EXPECT_EQ(Lines().size(), 5u);
    EXPECT_EQ(std::string(oltDebugTempP), "zzzzz");
    EXPECT_EQ(oltDebugTempP[sizeof oltDebugTempP - 1], '\0');
}

TEST_F(LineBufferTest, EitherSwitchFeedsTheBufferAndNeitherLeavesItAlone) {
    SetCliDisplayMode(eOS_BOOL_FALSE);
    Out("nobody listens\n");
    EXPECT_TRUE(Lines().empty());
    SetCliShowOltLog(eOS_BOOL_TRUE);
    Out("olt log\n");
    EXPECT_EQ(Lines(), std::vector<std::string>{"olt log"});
    // Only eOS_BOOL_TRUE counts as on.
    SetCliShowOltLog(static_cast<eOsBool>(2));
    Out("two is not true\n");
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(LineBufferTest, ConcurrentTextsNeverMixWithinALine) {
    constexpr int kThreads = 4;
    constexpr int kTexts = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kTexts; ++i) {
                std::string text = "thread " + std::to_string(t) + " text " + std::to_string(i) +
                                   " " + std::string(static_cast<size_t>(i % 300), '.') + "\n";
                Out(text);
            }
        });
    for (std::thread &thread : threads) thread.join();
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kTexts));
    std::regex form(R"(thread \d text (\d+) (\.*))");
    for (const std::string &line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, form)) << line;
        EXPECT_EQ(match[2].length(), std::stoi(match[1]) % 300);
    }
}

// ---- console ----------------------------------------------------------------------------------------

using ConsoleTest = TextOutTest;

TEST_F(ConsoleTest, TextsAreWrittenUnchangedWhileTheConsoleIsOn) {
    char path[] = "/tmp/rk_console_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    Out("off\n");
    SetDisplayMode(eOS_BOOL_TRUE, eOS_BOOL_FALSE);
    Out("100%s sure\n");
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
    Out("off again\n");
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    unlink(path);
    EXPECT_EQ(content.str(), "100%s sure\n");
}

// ---- log file -----------------------------------------------------------------------------------------

class LogFileTest : public TextOutTest {
  protected:
    void SetUp() override {
        TextOutTest::SetUp();
        char pattern[] = "/tmp/rk_logfile_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        rktest::CaptureLogReports();
    }
    void TearDown() override {
        TextOutTest::TearDown();
        for (const std::string &name : Files()) unlink((dir_ + "/" + name).c_str());
        rmdir(dir_.c_str());
    }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        if (DIR *d = opendir(dir_.c_str())) {
            while (dirent *entry = readdir(d))
                if (entry->d_name[0] != '.') names.push_back(entry->d_name);
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string Read(const std::string &name) const {
        std::ifstream file(dir_ + "/" + name);
        std::stringstream content;
        content << file.rdbuf();
        return content.str();
    }

    static off_t Size(const std::string &path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
    }

    eOsRet Open(const std::string &prefix) { return OpenLogFile(const_cast<char *>(prefix.c_str())); }

    std::string dir_;
};

TEST_F(LogFileTest, FileIsNamedByPrefixAndLocalTime) {
    ASSERT_EQ(Open(dir_ + "/olt"), eOS_RET_SUCCESS);
    std::vector<std::string> files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(olt_(\d\d)(\d\d)_\d{6})"))) << files[0];
    // Opening alone does not switch file output on.
    Out("not yet\n");
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_TRUE);
    Out("one ");
    Out("100%s\n");
    EXPECT_EQ(Read(files[0]), "one 100%s\n");
}

TEST_F(LogFileTest, FileModeWithoutAFileWritesNowhereElse) {
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_TRUE);
    SetCliDisplayMode(eOS_BOOL_TRUE);
    Out("still delivered\n");
    EXPECT_EQ(Lines(), std::vector<std::string>{"still delivered"});
    EXPECT_TRUE(Files().empty());
}

TEST_F(LogFileTest, MissingDirectoryIsReportedWithTheErrnoText) {
    std::string prefix = dir_ + "/missing/olt";
    EXPECT_EQ(Open(prefix), eOS_RET_FAILURE);
    std::vector<std::string> reports = rktest::LogReports().Texts();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(std::regex_match(reports[0], std::regex("MAJOR:fopen\\(\\) failed: FN:" + prefix +
                                                        R"(_\d{4}_\d{6}, E2:No such file or directory\.\n)")))
        << reports[0];
}

TEST_F(LogFileTest, PrefixTooLongForTheNameIsRefusedNotCut) {
    std::string base = dir_ + "/";
    std::string longest = base + std::string(115 - base.size(), 'L');
    std::string tooLong = longest + "L";
    EXPECT_EQ(Open(tooLong), eOS_RET_INVALID_ARG);
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:OpenLogFile(): Prefix too long for the file name: L116."), 1u);
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(OpenLogFile(nullptr), eOS_RET_INVALID_ARG);
    ASSERT_EQ(Open(longest), eOS_RET_SUCCESS);
    ASSERT_EQ(Files().size(), 1u);
    EXPECT_EQ(Files()[0].size() + base.size(), 127u);
}

TEST_F(LogFileTest, FileIsStartedAnewBeforeItPassesOneMebibyte) {
    ASSERT_EQ(Open(dir_ + "/rot"), eOS_RET_SUCCESS);
    std::string name = Files()[0];
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_TRUE);
    std::string text(1023, 'a');
    text += "\n";
    // 1024 texts of 1024 bytes fill exactly 1 MiB; the next text starts a new file.
    for (int i = 0; i < 1024; ++i) Out(text);
    EXPECT_EQ(Files().size(), 1u);
    EXPECT_EQ(Size(dir_ + "/" + name), 1048576);
    Out("newest\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{name, name + ".1"}));
    EXPECT_EQ(Size(dir_ + "/" + name + ".1"), 1048576);
    EXPECT_EQ(Read(name), "newest\n");
    // A second rotation replaces the kept file.
    for (int i = 0; i < 1024; ++i) Out(text);
    EXPECT_EQ(Files().size(), 2u);
    EXPECT_EQ(Read(name), text);
    EXPECT_EQ(Size(dir_ + "/" + name + ".1"), 7 + 1023 * 1024);
}

TEST_F(LogFileTest, SecondOpenClosesTheFirstFile) {
    ASSERT_EQ(Open(dir_ + "/a"), eOS_RET_SUCCESS);
    ASSERT_EQ(Open(dir_ + "/b"), eOS_RET_SUCCESS);
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_TRUE);
    Out("to b\n");
    std::vector<std::string> files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(Read(files[0]), "");
    EXPECT_EQ(Read(files[1]), "to b\n");
    // No descriptor of this process still points at the first file.
    std::string first = dir_ + "/" + files[0];
    int open = 0;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (dirent *entry = readdir(d)) {
            char target[512] = {};
            std::string link = std::string("/proc/self/fd/") + entry->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && first == target) ++open;
        }
        closedir(d);
    }
    EXPECT_EQ(open, 0);
}

} // namespace
