// capsheet_fuzz.cpp - capsheet's whole run (capsheet::Run, the tool's main) over arbitrary capture
// bytes, classic pcap or pcapng, plain or gzip-compressed. The first input byte picks the command
// line: the plain conversion, --decode, --check or --check --json; the rest is the capture. The
// capture, the CSV and the report are memory files reached through /proc/self/fd; otherwise
// standard output goes to /dev/null. Checks: the exit status is 0 or 1, the CSV has its header
// and rows "<row>, <seconds>, 0x<hex>" CR LF (with the ten decoded columns after --decode) with
// rising row numbers, the report is whole, and no descriptor is left open.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capsheet.h"
#include "fuzz_check.h"

namespace {

int OpenDescriptors() {
    DIR *dir = opendir("/proc/self/fd");
    FUZZ_CHECK(dir != nullptr);
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::string ReadAll(int fd) {
    struct stat st;
    FUZZ_CHECK(fstat(fd, &st) == 0);
    std::string text(static_cast<size_t>(st.st_size), '\0');
    FUZZ_CHECK(pread(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    return text;
}

bool IsDecimal(const std::string &field, bool mayBeNegative) {
    size_t start = mayBeNegative && !field.empty() && field[0] == '-' ? 1 : 0;
    if (field.size() == start || field.size() - start > 19) return false;
    for (size_t i = start; i < field.size(); ++i)
        if (field[i] < '0' || field[i] > '9') return false;
    return field.size() - start == 1 || field[start] != '0';
}

bool IsHex(const std::string &field) {
    if (field.compare(0, 2, "0x") != 0 || field.size() % 2 != 0) return false;
    for (size_t i = 2; i < field.size(); ++i) {
        char c = field[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// The fields of a line between ", " separators.
std::vector<std::string> Fields(const std::string &line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (size_t sep; (sep = line.find(", ", at)) != std::string::npos; at = sep + 2) fields.push_back(line.substr(at, sep - at));
    fields.push_back(line.substr(at));
    return fields;
}

bool IsFlag(const std::string &field) { return field.empty() || field == "0" || field == "1"; }

// The CSV as capsheet writes it: nothing at all (the capture was refused), or the header and
// whole rows whose numbers rise; decoded rows carry ten more fields, none of them holding the
// separator.
void CheckCsvShape(const std::string &csv, int status, bool decoded) {
    const std::string kHeader = decoded ? "Row, Timestamp, RawData, Time, Tci, MsgType, AR, AK, Device, MeClass, "
                                          "MeName, MeInstance, Result\r\n"
                                        : "Row, Timestamp, RawData\r\n";
    if (csv.empty()) {
        FUZZ_CHECK(status == 1);
        return;
    }
    FUZZ_CHECK(csv.compare(0, kHeader.size(), kHeader) == 0);
    long long lastRow = 0;
    size_t at = kHeader.size();
    while (at < csv.size()) {
        size_t end = csv.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos); // no half row
        const std::vector<std::string> fields = Fields(csv.substr(at, end - at));
        FUZZ_CHECK(fields.size() == (decoded ? 13u : 3u));
        const std::string &row = fields[0];
        FUZZ_CHECK(IsDecimal(row, false));
        FUZZ_CHECK(IsDecimal(fields[1], true));
        FUZZ_CHECK(IsHex(fields[2]));
        FUZZ_CHECK(!decoded || (IsFlag(fields[6]) && IsFlag(fields[7])));
        long long number = std::stoll(row);
        FUZZ_CHECK(number > lastRow);
        lastRow = number;
        at = end + 2;
    }
}

// The report as --check prints it: whole, from its first figure to its last line.
void CheckReportShape(const std::string &report, bool json) {
    FUZZ_CHECK(!report.empty() && report.back() == '\n');
    if (!json) {
        FUZZ_CHECK(report.compare(0, 18, "messages          ") == 0);
        return;
    }
    FUZZ_CHECK(report.compare(0, 13, "{\"messages\": ") == 0);
    FUZZ_CHECK(report.size() >= 4 && report.compare(report.size() - 3, 3, "]}\n") == 0);
    FUZZ_CHECK(report.find('\n') == report.size() - 1);
    size_t at = 0;
    for (const char *key : {"\"requests\"", "\"responses\"", "\"pairs\"", "\"unanswered\"", "\"duplicates\"",
                            "\"orphanResponses\"", "\"overflow\"", "\"rttMs\"", "\"failures\"", "\"slowest\""}) {
        at = report.find(key, at);
        FUZZ_CHECK(at != std::string::npos);
    }
}

} // namespace

// Each run frees its two buffers; a small quarantine lets the next run reuse their pages instead
// of faulting in fresh ones (freed blocks are still poisoned while they wait there).
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    FUZZ_CHECK(devNull >= 0 && dup2(devNull, STDOUT_FILENO) == STDOUT_FILENO);
    close(devNull);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0] % 4;  // plain, --decode, --check, --check --json
    ++data, --size;
    int before = OpenDescriptors();
    int capture = memfd_create("capture", MFD_CLOEXEC);
    int csv = memfd_create("csv", MFD_CLOEXEC);
    FUZZ_CHECK(capture >= 0 && csv >= 0);
    FUZZ_CHECK(write(capture, data, size) == static_cast<ssize_t>(size));

    std::string capturePath = FdPath(capture), csvPath = FdPath(csv);
    char program[] = "capsheet", decode[] = "--decode", check[] = "--check", json[] = "--json";
    int status;
    if (mode < 2) {
        char *plain[] = {program, capturePath.data(), csvPath.data(), nullptr};
        char *decoded[] = {program, decode, capturePath.data(), csvPath.data(), nullptr};
        status = mode == 0 ? capsheet::Run(3, plain) : capsheet::Run(4, decoded);
        FUZZ_CHECK(status == 0 || status == 1);
        CheckCsvShape(ReadAll(csv), status, mode == 1);
    } else {
        // The report goes to standard output: into the CSV's memory file for this run.
        const int saved = dup(STDOUT_FILENO);
        FUZZ_CHECK(saved >= 0 && dup2(csv, STDOUT_FILENO) == STDOUT_FILENO);
        char *text[] = {program, check, capturePath.data(), nullptr};
        char *asJson[] = {program, check, json, capturePath.data(), nullptr};
        status = mode == 2 ? capsheet::Run(3, text) : capsheet::Run(4, asJson);
        FUZZ_CHECK(dup2(saved, STDOUT_FILENO) == STDOUT_FILENO);
        close(saved);
        FUZZ_CHECK(status == 0 || status == 1);
        const std::string report = ReadAll(csv);
        // A capture that cannot be read gets no report at all.
        if (!report.empty() || status == 0) CheckReportShape(report, mode == 3);
    }

    close(capture);
    close(csv);
    FUZZ_CHECK(OpenDescriptors() == before);
    return 0;
}
