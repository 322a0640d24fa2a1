// uint64_test.cpp - 64-bit arithmetic on halves: carries, borrows, overflow reports, exact results.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "capture.h"
#include "uint64.h"

namespace {

tOsUint64 U(uint32 high, uint32 low) { return tOsUint64{high, low}; }
tOsUint64 FromNative(uint64_t v) { return U(static_cast<uint32>(v >> 32), static_cast<uint32>(v)); }
uint64_t Native(tOsUint64 v) { return (uint64_t{v.high} << 32) | v.low; }

class Uint64Test : public ::testing::Test {
  protected:
    void SetUp() override {
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
    }
    size_t Reports() { return rktest::LogReports().Texts().size(); }
};

TEST_F(Uint64Test, AddCarriesIntoHighHalfWithoutReport) {
    const tOsUint64 sum = Uint64Add(U(0, 0xFFFFFFFFu), U(0, 1));
    EXPECT_EQ(sum.high, 1u);
    EXPECT_EQ(sum.low, 0u);
    EXPECT_EQ(Reports(), 0u);
}

TEST_F(Uint64Test, AddWrapsAndReportsCarryOutOfBit63) {
    const tOsUint64 sum = Uint64Add(U(0xFFFFFFFFu, 0xFFFFFFFFu), U(0, 1));
    EXPECT_EQ(sum.high, 0u);
    EXPECT_EQ(sum.low, 0u);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:Uint64Add(): Overflow: H-1L-1 + H0L1.\n"});
}

TEST_F(Uint64Test, AddMatchesNativeSumForRandomOperands) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        const uint64_t b = rng() >> (rng() % 64);
        const uint64_t expected = a + b;
        rktest::LogReports().Clear();
        ASSERT_EQ(Native(Uint64Add(FromNative(a), FromNative(b))), expected) << a << " + " << b;
        ASSERT_EQ(Reports(), expected < a ? 1u : 0u) << a << " + " << b;
    }
}

TEST_F(Uint64Test, SubtractGivesSignedDifferenceOfNearbyValues) {
    EXPECT_EQ(Uint64Subtract(U(0, 5), U(0, 3)), 2);
    EXPECT_EQ(Uint64Subtract(U(0, 3), U(0, 5)), -2);
    EXPECT_EQ(Uint64Subtract(U(7, 0x7FFFFFFFu), U(7, 0)), 0x7FFFFFFF);
    EXPECT_EQ(Reports(), 0u);
}

TEST_F(Uint64Test, SubtractAcrossLowHalfBorrowIsExactButReported) {
    EXPECT_EQ(Uint64Subtract(U(1, 16), U(0, 0xFFFFFFF0u)), 32);
    EXPECT_EQ(Uint64Subtract(U(0, 0xFFFFFFF0u), U(1, 16)), -32);
    const auto texts = rktest::LogReports().Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "MAJOR:Uint64Subtract(): Overflow: H1L16 - H0L-16.\n");
}

TEST_F(Uint64Test, SubtractReportsDifferenceThatDoesNotFit31Bits) {
    EXPECT_EQ(Uint64Subtract(U(0, 0x80000000u), U(0, 0)), 0);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:Uint64Subtract(): Overflow: H0L-2147483648 - H0L0.\n"});
}

TEST_F(Uint64Test, SubtractIsExactForRandomNearbyValues) {
    std::mt19937_64 rng(11);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        const int64_t delta = static_cast<int64_t>(rng() % 0x7FFFFFFFu) * ((rng() & 1) ? 1 : -1);
        const uint64_t b = a + static_cast<uint64_t>(delta);
        if ((delta > 0 && b < a) || (delta < 0 && b > a)) continue; // wrapped past 0 or 2^64
        ASSERT_EQ(Uint64Subtract(FromNative(b), FromNative(a)), delta) << b << " - " << a;
    }
}

TEST_F(Uint64Test, DivideBySmallAndLargeDivisors) {
    EXPECT_EQ(Native(Uint64Divide(U(0, 1000), 3)), 333u);
    EXPECT_EQ(Native(Uint64Divide(U(1, 0), 65536)), 65536u);
    EXPECT_EQ(Native(Uint64Divide(U(1, 0), 1u << 28)), 16u);
    EXPECT_EQ(Native(Uint64Divide(U(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu)), 0x100000001u);
    EXPECT_EQ(Native(Uint64Divide(U(0xFFFFFFFFu, 0xFFFFFFFFu), 1)), UINT64_MAX);
    EXPECT_EQ(Reports(), 0u);
}

TEST_F(Uint64Test, DivideByZeroGivesZeroAndReports) {
    EXPECT_EQ(Native(Uint64Divide(U(5, 5), 0)), 0u);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:Uint64Divide(): Divide by zero.\n"});
}

TEST_F(Uint64Test, DivideIsExactForRandomOperands) {
    std::mt19937_64 rng(13);
    for (int i = 0; i < 50000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        uint32 d = static_cast<uint32>(rng() >> (32 + rng() % 32));
        if (d == 0) d = 1;
        ASSERT_EQ(Native(Uint64Divide(FromNative(a), d)), a / d) << a << " / " << d;
    }
    EXPECT_EQ(Reports(), 0u);
}

TEST_F(Uint64Test, DivideToUint32ReportsQuotientBeyond32Bits) {
    EXPECT_EQ(Uint64DivideToUint32(U(0, 4000), 4), 1000u);
    EXPECT_EQ(Reports(), 0u);
    EXPECT_EQ(Uint64DivideToUint32(U(2, 0), 1), 0u);
    EXPECT_EQ(rktest::LogReports().Texts(),
              std::vector<std::string>{"MAJOR:Uint64DivideToUint32(): result overflow: 2:0 / 1 = 2:0.\n"});
}

TEST_F(Uint64Test, MultiplyEdgeCasesAndOverflowReports) {
    EXPECT_EQ(Native(Uint64Multiply(U(0, 1000), 1000)), 1000000u);
    EXPECT_EQ(Native(Uint64Multiply(U(0xFFFFu, 0), 0x10000u)), 0xFFFF000000000000u);
    EXPECT_EQ(Reports(), 0u);

    const tOsUint64 wrapped = Uint64Multiply(U(0xFFFFFFFFu, 0), 2);
    EXPECT_EQ(wrapped.high, 0xFFFFFFFEu);
    EXPECT_EQ(wrapped.low, 0u);
    EXPECT_EQ(Native(Uint64Multiply(U(0x10000u, 0), 0x10000u)), 0u);
    EXPECT_EQ(rktest::LogReports().Texts(),
              (std::vector<std::string>{"MAJOR:Uint64Multiply(): Overflow: H-1L0 * M2.\n",
                                        "MAJOR:Uint64Multiply(): Overflow: H65536L0 * M65536.\n"}));
}

TEST_F(Uint64Test, MultiplyMatchesNativeProductAndReportsExactlyTheOverflows) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 50000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        const uint32 m = static_cast<uint32>(rng() >> (32 + rng() % 32));
        const unsigned __int128 product = static_cast<unsigned __int128>(a) * m;
        rktest::LogReports().Clear();
        ASSERT_EQ(Native(Uint64Multiply(FromNative(a), m)), static_cast<uint64_t>(product)) << a << " * " << m;
        ASSERT_EQ(Reports(), (product >> 64) != 0 ? 1u : 0u) << a << " * " << m;
    }
}

TEST_F(Uint64Test, InitAndIsZeroMacros) {
    tOsUint64 v = U(3, 4);
    EXPECT_FALSE(Uint64IsZero(v));
    Uint64Init(v);
    EXPECT_TRUE(Uint64IsZero(v));
    EXPECT_FALSE(Uint64IsZero(U(0, 1)));
    EXPECT_FALSE(Uint64IsZero(U(1, 0)));
}

} // namespace
