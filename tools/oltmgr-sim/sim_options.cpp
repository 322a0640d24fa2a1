// sim_options.cpp - parsing the emulator's command line; every value is checked whole.
#include "sim_options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace oltmgr::sim {

namespace {

constexpr double kMaxSeconds = 86400;      // a day: longer waits are typing errors
constexpr double kMinAlarmPeriod = 0.01;   // shorter periods would flood the subscribers

// A number of seconds: a plain non-negative decimal, at most a day.
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string &text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char *end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(seconds) || seconds > kMaxSeconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

bool ParseListen(const std::string &text, Options *options) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string address = text.substr(0, colon);
    std::string port = text.substr(colon + 1);
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1 || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::stoul(port) > 65535) {
        return false;
    }
    options->address = address;
    options->port = static_cast<uint16_t>(std::stoul(port));
    return true;
}

} // namespace

bool ParseOptions(int argc, const char *const *argv, Options *options, std::string *error) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        struct Flag {
            const char *name;
            bool Options::*member;
        };
        constexpr Flag kFlags[] = {{"--help", &Options::help},       {"-h", &Options::help},
                                   {"--version", &Options::version}, {"--quiet", &Options::quiet},
                                   {"--accept-early", &Options::acceptEarly}};
        auto flag = std::find_if(std::begin(kFlags), std::end(kFlags), [&](const Flag &f) { return arg == f.name; });
        if (flag != std::end(kFlags)) {
            options->*(flag->member) = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name != "--listen" && name != "--init-delay" && name != "--alarm-every" && name != "--db") {
            *error = arg.starts_with("-") ? "unknown option " + arg : "unexpected argument \"" + arg + "\"";
            return false;
        }
        if (!value) {
            if (i + 1 >= argc) {
                *error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (name == "--listen") {
            if (!ParseListen(*value, options)) {
                *error = "--listen wants ADDR:PORT with an IPv4 address and a port of 0 to 65535, not \"" +
                         *value + "\"";
                return false;
            }
        } else if (name == "--db") {
            if (value->empty()) {
                *error = "--db needs a file name";
                return false;
            }
            options->dbPath = *value;
        } else {
            auto seconds = ParseSeconds(*value);
            if (!seconds) {
                *error = name + " wants a number of seconds from 0 to 86400, not \"" + *value + "\"";
                return false;
            }
            if (name == "--alarm-every" && seconds->count() != 0 &&
                *seconds < std::chrono::milliseconds(std::llround(kMinAlarmPeriod * 1000))) {
                *error = "--alarm-every must be 0 (no scheduled alarms) or at least 0.01 seconds";
                return false;
            }
            (name == "--init-delay" ? options->initDelay : options->alarmEvery) = *seconds;
        }
    }
    return true;
}

const char *Synopsis() {
    return "usage: oltmgr-sim [--listen ADDR:PORT] [--init-delay SECONDS] [--accept-early]\n"
           "                  [--alarm-every SECONDS] [--db FILE] [--quiet] [--help] [--version]\n";
}

const char *Usage() {
    static const std::string text = std::string(Synopsis()) +
           "An OLT manager on this host: answers CM requests over UDP from its resource store,\n"
           "takes alarm registrations and sends alarms and events to the subscribers.\n"
           "  --listen ADDR:PORT     where requests arrive (default 127.0.0.1:47000; port 0: any)\n"
           "  --init-delay SECONDS   start-up: NOT_INIT for half of it, then BUSY, then READY\n"
           "                         (default 0: READY at once); until READY every request but\n"
           "                         the get of the system configuration (the readiness poll)\n"
           "                         is answered with eOS_RET_INVALID_STATE\n"
           "  --accept-early         answer every request from the store before READY too\n"
           "  --alarm-every SECONDS  raise an alarm on this period (default 0: only on changes)\n"
           "  --db FILE              keep the store in this SQLite file: loaded at start, saved\n"
           "                         when a set of the system configuration asks for dbSave and\n"
           "                         at exit (default: in memory only); the file is locked while\n"
           "                         the program runs, so a second one on it exits 1 at once\n"
           "  --quiet                log only start-up, shutdown, saves and errors\n"
           "  --help                 this text\n"
           "  --version              the program's and relayKit's version\n"
           "Each request, registration and notification is logged on one line to standard output;\n"
           "datagrams that get no answer are summarised, at most one line a second. Alarm\n"
           "subscribers: 64 at most; a registration from a subscribed address and port replaces\n"
           "its entry, and when all are taken the oldest gives way. SIGINT or SIGTERM: save, exit 0.\n";
    return text.c_str();
}

} // namespace oltmgr::sim
