// cm_bench.cpp - the CM client against plain UDP sockets on loopback, in the same run: a
// synchronous get round trip against a ping-pong of the same datagram between two plain sockets
// (on one host thread and on four), the same gets answered by the oltmgr-sim program against
// a plain echo thread (four host threads driving each: the manager's answering rate), requests
// sent in asynchronous mode against raw sendto, and responses dispatched by the receive task and
// alarms delivered by the alarm task against a raw recvfrom loop fed the same traffic. After the
// runs it prints each ratio of real time.
//
// On a busy machine real time mostly tells how often a thread got a processor, so the CPU cost is
// shown too: in the CPU column the round trips give the CPU time of the whole process (the peer
// or the echo thread included; not the oltmgr-sim program's, which runs apart) and the sends that
// of the sending thread, and the receiving benchmarks count "rx_cpu_ns", the CPU time the
// receiving thread spends per datagram.
//
// The OLT manager is the loopback peer, started once with the channel and kept for the whole run;
// the oltmgr-sim program, where it is built, is started once too, quiet, and ends with the run.
// Every wait on a socket is bounded (kWaitMs), and every benchmark stops by itself.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "oltmgr_peer.h"
#include "oltmgr_wire.h"
#include "oswrap.h"
#include "ratio_reporter.h"
#ifdef OLTMGR_SIM_PATH
#include "sim_process.h"
#endif
#include "svc.h"
#include "zqcm_internal.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWaitMs = 1000;  // the longest anything here waits for one datagram
constexpr int kSliceMs = 20;   // how often a plain thread looks at its stop flag
constexpr int64_t kWindow = 16; // datagrams a sender may be ahead; a default buffer holds 40 long ones
constexpr auto kStall = 200ms;  // a window that makes no progress this long is written off
// The machine is shared: each ratio is of medians over repetitions that run interleaved.
constexpr int kRepetitions = 5;

// ---- plain sockets and threads -------------------------------------------------------------------

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A UDP socket on 127.0.0.1 at a free port whose receives give up after waitMs.
class LoopbackSocket {
  public:
    explicit LoopbackSocket(int waitMs = kWaitMs) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        timeval wait = {waitMs / 1000, (waitMs % 1000) * 1000};
        ok_ = fd_ >= 0 && setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0 &&
              bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
              getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) == 0;
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackSocket() {
        if (fd_ >= 0) close(fd_);
    }
    LoopbackSocket(const LoopbackSocket &) = delete;
    LoopbackSocket &operator=(const LoopbackSocket &) = delete;

    bool Ok() const { return ok_; }
    uint16_t Port() const { return port_; }

    bool SendTo(const sockaddr_in &to, const uint8_t *bytes, size_t length) const {
        return sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to) ==
               static_cast<ssize_t>(length);
    }
    bool SendTo(uint16_t port, const Bytes &datagram) const {
        return SendTo(Loopback(port), datagram.data(), datagram.size());
    }
    // One datagram into buffer: its length, or -1 when none came within the wait.
    ssize_t Receive(Bytes &buffer, sockaddr_in *fromP) const {
        socklen_t length = sizeof *fromP;
        return recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr *>(fromP), &length);
    }

  private:
    int fd_;
    uint16_t port_ = 0;
    bool ok_ = false;
};

// What a receiving side publishes: the datagrams it has taken in, and the CPU clock of the thread
// that takes them (learnt with its first datagram), so that a run can tell the receiver's CPU time
// per datagram apart from the time other programs on the machine take.
class Intake {
  public:
    void Take() {
        if (!known_.load(std::memory_order_relaxed) && pthread_getcpuclockid(pthread_self(), &clock_) == 0)
            known_.store(true, std::memory_order_release);
        count_.fetch_add(1, std::memory_order_relaxed);
    }
    uint64_t Count() const { return count_.load(std::memory_order_relaxed); }
    // Nanoseconds of CPU the receiving thread has used; 0 before its first datagram.
    int64_t CpuNs() const {
        timespec used{};
        if (!known_.load(std::memory_order_acquire) || clock_gettime(clock_, &used) != 0) return 0;
        return static_cast<int64_t>(used.tv_sec) * 1000000000 + used.tv_nsec;
    }

  private:
    std::atomic<uint64_t> count_{0};
    std::atomic<bool> known_{false};
    clockid_t clock_{};
};

// The baseline's far side: a plain thread on a plain socket that counts every datagram arriving
// and, as an echo, sends it straight back to its sender with its header turned into an answer's.
class PlainThread {
  public:
    enum class Role { kCount, kEcho };
    explicit PlainThread(Role role) : socket_(kSliceMs), thread_([this, role] { Run(role); }) {}
    ~PlainThread() {
        stop_ = true;
        thread_.join();
    }
    bool Ok() const { return socket_.Ok(); }
    uint16_t Port() const { return socket_.Port(); }
    const Intake &Arrived() const { return arrived_; }

  private:
    void Run(Role role) {
        Bytes buffer(65536);
        while (!stop_.load(std::memory_order_relaxed)) {
            sockaddr_in from{};
            ssize_t got = socket_.Receive(buffer, &from);
            if (got < 0) continue;
            if (role == Role::kEcho) {
                // A request comes back as its answer: only the header's types and ends change.
                if (static_cast<size_t>(got) >= oltmgr::kMsgLen) oltmgr::TurnIntoResponse(buffer);
                socket_.SendTo(from, buffer.data(), static_cast<size_t>(got));
            }
            arrived_.Take();
        }
    }

    LoopbackSocket socket_;
    std::atomic<bool> stop_{false};
    Intake arrived_;
    std::thread thread_; // last: it starts once the socket exists
};

// ---- the datagrams ---------------------------------------------------------------------------------

// A request as the client lays it out, its key naming the resource type.
Bytes Request(eZqCmOperType operType, eZqCmApiResType resType, eZqCmApiResId resId, Bytes record = {}) {
    oltmgr::RequestFields fields;
    fields.operType = operType;
    fields.resType = resType;
    fields.resId = resId;
    fields.key.resType = resType;
    fields.record = std::move(record);
    return oltmgr::BuildRequest(fields);
}

// The readiness poll's get of the OLT manager's start-up state.
constexpr eZqCmApiResType kGetType = eZQ_CMAPI_RES_TYPE_SYSTEM;
constexpr eZqCmApiResId kGetId = eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS;

Bytes GetRequest() {
    uZqCmRes record{};
    record.gponSysConfig.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    const auto *bytesP = reinterpret_cast<const uint8_t *>(&record);
    return Request(eZQ_CM_OPER_TYPE_GET, kGetType, kGetId, Bytes(bytesP, bytesP + sizeof record));
}

constexpr eZqCmApiResType kDeleteType = eZQ_CMAPI_RES_TYPE_SYSTEM;
constexpr eZqCmApiResId kDeleteId = eZQ_CMAPI_RES_ID_SERV_ONU_BLACK_LIST;

// A successful get answer of an ONU upgrade task: the longest response, 2448 bytes.
Bytes LongResponse() {
    constexpr eZqCmApiResId kId = eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT;
    Bytes request = Request(eZQ_CM_OPER_TYPE_GET, eZQ_CMAPI_RES_TYPE_SYSTEM, kId,
                            Bytes(oltmgr::ExtendedRecordSize(kId), 0x5A));
    return oltmgr::EchoResponse(request.data(), request.size(), eOS_RET_SUCCESS);
}

Bytes AlarmMessage() {
    tZqCmAlarmInfo alarm{};
    return oltmgr::BuildAlarmMessage(alarm, 0);
}

// ---- the host --------------------------------------------------------------------------------------

Intake responsesDispatched;
Intake alarmsDelivered;

eOsRet CountRecordRsp(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, void *, eOsRet) {
    responsesDispatched.Take();
    return eOS_RET_SUCCESS;
}
eOsRet CountDeleteRsp(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, eOsRet) {
    responsesDispatched.Take();
    return eOS_RET_SUCCESS;
}
eOsRet CountNumRsp(uint16, eZqCmApiResType, eZqCmApiResId, sint16) {
    responsesDispatched.Take();
    return eOS_RET_SUCCESS;
}
eOsRet IgnoreRegistrationRsp(uint16, tZqCmAlarmRegInfo, eOsRet) { return eOS_RET_SUCCESS; }
eOsRet CountAlarm(uZqCmMsg *) {
    alarmsDelivered.Take();
    return eOS_RET_SUCCESS;
}

// The host keeps its console to the benchmark report.
void Quiet(char *) {}

void Fail(const char *whatP) {
    std::fprintf(stderr, "cm_bench: %s\n", whatP);
    std::abort();
}

// The host, started once as a line card starts it, with the CM waits shortened and the channel up
// against a loopback OLT manager that lives as long as the process (the library's tasks keep
// talking to it).
oltmgr::Peer &Host() {
    static oltmgr::Peer &peer = []() -> oltmgr::Peer & {
        // Lean: no foreign socket to watch and no record of the datagrams, which only tests read.
        auto *peerP = new oltmgr::Peer(oltmgr::PeerOptions{"127.0.0.1", 0, "", 0});
        if (!peerP->Ok()) Fail("the OLT manager peer did not start");
        if (OsWrap__Init(nullptr) != eOS_RET_SUCCESS || SvcInit(nullptr, Quiet) != eOS_RET_SUCCESS)
            Fail("the service layer did not start");
        InitTrace();
        SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
        SetCliDisplayMode(eOS_BOOL_FALSE);
        tZqCmChannelOptions waits = kZqCmDefaultChannelOptions;
        waits.receiveTimeoutMs = kWaitMs;
        waits.alarmTaskWaitMs = 10 * 10;
        waits.waitingLineMs = 1;
        waits.pollIntervalMs = 1;
        ZqCmSetChannelOptions(waits);
        ZqCmSetBoardFileForTest("/nonexistent/board-file");
        OltMgrHostAddr = INADDR_LOOPBACK;
        oltMgrUdpPort = peerP->Port();
        extEntityReqRspUdpPort = 0; // the system chooses; the start writes the ports back
        extEntityAlarmUdpPort = 0;
        if (ZqCmApi__InitCommunicationChannel() != eOS_RET_SUCCESS) Fail("the CM channel did not come up");
        if (itCmApi__RegisterAlarmHandler(CountAlarm) != eOS_RET_SUCCESS) Fail("no alarm handler");
        if (GetRequest().size() != ZQ_CM_MSG_LEN || LongResponse().size() != ZQ_CM_API_MSG_LEN ||
            AlarmMessage().size() != ZQ_CM_MSG_LEN)
            Fail("the datagrams are not of the lengths the client sends and receives");
        return *peerP;
    }();
    return peer;
}

void UseMode(eZqCmApiMode mode) {
    tZqCmApiCallback table{};
    table.createRsp = table.setRsp = table.getRsp = table.getFirstRsp = table.getNextRsp =
        table.getFirstWithKeyRsp = table.getNextWithKeyRsp = CountRecordRsp;
    table.deleteRsp = CountDeleteRsp;
    table.getNumInstanceRsp = CountNumRsp;
    table.alarmRegisterRsp = table.alarmUnregisterRsp = IgnoreRegistrationRsp;
    if (ZqCmApi__SetMode(mode, &table) != eOS_RET_SUCCESS) Fail("the mode was refused");
}

// Synchronous mode against the manager at port for this run. The first thread sets it before
// the threads start together, so the others see it.
void AnsweredAt(benchmark::State &state, uint16_t port) {
    if (state.thread_index() == 0) {
        UseMode(eZQ_CMAPI_MODE_SYNC);
        OltMgrInsMap[0].port = port;
    }
}

std::vector<oltmgr::Reply> Silent(const oltmgr::Datagram &, oltmgr::Store &) { return {}; }

// The smallest answer a manager can give: the request turned into its response.
std::vector<oltmgr::Reply> Echo(const oltmgr::Datagram &request, oltmgr::Store &) {
    return {oltmgr::Reply{oltmgr::EchoResponse(request.bytes.data(), request.bytes.size(), eOS_RET_SUCCESS)}};
}

// One exchange per iteration until one fails, which ends the run with the failure.
template <typename Exchange> void EachIteration(benchmark::State &state, const char *failureP, Exchange exchange) {
    for (auto _ : state) {
        if (!exchange()) {
            state.SkipWithError(failureP);
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- 1 and 2: synchronous get round trip --------------------------------------------------------

// One synchronous get per iteration; every host thread uses transaction ids of its own.
void SyncGets(benchmark::State &state) {
    uZqCmKey key{};
    key.resType = kGetType;
    uZqCmRes record{};
    auto transactionId = static_cast<uint16>(state.thread_index() << 12);
    EachIteration(state, "a get failed", [&] {
        record.gponSysConfig.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
        return ZqCmApi__GetReq(transactionId++, kGetType, kGetId, key, &record) == eOS_RET_SUCCESS;
    });
}

// Synchronous gets answered by the peer with the responder.
void SyncGetsFromPeer(benchmark::State &state, oltmgr::Peer::Responder responder) {
    oltmgr::Peer &peer = Host();
    if (state.thread_index() == 0) {
        peer.SetResponder(std::move(responder));
    }
    AnsweredAt(state, peer.Port());
    SyncGets(state);
}

// Answered from the manager's store, as a real manager answers.
void BM_CmGet_RelayKit(benchmark::State &state) { SyncGetsFromPeer(state, nullptr); }

// Answered with the request turned into its response, so that the manager's own work is minimal.
void BM_CmGetEchoPeer_RelayKit(benchmark::State &state) { SyncGetsFromPeer(state, Echo); }

// A plain echo thread that lives as long as the process, shared by the runs on several threads.
PlainThread &SharedEcho() {
    static PlainThread echo(PlainThread::Role::kEcho);
    if (!echo.Ok()) Fail("no echo socket");
    return echo;
}

// Answered by the baseline's plain echo thread, standing in for the manager for this run: the
// client takes the request sent back with its header turned (same transaction id) for the answer,
// so against the baseline only the client's own work differs.
void BM_CmGetPlainEcho_RelayKit(benchmark::State &state) {
    Host();
    AnsweredAt(state, SharedEcho().Port());
    SyncGets(state);
}

#ifdef OLTMGR_SIM_PATH
// The oltmgr-sim program, quiet, started once and ended with the process.
uint16_t SimPort() {
    static oltmgr_test::SimProcess sim({"--listen", "127.0.0.1:0", "--quiet"});
    static const uint16_t port = sim.WaitListening();
    if (port == 0) Fail("oltmgr-sim did not start");
    return port;
}

// Answered by the emulator program, from its store, by its one answering thread.
void BM_CmGetSim_RelayKit(benchmark::State &state) {
    Host();
    AnsweredAt(state, SimPort());
    SyncGets(state);
}
#endif

// The same 1640 bytes sent to a plain echo thread and read back.
void BM_UdpPingPong_Baseline(benchmark::State &state) {
    PlainThread echo(PlainThread::Role::kEcho);
    LoopbackSocket client;
    if (!echo.Ok() || !client.Ok()) {
        state.SkipWithError("no sockets");
        return;
    }
    const Bytes request = GetRequest();
    Bytes buffer(65536);
    EachIteration(state, "no echo", [&] {
        sockaddr_in from{};
        return client.SendTo(echo.Port(), request) && client.Receive(buffer, &from) >= 0;
    });
}

// ---- 3: requests sent in asynchronous mode ------------------------------------------------------

using tDeleteCall = eOsRet (*)(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey);

// One delete per iteration in asynchronous mode; the manager takes them in without answering.
void AsyncDeletes(benchmark::State &state, tDeleteCall deleteCall) {
    Host().SetResponder(Silent);
    OltMgrInsMap[0].port = Host().Port();
    UseMode(eZQ_CMAPI_MODE_ASYNC);
    uZqCmKey key{};
    key.resType = kDeleteType;
    uint16 transactionId = 0;
    EachIteration(state, "a send failed", [&] {
        return deleteCall(transactionId++, kDeleteType, kDeleteId, key) == eOS_RET_SUCCESS;
    });
}

// The ordinary member: under the exchange lock, returning after the send.
void BM_CmAsyncDelete_RelayKit(benchmark::State &state) { AsyncDeletes(state, ZqCmApi__DeleteReq); }

// The fire-and-forget member, which takes no lock.
void BM_CmDeleteAsync_RelayKit(benchmark::State &state) { AsyncDeletes(state, ZqCmApi__DeleteReq_Async); }

// The same 1640 bytes sent to the same silent manager from a plain socket.
void BM_UdpSend_Baseline(benchmark::State &state) {
    oltmgr::Peer &peer = Host();
    peer.SetResponder(Silent);
    LoopbackSocket sender;
    const Bytes request = Request(eZQ_CM_OPER_TYPE_DELETE, kDeleteType, kDeleteId);
    EachIteration(state, "a send failed", [&] { return sender.SendTo(peer.Port(), request); });
}

// ---- 4 and 5: responses and alarms taken in ---------------------------------------------------

// Sends the datagram to the port once per iteration from 127.0.0.1 (where the OLT manager is),
// never more than kWindow ahead of what the receiving side has taken in: no receive buffer
// overflows, and the time per iteration is the time per datagram at the slower of the two sides.
// The datagrams of a window that stalls are written off and reported as lost. One datagram goes
// ahead of the timing, so the receiver is known to be there and its CPU clock is known.
void Blast(benchmark::State &state, uint16_t port, const Bytes &datagram, const Intake &intake) {
    LoopbackSocket sender;
    const uint64_t before = intake.Count();
    auto taken = [&] { return static_cast<int64_t>(intake.Count() - before); };
    auto awaitAll = [&](int64_t sent, Clock::duration patience) {
        const Clock::time_point deadline = Clock::now() + patience;
        while (taken() < sent && Clock::now() < deadline) std::this_thread::yield();
        return taken() >= sent;
    };
    int64_t sent = 1;
    if (!sender.SendTo(port, datagram) || !awaitAll(sent, std::chrono::milliseconds(kWaitMs))) {
        state.SkipWithError("nothing arrives");
        return;
    }
    const int64_t cpuBefore = intake.CpuNs();
    int64_t writtenOff = 0;
    for (auto _ : state) {
        if (sent - writtenOff - taken() >= kWindow) {
            const Clock::time_point deadline = Clock::now() + kStall;
            while (sent - writtenOff - taken() >= kWindow) {
                if (Clock::now() > deadline) {
                    writtenOff = sent - taken();
                    break;
                }
                std::this_thread::yield();
            }
        }
        sender.SendTo(port, datagram);
        ++sent;
    }
    // The tail arrives outside the timing, so the next run starts on a quiet socket.
    awaitAll(sent, kStall);
    const int64_t arrived = taken() - 1;
    state.SetItemsProcessed(arrived);
    state.counters["lost"] = static_cast<double>(sent - 1 - arrived);
    // The receiving thread's own cost, which other programs on the machine do not inflate.
    if (arrived > 0) state.counters["rx_cpu_ns"] = static_cast<double>(intake.CpuNs() - cpuBefore) / arrived;
}

void BM_CmDispatchResponse_RelayKit(benchmark::State &state) {
    Host();
    UseMode(eZQ_CMAPI_MODE_ASYNC);
    Blast(state, extEntityReqRspUdpPort, LongResponse(), responsesDispatched);
}

void BM_CmDeliverAlarm_RelayKit(benchmark::State &state) {
    Host();
    Blast(state, extEntityAlarmUdpPort, AlarmMessage(), alarmsDelivered);
}

void RawReceives(benchmark::State &state, const Bytes &datagram) {
    PlainThread receiver(PlainThread::Role::kCount);
    if (!receiver.Ok()) {
        state.SkipWithError("no socket");
        return;
    }
    Blast(state, receiver.Port(), datagram, receiver.Arrived());
}

void BM_UdpReceiveResponse_Baseline(benchmark::State &state) { RawReceives(state, LongResponse()); }

void BM_UdpReceiveAlarm_Baseline(benchmark::State &state) { RawReceives(state, AlarmMessage()); }

// ---- registration: round trips count the CPU time of the whole process (peer included) -------

BENCHMARK(BM_CmGet_RelayKit)->UseRealTime()->MeasureProcessCPUTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_UdpPingPong_Baseline)->UseRealTime()->MeasureProcessCPUTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmGetEchoPeer_RelayKit)->UseRealTime()->MeasureProcessCPUTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmGetPlainEcho_RelayKit)->UseRealTime()->MeasureProcessCPUTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmGet_RelayKit)->UseRealTime()->MeasureProcessCPUTime()->Threads(4)->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmGetPlainEcho_RelayKit)->UseRealTime()->Threads(4)->Repetitions(ratio::Count(kRepetitions));
#ifdef OLTMGR_SIM_PATH
// The program's CPU time is not the process's: only real time compares here.
BENCHMARK(BM_CmGetSim_RelayKit)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmGetSim_RelayKit)->UseRealTime()->Threads(4)->Repetitions(ratio::Count(kRepetitions));
#endif
BENCHMARK(BM_CmAsyncDelete_RelayKit)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_UdpSend_Baseline)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmDeleteAsync_RelayKit)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmDispatchResponse_RelayKit)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_UdpReceiveResponse_Baseline)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_CmDeliverAlarm_RelayKit)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));
BENCHMARK(BM_UdpReceiveAlarm_Baseline)->UseRealTime()->Repetitions(ratio::Count(kRepetitions));

} // namespace

int main(int argc, char **argv) {
    // Repetitions of all benchmarks run interleaved, so that a change of load on the shared machine
    // falls on both sides of a pair alike; a later flag on the command line still decides.
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    return ratio::Main(count, args.data(),
                       {{"BM_CmGet_RelayKit", "BM_UdpPingPong_Baseline"},
                        {"BM_CmGetEchoPeer_RelayKit", "BM_UdpPingPong_Baseline"},
                        {"BM_CmGetPlainEcho_RelayKit", "BM_UdpPingPong_Baseline"},
                        {"BM_CmGet_RelayKit/threads:4", "BM_CmGet_RelayKit"},
                        {"BM_CmGet_RelayKit/threads:4", "BM_CmGetPlainEcho_RelayKit/threads:4"},
                        {"BM_CmGetSim_RelayKit/threads:4", "BM_CmGetPlainEcho_RelayKit/threads:4"},
                        {"BM_CmGetSim_RelayKit", "BM_UdpPingPong_Baseline"},
                        {"BM_CmAsyncDelete_RelayKit", "BM_UdpSend_Baseline"},
                        {"BM_CmDeleteAsync_RelayKit", "BM_UdpSend_Baseline"},
                        {"BM_CmDispatchResponse_RelayKit", "BM_UdpReceiveResponse_Baseline"},
                        {"BM_CmDeliverAlarm_RelayKit", "BM_UdpReceiveAlarm_Baseline"}});
}
