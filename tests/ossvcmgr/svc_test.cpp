// svc_test.cpp - the registry of service tasks and modules, the serialised task start and the sleep.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "oswraplx.h"
#include "svc_fixture.h"

namespace {

using svctest::ServiceTest;
using RegistryTest = ServiceTest;
using TaskStartTest = ServiceTest;

void OtherHandler(char *) {}

TEST_F(RegistryTest, InitWithANullHandlerKeepsTheCurrentOne) {
    ASSERT_EQ(SvcInit(OtherHandler, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcSysErrorHandler, OtherHandler);
    EXPECT_EQ(SvcSysInfoHandler, rktest::CaptureInfoHandler);
    SvcPrintf("still printed\n");
    EXPECT_EQ(rktest::HandlerTexts().Count("still printed"), 1u);
}

TEST_F(RegistryTest, InitReportsEachSemaphoreItCannotMakeAndMayBeCalledAgain) {
    // The n-th mutex made fails: the n-th semaphore of the three cannot be made.
    const char *const reports[] = {"MAJOR:OsWrap__SemCreate() failed for SleepSemId: E1.\n",
                                   "MAJOR:OsWrap__SemCreate() failed for TaskCreateSemId: E1.\n",
                                   "MAJOR:OsWrap__SemCreate() failed for TaskUpSemId: E1.\n"};
    for (int failAt = 1; failAt <= 3; ++failAt) {
        SCOPED_TRACE(failAt);
        OsWrapTestMutexCreateFailAt = failAt;
        EXPECT_EQ(SvcInit(nullptr, nullptr), eOS_RET_FAILURE);
        EXPECT_EQ(Reports(reports[failAt - 1]), 1u);
    }
    EXPECT_EQ(SvcInit(nullptr, nullptr), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(TaskCreateSemId, OS_WAIT_NO), eOS_RET_SUCCESS) << "the start gate is open";
}

TEST_F(RegistryTest, ModulesResolveQueueAndSemaphoreByTheirRegisteredForm) {
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_PM, 1, 11, 21), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_PM, OS_QUEUE_ID_INVALID), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_SNMP, eSVC_TASK_NAME_INVALID, 30), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_PM, 40), eOS_RET_SUCCESS);
    EXPECT_EQ(Reports("MINOR:SvcModuleReg(): Both task name and queue id: M17, T11, Q40.\n"), 1u);
    // The task moves to another queue and semaphore after its modules registered.
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_PM, 1, 12, 22), eOS_RET_SUCCESS);

    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_PM), 12u); // the task's queue, looked up now
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_PM), OS_SEM_ID_INVALID);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_SNMP), 30u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_SNMP), OS_SEM_ID_INVALID);
    EXPECT_EQ(Reports("MAJOR:SvcModuleGetSemId(): Invalid task name: M12, T19.\n"), 1u);
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_ALARM), 40u);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_ALARM), 21u); // copied at registration
    EXPECT_EQ(SvcModuleGetTaskName(eSVC_MODULE_ID_ALARM), eSVC_TASK_NAME_PM);

    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_LMT), OS_QUEUE_ID_INVALID); // never registered
    EXPECT_EQ(SvcModuleGetQueueId(eSVC_MODULE_ID_INVALID), OS_QUEUE_ID_INVALID);
    EXPECT_EQ(SvcModuleGetSemId(eSVC_MODULE_ID_INVALID), OS_SEM_ID_INVALID);
    EXPECT_EQ((uint32)SvcModuleGetTaskName(eSVC_MODULE_ID_INVALID), 0xFFFFFFFFu);
}

TEST_F(RegistryTest, TheTableDumpListsEveryTaskAndModuleWithItsRoute) {
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_PM, 1, 11, 21), eOS_RET_SUCCESS);
    ASSERT_EQ(SvcModuleReg(eSVC_MODULE_ID_ALARM, eSVC_TASK_NAME_PM, 40), eOS_RET_SUCCESS);
    DumpSvcTaskTable();
    EXPECT_EQ(rktest::HandlerTexts().Count("indexI:"), 19u + 40u);
    EXPECT_EQ(rktest::HandlerTexts().Count("indexI:11   queueId:0xb  semId:0x15\n"), 1u);
    EXPECT_EQ(rktest::HandlerTexts().Count("indexI:17  taskName:11  queueId:0x28  semId:0x15\n"), 1u);
    EXPECT_EQ(rktest::HandlerTexts().Count("indexI:13  taskName:19  queueId:0xffffffff  semId:0xffffffff\n"), 1u)
        << "an unregistered module";
}

TEST_F(RegistryTest, RefusedRegistrationsLeaveTheTablesUnchanged) {
    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_INVALID, 1, 1, 1), eOS_RET_INVALID_ARG);
    EXPECT_EQ(SvcTaskReg(eSVC_TASK_NAME_OMCI, 1, OS_QUEUE_ID_INVALID, OS_SEM_ID_INVALID),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:SvcTaskReg(): Invalid queue/sem id: T2, Q-1, S-1.\n"), 1u);
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_INVALID, eSVC_TASK_NAME_OMCI, 3), eOS_RET_INVALID_ARG);
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, (eSvcTaskName)20, 3), eOS_RET_INVALID_ARG);
    EXPECT_EQ(SvcModuleReg(eSVC_MODULE_ID_PM, eSVC_TASK_NAME_INVALID, OS_QUEUE_ID_INVALID),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:"), 5u);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_OMCI].queueId, OS_QUEUE_ID_INVALID);
    EXPECT_EQ(SvcModuleTable[eSVC_MODULE_ID_PM].taskName, eSVC_TASK_NAME_INVALID);
}

TEST_F(RegistryTest, TaskNameLookupsFindOnlyTheCallingTask) {
    ASSERT_EQ(SvcTaskReg(eSVC_TASK_NAME_SWDL, OsWrap__TaskId(), 3, OS_SEM_ID_INVALID), eOS_RET_SUCCESS);
    EXPECT_EQ(SvcGetTaskName(), eSVC_TASK_NAME_SWDL);
    EXPECT_EQ(SvcIsTaskName(eSVC_TASK_NAME_SWDL), eOS_BOOL_TRUE);
    EXPECT_EQ(SvcIsTaskName(eSVC_TASK_NAME_LMT), eOS_BOOL_FALSE);
    for (uint32 outside : {19u, 0xFFFFFFFFu}) EXPECT_EQ(SvcIsTaskName((eSvcTaskName)outside), eOS_BOOL_FALSE);
    EXPECT_EQ(Reports("MAJOR:SvcIsTaskName(): Invalid task name: T19.\n"), 1u);
    EXPECT_EQ(Reports("MAJOR:SvcIsTaskName(): Invalid task name: T-1.\n"), 1u);
    eSvcTaskName seenByOther = eSVC_TASK_NAME_MIN;
    std::thread([&] { seenByOther = SvcGetTaskName(); }).join();
    EXPECT_EQ(seenByOther, eSVC_TASK_NAME_INVALID);
}

// ---- task start --------------------------------------------------------------------------------

std::atomic<int> registered{0};
std::atomic<int> firstBegun{0}, firstUp{0}, secondBegun{0}, secondBeforeFirstUp{0};
tOsSemId firstGo = 0;

void RegisteringTask() {
    tOsQueueId queueId = OS_QUEUE_ID_INVALID;
    OsWrap__QueueCreate((char *)"regq", 10, &queueId);
    SvcTaskReg(eSVC_TASK_NAME_DB, OsWrap__TaskId(), queueId, OS_SEM_ID_INVALID);
    registered++;
    SvcTaskUp();
    SvcSleep(0xFFFFFFFFu); // a service task lives on in its loop; one that ends leaves the registry
}

void FirstTask() {
    firstBegun = 1;
    OsWrap__SemWait(firstGo, OS_WAIT_FOREVER);
    firstUp = 1;
    SvcTaskUp();
}

void SecondTask() {
    if (firstUp.load() == 0) secondBeforeFirstUp = 1;
    secondBegun = 1;
    SvcTaskUp();
}

int GateWaiters() {
    MutexGuard guard(&OWData.scbArray[TaskCreateSemId].semMutex);
    return OWData.scbArray[TaskCreateSemId].waiters;
}

TEST_F(TaskStartTest, TwoConcurrentStartsCreateTheSecondTaskOnlyAfterTheFirstIsUp) {
    firstGo = Sem("go");
    eOsRet firstRc = eOS_RET_FAILURE, secondRc = eOS_RET_FAILURE;
    tOsTaskId firstId = 0, secondId = 0;
    std::thread first([&] {
        firstRc = SvcTaskStart((char *)"first", FirstTask, eOS_PRI_MEDIUM, 0x20000, &firstId);
    });
    ASSERT_TRUE(rktest::Eventually([] { return firstBegun.load() == 1; }));
    std::thread second([&] {
        secondRc = SvcTaskStart((char *)"second", SecondTask, eOS_PRI_MEDIUM, 0x20000, &secondId);
    });
    ASSERT_TRUE(rktest::Eventually([] { return GateWaiters() == 1; })); // held at the start gate
    EXPECT_EQ(secondBegun.load(), 0);

    OsWrap__SemRelease(firstGo);
    first.join();
    second.join();
    EXPECT_EQ(firstRc, eOS_RET_SUCCESS);
    EXPECT_EQ(secondRc, eOS_RET_SUCCESS);
    EXPECT_EQ(secondBegun.load(), 1);
    EXPECT_EQ(secondBeforeFirstUp.load(), 0);
}

TEST_F(TaskStartTest, AFailedStartGivesTheGateBackForTheNextStart) {
    tOsTaskId taskId = 5;
    EXPECT_EQ(SvcTaskStart(nullptr, RegisteringTask, eOS_PRI_LOW, 0x20000, &taskId), eOS_RET_INVALID_ARG);
    EXPECT_EQ(SvcTaskStart((char *)"badPri", RegisteringTask, eOS_PRI_MAX, 0x20000, &taskId),
              eOS_RET_INVALID_ARG);
    EXPECT_EQ(Reports("MAJOR:OsWrap__TaskCreate() failed: badPri, P3, S131072.\n"), 1u);

    // When the start returns, the task is registered and ready.
    ASSERT_EQ(SvcTaskStart((char *)"dbTask", RegisteringTask, eOS_PRI_LOW, 0x20000, &taskId),
              eOS_RET_SUCCESS);
    EXPECT_EQ(registered.load(), 1);
    EXPECT_EQ(SvcTaskTable[eSVC_TASK_NAME_DB].taskId, taskId);
}

TEST_F(ServiceTest, SleepEndsByItsTimeOutAndReportsAnyOtherEnd) {
    const auto start = std::chrono::steady_clock::now();
    SvcSleep(50);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
    SvcSleep(0);
    EXPECT_EQ(Reports("CRITICAL:SvcSleep(): OsWrap__SemWait() failed for SleepSemId: E6 SleepSemId = " +
                      std::to_string(SleepSemId) + ".\n"),
              1u);
}

} // namespace
