// telnet_test.cpp - the copy of text output to the CLI telnet connection, over a real loopback TCP
// connection.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "trace_support.h"
#include "zqcommunicator.h"

namespace {

using rktest::WaitForText;

// A connected pair of TCP sockets on 127.0.0.1: the library writes on client, the test reads on
// server.
struct Connection {
    int client = -1;
    int server = -1;
};

Connection Connect() {
    Connection c;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        close(listener);
        return c;
    }
    c.client = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(c.client, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        c.server = accept(listener, nullptr, nullptr);
    close(listener);
    return c;
}

// Everything that arrived so far, without waiting.
std::string Pending(int fd) {
    std::string all;
    char buffer[4096];
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) all.append(buffer, got);
    return all;
}

std::string ReadExactly(int fd, size_t length) {
    std::string all;
    char buffer[65536];
    while (all.size() < length) {
        ssize_t got = recv(fd, buffer, std::min(sizeof buffer, length - all.size()), 0);
        if (got <= 0) break;
        all.append(buffer, got);
    }
    return all;
}

void Write(const std::string &text) { WriteToCliTelnetSocket(const_cast<char *>(text.c_str())); }

class TelnetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection_ = Connect();
        ASSERT_GT(connection_.client, 0);
        ASSERT_GT(connection_.server, 0);
    }
    void TearDown() override {
        // The trace task may be reading the switch while it writes a record.
        __atomic_store_n(&CliTelnetConnectedB, eOS_BOOL_FALSE, __ATOMIC_RELAXED);
        rktest::EndTrace();
        close(connection_.client);
        if (connection_.server >= 0) close(connection_.server);
    }
    void Open() {
        CliClientSocket = connection_.client;
        CliTelnetEnable = 1;
        CliTelnetConnectedB = eOS_BOOL_TRUE;
    }
    Connection connection_;
};

TEST_F(TelnetTest, TextIsSentOnlyWhileConnectedEnabledAndOnAValidSocket) {
    Open();
    Write("sent\n");
    EXPECT_EQ(ReadExactly(connection_.server, 5), "sent\n");

    CliTelnetEnable = 0;
    Write("disabled\n");
    CliTelnetEnable = 7;
    CliTelnetConnectedB = static_cast<eOsBool>(2);
    Write("not exactly true\n");
    CliTelnetConnectedB = eOS_BOOL_TRUE;
    CliClientSocket = 0;
    Write("socket 0\n");
    CliClientSocket = connection_.client;
    Write("again\n");
    EXPECT_EQ(ReadExactly(connection_.server, 6), "again\n");
    EXPECT_EQ(Pending(connection_.server), "");
}

TEST_F(TelnetTest, EveryTextOutputIsCopiedToTheConnection) {
    Open();
    OsWrap__TextOut(const_cast<char *>("through the sink\n"));
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_CLI, eZQ_CM_TM_API);
    CmTraceInterface("cli.c", 3, "Cli", eZQ_OLT_MAN_MODULE_EXT_CLI, eZQ_CM_TM_API, "cm trace\n");
    std::string expected = "through the sink\n[CM-TRACE:2]: {cli.c:3:Cli()}: cm trace\n";
    EXPECT_EQ(ReadExactly(connection_.server, expected.size()), expected);
}

TEST_F(TelnetTest, LargeTextArrivesWhole) {
    Open();
    std::string text;
    for (int i = 0; i < 4 * 1024 * 1024; ++i) text += static_cast<char>('A' + i % 23);
    std::string received;
    std::thread reader([&] { received = ReadExactly(connection_.server, text.size()); });
    Write(text);
    reader.join();
    EXPECT_TRUE(received == text) << received.size();
}

TEST_F(TelnetTest, PeerThatWentAwayNeitherEndsTheProcessNorFeedsOnItsReports) {
    rktest::StartTrace();
    TraceSetLevel(eZQ_TL_WARNING);
    Open();
    close(connection_.server);
    connection_.server = -1;
    // The first send may still be taken by the kernel; the next ones fail with EPIPE, which would
    // raise SIGPIPE without MSG_NOSIGNAL.
    constexpr int kTexts = 20;
    for (int i = 0; i < kTexts; ++i) Write("to nobody\n");
    ASSERT_TRUE(rktest::BllLines().WaitFor("CLI sent to Telnet session failed."));
    // Each report is written to the dead connection too. Were its own failure reported, every
    // report would queue the next one before its block is freed, and blocks would stay live.
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
    size_t reports = rktest::BllLines().Count("CLI sent to Telnet session failed.");
    EXPECT_GE(reports, 1u);
    EXPECT_LE(reports, static_cast<size_t>(kTexts));
    EXPECT_NE(WaitForText(rktest::BllLines(), "CLI sent to Telnet session failed.").find(":[LOG]:[WARNING]:"),
              std::string::npos);
}

TEST_F(TelnetTest, FailureIsReportedAgainOnceTheEarlierReportWasWritten) {
    rktest::StartTrace();
    TraceSetLevel(eZQ_TL_WARNING);
    Open();
    close(connection_.server);
    connection_.server = -1;
    Write("first\n");
    Write("second\n");
    ASSERT_TRUE(rktest::BllLines().WaitFor("CLI sent to Telnet session failed."));
    ASSERT_TRUE(rktest::WaitForNoLiveBlocks());
    size_t reports = rktest::BllLines().Count("CLI sent to Telnet session failed.");
    Write("later\n");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (rktest::BllLines().Count("CLI sent to Telnet session failed.") == reports &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(rktest::WaitForNoLiveBlocks());
    EXPECT_EQ(rktest::BllLines().Count("CLI sent to Telnet session failed."), reports + 1);
}

TEST_F(TelnetTest, ClientThatStopsReadingHoldsUpNoPrintingTask) {
    rktest::StartTrace();
    TraceSetLevel(eZQ_TL_WARNING);
    Open();
    // Far more than the socket buffers of both ends hold. Were each text to wait its bound on the
    // stalled connection, or without bound, the writer would not be done by the deadline.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([done] {
        const std::string chunk = std::string(64 * 1024, 'x') + "\n";
        for (int i = 0; i < 400; ++i) Write(chunk);
        done->store(true);
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done->load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(done->load()) << "a write to the stalled connection did not return";
    // Printing goes on to the other sinks; the stall is reported once.
    OsWrap__TextOut(const_cast<char *>("still printing\n"));
    EXPECT_TRUE(rktest::BllLines().WaitFor("still printing"));
    ASSERT_TRUE(rktest::BllLines().WaitFor("CLI sent to Telnet session failed."));
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("CLI sent to Telnet session failed."), 1u);

    // Once the client reads again, texts reach it whole.
    std::atomic<bool> arrived{false};
    std::thread reader([&] {
        std::string tail;
        char buffer[65536];
        while (!arrived.load()) {
            ssize_t got = recv(connection_.server, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            tail.append(buffer, static_cast<size_t>(got));
            if (tail.find("back again\n") != std::string::npos) arrived = true;
            if (tail.size() > 64) tail.erase(0, tail.size() - 64);
        }
    });
    const auto backDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!arrived.load() && std::chrono::steady_clock::now() < backDeadline) {
        Write("back again\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    shutdown(connection_.server, SHUT_RDWR);
    reader.join();
    EXPECT_TRUE(arrived.load());
}

TEST_F(TelnetTest, FailureDroppedByTheLevelLeavesNothingPending) {
    rktest::StartTrace(); // trace level ERR: the major report is not written
    Open();
    close(connection_.server);
    connection_.server = -1;
    for (int i = 0; i < 5; ++i) Write("to nobody\n");
    TraceSetLevel(eZQ_TL_WARNING);
    Write("now reported\n");
    EXPECT_TRUE(rktest::BllLines().WaitFor("CLI sent to Telnet session failed."));
}

} // namespace
