#pragma once
// Accounts and characters in SQLite. Passwords arrive here already hashed; nothing stores them in clear.
#include "config.hpp"
#include "types.hpp"

struct sqlite3;

constexpr int CHARACTERS_PER_ACCOUNT = 4;
constexpr int PASSWORD_HASH_LEN = 128;  // crypto_pwhash_STRBYTES

struct Storage {
  sqlite3* db = nullptr;
  int lock_fd = -1;  // held while a server uses the file
};

struct CharacterSummary {
  s64 id = 0;
  char name[PLAYER_NAME_LEN] = {};
  u64 last_login = 0;  // server clock, nanoseconds
};

struct AccountRecord {
  s64 id = 0;  // 0: no such account
  char login[LOGIN_LEN] = {};
  char password_hash[PASSWORD_HASH_LEN] = {};
};

enum StorageResult {
  StorageResult_Ok = 0,
  StorageResult_Exists = 1,  // a unique login or name is taken
  StorageResult_Full = 2,    // the account already has its four characters
  StorageResult_Error = 3,
};

// `exclusive`: take the file's lock (a side file PATH.lock), so a second server on it refuses to start.
// The database itself stays readable by others, so it can be backed up while it runs.
bool storage_open(Storage& storage, const char* path, Text& error, bool exclusive = true);
void storage_close(Storage& storage);

// False only on a database error; `out.id` is 0 when the login is unknown.
bool storage_find_account(Storage& storage, const char* login, AccountRecord& out);
StorageResult storage_create_account(Storage& storage, const char* login, const char* password_hash, s64* id);
bool storage_set_password_hash(Storage& storage, s64 account_id, const char* password_hash);

// The account's characters in creation order; returns how many (at most 4), or -1 on a database error.
int storage_list_characters(Storage& storage, s64 account_id, CharacterSummary out[CHARACTERS_PER_ACCOUNT]);
StorageResult storage_create_character(Storage& storage, s64 account_id, const char* name, s64* id);
// The character of this account with that name, or 0.
s64 storage_find_character(Storage& storage, s64 account_id, const char* name);
bool storage_touch_character(Storage& storage, s64 character_id, u64 last_login);

// The saved state of a character is an opaque blob made by the world; an empty blob means "never entered".
bool storage_save_character_state(Storage& storage, s64 character_id, const u8* data, int size);
// Reads at most `cap` bytes; `size` is 0 for a character without saved state, -1 when the blob exceeds `cap`.
bool storage_load_character_state(Storage& storage, s64 character_id, u8* out, int cap, int* size);

// The changes of the world generated from (seed, size). Loading gives a malloc'd copy (null and size 0
// when none is kept for that world); false only on a database error.
bool storage_save_world(Storage& storage, u32 seed, int world_size, const u8* data, int size);
bool storage_load_world(Storage& storage, u32 seed, int world_size, u8** out, int* size);

bool storage_begin(Storage& storage);
bool storage_commit(Storage& storage);
void storage_rollback(Storage& storage);
