// check.h - the `--check` report: OMCI requests paired with their responses, round-trip times,
// failed responses and the slowest exchanges, gathered in one pass over a capture.
//
// A response pairs with the outstanding request of the same transaction correlation id whose MAC
// addresses are its own swapped, so each ONU's channel is paired on its own. Linux cooked
// captures keep no destination address: there the id alone pairs. At most 65,536 requests wait
// for their answer at once; a request beyond that is counted as overflow and not paired. Memory
// is fixed when the report starts: a few MiB, whatever the capture holds.
#ifndef CAPSHEET_CHECK_H
#define CAPSHEET_CHECK_H

#include <cstdint>
#include <cstdio>
#include <memory>

#include "capture.h"
#include "link.h"
#include "omci.h"

namespace capsheet {

constexpr uint32_t kMaxOutstanding = 65536;
constexpr unsigned kSlowestKept = 10;

struct CheckState;
struct CheckStateDeleter {
    void operator()(CheckState *state) const;
};
using CheckStatePtr = std::unique_ptr<CheckState, CheckStateDeleter>;

CheckStatePtr CheckStart();
// Takes in one whole OMCI message: record number `row`, its frame's addresses and its header.
void CheckAdd(CheckState &state, int64_t row, const Record &rec, const OmciFrame &frame, const OmciHeader &h);

// The report for people, or one JSON object; both end with a newline.
void CheckPrintText(const CheckState &state, FILE *out);
void CheckPrintJson(const CheckState &state, FILE *out);

// What `--fail-on` asks about.
bool CheckHasUnanswered(const CheckState &state);
bool CheckHasFailures(const CheckState &state);

}  // namespace capsheet

#endif
