// Opening a hive file: a missing one is made whole before anyone can see it; an existing one is
// used only when it is this device's hive and intact, so that a stray or damaged file is named
// at the start instead of failing write after write.
#include "host/hive_open.h"

#include "emul/device.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace emul {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int32_t kApplicationId = 0x48485247; // "HHRG" in the file's header
constexpr int kSchemaVersion = 1;

// Key and value names use SQLite's NOCASE collation: ASCII letters fold, everything else is
// compared as is, and the stored spelling is kept.
struct Table {
    const char *name, *sql;
};
const Table kTables[] = {
    {"reg_keys", "CREATE TABLE reg_keys(\n"
                 "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                 "  parent INTEGER NOT NULL,\n"
                 "  name TEXT NOT NULL COLLATE NOCASE,\n"
                 "  UNIQUE(parent, name))"},
    {"reg_values", "CREATE TABLE reg_values(\n"
                   "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                   "  key INTEGER NOT NULL,\n"
                   "  name TEXT NOT NULL COLLATE NOCASE,\n"
                   "  type INTEGER NOT NULL,\n"
                   "  data BLOB NOT NULL,\n"
                   "  UNIQUE(key, name))"},
};

[[noreturn]] void refuse(const std::string &path, const std::string &why) {
    throw DeviceError(path + ": cannot open the registry hive: " + why);
}

[[noreturn]] void cannotOpen(const std::string &path, sqlite3 *db) {
    std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    if (db && sqlite3_errcode(db) == SQLITE_BUSY)
        why += " (another program holds it)";
    if (db && sqlite3_errcode(db) == SQLITE_CORRUPT)
        why = "the file is damaged (" + why + ")";
    sqlite3_close(db);
    refuse(path, why);
}

// What SQLite would not say clearly, or not at all when run by the superuser; false when the
// file does not exist.
bool checkHiveFile(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        refuse(path, "it is a folder");
    if (!S_ISREG(st.st_mode))
        refuse(path, "not a regular file");
    if ((st.st_mode & 0222) == 0)
        refuse(path, "the file is read-only");
    if (st.st_size == 0)
        refuse(path, "the file is empty, not a hive (remove it to start a new one)");
    return true;
}

std::string schemaSql() {
    char head[96];
    std::snprintf(head, sizeof head, "PRAGMA application_id = %d; PRAGMA user_version = %d;",
                  kApplicationId, kSchemaVersion);
    std::string sql = std::string(head) + "BEGIN;";
    for (const Table &t : kTables)
        sql += std::string(t.sql) + ";";
    return sql + "COMMIT;";
}

// One integer that a statement gives; false when it fails.
bool integer(sqlite3 *db, const char *sql, int64_t *out) {
    sqlite3_stmt *s = nullptr;
    bool ok =
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW;
    if (ok)
        *out = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return ok;
}

// The first column of each row; false when the statement fails.
bool rows(sqlite3 *db, const std::string &sql, std::vector<std::string> *out) {
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        auto text = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
        out->push_back(text ? text : "");
    }
    sqlite3_finalize(s);
    return rc == SQLITE_DONE;
}

std::string withoutSpace(const std::string &s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r')
            out += c;
    return out;
}

// What keeps the file from being a hive this program made, or "" when it is one.
std::string schemaFault(sqlite3 *db, const std::string &path) {
    for (const Table &t : kTables) {
        std::vector<std::string> sql, columns;
        std::string name = t.name;
        if (!rows(db,
                  "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = '" + name + "'",
                  &sql) ||
            !rows(db, "SELECT name FROM pragma_table_info('" + name + "')", &columns))
            cannotOpen(path, db);
        if (sql.empty())
            return "not a registry hive (no table " + name + ")";
        if (withoutSpace(sql[0]) == withoutSpace(t.sql))
            continue;
        std::string list;
        for (const std::string &c : columns)
            list += (list.empty() ? "" : ", ") + c;
        return "not a registry hive (its table " + name + " has the columns " + list +
               ", or other constraints, than this device's)";
    }
    return "";
}

// Whether the file is this device's hive, intact; a hive from before the application id was
// written is known by its exact tables and gets the id.
void validate(sqlite3 *db, const std::string &path) {
    int64_t app = 0, version = 0;
    if (!integer(db, "PRAGMA application_id", &app) ||
        !integer(db, "PRAGMA user_version", &version))
        cannotOpen(path, db);
    if (app != kApplicationId && app != 0) {
        char id[16];
        std::snprintf(id, sizeof id, "%08x", unsigned(app));
        sqlite3_close(db);
        refuse(path, std::string("not a registry hive (a database of another program, "
                                 "application id 0x") +
                         id + ")");
    }
    if (app == kApplicationId && version > kSchemaVersion) {
        sqlite3_close(db);
        refuse(path, "made by a newer version of this program (hive version " +
                         std::to_string(version) + ")");
    }
    std::string fault = schemaFault(db, path);
    if (!fault.empty()) {
        sqlite3_close(db);
        refuse(path, fault);
    }
    std::vector<std::string> check;
    if (!rows(db, "PRAGMA quick_check", &check))
        cannotOpen(path, db);
    if (check.empty() || check[0] != "ok") {
        // The first fault SQLite names, on the one line of the message.
        std::string first = check.empty() ? "no answer" : check[0];
        if (first.rfind("*** ", 0) == 0 && first.find('\n') != std::string::npos)
            first = first.substr(first.find('\n') + 1);
        first = first.substr(0, first.find('\n'));
        sqlite3_close(db);
        refuse(path, "the file is damaged (" + first + ")");
    }
    // The write lock, taken once: a hive that another program holds is named now, after the
    // busy time-out, instead of failing the first write later.
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "PRAGMA application_id = %d; PRAGMA user_version = %d;",
                  kApplicationId, kSchemaVersion);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK ||
        (app == 0 && sqlite3_exec(db, stamp, nullptr, nullptr, nullptr) != SQLITE_OK) ||
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        cannotOpen(path, db);
}

// Makes a new hive under a temporary name and links it into place, so that no process ever
// sees a hive without its tables (a device killed while making one leaves no empty file).
void create(const std::string &path) {
    std::string tmp = path + ".new-" + std::to_string(getpid());
    unlink(tmp.c_str());
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, schemaSql().c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        unlink(tmp.c_str());
        cannotOpen(path, db);
    }
    sqlite3_close(db);
    // A hive made meanwhile by another process wins; without hard links, the name is taken.
    if (link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST &&
        rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        unlink(tmp.c_str());
        refuse(path, std::string("cannot make it: ") + std::strerror(e));
    }
    unlink(tmp.c_str());
}

} // namespace

sqlite3 *openHive(const std::string &path) {
    sqlite3 *db = nullptr;
    if (path.empty()) {
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_exec(db, schemaSql().c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            cannotOpen(path, db);
        return db;
    }
    if (!checkHiveFile(path)) {
        create(path);
        checkHiveFile(path);
    }
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        cannotOpen(path, db);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    validate(db, path);
    // WAL lets readers in other processes go on while one writes; NORMAL sync loses nothing
    // when the process is killed (only a host crash could drop the last commits).
    // A read afterwards opens the WAL index, which the store maps to see other processes'
    // commits.
    int64_t keys = 0;
    if (sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                     nullptr) != SQLITE_OK ||
        !integer(db, "SELECT count(*) FROM reg_keys", &keys))
        cannotOpen(path, db);
    return db;
}

} // namespace emul
