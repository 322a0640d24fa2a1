// csv.h - writes the CSV rows of the converter through one large buffer.
#ifndef CAPSHEET_CSV_H
#define CAPSHEET_CSV_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace capsheet {

struct CsvFile {
    int fd = -1;
    std::unique_ptr<char[]> buf;
    size_t used = 0;
    bool failed = false;  // a write failed; the CSV is incomplete
};

// Creates (or truncates) path; false when it cannot be created.
bool CsvCreate(CsvFile &csv, const char *path);
// "Row, Timestamp, RawData" and CR LF.
void CsvWriteHeader(CsvFile &csv);
// "<row>, <seconds>, 0x<content as lower-case hex>" and CR LF; content of any length.
void CsvWriteRow(CsvFile &csv, int64_t row, int64_t seconds, const uint8_t *content, size_t length);
// Writes what is buffered and closes the file; false when any write or the close failed.
bool CsvClose(CsvFile &csv);

}  // namespace capsheet

#endif
