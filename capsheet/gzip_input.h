// gzip_input.h - inflates a gzip stream read from a file descriptor, piece by piece, in fixed memory.
//
// The stream may hold several gzip members one after another, as concatenated .gz files do. A
// stream that ends inside a member, or holds anything but whole members, is a read error: a cut
// capture must never look like one that ended cleanly.
#ifndef CAPSHEET_GZIP_INPUT_H
#define CAPSHEET_GZIP_INPUT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sys/types.h>

namespace capsheet {

struct GzipInput;
struct GzipInputDeleter {
    void operator()(GzipInput *gz) const;
};
using GzipInputPtr = std::unique_ptr<GzipInput, GzipInputDeleter>;

// The two bytes every gzip member starts with.
constexpr uint8_t kGzipMagic0 = 0x1F;
constexpr uint8_t kGzipMagic1 = 0x8B;

// Starts inflating the stream on fd. The stream's first `pending` bytes were already read into
// `buffer` (of `capacity` bytes), which the inflater takes over as its input buffer. Null when
// zlib cannot start.
GzipInputPtr GzipStart(int fd, std::unique_ptr<uint8_t[]> buffer, size_t capacity, size_t begin, size_t end);

// Inflates up to n bytes into out: the count, 0 at the clean end of the stream, -1 on a read
// error or a damaged or cut stream.
ssize_t GzipRead(GzipInput &gz, uint8_t *out, size_t n);

}  // namespace capsheet

#endif
