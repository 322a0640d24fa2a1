// sim_process.h - the built oltmgr-sim as a child process of a test: started with its standard
// output and error on pipes, its log read line by line, every wait bounded by a deadline, and
// killed and reaped when the test lets go of it, whatever happened.
#ifndef OLTMGR_TEST_SIM_PROCESS_H
#define OLTMGR_TEST_SIM_PROCESS_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace oltmgr_test {

class SimProcess {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts the program with args (the program name excluded).
    explicit SimProcess(const std::vector<std::string> &args) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<std::string> all{OLTMGR_SIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, OLTMGR_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~SimProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) { kill(pid_, signal); }

    // The next line of standard output, without its newline; nothing at the deadline or the end.
    std::optional<std::string> ReadLine(std::chrono::milliseconds deadline) {
        auto until = Clock::now() + deadline;
        for (;;) {
            if (size_t newline = buffer_.find('\n'); newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                lines_.push_back(line);
                return line;
            }
            if (!ReadSome(out_, &buffer_, until)) {
                return std::nullopt;
            }
        }
    }

    // Reads lines until one contains text; that line, or nothing at the deadline.
    std::optional<std::string> WaitForLine(const std::string &text, std::chrono::milliseconds deadline) {
        auto until = Clock::now() + deadline;
        while (Clock::now() < until) {
            auto line = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
            if (!line) {
                return std::nullopt;
            }
            if (line->find(text) != std::string::npos) {
                return line;
            }
        }
        return std::nullopt;
    }

    // Waits for the "listening on ADDR:PORT" line and returns the port; 0 when it did not come.
    uint16_t WaitListening(std::chrono::milliseconds deadline = std::chrono::seconds(5)) {
        auto line = WaitForLine("listening on ", deadline);
        if (!line) {
            return 0;
        }
        return static_cast<uint16_t>(std::stoul(line->substr(line->rfind(':') + 1)));
    }

    // The exit status (128 + the signal for a killed process), or nothing at the deadline.
    std::optional<int> Wait(std::chrono::milliseconds deadline) {
        auto until = Clock::now() + deadline;
        while (!status_) {
            int status = 0;
            pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (done < 0 || Clock::now() >= until) {
                return status_;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return status_;
    }

    // Everything the process wrote to standard error; read once it has ended.
    std::string Errors() {
        std::string text;
        while (ReadSome(err_, &text, Clock::now() + std::chrono::milliseconds(500))) {
        }
        return text;
    }

    // The lines read so far.
    const std::vector<std::string> &Lines() const { return lines_; }

  private:
    // Appends what fd has to *to; false at the end of the stream or the deadline.
    static bool ReadSome(int fd, std::string *to, Clock::time_point until) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd pfd{fd, POLLIN, 0};
        if (left <= 0 || poll(&pfd, 1, static_cast<int>(left)) != 1) {
            return false;
        }
        char chunk[4096];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        to->append(chunk, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string buffer_;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

// Stops the program and adds up, over the fault summaries of its whole log, the answers that
// were what ("dropped", "sent twice", "delayed").
inline uint64_t FaultTotal(SimProcess &process, const std::string &what) {
    process.Signal(SIGTERM);
    uint64_t total = 0;
    while (auto line = process.ReadLine(std::chrono::seconds(3))) {
        if (!line->starts_with("faults: ")) {
            continue;
        }
        // "faults: 3 answers dropped, 1 answer sent twice, 12 answers delayed (longest 240 ms)"
        std::istringstream parts(line->substr(8));
        for (std::string part; std::getline(parts, part, ',');) {
            std::istringstream words(part);
            uint64_t count = 0;
            std::string answers, rest;
            words >> count >> answers >> std::ws;
            std::getline(words, rest);
            if (rest.starts_with(what)) {
                total += count;
            }
        }
    }
    return total;
}

} // namespace oltmgr_test

#endif // OLTMGR_TEST_SIM_PROCESS_H
