// cmctl_run.h - runs cmctl as a child process with a deadline and reads what it printed, and a
// small JSON reader for its --json lines.
#ifndef CMCTL_TESTS_RUN_H
#define CMCTL_TESTS_RUN_H

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cmtest {

struct Result {
    int status = -1;     // exit status; -1 when killed at the deadline or ended by a signal
    std::string out;     // standard output
    std::string err;     // standard error
};

// A running cmctl. Whatever happens to the test, the destructor kills and reaps it.
class Child {
  public:
    // Runs program (cmctl unless told) with args.
    explicit Child(const std::vector<std::string> &args, const char *program = CMCTL_BIN) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
            std::vector<char *> argv{const_cast<char *>(program)};
            for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (outFd_ >= 0) close(outFd_);
        if (errFd_ >= 0) close(errFd_);
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    void Signal(int signal) { kill(pid_, signal); }

    // Reads until the child closes both pipes and exits, or kills it at the deadline.
    Result Finish(std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        Result result;
        auto end = std::chrono::steady_clock::now() + deadline;
        bool killed = false;
        while (outFd_ >= 0 || errFd_ >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(pid_, SIGKILL);
                killed = true;
                break;
            }
            pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
            if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
            Drain(fds[0], &outFd_, &result.out);
            Drain(fds[1], &errFd_, &result.err);
        }
        int wstatus = 0;
        waitpid(pid_, &wstatus, 0);
        pid_ = -1;
        result.status = !killed && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        return result;
    }

  private:
    static void Drain(const pollfd &fd, int *fdP, std::string *text) {
        if (*fdP < 0 || fd.revents == 0) return;
        char chunk[4096];
        ssize_t n = read(*fdP, chunk, sizeof chunk);
        if (n > 0) {
            text->append(chunk, static_cast<size_t>(n));
        } else {
            close(*fdP);
            *fdP = -1;
        }
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

inline Result Run(const std::vector<std::string> &args) { return Child(args).Finish(); }

// Checks one JSON value and returns the top level of an object as name -> value text (strings
// without their quotes, other values as written). Empty optional for anything that is not JSON.
class Json {
  public:
    static std::optional<std::map<std::string, std::string>> Object(const std::string &text) {
        Json reader(text);
        std::map<std::string, std::string> fields;
        reader.Space();
        if (!reader.Value(&fields, true)) return std::nullopt;
        reader.Space();
        if (reader.at_ != text.size()) return std::nullopt;
        return fields;
    }

  private:
    explicit Json(const std::string &text) : text_(text) {}
    void Space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool Eat(char c) {
        Space();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool String(std::string *out) {
        if (!Eat('"')) return false;
        for (; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            if (static_cast<unsigned char>(text_[at_]) < 0x20) return false;
            if (text_[at_] == '\\' && ++at_ >= text_.size()) return false;
            out->push_back(text_[at_]);
        }
        return Eat('"');
    }
    bool Value(std::map<std::string, std::string> *fields, bool top) {
        Space();
        if (at_ >= text_.size()) return false;
        char c = text_[at_];
        if (c == '"') {
            std::string ignored;
            return String(&ignored);
        }
        if (c == '{' || c == '[') {
            ++at_;
            char close = c == '{' ? '}' : ']';
            if (Eat(close)) return true;
            do {
                std::string name;
                if (c == '{' && (!String(&name) || !Eat(':'))) return false;
                Space();
                size_t start = at_;
                if (!Value(nullptr, false)) return false;
                if (top && fields != nullptr) {
                    std::string raw = text_.substr(start, at_ - start);
                    fields->emplace(name, raw.size() >= 2 && raw.front() == '"' ? raw.substr(1, raw.size() - 2) : raw);
                }
            } while (Eat(','));
            return Eat(close);
        }
        size_t start = at_;
        while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) ||
                                      text_[at_] == '-' || text_[at_] == '.'))
            ++at_;
        std::string word = text_.substr(start, at_ - start);
        char *end = nullptr;
        std::strtod(word.c_str(), &end);
        return word == "true" || word == "false" || word == "null" ||
               (!word.empty() && *end == '\0');
    }

    const std::string &text_;
    size_t at_ = 0;
};

} // namespace cmtest

#endif
