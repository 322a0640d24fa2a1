// capsheet_run.h - runs capsheet in a scratch directory as its users do, and watches what it does.
#ifndef CAPSHEET_TESTS_RUN_H
#define CAPSHEET_TESTS_RUN_H

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture_bytes.h"

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
    int status = -1;    // exit status, or -1 when the program did not exit normally
    std::string out;    // everything printed on standard output
    std::string err;    // and on standard error
    long peakKiB = 0;   // the program's own peak resident memory
    // With Launch::csvPipe: how many CSV bytes came through, and the first and last of them.
    uint64_t csvBytes = 0;
    std::string csvFront;
    std::string csvBack;
};

// How a run starts; by default as a user would start it, standard output collected.
struct Launch {
    std::string argv0;            // the name the program is invoked by; empty: its path
    bool noArguments = false;     // start it with an empty argument vector, not even a name
    std::string stdoutFile;       // standard output goes there instead of being collected
    bool stdoutAppend = false;    // and is opened to append
    std::vector<int> closedFds;   // standard descriptors left closed
    bool csvPipe = false;         // the CSV is written to a pipe on descriptor 3 ("/dev/fd/3")
    const std::vector<uint8_t> *stdinPipe = nullptr;  // fed to standard input through a pipe
};

constexpr char kCsvPipePath[] = "/dev/fd/3";
constexpr size_t kCsvEndsKept = 256;

// Keeps the count and the two ends of a stream too large to hold.
inline void KeepEnds(Result &r, const char *chunk, size_t n) {
    r.csvBytes += n;
    if (r.csvFront.size() < kCsvEndsKept)
        r.csvFront.append(chunk, std::min(n, kCsvEndsKept - r.csvFront.size()));
    r.csvBack.append(chunk, n);
    if (r.csvBack.size() > 4 * kCsvEndsKept) r.csvBack.erase(0, r.csvBack.size() - kCsvEndsKept);
}

// Runs program with args, collecting what it prints.
inline Result Run(const std::string &program, const std::vector<std::string> &args, const Launch &how = {}) {
    // Everything the child needs is made before the fork.
    std::vector<char *> argv;
    const std::string name = how.argv0.empty() ? program : how.argv0;
    if (!how.noArguments) {
        argv.push_back(const_cast<char *>(name.c_str()));
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    }
    argv.push_back(nullptr);
    int out[2], err[2], csv[2] = {-1, -1}, in[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || (how.csvPipe && pipe2(csv, O_CLOEXEC) != 0) ||
        (how.stdinPipe && pipe2(in, O_CLOEXEC) != 0))
        std::abort();
    const int stdoutFile = how.stdoutFile.empty() ? -1 : open(how.stdoutFile.c_str(), O_WRONLY | O_CLOEXEC | (how.stdoutAppend ? O_APPEND : 0));
    const pid_t pid = fork();
    if (pid == 0) {
        // Only the descriptors moved into place survive the exec.
        auto place = [](int from, int to) { from == to ? fcntl(to, F_SETFD, 0) : dup2(from, to); };
        place(stdoutFile >= 0 ? stdoutFile : out[1], STDOUT_FILENO);
        place(err[1], STDERR_FILENO);
        if (how.csvPipe) place(csv[1], 3);
        if (how.stdinPipe) place(in[0], STDIN_FILENO);
        for (int fd : how.closedFds) close(fd);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (stdoutFile >= 0) close(stdoutFile);
    for (int fd : {out[1], err[1], csv[1], in[0]})
        if (fd >= 0) close(fd);
    Result r;
    // Standard input is fed while the outputs are read, so neither side waits on a full pipe; a
    // program that stops reading early makes the write fail, not this process end.
    if (in[1] >= 0) fcntl(in[1], F_SETFL, O_NONBLOCK), std::signal(SIGPIPE, SIG_IGN);
    size_t fed = 0;
    pollfd fds[4] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {csv[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    char chunk[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0 || fds[2].fd >= 0) {
        if (poll(fds, 4, -1) < 0) continue;
        if (fds[3].fd >= 0 && fds[3].revents != 0) {
            const ssize_t n = write(in[1], how.stdinPipe->data() + fed, how.stdinPipe->size() - fed);
            if (n > 0) fed += static_cast<size_t>(n);
            if (n < 0 || fed == how.stdinPipe->size()) close(fds[3].fd), fds[3].fd = -1;  // the reader may stop early
        }
        for (int i = 0; i < 3; ++i) {
            pollfd &p = fds[i];
            if (p.fd < 0 || p.revents == 0) continue;
            const ssize_t n = read(p.fd, chunk, sizeof chunk);
            if (n <= 0) {
                close(p.fd);
                p.fd = -1;
            } else if (i == 0) {
                r.out.append(chunk, static_cast<size_t>(n));
            } else if (i == 1) {
                r.err.append(chunk, static_cast<size_t>(n));
            } else {
                KeepEnds(r, chunk, static_cast<size_t>(n));
            }
        }
    }
    if (fds[3].fd >= 0) close(fds[3].fd);
    int wstatus = 0;
    rusage usage{};
    wait4(pid, &wstatus, 0, &usage);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.peakKiB = usage.ru_maxrss;
    return r;
}

inline Result Capsheet(const std::vector<std::string> &args, const Launch &how = {}) {
    return Run(CAPSHEET_BIN, args, how);
}

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool Exists(const std::string &path) { return std::filesystem::exists(path); }

constexpr char kCsvHeader[] = "Row, Timestamp, RawData\r\n";
constexpr char kNotOmci[] = "Not OMCI protocol. Skip this message.\n";

inline std::string Success(const std::string &capture, const std::string &csv) {
    return "Convert " + capture + " to " + csv + " successfully.\n";
}

// A scratch directory with a capture and a CSV named in it; Convert saves the capture and runs
// capsheet with the options given, then the two names.
struct CapsheetTest : ::testing::Test {
    Scratch scratch;
    std::string capture = scratch.Path("in.pcap");
    std::string csv = scratch.Path("out.csv");
    Result Convert(const Bytes &c, std::vector<std::string> args = {}) {
        c.Save(capture);
        args.push_back(capture);
        args.push_back(csv);
        return Capsheet(args);
    }
};

}  // namespace captest

#endif
