// Hostile model files: mutated copies of a real asset either load or stop with the loader's own message;
// none may crash, read out of bounds or hang. Each load runs in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "render/model.hpp"
#include "test_files.hpp"

namespace {

struct Outcome {
  bool loaded = false;
  bool stopped = false;  // the loader's controlled stop: a PANIC or assertion line, then the trap
  std::string detail;
};

Outcome load_in_child(const std::string& dir, const char* file) {
  char log[] = "/tmp/valmire-mutant-log-XXXXXX";
  int fd = mkstemp(log);
  Outcome o;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fd, 2);
    dup2(fd, 1);
    alarm(20);
    Model m = load_model_ex(dir.c_str(), file, false);
    free_model(m);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::string text;
  char buf[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buf, sizeof(buf))) > 0;) text.append(buf, (size_t)n);
  close(fd);
  unlink(log);
  bool our_message = text.find("PANIC: ") != std::string::npos || text.find("Assertion '") != std::string::npos;
  bool sanitizer = text.find("Sanitizer") != std::string::npos || text.find("runtime error") != std::string::npos;
  o.loaded = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !sanitizer;
  o.stopped = WIFSIGNALED(status) && WTERMSIG(status) == SIGILL && our_message && !sanitizer;
  o.detail = "status " + std::to_string(status) + ": " + text.substr(0, 400);
  return o;
}

std::vector<u8> read_all(const std::string& path) {
  Buffer b = read_file(path.c_str());
  std::vector<u8> v(b.data, b.data + (b.data ? b.size : 0));
  buffer_free(&b);
  return v;
}

u32 next(u32& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed >> 8;
}

}  // namespace

TEST(ModelMutations, MutatedCharacterLoadsOrStopsCleanly) {
  std::string source = std::string(VALMIRE_SOURCE_DIR) + "/assets/character.glb";
  std::vector<u8> original = read_all(source);
  if (original.empty()) GTEST_SKIP() << "assets not generated";
  ASSERT_GT(original.size(), 20u);
  u32 json_len = original[12] | original[13] << 8 | original[14] << 16 | (u32)original[15] << 24;
  ASSERT_LT(20 + json_len, original.size());
  TempDir folder;
  const std::string& dir = folder.path;
  ASSERT_FALSE(dir.empty());
  u32 seed = 12345;
  int loaded = 0, stopped = 0;
  for (int round = 0; round < 120; round++) {
    std::vector<u8> m = original;
    int edits = 1 + (int)(next(seed) % 3);
    for (int e = 0; e < edits; e++) {
      if (round % 3 != 2) {
        // A digit of the JSON for another: the document stays valid while an index, count or offset changes.
        for (int tries = 0; tries < 64; tries++) {
          size_t at = 20 + next(seed) % json_len;
          if (m[at] >= '0' && m[at] <= '9') {
            m[at] = (u8)('0' + next(seed) % 10);
            break;
          }
        }
      } else {
        // A byte of the binary chunk: vertex data, keys, indices or the embedded image.
        size_t at = 20 + json_len + 8 + next(seed) % (original.size() - 28 - json_len);
        m[at] ^= (u8)(1 + next(seed) % 255);
      }
    }
    ASSERT_TRUE(write_text(dir + "/mutant.glb", std::string(m.begin(), m.end())));
    Outcome o = load_in_child(dir, "mutant.glb");
    EXPECT_TRUE(o.loaded || o.stopped) << "round " << round << ": " << o.detail;
    loaded += o.loaded, stopped += o.stopped;
  }
  // Both kinds of outcome occur, or the mutations were not reaching the loader.
  EXPECT_GT(loaded, 0);
  EXPECT_GT(stopped, 0);
}
