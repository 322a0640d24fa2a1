/* uint64.h - unsigned 64-bit arithmetic on two 32-bit halves (tOsUint64, and so tOsTime).
 *
 * Add, a signed 32-bit difference of nearby values, divide by and multiply with a 32-bit number.
 * Each operation is a fixed sequence of 32-bit steps, safe to call from any thread, and reports an
 * overflow or a misuse at level MAJOR through the log writer while still returning the defined value
 * given below. */
#ifndef RELAYKIT_UINT64_H
#define RELAYKIT_UINT64_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets both halves of the variable num64M to 0. */
#define Uint64Init(num64M) \
    do {                   \
        (num64M).high = 0; \
        (num64M).low = 0;  \
    } while (0)

/* True when both halves of num64M are 0. */
#define Uint64IsZero(num64M) ((num64M).high == 0 && (num64M).low == 0)

/* The sum modulo 2^64; a carry out of bit 63 is reported. */
RELAYKIT_API tOsUint64 Uint64Add(tOsUint64 num1, tOsUint64 num2);

/* minuend - subtracter as a signed 32-bit number, exact while the true difference lies within
 * +-(2^31 - 1). Reported when it does not fit, and whenever the high halves differ. */
RELAYKIT_API sint32 Uint64Subtract(tOsUint64 minuend, tOsUint64 subtracter);

/* The exact integer quotient; a zero divisor is reported and gives {0, 0}. */
RELAYKIT_API tOsUint64 Uint64Divide(tOsUint64 dividend, uint32 divisor);

/* The low half of Uint64Divide; reported when the quotient does not fit 32 bits. */
RELAYKIT_API uint32 Uint64DivideToUint32(tOsUint64 dividend, uint32 divisor);

/* The product modulo 2^64; reported when the true product does not fit 64 bits. */
RELAYKIT_API tOsUint64 Uint64Multiply(tOsUint64 multiplicand, uint32 multiplier);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_UINT64_H */
