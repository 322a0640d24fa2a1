// uint64.cpp - 64-bit arithmetic on two 32-bit halves, without a 64-bit integer type.
#include "uint64.h"

#include "zqcmtrace.h"

namespace {

constexpr uint32 kLow16 = 0xFFFFu;
constexpr uint32 kLow24 = 0xFFFFFFu;

// Halves are printed as signed numbers in every report.
inline sint32 S(uint32 half) { return static_cast<sint32>(half); }

// (u1 * 2^32 + u0) / v for u1 < v and v >= 2^16: a two-digit long division in base 2^16 on the
// normalised divisor. Each digit estimate is too large by at most two, so each correction runs at
// most twice; every product below fits 32 bits because the digit is checked first.
uint32 DivideWide(uint32 u1, uint32 u0, uint32 v) {
    const int shift = __builtin_clz(v);
    v <<= shift;
    const uint32 vn1 = v >> 16;
    const uint32 vn0 = v & kLow16;
    const uint32 un32 = (u1 << shift) | (shift == 0 ? 0u : u0 >> (32 - shift));
    const uint32 un10 = u0 << shift;
    const uint32 un1 = un10 >> 16;
    const uint32 un0 = un10 & kLow16;

    uint32 q1 = un32 / vn1;
    uint32 rhat = un32 - q1 * vn1;
    while (q1 > kLow16 || q1 * vn0 > ((rhat << 16) | un1)) {
        --q1;
        rhat += vn1;
        if (rhat > kLow16) break;
    }
    // The true partial remainder is below v, so the wrapped 32-bit result is exact.
    const uint32 un21 = (un32 << 16) + un1 - q1 * v;

    uint32 q0 = un21 / vn1;
    rhat = un21 - q0 * vn1;
    while (q0 > kLow16 || q0 * vn0 > ((rhat << 16) | un0)) {
        --q0;
        rhat += vn1;
        if (rhat > kLow16) break;
    }
    return (q1 << 16) | q0;
}

} // namespace

extern "C" {

tOsUint64 Uint64Add(tOsUint64 num1, tOsUint64 num2) {
    // Three pieces: bits 0-23, bits 24-47 and bits 48-63, each with the carry of the one below.
    const uint32 piece1 = (num1.low & kLow24) + (num2.low & kLow24);
    const uint32 piece2 = (num1.low >> 24) + (num2.low >> 24) + ((num1.high & kLow16) << 8) +
                          ((num2.high & kLow16) << 8) + (piece1 >> 24);
    const uint32 piece3 = (num1.high >> 16) + (num2.high >> 16) + (piece2 >> 24);

    tOsUint64 sum;
    sum.low = (piece1 & kLow24) | ((piece2 & 0xFFu) << 24);
    sum.high = ((piece2 >> 8) & kLow16) | ((piece3 & kLow16) << 16);
    if ((piece3 >> 16) != 0) {
        OsMajorLog("Uint64Add(): Overflow: H%dL%d + H%dL%d.\n", S(num1.high), S(num1.low),
                   S(num2.high), S(num2.low));
    }
    return sum;
}

sint32 Uint64Subtract(tOsUint64 minuend, tOsUint64 subtracter) {
    sint32 lowSign = minuend.low >= subtracter.low ? 1 : -1;
    const sint32 highSign = minuend.high >= subtracter.high ? 1 : -1;
    uint32 diff = lowSign > 0 ? minuend.low - subtracter.low : subtracter.low - minuend.low;
    const bool highDiffers = minuend.high != subtracter.high;

    if (highDiffers && lowSign != highSign) {
        // Across a borrow of the low half: the difference is the complement of the low distance.
        diff = 0u - diff;
        lowSign = highSign;
    }
    if ((diff & 0x80000000u) != 0 || highDiffers) {
        OsMajorLog("Uint64Subtract(): Overflow: H%dL%d - H%dL%d.\n", S(minuend.high), S(minuend.low),
                   S(subtracter.high), S(subtracter.low));
    }
    return static_cast<sint32>(diff & 0x7FFFFFFFu) * lowSign;
}

tOsUint64 Uint64Divide(tOsUint64 dividend, uint32 divisor) {
    tOsUint64 quotient = {0, 0};
    if (divisor == 0) {
        OsMajorLog("Uint64Divide(): Divide by zero.\n");
        return quotient;
    }
    if (divisor <= kLow16) {
        // Long division over the four 16-bit digits; remainder < divisor < 2^16, so each
        // remainder shifted up 16 bits plus the next digit fits 32 bits.
        const uint32 digits[4] = {dividend.high >> 16, dividend.high & kLow16, dividend.low >> 16,
                                  dividend.low & kLow16};
        uint32 q[4];
        uint32 remainder = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32 part = (remainder << 16) | digits[i];
            q[i] = part / divisor;
            remainder = part % divisor;
        }
        quotient.high = (q[0] << 16) | q[1];
        quotient.low = (q[2] << 16) | q[3];
        return quotient;
    }
    quotient.high = dividend.high / divisor;
    quotient.low = DivideWide(dividend.high % divisor, dividend.low, divisor);
    return quotient;
}

uint32 Uint64DivideToUint32(tOsUint64 dividend, uint32 divisor) {
    const tOsUint64 quotient = Uint64Divide(dividend, divisor);
    if (quotient.high != 0) {
        OsMajorLog("Uint64DivideToUint32(): result overflow: %d:%d / %d = %d:%d.\n", S(dividend.high),
                   S(dividend.low), S(divisor), S(quotient.high), S(quotient.low));
    }
    return quotient.low;
}

tOsUint64 Uint64Multiply(tOsUint64 multiplicand, uint32 multiplier) {
    const uint32 a0 = multiplicand.low & kLow16;
    const uint32 a1 = multiplicand.low >> 16;
    const uint32 a2 = multiplicand.high & kLow16;
    const uint32 a3 = multiplicand.high >> 16;
    const uint32 m0 = multiplier & kLow16;
    const uint32 m1 = multiplier >> 16;

    // Partial products by bit position: 0, 16 (two), 32 (two), 48 (two); a3*m1 would sit at 64.
    const uint32 p0 = a0 * m0;
    const uint32 p16a = a1 * m0;
    const uint32 p16b = a0 * m1;
    const uint32 p32a = a2 * m0;
    const uint32 p32b = a1 * m1;
    const uint32 p48a = a3 * m0;
    const uint32 p48b = a2 * m1;

    // Column of bits 16-39, then column of bits 40-63; every addend is below 2^24.
    const uint32 col1 = (p0 >> 16) + (p16a & kLow24) + (p16b & kLow24) + ((p32a & 0xFFu) << 16) +
                        ((p32b & 0xFFu) << 16);
    const uint32 col2 = (col1 >> 24) + (p16a >> 24) + (p16b >> 24) + (p32a >> 8) + (p32b >> 8) +
                        ((p48a & kLow16) << 8) + ((p48b & kLow16) << 8);

    tOsUint64 product;
    product.low = (p0 & kLow16) | ((col1 & kLow16) << 16);
    product.high = ((col1 >> 16) & 0xFFu) | ((col2 & kLow24) << 8);

    const bool overflow = (col2 >> 24) != 0 || (a3 != 0 && m1 != 0) || (p48a >> 16) != 0 ||
                          (p48b >> 16) != 0;
    if (overflow) {
        OsMajorLog("Uint64Multiply(): Overflow: H%dL%d * M%d.\n", S(multiplicand.high),
                   S(multiplicand.low), S(multiplier));
    }
    return product;
}

} // extern "C"
