// mem_test.cpp - accounted memory: the live counter, bad frees, hooks, size limits, allocation records.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace {

uint32 LiveBlocks() { return std::atomic_ref<uint32>(MemAllocCnt).load(); }

std::string Hex32(const void *p) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<uint32>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

// A host allocator that counts its calls and keeps released blocks until the test ends, so that a
// second free of the same block reads memory that is still valid.
std::atomic<int> gAllocCalls{0};
std::atomic<int> gFreeCalls{0};
std::vector<void *> gQuarantine;
void *HostAlloc(size_t size) {
    gAllocCalls++;
    return malloc(size);
}
void *FailingAlloc(size_t) { return nullptr; }
void HostFree(void *p) {
    gFreeCalls++;
    gQuarantine.push_back(p);
}

class MemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
        SvcSysInfoHandler = rktest::CaptureInfoHandler;
    }
    void TearDown() override {
        for (void *p : gQuarantine) free(p);
        gQuarantine.clear();
    }
};

TEST_F(MemTest, CountFollowsLiveBlocks) {
    void *a = OsWrap__Alloc(10);
    void *b = OsWrap__Alloc(20);
    void *c = OsWrap__Alloc(0);
    ASSERT_TRUE(a && b && c);
    OsWrap__Free(b);
    ShowMemAllocCnt();
    EXPECT_EQ(rktest::HandlerTexts().Texts(), std::vector<std::string>{"Memory Allocation Count 2.\n"});
    OsWrap__Free(a);
    OsWrap__Free(c);
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, BlockCarriesALiveHeaderAndIsFreedThroughTheHook) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    auto *p = static_cast<char *>(OsWrap__Alloc(5));
    const tMsgBlock *header = reinterpret_cast<const tMsgBlock *>(p) - 1;
    EXPECT_EQ(header->signature, static_cast<sint32>(OS_MSG_SIGNATURE_LIVE));
    memset(p, 0xab, 5); // the caller's bytes are its own
    OsWrap__Free(p);
    EXPECT_EQ(gFreeCalls.load(), 1);
    ASSERT_EQ(gQuarantine.size(), 1u);
    EXPECT_EQ(gQuarantine[0], header); // the hook gets the address it handed out
    EXPECT_EQ(header->signature, static_cast<sint32>(OS_MSG_SIGNATURE_FREED));
}

TEST_F(MemTest, SecondFreeIsReportedAndReleasesNothing) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    void *p = OsWrap__Alloc(16);
    void *keep = OsWrap__Alloc(16);
    OsWrap__Free(p);
    OsWrap__Free(p);
    EXPECT_EQ(gFreeCalls.load(), 1);
    EXPECT_EQ(LiveBlocks(), 1u);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:OsWrap__Free(): Corrupted or Freed Memory " + Hex32(p) + "\n"});
    OsWrap__Free(keep);
}

TEST_F(MemTest, BlockWithoutHeaderIsReportedAndLeftAlone) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    static char area[64];
    memset(area, 0x5c, sizeof area);
    OsWrap__Free(area + 32);
    EXPECT_EQ(gFreeCalls.load(), 0);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:OsWrap__Free(): Corrupted or Freed Memory " + Hex32(area + 32) + "\n"});
    EXPECT_EQ(area[31], 0x5c); // the header area was not written either

    OsWrap__Free(nullptr);
    EXPECT_EQ(rktest::LogReports().Count("MAJOR:OsWrap__Free(): NULL memP.\n"), 1u);
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, SizeWhoseHeaderWouldWrapIsRefusedWithoutCallingTheHook) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    for (uint32 size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFE8u}) {
        rktest::LogReports().Clear();
        EXPECT_EQ(OsWrap__Alloc(size), nullptr) << size;
        EXPECT_EQ(rktest::LogReports().Texts(),
                  std::vector<std::string>{"MAJOR:OsWrap__Alloc(): malloc() failed: S" +
                                           std::to_string(static_cast<int>(size)) + ".\n"});
    }
    EXPECT_EQ(gAllocCalls.load(), 0);
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, AllocatorFailureIsReportedAndCountsNothing) {
    OsWrap__RegisterMemHandleFunc(FailingAlloc, nullptr);
    EXPECT_EQ(OsWrap__Alloc(100), nullptr);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:OsWrap__Alloc(): malloc() failed: S100.\n"});
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, NullReleaseHookMeansFree) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, nullptr);
    void *p = OsWrap__Alloc(32);
    EXPECT_EQ(gAllocCalls.load(), 1);
    OsWrap__Free(p); // goes to free(): a sanitizer build would notice a wrong release
    EXPECT_EQ(gFreeCalls.load(), 0);
    OsWrap__RegisterMemHandleFunc(nullptr, nullptr);
    OsWrap__Free(OsWrap__Alloc(1));
    EXPECT_EQ(gAllocCalls.load(), 1);
}

TEST(MemInitTest, HostAllocatorRegisteredBeforeInitIsReplacedByMalloc) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    OsWrap__Free(OsWrap__Alloc(8));
    EXPECT_EQ(gAllocCalls.load(), 0);
    EXPECT_EQ(gFreeCalls.load(), 0);
}

TEST_F(MemTest, CountStaysExactUnderConcurrentAllocationAndRelease) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            void *held[8] = {};
            for (int i = 0; i < 20000; ++i) {
                void *&slot = held[i % 8];
                if (slot != nullptr) OsWrap__Free(slot);
                slot = OsWrap__Alloc(static_cast<uint32>(i % 100));
            }
            for (void *p : held) OsWrap__Free(p);
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, RecordTableFillsThenRefusesUntilARemoval) {
    MemRecordStart(1);
    std::vector<void *> blocks;
    for (int i = 0; i <= OS_MAX_MEM_RECORDS; ++i) blocks.push_back(OsWrap__Alloc(4));
    int inUse = 0;
    for (const tMemRecord &r : MemDebugRecord) inUse += r.inUseB != 0;
    EXPECT_EQ(inUse, OS_MAX_MEM_RECORDS);
    EXPECT_EQ(MemRecordFull, 1u);

    // Freeing a recorded block clears the flag; the next allocation takes the freed slot.
    OsWrap__Free(blocks[7]);
    EXPECT_EQ(MemRecordFull, 0u);
    EXPECT_EQ(MemDebugRecord[7].inUseB, 0u);
    blocks[7] = OsWrap__Alloc(44);
    EXPECT_EQ(MemDebugRecord[7].inUseB, 1u);
    EXPECT_EQ(MemDebugRecord[7].memP, blocks[7]);
    EXPECT_EQ(MemDebugRecord[7].size, 44u);

    for (void *p : blocks) OsWrap__Free(p);
    for (const tMemRecord &r : MemDebugRecord) ASSERT_EQ(r.inUseB, 0u);
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, RecordsSurviveWhileRecordingIsOffAndClearEmptiesThem) {
    MemRecordStart(1);
    void *a = OsWrap__Alloc(1);
    void *unrecorded = OsWrap__AllocExt(1, const_cast<char *>("x.c"), 1, 0); // cntType 0
    EXPECT_EQ(MemDebugRecord[1].inUseB, 0u);
    MemRecordStart(0);
    OsWrap__Free(a);
    EXPECT_EQ(MemDebugRecord[0].inUseB, 1u); // freed while off: the record stays
    MemRecordClear();
    EXPECT_EQ(MemDebugRecord[0].inUseB, 0u);
    EXPECT_EQ(MemRecordFull, 0u);
    OsWrap__FreeExt(unrecorded, nullptr, 0, 0);
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(MemTest, DumpPrintsEachLiveRecordWithAShortenedFileName) {
    MemRecordStart(1);
    void *a = OsWrap__AllocExt(12, const_cast<char *>("abcdefghijklmnopqrstuvwxyz0123"), 77, 1);
    void *b = OsWrap__AllocExt(3, nullptr, 5, 1);
    void *c = OsWrap__AllocExt(9, const_cast<char *>("short.c"), 9, 1);
    OsWrap__Free(b);
    rktest::HandlerTexts().Clear();
    MemRecordDump();
    const auto texts = rktest::HandlerTexts().Texts();
    ASSERT_EQ(texts.size(), 2u);
    const std::string stamp = MemDebugRecord[0].timeStamp;
    EXPECT_EQ(stamp.size(), 15u);
    EXPECT_EQ(stamp[6], ' ');
    EXPECT_EQ(stamp[9], ':');
    EXPECT_EQ(texts[0], "00000000, " + stamp + ", abcdefghijklmnopqrst:77, 12, " + Hex32(a) + "\n");
    EXPECT_EQ(texts[1], "00000002, " + std::string(MemDebugRecord[2].timeStamp) + ", short.c:9, 9, " + Hex32(c) + "\n");
    OsWrap__Free(a);
    OsWrap__Free(c);
}

} // namespace

namespace {

// An information handler that allocates, as a trace record about a failed CLI send does: with
// recording on, each allocation takes the task table mutex.
void AllocatingHandler(char *textP) {
    void *p = OsWrap__Alloc(16);
    rktest::HandlerTexts().Add(textP);
    OsWrap__Free(p);
}

TEST_F(MemTest, DumpsPrintWithoutHoldingTheLockTheirOutputNeeds) {
    tOsSemId sem = 0;
    tOsQueueId queue = 0;
    ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("s"), 0, &sem), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 0, &queue), eOS_RET_SUCCESS);
    MemRecordStart(1);
    void *recorded = OsWrap__Alloc(8);
    SvcSysInfoHandler = AllocatingHandler;

    std::atomic<bool> done{false};
    std::thread dumper([&] {
        ShowTaskCtrlBlock();
        ShowSemCtrlBlock();
        ShowQueueCtrlBlock();
        MemRecordDump();
        ShowMemAllocCnt();
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!done) {
        ADD_FAILURE() << "a dump waits for the lock its own output needs";
        std::_Exit(1);
    }
    dumper.join();
    EXPECT_EQ(rktest::HandlerTexts().Count("Show Taks Control Block"), 1u);
    EXPECT_EQ(rktest::HandlerTexts().Count("Show Semaphore Control Block"), 1u);
    EXPECT_EQ(rktest::HandlerTexts().Count("Show Queue Control Block"), 1u);
    EXPECT_EQ(rktest::HandlerTexts().Count(", 8, 0x"), 1u);
    SvcSysInfoHandler = rktest::CaptureInfoHandler;
    OsWrap__Free(recorded);
    EXPECT_EQ(LiveBlocks(), 0u);
}

} // namespace
