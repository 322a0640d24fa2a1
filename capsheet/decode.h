// decode.h - the columns `--decode` adds to each CSV row: the capture time in UTC and the OMCI
// header, numbers by name where they have one.
#ifndef CAPSHEET_DECODE_H
#define CAPSHEET_DECODE_H

#include <cstddef>
#include <cstdint>

#include "capture.h"
#include "omci.h"

namespace capsheet {

// What follows "Row, Timestamp, RawData" in the header line.
constexpr char kDecodeColumns[] = ", Time, Tci, MsgType, AR, AK, Device, MeClass, MeName, MeInstance, Result";

// Room for the columns of any row: the longest names, numbers and time all at once.
constexpr size_t kDecodeTextMax = 256;

// The date and time of the last second formatted; messages come in bursts within one second.
struct SecondText {
    int64_t seconds = 0;
    size_t length = 0;  // 0: nothing formatted yet
    char text[48];
};

// Writes ", <Time>, <Tci>, ... <Result>" for one OMCI message into out (kDecodeTextMax bytes);
// returns its length. A field the frame does not carry is left empty.
size_t FormatDecodeColumns(char *out, const Record &rec, const OmciHeader &h, SecondText &last);

// "2023-11-14T22:13:20" for seconds since the epoch, UTC; returns the length (at most 40).
size_t FormatUtcSeconds(char *out, int64_t seconds);

}  // namespace capsheet

#endif
