// datagram_flood_test.cpp - ten seconds of garbage datagrams (random lengths up to the largest UDP
// payload, random content, from the OLT manager's address and from others) at both CM sockets
// while host threads keep making synchronous requests: every request gets its own answer, the
// alarm task survives, and memory stays flat.
#include <fcntl.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "cm_fixture.h"

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

// Datagrams the kernel dropped for a full receive buffer on the UDP socket bound to port.
long KernelDrops(uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        unsigned localPort = 0;
        long drops = 0;
        char address[16];
        std::string last;
        if (sscanf(line.c_str(), " %*d: %8[0-9A-Fa-f]:%x", address, &localPort) != 2 || localPort != port) continue;
        std::istringstream fields(line);
        while (fields >> last) drops = atol(last.c_str());
        return drops;
    }
    return 0;
}

long LiveBlocks() { return static_cast<long>(std::atomic_ref<uint32>(MemAllocCnt).load()); }

// A UDP socket bound to address (any port) that sends garbage to both CM sockets until stopped.
// Datagrams from the manager's address carry, one in four, the transaction id of a request that may
// be waiting, so that only the rest of a response's checks can tell them from its answer.
class Flooder {
  public:
    Flooder(const char *address, bool fromManager, uint32_t seed) : fromManager_(fromManager), random_(seed) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, address, &local.sin_addr);
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0;
        if (ok_) fcntl(fd_, F_SETFL, O_NONBLOCK); // a full socket buffer drops, it never stalls
        pool_.resize(1 << 20);
        for (uint8_t &b : pool_) b = static_cast<uint8_t>(random_());
    }
    ~Flooder() { close(fd_); }
    bool Ok() const { return ok_; }

    void Run(const std::atomic<bool> &stop, const std::vector<uint16_t> &ports, std::atomic<long> &sent) {
        Bytes datagram(kLargestPayload);
        while (!stop.load()) {
            for (uint16_t port : ports) {
                const size_t length = random_() % 16 == 0 ? random_() % 64 : random_() % (kLargestPayload + 1);
                memcpy(datagram.data(), pool_.data() + random_() % (pool_.size() - kLargestPayload), length);
                if (fromManager_ && length >= kTransactionId + 2 && random_() % 4 == 0) {
                    const uint16_t tid = static_cast<uint16_t>(kRequesterBase[random_() % 2] + random_() % 64);
                    memcpy(datagram.data() + kTransactionId, &tid, sizeof tid);
                }
                sockaddr_in to = {};
                to.sin_family = AF_INET;
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                to.sin_port = htons(port);
                if (sendto(fd_, datagram.data(), length, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) >= 0) ++sent;
            }
            std::this_thread::sleep_for(1ms);
        }
    }

  private:
    int fd_ = -1;
    bool ok_ = false;
    bool fromManager_;
    std::mt19937 random_;
    Bytes pool_;
};

std::atomic<long> alarmsHandled{0};
eOsRet CountAlarm(uZqCmMsg *) {
    ++alarmsHandled;
    return eOS_RET_SUCCESS;
}

// What one requesting host thread saw.
struct Tally {
    long answered = 0, wrong = 0, failed = 0, timedOut = 0;
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
        } else if (rc != eOS_RET_SUCCESS) {
            ++tally.failed;
        } else if (memcmp(&record, &tag, sizeof tag) != 0) {
            ++tally.wrong;
        } else {
            ++tally.answered;
        }
    }
}

using DatagramFloodTest = CmTest;

TEST_F(DatagramFloodTest, EveryRequestGetsItsOwnAnswerAndMemoryStaysFlatUnderTenSecondsOfGarbage) {
    tZqCmTimings waits = ZqCmTimings();
    waits.receiveTimeoutMs = 2000; // a lost answer shows as a failed request, not as a long test
    ZqCmSetTimingsForTest(waits);
    StartChannel();
    ASSERT_EQ(itCmApi__RegisterAlarmHandler(CountAlarm), eOS_RET_SUCCESS);
    peer_.SetResponder([](const oltmgr::Datagram &d, oltmgr::Store &) {
        Bytes r = ResponseTo(d.bytes);
        memcpy(r.data() + kRes, d.bytes.data() + kRes, 4); // the asker's tag
        return std::vector<oltmgr::Reply>{Now(r)};
    });
    rktest::QuiesceTrace();
    ASSERT_TRUE(rktest::WaitForNoLiveBlocks());

    Flooder manager("127.0.0.1", true, 1), other("127.0.0.3", false, 2), otherToo("127.0.0.4", false, 3);
    ASSERT_TRUE(manager.Ok() && other.Ok() && otherToo.Ok());
    const std::vector<uint16_t> ports = {extEntityReqRspUdpPort, extEntityAlarmUdpPort};
    std::atomic<bool> stopFlood{false}, stopRequests{false};
    std::atomic<long> sent{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] { manager.Run(stopFlood, ports, sent); });
    threads.emplace_back([&] { other.Run(stopFlood, ports, sent); });
    threads.emplace_back([&] { otherToo.Run(stopFlood, ports, sent); });
    Tally tallies[2];
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] { Request(kRequesterBase[i], stopRequests, tallies[i]); });

    std::this_thread::sleep_for(1s);
    const long residentAfterWarmUp = ResidentBytes();
    long mostLiveBlocks = 0;
    for (int i = 0; i < 90; ++i) {
        std::this_thread::sleep_for(100ms);
        mostLiveBlocks = std::max(mostLiveBlocks, LiveBlocks());
    }
    const long residentAtEnd = ResidentBytes();
    stopRequests = true;
    for (size_t i = 3; i < threads.size(); ++i) threads[i].join();
    stopFlood = true;
    for (size_t i = 0; i < 3; ++i) threads[i].join();

    // An answer that arrives while the socket's buffer is full of garbage is dropped by the kernel;
    // its request then ends by the receive time-out, as designed. Without such drops every request
    // has its answer.
    long answered = 0, timedOut = 0;
    for (const Tally &t : tallies) {
        EXPECT_EQ(t.wrong + t.failed, 0) << "a garbage datagram was taken for an answer";
        EXPECT_GT(t.answered, 0);
        answered += t.answered;
        timedOut += t.timedOut;
    }
    const long drops = KernelDrops(extEntityReqRspUdpPort);
    if (drops == 0) {
        EXPECT_EQ(timedOut, 0) << "a request lost its answer";
    }
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

} // namespace

namespace {

// The deterministic form of the flood's finding: a datagram from the manager's address with the
// request's transaction id that says it is no response is dropped, and the answer after it taken.
TEST_F(DatagramFloodTest, ADatagramWithTheRightTransactionThatIsNoResponseIsNotTakenForTheAnswer) {
    StartChannel();
    for (uint32_t msgType : {uint32_t{eZQ_CM_MSG_TYPE_MIN}, uint32_t{eZQ_CM_MSG_TYPE_REQ}, uint32_t{eZQ_CM_MSG_TYPE_ALM},
                             uint32_t{eZQ_CM_MSG_TYPE_ALM_REG}, 0xFFFFFFFFu}) {
        SCOPED_TRACE(msgType);
        peer_.SetResponder([msgType](const oltmgr::Datagram &d, oltmgr::Store &) {
            Bytes impostor = ResponseTo(d.bytes, eOS_RET_OLT_UNKNOWN_ENTITY);
            SetField<uint32_t>(impostor, 16, msgType);
            return std::vector<oltmgr::Reply>{Now(impostor), Now(ResponseTo(d.bytes, eOS_RET_SUCCESS))};
        });
        uZqCmRes record = {};
        EXPECT_EQ(ZqCmApi__GetReq(42, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
                  eOS_RET_SUCCESS);
    }
}

} // namespace
