// isolation.h - what keeps the cases of one test program apart, since the library's tables are
// process-global: a snapshot of the wrapper's tables, and the end of what a case made since.
#ifndef RELAYKIT_TESTS_ISOLATION_H
#define RELAYKIT_TESTS_ISOLATION_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "oswrap.h"

namespace rktest {

// Which tasks, semaphores and queues exist at one moment, and how many threads the process runs.
struct TableSnapshot {
    std::vector<tOsTaskId> tasks;
    std::vector<bool> sems;   // by id
    std::vector<bool> queues; // by id
    int threads = 0;
};
TableSnapshot SnapshotTables();

// Deletes the tasks, queues and semaphores made since the snapshot, and waits (ten seconds at the
// most) until the deleted tasks' threads are gone. Queues go before semaphores, as a queue's
// semaphore goes with it; a semaphore still waited on is tried again until the deadline.
void EndWhatWasMadeSince(const TableSnapshot &before);

// Puts back the wrapper's switches a case may turn: the system allocator, allocation records off
// and empty, no injected failures, no output sinks.
void ResetWrapperSettings();

// What differs between two snapshots, as text; empty when the tables are alike.
std::string TableChanges(const TableSnapshot &before, const TableSnapshot &after);

// Runs body in a fresh process of the test program, for a case about a library that was never
// started; the case fails when an expectation in body failed.
template <typename Body> void InAFreshProcess(Body body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            body();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace rktest

#endif // RELAYKIT_TESTS_ISOLATION_H
