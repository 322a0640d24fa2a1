// svc_test.cpp - the registry of service tasks and modules, the serialised task start and the sleep.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "oswraplx.h"
#include "svc_fixture.h"

namespace {

using svctest::ServiceTest;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

using RegistryTest = ServiceTest;
using TaskStartTest = ServiceTest;
using SleepTest = ServiceTest;

std::string Decimal(uint32 v) {
    char text[16];
    snprintf(text, sizeof text, "%d", (int)v);
    return text;
}

TEST_F(RegistryTest, InitCreatesTheThreeSemaphoresAndEmptiesBothTables) {
    EXPECT_NE(SleepSemId, 0u);
    EXPECT_NE(TaskCreateSemId, 0u);
    EXPECT_NE(TaskUpSemId, 0u);
    // The start gate is open once; nothing is up yet; nothing ever releases the sleep semaphore.
    EXPECT_EQ(OsWrap__SemWait(TaskCreateSemId, OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(TaskCreateSemId, OS_WAIT_NO), eOS_RET_AGAIN);
    OsWrap__SemRelease(TaskCreateSemId);
    EXPECT_EQ(OsWrap__SemWait(TaskUpSemId, OS_WAIT_NO), eOS_RET_AGAIN);
    EXPECT_EQ(OsWrap__SemWait(SleepSemId, OS_WAIT_NO), eOS_RET_AGAIN);

    for (const tSvcTaskInfo &task : SvcTaskTable) {
        EXPECT_EQ(task.taskId, 0u);
        EXPECT_EQ(task.queueId, OS_QUEUE_ID_INVALID);
        EXPECT_EQ(task.semId, OS_SEM_ID_INVALID);
    }
    for (const tSvcModuleInfo &module : SvcModuleTable) {
        EXPECT_EQ(module.taskName, eSVC_TASK_NAME_INVALID);
        EXPECT_EQ(module.queueId, OS_QUEUE_ID_INVALID);
        EXPECT_EQ(module.semId, OS_SEM_ID_INVALID);
    }
}

void OtherHandler(char *) {}

TEST_F(RegistryTest, InitWithANullHandlerKeepsTheCurrentOneForThatRole) {
    EXPECT_EQ(SvcSysErrorHandler, OsWrap__TextOut);
    EXPECT_EQ(SvcSysInfoHandler, rktest::CaptureInfoHandler);
    ASSERT_EQ(SvcInit(OtherHandler, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcSysErrorHandler, OtherHandler);
    EXPECT_EQ(SvcSysInfoHandler, rktest::CaptureInfoHandler);
    ASSERT_EQ(SvcInit(nullptr, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcSysErrorHandler, OtherHandler);
    SvcPrintf("still printed\n");
    EXPECT_EQ(rktest::HandlerTexts().Count("still printed"), 1u);
}

TEST_F(RegistryTest, TaskRegOverwritesTheEntryAndRefusesBadArguments) {
    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 77, 5, 6), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 78, OS_QUEUE_ID_INVALID, 9), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_OMCI].taskId, 78u);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_OMCI].queueId, OS_QUEUE_ID_INVALID);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_OMCI].semId, 9u);

    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_INVALID, 1, 1, 1), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTaskReg(): Invalid task name: T19.\n"), 1u);
    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, OS_QUEUE_ID_INVALID, OS_SEM_ID_INVALID),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTaskReg(): Invalid queue/sem id: T2, Q-1, S-1.\n"), 1u);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_OMCI].taskId, 78u);
}

TEST_F(RegistryTest, ModuleRegRefusesOutOfRangeIdsAndAModuleWithNeitherTaskNorQueue) {
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_INVALID, eSVC_TASK_NAME_OMCI, OS_QUEUE_ID_INVALID),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcModuleReg(): Invalid module id: M40.\n"), 1u);
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, (eSvcTaskName)20, 3), eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcModuleReg(): Invalid task name: M18, T20.\n"), 1u);
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, OS_QUEUE_ID_INVALID),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcModuleReg(): No task name and queue id: M18.\n"), 1u);
    EXPECT_EQ(SvcModuleTable[eSVC_MODULE_ID_PM].taskName, eSVC_TASK_NAME_INVALID);
    EXPECT_EQ(SvcModuleTable[eSVC_MODULE_ID_PM].queueId, OS_QUEUE_ID_INVALID);
}

TEST_F(RegistryTest, TheThreeModuleFormsRouteAndWakeAsRegistered) {
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_PM, 1, 11, 21), eOS_RET_SUCCESS);

    // A task only: the task's queue, looked up at each call; no semaphore.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_PM), 11u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_PM), OS_SEM_ID_INVALID);
    EXPECT_EQ(SvcModuleGetTaskName(eSVC_MODULE_ID_PM), eSVC_TASK_NAME_PM);

    // A queue only: that queue; the semaphore lookup reports the missing task.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_SNMP, eSVC_TASK_NAME_INVALID, 30), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_SNMP), 30u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_SNMP), OS_SEM_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetSemId(): Invalid task name: M12, T19.\n"), 1u);
    EXPECT_EQ(SvcModuleGetTaskName(eSVC_MODULE_ID_SNMP), eSVC_TASK_NAME_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetTaskName(): Invalid task name: M12, T19.\n"), 1u);

    // Both: accepted with a notice; the module's queue, and the semaphore the task had then.
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_PM, 40), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports("MINOR:SvcModuleReg(): Both task name and queue id: M17, T11, Q40.\n"), 1u);
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_PM, 1, 12, 22), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_ALARM), 40u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_ALARM), 21u);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_PM), 12u);
}

TEST_F(RegistryTest, LookupsReportModulesOutOfRangeOrUnregistered) {
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_INVALID), OS_QUEUE_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetQueueId(): Invalid module id: M40.\n"), 1u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_INVALID), OS_SEM_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetSemId(): Invalid module id: M40.\n"), 1u);
    EXPECT_EQ((uint32)SvcModuleGetTaskName(eSVC_MODULE_ID_INVALID), 0xFFFFFFFFu);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetTaskName(): Invalid module id: M40.\n"), 1u);

    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_LMT), OS_QUEUE_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetQueueId(): No task name and queue id: M14.\n"), 1u);

    // A table entry written behind the registry's back with a task name out of range.
    SvcModuleTable[eSVC_MODULE_ID_LMT].taskName = (eSvcTaskName)25;
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_LMT), OS_QUEUE_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetQueueId(): Invalid task name: M14, T25.\n"), 1u);
}

TEST_F(RegistryTest, TaskNameLookupsFindOnlyTheCallingTask) {
    EXPECT_EQ(SvcGetTaskName(), eSVC_TASK_NAME_INVALID);
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_SWDL, OsWrap__TaskId(), 3, OS_SEM_ID_INVALID), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcGetTaskName(), eSVC_TASK_NAME_SWDL);
    EXPECT_EQ(SvcIsTaskName(eSVC_TASK_NAME_SWDL), eOS_BOOL_TRUE);
    EXPECT_EQ(SvcIsTaskName(eSVC_TASK_NAME_LMT), eOS_BOOL_FALSE);
    EXPECT_EQ(SvcIsTaskName(eSVC_TASK_NAME_INVALID), eOS_BOOL_FALSE);
    EXPECT_EQ(Reports("MAJOR:SvcIsTaskName(): Invalid task name: T19.\n"), 1u);

    eSvcTaskName seenByOther = eSVC_TASK_NAME_MIN;
    eOsBool isSwdlForOther = eOS_BOOL_TRUE;
    std::thread other([&] {
        seenByOther = SvcGetTaskName();
        isSwdlForOther = SvcIsTaskName(eSVC_TASK_NAME_SWDL);
    });
    other.join();
    EXPECT_EQ(seenByOther, eSVC_TASK_NAME_INVALID);
    EXPECT_EQ(isSwdlForOther, eOS_BOOL_FALSE);
}

TEST_F(RegistryTest, DumpPrintsEveryTaskThenEveryModule) {
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, 7, OS_SEM_ID_INVALID), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_OMCC, eSVC_TASK_NAME_OMCI, 9), eOS_RET_SUCCESS);
    DumpSvcTaskTable();
    const auto texts = rktest::HandlerTexts().Texts();
    ASSERT_EQ(texts.size(), 19u + 40u);
    EXPECT_EQ(texts[0], "indexI:0   queueId:0xffffffff  semId:0xffffffff\n");
    EXPECT_EQ(texts[2], "indexI:2   queueId:0x7  semId:0xffffffff\n");
    EXPECT_EQ(texts[19], "indexI:0  taskName:19  queueId:0xffffffff  semId:0xffffffff\n");
    EXPECT_EQ(texts[19 + 10], "indexI:10  taskName:2  queueId:0x9  semId:0xffffffff\n");
}

// ---- task start --------------------------------------------------------------------------------

std::atomic<int> startedTasks{0};
std::atomic<int> firstTaskBegun{0};
std::atomic<int> secondTaskBegun{0};
std::atomic<int> secondBegunBeforeFirstUp{0};
std::atomic<int> firstTaskUp{0};
tOsSemId firstTaskGo = 0;

void RegisteringTask() {
    tOsQueueId queueId = OS_QUEUE_ID_INVALID;
    OsWrap__QueueCreate((char *)"regq", 10, &queueId);
    SvcTaskReg(eSVC_TASK_NAME_DB, OsWrap__TaskId(), queueId, OS_SEM_ID_INVALID);
    startedTasks++;
    SvcTaskUp();
}

TEST_F(TaskStartTest, StartReturnsOnceTheTaskIsRegisteredAndUp) {
    tOsTaskId taskId = 0;
    ASSERT_EQ(SvcTaskStart((char *)"dbTask", RegisteringTask, eOS_PRI_LOW, 0x20000, &taskId),
              eOS_RET_SUCCESS);
    EXPECT_EQ(startedTasks.load(), 1);
    EXPECT_NE(taskId, 0u);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_DB].taskId, taskId);
    EXPECT_NE(SvcTaskTable[eSVC_TASK_NAME_DB].queueId, OS_QUEUE_ID_INVALID);
    // The gate is open again.
    EXPECT_EQ(OsWrap__SemWait(TaskCreateSemId, OS_WAIT_NO), eOS_RET_SUCCESS);
    OsWrap__SemRelease(TaskCreateSemId);
}

void FirstTask() {
    firstTaskBegun = 1;
    OsWrap__SemWait(firstTaskGo, OS_WAIT_FOREVER);
    firstTaskUp = 1;
    SvcTaskUp();
}

void SecondTask() {
    if (firstTaskUp.load() == 0) secondBegunBeforeFirstUp = 1;
    secondTaskBegun = 1;
    SvcTaskUp();
}

int GateWaiters() {
    MutexGuard guard(&OWData.scbArray[TaskCreateSemId].semMutex);
    return OWData.scbArray[TaskCreateSemId].waiters;
}

TEST_F(TaskStartTest, TwoConcurrentStartsCreateTheSecondTaskOnlyAfterTheFirstIsUp) {
    firstTaskGo = Sem("go");
    eOsRet firstRc = eOS_RET_FAILURE;
    eOsRet secondRc = eOS_RET_FAILURE;
    std::thread first([&] {
        tOsTaskId id = 0;
        firstRc = SvcTaskStart((char *)"first", FirstTask, eOS_PRI_MEDIUM, 0x20000, &id);
    });
    ASSERT_TRUE(WaitUntil([] { return firstTaskBegun.load() == 1; }));
    std::thread second([&] {
        tOsTaskId id = 0;
        secondRc = SvcTaskStart((char *)"second", SecondTask, eOS_PRI_MEDIUM, 0x20000, &id);
    });
    // The second start is held at the gate while the first task is not up.
    ASSERT_TRUE(WaitUntil([] { return GateWaiters() == 1; }));
    EXPECT_EQ(secondTaskBegun.load(), 0);

    OsWrap__SemRelease(firstTaskGo);
    first.join();
    second.join();
    EXPECT_EQ(firstRc, eOS_RET_SUCCESS);
    EXPECT_EQ(secondRc, eOS_RET_SUCCESS);
    EXPECT_EQ(secondTaskBegun.load(), 1);
    EXPECT_EQ(secondBegunBeforeFirstUp.load(), 0);
}

TEST_F(TaskStartTest, AFailedStartGivesTheGateBackForTheNextStart) {
    tOsTaskId taskId = 5;
    EXPECT_EQ(SvcTaskStart(nullptr, RegisteringTask, eOS_PRI_LOW, 0x20000, &taskId),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(taskId, 0u);
    EXPECT_EQ(Reports("MAJOR:OsWrap__TaskCreate() failed: "), 1u);
    EXPECT_EQ(SvcTaskStart((char *)"badPri", RegisteringTask, eOS_PRI_MAX, 0x20000, &taskId),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:OsWrap__TaskCreate() failed: badPri, P3, S131072.\n"), 1u);

    EXPECT_EQ(SvcTaskStart((char *)"dbTask", RegisteringTask, eOS_PRI_LOW, 0x20000, &taskId),
              eOS_RET_SUCCESS);
    EXPECT_EQ(startedTasks.load(), 1);
}

// ---- sleep -------------------------------------------------------------------------------------

TEST_F(SleepTest, ZeroReturnsAtOnceWithACriticalReport) {
    const auto start = Clock::now();
    SvcSleep(0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(Reports("CRITICAL:SvcSleep(): OsWrap__SemWait() failed for SleepSemId: E6 SleepSemId = " +
                      Decimal(SleepSemId) + ".\n"),
              1u);
}

TEST_F(SleepTest, SleepsAboutTheTimeGivenWithoutAReport) {
    const auto start = Clock::now();
    SvcSleep(50);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, milliseconds(45));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

} // namespace
