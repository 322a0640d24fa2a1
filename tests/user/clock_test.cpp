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

TEST_F(ClockTest, TimeSpecArithmeticNormalisesNanoseconds) {
    timespec ts{5, -1};
    TimeSpecFix(&ts);
    EXPECT_EQ(Ns(ts), Ns(timespec{4, 999999999}));
    EXPECT_EQ(ts.tv_nsec, 999999999);
    ts = {5, 2000000001};
    TimeSpecFix(&ts);
    EXPECT_EQ(ts.tv_sec, 7);
    EXPECT_EQ(ts.tv_nsec, 1);
    timespec a{1, 900000000};
    const timespec b{2, 200000000};
    TimeSpecAdd(&a, &b);
    EXPECT_EQ(a.tv_sec, 4);
    EXPECT_EQ(a.tv_nsec, 100000000);
    TimeSpecSub(&a, &b);
    EXPECT_EQ(a.tv_sec, 1);
    EXPECT_EQ(a.tv_nsec, 900000000);
}

} // namespace
