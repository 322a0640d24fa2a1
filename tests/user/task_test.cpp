// task_test.cpp - tasks: start barrier, table limit and order, refusals, deletion, start-up.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "wrap_fixture.h"

namespace {
using namespace wraptest;

tOsSemId gGate = 0; // tasks that must stay alive wait on it forever
void WaitAtGate() { OsWrap__SemWait(gGate, OS_WAIT_FOREVER); }
void ReturnAtOnce() {}

class TaskTest : public WrapTest {
  protected:
    void SetUp() override {
        WrapTest::SetUp();
        ASSERT_EQ(OsWrap__SemCreate(Name("gate"), 0, &gGate), eOS_RET_SUCCESS);
    }
    static tOsTaskId Start(const char *name, void (*entry)(void) = WaitAtGate) {
        tOsTaskId id = 0;
        EXPECT_EQ(OsWrap__TaskCreate(Name(name), entry, eOS_PRI_LOW, 131072, &id), eOS_RET_SUCCESS);
        return id;
    }
    static std::string NameOf(tOsTaskId id) {
        char name[OS_MAX_NAME_LEN + 1] = {};
        return OsWrap__GetTaskNameByTaskId(id, name) == eOS_RET_SUCCESS ? name : "<none>";
    }
    static int NumOfTasks() {
        MutexGuard guard(&OWData.gtMutex);
        return OWData.numOfTasks;
    }
};

std::atomic<bool> gLookedUp{false};
std::string gOwnName;
void LookUpOwnNameFirst() {
    char name[OS_MAX_NAME_LEN + 1] = {};
    const eOsRet ret = OsWrap__GetTaskNameByTaskId(OsWrap__TaskId(), name);
    gOwnName = ret == eOS_RET_SUCCESS ? name : "<none>";
    gLookedUp = true;
}

TEST_F(TaskTest, TaskFindsItsOwnNameAsItsFirstAction) {
    for (int i = 0; i < 20; ++i) {
        gLookedUp = false;
        const std::string name = "finder-" + std::to_string(i) + "-with-a-name-beyond-thirty-characters";
        const tOsTaskId id = Start(name.c_str(), LookUpOwnNameFirst);
        ASSERT_TRUE(Eventually([] { return gLookedUp.load(); }));
        EXPECT_EQ(gOwnName, name.substr(0, 30));
        EXPECT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
    }
}

TEST_F(TaskTest, TableHoldsTwoHundredTasksAndDeletionKeepsTheOrder) {
    tOsTaskId ids[OS_MAX_TASKS];
    for (int i = 0; i < OS_MAX_TASKS; ++i) ids[i] = Start(("t" + std::to_string(i)).c_str());
    tOsTaskId id = 55;
    EXPECT_EQ(OsWrap__TaskCreate(Name("extra"), WaitAtGate, eOS_PRI_LOW, 131072, &id), eOS_RET_FAILURE);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(Reports(), Texts{"CRITICAL:OsWrap__TaskCreate(): Reached maximum task limit.\n"});

    ASSERT_EQ(OsWrap__TaskDelete(ids[1]), eOS_RET_SUCCESS);
    {
        MutexGuard guard(&OWData.gtMutex);
        EXPECT_STREQ(OWData.tcbArray[0].name, "t0");
        EXPECT_STREQ(OWData.tcbArray[1].name, "t2");
        EXPECT_STREQ(OWData.tcbArray[OS_MAX_TASKS - 2].name, "t199");
        EXPECT_EQ(OWData.tcbArray[OS_MAX_TASKS - 1].busy, eOS_BOOL_FALSE);
    }
    EXPECT_EQ(NameOf(Start("extra")), "extra");
    EXPECT_EQ(NumOfTasks(), OS_MAX_TASKS);
}

TEST_F(TaskTest, RefusedCreationsLeaveNoEntryAndAZeroId) {
    tOsTaskId id = 9;
    EXPECT_EQ(OsWrap__TaskCreate(Name("t"), WaitAtGate, eOS_PRI_MAX, 131072, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(id, 0u);
    id = 9;
    EXPECT_EQ(OsWrap__TaskCreate(nullptr, WaitAtGate, eOS_PRI_HIGH, 131072, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(OsWrap__TaskCreate(Name("t"), nullptr, eOS_PRI_HIGH, 131072, &id), eOS_RET_INVALID_ARG);
    EXPECT_EQ(NumOfTasks(), 0);
    EXPECT_EQ(Reports(), (Texts{"CRITICAL:OsWrap__TaskCreate(): Invalid priority: P3.\n",
                                "CRITICAL:OsWrap__TaskCreate(): NULL nameP.\n",
                                "CRITICAL:OsWrap__TaskCreate(): NULL entryPoint.\n"}));
    EXPECT_EQ(NameOf(Start("ok")), "ok");
    EXPECT_EQ(OsWrap__GetTaskNameByTaskId(OsWrap__TaskId(), nullptr), eOS_RET_FAILURE);
}

TEST_F(TaskTest, EachPriorityIsRecordedWithItsSchedulingLevel) {
    const struct { eOsPri pri; int level; } rows[] = {{eOS_PRI_HIGH, 3}, {eOS_PRI_MEDIUM, 2}, {eOS_PRI_LOW, 1}};
    for (const auto &row : rows) {
        tOsTaskId id = 0;
        ASSERT_EQ(OsWrap__TaskCreate(Name("pri"), WaitAtGate, row.pri, 131072, &id), eOS_RET_SUCCESS);
        MutexGuard guard(&OWData.gtMutex);
        EXPECT_EQ(OWData.tcbArray[OWData.numOfTasks - 1].schedParam.sched_priority, row.level) << row.pri;
    }
    EXPECT_EQ(NumOfTasks(), 3);
}

// Lowers the process's address-space limit to what it uses now plus 1 GiB, for its lifetime.
class AddressSpaceLimit {
  public:
    AddressSpaceLimit() {
        getrlimit(RLIMIT_AS, &saved_);
        unsigned long pages = 0;
        FILE *statm = fopen("/proc/self/statm", "r");
        if (statm != nullptr) {
            if (fscanf(statm, "%lu", &pages) != 1) pages = 0;
            fclose(statm);
        }
        rlimit lowered = saved_;
        lowered.rlim_cur = pages * sysconf(_SC_PAGESIZE) + (1ul << 30);
        ok_ = pages != 0 && setrlimit(RLIMIT_AS, &lowered) == 0;
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }
    bool Ok() const { return ok_; }

  private:
    rlimit saved_{};
    bool ok_ = false;
};

TEST_F(TaskTest, ATaskWhoseThreadCannotBeMadeLeavesNoEntry) {
    Start("before");
    tOsTaskId id = 9;
    {
        AddressSpaceLimit limit; // a stack of 4 GiB cannot be mapped then
        ASSERT_TRUE(limit.Ok());
        EXPECT_EQ(OsWrap__TaskCreate(Name("huge"), WaitAtGate, eOS_PRI_LOW, 0xFFFFF000u, &id), eOS_RET_FAILURE);
    }
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(Reports(), Texts{"CRITICAL:OsWrap__TaskCreate(): pthread_create() failed.\n"});
    EXPECT_EQ(NumOfTasks(), 1);
    const tOsTaskId after = Start("after");
    EXPECT_EQ(NameOf(after), "after") << "the entry was given back whole";
    EXPECT_EQ(NumOfTasks(), 2);
}

// True once the thread sleeps in the futex call a lock wait makes.
bool WaitsOnALock(pid_t tid) {
    FILE *file = fopen(("/proc/self/task/" + std::to_string(tid) + "/syscall").c_str(), "r");
    if (file == nullptr) return false;
    long number = -1;
    const bool read = fscanf(file, "%ld", &number) == 1;
    fclose(file);
    return read && number == SYS_futex;
}

TEST_F(TaskTest, CriticalSectionKeepsASecondTaskOutUntilItEnds) {
    std::atomic<pid_t> otherTid{0};
    std::atomic<int> inside{0};
    OsWrap__CrSecStart();
    std::thread other([&] {
        otherTid = static_cast<pid_t>(syscall(SYS_gettid));
        OsWrap__CrSecStart();
        inside = 1;
        OsWrap__CrSecEnd();
    });
    // The other thread has reached the section and waits for it.
    EXPECT_TRUE(Eventually([&] { return otherTid != 0 && WaitsOnALock(otherTid); }));
    EXPECT_EQ(inside.load(), 0);
    OsWrap__CrSecEnd();
    other.join();
    EXPECT_EQ(inside.load(), 1);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(TaskTest, DeletingUnknownEndedAndBlockedTasks) {
    const tOsTaskId blocked = Start("blocked");
    const tOsTaskId brief = Start("brief", ReturnAtOnce);
    const tOsTaskId unknown = blocked ^ brief ^ 0x5a5a5a5au;
    EXPECT_EQ(OsWrap__TaskDelete(unknown), eOS_RET_SUCCESS);
    char hex[16];
    snprintf(hex, sizeof hex, "0x%x", unknown);
    EXPECT_EQ(Reports(), Texts{std::string("CRITICAL:OdWrap__TaskDelete():taskid is not exist,taskid:") + hex + ".\n"});

    // A task whose entry returned keeps its entry; its vanished thread is not touched on delete.
    ASSERT_TRUE(Eventually([] {
        MutexGuard guard(&OWData.gtMutex);
        return OWData.tcbArray[1].ended == eOS_BOOL_TRUE;
    }));
    EXPECT_EQ(NameOf(brief), "brief");
    EXPECT_EQ(OsWrap__TaskDelete(brief), eOS_RET_SUCCESS);

    // A task cancelled inside a wait leaves the semaphore unlocked, without its waiter.
    ASSERT_TRUE(Eventually([] { return Waiters(gGate) == 1; }));
    EXPECT_EQ(OsWrap__TaskDelete(blocked), eOS_RET_SUCCESS);
    ASSERT_TRUE(Eventually([] { return Waiters(gGate) == 0; }));
    EXPECT_EQ(OsWrap__SemWait(gGate, OS_WAIT_NO), eOS_RET_AGAIN);
    EXPECT_EQ(OsWrap__SemDelete(gGate), eOS_RET_SUCCESS);
    EXPECT_EQ(NumOfTasks(), 0);
}

std::atomic<pid_t> gEndedTid{0};
void NoteThreadAndReturn() { gEndedTid = static_cast<pid_t>(syscall(SYS_gettid)); }

TEST_F(TaskTest, IdOfAnEndedTaskReusedByANewTaskNamesTheLiveOne) {
    // The C library hands the stack of a thread that has fully exited, and with it the thread's
    // handle, to the next thread asking for a stack of the same size: a size no other test uses
    // makes the ended task's handle the one the live task gets.
    constexpr uint32 kStackSize = 196608;
    auto start = [](const char *name, void (*entry)(void)) {
        tOsTaskId id = 0;
        EXPECT_EQ(OsWrap__TaskCreate(Name(name), entry, eOS_PRI_LOW, kStackSize, &id), eOS_RET_SUCCESS);
        return id;
    };
    gEndedTid = 0;
    const tOsTaskId ended = start("ended", NoteThreadAndReturn);
    ASSERT_TRUE(Eventually([] {
        const pid_t tid = gEndedTid.load();
        return tid != 0 && access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) != 0;
    })) << "the ended task's thread did not exit";
    const tOsTaskId live = start("live", WaitAtGate);
    ASSERT_EQ(live, ended) << "the live task did not get the ended task's handle";

    EXPECT_EQ(NameOf(live), "live");
    ASSERT_TRUE(Eventually([] { return Waiters(gGate) == 1; }));
    EXPECT_EQ(OsWrap__TaskDelete(live), eOS_RET_SUCCESS);
    EXPECT_TRUE(Eventually([] { return Waiters(gGate) == 0; })) << "the live task was not cancelled";
    EXPECT_EQ(NameOf(ended), "ended");
    EXPECT_EQ(OsWrap__TaskDelete(ended), eOS_RET_SUCCESS);
}

TEST_F(TaskTest, DumpPrintsEveryTaskAfterTheTotal) {
    const tOsTaskId a = Start("alpha");
    const tOsTaskId b = Start("a-name-longer-than-twelve");
    rktest::HandlerTexts().Clear();
    ShowTaskCtrlBlock();
    char line1[128], line2[128];
    snprintf(line1, sizeof line1, "\tTaskName 'alpha       ' busy 1 , taskId 0x%08x\n", a);
    snprintf(line2, sizeof line2, "\tTaskName 'a-name-longer-than-twelve' busy 1 , taskId 0x%08x\n", b);
    EXPECT_EQ(rktest::HandlerTexts().Texts(),
              (Texts{"Show Taks Control Block........Total number is 2\n", line1, line2, "\n"}));
}

std::atomic<int> gHostAllocs{0};
void *CountingAlloc(size_t size) {
    gHostAllocs++;
    return malloc(size);
}

TEST_F(TaskTest, SecondInitChangesNothing) {
    OsWrap__RegisterMemHandleFunc(CountingAlloc, nullptr);
    Start("survivor");
    const timespec boot = OWData.bootTime;
    EXPECT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(NumOfTasks(), 1);
    EXPECT_EQ(OWData.bootTime.tv_nsec, boot.tv_nsec);
    OsWrap__Free(OsWrap__Alloc(8));
    EXPECT_EQ(gHostAllocs.load(), 1); // the host's allocator stays
    EXPECT_TRUE(Reports().empty());
}

// Only a wrapper that was never started can fail to start: the case runs in a fresh process.
TEST(TaskInitTest, FailedInitReportsAndALaterInitFinishesTheJob) {
    rktest::InAFreshProcess([] {
        rktest::CaptureLogReports();
        OsWrapTestMutexCreateFailAt = 3; // global and task mutexes succeed, the queue mutex fails
        EXPECT_EQ(OsWrap__Init(nullptr), eOS_RET_FAILURE);
        EXPECT_EQ(rktest::LogReports().Texts(),
                  (Texts{"CRITICAL:MutexCreate(): pthread_mutex_init() failed.\n",
                         "CRITICAL:OsWrap__Init(): MutexCreate() failed for global queue mutex.\n"}));
        EXPECT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        tOsQueueId q = 0;
        EXPECT_EQ(OsWrap__QueueCreate(Name("q"), 1, &q), eOS_RET_SUCCESS);
        EXPECT_EQ(OsWrap__QueueSend(q, Message(3)), eOS_RET_SUCCESS);
        tOsMsg msg = nullptr;
        EXPECT_EQ(OsWrap__QueueRcv(q, &msg, OS_WAIT_NO), eOS_RET_SUCCESS);
        if (msg != nullptr) {
            EXPECT_EQ(Take(msg), 3u);
        }
    });
}

} // namespace
