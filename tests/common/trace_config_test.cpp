// trace_config_test.cpp - masks and their sums, levels, field switches, the start-up state and the
// operator's bulk switches.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "trace_support.h"
#include "zqsysconfig.h"

namespace {

class TraceConfigTest : public ::testing::Test {
  protected:
    void SetUp() override { SvcSysInfoHandler = rktest::CaptureInfoHandler; }
    void TearDown() override { rktest::EndTrace(); }
};

TEST_F(TraceConfigTest, SumIsTheOrOfAllMasksAfterEveryChange) {
    TraceSetMask(eSVC_MODULE_ID_OMCI_PROTOCOL_HIGH, eZQ_CM_TM_MESSAGE);
    EXPECT_EQ(TraceMaskSum, eZQ_CM_TM_MESSAGE);
    TraceSetMask(eSVC_MODULE_ID_TOD, eZQ_CM_TM_API);
    EXPECT_EQ(TraceMaskSum, eZQ_CM_TM_MESSAGE | eZQ_CM_TM_API);
    TraceSetMask(eSVC_MODULE_ID_OMCI_PROTOCOL_HIGH, eZQ_CM_TM_NONE);
    EXPECT_EQ(TraceMaskSum, eZQ_CM_TM_API);
    TraceSetMask(eSVC_MODULE_ID_TOD, eZQ_CM_TM_NONE);
    EXPECT_EQ(TraceMaskSum, 0u);

    CmTraceSetMask(eZQ_OLT_MAN_MODULE_TOD, static_cast<eZqCmTraceMask>(0x80000000u));
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_MIN, eZQ_CM_TM_PM);
    EXPECT_EQ(CmTraceMaskSum, 0x80000002u);
    EXPECT_EQ(CmTraceGetMask(eZQ_OLT_MAN_MODULE_TOD), 0x80000000u);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_TOD, eZQ_CM_TM_NONE);
    EXPECT_EQ(CmTraceMaskSum, eZQ_CM_TM_PM);
}

TEST_F(TraceConfigTest, SumNeverDropsAMaskWhileOthersAreBeingSet) {
    TraceSetMask(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API);
    TraceSetMask(eSVC_MODULE_ID_PM, eZQ_CM_TM_PM);
    std::atomic<bool> done{false};
    std::atomic<int> partialSums{0};
    std::thread reader([&] {
        while (!done.load())
            if (__atomic_load_n(&TraceMaskSum, __ATOMIC_RELAXED) != 3u) partialSums++;
    });
    auto setter = [](eSvcModuleId module, eZqCmTraceMask mask) {
        for (int i = 0; i < 20000; ++i) TraceSetMask(module, mask);
    };
    std::thread first(setter, eSVC_MODULE_ID_PAL, eZQ_CM_TM_API);
    std::thread second(setter, eSVC_MODULE_ID_PM, eZQ_CM_TM_PM);
    first.join();
    second.join();
    done = true;
    reader.join();
    EXPECT_EQ(TraceMaskSum, 3u);
    // Guarded call sites read the sum at any time: it must never look smaller than it is.
    EXPECT_EQ(partialSums.load(), 0);
}

TEST_F(TraceConfigTest, ModulesOutsideTheTablesAreIgnored) {
    uint32 masksBefore[ZQ_TRACE_MODULE_NUM];
    memcpy(masksBefore, TraceMasks, sizeof masksBefore);
    TraceSetMask(eSVC_MODULE_ID_INVALID, eZQ_CM_TM_API);
    TraceSetMask(static_cast<eSvcModuleId>(-1), eZQ_CM_TM_API);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_MAX, eZQ_CM_TM_API);
    CmTraceSetMask(static_cast<eZqOltModuleId>(1000), eZQ_CM_TM_API);
    EXPECT_EQ(memcmp(masksBefore, TraceMasks, sizeof masksBefore), 0);
    EXPECT_EQ(TraceMaskSum, 0u);
    EXPECT_EQ(CmTraceMaskSum, 0u);
    EXPECT_EQ(TraceGetMask(eSVC_MODULE_ID_INVALID), 0u);
    EXPECT_EQ(TraceGetMask(static_cast<eSvcModuleId>(-1)), 0u);
    EXPECT_EQ(CmTraceGetMask(eZQ_OLT_MAN_MODULE_MAX), 0u);
}

TEST_F(TraceConfigTest, LogLevelSetsTheMatchingTraceLevel) {
    LogSetLevel(eZQ_LL_MINOR);
    EXPECT_EQ(TraceLevel, eZQ_TL_DEBUG);
    LogSetLevel(eZQ_LL_MAJOR);
    EXPECT_EQ(TraceLevel, eZQ_TL_WARNING);
    LogSetLevel(eZQ_LL_CRITICAL);
    EXPECT_EQ(LogLevel, eZQ_LL_CRITICAL);
    EXPECT_EQ(TraceLevel, eZQ_TL_ERR);
}

TEST_F(TraceConfigTest, ServiceLayerNamesReadAndWriteTheSameSettings) {
    SvcTraceSetMask(eSVC_MODULE_ID_PM, eZQ_CM_TM_PM);
    EXPECT_EQ(TraceGetMask(eSVC_MODULE_ID_PM), eZQ_CM_TM_PM);
    TraceSetMask(eSVC_MODULE_ID_TOD, eZQ_CM_TM_API);
    EXPECT_EQ(SvcTraceGetMask(eSVC_MODULE_ID_TOD), eZQ_CM_TM_API);
    EXPECT_EQ(SvcTraceGetMask(eSVC_MODULE_ID_INVALID), eZQ_CM_TM_NONE);
    for (eZqLogLevel level : {eZQ_LL_MINOR, eZQ_LL_CRITICAL}) {
        SvcLogSetLevel(level);
        EXPECT_EQ(LogGetLevel(), level);
        EXPECT_EQ(SvcLogGetLevel(), level);
    }
    InitCmTrace(); // kept for hosts that call it: changes nothing
    EXPECT_EQ(TraceGetMask(eSVC_MODULE_ID_PM), eZQ_CM_TM_PM);
    EXPECT_EQ(LogGetLevel(), eZQ_LL_CRITICAL);
    for (eOsBool enable : {eOS_BOOL_TRUE, eOS_BOOL_FALSE}) {
        OnuTraceSetMaskEnable(enable);
        EXPECT_EQ(OnuTraceGetMaskEnable(), enable);
    }
}

TEST_F(TraceConfigTest, InvalidLevelsArePrintedAndChangeNothing) {
    LogSetLevel(eZQ_LL_NO_LOG);
    EXPECT_EQ(LogLevel, eZQ_LL_MAJOR);
    EXPECT_EQ(TraceLevel, eZQ_TL_INFO);
    EXPECT_EQ(rktest::HandlerTexts().Count("LogSetLevel(): Invalid log level: L3.\n"), 1u);

    TraceSetLevel(eZqTraceLevel_LAST);
    EXPECT_EQ(TraceLevel, eZQ_TL_INFO);
    EXPECT_EQ(rktest::HandlerTexts().Count("TraceSetLevel(): Invalid trace level: L8.\n"), 1u);
    TraceSetLevel(eZQ_TL_EMERG);
    EXPECT_EQ(TraceLevel, eZQ_TL_EMERG);
}

TEST_F(TraceConfigTest, FieldSwitchesChangeOnlyTheirOwnBits) {
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID, eOS_BOOL_TRUE);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LINK_ID, eOS_BOOL_TRUE);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_ONU_ID, static_cast<eOsBool>(7));
    EXPECT_EQ(traceFieldBitMask, 13u);
    SetTraceFieldBitMask(eZQ_TRACE_FIELD_BIT_MASK_LINK_ID, eOS_BOOL_FALSE);
    EXPECT_EQ(traceFieldBitMask, 9u);
}

TEST_F(TraceConfigTest, FieldSwitchesSetFromSeveralThreadsLoseNoChange) {
    // Each thread turns its own switch on and off and checks it in between: a setter that wrote
    // back an old value of the others' switches would undo one of them.
    std::atomic<int> lost{0};
    std::vector<std::thread> setters;
    for (eZqTraceFieldBitMask field :
         {eZQ_TRACE_FIELD_BIT_MASK_LEVEL_AND_ID, eZQ_TRACE_FIELD_BIT_MASK_FILE_NAME_LINE,
          eZQ_TRACE_FIELD_BIT_MASK_LINK_ID, eZQ_TRACE_FIELD_BIT_MASK_ONU_ID}) {
        setters.emplace_back([field, &lost] {
            for (int i = 0; i < 20000; ++i) {
                SetTraceFieldBitMask(field, eOS_BOOL_TRUE);
                if ((__atomic_load_n(&traceFieldBitMask, __ATOMIC_RELAXED) & field) == 0) lost++;
                SetTraceFieldBitMask(field, eOS_BOOL_FALSE);
                if ((__atomic_load_n(&traceFieldBitMask, __ATOMIC_RELAXED) & field) != 0) lost++;
            }
            SetTraceFieldBitMask(field, eOS_BOOL_TRUE);
        });
    }
    for (std::thread &setter : setters) setter.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(traceFieldBitMask, 15u);
}

TEST_F(TraceConfigTest, InitTraceLeavesTheStartUpState) {
    TraceSetMask(eSVC_MODULE_ID_LOG, eZQ_CM_TM_API);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_TOD, eZQ_CM_TM_API);
    OnuTraceSetMask(3, 17);
    onuTraceBitMask[2][0][5].bitMask[3] = 0x10;
    SetDisplayMode(eOS_BOOL_TRUE, eOS_BOOL_TRUE);
    rktest::StartTrace();

    EXPECT_EQ(TraceMaskSum, 0u);
    EXPECT_EQ(CmTraceMaskSum, 0u);
    for (int module = 0; module < ZQ_TRACE_MODULE_NUM; ++module) EXPECT_EQ(TraceMasks[module], 0u);
    for (int module = 0; module < ZQ_CM_TRACE_MODULE_NUM; ++module)
        EXPECT_EQ(CmTraceMasks[module], 0u);
    EXPECT_EQ(LogLevel, eZQ_LL_CRITICAL);
    EXPECT_EQ(TraceLevel, eZQ_TL_ERR);
    EXPECT_EQ(traceFieldBitMask, 15u);
    EXPECT_EQ(ConsoleOutputModeB, eOS_BOOL_FALSE);
    EXPECT_EQ(OnuTraceGetMask(), 0u);
    EXPECT_EQ(OnuTraceMaskEnable, eOS_BOOL_FALSE);
    // Every ONU of slot 1, device 1, links 1..16 passes; every other bit is clear.
    for (int slot = 0; slot < ONU_TRACE_SLOT_NUM; ++slot)
        for (int device = 0; device < ONU_TRACE_DEVICE_NUM; ++device)
            for (int link = 0; link < ONU_TRACE_LINK_NUM; ++link) {
                bool open = slot == 1 && device == 1 && link >= 1 && link <= 16;
                for (uint32 word : onuTraceBitMask[slot][device][link].bitMask)
                    EXPECT_EQ(word, open ? 0xFFFFFFFFu : 0u) << slot << "/" << device << "/" << link;
            }
}

// The reset writes what was queued before it, then leaves the facility as before the first
// InitTrace: nothing queued, every setting at its first value, and a later InitTrace starts anew.
TEST_F(TraceConfigTest, ResetWritesTheBacklogThenLeavesTheFacilityAsAtProcessStart) {
    rktest::StartTrace();
    enablelog();
    OnuTraceSetMask(3, 17);
    OnuTraceSetMaskEnable(eOS_BOOL_TRUE);
    OnuTraceSetMaskEnable(eOS_BOOL_FALSE);
    for (int i = 0; i < 50; ++i) CriticalLog("backlog %d\n", i);
    ASSERT_TRUE(TraceResetForTest());
    EXPECT_EQ(rktest::SyslogLines().Count("backlog 49"), 1u) << "the queued records were written first";
    EXPECT_EQ(LogTraceInitDone, eOS_BOOL_FALSE);
    EXPECT_EQ(TraceMaskSum | CmTraceMaskSum | TraceDropCnt | traceFieldBitMask | OnuTraceGetMask(), 0u);
    EXPECT_EQ(TraceLevel, eZQ_TL_INFO);
    EXPECT_EQ(LogLevel, eZQ_LL_MAJOR);
    const uint32 blocks = MemAllocCnt;
    CriticalLog("after reset\n");
    EXPECT_EQ(MemAllocCnt, blocks) << "nothing is queued before InitTrace";
    rktest::StartTrace();
    rktest::DrainTraceQueue();
    EXPECT_TRUE(TraceResetForTest());
}

TEST_F(TraceConfigTest, DumpAfterInitTraceShowsErrAndCritical) {
    rktest::StartTrace();
    rktest::HandlerTexts().Clear();
    DumpLogLevelAndTraceLevel();
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              std::vector<std::string>{"Current: \nTraceLevel[ERR] \nLogLevel[CRITICAL] \n"});
}

TEST_F(TraceConfigTest, EnablelogSwitchesOnTheUsualModulesAndKeepsTheOthers) {
    rktest::StartTrace();
    TraceSetMask(eSVC_MODULE_ID_HEART_BEAT, eZQ_CM_TM_PDU_DUMP);
    TraceSetMask(eSVC_MODULE_ID_OMCI_MIB, eZQ_CM_TM_PDU_DUMP);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_TOD, eZQ_CM_TM_LOCK);
    CmTraceSetMask(eZQ_OLT_MAN_MODULE_DB, eZQ_CM_TM_LOCK);
    enablelog();

    EXPECT_EQ(LogLevel, eZQ_LL_MINOR);
    EXPECT_EQ(TraceLevel, eZQ_TL_DEBUG);
    const int on[] = {2,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                      22, 23, 24, 27, 28, 29, 30, 31, 32, 33, 34, 35};
    const int off[] = {1, 3, 4, 5, 6, 7, 8, 9, 25, 26};
    for (int module : on) EXPECT_EQ(TraceMasks[module], 63u) << module;
    for (int module : off) EXPECT_EQ(TraceMasks[module], 0u) << module;
    EXPECT_EQ(TraceMasks[eSVC_MODULE_ID_HEART_BEAT], eZQ_CM_TM_PDU_DUMP);
    for (int module : {0, 37, 38, 39}) EXPECT_EQ(TraceMasks[module], 0u) << module;
    const int cmOn[] = {1, 2, 4, 5, 7, 8, 9, 10, 11, 12};
    for (int module : cmOn) EXPECT_EQ(CmTraceMasks[module], 63u) << module;
    for (int module : {3, 6, 13, 14, 15, 16, 17, 18, 19, 20, 21})
        EXPECT_EQ(CmTraceMasks[module], 0u) << module;
    EXPECT_EQ(CmTraceMasks[eZQ_OLT_MAN_MODULE_TOD], eZQ_CM_TM_LOCK);
    EXPECT_EQ(TraceMaskSum, 63u | eZQ_CM_TM_PDU_DUMP);
    EXPECT_EQ(CmTraceMaskSum, 63u | eZQ_CM_TM_LOCK);

    disablelog();
    EXPECT_EQ(TraceMaskSum, 0u);
    EXPECT_EQ(CmTraceMaskSum, 0u);
    EXPECT_EQ(LogLevel, eZQ_LL_CRITICAL);
    EXPECT_EQ(TraceLevel, eZQ_TL_ERR);
}

TEST_F(TraceConfigTest, EnablelogAfterInitTraceGivesSums63) {
    rktest::StartTrace();
    enablelog();
    EXPECT_EQ(TraceMaskSum, 63u);
    EXPECT_EQ(CmTraceMaskSum, 63u);
    for (int module : {0, 36, 37, 38, 39}) EXPECT_EQ(TraceMasks[module], 0u) << module;
}

TEST_F(TraceConfigTest, DisablelogNeverWritesPastTheBitmapOnABoardWithManyLinks) {
    // 40 links per device: links 33..40 lie outside the bitmap and are refused one by one.
    zqSysLinkNumPerDev = 40;
    tZqOnuTraceMask masksBefore[ONU_TRACE_MASK_MAX];
    memcpy(masksBefore, OnuTraceMasks, sizeof masksBefore);
    disablelog();
    EXPECT_EQ(onuTraceBitMask[1][1][32].bitMask[7], 0xFFFFFFFFu);
    EXPECT_EQ(onuTraceBitMask[2][0][0].bitMask[0], 0u);
    EXPECT_EQ(memcmp(masksBefore, OnuTraceMasks, sizeof masksBefore), 0);
}

} // namespace
