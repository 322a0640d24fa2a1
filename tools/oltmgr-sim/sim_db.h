// sim_db.h - the emulator's store kept in an SQLite file: one row per resource instance (resource
// id, 52-byte key, record), read whole at start and then written through: a WriteThrough thread
// writes the instances that changed, in one transaction per batch, at least every 100 ms; a save
// writes what is pending and checkpoints the write-ahead log into the file.
//
// The file is in WAL mode with 8 KiB pages, so a row (about 1.1 KiB) never spills into an
// overflow page of its own, and with incremental vacuum, so a save gives freed pages back. A file
// written with other settings (an older version of this program) is converted by the writer
// when it starts, once the file's rows have made a store; a file that is refused is left as it was.
//
// A file that SQLite cannot open, that fails its integrity check, that has another layout, or
// whose rows do not make instances of the store (a key that is not 52 bytes, a record that is
// not its resource's size, a repeated instance, too many) is refused with the reason; nothing of
// it is loaded. A file that another process has open as its store (a second emulator) is refused
// at once: Open locks the file for this process until it ends. Every call may be made from any
// thread; one lock serialises them.
#ifndef OLTMGR_SIM_DB_H
#define OLTMGR_SIM_DB_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "oltmgr_store.h"

struct sqlite3;

namespace oltmgr::sim {

// Instances to write, by resource id and key: the record to store, or an empty record for an
// instance that is gone.
using Changes = std::map<std::pair<uint32_t, Key>, Bytes>;

class Database {
  public:
    // Opens or creates the file; null with the reason in *error.
    static std::unique_ptr<Database> Open(const std::string &path, std::string *error);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Every stored instance, in store order; false with the reason in *error.
    bool Load(std::vector<Instance> *instances, std::string *error);

    // Replaces the file's contents with instances in one transaction; on failure the file keeps
    // what it had and *error says why.
    bool Save(const std::vector<Instance> &instances, std::string *error);

    // Writes the changes in one transaction; on failure the file keeps what it had.
    bool Write(const Changes &changes, std::string *error);

    // Gives a file of an older version this version's settings (rewriting it once); nothing for a
    // file that has them. False with the reason in *error, the file then keeping its own.
    bool Settle(std::string *error);

    // Copies the write-ahead log into the file, gives free pages back and empties the log.
    bool Checkpoint(std::string *error);

    const std::string &Path() const { return path_; }

  private:
    Database(std::string path, sqlite3 *db, int lockFd) : path_(std::move(path)), db_(db), lockFd_(lockFd) {}
    bool Exec(const char *sql, std::string *error);
    bool Configure(const std::string &version, std::string *error);

    std::string path_;
    sqlite3 *db_;
    int lockFd_; // holds the file's exclusive lock; -1 when the file could not be opened for it
    std::mutex mutex_;
};

inline constexpr auto kBatchInterval = std::chrono::milliseconds(100);

// Keeps the database in step with the store: from its construction on, every change of the
// store reaches the file within an interval, written by the thread this object owns. It copies
// the changed records under the store's lock, a few at a time, and works the database outside
// it, so a request never waits for SQLite. A batch that fails stays pending and is tried again
// with the next one; the failure is logged once, and so is the recovery. Before its first batch
// the thread converts a file of an older version (Database::Settle).
//
// The store and the database must outlive this object. Save and RequestSave may be called from
// any thread.
class WriteThrough {
  public:
    // The outcome of a save: whether it succeeded, how many instances the store held, and why not.
    using SaveDone = std::function<void(bool saved, size_t instances, const std::string &error)>;

    WriteThrough(Database &database, Store &store, std::chrono::milliseconds interval = kBatchInterval);
    ~WriteThrough(); // writes what is pending, then stops the thread
    WriteThrough(const WriteThrough &) = delete;
    WriteThrough &operator=(const WriteThrough &) = delete;

    // Asks for a save and returns at once. The writer's thread writes every pending change,
    // checkpoints, calls done, and then writes at once what done changed in the store (the
    // save's outcome), so the file shows it too.
    void RequestSave(SaveDone done);

    // Saves and waits for the outcome, at most wait; false with the reason in *error.
    bool Save(size_t *instances, std::string *error, std::chrono::milliseconds wait = std::chrono::seconds(60));

  private:
    void Run();
    bool WriteBatch(std::string *error);
    void Report(bool ok, const std::string &error);

    Database &database_;
    Store &store_;
    const std::chrono::milliseconds interval_;

    std::mutex mutex_; // guards saves_ and stop_; never held while the database works
    std::condition_variable wake_;
    std::vector<SaveDone> saves_;
    bool stop_ = false;

    // The thread's own: changes taken from the store and not yet in the file, and whether the
    // latest batch failed.
    Changes pending_;
    bool failing_ = false;
    std::thread thread_; // last: it starts once the rest exists
};

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_DB_H
