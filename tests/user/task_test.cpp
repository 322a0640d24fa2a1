// task_test.cpp - tasks: start barrier, table limit and order, priorities, names, deletion, start-up.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"
#include "svc.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32 kStack = 131072;

// Polls cond every millisecond until it holds or ten seconds pass.
template <typename Cond> bool Eventually(Cond cond) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!cond()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

std::string Hex(uint32 v) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", v);
    return text;
}

tOsSemId gGate = 0; // tasks that must stay alive wait on it forever
void WaitAtGate() { OsWrap__SemWait(gGate, OS_WAIT_FOREVER); }
void ReturnAtOnce() {}

class TaskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
        ASSERT_EQ(OsWrap__SemCreate(const_cast<char *>("gate"), 0, &gGate), eOS_RET_SUCCESS);
    }
    static tOsTaskId Start(const char *name, void (*entry)(void) = WaitAtGate) {
        tOsTaskId id = 0;
        EXPECT_EQ(OsWrap__TaskCreate(const_cast<char *>(name), entry, eOS_PRI_LOW, kStack, &id), eOS_RET_SUCCESS);
        return id;
    }
    static int GateWaiters() {
        MutexGuard guard(&OWData.scbArray[gGate].semMutex);
        return OWData.scbArray[gGate].waiters;
    }
    static int NumOfTasks() {
        MutexGuard guard(&OWData.gtMutex);
        return OWData.numOfTasks;
    }
};

std::atomic<int> gNameResult{-1};
char gOwnName[OS_MAX_NAME_LEN + 1];
void LookUpOwnNameFirst() {
    char name[OS_MAX_NAME_LEN + 1] = {};
    const eOsRet ret = OsWrap__GetTaskNameByTaskId(OsWrap__TaskId(), name);
    memcpy(gOwnName, name, sizeof name);
    gNameResult = ret;
}

TEST_F(TaskTest, TaskFindsItsOwnNameAsItsFirstAction) {
    // Many tasks in a row: each must see its entry complete before its own code runs.
    for (int i = 0; i < 20; ++i) {
        gNameResult = -1;
        const std::string name = "finder" + std::to_string(i);
        const tOsTaskId id = Start(name.c_str(), LookUpOwnNameFirst);
        ASSERT_TRUE(Eventually([] { return gNameResult.load() != -1; }));
        ASSERT_EQ(gNameResult.load(), eOS_RET_SUCCESS);
        EXPECT_STREQ(gOwnName, name.c_str());
        EXPECT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
    }
}

TEST_F(TaskTest, TableHoldsTwoHundredTasksAndFreesAPlaceOnDelete) {
    tOsTaskId ids[OS_MAX_TASKS];
    for (int i = 0; i < OS_MAX_TASKS; ++i) ids[i] = Start("worker");
    tOsTaskId id = 55;
    EXPECT_EQ(OsWrap__TaskCreate(const_cast<char *>("extra"), WaitAtGate, eOS_PRI_LOW, kStack, &id),
              eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(rktest::LogReports().Count("CRITICAL:OsWrap__TaskCreate(): Reached maximum task limit.\n"), 1u);

    ASSERT_EQ(OsWrap__TaskDelete(ids[100]), eOS_RET_SUCCESS);
    EXPECT_NE(Start("extra"), 0u);
    EXPECT_EQ(NumOfTasks(), OS_MAX_TASKS);
}

TEST_F(TaskTest, BadPriorityOrNullNameOrNullEntryCreatesNoTask) {
    tOsTaskId id = 9;
    EXPECT_EQ(OsWrap__TaskCreate(const_cast<char *>("t"), WaitAtGate, eOS_PRI_MAX, kStack, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(id, 0u);
    id = 9;
    EXPECT_EQ(OsWrap__TaskCreate(nullptr, WaitAtGate, eOS_PRI_HIGH, kStack, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(OsWrap__TaskCreate(const_cast<char *>("t"), nullptr, eOS_PRI_HIGH, kStack, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(NumOfTasks(), 0);
    EXPECT_EQ(rktest::LogReports().Texts(),
              (std::vector<std::string>{"CRITICAL:OsWrap__TaskCreate(): Invalid priority: P3.\n",
                                        "CRITICAL:OsWrap__TaskCreate(): NULL nameP.\n",
                                        "CRITICAL:OsWrap__TaskCreate(): NULL entryPoint.\n"}));
    // The refused entry is clean: the next task takes it.
    const tOsTaskId ok = Start("ok");
    char name[OS_MAX_NAME_LEN + 1];
    ASSERT_EQ(OsWrap__GetTaskNameByTaskId(ok, name), eOS_RET_SUCCESS);
    EXPECT_STREQ(name, "ok");
}

TEST_F(TaskTest, LongNameIsKeptAsItsFirstThirtyCharacters) {
    const tOsTaskId id = Start("0123456789abcdefghijklmnopqrstuvwxyzABCD");
    char name[OS_MAX_NAME_LEN + 1];
    ASSERT_EQ(OsWrap__GetTaskNameByTaskId(id, name), eOS_RET_SUCCESS);
    EXPECT_STREQ(name, "0123456789abcdefghijklmnopqrst");
    EXPECT_EQ(OsWrap__GetTaskNameByTaskId(id, nullptr), eOS_RET_FAILURE);
    EXPECT_EQ(OsWrap__GetTaskNameByTaskId(id + 1, name), eOS_RET_FAILURE);
}

TEST_F(TaskTest, DeletingTheMiddleTaskKeepsTheOthersInOrder) {
    const tOsTaskId first = Start("first");
    const tOsTaskId second = Start("second");
    const tOsTaskId third = Start("third");
    ASSERT_EQ(OsWrap__TaskDelete(second), eOS_RET_SUCCESS);
    MutexGuard guard(&OWData.gtMutex);
    ASSERT_EQ(OWData.numOfTasks, 2);
    EXPECT_STREQ(OWData.tcbArray[0].name, "first");
    EXPECT_EQ(static_cast<tOsTaskId>(OWData.tcbArray[0].taskId), first);
    EXPECT_STREQ(OWData.tcbArray[1].name, "third");
    EXPECT_EQ(static_cast<tOsTaskId>(OWData.tcbArray[1].taskId), third);
    EXPECT_EQ(OWData.tcbArray[2].busy, eOS_BOOL_FALSE);
}

TEST_F(TaskTest, DeletingAnUnknownIdReportsAndSucceeds) {
    const tOsTaskId kept = Start("kept");
    const tOsTaskId unknown = kept ^ 0x5a5a5a5au;
    EXPECT_EQ(OsWrap__TaskDelete(unknown), eOS_RET_SUCCESS);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"CRITICAL:OdWrap__TaskDelete():taskid is not exist,taskid:" + Hex(unknown) +
                                       ".\n"});
    EXPECT_EQ(NumOfTasks(), 1);
}

TEST_F(TaskTest, TaskWhoseEntryReturnedKeepsItsEntryAndCanBeDeleted) {
    const tOsTaskId id = Start("brief", ReturnAtOnce);
    ASSERT_TRUE(Eventually([&] {
        MutexGuard guard(&OWData.gtMutex);
        return OWData.tcbArray[0].ended == eOS_BOOL_TRUE;
    }));
    char name[OS_MAX_NAME_LEN + 1];
    EXPECT_EQ(OsWrap__GetTaskNameByTaskId(id, name), eOS_RET_SUCCESS);
    // The thread is gone: the delete must not touch its handle.
    EXPECT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
    EXPECT_EQ(NumOfTasks(), 0);
}

TEST_F(TaskTest, CancellingATaskBlockedInAWaitLeavesTheSemaphoreUsable) {
    const tOsTaskId a = Start("a");
    const tOsTaskId b = Start("b");
    ASSERT_TRUE(Eventually([] { return GateWaiters() == 2; }));
    ASSERT_EQ(OsWrap__TaskDelete(a), eOS_RET_SUCCESS);
    // The cancelled waiter leaves the wait with the semaphore's mutex released.
    ASSERT_TRUE(Eventually([] { return GateWaiters() == 1; }));
    EXPECT_EQ(OsWrap__SemWait(gGate, OS_WAIT_NO), eOS_RET_AGAIN);
    OsWrap__SemRelease(gGate); // wakes b, whose entry then returns
    ASSERT_TRUE(Eventually([] { return GateWaiters() == 0; }));
    EXPECT_EQ(OsWrap__TaskDelete(b), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemDelete(gGate), eOS_RET_SUCCESS);
}

TEST_F(TaskTest, TaskIdIsTheLowHalfOfTheThreadHandleInAnyThread) {
    EXPECT_EQ(OsWrap__TaskId(), static_cast<tOsTaskId>(pthread_self()));
    tOsTaskId other = 0;
    pthread_t handle{};
    std::thread t([&] {
        other = OsWrap__TaskId();
        handle = pthread_self();
    });
    t.join();
    EXPECT_EQ(other, static_cast<tOsTaskId>(handle));
}

TEST_F(TaskTest, DumpPrintsEveryTaskAfterTheTotal) {
    SvcSysInfoHandler = rktest::CaptureInfoHandler;
    const tOsTaskId a = Start("alpha");
    const tOsTaskId b = Start("a-name-longer-than-twelve");
    rktest::HandlerTexts().Clear();
    ShowTaskCtrlBlock();
    char line1[128], line2[128];
    snprintf(line1, sizeof line1, "\tTaskName 'alpha       ' busy 1 , taskId 0x%08x\n", a);
    snprintf(line2, sizeof line2, "\tTaskName 'a-name-longer-than-twelve' busy 1 , taskId 0x%08x\n", b);
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              (std::vector<std::string>{"Show Taks Control Block........Total number is 2\n", line1, line2, "\n"}));
}

std::atomic<int> gInside{0};
std::atomic<int> gOverlaps{0};
TEST_F(TaskTest, CriticalSectionAdmitsOneThreadAtATime) {
    auto body = [] {
        for (int i = 0; i < 2000; ++i) {
            OsWrap__CrSecStart();
            if (gInside.fetch_add(1) != 0) gOverlaps++;
            gInside.fetch_sub(1);
            OsWrap__CrSecEnd();
        }
    };
    std::thread t1(body), t2(body), t3(body);
    t1.join();
    t2.join();
    t3.join();
    EXPECT_EQ(gOverlaps.load(), 0);
}

void *CountingAlloc(size_t size);
std::atomic<int> gHostAllocs{0};
void *CountingAlloc(size_t size) {
    gHostAllocs++;
    return malloc(size);
}

TEST_F(TaskTest, SecondInitChangesNothing) {
    OsWrap__RegisterMemHandleFunc(CountingAlloc, nullptr);
    const tOsTaskId id = Start("survivor");
    tOsTime before = OsWrap__GetUpTime();
    EXPECT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    // Tables, mutexes, the up-time origin and the host's allocator are all as they were.
    EXPECT_EQ(NumOfTasks(), 1);
    EXPECT_GE(OsWrap__GetUpTime().low, before.low);
    void *p = OsWrap__Alloc(8);
    EXPECT_EQ(gHostAllocs.load(), 1);
    OsWrap__Free(p);
    OsWrap__SemRelease(gGate);
    EXPECT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST(TaskInitTest, FailedInitReportsAndALaterInitFinishesTheJob) {
    rktest::CaptureLogReports();
    OsWrapTestMutexCreateFailAt = 3; // global and task mutexes succeed, the queue mutex fails
    EXPECT_EQ(OsWrap__Init(nullptr), eOS_RET_FAILURE);
    EXPECT_EQ(rktest::LogReports().Texts(),
              (std::vector<std::string>{"CRITICAL:MutexCreate(): pthread_mutex_init() failed.\n",
                                        "CRITICAL:OsWrap__Init(): MutexCreate() failed for global queue mutex.\n"}));
    ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    tOsQueueId q = 0;
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 1, &q), eOS_RET_SUCCESS);
    void *msg = OsWrap__Alloc(4);
    ASSERT_EQ(OsWrap__QueueSend(q, msg), eOS_RET_SUCCESS);
    ASSERT_EQ(OsWrap__QueueRcv(q, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
    OsWrap__Free(msg);
}

} // namespace
