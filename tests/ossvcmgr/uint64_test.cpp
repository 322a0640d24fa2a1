// uint64_test.cpp - 64-bit arithmetic on halves: exact results against native arithmetic, and an
// overflow report exactly when the true result does not fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "capture.h"
#include "uint64.h"

namespace {

using Texts = std::vector<std::string>;
tOsUint64 U(uint64_t v) { return tOsUint64{static_cast<uint32>(v >> 32), static_cast<uint32>(v)}; }
uint64_t N(tOsUint64 v) { return (uint64_t{v.high} << 32) | v.low; }

class Uint64Test : public ::testing::Test {
  protected:
    void SetUp() override {
        rktest::CaptureLogReports();
        rktest::LogReports().Clear();
    }
    // Reports since the last call.
    static Texts Reports() {
        Texts texts = rktest::LogReports().Texts();
        rktest::LogReports().Clear();
        return texts;
    }
    std::mt19937_64 rng_{7};
    uint64_t Any64() { return rng_() >> (rng_() % 64); }
    uint32 Any32() { return static_cast<uint32>(rng_() >> (32 + rng_() % 32)); }
};

TEST_F(Uint64Test, AddIsTheSumModulo2To64AndReportsACarryOutOfBit63) {
    EXPECT_EQ(N(Uint64Add(U(0xFFFFFFFFu), U(1))), 0x100000000u);
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(N(Uint64Add(U(UINT64_MAX), U(1))), 0u);
    EXPECT_EQ(Reports(), Texts{"MAJOR:Uint64Add(): Overflow: H-1L-1 + H0L1.\n"});
    for (int i = 0; i < 20000; ++i) {
        const uint64_t a = Any64(), b = Any64();
        ASSERT_EQ(N(Uint64Add(U(a), U(b))), a + b);
        ASSERT_EQ(Reports().size(), a + b < a ? 1u : 0u) << a << " + " << b;
    }
}

TEST_F(Uint64Test, SubtractGivesTheSignedDifferenceOfNearbyValues) {
    EXPECT_EQ(Uint64Subtract(U(5), U(3)), 2);
    EXPECT_EQ(Uint64Subtract(U(3), U(5)), -2);
    EXPECT_TRUE(Reports().empty());
    // Across a carry of the low half the result is exact, but the differing high halves are reported.
    EXPECT_EQ(Uint64Subtract(tOsUint64{1, 16}, tOsUint64{0, 0xFFFFFFF0u}), 32);
    EXPECT_EQ(Reports(), Texts{"MAJOR:Uint64Subtract(): Overflow: H1L16 - H0L-16.\n"});
    EXPECT_EQ(Uint64Subtract(U(0x80000000u), U(0)), 0);
    EXPECT_EQ(Reports(), Texts{"MAJOR:Uint64Subtract(): Overflow: H0L-2147483648 - H0L0.\n"});
    for (int i = 0; i < 20000; ++i) {
        const uint64_t a = Any64();
        const int64_t delta = static_cast<int64_t>(rng_() % 0x7FFFFFFFu) * ((rng_() & 1) ? 1 : -1);
        const uint64_t b = a + static_cast<uint64_t>(delta);
        if ((delta > 0 && b < a) || (delta < 0 && b > a)) continue; // wrapped past 0 or 2^64
        ASSERT_EQ(Uint64Subtract(U(b), U(a)), delta) << b << " - " << a;
    }
}

TEST_F(Uint64Test, DivideIsExactForSmallAndLargeDivisors) {
    EXPECT_EQ(N(Uint64Divide(U(1000), 3)), 333u);
    EXPECT_EQ(N(Uint64Divide(U(1ull << 32), 65536)), 65536u);
    EXPECT_EQ(N(Uint64Divide(U(1ull << 32), 1u << 28)), 16u);
    EXPECT_EQ(N(Uint64Divide(U(UINT64_MAX), 0xFFFFFFFFu)), 0x100000001u);
    for (int i = 0; i < 50000; ++i) {
        const uint64_t a = Any64();
        const uint32 d = Any32() | 1u;
        ASSERT_EQ(N(Uint64Divide(U(a), d)), a / d) << a << " / " << d;
    }
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(N(Uint64Divide(U(5), 0)), 0u);
    EXPECT_EQ(Reports(), Texts{"MAJOR:Uint64Divide(): Divide by zero.\n"});
    EXPECT_EQ(Uint64DivideToUint32(U(4000), 4), 1000u);
    EXPECT_EQ(Uint64DivideToUint32(tOsUint64{2, 0}, 1), 0u);
    EXPECT_EQ(Reports(), Texts{"MAJOR:Uint64DivideToUint32(): result overflow: 2:0 / 1 = 2:0.\n"});
}

TEST_F(Uint64Test, MultiplyIsTheProductModulo2To64AndReportsEveryOverflow) {
    EXPECT_EQ(N(Uint64Multiply(U(1000), 1000)), 1000000u);
    EXPECT_EQ(N(Uint64Multiply(tOsUint64{0xFFFFu, 0}, 0x10000u)), 0xFFFF000000000000u);
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(N(Uint64Multiply(tOsUint64{0xFFFFFFFFu, 0}, 2)), 0xFFFFFFFE00000000u);
    EXPECT_EQ(N(Uint64Multiply(tOsUint64{0x10000u, 0}, 0x10000u)), 0u);
    EXPECT_EQ(Reports(), (Texts{"MAJOR:Uint64Multiply(): Overflow: H-1L0 * M2.\n",
                                "MAJOR:Uint64Multiply(): Overflow: H65536L0 * M65536.\n"}));
    for (int i = 0; i < 50000; ++i) {
        const uint64_t a = Any64();
        const uint32 m = Any32();
        const unsigned __int128 product = static_cast<unsigned __int128>(a) * m;
        ASSERT_EQ(N(Uint64Multiply(U(a), m)), static_cast<uint64_t>(product)) << a << " * " << m;
        ASSERT_EQ(Reports().size(), (product >> 64) != 0 ? 1u : 0u) << a << " * " << m;
    }
}

TEST_F(Uint64Test, InitAndIsZeroMacros) {
    tOsUint64 v = {3, 4};
    EXPECT_FALSE(Uint64IsZero(v));
    Uint64Init(v);
    EXPECT_TRUE(Uint64IsZero(v));
    EXPECT_FALSE(Uint64IsZero(U(1ull << 32)));
}

} // namespace
