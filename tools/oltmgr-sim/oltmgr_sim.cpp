// oltmgr_sim.cpp - oltmgr-sim, an OLT manager for hosts without a line card: the command line,
// start-up (database, starting ONUs, socket), the schedule and signal loop, the life thread and
// the faults on answers, and the orderly end.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "oltmgr_peer.h"
#include "sim_db.h"
#include "sim_emulator.h"
#include "sim_faults.h"
#include "sim_fill.h"
#include "sim_life.h"
#include "sim_log.h"
#include "sim_options.h"

namespace {

using namespace oltmgr;
using namespace oltmgr::sim;
using Clock = std::chrono::steady_clock;

// The longest the main thread sleeps at once: the summary of ignored datagrams is due a second
// after the last one, and is written this late at most.
constexpr auto kIdleWait = std::chrono::milliseconds(200);

int Fail(const std::string &message) {
    std::fprintf(stderr, "oltmgr-sim: %s\n", message.c_str());
    return 1;
}

// Waits for SIGINT or SIGTERM until deadline; the signal's number, or nothing at the deadline.
std::optional<int> WaitForSignal(const sigset_t &signals, Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() < 0) {
        left = std::chrono::nanoseconds(0);
    }
    timespec timeout{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
    int caught = sigtimedwait(&signals, nullptr, &timeout);
    return caught > 0 ? std::optional<int>(caught) : std::nullopt;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc - 1, argv + 1, &options, &error)) {
        std::fprintf(stderr, "oltmgr-sim: %s\n%sTry 'oltmgr-sim --help' for more.\n", error.c_str(), Synopsis());
        return 2;
    }
    if (options.help) {
        std::fputs(Usage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("oltmgr-sim (relayKit) %s\n", RELAYKIT_VERSION_TEXT);
        return 0;
    }
    SetQuiet(options.quiet);

    // The signals are taken by the main thread only, at its own pace: block them before the peer's
    // thread starts, so that thread inherits the mask. A reader that goes away must not end us.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<Database> database;
    std::vector<Instance> instances;
    if (!options.dbPath.empty()) {
        database = Database::Open(options.dbPath, &error);
        if (!database || !database->Load(&instances, &error)) {
            return Fail("database " + options.dbPath + " is unusable: " + error);
        }
    }

    size_t loaded = instances.size();

    Emulator emulator(database.get(), options.acceptEarly);
    Faults faults({options.dropPercent, options.duplicatePercent, options.delay, options.jitter});
    auto peer = std::make_unique<Peer>(PeerOptions{options.address, options.port, "", 0});
    if (!peer->Ok()) {
        return Fail(peer->Error());
    }
    peer->SetResponder([&emulator, &faults](const Datagram &datagram, Store &store) {
        std::vector<Reply> replies = emulator.Respond(datagram, store);
        faults.Apply(replies);
        return replies;
    });
    if (!peer->GetStore().Load(instances)) {
        return Fail("database " + options.dbPath + " is unusable: its instances do not make a store");
    }
    // Declared after the peer, so it stops before the store it writes from goes. It writes through
    // from the file's own contents on: the starting ONUs the file lacks are its first changes.
    std::unique_ptr<WriteThrough> writeThrough;
    if (database) {
        writeThrough = std::make_unique<WriteThrough>(*database, peer->GetStore());
        emulator.UseWriteThrough(writeThrough.get());
    }
    instances = WithFill(std::move(instances), options.pons, options.onus);
    if (instances.size() > loaded && !peer->GetStore().Load(instances)) {
        return Fail("the database's instances and the starting ONUs are more than " + std::to_string(kMaxInstances));
    }
    peer->GetStore().SetInitDelay(options.initDelay);
    emulator.Open();
    LogLine("oltmgr-sim listening on " + options.address + ":" + std::to_string(peer->Port()));
    if (database) {
        LogLine("db: loaded " + std::to_string(loaded) + " instances from " + options.dbPath);
    }
    if (options.onus > 0) {
        std::string pons = std::to_string(options.pons);
        LogLine("started with " + std::to_string(options.pons * options.onus) + " ONUs: " + pons +
                (options.pons == 1 ? " PON" : " PONs") + " (links 1 to " + pons + " of device 0 on slot 1) of " +
                std::to_string(options.onus) + " ONUs");
    }
    LifeOptions lifeOptions{options.churnPerMinute, options.alarmsPerSecond, options.restartEvery, options.initDelay,
                            std::nullopt};
    if (!database) {
        lifeOptions.storeAfterRestart = instances;
    }
    Life life(std::move(lifeOptions), emulator, *peer);

    bool scheduled = options.alarmEvery.count() > 0;
    Clock::time_point nextAlarm = Clock::now() + options.alarmEvery;
    std::optional<int> caught;
    while (!caught) {
        Clock::time_point wake = Clock::now() + kIdleWait;
        caught = WaitForSignal(signals, scheduled ? std::min(wake, nextAlarm) : wake);
        emulator.FlushIgnored();
        faults.Flush(Faults::Clock::now());
        if (!caught && scheduled && Clock::now() >= nextAlarm) {
            emulator.ScheduledAlarm(*peer);
            nextAlarm += options.alarmEvery;
            if (nextAlarm <= Clock::now()) { // ticks missed while late are dropped, not repeated
                nextAlarm = Clock::now() + options.alarmEvery;
            }
        }
    }

    life.Stop();
    peer->Stop(); // no request changes the store while it is saved for the last time
    emulator.FlushIgnored(true);
    faults.Flush(Faults::Clock::now(), true);
    LogLine(std::string("shutting down on ") + (*caught == SIGINT ? "SIGINT" : "SIGTERM"));
    return emulator.Save(peer->GetStore()) ? 0 : 1;
}
