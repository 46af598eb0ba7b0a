#pragma once
// Salted slow password hashes (libsodium's crypto_pwhash), computed off the tick thread.
// An interactive hash costs about 100 ms here; done inline it would stall every player's snapshots.
#include "config.hpp"
#include "options.hpp"
#include "storage.hpp"
#include "types.hpp"

constexpr int PWHASH_QUEUE_MAX = 16;

enum PwhashJobType : u8 {
  PwhashJob_Hash = 0,    // make a new hash of `password`
  PwhashJob_Verify = 1,  // check `password` against `hash`
};

struct PwhashJob {
  u64 ticket = 0;  // the caller's key for the answer
  PwhashJobType type = PwhashJob_Hash;
  char password[PASSWORD_LEN] = {};
  char hash[PASSWORD_HASH_LEN] = {};
};

struct PwhashResult {
  u64 ticket = 0;
  bool ok = false;        // hashed, or the password matched
  bool rehashed = false;  // matched a hash weaker than today's cost: `hash` is a new one to store
  char hash[PASSWORD_HASH_LEN] = {};
};

bool pwhash_init();  // libsodium start-up; false when it cannot run
bool pwhash_hash(HashCost cost, const char* password, char out[PASSWORD_HASH_LEN]);
bool pwhash_verify(const char* hash, const char* password);
// True when `hash` was made with less memory or fewer passes than `cost` asks for (or cannot be read).
bool pwhash_is_weaker(const char* hash, HashCost cost);

// The worker: one thread, a bounded queue in each direction.
void pwhash_worker_start(HashCost cost);
void pwhash_worker_stop();
bool pwhash_submit(const PwhashJob& job);  // false when the queue is full: the caller answers "busy"
bool pwhash_poll(PwhashResult& result);
int pwhash_pending();
