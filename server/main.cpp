// valmire-server: the reference game server. Parses its flags, runs ticks until SIGINT or SIGTERM, then
// saves every character in the world; SIGHUP saves them and keeps running.
#include <signal.h>

#include "physics.hpp"
#include "server.hpp"

// The hooks the shared model calls on its host. They live beside main so that a program linking both the
// client and the server library (the tests) keeps the client's.
Location* get_location(Entity& e) { return world_location(e.location); }
bool entity_on_collision(Entity& first, Entity& second, Contact&) { return first.id != 0 && second.id != 0; }

static volatile sig_atomic_t stop_requested = 0;
static volatile sig_atomic_t save_requested = 0;

static void on_signal(int) { stop_requested = 1; }
static void on_hangup(int) { save_requested = 1; }

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  ServerOptions options;
  Text error;
  switch (server_parse_args(argc, argv, options, error)) {
    case ParseResult_Help: server_print_help(stdout); return 0;
    case ParseResult_Error: fprintf(stderr, "valmire-server: %s\n", error.cstr()); return 2;
    case ParseResult_Run: break;
  }
  if (options.create_account[0]) return server_create_account(options, stdin);
  struct sigaction action = {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = on_hangup;
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!server_init(options, error)) {
    fprintf(stderr, "valmire-server: %s\n", error.cstr());
    return 1;
  }
  server_run(&stop_requested, &save_requested);
  printf("valmire-server: stopping, saving every character in the world\n");
  server_shutdown();
  return 0;
}
