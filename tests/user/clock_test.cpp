// clock_test.cpp - millisecond clocks and their conversions to and from struct timespec.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "capture.h"
#include "oswrap.h"
#include "oswraplx.h"

namespace {

uint64_t Ms(tOsTime t) { return (uint64_t{t.high} << 32) | t.low; }
int64_t NsOf(const timespec &ts) { return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec; }

class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OsWrap__Init(nullptr), eOS_RET_SUCCESS);
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
    }
};

TEST_F(ClockTest, UpTimeStartsNearZeroAndFollowsTheMonotonicClock) {
    EXPECT_LT(Ms(OsWrap__GetUpTime()), 5000u);
    const tOsTime before = OsWrap__GetUpTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t elapsed = Ms(OsWrap__GetUpTime()) - Ms(before);
    EXPECT_GE(elapsed, 195u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST_F(ClockTest, SystemTimeCountsMillisecondsSinceTheEpochBeyond32Bits) {
    const time_t before = time(nullptr);
    const tOsTime now = OsWrap__GetSysTime();
    const time_t after = time(nullptr);
    EXPECT_GT(now.high, 0u);
    EXPECT_GE(Ms(now) / 1000, static_cast<uint64_t>(before));
    EXPECT_LE(Ms(now) / 1000, static_cast<uint64_t>(after) + 1); // time() reads a coarser clock
    EXPECT_TRUE(rktest::LogReports().Texts().empty());
}

TEST_F(ClockTest, SystemTimeConvertsBackToSecondsAndNanoseconds) {
    const tOsTime now = OsWrap__GetSysTime();
    timespec ts{};
    OsTime2TimeSpec(now, &ts, 0);
    EXPECT_EQ(static_cast<uint64_t>(ts.tv_sec), Ms(now) / 1000);
    EXPECT_EQ(static_cast<uint64_t>(ts.tv_nsec), (Ms(now) % 1000) * 1000000);
}

TEST_F(ClockTest, UpTimeConvertsToAnAbsoluteMonotonicReading) {
    timespec ts{};
    OsTime2TimeSpec(tOsTime{0, 1500}, &ts, 1);
    EXPECT_EQ(NsOf(ts), NsOf(OWData.bootTime) + 1500000000);

    timespec mono{};
    OsTime2TimeSpec(OsWrap__GetUpTime(), &ts, 1);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    EXPECT_LE(NsOf(ts), NsOf(mono));
    EXPECT_GT(NsOf(ts), NsOf(mono) - 1000000000);
}

TEST_F(ClockTest, TimeSpecArithmeticNormalisesNanoseconds) {
    timespec ts{5, -1};
    TimeSpecFix(&ts);
    EXPECT_EQ(ts.tv_sec, 4);
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

TEST_F(ClockTest, TimeSpecToOsTimeTruncatesToWholeMilliseconds) {
    timespec ts{4294968, 999999};
    const tOsTime t = TimeSpec2OsTime(&ts, 0);
    EXPECT_EQ(Ms(t), 4294968000u);
    EXPECT_EQ(t.high, 1u);
}

} // namespace
