// csv.cpp - CSV rows of the converter: buffered text, hexadecimal frames, CR LF line ends.
#include "csv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace capsheet {

namespace {

// The fuzz build shrinks the buffer (CAPSHEET_WRITE_BUFFER_BYTES) so that rows cross its edge.
#ifndef CAPSHEET_WRITE_BUFFER_BYTES
#define CAPSHEET_WRITE_BUFFER_BYTES (size_t{1} << 20)
#endif
constexpr size_t kWriteBufferSize = CAPSHEET_WRITE_BUFFER_BYTES;
// Room for everything of a row but its hexadecimal text: two 64-bit numbers, separators, "0x".
constexpr size_t kRowPrefixMax = 64;
static_assert(kWriteBufferSize > kRowPrefixMax + 2);
// Decimal text of any 64-bit number: "-9223372036854775808".
constexpr size_t kNumberTextMax = 20;
static_assert(kRowPrefixMax >= 2 * kNumberTextMax + sizeof ", , 0x");

// Two lower-case hexadecimal digits for every byte value.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> t{};
    constexpr char digits[] = "0123456789abcdef";
    for (int i = 0; i < 256; ++i) {
        t[2 * i] = digits[i >> 4];
        t[2 * i + 1] = digits[i & 15];
    }
    return t;
}();
static_assert(kHexPairs[2 * 0xAB] == 'a' && kHexPairs[2 * 0xAB + 1] == 'b');

// Writes 2 * n lower-case hexadecimal digits of in[0..n) to out. The frame text is nearly all of
// the CSV, so on x86-64 sixteen bytes are converted at once.
void EncodeHex(char *out, const uint8_t *in, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i letters = _mm_set1_epi8('a' - '0' - 10);
    auto digits = [&](__m128i v) {
        return _mm_add_epi8(_mm_add_epi8(v, zero), _mm_and_si128(_mm_cmpgt_epi8(v, nine), letters));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i hi = _mm_and_si128(_mm_srli_epi16(x, 4), low);
        const __m128i lo = _mm_and_si128(x, low);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i), digits(_mm_unpacklo_epi8(hi, lo)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i + 16), digits(_mm_unpackhi_epi8(hi, lo)));
    }
#endif
    for (; i < n; ++i) std::memcpy(out + 2 * i, &kHexPairs[2 * in[i]], 2);
}

void Flush(CsvFile &csv) {
    size_t done = 0;
    while (done < csv.used && !csv.failed) {
        const ssize_t w = write(csv.fd, csv.buf.get() + done, csv.used - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w == 0 || errno != EINTR) {  // an error, or nothing taken: retrying would never end
            csv.failed = true;
        }
    }
    csv.written += done;
    csv.used = 0;  // after a failure the rest is dropped: the CSV is reported incomplete
}

void Room(CsvFile &csv, size_t n) {
    if (kWriteBufferSize - csv.used < n) Flush(csv);
}

void Put(CsvFile &csv, const char *text, size_t n) {
    std::memcpy(csv.buf.get() + csv.used, text, n);
    csv.used += n;
}

// Copies kNumberTextMax bytes from a text earlier in the buffer; the two places may overlap.
void CopyEarlier(char *to, const char *from) {
    char text[kNumberTextMax];
    std::memcpy(text, from, sizeof text);
    std::memcpy(to, text, sizeof text);
}

// Writes value in decimal. Row numbers, and often times, repeat or grow by one from row to row,
// so the last row's text, while still in the buffer, is copied and counted up in the copy rather
// than formatted again. (Changing the copy, never the original, keeps that copy a plain load of
// bytes stored long before.)
void PutNumber(CsvFile &csv, NumberText &number, int64_t value) {
    char *out = csv.buf.get() + csv.used;
    const bool inBuffer = number.length != 0 && number.at >= csv.written;
    const bool next = value > 0 && value - 1 == number.value;
    if (inBuffer && (next || value == number.value)) {
        CopyEarlier(out, csv.buf.get() + (number.at - csv.written));
        size_t i = next ? number.length : 0;
        while (i > 0 && out[i - 1] == '9') out[--i] = '0';
        if (i > 0) {
            ++out[i - 1];
        } else if (next) {  // 99 became 00: 100
            out[0] = '1';
            out[number.length++] = '0';
        }
    } else {
        number.length = static_cast<size_t>(std::to_chars(out, out + kNumberTextMax, value).ptr - out);
    }
    number.value = value;
    number.at = csv.written + csv.used;
    csv.used += number.length;
}

}  // namespace

bool CsvCreate(CsvFile &csv, const char *path) {
    const bool standardOutput = std::strcmp(path, "-") == 0;
    int fd = STDOUT_FILENO;
    while (!standardOutput && (fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) < 0)
        if (errno != EINTR) return false;
    csv.fd = fd;
    csv.ownsFd = !standardOutput;
    csv.cuttable = !standardOutput;
    csv.buf.reset(new char[kWriteBufferSize]);
    csv.used = 0;
    csv.written = 0;
    csv.rowStart = 0;
    csv.failed = false;
    return true;
}

void CsvWriteHeader(CsvFile &csv, const char *moreColumns) {
    static constexpr char kHeader[] = "Row, Timestamp, RawData";
    CsvPutText(csv, kHeader, sizeof kHeader - 1);
    CsvPutText(csv, moreColumns, std::strlen(moreColumns));
    CsvPutText(csv, "\r\n", 2);
}

void CsvPutText(CsvFile &csv, const char *text, size_t length) {
    while (length > 0) {
        if (csv.used == kWriteBufferSize) Flush(csv);
        const size_t take = std::min(length, kWriteBufferSize - csv.used);
        Put(csv, text, take);
        text += take;
        length -= take;
    }
}

void CsvBeginRow(CsvFile &csv, int64_t row, int64_t seconds) {
    Room(csv, kRowPrefixMax);
    csv.rowStart = csv.written + csv.used;
    PutNumber(csv, csv.row, row);
    Put(csv, ", ", 2);
    PutNumber(csv, csv.seconds, seconds);
    Put(csv, ", 0x", 4);
}

void CsvPutHex(CsvFile &csv, const uint8_t *content, size_t length) {
    // A large frame's text goes out in buffer-sized pieces; nothing bounds the frame length.
    while (length > 0) {
        size_t pairs = (kWriteBufferSize - csv.used) / 2;
        if (pairs == 0) {
            Flush(csv);
            pairs = kWriteBufferSize / 2;
        }
        if (pairs > length) pairs = length;
        EncodeHex(csv.buf.get() + csv.used, content, pairs);
        csv.used += 2 * pairs;
        content += pairs;
        length -= pairs;
    }
}

void CsvEndRow(CsvFile &csv) {
    Room(csv, 2);
    Put(csv, "\r\n", 2);
}

void CsvDropRow(CsvFile &csv) {
    csv.row.length = 0;  // their texts may be gone with the row
    csv.seconds.length = 0;
    if (csv.rowStart >= csv.written) {  // all of it is still in the buffer
        csv.used = static_cast<size_t>(csv.rowStart - csv.written);
        return;
    }
    csv.used = 0;
    if (csv.cuttable && ftruncate(csv.fd, static_cast<off_t>(csv.rowStart)) == 0 &&
        lseek(csv.fd, static_cast<off_t>(csv.rowStart), SEEK_SET) >= 0)
        csv.written = csv.rowStart;
}

bool CsvClose(CsvFile &csv) {
    if (csv.fd < 0) return false;
    Flush(csv);
    if (csv.ownsFd && close(csv.fd) != 0) csv.failed = true;
    csv.fd = -1;
    return !csv.failed;
}

}  // namespace capsheet
