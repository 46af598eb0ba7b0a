// Start-up of the client program to the login screen: the time from launch until it reports the login
// screen, and its resident memory there. VALMIRE_CLIENT names another client program to measure against
// the one this tree builds. Run under scripts/with-xvfb.sh.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "time.hpp"
#include "types.hpp"

namespace {

// Resident kilobytes of a process, from /proc.
long resident_kb(pid_t pid) {
  char path[64], line[256];
  snprintf(path, sizeof(path), "/proc/%d/status", (int)pid);
  FILE* f = fopen(path, "r");
  if (!f) return -1;
  long kb = -1;
  while (fgets(line, sizeof(line), f)) {
    if (strncmp(line, "VmRSS:", 6) == 0) kb = atol(line + 6);
  }
  fclose(f);
  return kb;
}

struct Launch {
  f64 seconds = -1;  // to the login screen, or -1 when it never came
  long rss_kb = -1;
};

Launch launch_to_login(const char* program, const char* config) {
  Launch out;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return out;
  Time start = time_now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 2);
    close(pipe_fds[0]);
    if (chdir(VALMIRE_SOURCE_DIR) != 0) _exit(127);
    setenv("CONFIG_PATH", config, 1);
    execl(program, program, (char*)nullptr);
    _exit(127);
  }
  close(pipe_fds[1]);
  static char seen[1 << 16];
  int nseen = 0;
  const char* login = "to screen [Login]";
  while (time_since(start).ns < 60ull * 1000000000ull) {
    pollfd p = {pipe_fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    ssize_t n = read(pipe_fds[0], seen + nseen, sizeof(seen) - 1 - (size_t)nseen);
    if (n <= 0) break;
    nseen += (int)n;
    seen[nseen] = 0;
    if (strstr(seen, login)) {
      out.seconds = (f64)time_since(start).ns / 1e9;
      // The first frames of the login screen are drawn a moment after the switch is reported.
      usleep(300000);
      out.rss_kb = resident_kb(pid);
      break;
    }
    if (nseen > (int)sizeof(seen) / 2) {
      memmove(seen, seen + nseen - 256, 256);
      nseen = 256;
    }
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(pipe_fds[0]);
  return out;
}

void BM_ClientStartToLogin(benchmark::State& st) {
  if (!getenv("DISPLAY")) {
    st.SkipWithError("no display (run under scripts/with-xvfb.sh)");
    return;
  }
  const char* program = getenv("VALMIRE_CLIENT");
  if (!program) program = VALMIRE_BINARY_DIR "/valmire";
  char config[] = "/tmp/valmire-bench-config-XXXXXX";
  int fd = mkstemp(config);
  if (fd < 0) {
    st.SkipWithError("no temporary config");
    return;
  }
  const char text[] = "server_name = 127.0.0.1\nlogin = bench\n";
  if (write(fd, text, sizeof(text) - 1) != (ssize_t)sizeof(text) - 1) st.SkipWithError("config not written");
  close(fd);
  f64 seconds = 0, rss = 0;
  int n = 0;
  for (auto _ : st) {
    Launch l = launch_to_login(program, config);
    if (l.seconds < 0 || l.rss_kb < 0) {
      st.SkipWithError("the client did not reach the login screen");
      break;
    }
    seconds += l.seconds;
    rss += (f64)l.rss_kb;
    n++;
    st.SetIterationTime(l.seconds);
  }
  unlink(config);
  if (n) {
    st.counters["start_s"] = seconds / n;
    st.counters["rss_MB"] = rss / n / 1024.0;
  }
}
BENCHMARK(BM_ClientStartToLogin)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
