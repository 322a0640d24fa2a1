// trace_record_test.cpp - what each writer puts in a record, which records pass the gates, and how
// the trace task writes them.
#include <gtest/gtest.h>

#include <cstdio>
// std::regex trips a false maybe-uninitialized warning of GCC 12 in optimised sanitizer builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "trace_support.h"
#include "zqsysconfig.h"

namespace {

using rktest::SyslogLines;
using rktest::WaitForText;

std::string TaskIdText() {
    char text[16];
    snprintf(text, sizeof text, "%08x", OsWrap__TaskId());
    return text;
}

// The record's location field as "[file:line:function()]" for a line in this file.
std::string Location(uint32 line, const char *funcP) {
    return "[" + std::string(__FILE__) + ":" + std::to_string(line) + ":" + funcP + "()]";
}

class TraceRecordTest : public ::testing::Test {
  protected:
    void TearDown() override { rktest::EndTrace(); }
    void SetUp() override { rktest::StartTrace(); }
};

// ---- the extended record ------------------------------------------------------------------------

TEST_F(TraceRecordTest, ExtendedRecordWithEverySwitchOnCarriesEveryField) {
    TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API);
    tZqCmLinkKey key = {1, 1, 3};
    TraceInterface_Ext("file.c", 42, "function", eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API, eZQ_TL_INFO,
                       NORMAL_ONU_TRACE_BIT_MASK, &key, 17, "all fields %d\n", 7);
    std::string line = WaitForText(rktest::BllLines(), "all fields 7");
    std::regex expected(R"(\[\d\d:\d\d:\d\d\.\d\d\d\]:\[SVCT\]:\[INFO\]:\[TID)" + TaskIdText() +
                        R"(\]:\[file\.c:42:function\(\)\]:\[1,1,3\]:\[17\]: all fields 7)");
    EXPECT_TRUE(std::regex_match(line, expected)) << line;
}

TEST_F(TraceRecordTest, ExtendedRecordWithEverySwitchOffKeepsOnlyModuleAndFunction) {
    TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API);
    traceFieldBitMask = 0;
    tZqCmLinkKey key = {1, 1, 3};
    // ONU 200 of link 3 is let through, but with the ONU switch off the bitmap is not even asked.
    DisableOnuTrace(1, 1, 3, 200);
    TraceInterface_Ext("file.c", 42, "function", eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API, eZQ_TL_INFO,
                       NORMAL_ONU_TRACE_BIT_MASK & ~eZQ_TRACE_BIT_MASK_TIME_STAMP, &key, 200,
                       "no fields\n");
    EXPECT_EQ(WaitForText(rktest::BllLines(), "no fields"), ":[SVCT]:::::function()::: no fields");
}

TEST_F(TraceRecordTest, ExtendedRecordPrintsAFieldOnlyWhenRecordAndSwitchAskForIt) {
    TraceSetMask(eSVC_MODULE_ID_SNMP, eZQ_CM_TM_PM);
    // Level and id switch on, but the record asks for the task id only.
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_SNMP, eZQ_CM_TM_PM, eZQ_TL_INFO,
                       eZQ_TRACE_BIT_MASK_TASK_ID, nullptr, 0, "id only\n");
    EXPECT_EQ(WaitForText(rktest::BllLines(), "id only"),
              ":[SNMP]::[TID" + TaskIdText() + "]:::fn()::: id only");
    // Location switch off: the function name alone.
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_FILE_NAME_LINE, eOS_BOOL_FALSE);
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_SNMP, eZQ_CM_TM_PM, eZQ_TL_WARNING,
                       eZQ_TRACE_BIT_MASK_TRACE_LEVEL | eZQ_TRACE_BIT_MASK_FILE_NAME_AND_LINE_NUM,
                       nullptr, 0, "level only\n");
    EXPECT_EQ(WaitForText(rktest::BllLines(), "level only"), ":[SNMP]:[WARNING]::::fn()::: level only");
}

TEST_F(TraceRecordTest, TraceFormPrintsTheSystemFieldsOfItsCallSite) {
    TraceSetMask(eSVC_MODULE_ID_PM, eZQ_CM_TM_COUNTER);
    uint32 line = __LINE__ + 1;
    Trace(eSVC_MODULE_ID_PM, eZQ_CM_TM_COUNTER, "counted %s\n", "twice");
    std::string record = WaitForText(rktest::BllLines(), "counted twice");
    std::string tail = ":[PM]:[INFO]:[TID" + TaskIdText() + "]:" + Location(line, "TestBody") +
                       "::: counted twice";
    ASSERT_GE(record.size(), tail.size());
    EXPECT_EQ(record.substr(record.size() - tail.size()), tail) << record;
    EXPECT_TRUE(std::regex_match(record.substr(0, record.size() - tail.size()),
                                 std::regex(R"(\[\d\d:\d\d:\d\d\.\d\d\d\])")))
        << record;
}

TEST_F(TraceRecordTest, LinkFieldWithoutALinkKeyDropsTheRecord) {
    TraceSetMask(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API);
    Trace_Ext(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_LINK_TRACE_BIT_MASK, NULL, 0,
              "keyless link\n");
    tZqCmLinkKey key = {1, 1, 4};
    // Asking for the ONU without the link bit drops it too, even for an ONU that passes.
    Trace_Ext(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API, eZQ_TL_INFO,
              NORMAL_SYSTEM_TRACE_BIT_MASK | eZQ_TRACE_BIT_MASK_ONU_ID, &key, 5, "linkless onu\n");
    Trace_Ext(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_LINK_TRACE_BIT_MASK, &key, 0,
              "with link\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "with link").find("]:[1,1,4]:: with link"),
              std::string::npos);
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("keyless link"), 0u);
    EXPECT_EQ(rktest::BllLines().Count("linkless onu"), 0u);
}

TEST_F(TraceRecordTest, OnuFieldPassesOnlyOnusWhoseBitIsSet) {
    TraceSetMask(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API);
    tZqCmLinkKey key = {1, 1, 3};
    DisableOnuTrace(1, 1, 3, 18);
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK, &key, 18,
              "onu 18\n");
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK, &key, 257,
              "onu 257\n");
    tZqCmLinkKey otherDevice = {1, 2, 3};
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK,
              &otherDevice, 1, "device 2\n");
    tZqCmLinkKey pastTheLinks = {1, 1, 17};
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK,
              &pastTheLinks, 1, "link 17\n");
    // ONU 0 reads the bit of ONU 1.
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK, &key, 0,
              "onu zero\n");
    Trace_Ext(eSVC_MODULE_ID_OMCC, eZQ_CM_TM_API, eZQ_TL_INFO, NORMAL_ONU_TRACE_BIT_MASK, &key, 19,
              "onu 19\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "onu 19").find("]:[1,1,3]:[19]: onu 19"),
              std::string::npos);
    EXPECT_NE(WaitForText(rktest::BllLines(), "onu zero").find("]:[1,1,3]:[0]: onu zero"),
              std::string::npos);
    rktest::DrainTraceQueue();
    for (const char *dropped : {"onu 18", "onu 257", "device 2", "link 17"})
        EXPECT_EQ(rktest::BllLines().Count(dropped), 0u) << dropped;
}

// ---- gates --------------------------------------------------------------------------------------

TEST_F(TraceRecordTest, ModuleZeroWithAllOnesMaskPassesOnLevelAlone) {
    TraceSetLevel(eZQ_TL_WARNING);
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK, eZQ_TL_NOTICE,
                       NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "below level\n");
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_NONE, eZQ_CM_TM_API, eZQ_TL_EMERG,
                       NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "module zero, mask 1\n");
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_INVALID, ZQ_TRACE_ALL_MASK, eZQ_TL_EMERG,
                       NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "module 40\n");
    TraceInterface_Ext("f.c", 1, "fn", static_cast<eSvcModuleId>(-3), ZQ_TRACE_ALL_MASK,
                       eZQ_TL_EMERG, NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "module -3\n");
    // A module mask without the record's bits drops it, whatever its level.
    TraceSetMask(eSVC_MODULE_ID_SWDL, eZQ_CM_TM_TIMER);
    TraceInterface_Ext("f.c", 1, "fn", eSVC_MODULE_ID_SWDL, eZQ_CM_TM_API, eZQ_TL_EMERG,
                       NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0, "other bits\n");
    MajorLog("at level\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "at level").find(":[LOG]:[WARNING]:"),
              std::string::npos);
    rktest::DrainTraceQueue();
    for (const char *dropped : {"below level", "module zero, mask 1", "module 40", "module -3",
                                "other bits"})
        EXPECT_EQ(rktest::BllLines().Count(dropped), 0u) << dropped;
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
}

TEST_F(TraceRecordTest, LevelFormsUseTheirLevels) {
    LogSetLevel(eZQ_LL_MINOR);
    MinorLog("minor form\n");
    ZqMajorLog("major form\n");
    ZqCriticalLog("critical form\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "minor form").find(":[LOG]:[DEBG]:"), std::string::npos);
    EXPECT_NE(WaitForText(rktest::BllLines(), "major form").find(":[LOG]:[WARNING]:"), std::string::npos);
    EXPECT_NE(WaitForText(rktest::BllLines(), "critical form").find(":[LOG]:[ERR]:"), std::string::npos);
}

int evaluated = 0;
int Counted() { return ++evaluated; }

TEST_F(TraceRecordTest, GuardedFormsSkipTheirArgumentsWhileTheSumIsZero) {
    ASSERT_EQ(TraceMaskSum, 0u);
    ASSERT_EQ(CmTraceMaskSum, 0u);
    Trace(eSVC_MODULE_ID_PM, eZQ_CM_TM_API, "%d\n", Counted());
    ZqTrace_Ext(eSVC_MODULE_ID_PM, eZQ_CM_TM_API, eZQ_TL_INFO, 0, NULL, 0, "%d\n", Counted());
    CmTrace(eZQ_OLT_MAN_MODULE_PM, eZQ_CM_TM_API, "%d\n", Counted());
    OsTrace(eSVC_MODULE_ID_PM, eZQ_CM_TM_API, "%d\n", Counted());
    EXPECT_EQ(evaluated, 0);
    // An unguarded form is called, arguments and all, and then dropped by its level.
    MinorLog("%d\n", Counted());
    EXPECT_EQ(evaluated, 1);
    // Once any mask is on, the guarded call is made and the module gate decides.
    TraceSetMask(eSVC_MODULE_ID_TOD, eZQ_CM_TM_API);
    Trace(eSVC_MODULE_ID_PM, eZQ_CM_TM_API, "%d\n", Counted());
    EXPECT_EQ(evaluated, 2);
}

// ---- the other writers --------------------------------------------------------------------------

TEST_F(TraceRecordTest, TraceInterfaceRecordWithTimeDirective) {
    TraceSetMask(eSVC_MODULE_ID_OMCI_MIB, eZQ_CM_TM_MESSAGE);
    tOsTime before = OsWrap__GetSysTime();
    TraceInterface("unit.c", 77, "Sender", eSVC_MODULE_ID_OMCI_MIB, eZQ_CM_TM_MESSAGE,
                   "%tsent %d bytes\n", 12);
    std::string line = WaitForText(rktest::BllLines(), "sent 12 bytes");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex(R"(\[TRACE:8\]:\[TID)" + TaskIdText() +
                                            R"(\] TH(\d+)L(\d+):\{unit\.c:77:Sender\(\)\}: sent 12 bytes)")))
        << line;
    uint64_t stamp = (std::stoull(match[1]) << 32) | std::stoull(match[2]);
    uint64_t start = (static_cast<uint64_t>(before.high) << 32) | before.low;
    EXPECT_GE(stamp, start);
    EXPECT_LT(stamp, start + 60000);
}

TEST_F(TraceRecordTest, LogRecordCarriesTaskClockAndLocationButNoLevel) {
    LogInterface("os.c", 9, "OsCall", eZQ_LL_CRITICAL, "%tqueue %d gone\n", 4);
    LogInterface("os.c", 10, "OsCall", eZQ_LL_MAJOR, "below the log level\n");
    std::string line = WaitForText(rktest::BllLines(), "queue 4 gone");
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[LOG\]:\[TID)" + TaskIdText() +
                                                  R"(\] TH\d+L\d+:\[\d\d:\d\d:\d\d\.\d\d\d\] \{os\.c:9\}: queue 4 gone)")))
        << line;
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("below the log level"), 0u);
}

TEST_F(TraceRecordTest, CmTraceIsWrittenAtOnceInTheCallingThread) {
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API);
    CmTraceInterface("cm.c", 5, "CmCall", eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API,
                     "%tsent T%d\n", 3);
    CmTraceInterface("cm.c", 6, "CmCall", eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_PM, "other bits\n");
    CmTraceInterface("cm.c", 7, "CmCall", eZQ_OLT_MAN_MODULE_MAX, ZQ_TRACE_ALL_MASK, "module 23\n");
    // No waiting: the line was handed over before the call returned.
    std::vector<std::string> lines = rktest::BllLines().Texts();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[CM-TRACE:5\]: TH\d+L\d+:\{cm\.c:5:CmCall\(\)\}: sent T3)")))
        << lines[0];
    EXPECT_EQ(SyslogLines().Count("sent T3"), 0u);
}

TEST_F(TraceRecordTest, ARecordHoldsAtMost511Characters) {
    std::string text(1000, 'x');
    LogInterface("long.c", 1, "Long", eZQ_LL_CRITICAL, "%s\n", text.c_str());
    TraceSetMask(eSVC_MODULE_ID_SQL_DB, eZQ_CM_TM_API);
    TraceInterface_Ext("long.c", 2, "Long", eSVC_MODULE_ID_SQL_DB, eZQ_CM_TM_API, eZQ_TL_INFO, 0,
                       nullptr, 0, "%s\n", text.c_str());
    std::string logRecord = WaitForText(SyslogLines(), "{long.c:1}");
    std::string extRecord = WaitForText(SyslogLines(), "Long()");
    EXPECT_EQ(logRecord.size(), 511u);
    EXPECT_EQ(extRecord.size(), 511u);
    EXPECT_EQ(extRecord.substr(0, 24), ":[SQL]:::::Long()::: xxx");
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
}

// ---- ONU text filter ----------------------------------------------------------------------------

TEST_F(TraceRecordTest, OnuTextFilterLetsThroughRecordsNamingTheSelectedOnu) {
    OnuTraceSetMask(3, 17);
    EXPECT_EQ(OnuTraceGetMask(), 785u);
    OnuTraceSetMaskEnable(eOS_BOOL_TRUE);
    TraceSetMask(eSVC_MODULE_ID_ALARM, eZQ_CM_TM_API);
    OsCriticalLog("comma form 1,1,3,17\n");
    OsCriticalLog("colon form 1:1:3:17 up\n");
    OsCriticalLog("other onu 1,1,3,18\n");
    OsCriticalLog("other slot 2,1,3,17\n");
    TraceInterface("f.c", 1, "fn", eSVC_MODULE_ID_ALARM, eZQ_CM_TM_API, "trace 1:1:3:17\n");
    TraceInterface("f.c", 1, "fn", eSVC_MODULE_ID_ALARM, eZQ_CM_TM_API, "trace unnamed\n");
    // Extended records do not go through the text filter.
    CriticalLog("extended unnamed\n");
    EXPECT_TRUE(rktest::BllLines().WaitFor("extended unnamed"));
    EXPECT_EQ(rktest::BllLines().Count("comma form"), 1u);
    EXPECT_EQ(rktest::BllLines().Count("colon form"), 1u);
    EXPECT_EQ(rktest::BllLines().Count("trace 1:1:3:17"), 1u);
    EXPECT_EQ(rktest::BllLines().Count("other onu"), 0u);
    EXPECT_EQ(rktest::BllLines().Count("other slot"), 0u);
    EXPECT_EQ(rktest::BllLines().Count("trace unnamed"), 0u);
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
}

// ---- the trace task -----------------------------------------------------------------------------

TEST_F(TraceRecordTest, RecordsOfEachThreadArriveInTheOrderSent) {
    constexpr int kThreads = 3;
    constexpr int kRecords = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kRecords; ++i) OsCriticalLog("order t%d r%d\n", t, i);
        });
    }
    for (std::thread &thread : threads) thread.join();
    rktest::DrainTraceQueue();
    std::vector<int> next(kThreads, 0);
    for (const std::string &line : SyslogLines().Texts()) {
        int t = 0, r = 0;
        size_t at = line.find("order t");
        if (at == std::string::npos) continue;
        ASSERT_EQ(sscanf(line.c_str() + at, "order t%d r%d", &t, &r), 2) << line;
        EXPECT_EQ(r, next[t]) << line;
        next[t] = r + 1;
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kRecords);
    // Every block went back to the allocator once written.
    EXPECT_TRUE(rktest::WaitForNoLiveBlocks());
}

TEST_F(TraceRecordTest, TraceTaskWritesEveryRecordToSyslogAndTheSinks) {
    OsCriticalLog("both ways\n");
    std::string syslogLine = WaitForText(SyslogLines(), "both ways");
    std::string sinkLine = WaitForText(rktest::BllLines(), "both ways");
    EXPECT_EQ(syslogLine, sinkLine + "\n");
}

class TraceBeforeInitTest : public ::testing::Test {
  protected:
    void TearDown() override { rktest::EndTrace(); }
};

TEST_F(TraceBeforeInitTest, QueuedWritersDropEverythingButCmTracesAreWritten) {
    ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    SetCliDisplayMode(eOS_BOOL_TRUE);
    TraceSetMask(eSVC_MODULE_ID_PM, eZQ_CM_TM_API);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_PM, eZQ_CM_TM_API);
    uint32 blocksBefore = MemAllocCnt;
    OsCriticalLog("log before init\n");
    TraceInterface("f.c", 1, "fn", eSVC_MODULE_ID_PM, eZQ_CM_TM_API, "trace before init\n");
    Trace(eSVC_MODULE_ID_PM, eZQ_CM_TM_API, "ext before init\n");
    CriticalLog("critical before init\n");
    EXPECT_EQ(MemAllocCnt, blocksBefore);
    CmTrace(eZQ_OLT_MAN_MODULE_PM, eZQ_CM_TM_API, "cm before init\n");
    EXPECT_EQ(rktest::BllLines().Count("cm before init"), 1u);
    EXPECT_EQ(rktest::BllLines().Texts().size(), 1u);
}

} // namespace
