// cmctl.cpp - cmctl, an operator's command line over relayKit's CM client: reads the options that
// apply to every command and the command's own, prints help, and runs the command.
#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "cmctl_commands.h"
#include "cmctl_names.h"
#include "relaykit.h"

namespace {

using cmctl::Invocation;

struct OptionSpec {
    std::string_view name;
    bool takesValue;
};

struct CommandSpec {
    std::string_view name;
    std::span<const OptionSpec> options;
    std::string_view help;
};

constexpr OptionSpec kNoOptions[] = {{"help", false}};
constexpr OptionSpec kStatusOptions[] = {{"help", false}, {"wait", true}};
constexpr OptionSpec kGetOptions[] = {{"help", false}, {"key", true}, {"mask", true}, {"type", true}};
constexpr OptionSpec kWalkOptions[] = {{"help", false}, {"key", true}, {"type", true}, {"limit", true}};
constexpr OptionSpec kCountOptions[] = {{"help", false}, {"type", true}};
constexpr OptionSpec kChangeOptions[] = {{"help", false}, {"key", true}, {"record", true}, {"type", true}};
constexpr OptionSpec kDeleteOptions[] = {{"help", false}, {"key", true}, {"type", true}};
constexpr OptionSpec kAlarmOptions[] = {{"help", false}, {"follow", false},    {"count", true},
                                        {"wait", true},  {"filter", true},     {"slot", true},
                                        {"link", true},  {"onu", true},        {"alarm-type", true}};
constexpr OptionSpec kTraceOptions[] = {{"help", false},  {"cm", true},        {"module", true},
                                        {"level", true},  {"log-level", true}};

constexpr std::string_view kResourceHelp =
    "RES is a resource name without the eZQ_CMAPI_RES_ID_ prefix, in any case (EQPT_ONU_CONFIG,\n"
    "eqpt_olt_init_status), or its number. --type overrides the resource type sent with it (a\n"
    "name such as ONU or SYSTEM, or a number).\n";
constexpr std::string_view kKeyHelp =
    "KEY: onu=S/D/L/O, port=S/D/L/O/P, link=S/D/L, device=S/D, slot=S, profile=I[/I2], type=N\n"
    "or hex:BYTES (up to 52). System resources default to type=1.\n";

const CommandSpec kCommands[] = {
    {"status", kStatusOptions,
     "cmctl status [--wait SECONDS]\n"
     "Asks the OLT manager for its start-up state (NOT_INIT, BUSY or READY). Exit status 0 when\n"
     "ready, 4 when it answered but is not ready, 3 when it did not answer. --wait polls until it\n"
     "is ready or the seconds are up.\n"},
    {"get", kGetOptions,
     "cmctl get RES [--key KEY] [--mask MASK] [--type TYPE]\n"
     "Reads one instance. MASK is the record's bitMask: a number, 'all' or field names joined by\n"
     "commas; only the fields it names are shown (--json still carries the whole record in hex).\n"
     "Records shown field by field ask for all fields unless told, the others send 0 ('all' sends\n"
     "every bit). A resource that is not of the system needs --key.\n"},
    {"walk", kWalkOptions,
     "cmctl walk RES [--key KEY] [--limit N] [--type TYPE]\n"
     "Reads every instance in the manager's order (from KEY on when given), then the count.\n"},
    {"count", kCountOptions,
     "cmctl count RES [--type TYPE]\n"
     "Prints the number of instances.\n"},
    {"create", kChangeOptions,
     "cmctl create RES --key KEY [--record HEX|@FILE|FIELD=VALUE] [FIELD=VALUE...] [--type TYPE]\n"
     "Creates an instance (--key is needed unless the resource is of the system). The record\n"
     "starts as zeros; HEX or the bytes of FILE fill it from its start; FIELD=VALUE sets one\n"
     "field of a record cmctl knows (system configuration, resources 36, 38, 104) and adds the\n"
     "field's bit to bitMask.\n"},
    {"set", kChangeOptions,
     "cmctl set RES --key KEY --record HEX|@FILE|FIELD=VALUE [FIELD=VALUE...] [--type TYPE]\n"
     "Changes an instance; the key and the record as for create. A set of the system\n"
     "configuration with dbSave=TRUE then asks for dbSaveStatus until it leaves IN_PROGRESS\n"
     "(within --timeout): COMPLETED_FAILURE exits 1, a save still running at the end exits 3.\n"},
    {"delete", kDeleteOptions,
     "cmctl delete RES --key KEY [--type TYPE]\n"
     "Deletes an instance (--key is needed unless the resource is of the system).\n"},
    {"list", kNoOptions,
     "cmctl list\n"
     "Lists every resource: its number, its name, the resource type cmctl requests it with, how\n"
     "its record is given and shown (fields: by name, see cmctl fields; hex: as bytes) and\n"
     "whether a request about one instance needs --key. With --json one object holds the list.\n"
     "Nothing is sent to the OLT manager.\n"},
    {"fields", kNoOptions,
     "cmctl fields RES\n"
     "Lists the fields of RES's record as get shows them and create and set take them\n"
     "(FIELD=VALUE): name, type and size in bytes, its bit in bitMask, and for an enumeration\n"
     "the names it accepts (a number is accepted too). Nothing is sent to the OLT manager.\n"
     "RES is a resource name without the eZQ_CMAPI_RES_ID_ prefix, in any case, or its number.\n"},
    {"alarms", kAlarmOptions,
     "cmctl alarms [--follow] [--count N] [--wait SECONDS] [--filter TYPE] [--slot A[-B]]\n"
     "             [--link A[-B]] [--onu A[-B]] [--alarm-type A[-B]]\n"
     "Registers for alarms and prints each message as it arrives, one line each: alarms and the\n"
     "manager's events, with the number and the name of the alarm type or event, and an alarm's\n"
     "time both in milliseconds and as local time. Without --follow it ends once N messages are\n"
     "printed, alarms and events alike (--count, 1), or when SECONDS are up (--wait, 5): then it\n"
     "exits 3 with \"no alarm within SECONDS s\" (or how many of N came). With --follow it runs\n"
     "until interrupted.\n"
     "Ctrl-C or SIGTERM ends either quietly with exit 0 and one line on standard error that\n"
     "counts what was shown. It unregisters before it ends. The filter type (NONE, ONU, LINK,\n"
     "SLOT, ALARM_TYPE, PM_TCA, AVC) follows from the ranges given unless --filter names it.\n"},
};

constexpr std::string_view kTraceHelp =
    "cmctl trace [--cm MODULE[=MASK]]... [--module MODULE[=MASK]]... [--level LEVEL]\n"
    "            [--log-level LEVEL] [COMMAND ...]\n"
    "Runs COMMAND with the library's traces switched on; trace records and the library's own\n"
    "lines go to standard error. --cm names a CM module (EXT_CML_API, EXT_COMMUNICATION, ...),\n"
    "--module a service module (by its short name or number); MASK is a number or mask names\n"
    "joined by '+' (API, MESSAGE, ...), all bits when left out. LEVEL: DEBUG..EMERG for traces,\n"
    "MINOR, MAJOR or CRITICAL for logs. Without --cm and --module the CM API and communicator\n"
    "traces are on. Without COMMAND it prints the configuration it would use.\n";

constexpr std::string_view kUsage =
    "usage: cmctl [--mgr ADDR:PORT] [--port N] [--alarm-port N] [--timeout SECONDS] [--json]\n"
    "             [--verbose] COMMAND ...\n"
    "       cmctl --version\n"
    "Talks to the OLT manager over the CM protocol.\n"
    "Commands: status, get, walk, count, create, set, delete, alarms, trace, list, fields; see\n"
    "'cmctl COMMAND --help'; 'cmctl list' shows the resources, 'cmctl fields RES' a record's\n"
    "fields.\n"
    "  --mgr ADDR:PORT    the OLT manager (CMCTL_MGR from the environment, else 127.0.0.1:47000)\n"
    "  --port N           local request/response port (a free one)\n"
    "  --alarm-port N     local alarm port (a free one)\n"
    "  --timeout SECONDS  longest wait for one answer (3; fractions allowed)\n"
    "  --json             one JSON object per result on standard output, nothing else there\n"
    "                     (failures too), as share/relaykit/cmctl.schema.json describes\n"
    "  --verbose          the library's own lines on standard error\n"
    "  --version          cmctl's and relayKit's version\n"
    "Exit status: 0 done; 1 the manager refused (its ret is named) or could not save; 2 bad\n"
    "arguments; 3 no answer within the time-out (alarms: too few within --wait); 4 status: not\n"
    "ready; 5 a local failure (ports, channel).\n";

// Set before the options are read, so that even a bad global option is reported as JSON.
bool jsonErrors = false;

int Usage(const std::string &message, std::string_view help = "cmctl --help",
          std::string_view command = {}) {
    std::string text = message + " (see " + std::string(help) + ")";
    std::fprintf(stderr, "cmctl: %s\n", text.c_str());
    if (jsonErrors) std::printf("%s\n", cmctl::ErrorJson(command, text, cmctl::kExitUsage).c_str());
    return cmctl::kExitUsage;
}

// Whether --json is among the global options, found before they are read one by one.
bool AsksForJson(std::span<char *> words, std::span<const OptionSpec> globals) {
    for (size_t i = 0; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (!word.starts_with("--") || word == "--") return false;
        if (word == "--json") return true;
        for (const OptionSpec &spec : globals)
            if (spec.takesValue && word.substr(2) == spec.name) ++i; // its value follows
    }
    return false;
}

// Options of the form --name VALUE or --name=VALUE, and positional words, until the end or, when
// stopAtWord, the first word. Returns the index after what was read, or -1 after a usage message.
int ReadOptions(std::span<char *> words, std::span<const OptionSpec> specs, std::string_view what,
                bool stopAtWord, Invocation *runP) {
    size_t i = 0;
    for (; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (!word.starts_with("--") || word == "--") {
            if (stopAtWord) break;
            runP->args.emplace_back(word);
            continue;
        }
        size_t equals = word.find('=');
        std::string_view name = word.substr(2, equals == std::string_view::npos ? word.npos : equals - 2);
        const OptionSpec *spec = nullptr;
        for (const OptionSpec &candidate : specs)
            if (candidate.name == name) spec = &candidate;
        bool global = what == "cmctl";
        std::string help = global ? "cmctl --help" : "cmctl " + std::string(what) + " --help";
        std::string where = global ? "" : std::string(what) + ": ";
        std::string_view command = global ? std::string_view() : what;
        if (spec == nullptr) return Usage(where + "unknown option --" + std::string(name), help, command), -1;
        std::string value;
        if (!spec->takesValue) {
            if (equals != std::string_view::npos)
                return Usage(where + "--" + std::string(name) + " takes no value", help, command), -1;
        } else if (equals != std::string_view::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            return Usage(where + "--" + std::string(name) + " needs a value", help, command), -1;
        }
        runP->options[std::string(name)].push_back(value);
    }
    return static_cast<int>(i);
}

// MODULE[=MASK] against a module table.
bool ReadModuleMask(const std::string &text, std::span<const cmctl::EnumName> modules,
                    uint32_t moduleLimit, std::pair<uint32_t, uint32_t> *settingP) {
    size_t equals = text.find('=');
    auto module = cmctl::ValueOf(modules, std::string_view(text).substr(0, equals), moduleLimit);
    if (!module) return false;
    uint32_t mask = 0xFFFFFFFFu;
    if (equals != std::string::npos) {
        std::string_view names = std::string_view(text).substr(equals + 1);
        mask = 0;
        while (!names.empty()) {
            size_t plus = names.find('+');
            auto bit = cmctl::ValueOf(cmctl::kTraceMaskNames, names.substr(0, plus));
            if (!bit) return false;
            mask |= *bit;
            names = plus == std::string_view::npos ? std::string_view() : names.substr(plus + 1);
        }
    }
    *settingP = {*module, mask};
    return true;
}

std::string ReadTrace(const Invocation &traceRun, cmctl::TraceSettings *traceP) {
    traceP->on = true;
    std::vector<cmctl::EnumName> svcModules;
    for (uint32_t module = 0; module < ZQ_TRACE_MODULE_NUM; ++module)
        svcModules.push_back({module, ZqSubModuleStr[module]});
    auto all = [&](std::string_view name) {
        auto found = traceRun.options.find(name);
        return found == traceRun.options.end() ? std::vector<std::string>() : found->second;
    };
    for (const std::string &text : all("cm")) {
        std::pair<uint32_t, uint32_t> setting;
        if (!ReadModuleMask(text, cmctl::kCmModuleNames, ZQ_CM_TRACE_MODULE_NUM - 1, &setting))
            return "bad --cm '" + text + "'";
        traceP->cmMasks.push_back(setting);
    }
    for (const std::string &text : all("module")) {
        std::pair<uint32_t, uint32_t> setting;
        if (!ReadModuleMask(text, svcModules, ZQ_TRACE_MODULE_NUM - 1, &setting))
            return "bad --module '" + text + "'";
        traceP->svcMasks.push_back(setting);
    }
    if (traceP->cmMasks.empty() && traceP->svcMasks.empty())
        traceP->cmMasks = {{eZQ_OLT_MAN_MODULE_EXT_COMMUNICATION, eZQ_CM_TM_API},
                           {eZQ_OLT_MAN_MODULE_EXT_CML_API, eZQ_CM_TM_API}};
    if (const std::string *level = traceRun.Option("level")) {
        traceP->traceLevel = cmctl::ValueOf(cmctl::kTraceLevelNames, *level, eZqTraceLevel_LAST - 1);
        if (!traceP->traceLevel) return "bad --level '" + *level + "'";
    }
    if (const std::string *level = traceRun.Option("log-level")) {
        traceP->logLevel = cmctl::ValueOf(cmctl::kLogLevelNames, *level, eZQ_LL_CRITICAL);
        if (!traceP->logLevel) return "bad --log-level '" + *level + "'";
    }
    return {};
}

std::string ReadGlobals(Invocation *runP) {
    Invocation &run = *runP;
    // CMCTL_MGR stands for --mgr; an --mgr given on the command line wins.
    const char *fromEnvironment = std::getenv("CMCTL_MGR");
    std::string_view managerSource = "--mgr";
    if (!run.Has("mgr") && fromEnvironment != nullptr && *fromEnvironment != '\0') {
        run.options["mgr"].push_back(fromEnvironment);
        managerSource = "CMCTL_MGR";
    }
    if (const std::string *manager = run.Option("mgr")) {
        size_t colon = manager->rfind(':');
        std::string host = manager->substr(0, colon);
        if (host == "localhost") host = "127.0.0.1";
        in_addr address{};
        auto port = colon == std::string::npos ? std::nullopt
                                               : cmctl::ParseNumber(manager->substr(colon + 1), 65535);
        if (inet_pton(AF_INET, host.c_str(), &address) != 1 || !port || *port == 0)
            return "bad " + std::string(managerSource) + " '" + *manager + "': give an IPv4 ADDR:PORT";
        run.endpoints.managerIp = ntohl(address.s_addr);
        run.endpoints.managerPort = static_cast<uint16_t>(*port);
        run.manager = host + ":" + std::to_string(*port);
    }
    for (auto [name, portP] : {std::pair{"port", &run.endpoints.requestPort},
                               std::pair{"alarm-port", &run.endpoints.alarmPort}}) {
        if (const std::string *given = run.Option(name)) {
            auto port = cmctl::ParseNumber(*given, 65535);
            if (!port || *port == 0) return "bad --" + std::string(name) + " '" + *given + "'";
            *portP = static_cast<uint16_t>(*port);
        }
    }
    if (run.endpoints.requestPort != 0 && run.endpoints.requestPort == run.endpoints.alarmPort)
        return "--port and --alarm-port must differ";
    if (const std::string *given = run.Option("timeout")) {
        char *end = nullptr;
        double seconds = std::strtod(given->c_str(), &end);
        if (given->empty() || *end != '\0' || !(seconds >= 0.001 && seconds <= 3600))
            return "bad --timeout '" + *given + "': seconds, 0.001 to 3600";
        run.endpoints.timeoutMs = static_cast<uint32_t>(seconds * 1000 + 0.5);
    }
    run.json = run.Has("json");
    run.verbose = run.Has("verbose");
    run.options.clear();
    return {};
}

} // namespace

int main(int argc, char **argv) {
    constexpr OptionSpec kGlobalOptions[] = {{"help", false},     {"mgr", true},     {"port", true},
                                             {"alarm-port", true}, {"timeout", true}, {"json", false},
                                             {"verbose", false},   {"version", false}};
    std::span<char *> words(argv + 1, static_cast<size_t>(argc > 0 ? argc - 1 : 0));
    jsonErrors = AsksForJson(words, kGlobalOptions);
    Invocation run;
    int used = ReadOptions(words, kGlobalOptions, "cmctl", true, &run);
    if (used < 0) return cmctl::kExitUsage;
    if (run.Has("version")) {
        std::printf("cmctl (relayKit) %s\n", RELAYKIT_VERSION_TEXT);
        return cmctl::kExitOk;
    }
    if (run.Has("help") || (static_cast<size_t>(used) < words.size() && std::string_view(words[used]) == "help")) {
        std::fputs(kUsage.data(), stdout);
        return cmctl::kExitOk;
    }
    if (std::string error = ReadGlobals(&run); !error.empty()) return Usage(error);
    words = words.subspan(static_cast<size_t>(used));
    if (words.empty()) return Usage("which command?");

    if (std::string_view(words[0]) == "trace") {
        Invocation traceRun;
        int traceUsed = ReadOptions(words.subspan(1), kTraceOptions, "trace", true, &traceRun);
        if (traceUsed < 0) return cmctl::kExitUsage;
        if (traceRun.Has("help")) {
            std::fputs(kTraceHelp.data(), stdout);
            return cmctl::kExitOk;
        }
        if (std::string error = ReadTrace(traceRun, &run.trace); !error.empty())
            return Usage("trace: " + error, "cmctl trace --help");
        words = words.subspan(1 + static_cast<size_t>(traceUsed));
        if (words.empty()) {
            cmctl::StartLibrary(false, run.trace);
            std::string report = cmctl::TraceReport();
            std::fputs(report.c_str(), stdout);
            return cmctl::kExitOk;
        }
    }

    run.command = words[0];
    const CommandSpec *command = nullptr;
    for (const CommandSpec &candidate : kCommands)
        if (candidate.name == run.command) command = &candidate;
    if (command == nullptr) {
        std::vector<std::string_view> names{"trace", "help"};
        for (const CommandSpec &candidate : kCommands) names.push_back(candidate.name);
        return Usage("unknown command '" + run.command + "'" + cmctl::DidYouMean(run.command, names));
    }
    if (ReadOptions(words.subspan(1), command->options, run.command, false, &run) < 0)
        return cmctl::kExitUsage;
    if (run.Has("help")) {
        std::fputs(command->help.data(), stdout);
        bool namesResource = run.command != "status" && run.command != "alarms" && run.command != "list" &&
                             run.command != "fields";
        if (namesResource)
            std::printf("%s%s", kResourceHelp.data(), run.command == "count" ? "" : kKeyHelp.data());
        return cmctl::kExitOk;
    }
    return cmctl::RunCommand(run);
}
