// sim_db.cpp - the store's SQLite file: layout check, load, batches, checkpoints and the thread
// that writes the store's changes through.
#include "sim_db.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim_log.h"

namespace oltmgr::sim {

namespace {

constexpr int kLayoutVersion = 1;          // PRAGMA user_version of the files this program writes
constexpr int kLargestValue = 4096;        // no key or record is longer; SQLite refuses longer values
constexpr int kBusyWaitMs = 1000;          // another process holding the file: wait this long at most
constexpr int kPageSize = 8192;            // several rows to a page, none spilling into overflow pages
constexpr const char *kIncrementalVacuum = "2"; // PRAGMA auto_vacuum's value for INCREMENTAL
constexpr size_t kTakeAtOnce = 256;        // records copied under the store's lock at a time
// A batch stops taking changes after this many, so a store that keeps changing cannot hold the
// writer in one batch forever; the rest go with the next one.
constexpr size_t kLargestBatch = 2 * kMaxInstances;

struct StatementCloser {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

Statement Prepare(sqlite3 *db, const char *sql, std::string *error) {
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

// The text of a one-row, one-column query such as a pragma; false with the reason in *error.
bool QueryText(sqlite3 *db, const char *sql, std::string *text, std::string *error) {
    Statement statement = Prepare(db, sql, error);
    if (!statement) {
        return false;
    }
    if (sqlite3_step(statement.get()) != SQLITE_ROW) {
        *error = sqlite3_errmsg(db);
        return false;
    }
    const unsigned char *value = sqlite3_column_text(statement.get(), 0);
    *text = value != nullptr ? reinterpret_cast<const char *>(value) : "";
    return true;
}

// Takes the file for this process alone: an exclusive lock on a descriptor of its own, held until
// the process ends, so a second emulator on the same file cannot load it and later save over
// the first one's saves. -1 when the file is in use (*error says so) or cannot be opened here
// (*error empty: SQLite then names the reason).
int LockFile(const std::string &path, std::string *error) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    *error = errno == EWOULDBLOCK ? "the file is in use by another process"
                                  : std::string("cannot lock the file: ") + std::strerror(errno);
    close(fd);
    return -1;
}

} // namespace

std::unique_ptr<Database> Database::Open(const std::string &path, std::string *error) {
    error->clear();
    int lock = LockFile(path, error);
    if (!error->empty()) {
        return nullptr;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        if (lock >= 0) {
            close(lock);
        }
        return nullptr;
    }
    std::unique_ptr<Database> database(new Database(path, db, lock));
    if (sqlite3_db_readonly(db, "main") == 1) {
        *error = "the file is read-only, so the store could not be saved";
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyWaitMs);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLargestValue);

    std::string check, version;
    if (!QueryText(db, "PRAGMA quick_check", &check, error) || !QueryText(db, "PRAGMA user_version", &version, error)) {
        return nullptr;
    }
    if (check != "ok") {
        *error = "integrity check failed: " + check;
        return nullptr;
    }
    if (version != "0" && version != std::to_string(kLayoutVersion)) {
        *error = "layout version " + version + " is not " + std::to_string(kLayoutVersion);
        return nullptr;
    }
    if (!database->Configure(version, error)) {
        return nullptr;
    }
    return database;
}

Database::~Database() {
    sqlite3_close(db_);
    // Closing any descriptor of the file drops the POSIX locks SQLite holds on it, so the lock's
    // own descriptor goes last.
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
}

// Durable commits at the log's pace, and for a new file its settings and table.
bool Database::Configure(const std::string &version, std::string *error) {
    if (!Exec("PRAGMA synchronous = NORMAL", error)) {
        return false;
    }
    if (version != "0") {
        return true; // a file with a layout: Settle converts it once its rows make a store
    }
    // A new file takes its settings with its first table.
    std::string settings = "PRAGMA page_size = " + std::to_string(kPageSize) + "; PRAGMA auto_vacuum = INCREMENTAL;";
    std::string journal;
    return Exec(settings.c_str(), error) && QueryText(db_, "PRAGMA journal_mode = WAL", &journal, error) &&
           Exec("BEGIN;"
                "CREATE TABLE instances(res_id INTEGER NOT NULL, key BLOB NOT NULL, record BLOB NOT NULL,"
                " PRIMARY KEY (res_id, key)) WITHOUT ROWID;"
                "PRAGMA user_version = 1;"
                "COMMIT;",
                error);
}

// Gives a file of an older version (other page size, no incremental vacuum, a rollback journal)
// this version's settings: rewritten once, then in WAL mode.
bool Database::Settle(std::string *error) {
    std::lock_guard lock(mutex_);
    std::string pageSize, vacuum, journal;
    if (!QueryText(db_, "PRAGMA page_size", &pageSize, error) || !QueryText(db_, "PRAGMA auto_vacuum", &vacuum, error) ||
        !QueryText(db_, "PRAGMA journal_mode", &journal, error)) {
        return false;
    }
    if (journal == "wal") {
        return true; // this version's file: the page size cannot change in WAL mode anyway
    }
    if (pageSize != std::to_string(kPageSize) || vacuum != kIncrementalVacuum) {
        std::string settings = "PRAGMA page_size = " + std::to_string(kPageSize) + "; PRAGMA auto_vacuum = INCREMENTAL; VACUUM;";
        if (!Exec(settings.c_str(), error)) {
            return false;
        }
    }
    return QueryText(db_, "PRAGMA journal_mode = WAL", &journal, error);
}

bool Database::Exec(const char *sql, std::string *error) {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        *error = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); // nothing half-done stays
        return false;
    }
    return true;
}

bool Database::Load(std::vector<Instance> *instances, std::string *error) {
    std::lock_guard lock(mutex_);
    instances->clear();
    Statement select = Prepare(db_, "SELECT res_id, key, record FROM instances ORDER BY res_id, key", error);
    if (!select) {
        return false;
    }
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        sqlite3_stmt *row = select.get();
        std::string where = "instance " + std::to_string(instances->size() + 1);
        sqlite3_int64 resId = sqlite3_column_int64(row, 0);
        if (sqlite3_column_type(row, 0) != SQLITE_INTEGER || resId < 0 || resId > UINT32_MAX) {
            *error = where + ": the resource id is not a 32-bit number";
            return false;
        }
        Instance instance;
        instance.resId = static_cast<uint32_t>(resId);
        const void *key = sqlite3_column_blob(row, 1);
        if (sqlite3_column_bytes(row, 1) != static_cast<int>(kKeyLen) || key == nullptr) {
            *error = where + ": the key is not " + std::to_string(kKeyLen) + " bytes";
            return false;
        }
        std::memcpy(instance.key.data(), key, kKeyLen);
        const auto *record = static_cast<const uint8_t *>(sqlite3_column_blob(row, 2));
        size_t size = static_cast<size_t>(sqlite3_column_bytes(row, 2));
        if (size != RecordSize(instance.resId) || record == nullptr) {
            *error = where + " (resource " + std::to_string(resId) + "): the record is " + std::to_string(size) +
                     " bytes, not " + std::to_string(RecordSize(instance.resId));
            return false;
        }
        instance.record.assign(record, record + size);
        instances->push_back(std::move(instance));
        if (instances->size() > kMaxInstances) {
            *error = "more than " + std::to_string(kMaxInstances) + " instances";
            return false;
        }
    }
    if (step != SQLITE_DONE) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool Database::Save(const std::vector<Instance> &instances, std::string *error) {
    std::lock_guard lock(mutex_);
    if (!Exec("BEGIN IMMEDIATE; DELETE FROM instances;", error)) {
        return false;
    }
    Statement insert = Prepare(db_, "INSERT INTO instances(res_id, key, record) VALUES (?, ?, ?)", error);
    if (!insert) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    for (const Instance &instance : instances) {
        sqlite3_stmt *row = insert.get();
        sqlite3_reset(row);
        sqlite3_bind_int64(row, 1, instance.resId);
        sqlite3_bind_blob(row, 2, instance.key.data(), static_cast<int>(instance.key.size()), SQLITE_STATIC);
        sqlite3_bind_blob(row, 3, instance.record.data(), static_cast<int>(instance.record.size()), SQLITE_STATIC);
        if (sqlite3_step(row) != SQLITE_DONE) {
            *error = sqlite3_errmsg(db_);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    insert.reset();
    return Exec("COMMIT", error);
}

bool Database::Write(const Changes &changes, std::string *error) {
    std::lock_guard lock(mutex_);
    Statement insert = Prepare(db_, "INSERT OR REPLACE INTO instances(res_id, key, record) VALUES (?, ?, ?)", error);
    Statement remove = Prepare(db_, "DELETE FROM instances WHERE res_id = ? AND key = ?", error);
    if (!insert || !remove || !Exec("BEGIN IMMEDIATE", error)) {
        return false;
    }
    for (const auto &[id, record] : changes) {
        sqlite3_stmt *row = record.empty() ? remove.get() : insert.get();
        sqlite3_reset(row);
        sqlite3_bind_int64(row, 1, id.first);
        sqlite3_bind_blob(row, 2, id.second.data(), static_cast<int>(id.second.size()), SQLITE_STATIC);
        if (!record.empty()) {
            sqlite3_bind_blob(row, 3, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(row) != SQLITE_DONE) {
            *error = sqlite3_errmsg(db_);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    insert.reset();
    remove.reset();
    return Exec("COMMIT", error);
}

bool Database::Checkpoint(std::string *error) {
    std::lock_guard lock(mutex_);
    if (!Exec("PRAGMA incremental_vacuum", error)) {
        return false;
    }
    std::string busy;
    if (!QueryText(db_, "PRAGMA wal_checkpoint(TRUNCATE)", &busy, error)) {
        return false;
    }
    if (busy != "0") {
        *error = "the write-ahead log could not be checkpointed: the file is busy";
        return false;
    }
    return true;
}

WriteThrough::WriteThrough(Database &database, Store &store, std::chrono::milliseconds interval)
    : database_(database), store_(store), interval_(interval) {
    store_.TrackChanges();
    thread_ = std::thread(&WriteThrough::Run, this);
}

WriteThrough::~WriteThrough() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WriteThrough::RequestSave(SaveDone done) {
    {
        std::lock_guard lock(mutex_);
        saves_.push_back(std::move(done));
    }
    wake_.notify_all();
}

bool WriteThrough::Save(size_t *instances, std::string *error, std::chrono::milliseconds wait) {
    // Shared with the writer, which may finish after a caller that gave up waiting has gone.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool saved = false;
        size_t instances = 0;
        std::string error;
    };
    auto outcome = std::make_shared<Outcome>();
    RequestSave([outcome](bool saved, size_t count, const std::string &why) {
        {
            std::lock_guard lock(outcome->mutex);
            outcome->finished = true;
            outcome->saved = saved;
            outcome->instances = count;
            outcome->error = why;
        }
        outcome->done.notify_all();
    });
    std::unique_lock lock(outcome->mutex);
    if (!outcome->done.wait_for(lock, wait, [&] { return outcome->finished; })) {
        *error = "the save did not finish within " + std::to_string(wait.count()) + " ms";
        return false;
    }
    *instances = outcome->instances;
    *error = outcome->error;
    return outcome->saved;
}

void WriteThrough::Run() {
    std::string error;
    if (!database_.Settle(&error)) {
        LogLine("db: cannot convert " + database_.Path() + " to this version's settings: " + error +
                " (kept as it is)");
    }
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, interval_, [&] { return stop_ || !saves_.empty(); });
        std::vector<SaveDone> saves = std::move(saves_);
        saves_.clear();
        bool stopping = stop_;
        lock.unlock();

        error.clear();
        Report(WriteBatch(&error), error);
        for (SaveDone &done : saves) {
            error.clear();
            bool saved = WriteBatch(&error) && database_.Checkpoint(&error);
            done(saved, store_.Size(), error);
            error.clear();
            Report(WriteBatch(&error), error);
        }
        if (stopping) {
            return;
        }
        lock.lock();
    }
}

// Takes the store's changes and writes them, with those of failed batches, in one transaction.
bool WriteThrough::WriteBatch(std::string *error) {
    std::vector<Instance> taken;
    bool more = true;
    for (size_t count = 0; more && count < kLargestBatch; count += taken.size()) {
        taken.clear();
        more = store_.TakeChanges(kTakeAtOnce, &taken);
        for (Instance &instance : taken) {
            pending_.insert_or_assign({instance.resId, instance.key}, std::move(instance.record));
        }
    }
    if (pending_.empty()) {
        return true;
    }
    if (!database_.Write(pending_, error)) {
        return false;
    }
    TrafficLine("db: wrote " + std::to_string(pending_.size()) + (pending_.size() == 1 ? " change" : " changes") +
                " to " + database_.Path());
    pending_.clear();
    return true;
}

// Logs a batch's failure once, until one succeeds again.
void WriteThrough::Report(bool ok, const std::string &error) {
    if (!ok && !failing_) {
        LogLine("db: cannot write to " + database_.Path() + ": " + error + " (kept, tried again with the next batch)");
    } else if (ok && failing_) {
        LogLine("db: writing to " + database_.Path() + " again");
    }
    failing_ = !ok;
}

} // namespace oltmgr::sim
