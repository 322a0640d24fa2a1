// csv.cpp - CSV rows of the converter: buffered text, hexadecimal frames, CR LF line ends.
#include "csv.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace capsheet {

namespace {

constexpr size_t kWriteBufferSize = size_t{1} << 20;
// Room for everything of a row but its hexadecimal text: two 64-bit numbers, separators, "0x".
constexpr size_t kRowPrefixMax = 64;
static_assert(kWriteBufferSize > kRowPrefixMax + 2);

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

void Flush(CsvFile &csv) {
    size_t done = 0;
    while (done < csv.used && !csv.failed) {
        const ssize_t w = write(csv.fd, csv.buf.get() + done, csv.used - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && errno != EINTR) {
            csv.failed = true;
        }
    }
    csv.used = 0;  // after a failure the rest is dropped: the CSV is reported incomplete
}

void Room(CsvFile &csv, size_t n) {
    if (kWriteBufferSize - csv.used < n) Flush(csv);
}

void Put(CsvFile &csv, const char *text, size_t n) {
    std::memcpy(csv.buf.get() + csv.used, text, n);
    csv.used += n;
}

void PutNumber(CsvFile &csv, int64_t value) {
    char *at = csv.buf.get() + csv.used;
    csv.used = static_cast<size_t>(std::to_chars(at, at + 24, value).ptr - csv.buf.get());
}

}  // namespace

bool CsvCreate(CsvFile &csv, const char *path) {
    int fd;
    do {
        fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    csv.fd = fd;
    csv.buf.reset(new char[kWriteBufferSize]);
    csv.used = 0;
    csv.failed = false;
    return true;
}

void CsvWriteHeader(CsvFile &csv) {
    static constexpr char kHeader[] = "Row, Timestamp, RawData\r\n";
    Room(csv, sizeof kHeader - 1);
    Put(csv, kHeader, sizeof kHeader - 1);
}

void CsvWriteRow(CsvFile &csv, int64_t row, int64_t seconds, const uint8_t *content, size_t length) {
    Room(csv, kRowPrefixMax);
    PutNumber(csv, row);
    Put(csv, ", ", 2);
    PutNumber(csv, seconds);
    Put(csv, ", 0x", 4);
    // A large frame's text goes out in buffer-sized pieces; nothing bounds the frame length.
    while (length > 0) {
        size_t pairs = (kWriteBufferSize - csv.used) / 2;
        if (pairs == 0) {
            Flush(csv);
            pairs = kWriteBufferSize / 2;
        }
        if (pairs > length) pairs = length;
        char *out = csv.buf.get() + csv.used;
        for (size_t i = 0; i < pairs; ++i) std::memcpy(out + 2 * i, &kHexPairs[2 * content[i]], 2);
        csv.used += 2 * pairs;
        content += pairs;
        length -= pairs;
    }
    Room(csv, 2);
    Put(csv, "\r\n", 2);
}

bool CsvClose(CsvFile &csv) {
    if (csv.fd < 0) return false;
    Flush(csv);
    if (close(csv.fd) != 0) csv.failed = true;
    csv.fd = -1;
    return !csv.failed;
}

}  // namespace capsheet
