// check.cpp - pairs requests with responses in fixed tables and reports counts, round-trip
// percentiles, failures and the slowest pairs.
#include "check.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace capsheet {

namespace {

constexpr uint32_t kNone = UINT32_MAX;
constexpr uint32_t kBuckets = kMaxOutstanding;  // a power of two: the hash is masked
static_assert((kBuckets & (kBuckets - 1)) == 0);

// A request waiting for its response. The channel is the requester's and the responder's MAC
// address (zero on cooked captures).
struct Outstanding {
    uint8_t requester[kMacLength];
    uint8_t responder[kMacLength];
    uint16_t tci;
    bool timed;
    int64_t row;
    int64_t seconds;
    uint32_t nanoseconds;
    uint32_t next;  // the next entry of the same bucket, or of the free list
};

// Round trips are kept as counts per value rounded down to four significant digits of
// nanoseconds: percentiles within 0.1 %, in fixed memory. Up to 10^16 ns (116 days).
constexpr uint64_t kExactBelow = 10000;
constexpr uint32_t kPerDecade = 9000;  // mantissas 1000 to 9999
constexpr unsigned kDecades = 12;
constexpr uint32_t kRttBuckets = kExactBelow + kDecades * kPerDecade;

uint32_t RttBucket(uint64_t ns) {
    if (ns < kExactBelow) return static_cast<uint32_t>(ns);
    unsigned decade = 0;
    while (ns >= kExactBelow && decade < kDecades) ns /= 10, ++decade;
    if (ns >= kExactBelow) return kRttBuckets - 1;  // beyond the last decade
    return static_cast<uint32_t>(kExactBelow + (decade - 1) * kPerDecade + (ns - 1000));
}

uint64_t RttBucketFloor(uint32_t bucket) {
    if (bucket < kExactBelow) return bucket;
    const uint32_t i = bucket - static_cast<uint32_t>(kExactBelow);
    uint64_t v = 1000 + i % kPerDecade;
    for (unsigned d = 0; d <= i / kPerDecade; ++d) v *= 10;
    return v;
}

// Each distinct failing combination of message type, class and result, with its count.
constexpr uint32_t kFailureSlots = 4096;
constexpr uint32_t kMaxFailureKinds = kFailureSlots / 2;

struct FailureKind {
    uint32_t key;  // 0: free slot; otherwise type << 24 | result << 16 | class, plus 1 << 31
    uint64_t count;
};

struct Pair {
    uint64_t rttNs;
    int64_t requestRow;
    int64_t responseRow;
};

}  // namespace

struct CheckState {
    uint64_t messages = 0, requests = 0, responses = 0, pairs = 0, duplicates = 0, orphans = 0,
             overflow = 0, outstanding = 0;
    std::unique_ptr<Outstanding[]> entries{new Outstanding[kMaxOutstanding]};
    std::unique_ptr<uint32_t[]> buckets{new uint32_t[kBuckets]};
    uint32_t freeList = 0;

    uint64_t timedPairs = 0, rttMin = UINT64_MAX, rttMax = 0;
    std::unique_ptr<uint64_t[]> rttCounts{new uint64_t[kRttBuckets]()};

    std::unique_ptr<FailureKind[]> failures{new FailureKind[kFailureSlots]()};
    uint32_t failureKinds = 0;
    uint64_t failuresUnlisted = 0;  // of kinds beyond the table

    Pair slowest[kSlowestKept];
    unsigned slowestKept = 0;
};

void CheckStateDeleter::operator()(CheckState *state) const { delete state; }

namespace {

uint32_t Hash(uint16_t tci, const uint8_t *requester, const uint8_t *responder) {
    uint32_t h = 2166136261u ^ tci;
    for (size_t i = 0; i < kMacLength; ++i) h = (h ^ requester[i]) * 16777619u;
    for (size_t i = 0; i < kMacLength; ++i) h = (h ^ responder[i]) * 16777619u;
    return (h ^ (h >> 16)) & (kBuckets - 1);
}

// The index of the outstanding request of this id and channel, with the link that points to it.
uint32_t Find(CheckState &s, uint16_t tci, const uint8_t *requester, const uint8_t *responder, uint32_t *&link) {
    link = &s.buckets[Hash(tci, requester, responder)];
    for (uint32_t i = *link; i != kNone; link = &s.entries[i].next, i = *link) {
        const Outstanding &e = s.entries[i];
        if (e.tci == tci && std::memcmp(e.requester, requester, kMacLength) == 0 &&
            std::memcmp(e.responder, responder, kMacLength) == 0)
            return i;
    }
    return kNone;
}

void AddRequest(CheckState &s, int64_t row, const Record &rec, const uint8_t *from, const uint8_t *to, uint16_t tci) {
    uint32_t *link;
    if (Find(s, tci, from, to, link) != kNone) {
        ++s.duplicates;  // the first one stays: its time is when the exchange began
        return;
    }
    if (s.freeList == kNone) {
        ++s.overflow;
        return;
    }
    const uint32_t i = s.freeList;
    Outstanding &e = s.entries[i];
    s.freeList = e.next;
    std::memcpy(e.requester, from, kMacLength);
    std::memcpy(e.responder, to, kMacLength);
    e.tci = tci;
    e.timed = rec.fractionDigits != 0;
    e.row = row;
    e.seconds = rec.seconds;
    e.nanoseconds = rec.nanoseconds;
    e.next = kNone;
    *link = i;  // the end of its bucket's chain
    ++s.outstanding;
}

// Keeps the pair when it is among the slowest so far; of equal times the earlier stays.
void KeepIfSlow(CheckState &s, const Pair &p) {
    unsigned at = s.slowestKept;
    if (at == kSlowestKept) {
        if (p.rttNs <= s.slowest[kSlowestKept - 1].rttNs) return;
        --at;
    } else {
        ++s.slowestKept;
    }
    while (at > 0 && s.slowest[at - 1].rttNs < p.rttNs) {
        s.slowest[at] = s.slowest[at - 1];
        --at;
    }
    s.slowest[at] = p;
}

void AddRoundTrip(CheckState &s, const Outstanding &req, int64_t row, const Record &rec) {
    if (!req.timed || rec.fractionDigits == 0) return;
    // A response stamped before its request (merged captures) counts as no time at all.
    const __int128 ns = (static_cast<__int128>(rec.seconds) - req.seconds) * 1000000000 +
                        (static_cast<__int128>(rec.nanoseconds) - req.nanoseconds);
    const uint64_t rtt = ns <= 0 ? 0 : ns > static_cast<__int128>(UINT64_MAX) ? UINT64_MAX : static_cast<uint64_t>(ns);
    ++s.timedPairs;
    ++s.rttCounts[RttBucket(rtt)];
    s.rttMin = std::min(s.rttMin, rtt);
    s.rttMax = std::max(s.rttMax, rtt);
    KeepIfSlow(s, Pair{rtt, req.row, row});
}

void AddFailure(CheckState &s, const OmciHeader &h) {
    const uint32_t key = (1u << 31) | (uint32_t{h.MessageType()} << 24) | (uint32_t(h.result) << 16) | h.meClass;
    uint32_t slot = (key * 2654435761u) & (kFailureSlots - 1);
    while (s.failures[slot].key != 0 && s.failures[slot].key != key) slot = (slot + 1) & (kFailureSlots - 1);
    if (s.failures[slot].key == 0) {
        if (s.failureKinds == kMaxFailureKinds) {
            ++s.failuresUnlisted;
            return;
        }
        s.failures[slot].key = key;
        ++s.failureKinds;
    }
    ++s.failures[slot].count;
}

void AddResponse(CheckState &s, int64_t row, const Record &rec, const uint8_t *from, const uint8_t *to, const OmciHeader &h) {
    if (h.result > 0) AddFailure(s, h);
    uint32_t *link;
    const uint32_t i = Find(s, h.tci, to, from, link);  // the request went the other way
    if (i == kNone) {
        ++s.orphans;
        return;
    }
    Outstanding &req = s.entries[i];
    ++s.pairs;
    AddRoundTrip(s, req, row, rec);
    *link = req.next;
    req.next = s.freeList;
    s.freeList = i;
    --s.outstanding;
}

// Milliseconds from nanoseconds as a plain decimal number: 12.5, 250, 0.000001.
void PrintMs(FILE *out, uint64_t ns) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%06" PRIu64, ns % 1000000);
    size_t n = std::strlen(fraction);
    while (n > 0 && fraction[n - 1] == '0') fraction[--n] = '\0';
    std::fprintf(out, "%" PRIu64 "%s%s", ns / 1000000, n > 0 ? "." : "", fraction);
}

// The nearest-rank percentile of the round trips, within their exact minimum and maximum.
uint64_t Percentile(const CheckState &s, unsigned percent) {
    const uint64_t rank = std::max<uint64_t>(1, (s.timedPairs * percent + 99) / 100);
    uint64_t seen = 0;
    for (uint32_t b = 0; b < kRttBuckets; ++b) {
        seen += s.rttCounts[b];
        if (seen >= rank) return std::clamp(RttBucketFloor(b), s.rttMin, s.rttMax);
    }
    return s.rttMax;
}

struct RttFigures {
    const char *names[5] = {"min", "p50", "p90", "p99", "max"};
    uint64_t values[5];
};

RttFigures Figures(const CheckState &s) {
    return {.values = {s.rttMin, Percentile(s, 50), Percentile(s, 90), Percentile(s, 99), s.rttMax}};
}

// The failure kinds in the report's order: most frequent first, then by type, class, result.
unsigned SortedFailures(const CheckState &s, const FailureKind **sorted) {
    unsigned n = 0;
    for (uint32_t slot = 0; slot < kFailureSlots; ++slot)
        if (s.failures[slot].key != 0) sorted[n++] = &s.failures[slot];
    std::sort(sorted, sorted + n, [](const FailureKind *a, const FailureKind *b) {
        return a->count != b->count ? a->count > b->count : a->key < b->key;
    });
    return n;
}

uint8_t FailureType(const FailureKind &f) { return (f.key >> 24) & kOmciTypeMask; }
uint8_t FailureResult(const FailureKind &f) { return (f.key >> 16) & 0xFF; }
uint16_t FailureClass(const FailureKind &f) { return f.key & 0xFFFF; }

// A name from the tables, or the number as text.
const char *NameOr(const char *name, unsigned number, char (&buffer)[8]) {
    if (name != nullptr) return name;
    std::snprintf(buffer, sizeof buffer, "%u", number);
    return buffer;
}

}  // namespace

CheckStatePtr CheckStart() {
    CheckStatePtr s(new CheckState);
    std::fill(s->buckets.get(), s->buckets.get() + kBuckets, kNone);
    for (uint32_t i = 0; i < kMaxOutstanding; ++i) s->entries[i].next = i + 1 < kMaxOutstanding ? i + 1 : kNone;
    return s;
}

void CheckAdd(CheckState &s, int64_t row, const Record &rec, const OmciFrame &frame, const OmciHeader &h) {
    ++s.messages;
    // Without its whole header a message cannot be paired or named.
    if (!h.Has(OmciField::kMeInstance)) return;
    const uint8_t *from = frame.src;
    const uint8_t *to = frame.dst;
    if (h.IsRequest()) ++s.requests;
    if (h.IsResponse()) {
        ++s.responses;
        AddResponse(s, row, rec, from, to, h);
    } else if (h.IsRequest()) {
        AddRequest(s, row, rec, from, to, h.tci);
    }
}

bool CheckHasUnanswered(const CheckState &s) { return s.outstanding > 0; }
bool CheckHasFailures(const CheckState &s) { return s.failureKinds > 0 || s.failuresUnlisted > 0; }

void CheckPrintJson(const CheckState &s, FILE *out) {
    std::fprintf(out,
                 "{\"messages\": %" PRIu64 ", \"requests\": %" PRIu64 ", \"responses\": %" PRIu64
                 ", \"pairs\": %" PRIu64 ", \"unanswered\": %" PRIu64 ", \"duplicates\": %" PRIu64
                 ", \"orphanResponses\": %" PRIu64 ", \"overflow\": %" PRIu64 ", \"rttMs\": {",
                 s.messages, s.requests, s.responses, s.pairs, s.outstanding, s.duplicates, s.orphans, s.overflow);
    const RttFigures rtt = Figures(s);
    for (unsigned i = 0; i < 5; ++i) {
        std::fprintf(out, "%s\"%s\": ", i ? ", " : "", rtt.names[i]);
        if (s.timedPairs == 0) std::fputs("null", out);
        else PrintMs(out, rtt.values[i]);
    }
    std::fputs("}, \"failures\": [", out);
    const FailureKind *sorted[kMaxFailureKinds];
    const unsigned n = SortedFailures(s, sorted);
    for (unsigned i = 0; i < n; ++i) {
        char type[8], result[8];
        const FailureKind &f = *sorted[i];
        std::fprintf(out, "%s{\"msgType\": \"%s\", \"meClass\": %u, \"result\": \"%s\", \"count\": %" PRIu64 "}",
                     i ? ", " : "", NameOr(OmciMessageTypeName(FailureType(f)), FailureType(f), type),
                     FailureClass(f), NameOr(OmciResultName(FailureResult(f)), FailureResult(f), result), f.count);
    }
    std::fputs("], \"slowest\": [", out);
    for (unsigned i = 0; i < s.slowestKept; ++i) {
        std::fprintf(out, "%s{\"request\": %" PRId64 ", \"response\": %" PRId64 ", \"rttMs\": ", i ? ", " : "",
                     s.slowest[i].requestRow, s.slowest[i].responseRow);
        PrintMs(out, s.slowest[i].rttNs);
        std::fputs("}", out);
    }
    std::fputs("]}\n", out);
}

void CheckPrintText(const CheckState &s, FILE *out) {
    std::fprintf(out,
                 "messages          %" PRIu64 "\n"
                 "requests          %" PRIu64 "\n"
                 "responses         %" PRIu64 "\n"
                 "pairs             %" PRIu64 "\n"
                 "unanswered        %" PRIu64 "\n"
                 "duplicates        %" PRIu64 "\n"
                 "orphan responses  %" PRIu64 "\n"
                 "overflow          %" PRIu64 "\n",
                 s.messages, s.requests, s.responses, s.pairs, s.outstanding, s.duplicates, s.orphans, s.overflow);
    std::fputs("round trip ms     ", out);
    if (s.timedPairs == 0) {
        std::fputs("none\n", out);
    } else {
        const RttFigures rtt = Figures(s);
        for (unsigned i = 0; i < 5; ++i) {
            std::fprintf(out, "%s%s ", i ? "  " : "", rtt.names[i]);
            PrintMs(out, rtt.values[i]);
        }
        std::fputs("\n", out);
    }
    const FailureKind *sorted[kMaxFailureKinds];
    const unsigned n = SortedFailures(s, sorted);
    uint64_t failed = s.failuresUnlisted;
    for (unsigned i = 0; i < n; ++i) failed += sorted[i]->count;
    std::fprintf(out, "failed responses  %" PRIu64 "\n", failed);
    if (n > 0) std::fprintf(out, "  %8s  %-22s %-6s %-32s %s\n", "count", "message type", "class", "", "result");
    for (unsigned i = 0; i < n; ++i) {
        char type[8], result[8];
        const FailureKind &f = *sorted[i];
        const char *className = OmciMeClassName(FailureClass(f));
        std::fprintf(out, "  %8" PRIu64 "  %-22s %-6u %-32s %s\n", f.count,
                     NameOr(OmciMessageTypeName(FailureType(f)), FailureType(f), type), FailureClass(f),
                     className ? className : "", NameOr(OmciResultName(FailureResult(f)), FailureResult(f), result));
    }
    if (s.failuresUnlisted > 0)
        std::fprintf(out, "  %8" PRIu64 "  of further kinds, not listed\n", s.failuresUnlisted);
    if (s.slowestKept > 0)
        std::fprintf(out, "slowest pairs\n  %12s  %12s  %s\n", "request row", "response row", "round trip ms");
    for (unsigned i = 0; i < s.slowestKept; ++i) {
        std::fprintf(out, "  %12" PRId64 "  %12" PRId64 "  ", s.slowest[i].requestRow, s.slowest[i].responseRow);
        PrintMs(out, s.slowest[i].rttNs);
        std::fputs("\n", out);
    }
}

}  // namespace capsheet
