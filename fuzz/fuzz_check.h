// fuzz_check.h - what the fuzz targets share: a check that stops the run with a message (libFuzzer
// keeps the input that tripped it), reading a field of an input, and the library's start.
#ifndef RELAYKIT_FUZZ_CHECK_H
#define RELAYKIT_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(conditionM)                                                                   \
    do {                                                                                         \
        if (!(conditionM)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #conditionM);  \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

// The field of type T at offset of an input or a message, whatever its alignment.
template <typename T> T FieldAt(const unsigned char *bytesP, size_t offset) {
    T value;
    memcpy(&value, bytesP + offset, sizeof value);
    return value;
}

// Fills a receive buffer as a socket would: the input cut at the buffer's size, zero behind it.
// Returns the datagram's length.
template <typename M> size_t FillLikeReceive(M &msg, const unsigned char *data, size_t size) {
    size_t byteCount = size < sizeof msg ? size : sizeof msg;
    memset(&msg, 0, sizeof msg);
    memcpy(&msg, data, byteCount);
    return byteCount;
}

// OsWrap__Init, with SvcPrintf's lines going nowhere (fuzz_host.cpp).
void FuzzStartLibrary();

#endif // RELAYKIT_FUZZ_CHECK_H
