// Password hashing on one worker thread. Only copies of the inputs cross threads; passwords are wiped after use.
#include "pwhash.hpp"

#include <sodium.h>

#include <condition_variable>
#include <mutex>
#include <thread>

static_assert(crypto_pwhash_STRBYTES <= PASSWORD_HASH_LEN);

static void limits(HashCost cost, unsigned long long& ops, size_t& mem) {
  switch (cost) {
    case HashCost_Low:
      ops = crypto_pwhash_OPSLIMIT_MIN;
      mem = crypto_pwhash_MEMLIMIT_MIN;
      break;
    case HashCost_Moderate:
      ops = crypto_pwhash_OPSLIMIT_MODERATE;
      mem = crypto_pwhash_MEMLIMIT_MODERATE;
      break;
    default:
      ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
      mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
      break;
  }
}

bool pwhash_init() { return sodium_init() >= 0; }

bool pwhash_hash(HashCost cost, const char* password, char out[PASSWORD_HASH_LEN]) {
  unsigned long long ops;
  size_t mem;
  limits(cost, ops, mem);
  memset(out, 0, PASSWORD_HASH_LEN);
  return crypto_pwhash_str(out, password, strnlen(password, PASSWORD_LEN), ops, mem) == 0;
}

bool pwhash_verify(const char* hash, const char* password) {
  if (strnlen(hash, PASSWORD_HASH_LEN) >= (size_t)crypto_pwhash_STRBYTES) return false;
  return crypto_pwhash_str_verify(hash, password, strnlen(password, PASSWORD_LEN)) == 0;
}

bool pwhash_is_weaker(const char* hash, HashCost cost) {
  unsigned long long ops;
  size_t mem;
  limits(cost, ops, mem);
  // "$argon2id$v=19$m=<KiB>,t=<passes>,p=<lanes>$salt$hash"
  const char* m = strstr(hash, "$m=");
  const char* t = strstr(hash, ",t=");
  if (!m || !t) return true;
  unsigned long long kib = strtoull(m + 3, nullptr, 10), passes = strtoull(t + 3, nullptr, 10);
  return kib * 1024ull < (unsigned long long)mem || passes < ops;
}

static struct {
  std::mutex mutex;
  std::condition_variable wake;
  std::thread thread;
  bool running = false;
  bool stop = false;
  HashCost cost = HashCost_Interactive;
  PwhashJob jobs[PWHASH_QUEUE_MAX];
  int njobs = 0;  // waiting, in order
  int busy = 0;   // taken by the worker, not answered yet
  PwhashResult results[PWHASH_QUEUE_MAX];
  int nresults = 0;
} worker;

static void worker_main() {
  std::unique_lock<std::mutex> lock(worker.mutex);
  while (true) {
    worker.wake.wait(lock, [] { return worker.stop || worker.njobs > 0; });
    if (worker.stop) return;
    PwhashJob job = worker.jobs[0];
    memmove(&worker.jobs[0], &worker.jobs[1], sizeof(PwhashJob) * (size_t)(worker.njobs - 1));
    worker.njobs--;
    sodium_memzero(&worker.jobs[worker.njobs], sizeof(PwhashJob));
    worker.busy++;
    HashCost cost = worker.cost;
    lock.unlock();

    PwhashResult result;
    result.ticket = job.ticket;
    if (job.type == PwhashJob_Hash) {
      result.ok = pwhash_hash(cost, job.password, result.hash);
    } else {
      result.ok = pwhash_verify(job.hash, job.password);
      if (result.ok && pwhash_is_weaker(job.hash, cost)) result.rehashed = pwhash_hash(cost, job.password, result.hash);
    }
    sodium_memzero(&job, sizeof(job));

    lock.lock();
    worker.busy--;
    // Results never outnumber the queue: a job holds its place until its result is polled.
    worker.results[worker.nresults++] = result;
  }
}

void pwhash_worker_start(HashCost cost) {
  if (worker.running) return;
  worker.cost = cost;
  worker.stop = false;
  worker.njobs = worker.busy = worker.nresults = 0;
  worker.thread = std::thread(worker_main);
  worker.running = true;
}

void pwhash_worker_stop() {
  if (!worker.running) return;
  {
    std::lock_guard<std::mutex> lock(worker.mutex);
    worker.stop = true;
  }
  worker.wake.notify_one();
  worker.thread.join();
  sodium_memzero(worker.jobs, sizeof(worker.jobs));
  worker.njobs = worker.busy = worker.nresults = 0;
  worker.running = false;
}

bool pwhash_submit(const PwhashJob& job) {
  {
    std::lock_guard<std::mutex> lock(worker.mutex);
    if (!worker.running || worker.njobs + worker.busy + worker.nresults >= PWHASH_QUEUE_MAX) return false;
    worker.jobs[worker.njobs++] = job;
  }
  worker.wake.notify_one();
  return true;
}

bool pwhash_poll(PwhashResult& result) {
  std::lock_guard<std::mutex> lock(worker.mutex);
  if (worker.nresults == 0) return false;
  result = worker.results[0];
  memmove(&worker.results[0], &worker.results[1], sizeof(PwhashResult) * (size_t)(worker.nresults - 1));
  worker.nresults--;
  return true;
}

int pwhash_pending() {
  std::lock_guard<std::mutex> lock(worker.mutex);
  return worker.njobs + worker.busy + worker.nresults;
}
