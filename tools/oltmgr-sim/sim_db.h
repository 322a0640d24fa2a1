// sim_db.h - the emulator's store kept in an SQLite file: one row per resource instance (resource
// id, 52-byte key, record), read whole at start and written whole on each save.
//
// A file that SQLite cannot open, that fails its integrity check, that has another layout, or
// whose rows do not make instances of the store (a key that is not 52 bytes, a record that is
// not its resource's size, a repeated instance, too many) is refused with the reason; nothing of
// it is loaded. A file that another process has open as its store (a second emulator) is refused
// at once: Open locks the file for this process until it ends. Every call may be made from any
// thread; one lock serialises them.
#ifndef OLTMGR_SIM_DB_H
#define OLTMGR_SIM_DB_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oltmgr_store.h"

struct sqlite3;

namespace oltmgr::sim {

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

    const std::string &Path() const { return path_; }

  private:
    Database(std::string path, sqlite3 *db, int lockFd) : path_(std::move(path)), db_(db), lockFd_(lockFd) {}
    bool Exec(const char *sql, std::string *error);

    std::string path_;
    sqlite3 *db_;
    int lockFd_; // holds the file's exclusive lock; -1 when the file could not be opened for it
    std::mutex mutex_;
};

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_DB_H
