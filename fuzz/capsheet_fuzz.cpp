// capsheet_fuzz.cpp - capsheet's whole conversion (capsheet::Run, the tool's main) of arbitrary
// capture bytes, classic pcap or pcapng. The capture and the CSV are memory files reached through
// /proc/self/fd; standard output goes to /dev/null. Checks: the exit status is 0 or 1, the CSV
// has the header and rows "<row>, <seconds>, 0x<hex>" CR LF with rising row numbers, and no
// descriptor is left open.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

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

// The CSV as capsheet writes it: nothing at all (the capture was refused), or the header and
// whole rows whose numbers rise.
void CheckCsvShape(const std::string &csv, int status) {
    static const std::string kHeader = "Row, Timestamp, RawData\r\n";
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
        std::string line = csv.substr(at, end - at);
        size_t first = line.find(", "), second = line.find(", ", first + 2);
        FUZZ_CHECK(first != std::string::npos && second != std::string::npos);
        std::string row = line.substr(0, first);
        FUZZ_CHECK(IsDecimal(row, false));
        FUZZ_CHECK(IsDecimal(line.substr(first + 2, second - first - 2), true));
        FUZZ_CHECK(IsHex(line.substr(second + 2)));
        long long number = std::stoll(row);
        FUZZ_CHECK(number > lastRow);
        lastRow = number;
        at = end + 2;
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
    int before = OpenDescriptors();
    int capture = memfd_create("capture", MFD_CLOEXEC);
    int csv = memfd_create("csv", MFD_CLOEXEC);
    FUZZ_CHECK(capture >= 0 && csv >= 0);
    FUZZ_CHECK(write(capture, data, size) == static_cast<ssize_t>(size));

    std::string capturePath = FdPath(capture), csvPath = FdPath(csv);
    char program[] = "capsheet";
    char *argv[] = {program, capturePath.data(), csvPath.data(), nullptr};
    int status = capsheet::Run(3, argv);
    FUZZ_CHECK(status == 0 || status == 1);
    CheckCsvShape(ReadAll(csv), status);

    close(capture);
    close(csv);
    FUZZ_CHECK(OpenDescriptors() == before);
    return 0;
}
