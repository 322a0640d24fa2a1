// alloc_failure_test.cpp - an allocator hook that refuses every Nth allocation, driven through the
// queues, service messages, trace records, conveyor-belt timers and the CM receive paths: nothing
// crashes, every refusal is reported as designed, and the live-block count agrees with the hook's.
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "cm_fixture.h"
#include "svcinternal.h"
#include "svcmsg.h"
#include "svctick.h"
#include "timerdef.h"
#include "wrap_fixture.h"

namespace {

using namespace cmtest;
using rktest::Eventually;

// The host's allocator: while armed it refuses every Nth call; it counts the blocks it handed out
// and has not yet taken back.
std::atomic<uint32_t> failEvery{0}, allocCalls{0}, refused{0};
std::atomic<long> hookLive{0};

void *FailingAlloc(size_t size) {
    const uint32_t every = failEvery.load();
    if (every != 0 && ++allocCalls % every == 0) {
        ++refused;
        return nullptr;
    }
    void *p = malloc(size);
    if (p != nullptr) ++hookLive;
    return p;
}
void CountingFree(void *p) {
    --hookLive;
    free(p);
}

using rktest::LiveBlocks;
size_t Reported(const std::string &text) { return rktest::LogReports().Count(text); }

// The host with its trace task and a loopback OLT manager; the hook goes in once nothing is live,
// so that every block freed through it was handed out by it.
class AllocFailureTest : public CmTest, public ::testing::WithParamInterface<uint32_t> {
  protected:
    void SetUp() override {
        CmTest::SetUp();
        rktest::CaptureLogReports();
        rktest::QuiesceTrace();
        ASSERT_TRUE(rktest::WaitForNoLiveBlocks());
        allocCalls = 0, refused = 0, hookLive = 0; // each case counts its own
        OsWrap__RegisterMemHandleFunc(FailingAlloc, CountingFree);
        rktest::LogReports().Clear();
        failEvery = GetParam();
    }
    // Stops refusing, and gives back what the service layer keeps for the test thread (its tick,
    // its registrations and its belts) before the channel and the trace task end.
    void TearDown() override {
        failEvery = 0;
        SvcTaskEnded();
        SvcTimerTestReset();
        CmTest::TearDown();
    }
    // Stops refusing, lets the trace task write what is queued, and checks that every refusal was
    // reported and that the library's count and the hook's agree on the blocks still live.
    void ExpectAccounted(long stillLive) {
        failEvery = 0;
        rktest::QuiesceTrace();
        // A record queued by another task just now is freed by the trace task in a moment.
        Eventually([&] { return LiveBlocks() == stillLive && hookLive == stillLive; });
        EXPECT_EQ(Reported("MAJOR:OsWrap__Alloc(): malloc() failed: S"), refused.load());
        EXPECT_EQ(LiveBlocks(), stillLive);
        EXPECT_EQ(hookLive.load(), LiveBlocks());
        EXPECT_TRUE(GetParam() != 1 || refused > 0);
    }
};

INSTANTIATE_TEST_SUITE_P(EveryNth, AllocFailureTest, ::testing::Values(1u, 2u, 3u, 7u, 100u),
                         [](const auto &info) { return "N" + std::to_string(info.param); });

// Accounted messages and foreign buffers (which need a link block) in one queue: a refused block
// is never sent, a refused link block makes the send say eOS_RET_NO_RESOURCE, and what was sent
// arrives whole and in order; a deletion frees what the queue still holds.
TEST_P(AllocFailureTest, QueuesDeliverWhatWasSentAndRefuseTheRest) {
    tOsQueueId q = 0;
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("faultq"), 10, &q), eOS_RET_SUCCESS);
    // Buffers that are not the wrapper's, with room for the header the send looks at in front.
    static struct {
        tMsgBlock room;
        uint32 value;
    } foreign[60];
    std::vector<uint32> sent;
    size_t nullBlocks = 0, noLinkBlock = 0;
    for (uint32 i = 0; i < 60; ++i) {
        uint32 *p = &foreign[i].value;
        if (i % 3 != 0) {
            p = static_cast<uint32 *>(OsWrap__Alloc(sizeof(uint32) + i));
            if (p == nullptr) {
                ++nullBlocks;
                continue;
            }
        }
        *p = i;
        const eOsRet rc = OsWrap__QueueSend(q, p);
        if (rc == eOS_RET_SUCCESS) {
            sent.push_back(i);
        } else {
            EXPECT_EQ(i % 3, 0u) << "an accounted block needs no allocation to travel";
            EXPECT_EQ(rc, eOS_RET_NO_RESOURCE);
            ++noLinkBlock;
        }
    }
    EXPECT_EQ(nullBlocks + noLinkBlock, refused.load());
    EXPECT_EQ(Reported("MAJOR:OsWrap__Alloc() failed for tMsgBlock: Q" + std::to_string(q)), noLinkBlock);
    for (uint32 expected : sent) {
        tOsMsg msg = nullptr;
        ASSERT_EQ(OsWrap__QueueRcv(q, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
        EXPECT_EQ(*static_cast<uint32 *>(msg), expected);
        if (expected % 3 != 0) OsWrap__Free(msg);
    }
    tOsMsg none = nullptr;
    EXPECT_EQ(OsWrap__QueueRcv(q, &none, OS_WAIT_NO), eOS_RET_AGAIN);
    for (uint32 i = 0; i < 20; ++i) {
        void *p = i % 2 ? OsWrap__Alloc(8) : static_cast<void *>(&foreign[i].value);
        if (p != nullptr) OsWrap__QueueSend(q, p);
    }
    EXPECT_EQ(OsWrap__QueueDelete(q), eOS_RET_SUCCESS);
    ExpectAccounted(0);
}

// A refused service message is reported by SvcMsgAlloc; every message allocated is routed,
// received with its payload and freed.
TEST_P(AllocFailureTest, ServiceMessagesThatWereAllocatedAllArrive) {
    tOsQueueId q = 0;
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("svcq"), 10, &q), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_INVALID, q), eOS_RET_SUCCESS);
    std::vector<uint16> sent;
    for (uint16 i = 0; i < 50; ++i) {
        tSvcMsg *msgP = SvcMsgAlloc(static_cast<uint16>(4 + i * 100));
        if (msgP == nullptr) continue;
        SvcMsgSetDstModuleId(msgP, eSVC_MODULE_ID_ALARM);
        SvcMsgSetMsgType(msgP, i);
        ASSERT_EQ(SvcMsgSend(msgP), eOS_RET_SUCCESS);
        sent.push_back(i);
    }
    EXPECT_EQ(Reported("MAJOR:SvcMsgAlloc(): SvcAlloc() failed: S"), 50 - sent.size());
    EXPECT_EQ(Reported("MAJOR:OsWrap__Alloc(): malloc() failed: S"), 50 - sent.size());
    for (uint16 expected : sent) {
        tSvcMsg *msgP = nullptr;
        ASSERT_EQ(SvcMsgRcv(q, &msgP, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
        EXPECT_EQ(SvcMsgGetMsgType(msgP), expected);
        EXPECT_EQ(SvcMsgGetDataLength(msgP), 4 + expected * 100);
        SvcMsgFree(msgP);
    }
    ExpectAccounted(0);
}

// A record whose block is refused is dropped, silently for the writer, and counted; the others
// are written by the trace task in order, and it frees each one; its summaries add up to the
// refusals.
TEST_P(AllocFailureTest, TraceRecordsWithoutABlockAreDroppedCountedAndTheRestWrittenInOrder) {
    for (int i = 0; i < 60; ++i) CriticalLog("fault-record-%03d\n", i);
    ExpectAccounted(0);
    EXPECT_EQ(__atomic_load_n(&TraceDropCnt, __ATOMIC_RELAXED), refused.load());
    EXPECT_TRUE(Eventually([] { return rktest::SummarisedDrops(rktest::SyslogLines()) == refused; }))
        << rktest::SummarisedDrops(rktest::SyslogLines()) << " summarised, " << refused << " refused";
    std::vector<int> written;
    for (const std::string &line : rktest::SyslogLines().Texts()) {
        size_t at = line.find("fault-record-");
        if (at != std::string::npos) written.push_back(std::stoi(line.substr(at + 13, 3)));
    }
    EXPECT_EQ(written.size(), 60 - refused.load());
    EXPECT_TRUE(std::is_sorted(written.begin(), written.end()));
}

// Belt initialisation refuses with eOS_RET_NO_RESOURCE and keeps nothing when a belt is refused; a
// refused timer block makes SvcTimerStart give null; every timer started fires exactly once and
// its block is freed; the belts are what stays.
int timerFired[40];
void CountFiring(void *userInfoP) { ++timerFired[reinterpret_cast<intptr_t>(userInfoP)]; }

TEST_P(AllocFailureTest, BeltTimersInitialiseOrRefuseWholeAndEveryStartedTimerFiresOnce) {
    constexpr eSvcTaskName kTask = eSVC_TASK_NAME_OMCI;
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_OMCI_ME, kTask, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    eOsRet init = eOS_RET_NO_RESOURCE;
    int refusedInits = 0;
    for (int attempt = 0; attempt < 4 && init == eOS_RET_NO_RESOURCE; ++attempt) {
        init = SvcTimerInit(kTask, 50, 100, 10000);
        if (init == eOS_RET_NO_RESOURCE) ++refusedInits;
    }
    EXPECT_EQ(Reported("SvcTimerInit(): SvcAlloc() failed for"), static_cast<size_t>(refusedInits));
    EXPECT_EQ(LiveBlocks(), init == eOS_RET_SUCCESS ? 2 : 0) << "a refused initialisation keeps no belt";
    if (init != eOS_RET_SUCCESS) {
        EXPECT_LE(GetParam(), 2u); // the second belt is always the refused one
        EXPECT_EQ(SvcTickGetTaskTmcb()->callback, nullptr) << "no tick without belts";
        const uint32_t every = failEvery.exchange(0);
        ASSERT_EQ(SvcTimerInit(kTask, 50, 100, 10000), eOS_RET_SUCCESS);
        failEvery = every;
    }
    std::vector<tSvcTimerId> periodic;
    size_t refusedStarts = 0;
    for (intptr_t i = 0; i < 40; ++i) {
        const eOsBool isPeriodic = i % 4 == 0 ? eOS_BOOL_TRUE : eOS_BOOL_FALSE;
        tSvcTimerId id = SvcTimerStart(eSVC_MODULE_ID_OMCI_ME, 100 + 250 * i, isPeriodic, CountFiring,
                                       reinterpret_cast<void *>(i));
        timerFired[i] = id == nullptr ? -1 : 0; // -1: never started
        refusedStarts += id == nullptr;
        if (id != nullptr && isPeriodic) periodic.push_back(id);
    }
    EXPECT_EQ(Reported("MAJOR:SvcTimerStart(): SvcAlloc() failed for timer block"), refusedStarts);
    for (int tick = 0; tick < 212; ++tick) SvcTimerTick(reinterpret_cast<void *>(kTask));
    for (intptr_t i = 0; i < 40; ++i)
        EXPECT_TRUE(timerFired[i] < 0 || (i % 4 == 0 ? timerFired[i] >= 1 : timerFired[i] == 1)) << "timer " << i;
    for (tSvcTimerId id : periodic) SvcTimerStop(eSVC_MODULE_ID_OMCI_ME, id);
    for (int tick = 0; tick < 212; ++tick) SvcTimerTick(reinterpret_cast<void *>(kTask));
    ExpectAccounted(2);
}

// The receive task dispatches every answer to its callback and the alarm task every alarm to the
// handler, while the records the dispatch writes (failed callbacks, unknown messages) lose their
// blocks.
std::atomic<int> answers{0}, alarms{0};
eOsRet FailingAnswer(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, void *, eOsRet) {
    ++answers;
    return eOS_RET_FAILURE;
}
eOsRet FailingDelete(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, eOsRet) { return eOS_RET_FAILURE; }
eOsRet FailingCount(uint16, eZqCmApiResType, eZqCmApiResId, sint16) { return eOS_RET_FAILURE; }

TEST_P(AllocFailureTest, CmReceivePathsDeliverEveryAnswerAndAlarmWhileTheirRecordsLoseBlocks) {
    answers = 0, alarms = 0;
    StartChannel();
    tZqCmApiCallback table = {FailingAnswer, FailingDelete, FailingAnswer, FailingAnswer, FailingAnswer,
                              FailingAnswer, FailingAnswer, FailingAnswer, FailingCount, nullptr, nullptr};
    ASSERT_EQ(ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table), eOS_RET_SUCCESS);
    ASSERT_EQ(itCmApi__RegisterAlarmHandler([](uZqCmMsg *) { return ++alarms, eOS_RET_SUCCESS; }), eOS_RET_SUCCESS);
    Bytes unknown(1640, 0), alarm(1640, 0);
    SetField<uint32_t>(unknown, kMsgType, 99);
    SetField<uint32_t>(alarm, kMsgType, eZQ_CM_MSG_TYPE_ALM);
    for (uint16_t tid = 0; tid < 30; ++tid) {
        uZqCmRes record = {};
        ASSERT_EQ(ZqCmApi__GetReq(tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
                  eOS_RET_SUCCESS);
        ASSERT_TRUE(peer_.SendTo(extEntityReqRspUdpPort, unknown.data(), unknown.size()));
        ASSERT_TRUE(peer_.SendTo(extEntityAlarmUdpPort, alarm.data(), alarm.size()));
    }
    EXPECT_TRUE(Eventually([] { return answers == 30 && alarms == 30; })) << answers << " answers, " << alarms << " alarms";
    ExpectAccounted(0);
}

} // namespace
