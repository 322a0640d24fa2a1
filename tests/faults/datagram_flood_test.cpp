// datagram_flood_test.cpp - ten seconds of garbage datagrams (random lengths up to the largest UDP
// payload, random content, from the OLT manager's address and from others) at both CM sockets
// while host threads keep making synchronous requests: every request gets its own answer, the
// alarm task survives, and memory stays flat.
#include <atomic>
#include <fstream>
#include <random>
#include <thread>

#include "cm_fixture.h"
#include "udp_port_state.h"

// AddressSanitizer keeps freed memory in quarantine, up to 256 MiB by default: kept small here, so
// that resident memory still tells whether the process grows.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=4"; }

namespace {

using namespace cmtest;

constexpr size_t kLargestPayload = 65507;
constexpr uint16_t kRequesterBase[] = {1000, 20000};

// Resident memory of this process, in bytes.
long ResidentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

using rktest::LiveBlocks;

// Sends garbage from a UDP socket bound to address (any port) to both CM sockets until stopped.
// Datagrams from the manager's address carry, one in four, the transaction id of a request that may
// be waiting, so that only the rest of a response's checks can tell them from its answer.
void Flood(const char *address, bool fromManager, const std::atomic<bool> &stop, std::atomic<long> &sent) {
    std::mt19937 random(address[8]);
    Bytes pool(1 << 20), datagram(kLargestPayload);
    for (uint8_t &b : pool) b = static_cast<uint8_t>(random());
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0); // a full buffer drops, never stalls
    sockaddr_in local = {}, to = {};
    local.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, address, &local.sin_addr);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local), 0) << address;
    while (!stop.load()) {
        for (uint16_t port : {extEntityReqRspUdpPort, extEntityAlarmUdpPort}) {
            // One in sixteen shorter than 64 bytes (empty ones among them), the rest of any length.
            const size_t length = random() % 16 == 0 ? random() % 64 : random() % (kLargestPayload + 1);
            memcpy(datagram.data(), pool.data() + random() % (pool.size() - kLargestPayload), length);
            if (fromManager && length >= kTransactionId + 2 && random() % 4 == 0) {
                const uint16_t tid = static_cast<uint16_t>(kRequesterBase[random() % 2] + random() % 64);
                memcpy(datagram.data() + kTransactionId, &tid, sizeof tid);
            }
            to.sin_port = htons(port);
            sent += sendto(fd, datagram.data(), length, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) >= 0;
        }
        std::this_thread::sleep_for(1ms);
    }
    close(fd);
}

std::atomic<long> alarmsHandled{0};

// What one requesting host thread saw.
struct Tally {
    long answered = 0, wrong = 0, timedOut = 0;
};

// Requests with transaction ids cycling through 64 from base, each carrying a tag that the manager
// echoes, until stopped.
void Request(uint16_t base, const std::atomic<bool> &stop, Tally &tally) {
    std::mt19937 random(base);
    for (uint32_t i = 0; !stop.load(); ++i) {
        uZqCmRes record = {};
        const uint32_t tag = random();
        memcpy(&record, &tag, sizeof tag);
        const eOsRet rc = ZqCmApi__GetReq(static_cast<uint16_t>(base + i % 64), eZQ_CMAPI_RES_TYPE_ONU,
                                          eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record);
        if (rc == eOS_RET_TIME_OUT) {
            ++tally.timedOut;
        } else {
            ++(rc == eOS_RET_SUCCESS && memcmp(&record, &tag, sizeof tag) == 0 ? tally.answered : tally.wrong);
        }
    }
}

using DatagramFloodTest = CmTest;

TEST_F(DatagramFloodTest, EveryRequestGetsItsOwnAnswerAndMemoryStaysFlatUnderTenSecondsOfGarbage) {
    tZqCmChannelOptions waits = ZqCmChannelOptions();
    waits.receiveTimeoutMs = 2000; // a lost answer shows as a failed request, not as a long test
    ZqCmSetChannelOptions(waits);
    StartChannel();
    ASSERT_EQ(itCmApi__RegisterAlarmHandler([](uZqCmMsg *) { return ++alarmsHandled, eOS_RET_SUCCESS; }),
              eOS_RET_SUCCESS);
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &) {
        Bytes r = ResponseTo(d.bytes);
        memcpy(r.data() + kRes, d.bytes.data() + kRes, 4); // the asker's tag
        return std::vector<oltmgr::Reply>{Now(r)};
    });
    rktest::QuiesceTrace();
    ASSERT_TRUE(rktest::WaitForNoLiveBlocks());

    std::atomic<bool> stop{false};
    std::atomic<long> sent{0};
    std::vector<std::thread> threads;
    for (const char *address : {"127.0.0.1", "127.0.0.3", "127.0.0.4"})
        threads.emplace_back([&, address] { Flood(address, address[8] == '1', stop, sent); });
    Tally tallies[2];
    for (int i = 0; i < 2; ++i) threads.emplace_back([&, i] { Request(kRequesterBase[i], stop, tallies[i]); });

    std::this_thread::sleep_for(1s);
    const long residentAfterWarmUp = ResidentBytes();
    long mostLiveBlocks = 0;
    for (int i = 0; i < 90; ++i) {
        std::this_thread::sleep_for(100ms);
        mostLiveBlocks = std::max(mostLiveBlocks, LiveBlocks());
    }
    const long residentAtEnd = ResidentBytes();
    stop = true;
    for (std::thread &thread : threads) thread.join();

    // An answer that arrives while the socket's buffer is full of garbage is dropped by the kernel;
    // its request then ends by the receive time-out, as designed. Without such drops every request
    // has its answer.
    long answered = 0, timedOut = 0;
    for (const Tally &t : tallies) {
        EXPECT_EQ(t.wrong, 0) << "a garbage datagram was taken for an answer";
        EXPECT_GT(t.answered, 0);
        answered += t.answered;
        timedOut += t.timedOut;
    }
    const long drops = UdpPortStateOf(extEntityReqRspUdpPort).drops;
    EXPECT_TRUE(drops > 0 || timedOut == 0) << "a request lost an answer that the kernel delivered";
    EXPECT_LE(timedOut * 100, answered) << "more than one request in a hundred lost its answer";
    EXPECT_GT(alarmsHandled.load(), 0) << "garbage from the manager reaches the alarm handler";
    EXPECT_LT(mostLiveBlocks, 64);
    EXPECT_LT(residentAtEnd - residentAfterWarmUp, 16L << 20);
    rktest::QuiesceTrace();
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
    // After the flood the channel answers as before.
    uZqCmRes record = {};
    EXPECT_EQ(ZqCmApi__GetReq(7, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_SUCCESS);
    std::printf("flood: %ld datagrams sent, %ld requests answered, %ld timed out, %ld dropped by the kernel, "
                "%ld alarms handled\n", sent.load(), answered, timedOut, drops, alarmsHandled.load());
}

// The deterministic form of the flood's finding: a datagram from the manager's address with the
// request's transaction id that says it is no response is dropped, and the answer after it taken.
TEST_F(DatagramFloodTest, ADatagramWithTheRightTransactionThatIsNoResponseIsNotTakenForTheAnswer) {
    StartChannel();
    for (uint32_t msgType : {uint32_t{eZQ_CM_MSG_TYPE_MIN}, uint32_t{eZQ_CM_MSG_TYPE_REQ}, uint32_t{eZQ_CM_MSG_TYPE_ALM},
                             uint32_t{eZQ_CM_MSG_TYPE_ALM_REG}, 0xFFFFFFFFu}) {
        SCOPED_TRACE(msgType);
        peer_.SetResponder([msgType](const oltmgr::Datagram &d, oltmgr::Store &) {
            Bytes impostor = ResponseTo(d.bytes, eOS_RET_OLT_UNKNOWN_ENTITY);
            SetField<uint32_t>(impostor, kMsgType, msgType);
            return std::vector<oltmgr::Reply>{Now(impostor), Now(ResponseTo(d.bytes, eOS_RET_SUCCESS))};
        });
        uZqCmRes record = {};
        EXPECT_EQ(ZqCmApi__GetReq(42, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
                  eOS_RET_SUCCESS);
    }
}

} // namespace
