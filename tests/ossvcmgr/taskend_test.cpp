// taskend_test.cpp - what a task leaves behind when it is deleted at any moment or its entry
// function returns: no output lock or start gate taken for good, and no tick for the next task.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "printf_hooks.h"
#include "svc_fixture.h"
#include "svcinternal.h"
#include "svctick.h"

namespace {

using namespace std::chrono_literals;

class TaskEndTest : public svctest::ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        char dir[] = "/tmp/relaykit-taskend-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
        SvcConsoleSetTestPath(nullptr);
        (void)system(("rm -rf " + dir_).c_str());
    }
    static tOsTaskId Task(const char *name, void (*entry)()) {
        tOsTaskId id = 0;
        EXPECT_EQ(OsWrap__TaskCreate((char *)name, entry, eOS_PRI_MEDIUM, 0x20000, &id), eOS_RET_SUCCESS);
        return id;
    }
    std::string dir_;
};

// ---- a task deleted while it prints ------------------------------------------------------------

std::atomic<int> printed{0};
std::atomic<void (*)()> printOnce{nullptr}; // a deleted printer may still be on its last print

// Prints without pause; the loop's own cancellation point stands for the wait every real task has
// between its prints, where a deletion may act once the print is done.
void PrintingTask() {
    for (;;) {
        printOnce.load()();
        printed++;
        pthread_testcancel();
    }
}

void PrintToLogFile() {
    static const std::string text = std::string(64 * 1024, 'f') + "\n"; // rotates every 16 texts
    OsWrap__TextOut((char *)text.c_str());
}
void PrintToConsole() { SvcConsolePrintf("%s\n", std::string(2000, 'c').c_str()); }

TEST_F(TaskEndTest, TaskDeletedWhilePrintingLeavesEverySinkUsable) {
    struct Sink {
        const char *name;
        void (*open)(const std::string &dir);
        void (*print)();
    } const sinks[] = {
        {"log file",
         [](const std::string &dir) {
             ASSERT_EQ(OpenLogFile((char *)(dir + "/log").c_str()), eOS_RET_SUCCESS);
             SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_TRUE);
         },
         PrintToLogFile},
        {"console", [](const std::string &dir) { SvcConsoleSetTestPath((dir + "/console").c_str()); },
         PrintToConsole},
    };
    for (const Sink &sink : sinks) {
        SCOPED_TRACE(sink.name);
        sink.open(dir_);
        printOnce = sink.print;
        for (int round = 0; round < 20; ++round) {
            printed = 0;
            const tOsTaskId id = Task("printer", PrintingTask);
            ASSERT_TRUE(rktest::Eventually([] { return printed.load() >= 20; }));
            ASSERT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
            ASSERT_TRUE(Finishes(sink.print)) << "round " << round << ": the sink's lock stayed taken";
        }
    }
}

// ---- a starter deleted while its task comes up -------------------------------------------------

std::atomic<bool> childRunning{false};
std::atomic<bool> letChildUp{false};
std::atomic<eOsRet> starterResult{eOS_RET_MAX};

void SlowChild() {
    childRunning = true;
    while (!letChildUp) std::this_thread::sleep_for(1ms);
    SvcTaskUp();
}
void QuickChild() { SvcTaskUp(); }
void Starter() { starterResult = SvcTaskStart((char *)"child", SlowChild, eOS_PRI_LOW, 0x20000, nullptr); }

TEST_F(TaskEndTest, StarterDeletedWhileItsTaskComesUpGivesTheGateBack) {
    const tOsTaskId starter = Task("starter", Starter);
    ASSERT_TRUE(rktest::Eventually([] { return childRunning.load(); }));
    ASSERT_EQ(OsWrap__TaskDelete(starter), eOS_RET_SUCCESS);
    letChildUp = true;
    // The next start finds the gate free and waits for its own task's up signal, not a stale one.
    eOsRet rc = eOS_RET_MAX;
    ASSERT_TRUE(Finishes([&rc] { rc = SvcTaskStart((char *)"next", QuickChild, eOS_PRI_LOW, 0x20000, nullptr); }));
    EXPECT_EQ(rc, eOS_RET_SUCCESS);
    EXPECT_EQ(starterResult.load(), eOS_RET_SUCCESS); // the deletion waited for the start to finish
}

// ---- a task's tick -----------------------------------------------------------------------------

std::atomic<int> tickStarts{0};
std::atomic<eOsRet> tickResult{eOS_RET_MAX};
tOsSemId neverReleased = OS_SEM_ID_INVALID;

void NeverCalled(void *) { ADD_FAILURE() << "a dead task's tick ran"; }

void TickThenReturn() {
    tickResult = SvcTickStart(10000, eOS_BOOL_TRUE, NeverCalled, nullptr);
    SvcTaskReg(eSVC_TASK_NAME_DB, OsWrap__TaskId(), 1, OS_SEM_ID_INVALID);
    tickStarts++;
}
void TickThenWait() {
    TickThenReturn();
    (void)SvcSemWait(neverReleased, OS_WAIT_FOREVER); // deleted in here
}

bool TickHeldBy(tOsTaskId id) {
    for (tSvcTmcb &tmcb : SvcTmcb) {
        if (std::atomic_ref<uint32>(tmcb.taskId).load() == id) return true;
    }
    return false;
}

TEST_F(TaskEndTest, TaskThatEndsOrIsDeletedLeavesNoTickOrIdentityForTheTasksAfterIt) {
    neverReleased = Sem("never");
    struct End {
        const char *name;
        void (*entry)();
        bool deleted;
    } const ends[] = {{"entry returns", TickThenReturn, false}, {"deleted while waiting", TickThenWait, true}};
    for (const End &end : ends) {
        SCOPED_TRACE(end.name);
        // More tasks than the table has ticks; thread handles, and so task ids, are reused at once.
        for (int round = 0; round < 25; ++round) {
            tickStarts = 0;
            const tOsTaskId id = Task("ticker", end.entry);
            ASSERT_TRUE(rktest::Eventually([] { return tickStarts.load() == 1; }));
            ASSERT_EQ(tickResult.load(), eOS_RET_SUCCESS) << "round " << round;
            if (end.deleted) {
                ASSERT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
            }
            ASSERT_TRUE(rktest::Eventually([id] { return !TickHeldBy(id); })) << "round " << round;
            // Nor does the next task with this id pass for the registered one.
            EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_DB].taskId, 0u);
            EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_DB].queueId, 1u);
        }
    }
}

} // namespace
