// mem_test.cpp - accounted memory: the live counter, bad frees, hooks, size limits, allocation records.
#include <cstdlib>
#include <cstring>

#include "wrap_fixture.h"

namespace {
using namespace wraptest;

// A host allocator that counts its calls and keeps released blocks until the test ends, so that a
// second free of the same block reads memory that is still valid.
std::atomic<int> gAllocCalls{0}, gFreeCalls{0};
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

class MemTest : public WrapTest {
  protected:
    void SetUp() override {
        WrapTest::SetUp();
        gAllocCalls = 0;
        gFreeCalls = 0;
    }
    void TearDown() override {
        WrapTest::TearDown();
        for (void *p : gQuarantine) free(p);
        gQuarantine.clear();
    }
};

TEST_F(MemTest, CountFollowsLiveBlocksAndTheHookGetsItsOwnAddressBack) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    void *a = OsWrap__Alloc(10);
    void *b = OsWrap__Alloc(0);
    void *c = OsWrap__Alloc(20);
    OsWrap__Free(b);
    ShowMemAllocCnt();
    EXPECT_EQ(rktest::HandlerTexts().Texts(), Texts{"Memory Allocation Count 2.\n"});
    ASSERT_EQ(gQuarantine.size(), 1u);
    EXPECT_EQ(gQuarantine[0], static_cast<tMsgBlock *>(b) - 1);
    OsWrap__Free(a);
    OsWrap__Free(c);
    EXPECT_EQ(LiveBlocks(), 0);
    EXPECT_EQ(gAllocCalls.load(), 3);
}

TEST_F(MemTest, SecondFreeAndBlocksWithoutHeaderAreReportedAndLeftAlone) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    void *p = OsWrap__Alloc(16);
    OsWrap__Free(p);
    OsWrap__Free(p);
    static char area[64];
    memset(area, 0x5c, sizeof area);
    OsWrap__Free(area + 32);
    OsWrap__Free(nullptr);
    EXPECT_EQ(gFreeCalls.load(), 1);
    EXPECT_EQ(area[31], 0x5c); // nothing was written into the foreign buffer
    EXPECT_EQ(LiveBlocks(), 0);
    EXPECT_EQ(Reports(), (Texts{"MAJOR:OsWrap__Free(): Corrupted or Freed Memory " + Hex32(p) + "\n",
                                "MAJOR:OsWrap__Free(): Corrupted or Freed Memory " + Hex32(area + 32) + "\n",
                                "MAJOR:OsWrap__Free(): NULL memP.\n"}));
}

TEST_F(MemTest, FreeOfABlockThatIsNotLiveLeavesTheRecordsAlone) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    MemRecordStart(1);
    void *stale = OsWrap__Alloc(16);
    OsWrap__Free(stale);
    // The address is recorded again, as for a newer block that got it: a stale second free of the
    // old block must not take that record away.
    MemRecordAdd(stale, 32, Name("newer.c"), 7);
    OsWrap__Free(stale);
    MemRecordStart(0);
    EXPECT_EQ(Reports(), Texts{"MAJOR:OsWrap__Free(): Corrupted or Freed Memory " + Hex32(stale) + "\n"});
    MutexGuard guard(&MemRecordMutex);
    EXPECT_EQ(MemDebugRecord[0].inUseB, 1u);
    EXPECT_EQ(MemDebugRecord[0].memP, stale);
    EXPECT_EQ(MemDebugRecord[0].size, 32u);
}

TEST_F(MemTest, SizesBeyondThirtyTwoBitsAndAllocatorFailuresGiveNull) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
    EXPECT_EQ(OsWrap__Alloc(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(OsWrap__Alloc(0xFFFFFFE8u), nullptr); // size + header is exactly 2^32
    EXPECT_EQ(gAllocCalls.load(), 0);
    OsWrap__RegisterMemHandleFunc(FailingAlloc, nullptr);
    EXPECT_EQ(OsWrap__Alloc(100), nullptr);
    EXPECT_EQ(LiveBlocks(), 0);
    EXPECT_EQ(Reports(), (Texts{"MAJOR:OsWrap__Alloc(): malloc() failed: S-1.\n",
                                "MAJOR:OsWrap__Alloc(): malloc() failed: S-24.\n",
                                "MAJOR:OsWrap__Alloc(): malloc() failed: S100.\n"}));
}

TEST_F(MemTest, NullHooksMeanTheCLibrary) {
    OsWrap__RegisterMemHandleFunc(HostAlloc, nullptr);
    OsWrap__Free(OsWrap__Alloc(32)); // released by free(): a sanitizer build checks the pairing
    OsWrap__RegisterMemHandleFunc(nullptr, nullptr);
    OsWrap__Free(OsWrap__Alloc(1));
    EXPECT_EQ(gAllocCalls.load(), 1);
    EXPECT_EQ(gFreeCalls.load(), 0);
}

// A wrapper that was never started: these cases run in a fresh process.
TEST(MemInitTest, BeforeInitBlocksComeFromAndGoBackToTheCLibrary) {
    rktest::InAFreshProcess([] {
        void *blockP = OsWrap__Alloc(8); // a sanitizer build checks the malloc and free pairing
        ASSERT_NE(blockP, nullptr);
        EXPECT_EQ(MemAllocCnt, 1u);
        OsWrap__Free(blockP);
        EXPECT_EQ(MemAllocCnt, 0u);
    });
}

TEST(MemInitTest, HostAllocatorRegisteredBeforeInitIsReplacedByMalloc) {
    rktest::InAFreshProcess([] {
        OsWrap__RegisterMemHandleFunc(HostAlloc, HostFree);
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        OsWrap__Free(OsWrap__Alloc(8));
        EXPECT_EQ(gAllocCalls.load() + gFreeCalls.load(), 0);
    });
}

TEST_F(MemTest, CountStaysExactUnderConcurrentAllocationAndRelease) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            void *held[8] = {};
            for (int i = 0; i < 20000; ++i) {
                if (held[i % 8] != nullptr) OsWrap__Free(held[i % 8]);
                held[i % 8] = OsWrap__Alloc(static_cast<uint32>(i % 100));
            }
            for (void *p : held) OsWrap__Free(p);
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(MemTest, RecordTableFillsThenRefusesUntilARemoval) {
    MemRecordStart(1);
    std::vector<void *> blocks;
    for (int i = 0; i <= OS_MAX_MEM_RECORDS; ++i) blocks.push_back(OsWrap__Alloc(4));
    EXPECT_EQ(MemRecordFull, 1u);
    EXPECT_NE(MemDebugRecord[OS_MAX_MEM_RECORDS - 1].inUseB, 0u);
    OsWrap__Free(blocks[7]);
    EXPECT_EQ(MemRecordFull, 0u);
    blocks[7] = OsWrap__Alloc(44); // takes the slot just freed
    EXPECT_EQ(MemDebugRecord[7].memP, blocks[7]);
    EXPECT_EQ(MemDebugRecord[7].size, 44u);

    void *unrecorded = OsWrap__AllocExt(1, Name("x.c"), 1, 0); // cntType 0 takes no part
    for (void *p : blocks) OsWrap__Free(p);
    for (const tMemRecord &r : MemDebugRecord) ASSERT_EQ(r.inUseB, 0u);
    MemRecordStart(0);
    void *kept = OsWrap__Alloc(1);
    MemRecordStart(1);
    OsWrap__Free(kept); // not recorded, nothing to remove
    OsWrap__FreeExt(unrecorded, nullptr, 0, 0);
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(MemTest, DumpPrintsLiveRecordsWithShortenedFileNames) {
    MemRecordStart(1);
    void *a = OsWrap__AllocExt(12, Name("abcdefghijklmnopqrstuvwxyz0123"), 77, 1);
    void *b = OsWrap__AllocExt(3, nullptr, 5, 1);
    void *c = OsWrap__AllocExt(9, Name("short.c"), 9, 1);
    OsWrap__Free(b);
    MemRecordStart(0);
    OsWrap__Free(c); // freed while recording is off: its record stays
    rktest::HandlerTexts().Clear();
    MemRecordDump();
    const std::string stamp = MemDebugRecord[0].timeStamp;
    EXPECT_EQ(stamp.size(), 15u);
    EXPECT_EQ(stamp.substr(9, 1) + stamp.substr(12, 1), "::");
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              (Texts{"00000000, " + stamp + ", abcdefghijklmnopqrst:77, 12, " + Hex32(a) + "\n",
                     "00000002, " + std::string(MemDebugRecord[2].timeStamp) + ", short.c:9, 9, " + Hex32(c) + "\n"}));
    MemRecordClear();
    rktest::HandlerTexts().Clear();
    MemRecordDump();
    EXPECT_TRUE(rktest::HandlerTexts().Texts().empty());
    OsWrap__Free(a);
}

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
    ASSERT_EQ(OsWrap__SemCreate(Name("s"), 0, &sem), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueCreate(Name("q"), 0, &queue), eOS_RET_SUCCESS);
    MemRecordStart(1);
    void *recorded = OsWrap__Alloc(8);
    SvcSysInfoHandler = AllocatingHandler;
    std::atomic<bool> done{false};
    std::thread dumper([&] {
        ShowTaskCtrlBlock();
        ShowSemCtrlBlock();
        ShowQueueCtrlBlock();
        MemRecordDump();
        done = true;
    });
    if (!Eventually([&] { return done.load(); })) {
        ADD_FAILURE() << "a dump waits for the lock its own output needs";
        std::_Exit(1);
    }
    dumper.join();
    for (const char *header : {"Show Taks Control", "Show Semaphore Control", "Show Queue Control", ", 8, 0x"}) {
        EXPECT_EQ(rktest::HandlerTexts().Count(header), 1u) << header;
    }
    OsWrap__Free(recorded);
}

} // namespace
