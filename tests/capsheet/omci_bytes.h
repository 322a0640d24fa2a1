// omci_bytes.h - OMCI messages built byte by byte, and the columns --decode gives them.
#ifndef CAPSHEET_TESTS_OMCI_BYTES_H
#define CAPSHEET_TESTS_OMCI_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

#include "capture_bytes.h"

namespace captest {

constexpr uint8_t kAr = 0x40, kAk = 0x20;
constexpr uint8_t kBaseline = 0x0A, kExtended = 0x0B;

struct Message {
    uint16_t tci = 1;
    uint8_t type = kAr | 4;  // flags and message type
    uint8_t device = kBaseline;
    uint16_t meClass = 256;
    uint16_t meInstance = 0;
    std::vector<uint8_t> contents = {};  // a response's result first

    // Baseline: 32 bytes of contents and the trailer; extended: the length, contents and MIC.
    std::vector<uint8_t> Bytes() const {
        captest::Bytes m;
        m.big = true;
        m.U16(tci).Raw({type, device}).U16(meClass).U16(meInstance);
        if (device == kExtended) {
            m.U16(contents.size()).Raw(contents).U32(0);
        } else {
            std::vector<uint8_t> padded = contents;
            padded.resize(32);
            m.Raw(padded).U32(0x28).U32(0);
        }
        return m.b;
    }
};

// The columns after RawData of each row of a --decode CSV, one string per row.
inline std::vector<std::string> DecodedColumns(const std::string &csv) {
    std::vector<std::string> rows;
    size_t at = csv.find("\r\n") + 2;  // past the header line
    while (at < csv.size()) {
        const size_t end = csv.find("\r\n", at);
        const std::string line = csv.substr(at, end - at);
        size_t sep = 0;
        for (int i = 0; i < 3 && sep != std::string::npos; ++i) sep = line.find(", ", sep + (i ? 2 : 0));
        rows.push_back(sep == std::string::npos ? "" : line.substr(sep + 2));
        at = end + 2;
    }
    return rows;
}

}  // namespace captest

#endif
