// sim_test.cpp - the oltmgr-sim program as its users meet it: the built binary started as a child
// process on a free loopback port, spoken to with plain UDP sockets, its log read from its
// standard output, its exit status checked; every wait has a deadline and the child is killed
// on every path.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "sim_process.h"
#include "udp_client.h"

namespace {

using namespace std::chrono_literals;
using oltmgr::Bytes;
using oltmgr::ReadAt;
using oltmgr_test::BytesOf;
using oltmgr_test::Client;
using oltmgr_test::FaultTotal;
using oltmgr_test::kDeadline;
using oltmgr_test::OnuKey;
using oltmgr_test::OnuRecord;
using oltmgr_test::Request;
using oltmgr_test::Ret;
using oltmgr_test::SimProcess;

constexpr auto kExitDeadline = 5s;

// A started emulator on a free loopback port.
struct Sim {
    explicit Sim(std::vector<std::string> args) : process(WithListen(std::move(args))) {
        port = process.WaitListening();
    }
    static std::vector<std::string> WithListen(std::vector<std::string> args) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
        return args;
    }
    SimProcess process;
    uint16_t port = 0;
};

// A scratch directory, removed with everything in it at the end of the test.
struct ScratchDir {
    ScratchDir() {
        char pattern[] = "/tmp/oltmgr-sim-test-XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const char *name) const { return path + "/" + name; }
    std::string path;
};

uZqCmKey SystemKey() {
    uZqCmKey key{};
    key.resType = eZQ_CMAPI_RES_TYPE_SYSTEM;
    return key;
}

uint32_t InitStatus(Client &client, uint16_t port) {
    tZqCmGponSysConfig asked{};
    asked.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS;
    Bytes answer = client.Exchange(port, Request(eZQ_CM_OPER_TYPE_GET, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS,
                                                 SystemKey(), BytesOf(asked), 1));
    return ReadAt<uint32_t>(answer, oltmgr::kInitStatusAt);
}

tZqCmGponSysConfig SystemConfig(Client &client, uint16_t port) {
    Bytes answer = client.Exchange(port, Request(eZQ_CM_OPER_TYPE_GET, 1, SystemKey(), {}, 2));
    return ReadAt<tZqCmGponSysConfig>(answer, oltmgr::kResAt);
}

// A set of the system configuration with fdbAgingTimer and, when asked, dbSave.
Bytes SetSystem(uint32_t fdbAgingTimer, bool save) {
    tZqCmGponSysConfig config{};
    config.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER | (save ? fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE : 0);
    config.fdbAgingTimer = fdbAgingTimer;
    config.dbSave = save ? eOS_BOOL_TRUE : eOS_BOOL_FALSE;
    return Request(eZQ_CM_OPER_TYPE_SET, 1, SystemKey(), BytesOf(config), 3);
}

std::vector<int> WalkOnuIds(Client &client, uint16_t port) {
    std::vector<int> ids;
    Bytes answer = client.Exchange(port, Request(eZQ_CM_OPER_TYPE_GETFIRST, 6, uZqCmKey{}, {}, 4));
    while (Ret(answer) == eOS_RET_SUCCESS && ids.size() < 100) {
        auto key = ReadAt<uZqCmKey>(answer, oltmgr::kKeyAt);
        ids.push_back(key.onuKey.onuId);
        answer = client.Exchange(port, Request(eZQ_CM_OPER_TYPE_GETNEXT, 6, OnuKey(key.onuKey.onuId), {}, 5));
    }
    EXPECT_EQ(Ret(answer), eOS_RET_OLT_NO_INSTANCE_EXISTS) << "a walk ends with NO_INSTANCE_EXISTS";
    return ids;
}

TEST(SimCommandLineTest, BadArgumentsEndWithStatus2AMessageAndTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"stray"},
        {"--listen"},
        {"--listen", "127.0.0.1"},
        {"--listen", "localhost:47000"},
        {"--listen", "127.0.0.1:65536"},
        {"--listen", "127.0.0.1:-1"},
        {"--listen=127.0.0.1:"},
        {"--init-delay", "-1"},
        {"--init-delay", "abc"},
        {"--init-delay", "1e3"},
        {"--init-delay", "90000"},
        {"--init-delay="},
        {"--alarm-every", "0.001"},
        {"--db", ""},
        {"--pons", "0"},
        {"--pons", "17"},
        {"--onus", "257"},
        {"--onus", "-1"},
        {"--churn", "60001"},
        {"--alarm-rate", "20001"},
        {"--alarm-rate", "1.5"},
        {"--drop", "100.5"},
        {"--duplicate", "-3"},
        {"--delay", "60001"},
        {"--delay", "10:"},
        {"--delay", "10:20:30"},
        {"--restart-every", "0.05"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        SimProcess sim(args);
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.Wait(kExitDeadline), 2);
        std::string errors = sim.Errors();
        EXPECT_EQ(errors.rfind("oltmgr-sim: ", 0), 0u) << errors;
        EXPECT_NE(errors.find("usage: oltmgr-sim"), std::string::npos) << errors;
    }
    SimProcess help({"--help"});
    auto first = help.ReadLine(kDeadline);
    EXPECT_EQ(help.Wait(kExitDeadline), 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rfind("usage: oltmgr-sim", 0), 0u);
    SimProcess version({"--version"});
    EXPECT_EQ(version.ReadLine(kDeadline), std::string("oltmgr-sim (relayKit) ") + RELAYKIT_VERSION_TEXT);
    EXPECT_EQ(version.Wait(kExitDeadline), 0);
}

TEST(SimCommandLineTest, APortInUseEndsWithStatus1) {
    Client taken;
    SimProcess sim({"--listen", "127.0.0.1:" + std::to_string(taken.Port())});
    EXPECT_EQ(sim.Wait(kExitDeadline), 1);
    EXPECT_NE(sim.Errors().find("cannot bind 127.0.0.1:" + std::to_string(taken.Port())), std::string::npos);
}

TEST(SimStoreTest, AnswersFromAnOrderedStoreAndLogsEachRequestOnOneLine) {
    Sim sim({});
    ASSERT_NE(sim.port, 0);
    Client client;
    struct Step {
        int operType;
        int onu;
        uint32_t ret;
        const char *logged; // the log line of the request contains this
    };
    const Step steps[] = {
        {eZQ_CM_OPER_TYPE_CREATE, 17, eOS_RET_SUCCESS, "CREATE EQPT_ONU_CONFIG(6) onu 1/0/3/17 -> eOS_RET_SUCCESS"},
        {eZQ_CM_OPER_TYPE_CREATE, 2, eOS_RET_SUCCESS, "CREATE EQPT_ONU_CONFIG(6) onu 1/0/3/2 -> eOS_RET_SUCCESS"},
        {eZQ_CM_OPER_TYPE_CREATE, 17, eOS_RET_OLT_INSTANCE_EXISTS, "-> eOS_RET_OLT_INSTANCE_EXISTS"},
        {eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 0, eOS_RET_SUCCESS, "GET_INSTANCE_NUM EQPT_ONU_CONFIG(6) onu 1/0/3/0 -> eOS_RET_SUCCESS count 2"},
        {eZQ_CM_OPER_TYPE_GETNEXT, 2, eOS_RET_SUCCESS, "found onu 1/0/3/17"},
        {eZQ_CM_OPER_TYPE_DELETE, 9, eOS_RET_OLT_NO_INSTANCE_EXISTS, "DELETE EQPT_ONU_CONFIG(6) onu 1/0/3/9 -> eOS_RET_OLT_NO_INSTANCE_EXISTS"},
        {99, 2, eOS_RET_OLT_UNKNOWN_OPER, "request tid 7 99 EQPT_ONU_CONFIG(6) onu 1/0/3/2 -> eOS_RET_OLT_UNKNOWN_OPER"},
    };
    uint16_t tid = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.logged);
        Bytes answer = client.Exchange(sim.port, Request(step.operType, 6, OnuKey(step.onu), OnuRecord(step.onu), ++tid));
        ASSERT_EQ(answer.size(), oltmgr::kMsgLen);
        EXPECT_EQ(ReadAt<uint16_t>(answer, oltmgr::kTransactionIdAt), tid);
        EXPECT_EQ(Ret(answer), step.ret);
        auto line = sim.process.WaitForLine("request tid " + std::to_string(tid) + " ", kDeadline);
        ASSERT_TRUE(line);
        EXPECT_NE(line->find(step.logged), std::string::npos) << *line;
    }
    EXPECT_EQ(WalkOnuIds(client, sim.port), (std::vector<int>{2, 17}));

    EXPECT_EQ(SystemConfig(client, sim.port).oltInitStatus, eZQ_CM_OLT_STATUS_READY) << "no --init-delay: ready at once";

    // Without --db a requested save cannot succeed, and the status says so.
    ASSERT_EQ(Ret(client.Exchange(sim.port, SetSystem(300, true))), eOS_RET_SUCCESS);
    EXPECT_EQ(SystemConfig(client, sim.port).dbSaveStatus, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE);
    EXPECT_TRUE(sim.process.WaitForLine("no --db file was given", kDeadline));
}

TEST(SimStartUpTest, InitDelayReportsNotInitThenBusyThenReadyOnTheClock) {
    constexpr auto kDelay = 800ms;
    auto beforeStart = SimProcess::Clock::now();
    Sim sim({"--init-delay", "0.8"});
    auto afterStart = SimProcess::Clock::now();
    ASSERT_NE(sim.port, 0);
    Client client;
    // The program's clock started between beforeStart and afterStart: each answer is checked
    // against what that window allows, so a slow machine cannot make the test fail.
    std::vector<uint32_t> seen;
    for (auto until = afterStart + 5s; SimProcess::Clock::now() < until;) {
        auto sent = SimProcess::Clock::now();
        uint32_t status = InitStatus(client, sim.port);
        auto received = SimProcess::Clock::now();
        switch (status) {
        case eZQ_CM_OLT_STATUS_NOT_INIT:
            EXPECT_LT(sent - afterStart, kDelay / 2);
            break;
        case eZQ_CM_OLT_STATUS_BUSY:
            EXPECT_GE(received - beforeStart, kDelay / 2);
            EXPECT_LT(sent - afterStart, kDelay);
            break;
        case eZQ_CM_OLT_STATUS_READY:
            EXPECT_GE(received - beforeStart, kDelay);
            break;
        default:
            FAIL() << "status " << status;
        }
        if (seen.empty() || seen.back() != status) {
            seen.push_back(status);
        }
        if (status == eZQ_CM_OLT_STATUS_READY) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY, eZQ_CM_OLT_STATUS_READY}));

    Sim immediate({"--init-delay", "0"});
    ASSERT_NE(immediate.port, 0);
    EXPECT_EQ(InitStatus(client, immediate.port), eZQ_CM_OLT_STATUS_READY);
}

// A subscriber: its own socket, registered with a filter.
struct Subscriber {
    Subscriber(uint16_t port, tZqCmAlarmFilterInfo filter) { Register(port, filter); }
    void Register(uint16_t port, tZqCmAlarmFilterInfo filter) {
        Bytes answer = socket.Exchange(port, oltmgr::BuildAlarmRegistration(1, eZQ_CMAPI_ALARM_REG_TYPE_REG, filter));
        registered = Ret(answer) == eOS_RET_SUCCESS;
        EXPECT_TRUE(registered);
    }
    // The next notification's message type and alarm (zero for an event), or nothing.
    std::optional<std::pair<uint32_t, tZqCmAlarmInfo>> Next(std::chrono::milliseconds deadline = kDeadline) {
        auto got = socket.Receive(deadline);
        if (!got) {
            return std::nullopt;
        }
        uint32_t msgType = ReadAt<uint32_t>(got->bytes, oltmgr::kMsgTypeAt);
        tZqCmAlarmInfo alarm{};
        if (msgType == eZQ_CM_MSG_TYPE_ALM) {
            alarm = ReadAt<tZqCmAlarmInfo>(got->bytes, oltmgr::kAlarmInfoAt);
        } else {
            lastEvent = ReadAt<uint32_t>(got->bytes, oltmgr::kEventIdAt);
            lastEventOnu = ReadAt<uZqCmKey>(got->bytes, oltmgr::kEventKeyAt).onuKey.onuId;
        }
        return std::pair{msgType, alarm};
    }
    Client socket;
    bool registered = false;
    uint32_t lastEvent = 0;
    int lastEventOnu = -1;
};

tZqCmAlarmFilterInfo OnuFilter(uint32_t onuMin, uint32_t onuMax) {
    tZqCmAlarmFilterInfo filter{};
    filter.slotIdMin = filter.slotIdMax = 1;
    filter.linkIdMin = filter.linkIdMax = 3;
    filter.onuIdMin = onuMin;
    filter.onuIdMax = onuMax;
    filter.alarmFilterType = eZQ_CMAPI_ALARM_FILTER_ONU;
    return filter;
}

TEST(SimStartUpTest, UntilReadyOnlyTheReadinessPollIsAnsweredUnlessAcceptEarly) {
    Sim starting({"--init-delay", "60"});
    Sim early({"--init-delay", "60", "--accept-early"});
    ASSERT_NE(starting.port, 0);
    ASSERT_NE(early.port, 0);
    Client client;
    tZqCmGponSysConfig fields{};
    fields.bitMask = fCMAPI_GPON_SYS_CONFIG_MASK_FDB_AGING_TIMER;
    const struct {
        Bytes request;
        uint32_t whileStarting; // the same request with --accept-early succeeds
    } cases[] = {
        {Request(eZQ_CM_OPER_TYPE_GET, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS, SystemKey(), {}, 1), eOS_RET_SUCCESS},
        {Request(eZQ_CM_OPER_TYPE_GET, eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG, SystemKey(), {}, 2), eOS_RET_SUCCESS},
        {Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(1), OnuRecord(1), 3), eOS_RET_INVALID_STATE},
        {Request(eZQ_CM_OPER_TYPE_SET, 1, SystemKey(), BytesOf(fields), 4), eOS_RET_INVALID_STATE},
        {Request(eZQ_CM_OPER_TYPE_GETFIRST, 6, uZqCmKey{}, {}, 5), eOS_RET_INVALID_STATE},
        {Request(eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, uZqCmKey{}, {}, 6), eOS_RET_INVALID_STATE},
        {Request(eZQ_CM_OPER_TYPE_DELETE, 6, OnuKey(1), {}, 7), eOS_RET_INVALID_STATE},
    };
    for (const auto &c : cases) {
        uint16_t tid = ReadAt<uint16_t>(c.request, oltmgr::kTransactionIdAt);
        SCOPED_TRACE(tid);
        Bytes refused = client.Exchange(starting.port, c.request);
        EXPECT_EQ(Ret(refused), c.whileStarting);
        EXPECT_EQ(ReadAt<uint16_t>(refused, oltmgr::kTransactionIdAt), tid);
        EXPECT_EQ(Ret(client.Exchange(early.port, c.request)), eOS_RET_SUCCESS);
    }
    EXPECT_EQ(InitStatus(client, starting.port), eZQ_CM_OLT_STATUS_NOT_INIT);
    EXPECT_TRUE(starting.process.WaitForLine("CREATE EQPT_ONU_CONFIG(6) onu 1/0/3/1 -> eOS_RET_INVALID_STATE (not ready: NOT_INIT)",
                                             kDeadline));
    EXPECT_TRUE(Subscriber(starting.port, tZqCmAlarmFilterInfo{}).registered) << "registrations are not requests";
}

TEST(SimAlarmTest, OnuCreateAndDeleteRaiseAndClearAnAlarmForMatchingSubscribersOnly) {
    Sim sim({});
    ASSERT_NE(sim.port, 0);
    Subscriber low(sim.port, OnuFilter(10, 20));
    Subscriber high(sim.port, OnuFilter(30, 40));
    Client client;
    struct Step {
        int operType;
        int onu;
        Subscriber *gets;
        Subscriber *not_;
        uint32_t condition;
        uint32_t event;
    };
    const Step steps[] = {
        {eZQ_CM_OPER_TYPE_CREATE, 15, &low, &high, eZQ_CMAPI_ALARM_CONDITION_ALARM, eZQ_CMAPI_EVENT_ONU_ACTIVATED},
        {eZQ_CM_OPER_TYPE_CREATE, 35, &high, &low, eZQ_CMAPI_ALARM_CONDITION_ALARM, eZQ_CMAPI_EVENT_ONU_ACTIVATED},
        {eZQ_CM_OPER_TYPE_DELETE, 15, &low, &high, eZQ_CMAPI_ALARM_CONDITION_CLEAR, eZQ_CMAPI_EVENT_ONU_DEACTIVATED},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.onu);
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(step.operType, 6, OnuKey(step.onu), OnuRecord(step.onu), 1))),
                  eOS_RET_SUCCESS);
        auto alarm = step.gets->Next();
        ASSERT_TRUE(alarm);
        EXPECT_EQ(alarm->first, eZQ_CM_MSG_TYPE_ALM);
        EXPECT_EQ(alarm->second.alarmType, eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER);
        EXPECT_EQ(alarm->second.alarmCondition, step.condition);
        EXPECT_EQ(alarm->second.alarmResId.portId.onuId, step.onu);
        EXPECT_EQ(alarm->second.alarmResId.portId.linkId, 3);
        auto event = step.gets->Next();
        ASSERT_TRUE(event);
        EXPECT_EQ(event->first, eZQ_CM_MSG_TYPE_EVT);
        EXPECT_EQ(step.gets->lastEvent, step.event);
        EXPECT_EQ(step.gets->lastEventOnu, step.onu);
        EXPECT_FALSE(step.not_->Next(100ms)) << "outside the other subscriber's filter";
    }
    // A failed create changes nothing and notifies no one.
    ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(35), OnuRecord(35), 1))),
              eOS_RET_OLT_INSTANCE_EXISTS);
    EXPECT_FALSE(high.Next(100ms));
    EXPECT_TRUE(sim.process.WaitForLine("alarm ONU_ALARM_LOW_RX_OPTICAL_POWER cleared onu 1/0/3/15", kDeadline));
}

TEST(SimAlarmTest, ScheduledAlarmsReachSubscribersByFilterUntilTheyUnregister) {
    Sim sim({"--alarm-every", "0.05"});
    ASSERT_NE(sim.port, 0);
    tZqCmAlarmFilterInfo tcaOnly{};
    tcaOnly.alarmFilterType = eZQ_CMAPI_ALARM_FILTER_PM_TCA;
    Subscriber everything(sim.port, tZqCmAlarmFilterInfo{});
    Subscriber thresholds(sim.port, tcaOnly);

    // No ONU configured: loss of signal on the PON link, which the threshold filter does not pass.
    auto first = everything.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->second.alarmType, eZQ_CMAPI_OLT_ALARM_LOS);
    EXPECT_FALSE(thresholds.Next(150ms));

    Client client;
    for (int onu : {4, 8}) {
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(onu), OnuRecord(onu), 1))),
                  eOS_RET_SUCCESS);
    }
    // The ONUs take turns, and sequence numbers grow: once ONU 8 (created last) had its alarm,
    // ONU 4 and ONU 8 alternate.
    std::vector<int> onus;
    uint32_t lastSeqNo = first->second.alarmSeqNo;
    for (size_t sinceEight = 0; sinceEight < 3 && onus.size() < 20;) {
        auto alarm = thresholds.Next();
        ASSERT_TRUE(alarm) << "after " << onus.size() << " alarms";
        EXPECT_EQ(alarm->second.alarmType, eZQ_CMAPI_TCA_ALARM_ONU_GEM_LOST_PKTS);
        EXPECT_GT(alarm->second.alarmSeqNo, lastSeqNo);
        lastSeqNo = alarm->second.alarmSeqNo;
        onus.push_back(alarm->second.alarmResId.portId.onuId);
        sinceEight += (sinceEight > 0 || onus.back() == 8) ? 1 : 0;
    }
    ASSERT_GE(onus.size(), 3u);
    EXPECT_EQ(std::vector<int>(onus.end() - 3, onus.end()), (std::vector<int>{8, 4, 8}));

    Bytes unregister = oltmgr::BuildAlarmRegistration(2, eZQ_CMAPI_ALARM_REG_TYPE_UNREG, tcaOnly);
    ASSERT_EQ(Ret(thresholds.socket.Exchange(sim.port, unregister)), eOS_RET_SUCCESS);
    while (thresholds.Next(200ms)) {
        // alarms already on their way
    }
    EXPECT_FALSE(thresholds.Next(200ms)) << "nothing after unregistering";
}

TEST(SimAlarmTest, ARegistrationReplacesItsOwnEntryAndAFullTableGivesTheOldestsPlaceAway) {
    Sim sim({});
    ASSERT_NE(sim.port, 0);
    std::vector<std::unique_ptr<Subscriber>> table;
    for (size_t i = 0; i < oltmgr::kMaxSubscribers; ++i) {
        table.push_back(std::make_unique<Subscriber>(sim.port, tZqCmAlarmFilterInfo{}));
    }
    // Registering again replaces the entry and makes it the newest: the table is still full, and
    // the oldest is now the first one.
    table[1]->Register(sim.port, tZqCmAlarmFilterInfo{});
    Subscriber late(sim.port, tZqCmAlarmFilterInfo{});
    ASSERT_TRUE(late.registered) << "a full table takes a new subscriber";
    EXPECT_TRUE(sim.process.WaitForLine("alarm subscriber 127.0.0.1:" + std::to_string(table[0]->socket.Port()) +
                                            " gave way to 127.0.0.1:" + std::to_string(late.socket.Port()),
                                        kDeadline));

    Client client;
    ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(3), OnuRecord(3), 1))),
              eOS_RET_SUCCESS);
    EXPECT_TRUE(sim.process.WaitForLine("raised onu 1/0/3/3 seq 1 -> 64 subscribers", kDeadline));
    EXPECT_FALSE(table[0]->Next(200ms)) << "the oldest gave its place away";
    for (Subscriber *kept : {table[1].get(), table[2].get(), table.back().get(), &late}) {
        auto alarm = kept->Next();
        ASSERT_TRUE(alarm);
        EXPECT_EQ(alarm->first, eZQ_CM_MSG_TYPE_ALM);
        auto event = kept->Next();
        ASSERT_TRUE(event);
        EXPECT_EQ(event->first, eZQ_CM_MSG_TYPE_EVT);
    }
    EXPECT_FALSE(table[1]->Next(100ms)) << "registered twice, notified once";
}

// Reads the summaries of ignored datagrams until they account for count datagrams; their text
// and how many lines it took, or nothing at the deadline.
std::optional<std::pair<std::string, size_t>> IgnoredSummaries(SimProcess &process, size_t count) {
    std::string text;
    size_t lines = 0;
    for (size_t seen = 0; seen < count; ++lines) {
        auto line = process.WaitForLine("ignored ", 5s);
        if (!line) {
            return std::nullopt;
        }
        seen += std::stoul(line->substr(line->find("ignored ") + 8));
        text += *line + "\n";
    }
    return std::pair{text, lines};
}

TEST(SimRobustnessTest, IgnoredDatagramsAreSummarisedByReasonAtMostOnceASecond) {
    Sim sim({});
    ASSERT_NE(sim.port, 0);
    Client client;
    Bytes valid = Request(eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, uZqCmKey{}, {}, 7);
    Bytes notAnswered = valid;
    oltmgr::WriteAt<uint32_t>(notAnswered, oltmgr::kMsgTypeAt, eZQ_CM_MSG_TYPE_ALM);
    const Bytes garbage[] = {
        {},
        Bytes(5, 0xFF),
        oltmgr::Resized(valid, oltmgr::kMsgLen - 1),
        oltmgr::Resized(oltmgr::BuildAlarmRegistration(1, eZQ_CMAPI_ALARM_REG_TYPE_REG, {}), 40),
        notAnswered,
        Bytes(oltmgr::kApiMsgLen, 0xA5),
    };
    for (const Bytes &datagram : garbage) {
        client.Send(sim.port, datagram);
    }
    auto summary = IgnoredSummaries(sim.process, std::size(garbage));
    ASSERT_TRUE(summary);
    for (const char *reason : {"shorter than a message header", "1 requests shorter than 1640 bytes",
                               "1 registrations shorter than 80 bytes", "of a message type that is not answered (latest ",
                               "bytes from 127.0.0.1:" }) {
        EXPECT_NE(summary->first.find(reason), std::string::npos) << reason << " in " << summary->first;
    }
    // A flood takes a line for the first datagram and then at most one a second, not one each.
    constexpr size_t kFlood = 1000;
    auto started = SimProcess::Clock::now();
    for (size_t i = 0; i < kFlood; ++i) {
        client.Send(sim.port, Bytes(5, static_cast<uint8_t>(i)));
        if (i % 5 == 4) {
            std::this_thread::sleep_for(1ms); // the receiving socket's buffer keeps up
        }
    }
    auto sent = std::chrono::duration_cast<std::chrono::seconds>(SimProcess::Clock::now() - started).count();
    auto flood = IgnoredSummaries(sim.process, kFlood);
    ASSERT_TRUE(flood) << "every ignored datagram is counted";
    EXPECT_LE(flood->second, static_cast<size_t>(sent) + 3) << flood->first;

    // Oversized requests are read up to their known length and answered.
    for (size_t length : {size_t{3000}, size_t{65507}}) {
        Bytes answer = client.Exchange(sim.port, oltmgr::Resized(valid, length));
        EXPECT_EQ(answer.size(), oltmgr::kMsgLen);
        EXPECT_EQ(Ret(answer), eOS_RET_SUCCESS);
    }
    EXPECT_FALSE(client.Receive(100ms)) << "no answer to garbage";
    EXPECT_EQ(sim.process.Wait(0ms), std::nullopt) << "still running";
}

TEST(SimLifeTest, SigintAndSigtermEndTheProgramWithStatus0) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Sim sim({"--alarm-every", "30"});
        ASSERT_NE(sim.port, 0);
        sim.process.Signal(signal);
        EXPECT_EQ(sim.process.Wait(kExitDeadline), 0);
        EXPECT_TRUE(sim.process.WaitForLine(signal == SIGINT ? "shutting down on SIGINT" : "shutting down on SIGTERM",
                                            kDeadline));
    }
}

TEST(SimLifeTest, QuietKeepsOnlyStartUpShutdownSavesAndErrors) {
    const struct {
        std::vector<std::string> args;
        bool traffic; // request, registration, notification and ignored-datagram lines
    } cases[] = {{{}, true}, {{"--quiet"}, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.traffic);
        Sim sim(c.args);
        ASSERT_NE(sim.port, 0);
        Client client;
        Subscriber subscriber(sim.port, tZqCmAlarmFilterInfo{});
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(2), OnuRecord(2), 1))),
                  eOS_RET_SUCCESS);
        client.Send(sim.port, Bytes(3, 0));
        ASSERT_EQ(Ret(client.Exchange(sim.port, SetSystem(1, true))), eOS_RET_SUCCESS);
        sim.process.Signal(SIGTERM);
        ASSERT_EQ(sim.process.Wait(kExitDeadline), 0);
        while (sim.process.ReadLine(100ms)) {
        }
        std::string log;
        for (const std::string &line : sim.process.Lines()) {
            log += line + "\n";
        }
        for (const char *kept : {"listening on", "db: save asked for", "shutting down on SIGTERM"}) {
            EXPECT_NE(log.find(kept), std::string::npos) << kept << " in " << log;
        }
        for (const char *traffic : {"request tid", "alarm register", "alarm ONU_ALARM", "event ONU_ACTIVATED", "ignored 1 datagram"}) {
            EXPECT_EQ(log.find(traffic) != std::string::npos, c.traffic) << traffic << " in " << log;
        }
    }
}

// Runs a statement on a new or existing SQLite file.
void WithSqlite(const std::string &path, const std::string &sql) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The file's one table as every version of the program has made it.
const std::string kTable = "CREATE TABLE instances(res_id INTEGER NOT NULL, key BLOB NOT NULL, "
                           "record BLOB NOT NULL, PRIMARY KEY (res_id, key)) WITHOUT ROWID; PRAGMA user_version = 1;";

// The text of a one-value query on a file.
std::string QueryText(const std::string &path, const char *sql) {
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    std::string text;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK && sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return text;
}

std::string Hex(const Bytes &bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

// A scratch folder for the database files of one test, and a client to ask the emulator.
class SimDbTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir.path.empty()); }

    ScratchDir dir;
    std::string db = dir.File("store.db");
    Client client;
};

TEST_F(SimDbTest, TheStoreSurvivesRestartsSavedOnDbSaveAndAtSigtermAndIsNoOtherProgramsMeanwhile) {
    {
        Sim sim({"--db", db});
        ASSERT_NE(sim.port, 0);
        for (int onu : {5, 1}) {
            ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(onu), OnuRecord(onu), 1))),
                      eOS_RET_SUCCESS);
        }
        ASSERT_EQ(Ret(client.Exchange(sim.port, SetSystem(300, true))), eOS_RET_SUCCESS);
        EXPECT_TRUE(sim.process.WaitForLine("db: saved 3 instances to " + db, kDeadline));
        tZqCmGponSysConfig config = SystemConfig(client, sim.port);
        EXPECT_EQ(config.dbSave, eOS_BOOL_FALSE) << "the save is done";
        EXPECT_EQ(config.dbSaveStatus, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_SUCCESS);
        // A second program on the same file, also by another name, would save over these saves.
        std::filesystem::create_symlink(db, dir.File("alias.db"));
        for (const std::string &path : {db, dir.File("alias.db")}) {
            SimProcess second({"--listen", "127.0.0.1:0", "--db", path});
            EXPECT_EQ(second.Wait(1s), 1) << path;
            EXPECT_NE(second.Errors().find("oltmgr-sim: database " + path +
                                           " is unusable: the file is in use by another process"),
                      std::string::npos);
        }
        // The save checkpointed: the file alone, without its write-ahead log, holds the instances.
        std::filesystem::copy_file(db, dir.File("checkpointed.db"));
        EXPECT_EQ(QueryText(dir.File("checkpointed.db"), "SELECT count(*) FROM instances"), "3");
        EXPECT_TRUE(sim.process.WaitForLine("db: wrote 1 change to " + db, kDeadline)) << "the save's outcome";
        // Killed: a change written through in a batch is in the file all the same.
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(9), OnuRecord(9), 1))),
                  eOS_RET_SUCCESS);
        EXPECT_TRUE(sim.process.WaitForLine("db: wrote 1 change to " + db, kDeadline));
        sim.process.Signal(SIGKILL);
        ASSERT_TRUE(sim.process.Wait(kExitDeadline));
    }
    {
        Sim sim({"--db", db});
        ASSERT_NE(sim.port, 0) << "the lock ends with the process that held it";
        EXPECT_EQ(WalkOnuIds(client, sim.port), (std::vector<int>{1, 5, 9}));
        Bytes got = client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 6, OnuKey(5), {}, 1));
        EXPECT_EQ(Bytes(got.begin() + oltmgr::kResAt, got.begin() + oltmgr::kRetAt), OnuRecord(5));
        EXPECT_EQ(SystemConfig(client, sim.port).fdbAgingTimer, 300u);
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_DELETE, 6, OnuKey(1), {}, 1))), eOS_RET_SUCCESS);
        sim.process.Signal(SIGTERM);
        EXPECT_EQ(sim.process.Wait(kExitDeadline), 0);
    }
    Sim sim({"--db", db});
    ASSERT_NE(sim.port, 0);
    EXPECT_TRUE(sim.process.WaitForLine("db: loaded 3 instances", kDeadline));
    EXPECT_EQ(WalkOnuIds(client, sim.port), (std::vector<int>{5, 9})) << "saved at SIGTERM";
}

TEST_F(SimDbTest, ABatchTheFileRefusesIsKeptAndWrittenLaterAndASaveMeanwhileReportsFailure) {
    Sim sim({"--db", db});
    ASSERT_NE(sim.port, 0);
    ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(7), OnuRecord(7), 1))),
              eOS_RET_SUCCESS);
    ASSERT_TRUE(sim.process.WaitForLine("db: wrote 1 change", kDeadline));

    // Another connection holds the file's write lock: batches and saves cannot commit meanwhile.
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(8), OnuRecord(8), 1))),
              eOS_RET_SUCCESS);
    EXPECT_TRUE(sim.process.WaitForLine("db: cannot write to " + db, 2 * kDeadline));
    ASSERT_EQ(Ret(client.Exchange(sim.port, SetSystem(1, true))), eOS_RET_SUCCESS);
    EXPECT_EQ(SystemConfig(client, sim.port).dbSaveStatus, eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS);
    EXPECT_TRUE(sim.process.WaitForLine("db: cannot save to " + db, 3 * kDeadline));
    EXPECT_EQ(SystemConfig(client, sim.port).dbSaveStatus, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE);

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(sim.process.WaitForLine("db: writing to " + db + " again", 3 * kDeadline));
    sim.process.Signal(SIGKILL);
    ASSERT_TRUE(sim.process.Wait(kExitDeadline));
    Sim restarted({"--db", db});
    EXPECT_EQ(WalkOnuIds(client, restarted.port), (std::vector<int>{7, 8})) << "the refused batch came later";
}

TEST_F(SimDbTest, AFileOfTheEarlierSettingsLoadsAndIsConvertedOnce) {
    // 4 KiB pages, a rollback journal and no vacuum, as the whole-file saves left it.
    WithSqlite(db, "PRAGMA page_size = 4096;" + kTable + "INSERT INTO instances VALUES (6, x'" +
                       Hex(BytesOf(OnuKey(3))) + "', x'" + Hex(OnuRecord(3)) + "');");
    ASSERT_EQ(QueryText(db, "PRAGMA page_size"), "4096");
    {
        Sim sim({"--db", db});
        ASSERT_NE(sim.port, 0);
        EXPECT_TRUE(sim.process.WaitForLine("db: loaded 1 instances", kDeadline));
        EXPECT_EQ(WalkOnuIds(client, sim.port), (std::vector<int>{3}));
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(4), OnuRecord(4), 1))),
                  eOS_RET_SUCCESS);
        sim.process.Signal(SIGTERM);
        EXPECT_EQ(sim.process.Wait(kExitDeadline), 0);
    }
    EXPECT_EQ(QueryText(db, "PRAGMA page_size"), "8192");
    EXPECT_EQ(QueryText(db, "PRAGMA auto_vacuum"), "2");
    EXPECT_EQ(QueryText(db, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(QueryText(db, "SELECT count(*) FROM instances"), "2");
    Sim sim({"--db", db});
    EXPECT_TRUE(sim.process.WaitForLine("db: loaded 2 instances", kDeadline));
    EXPECT_EQ(WalkOnuIds(client, sim.port), (std::vector<int>{3, 4}));
}

TEST_F(SimDbTest, DamagedOrUnreadableDbFilesEndWithStatus1AndTheReason) {
    const std::string &table = kTable;
    const std::string key = "zeroblob(52)";
    const struct {
        const char *name;
        std::function<void(const std::string &)> make;
        const char *reason;
    } cases[] = {
        {"not a database", [](const std::string &p) { std::ofstream(p) << std::string(4096, 'x'); }, "not a database"},
        {"a directory", [](const std::string &p) { std::filesystem::create_directory(p); }, "unable to open"},
        {"short key",
         [&](const std::string &p) { WithSqlite(p, table + "INSERT INTO instances VALUES (6, zeroblob(5), zeroblob(1072));"); },
         "the key is not 52 bytes"},
        {"short record",
         [&](const std::string &p) { WithSqlite(p, table + "INSERT INTO instances VALUES (6, " + key + ", zeroblob(10));"); },
         "the record is 10 bytes, not 1072"},
        {"huge record",
         [&](const std::string &p) { WithSqlite(p, table + "INSERT INTO instances VALUES (6, " + key + ", zeroblob(100000));"); },
         "too big"},
        {"resource id out of range",
         [&](const std::string &p) { WithSqlite(p, table + "INSERT INTO instances VALUES (-1, " + key + ", zeroblob(1072));"); },
         "not a 32-bit number"},
        {"alias of the system configuration",
         [&](const std::string &p) { WithSqlite(p, table + "INSERT INTO instances VALUES (80, " + key + ", zeroblob(1072));"); },
         "do not make a store"},
        {"other layout", [](const std::string &p) { WithSqlite(p, "CREATE TABLE t(x); PRAGMA user_version = 7;"); },
         "layout version 7"},
        {"missing table", [](const std::string &p) { WithSqlite(p, "CREATE TABLE t(x); PRAGMA user_version = 1;"); },
         "no such table"},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File(("db" + std::to_string(++n)).c_str());
        c.make(path);
        SimProcess sim({"--listen", "127.0.0.1:0", "--db", path});
        EXPECT_EQ(sim.Wait(kExitDeadline), 1);
        std::string errors = sim.Errors();
        EXPECT_NE(errors.find("oltmgr-sim: database " + path + " is unusable"), std::string::npos) << errors;
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
        EXPECT_NE(QueryText(path, "PRAGMA journal_mode"), "wal") << "a refused file is left as it was";
    }
}

} // namespace

// ---- scale, life and faults ------------------------------------------------------------------

// A serial-number get of an ONU configuration carrying serial.
Bytes BySerial(const std::string &serial) {
    Bytes record(sizeof(uZqCmRes), 0);
    std::copy(serial.begin(), serial.end(), record.begin() + oltmgr::kSerialAt);
    return Request(eZQ_CM_OPER_TYPE_GET_CFG_BY_SERNUMBER, 6, uZqCmKey{}, record, 9);
}

uint16_t OnuCount(Client &client, uint16_t port) {
    Bytes answer = client.Exchange(port, Request(eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM, 6, uZqCmKey{}, {}, 8));
    return ReadAt<uint16_t>(answer, oltmgr::kInstanceNumAt);
}

// The alarm types of the storm, in the order it raises them.
constexpr eZqCmAlarmType kStormTypes[] = {
    eZQ_CMAPI_ONU_ALARM_DYING_GASP,           eZQ_CMAPI_ONU_ALARM_SF,
    eZQ_CMAPI_ONU_ALARM_SD,                   eZQ_CMAPI_ONU_ALARM_HIGH_RX_OPTICAL_POWER,
    eZQ_CMAPI_ONU_ALARM_TEMPERATURE_YELLOW,   eZQ_CMAPI_TCA_ALARM_ONU_GEM_LOST_PKTS,
};

TEST(SimScaleTest, PonsTimesOnusConfigurationsAreFoundByKeyWalkAndSerialNumber) {
    struct Case {
        std::vector<std::string> args;
        uint16_t count;
        std::string serial; // a serial number the fill gave, and the key it belongs to
        int link, onu;
    };
    const Case cases[] = {
        {{}, 0, "", 0, 0},
        {{"--onus", "3"}, 3, "SIMU00010003", 1, 3},
        {{"--pons", "3", "--onus", "5"}, 15, "SIMU00030005", 3, 5},
        {{"--pons", "16", "--onus", "256"}, 4096, "SIMU00100100", 16, 256},
    };
    Client client;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.count);
        Sim sim(c.args);
        ASSERT_NE(sim.port, 0);
        EXPECT_EQ(OnuCount(client, sim.port), c.count);
        EXPECT_EQ(Ret(client.Exchange(sim.port, BySerial("SIMU00110001"))), eOS_RET_OLT_NO_INSTANCE_EXISTS)
            << "PON 17 was never filled";
        if (c.count == 0) {
            continue;
        }
        Bytes found = client.Exchange(sim.port, BySerial(c.serial));
        ASSERT_EQ(Ret(found), eOS_RET_SUCCESS);
        auto key = ReadAt<uZqCmKey>(found, oltmgr::kKeyAt).onuKey;
        EXPECT_EQ(std::tuple(key.slotId, key.deviceId, key.linkId, key.onuId), std::tuple(1, 0, c.link, c.onu));
        Bytes got = client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 6, OnuKey(c.onu, c.link), {}, 1));
        EXPECT_EQ(Ret(got), eOS_RET_SUCCESS) << "the fill's key is the key a host builds";
    }
}

TEST(SimScaleTest, AFillOverADatabaseKeepsTheSavedOnusAndAddsTheRest) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    std::string db = dir.File("store.db");
    Client client;
    {
        Sim sim({"--db", db});
        ASSERT_NE(sim.port, 0);
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(2, 1), OnuRecord(7), 1))),
                  eOS_RET_SUCCESS);
        sim.process.Signal(SIGTERM);
        ASSERT_EQ(sim.process.Wait(kExitDeadline), 0);
    }
    {
        Sim sim({"--db", db, "--onus", "3"});
        ASSERT_NE(sim.port, 0);
        EXPECT_EQ(OnuCount(client, sim.port), 3);
        Bytes got = client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 6, OnuKey(2, 1), {}, 1));
        EXPECT_EQ(Bytes(got.begin() + oltmgr::kResAt, got.begin() + oltmgr::kRetAt), OnuRecord(7));
        sim.process.Signal(SIGTERM);
        ASSERT_EQ(sim.process.Wait(kExitDeadline), 0);
    }
    // The ONUs the fill added went into the file too: a start without the fill still has them.
    Sim sim({"--db", db});
    ASSERT_NE(sim.port, 0);
    EXPECT_EQ(OnuCount(client, sim.port), 3);
    Bytes got = client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 6, OnuKey(2, 1), {}, 1));
    EXPECT_EQ(Bytes(got.begin() + oltmgr::kResAt, got.begin() + oltmgr::kRetAt), OnuRecord(7));
}

TEST(SimLifeTest, ChurnTakesOnusDownAndBringsThemBackInTurnWithAlarmAndEvent) {
    Sim sim({"--pons", "2", "--onus", "1", "--churn", "1200"}); // a step every 25 ms
    ASSERT_NE(sim.port, 0);
    Subscriber all(sim.port, tZqCmAlarmFilterInfo{});
    // The first change seen may be either half of a cycle; from a going-down on, each ONU goes
    // down and comes back before the next one, the two ONUs in turn.
    std::optional<std::pair<uint32_t, tZqCmAlarmInfo>> alarm;
    while ((alarm = all.Next()) && (alarm->first != eZQ_CM_MSG_TYPE_ALM ||
                                    alarm->second.alarmCondition != eZQ_CMAPI_ALARM_CONDITION_ALARM)) {
    }
    ASSERT_TRUE(alarm);
    int link = alarm->second.alarmResId.portId.linkId;
    for (int change = 0; change < 6; ++change) {
        SCOPED_TRACE(change);
        bool down = change % 2 == 0;
        if (change > 0) {
            alarm = all.Next();
            ASSERT_TRUE(alarm);
        }
        ASSERT_EQ(alarm->first, eZQ_CM_MSG_TYPE_ALM);
        EXPECT_EQ(alarm->second.alarmType, eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER);
        EXPECT_EQ(alarm->second.alarmCondition,
                  down ? eZQ_CMAPI_ALARM_CONDITION_ALARM : eZQ_CMAPI_ALARM_CONDITION_CLEAR);
        EXPECT_EQ(alarm->second.alarmResId.portId.linkId, link);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(alarm->second.alarmAdditionInfo.onuSerialNum)),
                  "SIMU000" + std::to_string(link) + "0001");
        auto event = all.Next();
        ASSERT_TRUE(event);
        EXPECT_EQ(event->first, eZQ_CM_MSG_TYPE_EVT);
        EXPECT_EQ(all.lastEvent, down ? eZQ_CMAPI_EVENT_ONU_DEACTIVATED : eZQ_CMAPI_EVENT_ONU_ACTIVATED);
        EXPECT_EQ(all.lastEventOnu, 1);
        if (!down) {
            link = 3 - link; // the other PON's ONU is next
        }
    }
    Client client;
    EXPECT_EQ(OnuCount(client, sim.port), 2) << "an ONU that goes down keeps its configuration";
}

TEST(SimLifeTest, TheAlarmStormIsPacedByTheClockOverTheOnusWithTheTypesInTurn) {
    // Slow enough that the subscriber's socket buffer rides out a test process that is not
    // scheduled for a while (75 alarms or so are 150 ms).
    Sim sim({"--onus", "4", "--alarm-rate", "500"});
    ASSERT_NE(sim.port, 0);
    Subscriber all(sim.port, tZqCmAlarmFilterInfo{});
    std::vector<tZqCmAlarmInfo> alarms;
    while (alarms.size() < 200) {
        auto alarm = all.Next();
        ASSERT_TRUE(alarm);
        alarms.push_back(alarm->second);
    }
    constexpr size_t kTypes = std::size(kStormTypes);
    for (size_t i = 1; i < alarms.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(alarms[i].alarmSeqNo, alarms[i - 1].alarmSeqNo + 1) << "none lost or reordered on loopback";
        auto type = [&](size_t at) {
            return std::find(std::begin(kStormTypes), std::end(kStormTypes),
                             alarms[at].alarmType) - std::begin(kStormTypes);
        };
        ASSERT_LT(static_cast<size_t>(type(i)), kTypes);
        EXPECT_EQ(static_cast<size_t>(type(i)), (type(i - 1) + 1) % kTypes);
        EXPECT_EQ(alarms[i].alarmResId.portId.onuId % 4, (alarms[i - 1].alarmResId.portId.onuId + 1) % 4);
    }
    // Each summary line covers about a second: the clock, not the ticks, decides what is sent.
    for (int line = 0; line < 2; ++line) {
        auto summary = sim.process.WaitForLine("storm: ", 3s);
        ASSERT_TRUE(summary);
        uint64_t count = std::stoull(summary->substr(7));
        EXPECT_GE(count, 425u) << *summary;
        EXPECT_LE(count, 575u) << *summary;
    }
    sim.process.Signal(SIGTERM);
    EXPECT_TRUE(sim.process.WaitForLine("storm: in all ", kDeadline));
}

TEST(SimFaultTest, DelayedAnswersLeaveLateInTheOrderDueWhileOthersAreServedMeanwhile) {
    struct Case {
        std::string delay;
        std::chrono::milliseconds least, most; // of one answer after its request, on top of loopback
    };
    const Case cases[] = {{"300", 300ms, 300ms}, {"100:300", 100ms, 400ms}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.delay);
        Sim sim({"--delay", c.delay});
        ASSERT_NE(sim.port, 0);
        Client client;
        constexpr int kRequests = 4;
        auto start = SimProcess::Clock::now();
        for (int i = 1; i <= kRequests; ++i) {
            client.Send(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 1, SystemKey(), {}, static_cast<uint16_t>(i)));
        }
        for (int i = 0; i < kRequests; ++i) {
            auto answer = client.Receive(2s);
            ASSERT_TRUE(answer);
            auto after = SimProcess::Clock::now() - start;
            EXPECT_GE(after, c.least);
            // Four answers together take the longest delay, not four: each is served meanwhile.
            EXPECT_LT(after, c.most + 250ms);
            if (c.least == c.most) {
                EXPECT_EQ(ReadAt<uint16_t>(answer->bytes, oltmgr::kTransactionIdAt), i + 1) << "equal delays keep order";
            }
        }
        EXPECT_EQ(FaultTotal(sim.process, "delayed"), 4u);
    }
}

TEST(SimFaultTest, DroppedAndDuplicatedAnswersAreCountedInTheSummaryLines) {
    struct Case {
        std::vector<std::string> args;
        int answersPerRequest;
        std::string what;
        uint64_t count;
    };
    const Case cases[] = {
        {{"--drop", "100"}, 0, "dropped", 3},
        {{"--duplicate", "100"}, 2, "sent twice", 3},
        {{"--drop", "0", "--duplicate", "0"}, 1, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answersPerRequest);
        Sim sim(c.args);
        ASSERT_NE(sim.port, 0);
        Client client;
        for (uint16_t tid = 1; tid <= 3; ++tid) {
            client.Send(sim.port, Request(eZQ_CM_OPER_TYPE_GET, 1, SystemKey(), {}, tid));
            for (int i = 0; i < c.answersPerRequest; ++i) {
                auto answer = client.Receive();
                ASSERT_TRUE(answer);
                EXPECT_EQ(ReadAt<uint16_t>(answer->bytes, oltmgr::kTransactionIdAt), tid);
            }
            EXPECT_FALSE(client.Receive(150ms)) << "one answer too many";
        }
        EXPECT_EQ(FaultTotal(sim.process, c.what), c.count);
    }
}

TEST(SimRestartTest, ARestartGoesThroughStartUpForgetsSubscribersAndKeepsTheStoreOnlyWithADb) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    for (bool withDb : {false, true}) {
        SCOPED_TRACE(withDb);
        std::vector<std::string> args = {"--onus", "2", "--restart-every", "1.5", "--init-delay", "0.4"};
        if (withDb) {
            args.insert(args.end(), {"--db", dir.File("restart.db")});
        }
        Sim sim(args);
        ASSERT_NE(sim.port, 0);
        Client client;
        while (InitStatus(client, sim.port) != eZQ_CM_OLT_STATUS_READY) {
            std::this_thread::sleep_for(20ms);
        }
        Subscriber all(sim.port, tZqCmAlarmFilterInfo{});
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(9), OnuRecord(9), 1))),
                  eOS_RET_SUCCESS);
        ASSERT_TRUE(all.Next()) << "subscribed before the restart";
        ASSERT_TRUE(all.Next());
        auto restart = sim.process.WaitForLine("restart: ", 3s);
        ASSERT_TRUE(restart);
        EXPECT_NE(restart->find("1 subscriber forgotten"), std::string::npos) << *restart;
        std::vector<uint32_t> seen;
        for (auto until = SimProcess::Clock::now() + 3s; SimProcess::Clock::now() < until;) {
            uint32_t status = InitStatus(client, sim.port);
            if (seen.empty() || seen.back() != status) {
                seen.push_back(status);
            }
            if (status == eZQ_CM_OLT_STATUS_READY) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(seen, (std::vector<uint32_t>{eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY,
                                                eZQ_CM_OLT_STATUS_READY}));
        EXPECT_EQ(OnuCount(client, sim.port), withDb ? 3 : 2) << "the created ONU stays with a database only";
        ASSERT_EQ(Ret(client.Exchange(sim.port, Request(eZQ_CM_OPER_TYPE_CREATE, 6, OnuKey(11), OnuRecord(11), 1))),
                  eOS_RET_SUCCESS);
        EXPECT_FALSE(all.Next(200ms)) << "a forgotten subscriber hears nothing";
    }
}
