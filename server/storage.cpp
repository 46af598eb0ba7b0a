// SQLite storage of accounts and characters. Every statement binds its values; nothing is spliced into SQL.
#include "storage.hpp"

#include <errno.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

static const char* const schema =
    "CREATE TABLE IF NOT EXISTS accounts ("
    "  id INTEGER PRIMARY KEY,"
    "  login TEXT NOT NULL UNIQUE,"
    "  password_hash TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS characters ("
    "  id INTEGER PRIMARY KEY,"
    "  account_id INTEGER NOT NULL REFERENCES accounts(id),"
    "  name TEXT NOT NULL UNIQUE,"
    "  last_login INTEGER NOT NULL DEFAULT 0,"
    "  state BLOB);"
    "CREATE INDEX IF NOT EXISTS characters_by_account ON characters(account_id);"
    "CREATE TABLE IF NOT EXISTS world ("
    "  id INTEGER PRIMARY KEY CHECK (id = 1),"
    "  seed INTEGER NOT NULL,"
    "  size INTEGER NOT NULL,"
    "  state BLOB);";

static void report(Storage& s, const char* what) { printf("db: %s: %s\n", what, sqlite3_errmsg(s.db)); }

static sqlite3_stmt* prepare(Storage& s, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(s.db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    report(s, "prepare");
    return nullptr;
  }
  return stmt;
}

static bool take_lock(Storage& s, const char* path, Text& error) {
  char lock_path[300];
  snprintf(lock_path, sizeof(lock_path), "%s.lock", path);
  s.lock_fd = open(lock_path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (s.lock_fd < 0) {
    error = tprintf("cannot open the lock file '%.80s': %s", lock_path, strerror(errno));
    return false;
  }
  if (flock(s.lock_fd, LOCK_EX | LOCK_NB) != 0) {
    error = tprintf("database '%.80s' is in use by another server", path);
    close(s.lock_fd);
    s.lock_fd = -1;
    return false;
  }
  return true;
}

bool storage_open(Storage& s, const char* path, Text& error, bool exclusive) {
  bool in_memory = path[0] == ':' || path[0] == 0;
  if (exclusive && !in_memory && !take_lock(s, path, error)) return false;
  if (sqlite3_open_v2(path, &s.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    error = tprintf("cannot open database '%.80s': %.40s", path, s.db ? sqlite3_errmsg(s.db) : "out of memory");
    storage_close(s);
    return false;
  }
  // A backup or an account made from the command line waits a little instead of failing at once.
  sqlite3_busy_timeout(s.db, 2000);
  char* message = nullptr;
  // The write-ahead log lets readers (a backup) work beside the server, and with synchronous=NORMAL a
  // commit costs no disk flush while a crash still never corrupts the file.
  if (sqlite3_exec(s.db, "PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr,
                   nullptr, &message) != SQLITE_OK ||
      sqlite3_exec(s.db, schema, nullptr, nullptr, &message) != SQLITE_OK) {
    error = tprintf("cannot prepare database '%.80s': %.40s", path, message ? message : "?");
    sqlite3_free(message);
    storage_close(s);
    return false;
  }
  return true;
}

void storage_close(Storage& s) {
  if (s.db) sqlite3_close(s.db);
  s.db = nullptr;
  if (s.lock_fd >= 0) close(s.lock_fd);
  s.lock_fd = -1;
}

static void copy_column_text(sqlite3_stmt* stmt, int column, char* dst, int cap) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  cstr_copy(dst, text ? (const char*)text : "", cap);
}

bool storage_find_account(Storage& s, const char* login, AccountRecord& out) {
  out = {};
  sqlite3_stmt* stmt = prepare(s, "SELECT id, login, password_hash FROM accounts WHERE login = ?1");
  if (!stmt) return false;
  sqlite3_bind_text(stmt, 1, login, -1, SQLITE_STATIC);
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    out.id = sqlite3_column_int64(stmt, 0);
    copy_column_text(stmt, 1, out.login, LOGIN_LEN);
    copy_column_text(stmt, 2, out.password_hash, PASSWORD_HASH_LEN);
  } else if (rc != SQLITE_DONE) {
    report(s, "find account");
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

static StorageResult insert_result(Storage& s, int rc, const char* what) {
  if (rc == SQLITE_DONE) return StorageResult_Ok;
  if ((sqlite3_extended_errcode(s.db) & 0xFF) == SQLITE_CONSTRAINT) return StorageResult_Exists;
  report(s, what);
  return StorageResult_Error;
}

StorageResult storage_create_account(Storage& s, const char* login, const char* hash, s64* id) {
  sqlite3_stmt* stmt = prepare(s, "INSERT INTO accounts (login, password_hash) VALUES (?1, ?2)");
  if (!stmt) return StorageResult_Error;
  sqlite3_bind_text(stmt, 1, login, -1, SQLITE_STATIC);
  sqlite3_bind_text(stmt, 2, hash, -1, SQLITE_STATIC);
  StorageResult result = insert_result(s, sqlite3_step(stmt), "create account");
  sqlite3_finalize(stmt);
  if (id) *id = result == StorageResult_Ok ? sqlite3_last_insert_rowid(s.db) : 0;
  return result;
}

bool storage_set_password_hash(Storage& s, s64 account_id, const char* hash) {
  sqlite3_stmt* stmt = prepare(s, "UPDATE accounts SET password_hash = ?2 WHERE id = ?1");
  if (!stmt) return false;
  sqlite3_bind_int64(stmt, 1, account_id);
  sqlite3_bind_text(stmt, 2, hash, -1, SQLITE_STATIC);
  bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  if (!ok) report(s, "set password");
  sqlite3_finalize(stmt);
  return ok;
}

int storage_list_characters(Storage& s, s64 account_id, CharacterSummary out[CHARACTERS_PER_ACCOUNT]) {
  for (int i = 0; i < CHARACTERS_PER_ACCOUNT; i++) out[i] = {};
  sqlite3_stmt* stmt =
      prepare(s, "SELECT id, name, last_login FROM characters WHERE account_id = ?1 ORDER BY id LIMIT ?2");
  if (!stmt) return -1;
  sqlite3_bind_int64(stmt, 1, account_id);
  sqlite3_bind_int(stmt, 2, CHARACTERS_PER_ACCOUNT);
  int n = 0, rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && n < CHARACTERS_PER_ACCOUNT) {
    out[n].id = sqlite3_column_int64(stmt, 0);
    copy_column_text(stmt, 1, out[n].name, PLAYER_NAME_LEN);
    out[n].last_login = (u64)sqlite3_column_int64(stmt, 2);
    n++;
  }
  bool ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
  if (!ok) report(s, "list characters");
  sqlite3_finalize(stmt);
  return ok ? n : -1;
}

StorageResult storage_create_character(Storage& s, s64 account_id, const char* name, s64* id) {
  if (id) *id = 0;
  CharacterSummary existing[CHARACTERS_PER_ACCOUNT];
  int n = storage_list_characters(s, account_id, existing);
  if (n < 0) return StorageResult_Error;
  // The name is unique server-wide; a taken name is the answer even when the account is also full.
  sqlite3_stmt* find = prepare(s, "SELECT 1 FROM characters WHERE name = ?1");
  if (!find) return StorageResult_Error;
  sqlite3_bind_text(find, 1, name, -1, SQLITE_STATIC);
  int rc = sqlite3_step(find);
  sqlite3_finalize(find);
  if (rc == SQLITE_ROW) return StorageResult_Exists;
  if (n >= CHARACTERS_PER_ACCOUNT) return StorageResult_Full;
  sqlite3_stmt* stmt = prepare(s, "INSERT INTO characters (account_id, name) VALUES (?1, ?2)");
  if (!stmt) return StorageResult_Error;
  sqlite3_bind_int64(stmt, 1, account_id);
  sqlite3_bind_text(stmt, 2, name, -1, SQLITE_STATIC);
  StorageResult result = insert_result(s, sqlite3_step(stmt), "create character");
  sqlite3_finalize(stmt);
  if (id && result == StorageResult_Ok) *id = sqlite3_last_insert_rowid(s.db);
  return result;
}

s64 storage_find_character(Storage& s, s64 account_id, const char* name) {
  sqlite3_stmt* stmt = prepare(s, "SELECT id FROM characters WHERE account_id = ?1 AND name = ?2");
  if (!stmt) return 0;
  sqlite3_bind_int64(stmt, 1, account_id);
  sqlite3_bind_text(stmt, 2, name, -1, SQLITE_STATIC);
  s64 id = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  return id;
}

bool storage_touch_character(Storage& s, s64 character_id, u64 last_login) {
  sqlite3_stmt* stmt = prepare(s, "UPDATE characters SET last_login = ?2 WHERE id = ?1");
  if (!stmt) return false;
  sqlite3_bind_int64(stmt, 1, character_id);
  sqlite3_bind_int64(stmt, 2, (s64)last_login);
  bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  if (!ok) report(s, "touch character");
  sqlite3_finalize(stmt);
  return ok;
}

bool storage_save_character_state(Storage& s, s64 character_id, const u8* data, int size) {
  sqlite3_stmt* stmt = prepare(s, "UPDATE characters SET state = ?2 WHERE id = ?1");
  if (!stmt) return false;
  sqlite3_bind_int64(stmt, 1, character_id);
  sqlite3_bind_blob(stmt, 2, data, size, SQLITE_STATIC);
  bool stepped = sqlite3_step(stmt) == SQLITE_DONE;
  if (!stepped) report(s, "save character");
  bool ok = stepped && sqlite3_changes(s.db) == 1;
  sqlite3_finalize(stmt);
  return ok;
}

bool storage_load_character_state(Storage& s, s64 character_id, u8* out, int cap, int* size) {
  *size = 0;
  sqlite3_stmt* stmt = prepare(s, "SELECT state FROM characters WHERE id = ?1");
  if (!stmt) return false;
  sqlite3_bind_int64(stmt, 1, character_id);
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    const void* blob = sqlite3_column_blob(stmt, 0);
    int n = sqlite3_column_bytes(stmt, 0);
    if (n > cap) {
      *size = -1;
    } else if (blob && n > 0) {
      memcpy(out, blob, (size_t)n);
      *size = n;
    }
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW;
}

bool storage_begin(Storage& s) {
  bool ok = sqlite3_exec(s.db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) report(s, "begin");
  return ok;
}

bool storage_commit(Storage& s) {
  bool ok = sqlite3_exec(s.db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) report(s, "commit");
  return ok;
}

void storage_rollback(Storage& s) {
  // Harmless when no transaction is open (a failed COMMIT may already have ended it).
  if (!sqlite3_get_autocommit(s.db)) sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool storage_save_world(Storage& s, u32 seed, int world_size, const u8* data, int size) {
  sqlite3_stmt* stmt = prepare(s, "INSERT OR REPLACE INTO world (id, seed, size, state) VALUES (1, ?1, ?2, ?3)");
  if (!stmt) return false;
  sqlite3_bind_int64(stmt, 1, seed);
  sqlite3_bind_int(stmt, 2, world_size);
  sqlite3_bind_blob(stmt, 3, data, size, SQLITE_STATIC);
  bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  if (!ok) report(s, "save world");
  sqlite3_finalize(stmt);
  return ok;
}

bool storage_load_world(Storage& s, u32 seed, int world_size, u8** out, int* size) {
  *out = nullptr;
  *size = 0;
  sqlite3_stmt* stmt = prepare(s, "SELECT seed, size, state FROM world WHERE id = 1");
  if (!stmt) return false;
  int rc = sqlite3_step(stmt);
  bool ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
  if (rc == SQLITE_ROW && sqlite3_column_int64(stmt, 0) == (s64)seed && sqlite3_column_int(stmt, 1) == world_size) {
    const void* blob = sqlite3_column_blob(stmt, 2);
    int n = sqlite3_column_bytes(stmt, 2);
    if (blob && n > 0 && (*out = (u8*)malloc((size_t)n)) != nullptr) {
      memcpy(*out, blob, (size_t)n);
      *size = n;
    }
    ok = n == 0 || *out;
  }
  sqlite3_finalize(stmt);
  return ok;
}
