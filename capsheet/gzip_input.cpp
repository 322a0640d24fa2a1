// gzip_input.cpp - a gzip stream inflated through zlib into the capture reader's buffer.
#include "gzip_input.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

namespace capsheet {

struct GzipInput {
    z_stream z{};
    int fd = -1;
    std::unique_ptr<uint8_t[]> in;
    size_t capacity = 0;
    bool inputEnded = false;  // read() returned 0
    bool memberEnded = false; // the last member's trailer was read; more input starts another
    bool failed = false;
};

void GzipInputDeleter::operator()(GzipInput *gz) const {
    inflateEnd(&gz->z);
    delete gz;
}

namespace {

// Refills the input buffer when it is empty; false at the end of the file or on an error.
bool Refill(GzipInput &gz) {
    if (gz.z.avail_in > 0) return true;
    while (!gz.inputEnded) {
        const ssize_t r = read(gz.fd, gz.in.get(), gz.capacity);
        if (r > 0) {
            gz.z.next_in = gz.in.get();
            gz.z.avail_in = static_cast<uInt>(r);
            return true;
        }
        if (r == 0) gz.inputEnded = true;
        else if (errno != EINTR) gz.failed = true, gz.inputEnded = true;
    }
    return false;
}

}  // namespace

GzipInputPtr GzipStart(int fd, std::unique_ptr<uint8_t[]> buffer, size_t capacity, size_t begin, size_t end) {
    GzipInputPtr gz(new GzipInput);
    // 16 + the largest window: the gzip wrapper only, as the magic bytes promised.
    if (inflateInit2(&gz->z, 16 + MAX_WBITS) != Z_OK) {
        delete gz.release();  // inflateEnd must not run on a stream that never started
        return nullptr;
    }
    gz->fd = fd;
    gz->in = std::move(buffer);
    gz->capacity = capacity;
    gz->z.next_in = gz->in.get() + begin;
    gz->z.avail_in = static_cast<uInt>(end - begin);
    return gz;
}

ssize_t GzipRead(GzipInput &gz, uint8_t *out, size_t n) {
    gz.z.next_out = out;
    gz.z.avail_out = static_cast<uInt>(n);
    while (gz.z.avail_out > 0 && !gz.failed) {
        if (!Refill(gz)) {
            // The file ended: cleanly only right after a member's trailer.
            if (!gz.memberEnded) gz.failed = true;
            break;
        }
        if (gz.memberEnded) {  // another member follows
            if (inflateReset(&gz.z) != Z_OK) gz.failed = true;
            gz.memberEnded = false;
        }
        const int rc = inflate(&gz.z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            gz.memberEnded = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            gz.failed = true;
        }
    }
    const size_t made = n - gz.z.avail_out;
    if (made > 0) return static_cast<ssize_t>(made);
    return gz.failed ? -1 : 0;
}

}  // namespace capsheet
