// csv.h - writes the CSV rows of the converter through one large buffer.
//
// A row is written in parts, its frame text in pieces of any length, so a row can be larger
// than the buffer. A row that cannot be finished is taken back out of the file.
#ifndef CAPSHEET_CSV_H
#define CAPSHEET_CSV_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace capsheet {

// Where the last row's text of a number sits in the buffer, for the next row to copy.
struct NumberText {
    int64_t value = 0;
    uint64_t at = 0;     // its offset in the CSV
    size_t length = 0;   // 0: not in the buffer
};

struct CsvFile {
    int fd = -1;
    bool ownsFd = true;     // false for standard output, which stays open
    bool cuttable = true;   // a row can be cut back out of what went to the file
    std::unique_ptr<char[]> buf;
    size_t used = 0;
    uint64_t written = 0;   // bytes handed to the file so far
    uint64_t rowStart = 0;  // file offset of the row being written
    bool failed = false;    // a write failed; the CSV is incomplete
    NumberText row;      // the last row's number
    NumberText seconds;  // and its time: captures hold bursts of messages within one second
};

// Creates (or truncates) path, or takes standard output for "-"; false when it cannot be created.
// What goes to standard output is never cut back: it may be a pipe, or a file opened to append.
bool CsvCreate(CsvFile &csv, const char *path);
// "Row, Timestamp, RawData", then any further column names (", Time, ..."), then CR LF.
void CsvWriteHeader(CsvFile &csv, const char *moreColumns = "");
// Adds text to the row.
void CsvPutText(CsvFile &csv, const char *text, size_t length);
// Starts a row: "<row>, <seconds>, 0x".
void CsvBeginRow(CsvFile &csv, int64_t row, int64_t seconds);
// Adds content to the row as lower-case hexadecimal, two digits a byte.
void CsvPutHex(CsvFile &csv, const uint8_t *content, size_t length);
// Ends the row with CR LF.
void CsvEndRow(CsvFile &csv);
// Takes the row begun last out of the CSV again, cutting the file back where it had already
// gone out (a file that cannot be cut, such as a pipe, keeps that part).
void CsvDropRow(CsvFile &csv);
// Writes what is buffered and closes the file; false when any write or the close failed.
bool CsvClose(CsvFile &csv);

}  // namespace capsheet

#endif
