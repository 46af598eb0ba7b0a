#pragma once
// Command-line settings of the server.
#include "config.hpp"
#include "types.hpp"

constexpr int SERVER_ADMINS_MAX = 16;
constexpr int SERVER_DEFAULT_PORT = 4242;
constexpr int SERVER_DEFAULT_WORLD_SIZE = 128;
// The location packet carries every tile in one datagram of at most 32 768 payload bytes.
constexpr int SERVER_WORLD_SIZE_MAX = 180;
constexpr int SERVER_DEFAULT_SESSION_TIMEOUT_MS = 5000;

// How much work one password hash costs. Interactive is the real default; Low exists for tests only.
enum HashCost : u8 {
  HashCost_Low = 0,
  HashCost_Interactive = 1,
  HashCost_Moderate = 2,
};

struct ServerOptions {
  char bind[64] = "0.0.0.0";  // --dev without --bind listens on 127.0.0.1 instead
  bool bind_given = false;
  bool dev_public = false;  // --dev on an address others can reach
  u16 port = SERVER_DEFAULT_PORT;
  Path db;
  u32 seed = 1;
  bool dev = false;
  char admins[SERVER_ADMINS_MAX][LOGIN_LEN] = {};
  int nadmins = 0;
  HashCost hash_cost = HashCost_Interactive;
  int session_timeout_ms = SERVER_DEFAULT_SESSION_TIMEOUT_MS;
  int world_size = SERVER_DEFAULT_WORLD_SIZE;
  int max_ticks = 0;                    // 0: run until a signal
  int stats_seconds = 0;                // --stats: a line of tick costs this often (0: none)
  char create_account[LOGIN_LEN] = {};  // --create-account: make this account and exit
};

enum ParseResult {
  ParseResult_Run = 0,
  ParseResult_Help = 1,
  ParseResult_Error = 2,
};

// Fills `options` from argv; on an error `error` holds a one-line explanation.
ParseResult server_parse_args(int argc, const char* const* argv, ServerOptions& options, Text& error);
void server_print_help(FILE* out);
bool server_is_admin_login(const ServerOptions& options, const char* login);
bool udp_is_loopback_text(const char* ipv4);  // 127.0.0.0/8
// A login or name from outside: false when it holds a control byte (it would forge log lines).
bool text_is_printable(const char* s);
const char* hash_cost_name(HashCost cost);
