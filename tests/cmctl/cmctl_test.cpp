// cmctl against a loopback OLT manager: every command as a person or a script runs it, with its
// output, its exit status and the requests that reached the manager.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cmctl_run.h"
#include "oltmgr_peer.h"

namespace {

using cmtest::Json;
using cmtest::Result;

class CmctlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(manager_.Ok());
        // Alarm times are shown as local time: the same in every test run, and no manager from the
        // environment of whoever runs the tests.
        setenv("TZ", "UTC", 1);
        unsetenv("CMCTL_MGR");
    }

    std::vector<std::string> Args(std::vector<std::string> args) {
        args.insert(args.begin(), {"--mgr", "127.0.0.1:" + std::to_string(manager_.Port())});
        return args;
    }
    Result Cmctl(std::vector<std::string> args) { return cmtest::Run(Args(std::move(args))); }

    // The last request of the given operation that reached the manager.
    oltmgr::Bytes LastRequest(uint32_t operType) {
        oltmgr::Bytes last;
        for (const oltmgr::Datagram &d : manager_.Requests())
            if (oltmgr::ReadAt<uint32_t>(d.bytes, oltmgr::kOperTypeAt) == operType) last = d.bytes;
        return last;
    }

    tZqCmAlarmInfo DyingGasp(uint16_t onuId, uint32_t sequence) {
        tZqCmAlarmInfo alarm;
        std::memset(&alarm, 0, sizeof alarm);
        alarm.alarmType = eZQ_CMAPI_ONU_ALARM_DYING_GASP;
        alarm.alarmSeverity = eZQ_CMAPI_ALARM_SEVERITY_CRITICAL;
        alarm.alarmCondition = eZQ_CMAPI_ALARM_CONDITION_ALARM;
        alarm.alarmResId.onuId.slotId = 1;
        alarm.alarmResId.onuId.linkId = 3;
        alarm.alarmResId.onuId.onuId = onuId;
        alarm.alarmSeqNo = sequence;
        return alarm;
    }

    bool WaitForSubscribers(size_t count) {
        for (int look = 0; look < 500; ++look) {
            if (manager_.Subscribers() == count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Sends one message to every subscriber's alarm socket.
    void SendToSubscribers(const oltmgr::Bytes &message) {
        for (const oltmgr::Subscriber &subscriber : manager_.GetStore().Subscribers())
            manager_.SendTo(subscriber.address, message.data(), message.size());
    }

    oltmgr::Peer manager_;
};

// Lines of a run's standard output.
std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    for (size_t at = 0, next; (next = text.find('\n', at)) != std::string::npos; at = next + 1)
        lines.push_back(text.substr(at, next - at));
    return lines;
}

TEST_F(CmctlTest, StatusTellsNotReadyFromReadyByExitStatus) {
    manager_.GetStore().SetInitStatusSequence({eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY,
                                               eZQ_CM_OLT_STATUS_READY});
    Result notInit = Cmctl({"status"});
    EXPECT_EQ(notInit.status, 4);
    EXPECT_EQ(notInit.out, "OLT manager 127.0.0.1:" + std::to_string(manager_.Port()) + ": NOT_INIT (1)\n");
    Result waited = Cmctl({"--json", "status", "--wait", "5"});
    EXPECT_EQ(waited.status, 0);
    auto json = Json::Object(waited.out);
    ASSERT_TRUE(json) << waited.out;
    EXPECT_EQ((*json)["ready"], "true");
    EXPECT_EQ((*json)["initStatus"], R"({"value":3,"name":"READY"})");
    // The poll is the library's own: resource 80 with the system key and the init-status mask.
    oltmgr::Bytes poll = LastRequest(eZQ_CM_OPER_TYPE_GET);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(poll, oltmgr::kResIdAt), 80u);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(poll, oltmgr::kKeyAt), 1u);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(poll, oltmgr::kResAt), fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS);
}

TEST_F(CmctlTest, OnuConfigurationsLiveThroughCreateGetWalkCountSetDelete) {
    EXPECT_EQ(Cmctl({"create", "EQPT_ONU_CONFIG", "--key", "onu=1/1/3/18", "--record", "aa:bb"}).out,
              "created EQPT_ONU_CONFIG onu=1/1/3/18\n");
    EXPECT_EQ(Cmctl({"create", "eqpt_onu_config", "--key", "onu=1/1/3/17", "--record", "0x001122"}).status, 0);
    EXPECT_EQ(Cmctl({"get", "6", "--key", "onu=1/1/3/17"}).out,
              "EQPT_ONU_CONFIG onu=1/1/3/17\n  0000: 00 11 22\n  (zero from 0x0010 to the end, 1072 bytes)\n");
    Result walk = Cmctl({"walk", "EQPT_ONU_CONFIG"});
    EXPECT_EQ(walk.status, 0);
    EXPECT_EQ(walk.out,
              "EQPT_ONU_CONFIG onu=1/1/3/17\n  0000: 00 11 22\n  (zero from 0x0010 to the end, 1072 bytes)\n"
              "EQPT_ONU_CONFIG onu=1/1/3/18\n  0000: aa bb\n  (zero from 0x0010 to the end, 1072 bytes)\n"
              "2 instances\n");
    EXPECT_EQ(Cmctl({"count", "EQPT_ONU_CONFIG"}).out, "2\n");
    EXPECT_EQ(Cmctl({"set", "6", "--key", "onu=1/1/3/17", "--record", "ff"}).out,
              "set EQPT_ONU_CONFIG onu=1/1/3/17\n");
    EXPECT_EQ(Cmctl({"get", "6", "--key", "onu=1/1/3/17"}).out,
              "EQPT_ONU_CONFIG onu=1/1/3/17\n  0000: ff\n  (zero from 0x0010 to the end, 1072 bytes)\n");
    EXPECT_EQ(Cmctl({"delete", "6", "--key", "onu=1/1/3/18"}).out, "deleted EQPT_ONU_CONFIG onu=1/1/3/18\n");
    EXPECT_EQ(Cmctl({"count", "6"}).out, "1\n");
    EXPECT_EQ(Cmctl({"walk", "6", "--limit", "1"}).out.find("1 instance\n") != std::string::npos, true);
}

TEST_F(CmctlTest, RefusalsNameTheManagersRetAndExitOne) {
    ASSERT_EQ(Cmctl({"create", "6", "--key", "onu=1/1/3/17"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string ret;
    } cases[] = {
        {{"create", "6", "--key", "onu=1/1/3/17"}, "eOS_RET_OLT_INSTANCE_EXISTS (23)"},
        {{"get", "6", "--key", "onu=1/1/3/99"}, "eOS_RET_OLT_NO_INSTANCE_EXISTS (24)"},
        {{"delete", "6", "--key", "onu=1/1/3/99"}, "eOS_RET_OLT_NO_INSTANCE_EXISTS (24)"},
        {{"set", "6", "--key", "onu=1/1/3/99", "--record", "01"}, "eOS_RET_OLT_NO_INSTANCE_EXISTS (24)"},
        {{"delete", "EQPT_GPON_SYS_CONFIG"}, "eOS_RET_OLT_INVALID_OPER (22)"},
    };
    for (const Case &c : cases) {
        Result r = Cmctl(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.out, "") << c.args[0];
        EXPECT_NE(r.err.find("the OLT manager refused: " + c.ret), std::string::npos) << r.err;
    }
    Result json = Cmctl({"--json", "create", "6", "--key", "onu=1/1/3/17"});
    EXPECT_EQ(json.status, 1);
    auto fields = Json::Object(json.out);
    ASSERT_TRUE(fields) << json.out;
    EXPECT_EQ((*fields)["ok"], "false");
    EXPECT_EQ((*fields)["ret"], R"({"value":23,"name":"eOS_RET_OLT_INSTANCE_EXISTS"})");
}

TEST_F(CmctlTest, WalkStopsWhenTheManagerAnswersTheSameKeyAgain) {
    ASSERT_EQ(Cmctl({"create", "6", "--key", "onu=1/1/3/17"}).status, 0);
    // A next that echoes the key it was given would loop for ever.
    manager_.SetResponder([](const oltmgr::Datagram &request, oltmgr::Store &store) {
        if (oltmgr::ReadAt<uint32_t>(request.bytes, oltmgr::kOperTypeAt) != eZQ_CM_OPER_TYPE_GETNEXT)
            return oltmgr::DefaultReplies(request, store);
        return std::vector<oltmgr::Reply>{
            {oltmgr::EchoResponse(request.bytes.data(), request.bytes.size(), eOS_RET_SUCCESS)}};
    });
    Result r = Cmctl({"walk", "6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("answered the same key twice"), std::string::npos) << r.err;
}

TEST_F(CmctlTest, KeysTravelFieldByFieldWithZerosAround) {
    struct Case {
        std::string key;
        std::vector<uint8_t> bytes; // the key's first bytes; the rest of the 52 are zero
    } cases[] = {
        {"onu=1/2/3/258", {1, 2, 3, 0, 2, 1}},
        {"port=1/0/3/17/4", {1, 0, 3, 0, 17, 0, 4, 0}},
        {"link=1/1/7", {1, 1, 7}},
        {"profile=5", {5, 0, 0, 0}},
        {"profile=5/0x100", {5, 0, 0, 0, 0, 1, 0, 0}},
        {"type=1", {1}},
        {"hex:de:ad-be.ef", {0xde, 0xad, 0xbe, 0xef}},
    };
    for (const Case &c : cases) {
        manager_.ClearRequests();
        Cmctl({"delete", "6", "--key", c.key});
        oltmgr::Bytes request = LastRequest(eZQ_CM_OPER_TYPE_DELETE);
        ASSERT_EQ(request.size(), oltmgr::kMsgLen) << c.key;
        std::vector<uint8_t> key(request.begin() + oltmgr::kKeyAt,
                                 request.begin() + oltmgr::kKeyAt + oltmgr::kKeyLen);
        std::vector<uint8_t> expected = c.bytes;
        expected.resize(oltmgr::kKeyLen, 0);
        EXPECT_EQ(key, expected) << c.key;
    }
}

TEST_F(CmctlTest, SystemConfigurationFieldsAreSetByNameAndMergedByMask) {
    ASSERT_EQ(Cmctl({"set", "EQPT_GPON_SYS_CONFIG", "fdbAgingTimer=300", "autoUpgradeServerAddr=tftp://a\"b"}).status, 0);
    ASSERT_EQ(Cmctl({"set", "EQPT_GPON_SYS_CONFIG", "--record", "dbSave=true", "systemMode=XGPON"}).status, 0);
    // The second set named only its two fields: the manager kept the first set's.
    oltmgr::Bytes set = LastRequest(eZQ_CM_OPER_TYPE_SET);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(set, oltmgr::kResAt), 0x40u | 0x800000u);
    Result got = Cmctl({"--json", "get", "EQPT_GPON_SYS_CONFIG"});
    ASSERT_EQ(got.status, 0) << got.err;
    auto fields = Json::Object(got.out);
    ASSERT_TRUE(fields) << got.out;
    std::string record = (*fields)["record"];
    for (const char *expected : {R"("fdbAgingTimer":300)", R"("dbSave":{"value":1,"name":"TRUE"})",
                                 R"("systemMode":{"value":2,"name":"XGPON"})", R"("autoUpgradeServerAddr":"tftp://a\"b")",
                                 R"("oltInitStatus":{"value":3,"name":"READY"})"})
        EXPECT_NE(record.find(expected), std::string::npos) << expected << " in " << record;
    Result text = Cmctl({"get", "1", "--mask", "fdbAgingTimer"});
    EXPECT_NE(text.out.find("  fdbAgingTimer: 300\n"), std::string::npos) << text.out;
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(LastRequest(eZQ_CM_OPER_TYPE_GET), oltmgr::kResAt), 1u);
}

TEST_F(CmctlTest, ExtendedRecordTravelsBehindTheMessageAndIsShownByField) {
    ASSERT_EQ(Cmctl({"create", "TOD_REQ_MSG", "--key", "link=1/1/3", "linkKey=1/1/3", "syncPeriod=60",
                     "enable=TRUE", "onuTodEnableList.todOnuList=80"}).status, 0);
    oltmgr::Bytes create = LastRequest(eZQ_CM_OPER_TYPE_CREATE);
    ASSERT_EQ(create.size(), oltmgr::kApiMsgLen);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(create, oltmgr::kExtOffset), 0x1u | 0x2u | 0x4u | 0x10u);
    EXPECT_EQ(oltmgr::ReadAt<uint32_t>(create, oltmgr::kExtOffset + 12), 60u);
    Result got = Cmctl({"get", "104", "--key", "link=1/1/3"});
    EXPECT_EQ(got.status, 0) << got.err;
    for (const char *line : {"TOD_REQ_MSG link=1/1/3\n", "  linkKey: 1/1/3\n", "  enable: TRUE (1)\n",
                             "  syncPeriod: 60\n", "  onuTodEnableList.todOnuList: 80\n"})
        EXPECT_NE(got.out.find(line), std::string::npos) << got.out;
}

TEST_F(CmctlTest, JsonOutputIsOneObjectPerResultAndNothingElse) {
    ASSERT_EQ(Cmctl({"create", "6", "--key", "onu=1/1/3/17", "--record", "01"}).status, 0);
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"status"}, {"get", "6", "--key", "onu=1/1/3/17"}, {"walk", "6"}, {"count", "6"},
             {"set", "6", "--key", "onu=1/1/3/17", "--record", "02"}, {"delete", "6", "--key", "onu=1/1/3/17"}}) {
        args.insert(args.begin(), {"--json", "--verbose"});
        Result r = Cmctl(args);
        EXPECT_EQ(r.status, 0) << args[2] << r.err;
        ASSERT_FALSE(r.out.empty()) << args[2];
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
        auto fields = Json::Object(r.out);
        ASSERT_TRUE(fields) << r.out;
        EXPECT_EQ((*fields)["ok"], "true") << r.out;
        EXPECT_NE(r.err.find("Alarm Rx task successfully started."), std::string::npos) << "--verbose: " << r.err;
    }
    Result walk = Cmctl({"--json", "walk", "6"});
    EXPECT_EQ((*Json::Object(walk.out))["count"], "0");
}

TEST_F(CmctlTest, AlarmsArePrintedAsTheyArriveAndTheSubscriptionEnds) {
    cmtest::Child child(Args({"alarms", "--count", "1", "--wait", "20"}));
    ASSERT_TRUE(WaitForSubscribers(1));
    EXPECT_EQ(manager_.GetStore().Subscribers()[0].filter.alarmFilterType, eZQ_CMAPI_ALARM_FILTER_NONE);
    // The registration names the alarm socket it leaves from, also when the port was not given.
    size_t registrations = 0;
    for (const oltmgr::Datagram &d : manager_.Requests()) {
        if (oltmgr::ReadAt<uint32_t>(d.bytes, oltmgr::kMsgTypeAt) != eZQ_CM_MSG_TYPE_ALM_REG) continue;
        ++registrations;
        EXPECT_EQ(oltmgr::ReadAt<uint16_t>(d.bytes, offsetof(tZqCmAlarmRegInfo, port)), ntohs(d.from.sin_port));
    }
    EXPECT_EQ(registrations, 1u);
    tZqCmAlarmInfo alarm = DyingGasp(17, 7);
    alarm.alarmOccurrenceTime = {0, 1250};
    EXPECT_EQ(manager_.SendAlarm(alarm), 1u);
    Result r = child.Finish();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ALARM type=108 ONU_ALARM_DYING_GASP (ONU) severity=CRITICAL condition=ALARM "
                     "resource=1/0/3/17 seq=7 time=1250 (1970-01-01 00:00:01.250)\n");
    EXPECT_EQ(manager_.Subscribers(), 0u);
}

TEST_F(CmctlTest, AlarmFilterReachesTheManagerAndFollowEndsOnTerm) {
    cmtest::Child child(Args({"--json", "alarms", "--follow", "--onu", "5-9", "--link", "3"}));
    ASSERT_TRUE(WaitForSubscribers(1));
    tZqCmAlarmFilterInfo filter = manager_.GetStore().Subscribers()[0].filter;
    EXPECT_EQ(filter.alarmFilterType, eZQ_CMAPI_ALARM_FILTER_ONU);
    EXPECT_EQ(filter.onuIdMin, 5u);
    EXPECT_EQ(filter.onuIdMax, 9u);
    EXPECT_EQ(filter.linkIdMin, 3u);
    EXPECT_EQ(filter.slotIdMax, UINT32_MAX);
    EXPECT_EQ(manager_.SendAlarm(DyingGasp(17, 1)), 0u);
    EXPECT_EQ(manager_.SendAlarm(DyingGasp(6, 2)), 1u);
    EXPECT_EQ(manager_.SendAlarm(DyingGasp(7, 3)), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    child.Signal(SIGTERM);
    Result r = child.Finish();
    EXPECT_EQ(r.status, 0) << r.err;
    size_t lines = 0;
    for (size_t at = 0, next; (next = r.out.find('\n', at)) != std::string::npos; at = next + 1, ++lines) {
        auto fields = Json::Object(r.out.substr(at, next - at));
        ASSERT_TRUE(fields) << r.out;
        EXPECT_EQ((*fields)["severity"], R"({"value":5,"name":"CRITICAL"})");
        EXPECT_EQ((*fields)["seqNo"], std::to_string(lines + 2));
    }
    EXPECT_EQ(lines, 2u) << r.out;
    EXPECT_EQ(manager_.Subscribers(), 0u);
}

TEST_F(CmctlTest, BadArgumentsExitTwoWithAHintAndSendNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"get"},
        {"get", "NO_SUCH_RESOURCE"},
        {"get", "6", "--key", "onu=1/1/3"},
        {"get", "6", "--key", "onu=1/1/3/65536"},
        {"get", "6", "--key", "link=256/1/1"},
        {"get", "6", "--key", "hex:" + std::string(106, '0')},
        {"get", "6", "--key", "hex:abc"},
        {"get", "6", "--mask", "fdbAgingTimer"},
        {"get", "1", "--mask", "noSuchField"},
        {"get", "6", "--bogus"},
        {"get", "6", "--key"},
        {"get", "6", "extra"},
        {"--timeout", "0", "status"},
        {"--timeout", "abc", "status"},
        {"--port", "70000", "status"},
        {"--port", "5000", "--alarm-port", "5000", "status"},
        {"status", "--wait", "-1"},
        {"create", "6", "--key", "onu=1/1/3/1", "--record", "0g"},
        {"create", "6", "--key", "onu=1/1/3/1", "--record", std::string(2146, 'a')},
        {"create", "6", "--key", "onu=1/1/3/1", "fdbAgingTimer=3"},
        {"create", "1", "fdbAgingTimer=4294967296"},
        {"create", "1", "dbSave=MAYBE"},
        {"create", "1", "hbUserName=" + std::string(30, 'u')},
        {"create", "104", "linkKey=1/1"},
        {"create", "6", "--key", "onu=1/1/3/1", "--record", "@/nonexistent/record"},
        {"set", "6", "--key", "onu=1/1/3/1"},
        {"delete", "6", "--key", "onu=1/1/3/1", "--record", "00"},
        {"alarms", "--onu", "9-5"},
        {"alarms", "--filter", "SOMETIMES"},
        {"alarms", "--count", "0"},
        {"trace", "--cm", "NOT_A_MODULE", "status"},
        {"trace", "--cm", "EXT_CML_API=NOT_A_MASK", "status"},
        {"trace", "--level", "LOUD", "status"},
    };
    for (const std::vector<std::string> &args : cases) {
        Result r = Cmctl(args);
        std::string line;
        for (const std::string &a : args) line += a + " ";
        EXPECT_EQ(r.status, 2) << line << r.err;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_NE(r.err.find("--help)"), std::string::npos) << line << r.err;
    }
    EXPECT_TRUE(manager_.Requests().empty());
}

TEST_F(CmctlTest, RecordFileLargerThanTheRecordIsRefused) {
    char path[] = "/tmp/cmctl-record-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> bytes(sizeof(uZqCmRes) + 1, 0x5a);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    Result tooLarge = Cmctl({"create", "6", "--key", "onu=1/1/3/1", "--record", std::string("@") + path});
    EXPECT_EQ(tooLarge.status, 2);
    EXPECT_NE(tooLarge.err.find("larger than the record (1072 bytes)"), std::string::npos) << tooLarge.err;
    ASSERT_EQ(truncate(path, 3), 0);
    EXPECT_EQ(Cmctl({"create", "6", "--key", "onu=1/1/3/1", "--record", std::string("@") + path}).status, 0);
    EXPECT_EQ(Cmctl({"get", "6", "--key", "onu=1/1/3/1"}).out.find("  0000: 5a 5a 5a\n") != std::string::npos, true);
    unlink(path);
}

TEST_F(CmctlTest, SilentManagerFailsEveryCommandWithinTheTimeout) {
    // A manager that takes every request and answers none (its socket is bound, so no
    // port-unreachable tells the client early).
    oltmgr::Peer silent;
    ASSERT_TRUE(silent.Ok());
    silent.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    const std::string address = "127.0.0.1:" + std::to_string(silent.Port());
    const std::vector<std::vector<std::string>> cases = {
        {"status"}, {"get", "6", "--key", "onu=1/1/3/1"}, {"walk", "6"}, {"count", "6"},
        {"create", "6", "--key", "onu=1/1/3/1"}, {"delete", "6", "--key", "onu=1/1/3/1"}, {"alarms"}};
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), {"--mgr", address, "--timeout", "0.2"});
        // Killed at the deadline a run would report -1: the run must end by itself.
        Result r = cmtest::Child(args).Finish(std::chrono::seconds(20));
        EXPECT_EQ(r.status, 3) << args[4] << r.err;
        EXPECT_NE(r.err.find("no answer from the OLT manager at " + address + " within 0.2 s"),
                  std::string::npos) << r.err;
    }
}

TEST_F(CmctlTest, HelpOnEveryCommand) {
    for (std::string command :
         {"status", "get", "walk", "count", "create", "set", "delete", "alarms", "trace", "list", "fields"}) {
        Result r = Cmctl({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind("cmctl " + command, 0), 0u) << r.out;
    }
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"--help"}, {"help"}}) {
        Result r = cmtest::Run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: cmctl", 0), 0u) << r.out;
    }
    EXPECT_TRUE(manager_.Requests().empty());
}

TEST_F(CmctlTest, TraceSwitchesTheLibrarysTracesForTheRunOnly) {
    Result traced = Cmctl({"trace", "count", "6"});
    EXPECT_EQ(traced.status, 0);
    EXPECT_EQ(traced.out, "0\n");
    EXPECT_NE(traced.err.find("[CM-TRACE:5]"), std::string::npos) << traced.err;
    EXPECT_NE(traced.err.find("ZqCmApi__GetNumOfInstance(): rspMsg.ret 0."), std::string::npos);
    Result plain = Cmctl({"count", "6"});
    EXPECT_EQ(plain.err, "");
    Result report = cmtest::Run({"trace", "--cm", "ext_communication=api+message", "--module", "1", "--level", "debug"});
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.out.find("cm EXT_COMMUNICATION: 0x5 API+MESSAGE\n"), std::string::npos) << report.out;
    EXPECT_NE(report.out.find("trace level DEBUG"), std::string::npos) << report.out;
}

TEST_F(CmctlTest, KeyedResourcesWithoutAKeyAreRefusedAndNothingIsSent) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"create", "EQPT_ONU_CONFIG"}, "create EQPT_ONU_CONFIG needs --key onu=S/D/L/O"},
        {{"delete", "6"}, "delete EQPT_ONU_CONFIG needs --key onu=S/D/L/O"},
        {{"set", "6", "--record", "01"}, "set EQPT_ONU_CONFIG needs --key onu=S/D/L/O"},
        {{"get", "6"}, "get EQPT_ONU_CONFIG needs --key onu=S/D/L/O"},
        {{"get", "EQPT_OLT_PON_LINK_CONFIG"}, "get EQPT_OLT_PON_LINK_CONFIG needs --key link=S/D/L"},
        {{"delete", "SERV_ONU_BANDWIDTH_PROF"}, "delete SERV_ONU_BANDWIDTH_PROF needs --key profile=I[/I2]"},
        {{"create", "36", "onuUpgradeOption=1"}, "create SERV_ONU_UPGRADE_TASK_AND_RESULT needs --key KEY"},
        {{"get", "1", "--type", "ONU"}, "get EQPT_GPON_SYS_CONFIG needs --key onu=S/D/L/O"},
    };
    for (const Case &c : cases) {
        Result r = Cmctl(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(manager_.Requests().empty());
    // The system's resources are addressed by their type and need no key; a walk starts at the first.
    EXPECT_EQ(Cmctl({"get", "EQPT_GPON_SYS_CONFIG"}).status, 0);
    EXPECT_EQ(Cmctl({"walk", "6"}).status, 0);
}

TEST_F(CmctlTest, MaskNarrowsWhatGetShowsAndAllAsksForEverything) {
    ASSERT_EQ(Cmctl({"create", "6", "--key", "onu=1/1/3/17", "--record", "0102"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        uint32_t sentMask;
        size_t lines; // of standard output
        std::string shown;
    } cases[] = {
        {{"get", "1", "--mask", "fdbAgingTimer,dbSave"}, 0x41, 3, "  fdbAgingTimer: 0\n  dbSave: FALSE (0)\n"},
        {{"get", "1", "--mask", "0x400"}, 0x400, 2, "  oltInitStatus: READY (3)\n"},
        {{"get", "1", "--mask", "ALL"}, 0x1FFFFFF, 27, "  bitMask: 0x00000000\n"},
        {{"get", "1"}, 0x1FFFFFF, 27, "  xgsAuthenticationMethod: 0\n"},
        {{"get", "6", "--key", "onu=1/1/3/17", "--mask", "all"}, 0xFFFFFFFF, 3, "  0000: 01 02\n"},
        {{"get", "6", "--key", "onu=1/1/3/17"}, 0, 3, "  0000: 01 02\n"},
    };
    for (const Case &c : cases) {
        Result r = Cmctl(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back() << r.err;
        EXPECT_EQ(Lines(r.out).size(), c.lines) << r.out;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
        EXPECT_EQ(oltmgr::ReadAt<uint32_t>(LastRequest(eZQ_CM_OPER_TYPE_GET), oltmgr::kResAt), c.sentMask)
            << c.args.back();
    }
    // JSON narrows the fields too, and still carries every byte.
    auto json = Json::Object(Cmctl({"--json", "get", "1", "--mask", "dbSave"}).out);
    ASSERT_TRUE(json);
    std::string record = (*json)["record"];
    EXPECT_NE(record.find(R"("dbSave":{"value":0,"name":"FALSE"})"), std::string::npos) << record;
    EXPECT_EQ(record.find("fdbAgingTimer"), std::string::npos) << record;
    EXPECT_NE(record.find("\"hex\":\"" + std::string(2 * sizeof(uZqCmRes) - 2 * 45, '0').substr(0, 80)),
              std::string::npos);
    EXPECT_NE(record.find("\"length\":1072"), std::string::npos);
}

TEST_F(CmctlTest, AlarmWaitsEndQuietlyOnASignalAndExitThreeOnlyWhenTheWaitRunsOut) {
    struct Case {
        std::vector<std::string> args;
        size_t alarms;  // sent once registered
        int signal;     // sent after them; 0: none
        int status;
        std::string last; // the last line of standard error, up to the count after a signal
    } cases[] = {
        {{"alarms", "--wait", "1"}, 0, 0, 3, "cmctl: no alarm within 1 s"},
        {{"alarms", "--count", "2", "--wait", "1"}, 1, 0, 3, "cmctl: only 1 of 2 alarms and events within 1 s"},
        {{"alarms", "--follow"}, 0, SIGINT, 0, "cmctl: ended by SIGINT: "},
        {{"alarms", "--count", "5", "--wait", "30"}, 2, SIGTERM, 0, "cmctl: ended by SIGTERM: "},
        {{"--json", "alarms", "--follow"}, 1, SIGTERM, 0, "cmctl: ended by SIGTERM: "},
    };
    for (const Case &c : cases) {
        cmtest::Child child(Args(c.args));
        ASSERT_TRUE(WaitForSubscribers(1)) << c.last;
        for (size_t i = 0; i < c.alarms; ++i) EXPECT_EQ(manager_.SendAlarm(DyingGasp(17, static_cast<uint32_t>(i))), 1u);
        if (c.signal != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            child.Signal(c.signal);
        }
        Result r = child.Finish(std::chrono::seconds(30));
        EXPECT_EQ(r.status, c.status) << c.last << r.err;
        std::vector<std::string> err = Lines(r.err);
        ASSERT_FALSE(err.empty()) << c.last;
        size_t shown = Lines(r.out).size();
        if (c.signal == 0) {
            EXPECT_EQ(err.back(), c.last);
            EXPECT_EQ(shown, c.alarms) << r.out;
        } else {
            // The count says what was printed; a slow machine may not have printed every alarm yet.
            EXPECT_EQ(err.back(), c.last + std::to_string(shown) + " alarms and events shown");
            EXPECT_LE(shown, c.alarms) << r.out;
            EXPECT_EQ(r.err.find("no alarm"), std::string::npos) << r.err;
        }
        ASSERT_TRUE(WaitForSubscribers(0)) << "unregistered before it ended";
        manager_.ClearRequests();
    }
}

TEST_F(CmctlTest, SetWithDbSaveWaitsForTheSaveAndFailsWhenItFailed) {
    struct Case {
        std::vector<uint32_t> statuses; // what successive gets of dbSaveStatus answer; the last repeats
        int status;
        std::string said;
    } cases[] = {
        {{eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS, eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS,
          eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_SUCCESS}, 0, "database save: dbSaveStatus COMPLETED_SUCCESS (3)"},
        {{eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS, eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE}, 1,
         "the OLT manager could not save its database: dbSaveStatus COMPLETED_FAILURE (4)"},
        {{eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE}, 1, "COMPLETED_FAILURE"},
        {{eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS}, 3, "the database save did not end within the time-out"},
    };
    for (const Case &c : cases) {
        auto gets = std::make_shared<std::atomic<size_t>>(0);
        manager_.SetResponder([c, gets](const oltmgr::Datagram &request, oltmgr::Store &store) {
            std::vector<oltmgr::Reply> replies = oltmgr::DefaultReplies(request, store);
            if (oltmgr::ReadAt<uint32_t>(request.bytes, oltmgr::kOperTypeAt) == eZQ_CM_OPER_TYPE_GET) {
                size_t n = std::min((*gets)++, c.statuses.size() - 1);
                oltmgr::WriteAt<uint32_t>(replies.front().bytes,
                                          oltmgr::kResAt + offsetof(tZqCmGponSysConfig, dbSaveStatus), c.statuses[n]);
            }
            return replies;
        });
        Result r = Cmctl({"--timeout", "0.5", "set", "EQPT_GPON_SYS_CONFIG", "dbSave=TRUE"});
        EXPECT_EQ(r.status, c.status) << c.said << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_GE(gets->load(), std::min<size_t>(c.statuses.size(), 2)) << c.said;
    }
    // A set that asks for no save does not wait for one.
    manager_.ClearRequests();
    EXPECT_EQ(Cmctl({"set", "1", "fdbAgingTimer=5"}).status, 0);
    EXPECT_EQ(LastRequest(eZQ_CM_OPER_TYPE_GET).size(), 0u);
}

TEST_F(CmctlTest, LocalPortInUseIsNamedWithTheSystemsReason) {
    int holder = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr *>(&address), &length), 0);
    std::string port = std::to_string(ntohs(address.sin_port));
    for (const char *option : {"--port", "--alarm-port"}) {
        Result r = Cmctl({option, port, "count", "6"});
        EXPECT_EQ(r.status, 5) << option;
        EXPECT_NE(r.err.find("port " + port + ": Address already in use"), std::string::npos) << r.err;
    }
    close(holder);
    EXPECT_TRUE(manager_.Requests().empty());
}

TEST_F(CmctlTest, VersionIsPrintedAndAGlobalMistakeNamesTheProgramOnce) {
    Result version = cmtest::Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("cmctl (relayKit) ") + RELAYKIT_VERSION_TEXT + "\n");
    Result bogus = cmtest::Run({"--bogus"});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_EQ(bogus.err, "cmctl: unknown option --bogus (see cmctl --help)\n");
}

// Every command's --json output, answered, refused, unanswered and mistaken, against the schema
// in the repository, by Debian's python3-jsonschema.
TEST_F(CmctlTest, EveryJsonLineFollowsTheSchema) {
    oltmgr::Peer silent;
    ASSERT_TRUE(silent.Ok());
    silent.SetResponder([](const oltmgr::Datagram &, oltmgr::Store &) { return std::vector<oltmgr::Reply>{}; });
    std::string output;
    auto json = [&](std::vector<std::string> args, const std::string &manager = "") {
        args.insert(args.begin(), "--json");
        if (!manager.empty()) args.insert(args.begin(), {"--mgr", manager, "--timeout", "0.2"});
        Result r = manager.empty() ? Cmctl(args) : cmtest::Run(args);
        EXPECT_FALSE(r.out.empty()) << args[args.size() > 4 ? 4 : 1] << r.err;
        output += r.out;
    };
    json({"create", "6", "--key", "onu=1/1/3/17", "--record", "01"});
    json({"create", "6", "--key", "onu=1/1/3/17"});
    json({"create", "6"});
    json({"set", "1", "systemMode=99", "oltGVendorId=ABCD"});
    json({"set", "6", "--key", "onu=1/1/3/17", "--record", "02"});
    json({"set", "1", "dbSave=TRUE"});
    json({"create", "TOD_REQ_MSG", "--key", "link=1/1/3", "linkKey=1/1/3", "enable=TRUE", "onuTodEnableList.oper=TRUE"});
    json({"get", "6", "--key", "onu=1/1/3/17"});
    json({"get", "1"});
    json({"get", "1", "--mask", "systemMode"});
    json({"get", "104", "--key", "link=1/1/3"});
    json({"get", "36", "--key", "hex:01"});
    json({"get", "200", "--key", "hex:01"});
    json({"walk", "6"});
    json({"walk", "104"});
    json({"count", "6"});
    json({"status"});
    json({"delete", "6", "--key", "onu=1/1/3/17"});
    json({"delete", "1"});
    json({"bogus"});
    json({"--bogus"});
    json({"get", "6", "--key", "onu=1"});
    json({"--port", "0x10000", "status"});
    json({"alarms", "--wait", "0"});
    json({"list"});
    json({"fields", "1"});
    json({"fields", "104"});
    json({"fields", "6"});
    json({"fields", "NO_SUCH_RESOURCE"});
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"status"}, {"get", "1"}, {"walk", "6"}, {"count", "6"}, {"delete", "6", "--key", "onu=1/1/3/1"}, {"alarms"}})
        json(args, "127.0.0.1:" + std::to_string(silent.Port()));
    {
        cmtest::Child child(Args({"--json", "alarms", "--count", "4", "--wait", "60"}));
        ASSERT_TRUE(WaitForSubscribers(1));
        tZqCmAlarmInfo unnamed = DyingGasp(17, 1);
        unnamed.alarmSeverity = static_cast<eZqCmAlarmSeverity>(77);
        unnamed.alarmType = static_cast<eZqCmAlarmType>(7000);
        manager_.SendAlarm(DyingGasp(17, 1));
        manager_.SendAlarm(unnamed);
        oltmgr::EventFields event;
        event.eventId = eZQ_CMAPI_EVENT_ONU_ACTIVATED;
        event.resType = eZQ_CMAPI_RES_TYPE_ONU;
        event.key.onuKey.onuId = 17;
        SendToSubscribers(oltmgr::BuildEventMessage(event, 0));
        oltmgr::Bytes other = oltmgr::BuildAlarmMessage(DyingGasp(17, 2), 0);
        oltmgr::WriteAt<uint32_t>(other, oltmgr::kMsgTypeAt, 99);
        SendToSubscribers(other);
        Result r = child.Finish(std::chrono::seconds(60));
        EXPECT_EQ(Lines(r.out).size(), 4u) << r.out << r.err << "exit " << r.status;
        output += r.out;
    }
    char path[] = "/tmp/cmctl-json-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, output.data(), output.size()), static_cast<ssize_t>(output.size()));
    close(fd);
    cmtest::Result check = cmtest::Child({CMCTL_VALIDATE, CMCTL_SCHEMA, path}, "/usr/bin/python3").Finish(std::chrono::seconds(60));
    unlink(path);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_NE(check.out.find(std::to_string(Lines(output).size()) + " lines, 0 refused"), std::string::npos) << check.out;
    // Names the manager does not know travel as null, beside the number.
    EXPECT_NE(output.find(R"("systemMode":{"value":99,"name":null})"), std::string::npos);
    EXPECT_NE(output.find(R"("severity":{"value":77,"name":null})"), std::string::npos);
    // Alarm types and events by number and by name, alarm times in milliseconds and as local time.
    for (const char *expected : {R"("alarmType":108,"alarmTypeName":"ONU_ALARM_DYING_GASP")",
                                 R"("alarmType":7000,"alarmTypeName":null)", R"("localTime":"1970-01-01 00:00:00.000")",
                                 R"("eventId":4,"eventName":"ONU_ACTIVATED")"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected;
}

TEST_F(CmctlTest, ListAndFieldsDescribeTheResourcesWithoutAskingTheManager) {
    Result list = Cmctl({"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    std::vector<std::string> rows = Lines(list.out);
    ASSERT_EQ(rows.size(), 1u + eZQ_CMAPI_RES_ID_MAX - 1) << list.out; // a heading, then 1 to 108
    // Each row: number, name, resource type, record kind, whether one instance needs a key.
    const std::vector<std::string> expected[] = {
        {"1", "EQPT_GPON_SYS_CONFIG", "SYSTEM", "fields", "-"},
        {"6", "EQPT_ONU_CONFIG", "ONU", "hex", "keyed"},
        {"36", "SERV_ONU_UPGRADE_TASK_AND_RESULT", "SWDL", "fields", "keyed"},
        {"80", "EQPT_OLT_INIT_STATUS", "SYSTEM", "fields", "-"},
        {"104", "TOD_REQ_MSG", "TOD", "fields", "keyed"},
        {"108", "XGPON_TRANSCEIVER_CONFIG", "SYSTEM", "hex", "-"},
    };
    for (const std::vector<std::string> &want : expected) {
        std::vector<std::string> got;
        std::istringstream row(rows[std::stoul(want[0])]);
        for (std::string word; row >> word;) got.push_back(word);
        EXPECT_EQ(got, want) << rows[std::stoul(want[0])];
    }
    Result json = Cmctl({"--json", "list"});
    EXPECT_EQ(Lines(json.out).size(), 1u);
    EXPECT_NE(json.out.find(R"({"resId":{"value":6,"name":"EQPT_ONU_CONFIG"},"resType":{"value":4,"name":"ONU"},)"
                            R"("record":"hex","keyed":true})"), std::string::npos) << json.out;

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines; // lines the output holds
    };
    const Case cases[] = {
        {{"fields", "eqpt_gpon_sys_config"},
         {"EQPT_GPON_SYS_CONFIG (1): 26 fields in a record of 1072 bytes",
          "  bitMask                      number(4)  -",
          "  dbSave                       enum(4)    0x40      FALSE TRUE",
          "  systemMode                   enum(4)    0x800000  "
          "GPON XGPON XGSPON_GPON_COMBO ANY_PON__8_X NOT_AVAILABLE"}},
        {{"fields", "104"}, {"TOD_REQ_MSG (104): 7 fields in a record of 120 bytes",
                             "  linkKey                      link(3)    0x1"}},
        {{"fields", "EQPT_ONU_CONFIG"},
         {"EQPT_ONU_CONFIG (6): a record of 1072 bytes that cmctl shows and takes as hex (--record HEX|@FILE)"}},
        {{"fields", "200"},
         {"resource 200: a record of 1072 bytes that cmctl shows and takes as hex (--record HEX|@FILE)"}},
    };
    for (const Case &c : cases) {
        Result r = Cmctl(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back() << r.err;
        std::vector<std::string> lines = Lines(r.out);
        for (const std::string &line : c.lines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << r.out;
    }
    Result upgrade = Cmctl({"--json", "fields", "36"});
    EXPECT_NE(upgrade.out.find(R"("names":[{"value":1,"name":"AUTOMATIC"},{"value":2,"name":"MANUAL"},)"
                               R"({"value":3,"name":"SCHEDULED"}])"), std::string::npos) << upgrade.out;
    EXPECT_TRUE(manager_.Requests().empty());
}

TEST_F(CmctlTest, MistakesNameTheClosestCommandResourceFieldOrValue) {
    struct Case {
        std::vector<std::string> args;
        std::string hint; // "" when nothing is close enough to suggest
    };
    const Case cases[] = {
        {{"stauts"}, "unknown command 'stauts'; did you mean status?"},
        {{"lst"}, "did you mean list?"},
        {{"lsit"}, "did you mean list?"}, // two letters swapped are one slip, not two
        {{"frobnicate"}, ""},
        {{"get", "EQPT_ONU_CONFG", "--key", "onu=1/1/3/1"},
         "unknown resource 'EQPT_ONU_CONFG'; did you mean EQPT_ONU_CONFIG?"},
        {{"get", "eZQ_CMAPI_RES_ID_VERSON"}, "did you mean VERSION?"},
        {{"count", "NO_SUCH_RESOURCE"}, "unknown resource 'NO_SUCH_RESOURCE'; cmctl list shows them all"},
        {{"fields", "tod_req_msgg"}, "did you mean TOD_REQ_MSG?"},
        {{"get", "6", "--type", "ONUU"}, "unknown resource type 'ONUU'; did you mean ONU?"},
        {{"set", "1", "dbSav=TRUE"}, "has no such field (cmctl fields lists them); did you mean dbSave?"},
        {{"set", "1", "dbSave=TRU"}, "bad value for dbSave: 'TRU'; did you mean TRUE?"},
        {{"set", "1", "systemMode=XPON"}, "did you mean GPON?"},
        {{"get", "1", "--mask", "dbSave,systemMod"}, "has no field 'systemMod'; did you mean systemMode?"},
        {{"alarms", "--filter", "SLOTT"}, "unknown filter 'SLOTT'; did you mean SLOT?"},
    };
    for (const Case &c : cases) {
        Result r = Cmctl(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0] << r.err;
        if (c.hint.empty())
            EXPECT_EQ(r.err.find("did you mean"), std::string::npos) << r.err;
        else
            EXPECT_NE(r.err.find(c.hint), std::string::npos) << c.hint << "\n" << r.err;
        EXPECT_NE(r.err.find("--help)"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(manager_.Requests().empty());
}

TEST_F(CmctlTest, ManagerComesFromTheEnvironmentUnlessGivenOnTheCommandLine) {
    std::string here = "127.0.0.1:" + std::to_string(manager_.Port());
    struct Case {
        std::string environment;
        std::vector<std::string> args;
        int status;
        bool reachesManager;
        std::string err; // what standard error holds
    };
    const Case cases[] = {
        {here, {"count", "6"}, 0, true, ""},
        {"127.0.0.1:9", {"--mgr", here, "count", "6"}, 0, true, ""},
        {"localhost:0", {"count", "6"}, 2, false, "bad CMCTL_MGR 'localhost:0'"},
        {"nowhere", {"--mgr", "nowhere:1", "count", "6"}, 2, false, "bad --mgr 'nowhere:1'"},
    };
    for (const Case &c : cases) {
        size_t before = manager_.Requests().size();
        setenv("CMCTL_MGR", c.environment.c_str(), 1);
        Result r = cmtest::Run(c.args);
        unsetenv("CMCTL_MGR");
        EXPECT_EQ(r.status, c.status) << c.environment << r.err;
        EXPECT_EQ(manager_.Requests().size() > before, c.reachesManager) << c.environment;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST_F(CmctlTest, CompletionOffersCommandsResourcesFieldsAndTheirValues) {
    struct Case {
        std::vector<std::string> words; // after the program; the last one is being completed
        std::string offered;            // all that is offered, one word a line
    };
    const Case cases[] = {
        {{"fie"}, "fields\n"},
        {{"--json", "l"}, "list\n"},
        {{"trace", "--level", "DEBUG", "c"}, "count\ncreate\n"},
        {{"list", "--"}, "--help\n"},
        {{"get", "EQPT_ONU_CONFIG_"}, "EQPT_ONU_CONFIG_LIST\n"},
        {{"--timeout", "1", "fields", "TOD_"}, "TOD_REQ_MSG\n"},
        {{"create", "TOD_REQ_MSG", "--key", "link=1/1/3", "sync"}, "syncPeriod=\n"},
        {{"set", "1", "dbSave="}, "dbSave=FALSE\ndbSave=TRUE\n"},
        {{"set", "1", "swapmode=X"}, ""},
        {{"set", "36", "--key", "hex:01", "onuUpgradeRebootMode=M"}, "onuUpgradeRebootMode=MANUAL\n"},
        {{"get", "1", "--mask", "dbA"}, "dbAudit\ndbAuditStatus\n"},
        {{"set", "6", "--key", "onu=1/1/3/1", "x"}, ""}, // a record given as hex has no fields
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"-c",
                                         "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _cmctl; "
                                         "printf '%s\\n' \"${COMPREPLY[@]}\" | grep -v '^$'",
                                         "_", CMCTL_COMPLETION, CMCTL_BIN};
        args.insert(args.end(), c.words.begin(), c.words.end());
        Result r = cmtest::Child(args, "/bin/bash").Finish();
        EXPECT_EQ(r.out, c.offered) << c.words.back() << r.err;
    }
    EXPECT_TRUE(manager_.Requests().empty());
}

} // namespace
