// isolation.cpp - snapshots of the wrapper's tables and the end of what a test case made since one.
#include "isolation.h"

#include <dirent.h>

#include <algorithm>

#include "oswraplx.h"
#include "probes.h"

namespace rktest {

namespace {

int ThreadCount() {
    int count = 0;
    if (DIR *dir = opendir("/proc/self/task"); dir != nullptr) {
        while (const dirent *entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

bool Has(const std::vector<tOsTaskId> &tasks, tOsTaskId id) {
    return std::find(tasks.begin(), tasks.end(), id) != tasks.end();
}

} // namespace

TableSnapshot SnapshotTables() {
    TableSnapshot snapshot;
    {
        MutexGuard guard(&OWData.gtMutex);
        for (int i = 0; i < OWData.numOfTasks && i < OS_MAX_TASKS; ++i) {
            snapshot.tasks.push_back(static_cast<tOsTaskId>(OWData.tcbArray[i].taskId));
        }
    }
    snapshot.sems.resize(OS_MAX_SEMAPHORES + 1);
    for (uint32 id = 1; id <= OS_MAX_SEMAPHORES; ++id) {
        snapshot.sems[id] = SharedGetAcquire(OWData.scbArray[id].busy) == eOS_BOOL_TRUE;
    }
    snapshot.queues.resize(OS_MAX_QUEUES + 1);
    for (uint32 id = 1; id <= OS_MAX_QUEUES; ++id) {
        snapshot.queues[id] = SharedGetAcquire(OWData.qcbArray[id - 1].busy) == eOS_BOOL_TRUE;
    }
    snapshot.threads = ThreadCount();
    return snapshot;
}

void EndWhatWasMadeSince(const TableSnapshot &before) {
    const TableSnapshot now = SnapshotTables();
    // The threads of tasks still running end some time after their deletion.
    int running = 0;
    for (tOsTaskId id : now.tasks) {
        if (Has(before.tasks, id)) continue;
        {
            MutexGuard guard(&OWData.gtMutex);
            for (int i = 0; i < OWData.numOfTasks; ++i) {
                const tTcb &tcb = OWData.tcbArray[i];
                if (static_cast<tOsTaskId>(tcb.taskId) == id && tcb.ended != eOS_BOOL_TRUE) ++running;
            }
        }
        OsWrap__TaskDelete(id);
    }
    (void)Eventually([&] { return ThreadCount() <= now.threads - running; });
    for (uint32 id = 1; id <= OS_MAX_QUEUES; ++id) {
        if (now.queues[id] && !before.queues[id]) {
            (void)Eventually([id] { return OsWrap__QueueDelete(id) != eOS_RET_INVALID_STATE; });
        }
    }
    for (uint32 id = 1; id <= OS_MAX_SEMAPHORES; ++id) {
        if (now.sems[id] && !before.sems[id] && SharedGetAcquire(OWData.scbArray[id].busy) == eOS_BOOL_TRUE) {
            (void)Eventually([id] { return OsWrap__SemDelete(id) != eOS_RET_INVALID_STATE; });
        }
    }
}

void ResetWrapperSettings() {
    OsWrap__RegisterMemHandleFunc(nullptr, nullptr);
    MemRecordStart(0);
    MemRecordClear();
    OsWrapTestMutexCreateFailAt = 0;
    OsWrapTestSemDestroyFailAt = 0;
    SetDisplayMode(eOS_BOOL_FALSE, eOS_BOOL_FALSE);
    SetCliDisplayMode(eOS_BOOL_FALSE);
    SetCliShowOltLog(eOS_BOOL_FALSE);
}

std::string TableChanges(const TableSnapshot &before, const TableSnapshot &after) {
    std::string changes;
    auto note = [&](const char *what, size_t was, size_t is) {
        if (was != is) changes += std::string(what) + " " + std::to_string(was) + " -> " + std::to_string(is) + "; ";
    };
    note("tasks", before.tasks.size(), after.tasks.size());
    note("semaphores", std::count(before.sems.begin(), before.sems.end(), true),
         std::count(after.sems.begin(), after.sems.end(), true));
    note("queues", std::count(before.queues.begin(), before.queues.end(), true),
         std::count(after.queues.begin(), after.queues.end(), true));
    return changes;
}

} // namespace rktest
