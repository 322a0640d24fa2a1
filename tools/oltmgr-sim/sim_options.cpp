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

#include "sim_fill.h"

namespace oltmgr::sim {

namespace {

constexpr double kMaxSeconds = 86400;      // a day: longer waits are typing errors
constexpr double kMinAlarmPeriod = 0.01;   // shorter periods would flood the subscribers
constexpr unsigned kMaxChurn = 60000;      // a thousand a second
constexpr unsigned kMaxAlarmRate = 20000;
constexpr unsigned kMaxDelayMs = 60000;
constexpr double kMinRestartPeriod = 0.1;

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

// A whole number from min to max, decimal digits only.
std::optional<unsigned> ParseCount(const std::string &text, unsigned min, unsigned max) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    unsigned long value = std::stoul(text);
    return value >= min && value <= max ? std::optional<unsigned>(static_cast<unsigned>(value)) : std::nullopt;
}

// A chance in percent: a plain decimal from 0 to 100.
std::optional<double> ParsePercent(const std::string &text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    char *end = nullptr;
    double percent = std::strtod(text.c_str(), &end);
    return *end == '\0' && percent >= 0 && percent <= 100 ? std::optional<double>(percent) : std::nullopt;
}

// MS or MS:JITTER, each a whole number of milliseconds up to a minute.
bool ParseDelay(const std::string &text, Options *options) {
    size_t colon = text.find(':');
    auto delay = ParseCount(text.substr(0, colon), 0, kMaxDelayMs);
    auto jitter = colon == std::string::npos ? std::optional<unsigned>(0)
                                             : ParseCount(text.substr(colon + 1), 0, kMaxDelayMs);
    if (!delay || !jitter) {
        return false;
    }
    options->delay = std::chrono::milliseconds(*delay);
    options->jitter = std::chrono::milliseconds(*jitter);
    return true;
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

// Reads the value of one option that takes one into *options; false with the reason in *error.
bool TakeValue(const std::string &name, const std::string &value, Options *options, std::string *error) {
    auto wrong = [&](const std::string &wanted) {
        *error = name + " wants " + wanted + ", not \"" + value + "\"";
        return false;
    };
    struct CountOption {
        const char *name;
        unsigned min, max;
        unsigned Options::*member;
    };
    constexpr CountOption kCounts[] = {
        {.name = "--pons", .min = 1, .max = kMaxPons, .member = &Options::pons},
        {.name = "--onus", .min = 0, .max = kMaxOnusPerPon, .member = &Options::onus},
        {.name = "--churn", .min = 0, .max = kMaxChurn, .member = &Options::churnPerMinute},
        {.name = "--alarm-rate", .min = 0, .max = kMaxAlarmRate, .member = &Options::alarmsPerSecond},
    };
    for (const CountOption &count : kCounts) {
        if (name == count.name) {
            auto parsed = ParseCount(value, count.min, count.max);
            if (!parsed) {
                return wrong("a whole number from " + std::to_string(count.min) + " to " + std::to_string(count.max));
            }
            options->*(count.member) = *parsed;
            return true;
        }
    }
    if (name == "--drop" || name == "--duplicate") {
        auto percent = ParsePercent(value);
        if (!percent) {
            return wrong("a percentage from 0 to 100");
        }
        (name == "--drop" ? options->dropPercent : options->duplicatePercent) = *percent;
        return true;
    }
    if (name == "--delay") {
        return ParseDelay(value, options) ||
               wrong("MS or MS:JITTER, whole milliseconds from 0 to " + std::to_string(kMaxDelayMs));
    }
    if (name == "--listen") {
        return ParseListen(value, options) || wrong("ADDR:PORT with an IPv4 address and a port of 0 to 65535");
    }
    if (name == "--db") {
        if (value.empty()) {
            *error = "--db needs a file name";
            return false;
        }
        options->dbPath = value;
        return true;
    }
    auto seconds = ParseSeconds(value);
    if (!seconds) {
        return wrong("a number of seconds from 0 to 86400");
    }
    auto below = [&](double least) {
        return seconds->count() != 0 && *seconds < std::chrono::milliseconds(std::llround(least * 1000));
    };
    if (name == "--alarm-every" && below(kMinAlarmPeriod)) {
        *error = "--alarm-every must be 0 (no scheduled alarms) or at least 0.01 seconds";
        return false;
    }
    if (name == "--restart-every" && below(kMinRestartPeriod)) {
        *error = "--restart-every must be 0 (no restarts) or at least 0.1 seconds";
        return false;
    }
    (name == "--init-delay" ? options->initDelay
     : name == "--alarm-every" ? options->alarmEvery
                               : options->restartEvery) = *seconds;
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
        const std::string known[] = {"--listen",     "--init-delay", "--alarm-every", "--db",   "--pons",
                                     "--onus",       "--churn",      "--alarm-rate",  "--drop", "--delay",
                                     "--duplicate",  "--restart-every"};
        if (std::find(std::begin(known), std::end(known), name) == std::end(known)) {
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
        if (!TakeValue(name, *value, options, error)) {
            return false;
        }
    }
    return true;
}

const char *Synopsis() {
    return "usage: oltmgr-sim [--listen ADDR:PORT] [--init-delay SECONDS] [--accept-early]\n"
           "                  [--alarm-every SECONDS] [--db FILE] [--pons N] [--onus M] [--churn R]\n"
           "                  [--alarm-rate R] [--drop P] [--delay MS[:JITTER]] [--duplicate P]\n"
           "                  [--restart-every SECONDS] [--quiet] [--help] [--version]\n";
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
           "  --pons N               PON links of the ONUs at start, 1 to 16 (default 1): PON p is\n"
           "                         link p of device 0 on slot 1\n"
           "  --onus M               ONU configurations per PON at start, 0 to 256 (default 0:\n"
           "                         none); ONU m of PON p has the key 1/0/p/m and the serial\n"
           "                         number SIMU, p and m in four hexadecimal digits each\n"
           "  --churn R              R ONUs a minute go down (ONU_DEACTIVATED, ONU alarm raised)\n"
           "                         and come back half a period later (ONU_ACTIVATED, cleared)\n"
           "  --alarm-rate R         an alarm storm of R alarms a second (up to 20000) over the\n"
           "                         ONUs, alarm types in turn\n"
           "  --drop P               P percent of the answers are not sent\n"
           "  --delay MS[:JITTER]    answers leave MS milliseconds late, plus up to JITTER more;\n"
           "                         later requests are answered meanwhile, in the order due\n"
           "  --duplicate P          P percent of the answers are sent twice\n"
           "  --restart-every SECONDS  the manager restarts: NOT_INIT, BUSY, then READY over the\n"
           "                         start-up delay (a second when it is 0), its alarm subscribers\n"
           "                         forgotten, its store back to its start unless --db keeps it\n"
           "  --quiet                log only start-up, shutdown, saves, restarts, the storm's\n"
           "                         totals and errors\n"
           "  --help                 this text\n"
           "  --version              the program's and relayKit's version\n"
           "Each request, registration and notification is logged on one line to standard output;\n"
           "datagrams that get no answer, the faults put on answers and the storm are summarised,\n"
           "at most one line a second each. Alarm\n"
           "subscribers: 64 at most; a registration from a subscribed address and port replaces\n"
           "its entry, and when all are taken the oldest gives way. SIGINT or SIGTERM: save, exit 0.\n";
    return text.c_str();
}

} // namespace oltmgr::sim
