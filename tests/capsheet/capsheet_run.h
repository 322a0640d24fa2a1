// capsheet_run.h - runs capsheet in a scratch directory and builds capture files byte by byte.
#ifndef CAPSHEET_TESTS_RUN_H
#define CAPSHEET_TESTS_RUN_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace captest {

// A directory of its own for each test, removed afterwards.
struct Scratch {
    std::string dir;
    Scratch() {
        char tmpl[] = "/tmp/capsheet-test-XXXXXX";
        const char *made = mkdtemp(tmpl);
        if (made == nullptr) std::abort();
        dir = made;
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string Path(const std::string &name) const { return dir + "/" + name; }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                 std::filesystem::directory_iterator()));
    }
};

struct Result {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;  // everything printed on standard output
};

// Runs program with args; standard output is collected, standard error left alone.
inline Result Run(const std::string &program, const std::vector<std::string> &args) {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    Result r;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof chunk)) > 0) r.out.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return r;
}

inline Result Capsheet(const std::vector<std::string> &args) { return Run(CAPSHEET_BIN, args); }

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool Exists(const std::string &path) { return std::filesystem::exists(path); }

// Little- or big-endian byte writer.
struct Bytes {
    std::vector<uint8_t> b;
    bool big = false;

    Bytes &Raw(const std::vector<uint8_t> &v) {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    Bytes &Int(uint64_t v, int width) {
        for (int i = 0; i < width; ++i) {
            const int shift = big ? 8 * (width - 1 - i) : 8 * i;
            b.push_back(static_cast<uint8_t>(v >> shift));
        }
        return *this;
    }
    Bytes &U16(uint64_t v) { return Int(v, 2); }
    Bytes &U32(uint64_t v) { return Int(v, 4); }
    Bytes &U64(uint64_t v) { return Int(v, 8); }
    void Save(const std::string &path) const {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()),
                                                   static_cast<std::streamsize>(b.size()));
    }
};

// An Ethernet frame of the given EtherType around content.
inline std::vector<uint8_t> Frame(uint16_t etherType, const std::vector<uint8_t> &content) {
    std::vector<uint8_t> f = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                              static_cast<uint8_t>(etherType >> 8), static_cast<uint8_t>(etherType)};
    f.insert(f.end(), content.begin(), content.end());
    return f;
}
inline std::vector<uint8_t> Omci(const std::vector<uint8_t> &content) { return Frame(0x88B5, content); }
inline std::vector<uint8_t> Ipv4() { return Frame(0x0800, std::vector<uint8_t>(20, 0x45)); }

// n content bytes counting up from first, and their expected text.
inline std::vector<uint8_t> Pattern(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}
inline std::string HexText(const std::vector<uint8_t> &v) {
    std::string s = "0x";
    char two[3];
    for (uint8_t byte : v) {
        std::snprintf(two, sizeof two, "%02x", byte);
        s += two;
    }
    return s;
}

constexpr char kCsvHeader[] = "Row, Timestamp, RawData\r\n";
constexpr char kNotOmci[] = "Not OMCI protocol. Skip this message.\n";

inline std::string Success(const std::string &capture, const std::string &csv) {
    return "Convert " + capture + " to " + csv + " successfully.\n";
}

}  // namespace captest

#endif
