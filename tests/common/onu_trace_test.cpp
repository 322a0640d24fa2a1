// onu_trace_test.cpp - the per-ONU bitmap, the ONU text filter settings and the ONU log wrappers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "trace_support.h"
#include "zqsysconfig.h"

namespace {

using rktest::WaitForText;

class OnuTraceTest : public ::testing::Test {
  protected:
    void TearDown() override { rktest::EndTrace(); }
    void SetUp() override {
        rktest::StartTrace();
        // Invalid addresses are reported at warning level.
        TraceSetLevel(eZQ_TL_WARNING);
    }

    static void ExpectBitmapUnchangedBy(void (*change)()) {
        static tZqOnuTraceBitMask before[ONU_TRACE_SLOT_NUM][ONU_TRACE_DEVICE_NUM][ONU_TRACE_LINK_NUM];
        memcpy(before, onuTraceBitMask, sizeof before);
        change();
        EXPECT_EQ(memcmp(before, onuTraceBitMask, sizeof before), 0);
    }
};

TEST_F(OnuTraceTest, EachOnuHasItsOwnBit) {
    DisableLinkAllOnuTrace(1, 1, 3);
    struct {
        uint16 onuId;
        int word;
        uint32 bit;
    } const cases[] = {{1, 0, 1u << 0}, {32, 0, 1u << 31}, {33, 1, 1u << 0}, {256, 7, 1u << 31}};
    for (const auto &c : cases) {
        EnableOnuTrace(1, 1, 3, c.onuId);
        for (int word = 0; word < ONU_TRACE_BIT_MASK_NUMBER; ++word)
            EXPECT_EQ(onuTraceBitMask[1][1][3].bitMask[word], word == c.word ? c.bit : 0u)
                << "ONU " << c.onuId << " word " << word;
        DisableOnuTrace(1, 1, 3, c.onuId);
        for (uint32 word : onuTraceBitMask[1][1][3].bitMask) EXPECT_EQ(word, 0u);
    }
}

TEST_F(OnuTraceTest, InvalidAddressesAreReportedAndChangeNothing) {
    ExpectBitmapUnchangedBy([] {
        EnableOnuTrace(1, 1, 3, 257);
        EnableOnuTrace(1, 1, 17, 1);
        EnableOnuTrace(3, 1, 3, 1);
        EnableOnuTrace(1, 1, 3, 0);
        EnableOnuTrace(1, 2, 3, 1);
        DisableOnuTrace(2, 255, 3, 1);
        DisableOnuTrace(1, 1, 3, 0);
    });
    for (const char *text : {"Invalid Key SlotId 1, LinkId 3 OnuId 257", "Invalid Key SlotId 1, LinkId 17 OnuId 1",
                             "Invalid Key SlotId 3, LinkId 3 OnuId 1", "Invalid Key SlotId 1, LinkId 3 OnuId 0"})
        EXPECT_NE(WaitForText(rktest::BllLines(), text).find(":[LOG]:[WARNING]:"), std::string::npos) << text;
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("Invalid Key SlotId 1, LinkId 3 OnuId 1"), 1u);
    EXPECT_EQ(rktest::BllLines().Count("Invalid Key SlotId 1, LinkId 3 OnuId 0"), 2u);
}

TEST_F(OnuTraceTest, LinksPastTheBitmapAreInvalidWhateverTheBoardSays) {
    zqSysLinkNumPerDev = 64;
    ExpectBitmapUnchangedBy([] {
        EnableOnuTrace(2, 1, 33, 1);
        EnableOnuTrace(2, 1, 255, 256);
        EnableLinkAllOnuTrace(2, 1, 33);
        EnableLinkAllOnuTrace(0, 2, 1);
        DisableLinkAllOnuTrace(3, 0, 0);
    });
    EXPECT_TRUE(rktest::BllLines().WaitFor("Invalid Key SlotId 2, LinkId 255 OnuId 256"));
    EXPECT_TRUE(rktest::BllLines().WaitFor("It's not a valid LinkId S:2D:1L:33."));
    EXPECT_TRUE(rktest::BllLines().WaitFor("It's not a valid LinkId S:0D:2L:1."));
    EXPECT_TRUE(rktest::BllLines().WaitFor("It's not a valid LinkId S:3D:0L:0."));
    EnableOnuTrace(2, 1, 32, 256);
    EXPECT_EQ(onuTraceBitMask[2][1][32].bitMask[7], 0x80000000u);
}

TEST_F(OnuTraceTest, IsOnuTraceEnableMapsThePonNumberToSlotAndMibLink) {
    // The test host maps hardware link n to MIB link n.
    DisableLinkAllOnuTrace(1, 1, 0);
    DisableLinkAllOnuTrace(1, 1, 3);
    EnableOnuTrace(1, 1, 3, 40);
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{3, 40}), eOS_BOOL_TRUE);
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{3, 41}), eOS_BOOL_FALSE);
    // Device index 1 whatever device the PON number falls in: ponId 16 is slot 2, link 0.
    EnableOnuTrace(2, 1, 0, 7);
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{16, 7}), eOS_BOOL_TRUE);
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{0, 7}), eOS_BOOL_FALSE);
    // ONU 0 reads the bit of ONU 1.
    EnableOnuTrace(1, 1, 0, 1);
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{0, 0}), eOS_BOOL_TRUE);
    // ponId 48 is slot 4: reported, FALSE.
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{48, 1}), eOS_BOOL_FALSE);
    EXPECT_TRUE(rktest::BllLines().WaitFor("Invalid Key SlotId 4, LinkId 0 OnuId 1"));
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{3, 300}), eOS_BOOL_FALSE);
    EXPECT_TRUE(rktest::BllLines().WaitFor("Invalid Key SlotId 1, LinkId 3 OnuId 300"));
}

TEST_F(OnuTraceTest, IsOnuTraceEnableSurvivesABoardWithoutLinks) {
    zqSysLinkNumPerDev = 0;
    EXPECT_EQ(IsOnuTraceEnable(tZqOnuId{5, 1}), eOS_BOOL_FALSE);
    OnuOmciCritical((tZqOnuId{5, 1}), "no links\n");
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("no links"), 0u);
}

// ---- ONU log wrappers ---------------------------------------------------------------------------

TEST_F(OnuTraceTest, MgrWrapperPrintsLinkAndOnuAndKeepsPercentSigns) {
    uint32 line = __LINE__ + 1;
    OnuMgrCritical(1, 1, 3, 17, "%s at %d%%\n", "50% done", 5);
    std::string record = WaitForText(rktest::BllLines(), "50% done");
    std::string tail = std::string("[") + __FILE__ + ":" + std::to_string(line) +
                       ":TestBody()]:[1,1,3]:[17]: 50% done at 5%";
    ASSERT_GE(record.size(), tail.size()) << record;
    EXPECT_EQ(record.substr(record.size() - tail.size()), tail) << record;
    EXPECT_NE(record.find("]:[LOG]:[ERR]:[TID"), std::string::npos) << record;
}

TEST_F(OnuTraceTest, LevelWrappersPassTheBitmapAndTheLevel) {
    LogSetLevel(eZQ_LL_MAJOR); // trace level WARNING
    DisableOnuTrace(1, 1, 2, 9);
    OnuMgrMinorLog(1, 1, 2, 8, "mgr minor\n");
    OnuMgrMajorLog(1, 1, 2, 8, "mgr major\n");
    OnuMgrCritical(1, 1, 2, 9, "mgr critical, bit clear\n");
    OnuOmciMinorLog((tZqOnuId{2, 8}), "omci minor\n");
    OnuOmciMajorLog((tZqOnuId{2, 8}), "omci major\n");
    OnuOmciCritical((tZqOnuId{2, 9}), "omci critical, bit clear\n");
    OnuOmciCritical((tZqOnuId{18, 8}), "omci critical, slot 2\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "mgr major").find(":[LOG]:[WARNING]:"), std::string::npos);
    EXPECT_NE(WaitForText(rktest::BllLines(), "omci major").find("]:[1,1,2]:[8]: omci major"),
              std::string::npos);
    rktest::DrainTraceQueue();
    for (const char *dropped : {"mgr minor", "omci minor", "bit clear", "omci critical, slot 2"})
        EXPECT_EQ(rktest::BllLines().Count(dropped), 0u) << dropped;
    // The same ONU of slot 2 passes once its bit is set.
    EnableOnuTrace(2, 1, 2, 8);
    OnuOmciCritical((tZqOnuId{18, 8}), "slot 2 open\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "slot 2 open").find("]:[2,1,2]:[8]: slot 2 open"),
              std::string::npos);
}

TEST_F(OnuTraceTest, TraceWrappersWriteNothingWhileTheSumIsZero) {
    OnuOmciTrace(eSVC_MODULE_ID_PAL, (tZqOnuId{1, 1}), "omci trace off\n");
    OnuMgrTrace(1, 1, 1, 1, "mgr trace off\n");
    OnuMgrTracelog(eSVC_MODULE_ID_PAL, 1, 1, 1, 1, "mgr tracelog off\n");
    OnuOmciCritical((tZqOnuId{1, 1}), "critical unguarded\n");
    EXPECT_TRUE(rktest::BllLines().WaitFor("critical unguarded"));
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("trace off"), 0u);
    EXPECT_EQ(rktest::BllLines().Count("tracelog off"), 0u);

    TraceSetMask(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API);
    OnuOmciTrace(eSVC_MODULE_ID_PAL, (tZqOnuId{1, 1}), "omci trace on\n");
    OnuMgrTracelog(eSVC_MODULE_ID_PAL, 1, 1, 1, 1, "mgr tracelog on\n");
    // OnuMgrTrace writes for module SVCT, whose mask is still 0.
    OnuMgrTrace(1, 1, 1, 1, "mgr trace svct\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "omci trace on").find(":[PAL]:[INFO]:"), std::string::npos);
    EXPECT_NE(WaitForText(rktest::BllLines(), "mgr tracelog on").find("]:[1,1,1]:[1]: mgr tracelog on"),
              std::string::npos);
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("mgr trace svct"), 0u);
    TraceSetMask(eSVC_MODULE_ID_SVCT, eZQ_CM_TM_API);
    OnuMgrTrace(1, 1, 1, 1, "svct on\n");
    EXPECT_NE(WaitForText(rktest::BllLines(), "svct on").find(":[SVCT]:[INFO]:"), std::string::npos);
}

TEST_F(OnuTraceTest, TraceWrappersDropModulesOutsideTheTableAsACHostPassesThem) {
    TraceSetMask(eSVC_MODULE_ID_PAL, eZQ_CM_TM_API);
    uint32 outside = 200;
    eSvcModuleId moduleId;
    memcpy(&moduleId, &outside, sizeof moduleId);
    OnuOmciTrace(moduleId, (tZqOnuId{1, 1}), "module 200 omci\n");
    OnuMgrTracelog(moduleId, 1, 1, 1, 1, "module 200 mgr\n");
    rktest::DrainTraceQueue();
    EXPECT_EQ(rktest::BllLines().Count("module 200"), 0u);
}

TEST_F(OnuTraceTest, WrapperTextIsCutToItsBuffer) {
    std::string text(700, 'w');
    OnuMgrCritical(1, 1, 1, 1, "%s\n", text.c_str());
    std::string record = WaitForText(rktest::SyslogLines(), "[1,1,1]:[1]: www");
    EXPECT_EQ(record.size(), 511u);
}

} // namespace
