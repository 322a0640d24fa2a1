// clock_test.cpp - millisecond clocks and their conversions to and from struct timespec.
#include <ctime>

#include "wrap_fixture.h"

namespace {
using namespace wraptest;

uint64_t Ms(tOsTime t) { return (uint64_t{t.high} << 32) | t.low; }
int64_t Ns(const timespec &ts) { return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec; }

using ClockTest = WrapTest;

TEST_F(ClockTest, UpTimeStartsNearZeroAndFollowsTheMonotonicClock) {
    const tOsTime first = OsWrap__GetUpTime();
    EXPECT_LT(Ms(first), 5000u);
    std::this_thread::sleep_for(milliseconds(200)); // the elapsed time is what is measured here
    const uint64_t elapsed = Ms(OsWrap__GetUpTime()) - Ms(first);
    EXPECT_GE(elapsed, 195u);
    EXPECT_LT(elapsed, 5000u);

    timespec ts{}, mono{};
    OsTime2TimeSpec(tOsTime{0, 1500}, &ts, 1); // up-time back to an absolute monotonic reading
    EXPECT_EQ(Ns(ts), Ns(OWData.bootTime) + 1500000000);
    OsTime2TimeSpec(OsWrap__GetUpTime(), &ts, 1);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    EXPECT_LE(Ns(ts), Ns(mono));
    EXPECT_GT(Ns(ts), Ns(mono) - 1000000000);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(ClockTest, SystemTimeCountsMillisecondsSinceTheEpochAndConvertsBack) {
    const time_t before = time(nullptr);
    const tOsTime now = OsWrap__GetSysTime();
    EXPECT_GT(now.high, 0u);
    EXPECT_GE(Ms(now) / 1000, static_cast<uint64_t>(before));
    EXPECT_LE(Ms(now) / 1000, static_cast<uint64_t>(time(nullptr)) + 1); // time() reads a coarser clock
    timespec ts{};
    OsTime2TimeSpec(now, &ts, 0);
    EXPECT_EQ(static_cast<uint64_t>(ts.tv_sec), Ms(now) / 1000);
    EXPECT_EQ(static_cast<uint64_t>(ts.tv_nsec), (Ms(now) % 1000) * 1000000);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(ClockTest, UpTimesConvertToTheMonotonicClockAndBackAcrossSecondBoundaries) {
    // Up-times whose milliseconds, added to the boot reading, carry into the next second, and
    // their way back, which borrows: each comes back as it was, with nanoseconds below a second.
    const uint32 toCarry = 1000 - static_cast<uint32>(OWData.bootTime.tv_nsec / 1000000);
    const uint32 upTimes[] = {0, 1, 999, 1000, 1001, toCarry, toCarry + 1000, 86399999, 0xFFFFFFFFu};
    for (const uint32 ms : upTimes) {
        timespec ts{};
        OsTime2TimeSpec(tOsTime{0, ms}, &ts, 1);
        EXPECT_GE(ts.tv_nsec, 0) << ms;
        EXPECT_LT(ts.tv_nsec, 1000000000) << ms;
        EXPECT_EQ(Ns(ts), Ns(OWData.bootTime) + int64_t{ms} * 1000000) << ms;
        EXPECT_EQ(Ms(TimeSpec2OsTime(&ts, 1)), ms);
    }
    EXPECT_TRUE(Reports().empty());
}

} // namespace
