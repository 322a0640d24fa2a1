// sem_test.cpp - counting semaphores: ids, table limit, the time-out modes, waiters and bad ids.
#include "wrap_fixture.h"

namespace {
using namespace wraptest;

class SemTest : public WrapTest {
  protected:
    static tOsSemId Create(uint16 count = 0, const char *name = "sem") {
        tOsSemId id = OS_SEM_ID_INVALID;
        EXPECT_EQ(OsWrap__SemCreate(Name(name), count, &id), eOS_RET_SUCCESS);
        return id;
    }
};

TEST_F(SemTest, TableHoldsEveryIdLowestFreeFirstAndRefusesOneMore) {
    for (uint32 expected = 1; expected <= OS_MAX_SEMAPHORES; ++expected) ASSERT_EQ(Create(), expected);
    tOsSemId id = 77;
    EXPECT_EQ(OsWrap__SemCreate(Name("over"), 0, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(Reports(), Texts{"CRITICAL:OsWrap__SemCreate(): Reached maximum semaphore limit: 44960.\n"});
    // Holes anywhere, the last word of the id map included, are filled lowest first.
    for (tOsSemId hole : {44960u, 20001u, 1u}) ASSERT_EQ(OsWrap__SemDelete(hole), eOS_RET_SUCCESS);
    EXPECT_EQ(Create(), 1u);
    EXPECT_EQ(Create(), 20001u);
    EXPECT_EQ(Create(), 44960u);
    rktest::LogReports().Clear();
    EXPECT_EQ(OsWrap__SemCreate(nullptr, 0, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(OsWrap__SemDelete(2), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemCreate(Name("lost"), 0, nullptr), eOS_RET_INVALID_ARG); // takes no id
    EXPECT_EQ(Create(), 2u);
    EXPECT_EQ(Reports(), (Texts{"CRITICAL:OsWrap__SemCreate(): NULL nameP.\n",
                                "CRITICAL:OsWrap__SemCreate(): NULL semIdP.\n"}));
}

TEST_F(SemTest, EachTimeoutModeOnAnEmptyAndAFilledSemaphore) {
    const tOsSemId id = Create(2);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(id, -5), eOS_RET_SUCCESS); // a unit is taken whatever the time-out
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_AGAIN);

    auto start = Clock::now();
    EXPECT_EQ(OsWrap__SemWait(id, -5), eOS_RET_TIME_OUT); // the deadline is already past
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    start = Clock::now();
    EXPECT_EQ(OsWrap__SemWait(id, 100), eOS_RET_TIME_OUT);
    EXPECT_GE(Clock::now() - start, milliseconds(95));
    EXPECT_TRUE(Reports().empty()); // ordinary outcomes are not reported
}

TEST_F(SemTest, WaitersWakeOnReleaseAndNoUnitIsLostOrDuplicated) {
    const tOsSemId id = Create();
    std::atomic<int> taken{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] { taken += OsWrap__SemWait(id, OS_WAIT_FOREVER) == eOS_RET_SUCCESS; });
    threads.emplace_back([&] { taken += OsWrap__SemWait(id, 60000) == eOS_RET_SUCCESS; });
    ASSERT_TRUE(Eventually([&] { return Waiters(id) == 2; }));
    OsWrap__SemRelease(id);
    OsWrap__SemRelease(id);
    for (auto &t : threads) t.join();
    threads.clear();
    EXPECT_EQ(taken.exchange(0), 2);

    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) OsWrap__SemRelease(id);
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) taken += OsWrap__SemWait(id, 10000) == eOS_RET_SUCCESS;
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(taken.load(), 15000);
    EXPECT_EQ(OsWrap__SemWait(id, OS_WAIT_NO), eOS_RET_AGAIN);
}

TEST_F(SemTest, WaiterThatDrainsAndDeletesIsRacedByNoReleaser) {
    // Every round makes the same id again; a releaser still touching the old semaphore after its
    // release would meet the new one (a race ThreadSanitizer reports).
    for (int round = 0; round < 200; ++round) {
        const tOsSemId id = Create();
        std::vector<std::thread> releasers;
        for (int r = 0; r < 3; ++r) releasers.emplace_back([id] { OsWrap__SemRelease(id); });
        for (int i = 0; i < 3; ++i) ASSERT_EQ(OsWrap__SemWait(id, OS_WAIT_FOREVER), eOS_RET_SUCCESS);
        ASSERT_EQ(OsWrap__SemDelete(id), eOS_RET_SUCCESS);
        for (std::thread &releaser : releasers) releaser.join();
    }
    EXPECT_EQ(OWData.numOfSems, 0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(SemTest, IdsThatAreZeroOutOfRangeOrNotLiveAreRefused) {
    const tOsSemId deleted = Create();
    ASSERT_EQ(OsWrap__SemDelete(deleted), eOS_RET_SUCCESS);
    for (tOsSemId bad : {0u, 44961u, OS_SEM_ID_INVALID, deleted, 500u}) {
        rktest::LogReports().Clear();
        EXPECT_EQ(OsWrap__SemWait(bad, OS_WAIT_NO), eOS_RET_INVALID_ARG) << bad;
        EXPECT_EQ(OsWrap__SemDelete(bad), eOS_RET_INVALID_ARG) << bad;
        OsWrap__SemRelease(bad);
        const std::string n = std::to_string(static_cast<int>(bad)) + ".\n";
        EXPECT_EQ(Reports(), (Texts{"MAJOR:OsWrap__SemWait(): Invalid semaphore Id: S" + n,
                                    "MAJOR:OsWrap__SemDelete(): Invalid semaphore Id: S" + n,
                                    "MAJOR:OsWrap__SemRelease(): Invalid semaphore Id: S" + n}));
    }
    // The refused release left nothing for the next semaphore on that id.
    EXPECT_EQ(Create(), deleted);
    EXPECT_EQ(OsWrap__SemWait(deleted, OS_WAIT_NO), eOS_RET_AGAIN);
}

TEST_F(SemTest, DeletingWhileATaskWaitsIsRefusedAndDestroysNothing) {
    const tOsSemId id = Create();
    std::atomic<eOsRet> result{eOS_RET_MAX};
    std::thread waiter([&] { result = OsWrap__SemWait(id, OS_WAIT_FOREVER); });
    ASSERT_TRUE(Eventually([&] { return Waiters(id) == 1; }));
    EXPECT_EQ(OsWrap__SemDelete(id), eOS_RET_INVALID_STATE);
    EXPECT_EQ(Reports(), Texts{"MAJOR:OsWrap__SemDelete(): Tasks wait on the semaphore: S1.\n"});
    OsWrap__SemRelease(id);
    waiter.join();
    EXPECT_EQ(result.load(), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(OWData.numOfSems, 0);
}

TEST_F(SemTest, DumpListsLiveSemaphoresInIdOrderUpToTheHighestId) {
    for (uint32 i = 1; i <= OS_MAX_SEMAPHORES; ++i) Create(0, "fill");
    for (uint32 i = 1; i < OS_MAX_SEMAPHORES; ++i) ASSERT_EQ(OsWrap__SemDelete(i), eOS_RET_SUCCESS);
    OsWrap__SemRelease(OS_MAX_SEMAPHORES);
    EXPECT_EQ(Create(3, "a-very-long-semaphore-name-that-is-cut"), 1u);
    rktest::HandlerTexts().Clear();
    ShowSemCtrlBlock();
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              (Texts{"Show Semaphore Control Block........Total number is 2\n",
                     "\tSemName 'a-very-long-semaphore-name-tha' busy 1 , semId 0x00000001 semCount 3\n",
                     "\tSemName 'fill        ' busy 1 , semId 0x0000afa0 semCount 1\n", "\n"}));
}

} // namespace
