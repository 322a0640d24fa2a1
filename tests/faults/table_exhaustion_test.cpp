// table_exhaustion_test.cpp - every fixed table full at once (tasks, queues, semaphores, allocation
// records, tick blocks): each creation refuses as designed, what exists keeps working, and once
// everything is freed the tables are empty and every creation works again.
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "cm_fixture.h"
#include "svc_fixture.h"
#include "svcinternal.h"
#include "svctick.h"
#include "timerdef.h"
#include "udp_port_state.h"
#include "wrap_fixture.h"

namespace {

using rktest::Eventually;
using wraptest::Waiters;

tOsSemId gate = OS_SEM_ID_INVALID;
std::atomic<int> tickClaims{0}, tickRefusals{0};
void NoTick(void *) {}

// Each task claims a tick block if one is left, then waits at the gate until the test ends it.
void Holder() {
    const eOsRet rc = SvcTickStart(1000000, eOS_BOOL_FALSE, NoTick, nullptr);
    ++(rc == eOS_RET_SUCCESS ? tickClaims : tickRefusals);
    OsWrap__SemWait(gate, OS_WAIT_FOREVER);
}

// Runs call in a thread that is no wrapper task (the task table may be full) and gives its result.
eOsRet InOwnThread(const std::function<eOsRet()> &call) {
    eOsRet rc = eOS_RET_MAX;
    std::thread([&] { rc = call(); }).join();
    return rc;
}

int FreeTickBlocks() {
    int free = 0;
    for (tSvcTmcb &tmcb : SvcTmcb) free += std::atomic_ref<uint32>(tmcb.taskId).load() == 0;
    return free;
}

// Fills the task table with holders that wait at a new gate; their ids.
std::vector<tOsTaskId> FillTaskTable() {
    EXPECT_EQ(OsWrap__SemCreate(const_cast<char *>("gate"), 0, &gate), eOS_RET_SUCCESS);
    std::vector<tOsTaskId> tasks;
    for (tOsTaskId id = 0; OWData.numOfTasks < OS_MAX_TASKS; tasks.push_back(id))
        if (OsWrap__TaskCreate(const_cast<char *>("holder"), Holder, eOS_PRI_LOW, 0x40000, &id) != eOS_RET_SUCCESS) break;
    EXPECT_TRUE(Eventually([&] { return Waiters(gate) == static_cast<int>(tasks.size()); }));
    return tasks;
}

// Lets the holders end, which gives their tick blocks back, and deletes their entries.
void EndHolders(const std::vector<tOsTaskId> &tasks) {
    for (size_t i = 0; i < tasks.size(); ++i) OsWrap__SemRelease(gate);
    EXPECT_TRUE(Eventually([] { return Waiters(gate) == 0 && FreeTickBlocks() == SVC_TMCB_TABLE_SIZE; }));
    for (tOsTaskId id : tasks) EXPECT_EQ(OsWrap__TaskDelete(id), eOS_RET_SUCCESS);
}

// The creations that the full tables refuse, and that work again once everything is freed.
struct Creation {
    const char *name;
    std::function<eOsRet()> call;
    eOsRet refusal;
    const char *report;
};

std::vector<Creation> Creations() {
    static tOsTaskId task;
    static tOsQueueId queue;
    static tOsSemId sem;
    auto name = [](const char *text) { return const_cast<char *>(text); };
    return {
        {"task", [=] { return OsWrap__TaskCreate(name("late"), [] {}, eOS_PRI_LOW, 0x40000, &task); },
         eOS_RET_FAILURE, "CRITICAL:OsWrap__TaskCreate(): Reached maximum task limit.\n"},
        {"service task", [=] { return SvcTaskStart(name("svclate"), [] { SvcTaskUp(); }, eOS_PRI_LOW, 0x40000, &task); },
         eOS_RET_FAILURE, "MAJOR:OsWrap__TaskCreate() failed: svclate, P2, S262144.\n"},
        {"queue", [=] { return OsWrap__QueueCreate(name("lateq"), 1, &queue); }, eOS_RET_FAILURE,
         "CRITICAL:OsWrap__QueueCreate(): Reached maximum queue limit.\n"},
        {"semaphore", [=] { return OsWrap__SemCreate(name("lates"), 0, &sem); }, eOS_RET_FAILURE,
         "CRITICAL:OsWrap__SemCreate(): Reached maximum semaphore limit: 44960.\n"},
        // A plain thread keeps its tick block when it ends; the next one may get the same id.
        {"tick", [] { return InOwnThread([] {
             const eOsRet rc = SvcTickStart(10, eOS_BOOL_TRUE, NoTick, nullptr);
             if (rc == eOS_RET_SUCCESS) SvcTickStop();
             return rc;
         }); },
         eOS_RET_NO_RESOURCE, "CRITICAL:SvcTickStart(): No more tSvcTmcb: TI"},
        {"belts", [] { return InOwnThread([] { return SvcTimerInit(eSVC_TASK_NAME_PM, 50, 100, 1000); }); },
         eOS_RET_NO_RESOURCE, "MAJOR:SvcTimerInit(): SvcTickStart() failed: T11, E4.\n"},
        // Last: once it works, the trace task runs.
        {"trace task", [] {
             InitTrace();
             return LogTraceInitDone == eOS_BOOL_TRUE ? eOS_RET_SUCCESS : eOS_RET_FAILURE;
         }, eOS_RET_FAILURE, "CRITICAL:OsWrap__QueueCreate(): Reached maximum queue limit.\n"},
    };
}

// The last creation starts the trace task, which ends before the service fixture checks the tables.
class TableExhaustionTest : public svctest::ServiceTest {
  protected:
    void TearDown() override {
        rktest::EndTrace();
        ServiceTest::TearDown();
    }
};

TEST_F(TableExhaustionTest, EveryTableFullAtOnceRefusesAsDesignedAndRecoversOnceFreed) {
    const std::vector<tOsTaskId> tasks = FillTaskTable();
    ASSERT_EQ(tasks.size(), static_cast<size_t>(OS_MAX_TASKS));
    EXPECT_EQ(tickClaims.load(), SVC_TMCB_TABLE_SIZE);
    EXPECT_EQ(tickRefusals.load(), OS_MAX_TASKS - SVC_TMCB_TABLE_SIZE);

    // The last queue finds the semaphores gone first: it is refused whole, and made once one is back.
    std::vector<tOsQueueId> queues(OS_MAX_QUEUES);
    for (int i = 0; i < OS_MAX_QUEUES - 1; ++i)
        ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 1, &queues[i]), eOS_RET_SUCCESS);
    std::vector<tOsSemId> sems;
    for (tOsSemId id = 0; OsWrap__SemCreate(const_cast<char *>("s"), 1, &id) == eOS_RET_SUCCESS;) sems.push_back(id);
    EXPECT_EQ(OWData.numOfSems, OS_MAX_SEMAPHORES);
    rktest::LogReports().Clear();
    EXPECT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 1, &queues.back()), eOS_RET_FAILURE);
    EXPECT_EQ(queues.back(), 0u);
    EXPECT_EQ(OWData.numOfQueues, OS_MAX_QUEUES - 1);
    EXPECT_EQ(Reports("CRITICAL:OsWrap__QueueCreate(): OsWrap__SemCreate() failed.\n"), 1u);
    ASSERT_EQ(OsWrap__SemDelete(sems.back()), eOS_RET_SUCCESS);
    sems.pop_back();
    ASSERT_EQ(OsWrap__QueueCreate(const_cast<char *>("q"), 1, &queues.back()), eOS_RET_SUCCESS);

    MemRecordStart(1);
    std::vector<void *> blocks;
    for (int i = 0; i <= OS_MAX_MEM_RECORDS; ++i) blocks.push_back(OsWrap__Alloc(16));
    EXPECT_EQ(MemRecordFull, 1u) << "the block past the last record is handed out unrecorded";
    EXPECT_EQ(LeakedBlocks(), OS_MAX_MEM_RECORDS + 1);

    for (const Creation &c : Creations()) {
        SCOPED_TRACE(c.name);
        rktest::LogReports().Clear();
        EXPECT_EQ(c.call(), c.refusal);
        EXPECT_EQ(Reports(c.report), 1u);
    }
    EXPECT_EQ(OWData.numOfTasks, OS_MAX_TASKS);
    EXPECT_EQ(OWData.numOfQueues, OS_MAX_QUEUES);
    EXPECT_EQ(OWData.numOfSems, OS_MAX_SEMAPHORES);
    EXPECT_EQ(LeakedBlocks(), OS_MAX_MEM_RECORDS + 1) << "refused belts are given back";

    // What exists keeps working: the last queue and the last semaphore.
    ASSERT_EQ(OsWrap__QueueSend(queues.back(), blocks.back()), eOS_RET_SUCCESS);
    tOsMsg msg = nullptr;
    ASSERT_EQ(OsWrap__QueueRcv(queues.back(), &msg, 100), eOS_RET_SUCCESS);
    EXPECT_EQ(msg, blocks.back());
    EXPECT_EQ(OsWrap__SemWait(sems.back(), OS_WAIT_NO), eOS_RET_SUCCESS);
    EXPECT_EQ(OsWrap__SemWait(sems.back(), OS_WAIT_NO), eOS_RET_AGAIN);

    // Everything freed: ended tasks give their tick blocks back, and the tables are empty.
    EndHolders(tasks);
    for (tOsQueueId id : queues) ASSERT_EQ(OsWrap__QueueDelete(id), eOS_RET_SUCCESS);
    for (tOsSemId id : sems) ASSERT_EQ(OsWrap__SemDelete(id), eOS_RET_SUCCESS);
    for (void *p : blocks) OsWrap__Free(p);
    EXPECT_EQ(OWData.numOfTasks, 0);
    EXPECT_EQ(OWData.numOfQueues, 0);
    EXPECT_EQ(OWData.numOfSems, 4) << "the service layer's three and the gate";
    EXPECT_EQ(MemRecordFull, 0u);
    EXPECT_EQ(LeakedBlocks(), 0);

    void *recorded = OsWrap__Alloc(8);
    EXPECT_EQ(MemDebugRecord[0].inUseB, 1u);
    EXPECT_EQ(MemDebugRecord[0].memP, recorded);
    OsWrap__Free(recorded);
    rktest::LogReports().Clear();
    for (const Creation &c : Creations()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), eOS_RET_SUCCESS);
    }
    EXPECT_EQ(Reports("CRITICAL:"), 0u);
}

// A channel start refused by the full task table may be tried again: the second start keeps one
// socket per port, and answers reach the socket that the requests read.
using ChannelStartTest = cmtest::CmTest;

TEST_F(ChannelStartTest, AStartRefusedByTheFullTaskTableStartsWholeWhenTriedAgain) {
    const std::vector<tOsTaskId> tasks = FillTaskTable();
    EXPECT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_FAILURE);
    EXPECT_EQ(Printed("Failed to create CommunicatorRxTask.\n"), 1u);
    EndHolders(tasks);
    StartChannel();
    EXPECT_EQ(UdpPortStateOf(extEntityReqRspUdpPort).sockets, 1);
    EXPECT_EQ(UdpPortStateOf(extEntityAlarmUdpPort).sockets, 1);
    uZqCmRes record = {};
    EXPECT_EQ(ZqCmApi__GetReq(3, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, uZqCmKey{}, &record),
              eOS_RET_OLT_NO_INSTANCE_EXISTS);
}

} // namespace
