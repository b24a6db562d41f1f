// The registry's storage in SQLite. A file hive may be shared by several processes: WAL mode,
// a busy time-out and one transaction per write keep it consistent, and a killed writer loses
// at most the write it was in the middle of.
#include "registry/registry_store.h"

#include "emul/device.h"
#include "host/hive_open.h"

#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace emul {

namespace {

class SqliteStore : public RegStore {
  public:
    SqliteStore(sqlite3 *db, const std::string &path)
        : db_(db), shared_(!path.empty()), path_(path.empty() ? "the registry hive" : path) {
        if (shared_)
            mapWalIndex();
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, countStatement, &statements_);
    }
    ~SqliteStore() override {
        for (auto &e : cache_)
            sqlite3_finalize(e.second);
        sqlite3_close(db_);
    }

    RegImage image() override {
        RegImage img;
        // One read transaction, so the version and the content belong together (inside a
        // batch, the batch's own).
        bool own = sqlite3_get_autocommit(db_) != 0;
        if (own)
            sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        noteWalIndex();
        version_ = dataVersion();
        {
            Query q(this, "SELECT id, parent, name FROM reg_keys ORDER BY id");
            while (q.row())
                img.keys.push_back(RegImage::Key{q.integer(0), q.integer(1), q.text(2)});
        }
        {
            Query q(this, "SELECT key, name, type, data FROM reg_values ORDER BY id");
            while (q.row())
                img.values.push_back(RegImage::Value{q.integer(0), q.text(1),
                                                     RegValue{uint32_t(q.integer(2)), q.blob(3)}});
        }
        if (own)
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        return img;
    }

    uint64_t statements() const override { return statements_; }

    // Other processes' commits show first in the WAL index's header (shared memory that every
    // connection maps): while its bytes stay the same, nothing was committed and no SQL runs.
    // When they move, the data version tells another connection's commit from our own.
    EMUL_IDLE_PATH bool changedElsewhere() override {
        if (!shared_)
            return false; // an in-memory hive has no other connection
        return !(walIndex_ && sameWalIndex()) && versionMoved();
    }

    RegKeyId tree(const std::u16string &name) override {
        if (!begin())
            return 0;
        RegKeyId id = childOf(0, name);
        if (!id)
            id = insertKey(0, name);
        return commit(id != 0) ? id : 0;
    }

    bool exists(RegKeyId key) override { return keyExists(key); }

    std::optional<RegKeyId> find(RegKeyId from, const std::vector<std::u16string> &names) override {
        if (names.empty())
            return keyExists(from) ? std::optional<RegKeyId>(from) : std::nullopt;
        RegKeyId id = from;
        for (auto &n : names)
            if (!(id = childOf(id, n)))
                return std::nullopt;
        return id;
    }

    RegKeyId create(RegKeyId from, const std::vector<std::u16string> &names,
                    bool *created) override {
        if (created)
            *created = false;
        if (!begin())
            return 0;
        RegKeyId id = keyExists(from) ? from : 0;
        bool made = false;
        for (size_t i = 0; id && i < names.size(); ++i) {
            RegKeyId next = childOf(id, names[i]);
            made = !next;
            id = next ? next : insertKey(id, names[i]);
        }
        if (!commit(id != 0))
            return 0;
        if (created)
            *created = made;
        return id;
    }

    RegStatus remove(RegKeyId key) override {
        if (!begin())
            return RegStatus::failed;
        if (!keyExists(key)) {
            commit(false);
            return RegStatus::missing;
        }
        bool ok = run("WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k "
                      "JOIN sub ON k.parent = sub.id) DELETE FROM reg_values WHERE key IN sub",
                      key) &&
                  run("WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k "
                      "JOIN sub ON k.parent = sub.id) DELETE FROM reg_keys WHERE id IN sub",
                      key);
        return commit(ok) ? RegStatus::ok : RegStatus::failed;
    }

    std::vector<std::u16string> children(RegKeyId key) override {
        std::vector<std::u16string> out;
        Query q(this, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY id");
        q.bind(1, key);
        while (q.row())
            out.push_back(q.text(0));
        return out;
    }

    std::optional<RegValue> value(RegKeyId key, const std::u16string &name) override {
        Query q(this, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
        q.bind(1, key).bind(2, name);
        if (!q.row())
            return std::nullopt;
        return RegValue{uint32_t(q.integer(0)), q.blob(1)};
    }

    RegStatus setValue(RegKeyId key, const std::u16string &name, const RegValue &v) override {
        if (!begin())
            return RegStatus::failed;
        if (!keyExists(key)) {
            commit(false);
            return RegStatus::missing;
        }
        // An existing value keeps its place and its spelling.
        Query q(this,
                "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        q.bind(1, key).bind(2, name).bind(3, int64_t(v.type)).bind(4, v.data);
        bool ok = q.done();
        return commit(ok) ? RegStatus::ok : RegStatus::failed;
    }

    RegStatus removeValue(RegKeyId key, const std::u16string &name) override {
        if (batch_ && sqlite3_get_autocommit(db_))
            return RegStatus::failed; // the batch is lost: see begin()
        Query q(this, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
        q.bind(1, key).bind(2, name);
        if (!q.done())
            return RegStatus::failed;
        return sqlite3_changes(db_) ? RegStatus::ok : RegStatus::missing;
    }

    std::vector<std::pair<std::u16string, RegValue>> values(RegKeyId key) override {
        std::vector<std::pair<std::u16string, RegValue>> out;
        Query q(this, "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY id");
        q.bind(1, key);
        while (q.row())
            out.emplace_back(q.text(0), RegValue{uint32_t(q.integer(1)), q.blob(2)});
        return out;
    }

    bool beginBatch() override {
        if (batch_ || !begin())
            return false;
        batch_ = true;
        return true;
    }

    bool endBatch(bool commit) override {
        if (!batch_)
            return false;
        batch_ = false;
        if (sqlite3_get_autocommit(db_))
            return false; // SQLite rolled it back on an error
        return this->commit(commit);
    }

    // Notes an unexpected SQLite failure, said once on one line; the operation then reports
    // failure, and a tool that sees fault() set fails as a whole.
    void complain(const char *what) {
        if (!fault_.empty())
            return;
        fault_ = path_ + ": " + what + " failed: " + sqlite3_errmsg(db_);
        std::fprintf(stderr, "%s\n", fault_.c_str());
    }
    std::string fault() const override { return fault_; }

  private:
    // A cached prepared statement, reset when the query object goes away.
    class Query {
      public:
        Query(SqliteStore *store, const char *sql) : store_(store) {
            sqlite3_stmt *&s = store->cache_[sql];
            if (!s && sqlite3_prepare_v2(store->db_, sql, -1, &s, nullptr) != SQLITE_OK) {
                store->complain("prepare");
                s = nullptr;
            }
            s_ = s;
        }
        ~Query() {
            if (s_) {
                sqlite3_reset(s_);
                sqlite3_clear_bindings(s_);
            }
        }
        Query(const Query &) = delete;
        Query &operator=(const Query &) = delete;

        Query &bind(int i, int64_t v) {
            if (s_)
                sqlite3_bind_int64(s_, i, v);
            return *this;
        }
        Query &bind(int i, const std::u16string &v) {
            if (s_)
                sqlite3_bind_text16(s_, i, v.data(), int(v.size() * 2), SQLITE_TRANSIENT);
            return *this;
        }
        Query &bind(int i, const std::vector<uint8_t> &v) {
            // A null pointer would bind SQL NULL; an empty value is an empty blob. Not copied:
            // the data outlives the query, whose end clears the binding.
            if (s_)
                sqlite3_bind_blob(s_, i, v.empty() ? "" : static_cast<const void *>(v.data()),
                                  int(v.size()), SQLITE_STATIC);
            return *this;
        }
        // Next result row; false at the end or on an error (logged).
        bool row() {
            if (!s_)
                return false;
            int rc = sqlite3_step(s_);
            if (rc == SQLITE_ROW)
                return true;
            if (rc != SQLITE_DONE)
                store_->complain("query");
            return false;
        }
        // Runs a statement without results.
        bool done() {
            if (!s_)
                return false;
            int rc = sqlite3_step(s_);
            if (rc == SQLITE_DONE || rc == SQLITE_ROW)
                return true;
            store_->complain("write");
            return false;
        }
        int64_t integer(int col) { return sqlite3_column_int64(s_, col); }
        std::u16string text(int col) {
            auto p = static_cast<const char16_t *>(sqlite3_column_text16(s_, col));
            int bytes = sqlite3_column_bytes16(s_, col);
            return p ? std::u16string(p, size_t(bytes) / 2) : std::u16string();
        }
        std::vector<uint8_t> blob(int col) {
            auto p = static_cast<const uint8_t *>(sqlite3_column_blob(s_, col));
            int bytes = sqlite3_column_bytes(s_, col);
            return p ? std::vector<uint8_t>(p, p + bytes) : std::vector<uint8_t>();
        }

      private:
        SqliteStore *store_;
        sqlite3_stmt *s_ = nullptr;
    };

    bool begin() {
        // IMMEDIATE takes the write lock up front, so the busy time-out covers the whole write.
        // In a batch a write is a savepoint of the batch's transaction; once SQLite has
        // rolled that back on an error, nothing more is written.
        if (batch_ && sqlite3_get_autocommit(db_))
            return false;
        if (exec(batch_ ? "SAVEPOINT write" : "BEGIN IMMEDIATE"))
            return true;
        complain("begin");
        return false;
    }

    // Ends the transaction begun by begin(): commits when `ok`, else rolls back.
    bool commit(bool ok) {
        if (batch_) {
            if (ok && exec("RELEASE write"))
                return true;
            exec("ROLLBACK TO write");
            exec("RELEASE write");
            return false;
        }
        if (ok && exec("COMMIT"))
            return true;
        if (ok)
            complain("commit");
        if (!sqlite3_get_autocommit(db_))
            exec("ROLLBACK");
        return false;
    }

    // A statement without arguments or results, prepared once (a batch runs thousands of
    // savepoints); false when it fails.
    bool exec(const char *sql) {
        sqlite3_stmt *&st = cache_[sql];
        if (!st && sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
            st = nullptr;
            return false;
        }
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        return rc == SQLITE_DONE || rc == SQLITE_ROW;
    }

    bool run(const char *sql, int64_t arg) {
        Query q(this, sql);
        q.bind(1, arg);
        return q.done();
    }

    bool keyExists(RegKeyId key) {
        Query q(this, "SELECT 1 FROM reg_keys WHERE id = ?1");
        q.bind(1, key);
        return q.row();
    }

    RegKeyId childOf(RegKeyId parent, const std::u16string &name) {
        Query q(this, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
        q.bind(1, parent).bind(2, name);
        return q.row() ? q.integer(0) : 0;
    }

    RegKeyId insertKey(RegKeyId parent, const std::u16string &name) {
        Query q(this, "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2)");
        q.bind(1, parent).bind(2, name);
        return q.done() ? sqlite3_last_insert_rowid(db_) : 0;
    }

    static int countStatement(unsigned, void *counter, void *, void *) {
        ++*static_cast<std::atomic<uint64_t> *>(counter);
        return 0;
    }

    // The first copy of the WAL index header: version, change counter, frame count, salts.
    static constexpr size_t kWalIndexWords = 48 / 8;
    static constexpr int kWalIndexPage = 32768; // the index's first region, as SQLite maps it

    // SQLite's own mapping of the WAL index, which lives as long as the connection. Opening the
    // index file here instead would be wrong: closing any descriptor of a file drops every POSIX
    // lock the process holds on it, SQLite's included, and the next process to open the hive
    // would then take itself for the first and rebuild the index under this connection.
    void mapWalIndex() {
        sqlite3_file *file = nullptr;
        if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
            !file || !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
            return; // every check asks SQLite
        volatile void *p = nullptr;
        if (file->pMethods->xShmMap(file, 0, kWalIndexPage, 0, &p) == SQLITE_OK && p)
            walIndex_ = static_cast<volatile const uint64_t *>(p);
    }

    bool versionMoved() {
        noteWalIndex();
        int64_t v = dataVersion();
        if (v == version_)
            return false;
        version_ = v;
        return true;
    }

    // Word by word, in line: this runs on every idle pass.
    void noteWalIndex() {
        if (walIndex_)
            for (size_t i = 0; i < kWalIndexWords; ++i)
                seen_[i] = walIndex_[i];
    }
    EMUL_IDLE_PATH bool sameWalIndex() const {
        noteWarmLine(WarmLine::walIndex, const_cast<const uint64_t *>(walIndex_));
        uint64_t diff = 0;
        for (size_t i = 0; i < kWalIndexWords; ++i)
            diff |= seen_[i] ^ walIndex_[i];
        return diff == 0;
    }

    int64_t dataVersion() {
        Query q(this, "PRAGMA data_version");
        return q.row() ? q.integer(0) : -1;
    }

    sqlite3 *db_;
    bool shared_;
    std::string path_, fault_;
    volatile const uint64_t *walIndex_ = nullptr; // page-aligned
    uint64_t seen_[kWalIndexWords] = {};
    int64_t version_ = -1;
    bool batch_ = false; // between beginBatch and endBatch
    std::atomic<uint64_t> statements_{0};
    std::map<const char *, sqlite3_stmt *> cache_; // keyed by the SQL literal's address
};

} // namespace

std::unique_ptr<RegStore> RegStore::open(const std::string &path) {
    return std::make_unique<SqliteStore>(openHive(path), path);
}

} // namespace emul
