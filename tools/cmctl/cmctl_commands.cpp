// cmctl_commands.cpp - the commands of cmctl: each turns its arguments into CM requests, runs them
// synchronously over the channel and prints the answers as text or JSON.
#include "cmctl_commands.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

#include "cmctl_names.h"
#include "cmctl_record.h"
#include "relaykit.h"

namespace cmctl {

const std::string *Invocation::Option(std::string_view name) const {
    auto found = options.find(name);
    return found == options.end() || found->second.empty() ? nullptr : &found->second.back();
}

std::string ErrorJson(std::string_view operation, const std::string &message, int exit) {
    return std::string("{\"operation\":") + (operation.empty() ? "null" : JsonString(operation)) +
           ",\"ok\":false,\"exit\":" + std::to_string(exit) + ",\"error\":" + JsonString(message) + "}";
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kWalkEnd = eOS_RET_OLT_NO_INSTANCE_EXISTS;
constexpr size_t kWalkLimit = 1u << 20; // a manager that never ends a walk is stopped here
constexpr size_t kAlarmBacklog = 1024;  // alarms waiting to be printed; more are counted, not kept

uint16 NextTransactionId() {
    static uint16 next = 1;
    return next++;
}

// ---- output -------------------------------------------------------------------------------------

class JsonObject {
  public:
    JsonObject &Raw(std::string_view key, const std::string &value) {
        body_ += (body_.empty() ? "" : ",") + JsonString(key) + ":" + value;
        return *this;
    }
    JsonObject &Str(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
    JsonObject &Num(std::string_view key, int64_t value) { return Raw(key, std::to_string(value)); }
    JsonObject &Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
    std::string Text() const { return "{" + body_ + "}"; }

  private:
    std::string body_;
};

void PrintLine(const std::string &line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Which fields of a record are shown: all of them, or those whose bit a --mask named.
struct FieldSelection {
    bool every = true;
    uint32_t mask = 0;

    bool Has(const Field &field) const { return every || (mask & field.maskBit) != 0; }
};

// A record in JSON: its length and all its bytes, then the selected fields where cmctl knows
// its layout.
std::string RecordJson(uint32_t resId, std::span<const uint8_t> record, FieldSelection selection = {}) {
    JsonObject object;
    object.Num("length", static_cast<int64_t>(record.size())).Str("hex", HexText(record));
    if (const Layout *layout = LayoutOf(resId))
        for (const Field &field : layout->fields)
            if (selection.Has(field)) object.Raw(field.name, FieldJson(field, record));
    return object.Text();
}

// Field by field where the layout is known, else a dump of 16 bytes a line up to the last non-zero.
void PrintRecordText(uint32_t resId, std::span<const uint8_t> record, FieldSelection selection = {}) {
    if (const Layout *layout = LayoutOf(resId)) {
        for (const Field &field : layout->fields)
            if (selection.Has(field))
                std::printf("  %s: %s\n", std::string(field.name).c_str(), FieldText(field, record).c_str());
        return;
    }
    size_t used = UsedLength(record);
    for (size_t offset = 0; offset < used; offset += 16) {
        std::printf("  %04zx:", offset);
        for (size_t i = offset; i < std::min(offset + 16, used); ++i) std::printf(" %02x", record[i]);
        std::printf("\n");
    }
    if (used == 0)
        std::printf("  (all %zu bytes zero)\n", record.size());
    else if (used < record.size())
        std::printf("  (zero from 0x%04zx to the end, %zu bytes)\n", (used + 15) / 16 * 16, record.size());
}

std::string RetJson(int32_t ret) { return EnumJson(static_cast<uint32_t>(ret), RetName(ret)); }

std::string ResIdJson(uint32_t resId) {
    const ResourceName *known = FindResource(resId);
    return EnumJson(resId, known != nullptr ? known->name : std::string_view());
}

// ---- what a command addresses --------------------------------------------------------------------

struct Target {
    uint32_t resId = 0;
    uint32_t resType = 0;
    uZqCmKey key;
    bool keyGiven = false;

    std::string Label() const { return ResourceLabel(resId) + " " + KeyText(key, resType); }
};

std::string UnknownResource(std::string_view text) {
    std::string_view bare = text;
    if (bare.size() > kResourcePrefix.size() && SameText(bare.substr(0, kResourcePrefix.size()), kResourcePrefix))
        bare.remove_prefix(kResourcePrefix.size());
    std::string hint = DidYouMean(bare, ResourceNames());
    return "unknown resource '" + std::string(text) + "'" + (hint.empty() ? "; cmctl list shows them all" : hint);
}

std::string ParseTarget(const Invocation &run, Target *targetP) {
    std::memset(&targetP->key, 0, sizeof targetP->key);
    if (run.args.empty()) return "which resource? give a name or number";
    auto resId = ParseResource(run.args[0]);
    if (!resId) return UnknownResource(run.args[0]);
    targetP->resId = *resId;
    const ResourceName *known = FindResource(*resId);
    targetP->resType = known != nullptr ? known->type : eZQ_CMAPI_RES_TYPE_MIN;
    if (const std::string *type = run.Option("type")) {
        auto value = ValueOf(kResTypeNames, *type);
        if (!value) return "unknown resource type '" + *type + "'" + DidYouMean(*type, kResTypeNames);
        targetP->resType = *value;
    }
    if (const std::string *key = run.Option("key")) {
        std::string error = ParseKey(*key, &targetP->key);
        if (!error.empty()) return error;
        targetP->keyGiven = true;
    } else if (targetP->resType == eZQ_CMAPI_RES_TYPE_SYSTEM) {
        targetP->key.resType = eZQ_CMAPI_RES_TYPE_SYSTEM; // as the library's own readiness poll
    }
    return {};
}

// A request about one instance of a keyed resource without --key would address the all-zero
// key, which a manager takes for instance 0 of the resource.
std::string MissingKey(const Invocation &run, const Target &target) {
    if (target.keyGiven || target.resType == eZQ_CMAPI_RES_TYPE_SYSTEM) return {};
    return run.command + " " + ResourceLabel(target.resId) + " needs --key " + std::string(KeyForm(target.resType));
}

// The record a create or set sends: --record HEX, @FILE or FIELD=VALUE, then FIELD=VALUE words.
std::string BuildRecord(const Invocation &run, const Target &target, std::span<uint8_t> record) {
    std::vector<std::string_view> assignments;
    if (const std::string *given = run.Option("record")) {
        std::string error;
        if (given->starts_with("@"))
            error = ReadFileInto(given->substr(1), record);
        else if (given->find('=') != std::string::npos)
            assignments.push_back(*given);
        else
            error = ParseHexInto(*given, record);
        if (!error.empty()) return "record: " + error;
    }
    for (size_t i = 1; i < run.args.size(); ++i) assignments.push_back(run.args[i]);
    if (assignments.empty()) return {};
    const Layout *layout = LayoutOf(target.resId);
    if (layout == nullptr)
        return ResourceLabel(target.resId) +
               " has no field layout here: give its record as --record HEX or --record @FILE";
    for (std::string_view assignment : assignments) {
        std::string error = Assign(*layout, assignment, record);
        if (!error.empty()) return error;
    }
    return {};
}

// ---- results --------------------------------------------------------------------------------------

struct Counters {
    uint32_t sentFail = CmApiUdpSentFailCnt;
    uint32_t rcvFail = CmApiUdpRcvFailCnt;
};

struct Outcome {
    int exit = kExitOk;
    std::string error;
};

// The library's own failures (send or receive) are told apart from the manager's ret by its
// failure counters.
Outcome Judge(const Invocation &run, int32_t ret, const Counters &before) {
    if (ret == eOS_RET_SUCCESS) return {};
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", run.endpoints.timeoutMs / 1000.0);
    if (CmApiUdpSentFailCnt != before.sentFail)
        return {kExitNoAnswer, "cannot send to the OLT manager at " + run.manager};
    if (CmApiUdpRcvFailCnt != before.rcvFail)
        return {kExitNoAnswer, ret == eOS_RET_TIME_OUT
                                   ? "no answer from the OLT manager at " + run.manager +
                                         " within " + seconds + " s"
                                   : "receiving from the OLT manager at " + run.manager + " failed"};
    return {kExitRefused, "the OLT manager refused: " + RetText(ret)};
}

JsonObject Head(std::string_view operation, const Target &target) {
    JsonObject head;
    head.Str("operation", operation)
        .Raw("resId", ResIdJson(target.resId))
        .Raw("resType", EnumJson(kResTypeNames, target.resType))
        .Str("key", KeyText(target.key, target.resType));
    return head;
}

int Report(const Invocation &run, const std::string &what, JsonObject json, int32_t ret,
           const Outcome &outcome) {
    if (outcome.exit != kExitOk) std::fprintf(stderr, "cmctl: %s: %s\n", what.c_str(), outcome.error.c_str());
    if (run.json) {
        json.Bool("ok", outcome.exit == kExitOk).Raw("ret", RetJson(ret));
        if (outcome.exit != kExitOk) json.Str("error", outcome.error);
        PrintLine(json.Text());
    }
    return outcome.exit;
}

// A failure that has no answer of the manager to show (bad arguments, a local failure): the
// message on standard error, and under --json an object that says the same.
int Fail(const Invocation &run, int exit, const std::string &where, const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", where.c_str(), message.c_str());
    if (run.json) PrintLine(ErrorJson(run.command, message, exit));
    return exit;
}

int UsageError(const Invocation &run, const std::string &message) {
    return Fail(run, kExitUsage, "cmctl " + run.command, message + " (see cmctl " + run.command + " --help)");
}

int Start(const Invocation &run) {
    StartLibrary(run.verbose, run.trace);
    Endpoints endpoints = run.endpoints;
    std::string error = OpenChannel(&endpoints);
    return error.empty() ? kExitOk : Fail(run, kExitLocal, "cmctl", error);
}

// One get of the system configuration (resource 1, or 80 as the readiness poll) asking for the
// fields of mask; the answer in *recordP, the manager's ret in *retP.
Outcome GetSystemConfig(const Invocation &run, uint32_t resId, uint32_t mask, uZqCmRes *recordP, eOsRet *retP) {
    uZqCmKey key;
    std::memset(&key, 0, sizeof key);
    key.resType = eZQ_CMAPI_RES_TYPE_SYSTEM;
    std::memset(recordP, 0, sizeof *recordP);
    recordP->gponSysConfig.bitMask = mask;
    Counters before;
    *retP = ZqCmApi__GetReq(NextTransactionId(), eZQ_CMAPI_RES_TYPE_SYSTEM, static_cast<eZqCmApiResId>(resId), key,
                            recordP);
    return Judge(run, *retP, before);
}

// ---- commands ---------------------------------------------------------------------------------------

// The manager's start-up state; --wait polls until it is ready or the time is up.
int Status(const Invocation &run) {
    double waitSeconds = 0;
    if (const std::string *wait = run.Option("wait")) {
        auto seconds = ParseNumber(*wait, 3600);
        if (!seconds) return UsageError(run, "bad --wait '" + *wait + "': whole seconds, 0..3600");
        waitSeconds = static_cast<double>(*seconds);
    }
    if (!run.args.empty()) return UsageError(run, "unexpected '" + run.args[0] + "'");
    if (int started = Start(run)) return started;
    Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(waitSeconds));
    for (;;) {
        uZqCmRes record;
        eOsRet ret;
        Outcome outcome = GetSystemConfig(run, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS,
                                          fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS, &record, &ret);
        uint32_t state = WireValue(record.gponSysConfig.oltInitStatus);
        bool ready = outcome.exit == kExitOk && state == eZQ_CM_OLT_STATUS_READY;
        if (!ready && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        JsonObject json;
        json.Str("operation", "status").Str("manager", run.manager);
        if (outcome.exit != kExitOk) return Report(run, "status", json, ret, outcome);
        if (run.json)
            PrintLine(json.Bool("ok", true).Bool("ready", ready).Raw("initStatus", EnumJson(kInitStatusNames, state))
                          .Raw("ret", RetJson(ret)).Text());
        else
            std::printf("OLT manager %s: %s\n", run.manager.c_str(), NamedValue(kInitStatusNames, state).c_str());
        return ready ? kExitOk : kExitNotReady;
    }
}

int Get(const Invocation &run) {
    Target target;
    std::string error = ParseTarget(run, &target);
    if (error.empty() && run.args.size() > 1) error = "unexpected '" + run.args[1] + "'";
    if (error.empty()) error = MissingKey(run, target);
    uZqCmRes record;
    std::memset(&record, 0, sizeof record);
    std::span<uint8_t> bytes(reinterpret_cast<uint8_t *>(&record), RecordSize(target.resId));
    const Layout *layout = LayoutOf(target.resId);
    // Without --mask every field is asked for and shown (a record shown as bytes sends 0); with
    // it, only the fields it names.
    FieldSelection selection;
    const std::string *given = run.Option("mask");
    if (error.empty() && given != nullptr) {
        error = ParseMask(layout, *given, &selection.mask);
        selection.every = SameText(*given, "all");
    } else if (layout != nullptr) {
        ParseMask(layout, "all", &selection.mask);
    }
    if (!error.empty()) return UsageError(run, error);
    std::memcpy(bytes.data(), &selection.mask, sizeof selection.mask);
    if (int started = Start(run)) return started;

    Counters before;
    eOsRet ret = ZqCmApi__GetReq(NextTransactionId(), static_cast<eZqCmApiResType>(target.resType),
                                 static_cast<eZqCmApiResId>(target.resId), target.key, &record);
    Outcome outcome = Judge(run, ret, before);
    JsonObject json = Head("get", target);
    if (outcome.exit != kExitOk) return Report(run, "get " + target.Label(), json, ret, outcome);
    if (run.json) {
        json.Raw("record", RecordJson(target.resId, bytes, selection));
    } else {
        std::printf("%s\n", target.Label().c_str());
        PrintRecordText(target.resId, bytes, selection);
    }
    return Report(run, "get", json, ret, outcome);
}

// Every instance of a resource in the manager's order; with --key from that key on.
int Walk(const Invocation &run) {
    Target target;
    std::string error = ParseTarget(run, &target);
    if (error.empty() && run.args.size() > 1) error = "unexpected '" + run.args[1] + "'";
    size_t limit = kWalkLimit;
    if (const std::string *given = run.Option("limit"); given != nullptr && error.empty()) {
        auto value = ParseNumber(*given, kWalkLimit);
        if (!value || *value == 0) error = "bad --limit '" + *given + "'";
        else limit = *value;
    }
    if (!error.empty()) return UsageError(run, error);
    if (int started = Start(run)) return started;

    auto type = static_cast<eZqCmApiResType>(target.resType);
    auto id = static_cast<eZqCmApiResId>(target.resId);
    uZqCmKey key;
    uZqCmRes record;
    std::memset(&record, 0, sizeof record);
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(&record), RecordSize(target.resId));
    Counters before;
    eOsRet ret = target.keyGiven
                     ? ZqCmApi__GetFirstReqWithKey(NextTransactionId(), type, id, target.key, &key, &record)
                     : ZqCmApi__GetFirstReq(NextTransactionId(), type, id, &key, &record);
    std::string instances;
    size_t count = 0;
    Outcome outcome;
    while (ret == eOS_RET_SUCCESS && count < limit) {
        ++count;
        std::string keyText = KeyText(key, target.resType);
        if (run.json) {
            instances += (instances.empty() ? "" : ",") +
                         JsonObject().Str("key", keyText).Raw("record", RecordJson(target.resId, bytes)).Text();
        } else {
            std::printf("%s %s\n", ResourceLabel(target.resId).c_str(), keyText.c_str());
            PrintRecordText(target.resId, bytes);
        }
        if (count == limit) break;
        uZqCmKey previous = key;
        before = Counters();
        ret = ZqCmApi__GetNextReq(NextTransactionId(), type, id, previous, &key, &record);
        if (ret == eOS_RET_SUCCESS && std::memcmp(&previous, &key, sizeof key) == 0) {
            outcome = {kExitRefused, "the OLT manager answered the same key twice: walk stopped"};
            break;
        }
    }
    if (outcome.exit == kExitOk && ret != kWalkEnd) outcome = Judge(run, ret, before);
    if (outcome.exit == kExitOk) ret = eOS_RET_SUCCESS;
    if (!run.json && outcome.exit == kExitOk)
        std::printf("%zu instance%s\n", count, count == 1 ? "" : "s");
    JsonObject json = Head("walk", target);
    json.Num("count", static_cast<int64_t>(count)).Raw("instances", "[" + instances + "]");
    return Report(run, "walk " + ResourceLabel(target.resId), json, ret, outcome);
}

int Count(const Invocation &run) {
    Target target;
    std::string error = ParseTarget(run, &target);
    if (error.empty() && run.args.size() > 1) error = "unexpected '" + run.args[1] + "'";
    if (!error.empty()) return UsageError(run, error);
    if (int started = Start(run)) return started;

    Counters before;
    sint16 number = ZqCmApi__GetNumOfInstance(NextTransactionId(),
                                              static_cast<eZqCmApiResType>(target.resType),
                                              static_cast<eZqCmApiResId>(target.resId));
    // The call folds every failure into -1 and reads the count as signed 16 bits.
    Outcome outcome = Judge(run, number == -1 ? eOS_RET_TIME_OUT : eOS_RET_SUCCESS, before);
    if (outcome.exit == kExitRefused)
        outcome.error = "the OLT manager refused the count (the call reports any non-zero ret as -1)";
    eOsRet ret = outcome.exit == kExitOk        ? eOS_RET_SUCCESS
                 : outcome.exit == kExitNoAnswer ? eOS_RET_TIME_OUT
                                                 : eOS_RET_FAILURE;
    int64_t count = number < 0 ? number + 65536 : number;
    JsonObject json = Head("count", target);
    json.Num("count", outcome.exit == kExitOk ? count : -1);
    if (outcome.exit == kExitOk && !run.json) std::printf("%lld\n", static_cast<long long>(count));
    return Report(run, "count " + ResourceLabel(target.resId), json, ret, outcome);
}

// Whether a set of the system configuration asks the manager to save its database.
bool AsksForDbSave(const Invocation &run, const Target &target, const uZqCmRes &record) {
    bool system = target.resId == eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG ||
                  target.resId == eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS;
    return run.command == "set" && system &&
           (record.gponSysConfig.bitMask & fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE) != 0 &&
           WireValue(record.gponSysConfig.dbSave) == eOS_BOOL_TRUE;
}

// The manager saves after it has answered the set: its dbSaveStatus is asked for until it leaves
// IN_PROGRESS, within one --timeout in all. *statusP is the last status read.
Outcome AwaitDbSave(const Invocation &run, uint32_t *statusP) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(run.endpoints.timeoutMs);
    for (;;) {
        uZqCmRes record;
        eOsRet ret;
        Outcome outcome = GetSystemConfig(run, eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG,
                                          fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE_STATU, &record, &ret);
        if (outcome.exit != kExitOk) return {outcome.exit, "asking how the database save went: " + outcome.error};
        *statusP = WireValue(record.gponSysConfig.dbSaveStatus);
        std::string status = "dbSaveStatus " + NamedValue(kProgressNames, *statusP);
        if (*statusP == eZQ_CMAPI_DB_SAVE_STATUS_COMPLETED_FAILURE)
            return {kExitRefused, "the OLT manager could not save its database: " + status};
        if (*statusP != eZQ_CMAPI_DB_SAVE_STATUS_IN_PROGRESS) return {};
        if (Clock::now() >= deadline)
            return {kExitNoAnswer, "the database save did not end within the time-out: " + status};
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// create, set and delete: one request, no record shown; a set that asks for a database save
// waits for the save's outcome.
int Change(const Invocation &run) {
    Target target;
    std::string error = ParseTarget(run, &target);
    uZqCmRes record;
    std::memset(&record, 0, sizeof record);
    std::span<uint8_t> bytes(reinterpret_cast<uint8_t *>(&record), RecordSize(target.resId));
    bool isDelete = run.command == "delete";
    if (error.empty() && isDelete && run.args.size() > 1) error = "unexpected '" + run.args[1] + "'";
    if (error.empty()) error = MissingKey(run, target);
    if (error.empty() && !isDelete) error = BuildRecord(run, target, bytes);
    if (error.empty() && run.command == "set" && !run.Has("record") && run.args.size() < 2)
        error = "set needs a record: --record HEX, --record @FILE or FIELD=VALUE";
    if (!error.empty()) return UsageError(run, error);
    bool savesDb = AsksForDbSave(run, target, record);
    if (int started = Start(run)) return started;

    auto type = static_cast<eZqCmApiResType>(target.resType);
    auto id = static_cast<eZqCmApiResId>(target.resId);
    uint16 tid = NextTransactionId();
    Counters before;
    eOsRet ret = run.command == "create" ? ZqCmApi__CreateReq(tid, type, id, target.key, &record)
                 : run.command == "set"  ? ZqCmApi__SetReq(tid, type, id, target.key, &record)
                                         : ZqCmApi__DeleteReq(tid, type, id, target.key);
    Outcome outcome = Judge(run, ret, before);
    JsonObject json = Head(run.command, target);
    uint32_t saveStatus = 0;
    if (outcome.exit == kExitOk && savesDb) {
        outcome = AwaitDbSave(run, &saveStatus);
        json.Raw("dbSaveStatus", EnumJson(kProgressNames, saveStatus));
    }
    if (outcome.exit == kExitOk && !run.json) {
        const char *done = run.command == "create" ? "created" : run.command == "set" ? "set" : "deleted";
        std::printf("%s %s\n", done, target.Label().c_str());
        if (savesDb) std::printf("database save: dbSaveStatus %s\n", NamedValue(kProgressNames, saveStatus).c_str());
    }
    return Report(run, run.command + " " + target.Label(), json, ret, outcome);
}

// ---- alarms -------------------------------------------------------------------------------------------

std::mutex alarmMutex;
std::condition_variable alarmArrived;
std::deque<uZqCmMsg> alarmBacklog;
size_t alarmsDropped = 0;
// The signal that asked to stop, 0 until one did; the handler may run in any of the library's
// threads, and a lock-free atomic is safe to set there.
std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Runs in the alarm task: the message is only valid during the call, so it is copied.
eOsRet KeepAlarm(uZqCmMsg *msgP) {
    std::lock_guard<std::mutex> lock(alarmMutex);
    if (alarmBacklog.size() < kAlarmBacklog)
        alarmBacklog.push_back(*msgP);
    else
        ++alarmsDropped;
    alarmArrived.notify_one();
    return eOS_RET_SUCCESS;
}

void RequestStop(int signal) { stopRequested = signal; }

// The local time of a time stamp in milliseconds since the epoch: "2026-12-09 14:03:07.250".
std::string LocalTime(uint64_t milliseconds) {
    time_t seconds = static_cast<time_t>(milliseconds / 1000);
    tm local{};
    char date[48];
    if (localtime_r(&seconds, &local) == nullptr || std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03u", date, static_cast<unsigned>(milliseconds % 1000));
    return text;
}

// " NAME" for a value that has a name, nothing for one that has none.
std::string SpacedName(std::span<const EnumName> names, uint32_t value) {
    std::string_view name = NameOf(names, value);
    return name.empty() ? std::string() : " " + std::string(name);
}

// A name as JSON: a string, or null when there is none.
std::string NameJson(std::span<const EnumName> names, uint32_t value) {
    std::string_view name = NameOf(names, value);
    return name.empty() ? "null" : JsonString(name);
}

std::string AlarmText(const uZqCmMsg &msg, bool json) {
    char text[512];
    uint32_t msgType = WireValue(msg.alarmMsg.msgHdr.msgType);
    if (msgType == eZQ_CM_MSG_TYPE_EVT) {
        const tZqCmEventMsg &event = msg.eventMsg;
        uint32_t eventId = WireValue(event.eventId), resType = WireValue(event.resType);
        std::string key = KeyText(event.dbKey, resType);
        if (json)
            return JsonObject().Str("message", "event").Num("eventId", eventId)
                .Raw("eventName", NameJson(kEventNames, eventId))
                .Raw("resType", EnumJson(kResTypeNames, resType)).Str("key", key).Text();
        std::snprintf(text, sizeof text, "EVENT id=%u%s resType=%u key=%s", eventId,
                      SpacedName(kEventNames, eventId).c_str(), resType, key.c_str());
        return text;
    }
    if (msgType != eZQ_CM_MSG_TYPE_ALM) {
        if (json) return JsonObject().Str("message", "other").Num("msgType", msgType).Text();
        std::snprintf(text, sizeof text, "MESSAGE msgType=%u", msgType);
        return text;
    }
    const tZqCmAlarmInfo &alarm = msg.alarmMsg.alarmInfo;
    const tZqCmOnuKey &onu = alarm.alarmResId.onuId;
    char resource[48];
    std::snprintf(resource, sizeof resource, "%u/%u/%u/%u", onu.slotId, onu.deviceId, onu.linkId, onu.onuId);
    uint64_t time = static_cast<uint64_t>(alarm.alarmOccurrenceTime.high) << 32 | alarm.alarmOccurrenceTime.low;
    uint32_t alarmType = WireValue(alarm.alarmType), severityValue = WireValue(alarm.alarmSeverity),
             conditionValue = WireValue(alarm.alarmCondition);
    if (json)
        return JsonObject().Str("message", "alarm").Num("alarmType", alarmType)
            .Raw("alarmTypeName", NameJson(kAlarmTypeNames, alarmType))
            .Str("class", AlarmClass(alarmType))
            .Raw("severity", EnumJson(kSeverityNames, severityValue))
            .Raw("condition", EnumJson(kConditionNames, conditionValue)).Str("resource", resource)
            .Num("seqNo", alarm.alarmSeqNo).Num("time", static_cast<int64_t>(time))
            .Str("localTime", LocalTime(time)).Text();
    auto named = [](std::span<const EnumName> names, uint32_t value) {
        std::string_view name = NameOf(names, value);
        return name.empty() ? std::to_string(value) : std::string(name);
    };
    std::string severity = named(kSeverityNames, severityValue);
    std::string condition = named(kConditionNames, conditionValue);
    std::snprintf(text, sizeof text,
                  "ALARM type=%u%s (%s) severity=%s condition=%s resource=%s seq=%u time=%llu (%s)",
                  alarmType, SpacedName(kAlarmTypeNames, alarmType).c_str(),
                  std::string(AlarmClass(alarmType)).c_str(), severity.c_str(), condition.c_str(), resource,
                  alarm.alarmSeqNo, static_cast<unsigned long long>(time), LocalTime(time).c_str());
    return text;
}

// A range "A" or "A-B" of a filter.
bool ParseRange(const std::string &text, uint32_t *minP, uint32_t *maxP) {
    size_t dash = text.find('-');
    auto low = ParseNumber(std::string_view(text).substr(0, dash), UINT32_MAX);
    auto high = dash == std::string::npos ? low : ParseNumber(std::string_view(text).substr(dash + 1), UINT32_MAX);
    if (!low || !high || *low > *high) return false;
    *minP = static_cast<uint32_t>(*low);
    *maxP = static_cast<uint32_t>(*high);
    return true;
}

std::string ParseFilter(const Invocation &run, tZqCmAlarmFilterInfo *filterP) {
    std::memset(filterP, 0, sizeof *filterP);
    struct RangeOption {
        std::string_view name;
        uint32_t *minP;
        uint32_t *maxP;
        uint32_t filterType; // implied when --filter is not given; a later one wins
    };
    // A range not given lets everything through; the wire words are written as they are, since an
    // alarm type range may run past the enumeration.
    filterP->slotIdMax = filterP->linkIdMax = filterP->onuIdMax = UINT32_MAX;
    uint32_t typeMin = 0, typeMax = UINT32_MAX;
    const RangeOption ranges[] = {
        {"slot", &filterP->slotIdMin, &filterP->slotIdMax, eZQ_CMAPI_ALARM_FILTER_SLOT},
        {"link", &filterP->linkIdMin, &filterP->linkIdMax, eZQ_CMAPI_ALARM_FILTER_LINK},
        {"onu", &filterP->onuIdMin, &filterP->onuIdMax, eZQ_CMAPI_ALARM_FILTER_ONU},
        {"alarm-type", &typeMin, &typeMax, eZQ_CMAPI_ALARM_FILTER_ALARM_TYPE}};
    uint32_t filterType = eZQ_CMAPI_ALARM_FILTER_NONE;
    for (const RangeOption &range : ranges) {
        const std::string *given = run.Option(range.name);
        if (given == nullptr) continue;
        if (!ParseRange(*given, range.minP, range.maxP))
            return "bad --" + std::string(range.name) + " '" + *given + "': give N or N-M";
        filterType = range.filterType;
    }
    std::memcpy(&filterP->alarmTypeMin, &typeMin, sizeof typeMin);
    std::memcpy(&filterP->alarmTypeMax, &typeMax, sizeof typeMax);
    if (const std::string *given = run.Option("filter")) {
        auto value = ValueOf(kFilterTypeNames, *given, eZQ_CMAPI_ALARM_FILTER_MAX - 1);
        if (!value) return "unknown filter '" + *given + "'" + DidYouMean(*given, kFilterTypeNames);
        filterType = *value;
    }
    filterP->alarmFilterType = static_cast<eZqCmAlarmFilterType>(filterType);
    return {};
}

// Registers, prints what arrives, unregisters. Without --follow it ends after --count messages
// (alarms and events alike) or, short of them, when --wait runs out (exit 3); SIGINT and SIGTERM
// end it at any time, quietly and with exit 0.
int Alarms(const Invocation &run) {
    tZqCmAlarmFilterInfo filter;
    std::string error = ParseFilter(run, &filter);
    size_t wanted = 1;
    uint64_t waitSeconds = 5;
    if (const std::string *given = run.Option("count"); given != nullptr && error.empty()) {
        auto value = ParseNumber(*given, kAlarmBacklog);
        if (!value || *value == 0) error = "bad --count '" + *given + "'";
        else wanted = *value;
    }
    if (const std::string *given = run.Option("wait"); given != nullptr && error.empty()) {
        auto value = ParseNumber(*given, 86400);
        if (!value) error = "bad --wait '" + *given + "': whole seconds";
        else waitSeconds = *value;
    }
    if (error.empty() && !run.args.empty()) error = "unexpected '" + run.args[0] + "'";
    if (!error.empty()) return UsageError(run, error);
    bool follow = run.Has("follow");
    // From here on an interruption is an ordinary end, however early it comes.
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (int started = Start(run)) return started;

    // A registration waits three receive time-outs for its answer: a first request tells a
    // silent manager within one.
    uZqCmRes probe;
    eOsRet ret;
    Outcome outcome = GetSystemConfig(run, eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS,
                                      fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS, &probe, &ret);
    JsonObject json;
    json.Str("operation", "alarms").Str("manager", run.manager);
    if (outcome.exit == kExitNoAnswer) return Report(run, "alarms", json, ret, outcome);

    itCmApi__RegisterAlarmHandler(KeepAlarm);
    tZqCmAlarmRegInfo registration;
    std::memset(&registration, 0, sizeof registration);
    // The port the alarm socket bound: the one given with --alarm-port, or the one the system
    // chose when none was given.
    registration.port = extEntityAlarmUdpPort;
    registration.alarmFilterInfo = filter;
    ret = ZqCmApi__AlarmRegister(NextTransactionId(), registration);
    if (ret != eOS_RET_SUCCESS)
        return Report(run, "alarm registration", json, ret,
                      {kExitRefused, "not answered or refused: " + RetText(ret)});
    if (!run.json)
        std::fprintf(stderr, "cmctl: registered for alarms (filter %s)%s\n",
                     std::string(NameOf(kFilterTypeNames, filter.alarmFilterType)).c_str(),
                     follow ? "; Ctrl-C ends" : "");

    Clock::time_point deadline = Clock::now() + std::chrono::seconds(waitSeconds);
    size_t shown = 0;
    while (stopRequested == 0 && (follow || (shown < wanted && Clock::now() < deadline))) {
        std::unique_lock<std::mutex> lock(alarmMutex);
        alarmArrived.wait_for(lock, std::chrono::milliseconds(100), [] { return !alarmBacklog.empty(); });
        while (!alarmBacklog.empty() && (follow || shown < wanted)) {
            uZqCmMsg msg = alarmBacklog.front();
            alarmBacklog.pop_front();
            lock.unlock();
            PrintLine(AlarmText(msg, run.json));
            ++shown;
            lock.lock();
        }
    }
    eOsRet unregistered = ZqCmApi__AlarmUnRegister(NextTransactionId(), registration);
    if (unregistered != eOS_RET_SUCCESS)
        std::fprintf(stderr, "cmctl: alarm unregistration: not answered or refused: %s\n",
                     RetText(unregistered).c_str());
    std::string dropped;
    {
        std::lock_guard<std::mutex> lock(alarmMutex);
        if (alarmsDropped != 0)
            dropped = "; " + std::to_string(alarmsDropped) + " more came faster than they could be shown and were dropped";
    }
    if (stopRequested != 0) {
        std::fprintf(stderr, "cmctl: ended by %s: %zu alarms and events shown%s\n",
                     stopRequested == SIGINT ? "SIGINT" : "SIGTERM", shown, dropped.c_str());
        return kExitOk;
    }
    if (!dropped.empty()) std::fprintf(stderr, "cmctl: %zu alarms and events shown%s\n", shown, dropped.c_str());
    if (shown == wanted) return kExitOk;
    std::string seconds = std::to_string(waitSeconds) + " s";
    return Fail(run, kExitNoAnswer, "cmctl",
                shown == 0 ? "no alarm within " + seconds
                           : "only " + std::to_string(shown) + " of " + std::to_string(wanted) +
                                 " alarms and events within " + seconds);
}

// ---- what there is to ask for ---------------------------------------------------------------------

std::string_view RecordKind(uint32_t resId) { return LayoutOf(resId) != nullptr ? "fields" : "hex"; }
bool Keyed(const ResourceName &resource) { return resource.type != eZQ_CMAPI_RES_TYPE_SYSTEM; }

// Every resource: number, name, the type cmctl requests it with, how its record is shown, and
// whether a request about one instance needs --key.
int List(const Invocation &run) {
    if (!run.args.empty()) return UsageError(run, "unexpected '" + run.args[0] + "'");
    std::span<const ResourceName> resources = Resources().subspan(1); // id 0 names no resource
    if (run.json) {
        std::string items;
        for (const ResourceName &resource : resources)
            items += (items.empty() ? "" : ",") +
                     JsonObject().Raw("resId", EnumJson(resource.id, resource.name))
                         .Raw("resType", EnumJson(kResTypeNames, resource.type))
                         .Str("record", RecordKind(resource.id)).Bool("keyed", Keyed(resource)).Text();
        PrintLine(JsonObject().Str("operation", "list").Bool("ok", true).Raw("resources", "[" + items + "]").Text());
        return kExitOk;
    }
    std::printf("%3s  %-48s  %-8s  %-6s  %s\n", "ID", "NAME", "TYPE", "RECORD", "KEY");
    for (const ResourceName &resource : resources)
        std::printf("%3u  %-48s  %-8s  %-6s  %s\n", resource.id, std::string(resource.name).c_str(),
                    std::string(NameOf(kResTypeNames, resource.type)).c_str(),
                    std::string(RecordKind(resource.id)).c_str(), Keyed(resource) ? "keyed" : "-");
    return kExitOk;
}

std::string JoinedNames(std::span<const EnumName> names, std::string_view separator) {
    std::string joined;
    for (const EnumName &entry : names)
        joined += (joined.empty() ? "" : std::string(separator)) + std::string(entry.name);
    return joined;
}

// The fields of a resource's record: name, type, size, mask bit and, for an enumeration, the
// names it accepts. A record cmctl shows as bytes has none, which is said, not refused.
int Fields(const Invocation &run) {
    if (run.args.empty()) return UsageError(run, "which resource? give a name or number");
    if (run.args.size() > 1) return UsageError(run, "unexpected '" + run.args[1] + "'");
    auto resId = ParseResource(run.args[0]);
    if (!resId) return UsageError(run, UnknownResource(run.args[0]));
    const Layout *layout = LayoutOf(*resId);
    size_t size = RecordSize(*resId);
    if (run.json) {
        std::string items;
        for (const Field &field : layout != nullptr ? layout->fields : std::span<const Field>()) {
            JsonObject item;
            item.Str("name", field.name).Str("type", FieldKindName(field.kind))
                .Num("offset", field.offset).Num("size", field.size).Num("maskBit", field.maskBit);
            if (field.kind == FieldKind::kEnum) {
                std::string names;
                for (const EnumName &entry : field.names)
                    names += (names.empty() ? "" : ",") + EnumJson(entry.value, entry.name);
                item.Raw("names", "[" + names + "]");
            }
            items += (items.empty() ? "" : ",") + item.Text();
        }
        PrintLine(JsonObject().Str("operation", "fields").Bool("ok", true).Raw("resId", ResIdJson(*resId))
                      .Str("record", RecordKind(*resId)).Num("length", static_cast<int64_t>(size))
                      .Raw("fields", "[" + items + "]").Text());
        return kExitOk;
    }
    std::string label = FindResource(*resId) != nullptr
                            ? ResourceLabel(*resId) + " (" + std::to_string(*resId) + ")"
                            : "resource " + std::to_string(*resId);
    if (layout == nullptr) {
        std::printf("%s: a record of %zu bytes that cmctl shows and takes as hex (--record HEX|@FILE)\n",
                    label.c_str(), size);
        return kExitOk;
    }
    std::printf("%s: %zu fields in a record of %zu bytes\n", label.c_str(), layout->fields.size(), size);
    for (const Field &field : layout->fields) {
        char line[160];
        std::string type = std::string(FieldKindName(field.kind)) + "(" + std::to_string(field.size) + ")";
        std::string name(field.name);
        int used = field.maskBit == 0 ? std::snprintf(line, sizeof line, "  %-28s %-10s %-10s", name.c_str(),
                                                      type.c_str(), "-")
                                      : std::snprintf(line, sizeof line, "  %-28s %-10s 0x%-8x", name.c_str(),
                                                      type.c_str(), field.maskBit);
        std::string text(line, static_cast<size_t>(std::clamp(used, 0, static_cast<int>(sizeof line) - 1)));
        if (field.kind == FieldKind::kEnum) text += JoinedNames(field.names, " ");
        PrintLine(text.substr(0, text.find_last_not_of(' ') + 1));
    }
    return kExitOk;
}

} // namespace

int RunCommand(const Invocation &run) {
    struct Entry {
        std::string_view name;
        int (*run)(const Invocation &);
    };
    static constexpr Entry kCommands[] = {{"status", Status}, {"get", Get},       {"walk", Walk},
                                          {"count", Count},   {"create", Change}, {"set", Change},
                                          {"delete", Change}, {"alarms", Alarms}, {"list", List},
                                          {"fields", Fields}};
    int exit = kExitUsage;
    for (const Entry &entry : kCommands)
        if (entry.name == run.command) exit = entry.run(run);
    if (run.trace.on) DrainTrace();
    return exit;
}

} // namespace cmctl
