// sim_store_bench.cpp - oltmgr-sim's database on a full store of 65,536 instances: how long a
// request waits while the store is saved, written through by the writer thread, against the
// whole-file save on the answering thread it replaces; how big the file is against the record
// bytes it holds; and how long a restart takes to load it.
//
// Requests are answered by the store itself on a thread of their own, as the peer's thread does;
// the only thing a save can make them wait for is the store's lock (and a processor). Each figure
// is one run's; the machine is shared, so the wait is reported with the load it ran under.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "oltmgr_store.h"
#include "ratio_reporter.h"
#include "sim_db.h"
#include "sim_log.h"

namespace {

using Clock = std::chrono::steady_clock;
using oltmgr::Bytes;
using oltmgr::Instance;
using oltmgr::Key;
using oltmgr::Store;
using oltmgr::sim::Database;
using oltmgr::sim::WriteThrough;

// A full store, the system configuration included; a smoke run takes a small one.
size_t InstanceCount() { return std::getenv("RELAYKIT_BENCH_SMOKE") != nullptr ? 1024 : oltmgr::kMaxInstances; }

uZqCmKey OnuKeyOf(size_t n) {
    uZqCmKey key{};
    key.onuKey.slotId = static_cast<uint8>(1 + n / 8192);
    key.onuKey.linkId = static_cast<uint8>(n / 128 % 64);
    key.onuKey.onuId = static_cast<uint16>(n % 128);
    return key;
}

// ONU configurations with records of varied bytes; round makes every record differ from the
// previous round's.
std::vector<Instance> Instances(size_t count, uint32_t round) {
    std::vector<Instance> instances;
    instances.reserve(count);
    instances.push_back({eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG, Key{}, Bytes(oltmgr::kResLen, 0)});
    uint32_t state = 2463534242u + round;
    for (size_t n = 0; instances.size() < count; ++n) {
        Instance instance{eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, {}, Bytes(oltmgr::kResLen)};
        uZqCmKey key = OnuKeyOf(n);
        std::memcpy(instance.key.data(), &key, sizeof key);
        for (uint8_t &byte : instance.record) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            byte = static_cast<uint8_t>(state);
        }
        instances.push_back(std::move(instance));
    }
    return instances;
}

// The ONU configurations' indexes in key order, or shuffled.
std::vector<size_t> Order(size_t count, bool shuffled) {
    std::vector<size_t> order(count - 1);
    for (size_t n = 0; n < order.size(); ++n) order[n] = n;
    uint32_t state = 88172645u;
    for (size_t n = order.size(); shuffled && n > 1; --n) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        std::swap(order[n - 1], order[state % n]);
    }
    return order;
}

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Requests on a thread of their own, as the peer's thread answers them: first one change (a set
// or a create) of every ONU configuration with the records given, in the order given, then gets
// until stopped. Keeps the longest time one request took.
class Requests {
  public:
    Requests(Store &store, uint32_t operType, const std::vector<Instance> &records, const std::vector<size_t> &order)
        : thread_([this, &store, operType, &records, &order] { Run(store, operType, records, order); }) {}
    ~Requests() { Stop(); }
    // Returns once every set or create has been answered; gets go on meanwhile.
    void AwaitSets() const {
        while (!setsDone_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Stops and returns the longest wait of a request, in seconds.
    double Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return Seconds(longest_);
    }
    uint64_t Answered() const { return answered_; }

  private:
    void Run(Store &store, uint32_t operType, const std::vector<Instance> &records, const std::vector<size_t> &order) {
        const size_t onus = order.size();
        for (size_t n = 0; !stop_.load(std::memory_order_relaxed); ++n) {
            bool change = n < onus;
            size_t onu = order[n % onus];
            Bytes request = oltmgr::BuildRequest({change ? operType : eZQ_CM_OPER_TYPE_GET, eZQ_CMAPI_RES_TYPE_ONU,
                                                  eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, OnuKeyOf(onu),
                                                  change ? records[onu + 1].record : Bytes{}, 0});
            Clock::time_point start = Clock::now();
            store.Handle(request.data(), request.size());
            longest_ = std::max(longest_, Clock::now() - start);
            ++answered_;
            if (n + 1 == onus) setsDone_ = true;
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> setsDone_{false};
    Clock::duration longest_{};
    std::atomic<uint64_t> answered_{0};
    std::thread thread_; // last: it starts once the rest exists
};

struct ScratchFile {
    ScratchFile() {
        char pattern[] = "/tmp/sim-store-bench-XXXXXX";
        dir = mkdtemp(pattern) != nullptr ? pattern : "";
        path = dir + "/store.db";
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    uintmax_t Bytes() const {
        std::error_code ignored;
        uintmax_t wal = std::filesystem::exists(path + "-wal") ? std::filesystem::file_size(path + "-wal", ignored) : 0;
        return std::filesystem::file_size(path, ignored) + wal;
    }
    std::string dir;
    std::string path;
};

std::unique_ptr<Database> OpenOrFail(benchmark::State &state, const std::string &path) {
    std::string error;
    auto database = Database::Open(path, &error);
    if (!database) state.SkipWithError(("cannot open the file: " + error).c_str());
    return database;
}

// The file's size, whole and against the key and record bytes of the count instances it holds.
void CountFileSize(benchmark::State &state, const ScratchFile &file, size_t count) {
    const double recordBytes = static_cast<double>(count * (oltmgr::kKeyLen + oltmgr::kResLen));
    state.counters["file_MB"] = static_cast<double>(file.Bytes()) / 1e6;
    state.counters["file_per_record_byte"] = static_cast<double>(file.Bytes()) / recordBytes;
}

// Written through: the full store is written by the writer (every instance new), then every
// record is set anew by requests and the store saved, while requests go on. The time is the
// longest a request waited; the file's size is measured after the save.
void BM_RequestWaitDuringSave_WriteThrough(benchmark::State &state) {
    const size_t count = InstanceCount();
    const std::vector<Instance> first = Instances(count, 1), second = Instances(count, 2);
    const std::vector<size_t> order = Order(count, true);
    for (auto _ : state) {
        ScratchFile file;
        auto database = OpenOrFail(state, file.path);
        if (!database) return;
        Store store;
        double longest = 0, written = 0, saved = 0;
        {
            WriteThrough writer(*database, store);
            size_t instances = 0;
            std::string error;
            Clock::time_point start = Clock::now();
            bool ok = store.Load(first) && writer.Save(&instances, &error);
            written = Seconds(Clock::now() - start);
            start = Clock::now();
            Requests requests(store, eZQ_CM_OPER_TYPE_SET, second, order);
            requests.AwaitSets();
            ok = ok && writer.Save(&instances, &error);
            saved = Seconds(Clock::now() - start);
            longest = requests.Stop();
            if (!ok || instances != count) {
                state.SkipWithError(("the save failed: " + error).c_str());
                return;
            }
            state.counters["requests"] = static_cast<double>(requests.Answered());
        }
        state.SetIterationTime(longest);
        state.counters["first_write_s"] = written;
        state.counters["rewrite_and_save_s"] = saved;
        CountFileSize(state, file, count);

        // A restart: open, read every row, make the store of them (a system configuration the file
        // lacks is the default one, which the store always has).
        Clock::time_point start = Clock::now();
        database.reset();
        database = OpenOrFail(state, file.path);
        std::vector<Instance> loaded;
        std::string error;
        Store restarted;
        if (!database || !database->Load(&loaded, &error) || !restarted.Load(loaded) || restarted.Size() != count) {
            state.SkipWithError(("the restart did not load the store: " + error).c_str());
            return;
        }
        state.counters["load_s"] = Seconds(Clock::now() - start);
    }
}

// The file a store grows into when its instances are created by requests in no order, batch by
// batch, so rows go in between rows already written: the time is that of the creates and the
// save, the figure that matters the file's size against the record bytes it holds.
void BM_FileAfterShuffledCreates_WriteThrough(benchmark::State &state) {
    const size_t count = InstanceCount();
    const std::vector<Instance> records = Instances(count, 3);
    const std::vector<size_t> order = Order(count, true);
    for (auto _ : state) {
        ScratchFile file;
        auto database = OpenOrFail(state, file.path);
        if (!database) return;
        Store store;
        WriteThrough writer(*database, store);
        Clock::time_point start = Clock::now();
        Requests requests(store, eZQ_CM_OPER_TYPE_CREATE, records, order);
        requests.AwaitSets();
        size_t instances = 0;
        std::string error;
        bool ok = writer.Save(&instances, &error);
        state.SetIterationTime(Seconds(Clock::now() - start));
        state.counters["longest_request_wait_ms"] = requests.Stop() * 1e3;
        if (!ok || instances != count) {
            state.SkipWithError(("the save failed: " + error).c_str());
            return;
        }
        CountFileSize(state, file, count);
    }
}

// The whole-file save as it was: the answering thread saves, so a request that arrives meanwhile
// waits for all of it. The time is that wait.
void BM_RequestWaitDuringSave_WholeFile(benchmark::State &state) {
    const size_t count = InstanceCount();
    const std::vector<Instance> first = Instances(count, 1);
    for (auto _ : state) {
        ScratchFile file;
        auto database = OpenOrFail(state, file.path);
        if (!database) return;
        Store store;
        store.Load(first);
        std::string error;
        Clock::time_point start = Clock::now();
        bool ok = database->Save(store.Instances(), &error);
        state.SetIterationTime(Seconds(Clock::now() - start));
        if (!ok) state.SkipWithError(("the save failed: " + error).c_str());
    }
}

BENCHMARK(BM_RequestWaitDuringSave_WriteThrough)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Repetitions(ratio::Count(3));
BENCHMARK(BM_FileAfterShuffledCreates_WriteThrough)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Repetitions(ratio::Count(3));
BENCHMARK(BM_RequestWaitDuringSave_WholeFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Repetitions(ratio::Count(3));

} // namespace

int main(int argc, char **argv) {
    oltmgr::sim::SetQuiet(true); // the writer's batch lines stay out of the report
    return ratio::Main(argc, argv, {{"BM_RequestWaitDuringSave_WriteThrough", "BM_RequestWaitDuringSave_WholeFile"}});
}
