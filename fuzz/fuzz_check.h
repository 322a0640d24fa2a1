// fuzz_check.h - what the fuzz targets share: a check that stops the run with a message (libFuzzer
// keeps the input that tripped it) and a quiet information handler.
#ifndef RELAYKIT_FUZZ_CHECK_H
#define RELAYKIT_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(conditionM)                                                                   \
    do {                                                                                         \
        if (!(conditionM)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #conditionM);  \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

// SvcPrintf's lines are not what a fuzz run looks at.
inline void FuzzQuietHandler(char *) {}

#endif // RELAYKIT_FUZZ_CHECK_H
