// The registry store: schema, opening and validation of the database file, and one transaction
// per writing call. SQLite result codes become Win32 error codes in ErrorFromSqlite and
// nowhere else.
#include "platform/posix/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace plinth::posix::registry {
namespace {

// "PlRg": marks a database as a registry store, so that another SQLite file is never taken
// for one (and never altered).
constexpr int kApplicationId = 0x506C5267;
// The schema this release writes. A later release that changes it raises the number and
// migrates older stores when it opens them; this one refuses a store with a higher number.
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 30000;

constexpr std::int64_t kProtected = 1;  // key flag: a root or the target of a view

const char* const kSchema =
    "CREATE TABLE keys("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER REFERENCES keys(id),"
    "  name BLOB NOT NULL,"
    "  fold BLOB NOT NULL,"
    "  flags INTEGER NOT NULL DEFAULT 0,"
    "  written INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, fold);"
    "CREATE TABLE vals("
    "  id INTEGER PRIMARY KEY,"
    "  key INTEGER NOT NULL REFERENCES keys(id),"
    "  name BLOB NOT NULL,"
    "  fold BLOB NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX vals_by_key ON vals(key, fold);";

enum StatementId {
  kBegin,
  kBeginImmediate,
  kCommit,
  kRollback,
  kDataVersion,
  kRootKey,
  kFindChild,
  kKeyFlags,
  kInsertKey,
  kTouchKey,
  kSetFlags,
  kHasChildren,
  kDeleteKey,
  kDeleteKeyValues,
  kGetValue,
  kSetValue,
  kDeleteValue,
  kSubkeyStats,
  kValueStats,
  kKeyWritten,
  kListSubkeys,
  kListValues,
  kValueById,
  kStatementCount
};

const char* const kStatements[kStatementCount] = {
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "PRAGMA data_version",
    "SELECT id FROM keys WHERE parent IS NULL AND fold = ?1",
    "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2",
    "SELECT flags FROM keys WHERE id = ?1",
    "INSERT INTO keys(parent, name, fold, flags, written) VALUES(?1, ?2, ?3, ?4, ?5)",
    "UPDATE keys SET written = ?2 WHERE id = ?1",
    "UPDATE keys SET flags = flags | ?2 WHERE id = ?1",
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    "DELETE FROM keys WHERE id = ?1",
    "DELETE FROM vals WHERE key = ?1",
    "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2",
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND fold = ?2",
    "SELECT count(*), coalesce(max(length(name)), 0) FROM keys WHERE parent = ?1",
    "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) "
    "FROM vals WHERE key = ?1",
    "SELECT written FROM keys WHERE id = ?1",
    "SELECT name, written FROM keys WHERE parent = ?1 ORDER BY fold",
    "SELECT id, name, type, data FROM vals WHERE key = ?1 ORDER BY id",
    "SELECT name, type, data FROM vals WHERE id = ?1",
};

LONG ErrorFromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA: return ERROR_BADDB;
    case SQLITE_IOERR: return ERROR_REGISTRY_IO_FAILED;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

LONG ErrorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_CANTOPEN;
  }
}

// Statements are reset when the holder goes, so that no read stays open between calls.
class Bound {
 public:
  explicit Bound(sqlite3_stmt* statement) : statement_(statement) {}
  ~Bound() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  Bound(const Bound&) = delete;
  Bound& operator=(const Bound&) = delete;

  Bound& Int(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  // Copies the bytes: callers pass temporaries such as folded names.
  Bound& Blob(int index, std::string_view bytes) { return Bind(index, bytes, SQLITE_TRANSIENT); }
  // For bytes that outlive the statement's use, such as the caller's value data.
  Bound& BlobInPlace(int index, std::string_view bytes) {
    return Bind(index, bytes, SQLITE_STATIC);
  }
  int Step() { return sqlite3_step(statement_); }
  std::int64_t Column(int index) const { return sqlite3_column_int64(statement_, index); }
  std::string ColumnBytes(int index) const {
    const void* bytes = sqlite3_column_blob(statement_, index);
    const int size = sqlite3_column_bytes(statement_, index);
    return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
  }
  void ColumnInto(int index, std::string* out) const {
    const void* bytes = sqlite3_column_blob(statement_, index);
    const int size = sqlite3_column_bytes(statement_, index);
    if (bytes)
      out->assign(static_cast<const char*>(bytes), size);
    else
      out->clear();
  }

 private:
  Bound& Bind(int index, std::string_view bytes, sqlite3_destructor_type lifetime) {
    // An empty name is still a name, not SQL NULL.
    sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(),
                      static_cast<int>(bytes.size()), lifetime);
    return *this;
  }

  sqlite3_stmt* statement_;
};

// Reads the first bytes of an existing store file and refuses what cannot be a store before
// SQLite ever sees it: SQLite would happily write into a truncated database.
LONG CheckFile(int fd, bool* empty) {
  struct stat status;
  if (fstat(fd, &status) != 0) return ErrorFromErrno(errno);
  if (!S_ISREG(status.st_mode)) return ERROR_BADDB;
  *empty = status.st_size == 0;
  if (*empty) return ERROR_SUCCESS;
  unsigned char header[100];
  if (status.st_size < static_cast<off_t>(sizeof header)) return ERROR_BADDB;
  if (pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
    return ERROR_BADDB;
  if (std::memcmp(header, "SQLite format 3", 16) != 0) return ERROR_BADDB;
  auto be32 = [&](int at) {
    return std::uint32_t{header[at]} << 24 | std::uint32_t{header[at + 1]} << 16 |
           std::uint32_t{header[at + 2]} << 8 | header[at + 3];
  };
  std::uint32_t pageSize = std::uint32_t{header[16]} << 8 | header[17];
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return ERROR_BADDB;
  if (status.st_size % pageSize != 0) return ERROR_BADDB;
  // The page count in the header is trustworthy when written by the same change as the
  // header's change counter; then the file must be at least that long.
  if (be32(24) == be32(92) &&
      static_cast<std::uint64_t>(be32(28)) * pageSize > static_cast<std::uint64_t>(status.st_size))
    return ERROR_BADDB;
  return ERROR_SUCCESS;
}

// Creates the folders of a path that are missing, each with mode 0700.
LONG MakeFolders(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_SUCCESS;
  const std::string folder = path.substr(0, slash);
  struct stat status;
  if (stat(folder.c_str(), &status) == 0)
    return S_ISDIR(status.st_mode) ? ERROR_SUCCESS : ERROR_CANTOPEN;
  if (LONG error = MakeFolders(folder); error != ERROR_SUCCESS) return error;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

std::string DefaultPath() {
  if (const char* given = std::getenv("PLINTH_REGISTRY"); given && *given) {
    if (given[0] == '/') return given;
    // Resolved once, at the first registry call, so that the store does not follow later
    // changes of the working folder.
    char folder[4096];
    return getcwd(folder, sizeof folder) ? std::string(folder) + "/" + given : std::string();
  }
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
    return std::string(data) + "/plinth/registry.db";
  std::string home;
  if (const char* env = std::getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
    home = entry->pw_dir;
  }
  return home + "/.local/share/plinth/registry.db";
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

std::int64_t FileTimeNow() {
  // FILETIME counts from 1601; the Unix epoch is 11644473600 seconds later.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100 +
         11644473600LL * 10000000LL;
}

// One write transaction; rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(Store& store, bool write) : store_(store) {
    Bound begin(store.Statement(write ? kBeginImmediate : kBegin));
    error_ = ErrorFromSqlite(begin.Step());
    open_ = error_ == ERROR_SUCCESS;
  }
  ~Transaction() {
    if (open_) Bound(store_.Statement(kRollback)).Step();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  LONG Error() const { return error_; }
  LONG Commit() {
    const int result = Bound(store_.Statement(kCommit)).Step();
    if (result != SQLITE_DONE) return ErrorFromSqlite(result);  // the destructor rolls back
    open_ = false;
    ++store_.ownWrites_;
    return ERROR_SUCCESS;
  }

 private:
  Store& store_;
  LONG error_;
  bool open_ = false;
};

Store& Store::Instance() {
  static Store* store = new Store;
  return *store;
}

const std::string& Store::Path() {
  if (!pathKnown_) {
    path_ = DefaultPath();
    pathKnown_ = true;
  }
  return path_;
}

LONG Store::Ready() {
  if (db_ && pid_ == static_cast<long>(getpid())) return ERROR_SUCCESS;
  if (db_) {
    // A forked child must not use its parent's connection, nor close it (that would drop the
    // parent's file locks): it opens its own and leaves the inherited one alone.
    db_ = nullptr;
    statements_.clear();
  }
  return Open();
}

void Store::Reset() {
  Close();
  pathKnown_ = false;
}

void Store::Close() {
  for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
  statements_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  roots_[0] = roots_[1] = 0;
}

sqlite3_stmt* Store::Statement(int which) { return statements_[which]; }

LONG Store::Open() {
  const std::string& path = Path();
  if (path.empty()) return ERROR_CANTOPEN;
  if (LONG error = MakeFolders(path); error != ERROR_SUCCESS) return error;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return ErrorFromErrno(errno);
  // While another process checkpoints the store, page 1 (with the new page count) reaches the
  // file before the pages behind it, so for a moment a sound store looks truncated: only a
  // file that stays short is refused.
  bool empty = false;
  LONG error = CheckFile(fd, &empty);
  for (int retry = 0; error == ERROR_BADDB && retry < 10; ++retry) {
    usleep(2000);
    error = CheckFile(fd, &empty);
  }
  close(fd);
  if (error != ERROR_SUCCESS) return error;

  sqlite3* db = nullptr;
  int result =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close_v2(db);
    return ErrorFromSqlite(result);
  }
  db_ = db;
  pid_ = static_cast<long>(getpid());
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db_, 0);
  statements_.assign(kStatementCount, nullptr);
  for (int i = 0; i < kStatementCount; ++i) {
    result = sqlite3_prepare_v3(db_, kStatements[i], -1, SQLITE_PREPARE_PERSISTENT, &statements_[i],
                                nullptr);
    // Statements on the tables fail to prepare in a new store; they are prepared again once
    // the schema exists.
    if (result != SQLITE_OK) statements_[i] = nullptr;
  }
  if (!statements_[kBegin] || !statements_[kBeginImmediate] || !statements_[kCommit] ||
      !statements_[kRollback]) {
    const LONG failure = ErrorFromSqlite(sqlite3_errcode(db_));
    Close();
    return failure == ERROR_SUCCESS ? ERROR_BADDB : failure;
  }
  error = Initialize();
  if (error != ERROR_SUCCESS) {
    Close();
    return error;
  }
  ++generation_;
  return ERROR_SUCCESS;
}

// Checks that the database is a store this release understands, and lays out the schema in a
// new one. Nothing is written to a database that is not (yet) known to be a store.
LONG Store::Initialize() {
  auto readHeader = [&](int* applicationId, int* version, int* objects) -> LONG {
    const char* const queries[3] = {"PRAGMA application_id", "PRAGMA user_version",
                                    "SELECT count(*) FROM sqlite_master"};
    int* outputs[3] = {applicationId, version, objects};
    for (int i = 0; i < 3; ++i) {
      sqlite3_stmt* statement = nullptr;
      int result = sqlite3_prepare_v2(db_, queries[i], -1, &statement, nullptr);
      if (result == SQLITE_OK) result = sqlite3_step(statement);
      if (result == SQLITE_ROW) *outputs[i] = sqlite3_column_int(statement, 0);
      sqlite3_finalize(statement);
      if (result != SQLITE_ROW) return ErrorFromSqlite(result);
    }
    return ERROR_SUCCESS;
  };

  int applicationId = 0, version = 0, objects = 0;
  LONG error;
  {
    // The three values must come from one snapshot: read one statement at a time, another
    // process's creation of the store could fall between them and make it look foreign.
    Transaction snapshot(*this, false);
    if (snapshot.Error() != ERROR_SUCCESS) return snapshot.Error();
    error = readHeader(&applicationId, &version, &objects);
  }
  if (error != ERROR_SUCCESS) return error;
  if (applicationId == 0 && version == 0 && objects == 0) {
    // A new store (or one another process is creating right now: the write lock below waits
    // for it, and the header is read again under the lock).
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    {
      Transaction transaction(*this, true);
      if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
      error = readHeader(&applicationId, &version, &objects);
      if (error != ERROR_SUCCESS) return error;
      if (applicationId == 0 && version == 0 && objects == 0) {
        const std::string setup = std::string(kSchema) +
                                  "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                  ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
        int result = sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, nullptr);
        if (result != SQLITE_OK) return ErrorFromSqlite(result);
        const std::int64_t now = FileTimeNow();
        for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
          sqlite3_stmt* insert = nullptr;
          result = sqlite3_prepare_v2(db_, kStatements[kInsertKey], -1, &insert, nullptr);
          if (result == SQLITE_OK) {
            Bound bound(insert);
            bound.Blob(2, root).Blob(3, FoldName(root)).Int(4, kProtected).Int(5, now);
            sqlite3_bind_null(insert, 1);
            result = bound.Step();
          }
          sqlite3_finalize(insert);
          if (result != SQLITE_DONE) return ErrorFromSqlite(result);
        }
        if (LONG committed = transaction.Commit(); committed != ERROR_SUCCESS) return committed;
        applicationId = kApplicationId;
        version = kSchemaVersion;
      }
    }
  }
  if (applicationId != kApplicationId) return ERROR_BADDB;
  if (version > kSchemaVersion) return ERROR_REVISION_MISMATCH;
  // (Version 1 is the first schema: there is nothing older to migrate.)
  if (version < 1) return ERROR_BADDB;

  // Completed calls survive a crash of the program without a sync per call; RegFlushKey syncs.
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  for (int i = 0; i < kStatementCount; ++i) {
    if (statements_[i]) continue;
    int result = sqlite3_prepare_v3(db_, kStatements[i], -1, SQLITE_PREPARE_PERSISTENT,
                                    &statements_[i], nullptr);
    if (result != SQLITE_OK) return ERROR_BADDB;  // a store whose tables are not ours
  }
  for (Tree tree : {Tree::kLocalMachine, Tree::kUsers}) {
    Bound find(Statement(kRootKey));
    find.Blob(1, tree == Tree::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS");
    const int result = find.Step();
    if (result != SQLITE_ROW) return result == SQLITE_DONE ? ERROR_BADDB : ErrorFromSqlite(result);
    roots_[static_cast<int>(tree)] = find.Column(0);
  }
  return ERROR_SUCCESS;
}

LONG Store::Version(std::uint64_t* version) {
  Bound query(Statement(kDataVersion));
  const int result = query.Step();
  if (result != SQLITE_ROW) return ErrorFromSqlite(result);
  // data_version changes with other connections' commits, ownWrites_ with our own.
  *version = static_cast<std::uint64_t>(query.Column(0)) << 32 ^ ownWrites_;
  return ERROR_SUCCESS;
}

LONG Store::TreeRoot(Tree tree, KeyId* id) {
  *id = roots_[static_cast<int>(tree)];
  return ERROR_SUCCESS;
}

LONG Store::FindChild(KeyId parent, std::string_view name, KeyId* id) {
  Bound find(Statement(kFindChild));
  find.Int(1, parent).Blob(2, FoldName(name));
  const int result = find.Step();
  if (result == SQLITE_ROW) {
    *id = find.Column(0);
    return ERROR_SUCCESS;
  }
  return result == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ErrorFromSqlite(result);
}

LONG Store::Exists(KeyId key) {
  Bound query(Statement(kKeyFlags));
  query.Int(1, key);
  const int result = query.Step();
  if (result == SQLITE_ROW) return ERROR_SUCCESS;
  return result == SQLITE_DONE ? ERROR_KEY_DELETED : ErrorFromSqlite(result);
}

LONG Store::TouchKey(KeyId key, std::int64_t now) {
  Bound touch(Statement(kTouchKey));
  touch.Int(1, key).Int(2, now);
  const int result = touch.Step();
  if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG Store::Find(KeyId from, const std::vector<std::string_view>& path, KeyId* id) {
  if (path.empty()) {
    if (LONG error = Exists(from); error != ERROR_SUCCESS) return error;
    *id = from;
    return ERROR_SUCCESS;
  }
  Transaction transaction(*this, false);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  KeyId current = from;
  for (std::string_view name : path) {
    const LONG error = FindChild(current, name, &current);
    if (error == ERROR_FILE_NOT_FOUND && current == from) {
      // Nothing below a deleted key can be found; say why.
      const LONG gone = Exists(from);
      return gone == ERROR_SUCCESS ? error : gone;
    }
    if (error != ERROR_SUCCESS) return error;
  }
  *id = current;
  return ERROR_SUCCESS;
}

LONG Store::Create(KeyId from, const std::vector<std::string_view>& path, KeyId* id,
                   bool* created) {
  *created = false;
  // Most creations find the key already there: look first, without the write lock.
  if (LONG error = Find(from, path, id); error != ERROR_FILE_NOT_FOUND) return error;
  Transaction transaction(*this, true);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  const std::int64_t now = FileTimeNow();
  KeyId current = from;
  if (LONG error = Exists(from); error != ERROR_SUCCESS) return error;
  for (std::string_view name : path) {
    KeyId child = 0;
    LONG error = FindChild(current, name, &child);
    if (error == ERROR_FILE_NOT_FOUND) {
      Bound insert(Statement(kInsertKey));
      insert.Int(1, current).Blob(2, name).Blob(3, FoldName(name)).Int(4, 0).Int(5, now);
      const int result = insert.Step();
      if (result != SQLITE_DONE) return ErrorFromSqlite(result);
      child = sqlite3_last_insert_rowid(db_);
      if ((error = TouchKey(current, now)) != ERROR_SUCCESS) return error;
      *created = true;
    } else if (error != ERROR_SUCCESS) {
      return error;
    }
    current = child;
  }
  if (LONG error = transaction.Commit(); error != ERROR_SUCCESS) {
    *created = false;
    return error;
  }
  *id = current;
  return ERROR_SUCCESS;
}

LONG Store::ProtectedKey(Tree tree, const std::vector<std::string>& path, KeyId* id) {
  std::vector<std::string_view> names(path.begin(), path.end());
  bool created = false;
  KeyId root = roots_[static_cast<int>(tree)];
  LONG error = Find(root, names, id);
  if (error == ERROR_SUCCESS) {
    // Made through its tree before it was first used as a view, it may not be protected yet.
    Bound flags(Statement(kKeyFlags));
    flags.Int(1, *id);
    const int result = flags.Step();
    if (result != SQLITE_ROW) return ErrorFromSqlite(result);
    if (flags.Column(0) & kProtected) return ERROR_SUCCESS;
  } else if (error == ERROR_FILE_NOT_FOUND) {
    if ((error = Create(root, names, id, &created)) != ERROR_SUCCESS) return error;
  } else {
    return error;
  }
  Transaction transaction(*this, true);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  Bound mark(Statement(kSetFlags));
  mark.Int(1, *id).Int(2, kProtected);
  const int result = mark.Step();
  if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  return transaction.Commit();
}

LONG Store::DeleteKey(KeyId from, const std::vector<std::string_view>& path) {
  Transaction transaction(*this, true);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  KeyId parent = from;
  KeyId target = from;
  if (LONG error = Exists(from); error != ERROR_SUCCESS) return error;
  for (std::string_view name : path) {
    parent = target;
    if (LONG error = FindChild(parent, name, &target); error != ERROR_SUCCESS) return error;
  }
  {
    Bound flags(Statement(kKeyFlags));
    flags.Int(1, target);
    const int result = flags.Step();
    if (result != SQLITE_ROW) return ErrorFromSqlite(result);
    if (flags.Column(0) & kProtected) return ERROR_ACCESS_DENIED;
  }
  {
    Bound children(Statement(kHasChildren));
    children.Int(1, target);
    const int result = children.Step();
    if (result == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  }
  for (int which : {kDeleteKeyValues, kDeleteKey}) {
    Bound remove(Statement(which));
    remove.Int(1, target);
    const int result = remove.Step();
    if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  }
  if (target != from) {
    if (LONG error = TouchKey(parent, FileTimeNow()); error != ERROR_SUCCESS) return error;
  }
  return transaction.Commit();
}

LONG Store::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  {
    Bound query(Statement(kGetValue));
    query.Int(1, key).Blob(2, FoldName(name));
    const int result = query.Step();
    if (result == SQLITE_ROW) {
      *type = static_cast<DWORD>(query.Column(0));
      query.ColumnInto(1, data);
      return ERROR_SUCCESS;
    }
    if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  }
  const LONG gone = Exists(key);
  return gone == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : gone;
}

LONG Store::SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size) {
  // SQLite keeps no blob longer than its length limit (a billion bytes by default).
  if (size > static_cast<DWORD>(sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, -1)))
    return ERROR_NOT_ENOUGH_MEMORY;
  Transaction transaction(*this, true);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  if (LONG error = TouchKey(key, FileTimeNow()); error != ERROR_SUCCESS) return error;
  Bound set(Statement(kSetValue));
  set.Int(1, key).Blob(2, name).Blob(3, FoldName(name)).Int(4, type);
  set.BlobInPlace(5, std::string_view(reinterpret_cast<const char*>(data), size));
  const int result = set.Step();
  if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  return transaction.Commit();
}

LONG Store::DeleteValue(KeyId key, std::string_view name) {
  Transaction transaction(*this, true);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  {
    Bound remove(Statement(kDeleteValue));
    remove.Int(1, key).Blob(2, FoldName(name));
    const int result = remove.Step();
    if (result != SQLITE_DONE) return ErrorFromSqlite(result);
  }
  if (sqlite3_changes(db_) == 0) {
    const LONG gone = Exists(key);
    return gone == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : gone;
  }
  if (LONG error = TouchKey(key, FileTimeNow()); error != ERROR_SUCCESS) return error;
  return transaction.Commit();
}

LONG Store::Info(KeyId key, KeyInfo* info) {
  Transaction transaction(*this, false);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  {
    Bound written(Statement(kKeyWritten));
    written.Int(1, key);
    const int result = written.Step();
    if (result == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (result != SQLITE_ROW) return ErrorFromSqlite(result);
    info->written = written.Column(0);
  }
  {
    Bound subkeys(Statement(kSubkeyStats));
    subkeys.Int(1, key);
    const int result = subkeys.Step();
    if (result != SQLITE_ROW) return ErrorFromSqlite(result);
    info->subkeys = static_cast<DWORD>(subkeys.Column(0));
    info->maxSubkeyName = static_cast<DWORD>(subkeys.Column(1));
  }
  Bound values(Statement(kValueStats));
  values.Int(1, key);
  const int result = values.Step();
  if (result != SQLITE_ROW) return ErrorFromSqlite(result);
  info->values = static_cast<DWORD>(values.Column(0));
  info->maxValueName = static_cast<DWORD>(values.Column(1));
  info->maxValueData = static_cast<DWORD>(values.Column(2));
  return ERROR_SUCCESS;
}

LONG Store::Subkeys(KeyId key, std::vector<SubkeyEntry>* entries) {
  Transaction transaction(*this, false);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  if (LONG error = Exists(key); error != ERROR_SUCCESS) return error;
  entries->clear();
  Bound list(Statement(kListSubkeys));
  list.Int(1, key);
  int result;
  while ((result = list.Step()) == SQLITE_ROW)
    entries->push_back({list.ColumnBytes(0), list.Column(1)});
  return result == SQLITE_DONE ? ERROR_SUCCESS : ErrorFromSqlite(result);
}

LONG Store::ValueRows(KeyId key, std::vector<ValueRow>* rows) {
  constexpr std::size_t kMaxListedBytes = 4 << 20;
  Transaction transaction(*this, false);
  if (transaction.Error() != ERROR_SUCCESS) return transaction.Error();
  if (LONG error = Exists(key); error != ERROR_SUCCESS) return error;
  rows->clear();
  Bound list(Statement(kListValues));
  list.Int(1, key);
  int result;
  std::size_t bytes = 0;
  while ((result = list.Step()) == SQLITE_ROW) {
    ValueRow row;
    row.id = list.Column(0);
    bytes += 64 + static_cast<std::size_t>(sqlite3_column_bytes(Statement(kListValues), 3));
    if (bytes <= kMaxListedBytes) {
      row.loaded = true;
      list.ColumnInto(1, &row.name);
      row.type = static_cast<DWORD>(list.Column(2));
      list.ColumnInto(3, &row.data);
    }
    rows->push_back(std::move(row));
  }
  return result == SQLITE_DONE ? ERROR_SUCCESS : ErrorFromSqlite(result);
}

LONG Store::ValueById(std::int64_t id, std::string* name, DWORD* type, std::string* data) {
  Bound query(Statement(kValueById));
  query.Int(1, id);
  const int result = query.Step();
  if (result == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (result != SQLITE_ROW) return ErrorFromSqlite(result);
  query.ColumnInto(0, name);
  *type = static_cast<DWORD>(query.Column(1));
  query.ColumnInto(2, data);
  return ERROR_SUCCESS;
}

LONG Store::Flush() {
  // A checkpoint syncs the log before it copies it into the database, so everything committed
  // so far is on the disk afterwards, even with readers holding back part of the copy.
  int logFrames = 0, copied = 0;
  const int result =
      sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copied);
  return result == SQLITE_OK || result == SQLITE_BUSY ? ERROR_SUCCESS : ErrorFromSqlite(result);
}

}  // namespace plinth::posix::registry
