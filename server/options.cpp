// Command-line parsing of the server. Every value is checked: a bad flag stops start-up with a message.
#include "options.hpp"

#include <errno.h>

static const char* const help_text =
    "Usage: valmire-server [options]\n"
    "\n"
    "The reference game server: accounts, characters, the world and its snapshots over UDP.\n"
    "\n"
    "Options:\n"
    "  --bind ADDRESS         IPv4 address to listen on (default 0.0.0.0; 127.0.0.1 with --dev)\n"
    "  --port N               UDP port (default 4242)\n"
    "  --db PATH              SQLite database file, created when missing (default valmire.db)\n"
    "  --seed N               world generation seed (default 1)\n"
    "  --world-size N         world width and height in tiles, 32..180 (default 128): the tiles\n"
    "                         travel in one datagram\n"
    "  --dev                  accept any login and password; a missing account is created on first login;\n"
    "                         listens on loopback only\n"
    "  --dev-public           let --dev listen on a --bind address that is not loopback\n"
    "  --admin LOGIN          give the characters of this account admin rights (repeatable); the\n"
    "                         account is made with --create-account, never by registering\n"
    "  --create-account LOGIN make an account in --db with the password read from standard input, and exit\n"
    "  --hash-cost LEVEL      password hashing cost: interactive (default), moderate, or low;\n"
    "                         low is libsodium's minimum and is meant for automated tests only\n"
    "  --session-timeout MS   end a session after this much silence (default 5000)\n"
    "  --ticks N              stop after N ticks (default: run until SIGINT or SIGTERM)\n"
    "  --stats SECONDS        log the ticks of every such interval: their count, mean and worst\n"
    "                         cost (and the most CPU time one took), how many took over 16 ms, the players\n"
    "                         and entities in the world, and the server's memory\n"
    "  --help                 print this text and exit\n";

void server_print_help(FILE* out) { fputs(help_text, out); }

const char* hash_cost_name(HashCost cost) {
  switch (cost) {
    case HashCost_Low: return "low";
    case HashCost_Interactive: return "interactive";
    case HashCost_Moderate: return "moderate";
  }
  return "???";
}

static bool parse_int(const char* s, long lo, long hi, long& out) {
  if (!s || !*s) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(s, &end, 10);
  if (errno || *end || v < lo || v > hi) return false;
  out = v;
  return true;
}

static bool is_ipv4(const char* s) {
  int parts = 0;
  while (*s) {
    int digits = 0, value = 0;
    while (*s >= '0' && *s <= '9') {
      value = value * 10 + (*s - '0');
      if (++digits > 3) return false;
      s++;
    }
    if (digits == 0 || value > 255) return false;
    parts++;
    if (*s == '.') {
      s++;
      if (!*s) return false;
    } else if (*s) {
      return false;
    }
  }
  return parts == 4;
}

ParseResult server_parse_args(int argc, const char* const* argv, ServerOptions& o, Text& error) {
  path_set(o.db, "valmire.db");
  for (int i = 1; i < argc; i++) {
    const char* flag = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    if (cstr_equal(flag, "--help") || cstr_equal(flag, "-h")) return ParseResult_Help;
    if (cstr_equal(flag, "--dev")) {
      o.dev = true;
      continue;
    }
    if (cstr_equal(flag, "--dev-public")) {
      o.dev_public = true;
      continue;
    }
    // Every other flag takes one value.
    bool known = cstr_equal(flag, "--bind") || cstr_equal(flag, "--port") || cstr_equal(flag, "--db") ||
                 cstr_equal(flag, "--seed") || cstr_equal(flag, "--admin") || cstr_equal(flag, "--hash-cost") ||
                 cstr_equal(flag, "--session-timeout") || cstr_equal(flag, "--ticks") || cstr_equal(flag, "--stats") ||
                 cstr_equal(flag, "--world-size") || cstr_equal(flag, "--create-account");
    if (!known) {
      error = tprintf("unknown option '%.100s' (see --help)", flag);
      return ParseResult_Error;
    }
    if (!value) {
      error = tprintf("option %s needs a value", flag);
      return ParseResult_Error;
    }
    i++;
    if (cstr_equal(flag, "--bind")) {
      if (!is_ipv4(value)) {
        error = tprintf("--bind needs a dotted IPv4 address, got '%.64s'", value);
        return ParseResult_Error;
      }
      cstr_copy(o.bind, value, (int)sizeof(o.bind));
      o.bind_given = true;
    } else if (cstr_equal(flag, "--port")) {
      if (!parse_int(value, 1, 65535, n)) {
        error = tprintf("--port needs a number from 1 to 65535, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.port = (u16)n;
    } else if (cstr_equal(flag, "--db")) {
      if (!*value || strlen(value) >= sizeof(o.db.buffer)) {
        error = Text("--db needs a path shorter than 256 characters");
        return ParseResult_Error;
      }
      path_set(o.db, value);
    } else if (cstr_equal(flag, "--seed")) {
      if (!parse_int(value, 0, 0xFFFFFFFFl, n)) {
        error = tprintf("--seed needs a number from 0 to 4294967295, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.seed = (u32)n;
    } else if (cstr_equal(flag, "--world-size")) {
      if (!parse_int(value, 32, SERVER_WORLD_SIZE_MAX, n)) {
        error = tprintf("--world-size needs a number from 32 to 180, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.world_size = (int)n;
    } else if (cstr_equal(flag, "--admin")) {
      if (!*value || strlen(value) >= LOGIN_LEN) {
        error = tprintf("--admin needs a login of 1 to %d characters", LOGIN_LEN - 1);
        return ParseResult_Error;
      }
      if (o.nadmins >= SERVER_ADMINS_MAX) {
        error = tprintf("at most %d --admin options", SERVER_ADMINS_MAX);
        return ParseResult_Error;
      }
      cstr_copy(o.admins[o.nadmins++], value, LOGIN_LEN);
    } else if (cstr_equal(flag, "--create-account")) {
      if (strlen(value) < 3 || strlen(value) >= LOGIN_LEN || !text_is_printable(value)) {
        error = tprintf("--create-account needs a login of 3 to %d printable characters", LOGIN_LEN - 1);
        return ParseResult_Error;
      }
      cstr_copy(o.create_account, value, LOGIN_LEN);
    } else if (cstr_equal(flag, "--hash-cost")) {
      if (cstr_equal(value, "low"))
        o.hash_cost = HashCost_Low;
      else if (cstr_equal(value, "interactive"))
        o.hash_cost = HashCost_Interactive;
      else if (cstr_equal(value, "moderate"))
        o.hash_cost = HashCost_Moderate;
      else {
        error = tprintf("--hash-cost is low, interactive or moderate, got '%.64s'", value);
        return ParseResult_Error;
      }
    } else if (cstr_equal(flag, "--session-timeout")) {
      if (!parse_int(value, 100, 3600000, n)) {
        error = tprintf("--session-timeout needs milliseconds from 100 to 3600000, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.session_timeout_ms = (int)n;
    } else if (cstr_equal(flag, "--ticks")) {
      if (!parse_int(value, 1, 0x7FFFFFFF, n)) {
        error = tprintf("--ticks needs a positive number, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.max_ticks = (int)n;
    } else if (cstr_equal(flag, "--stats")) {
      if (!parse_int(value, 1, 3600, n)) {
        error = tprintf("--stats needs seconds from 1 to 3600, got '%.64s'", value);
        return ParseResult_Error;
      }
      o.stats_seconds = (int)n;
    }
  }
  // Any password opens a --dev server: by default only this machine can reach it.
  if (o.dev && !o.bind_given) cstr_copy(o.bind, "127.0.0.1", (int)sizeof(o.bind));
  if (o.dev && !o.dev_public && !udp_is_loopback_text(o.bind)) {
    error = tprintf(
        "--dev accepts any password: it listens on a loopback address unless --dev-public is given "
        "too (got --bind %.64s)",
        o.bind);
    return ParseResult_Error;
  }
  if (o.dev_public && !o.dev) {
    error = Text("--dev-public only goes with --dev");
    return ParseResult_Error;
  }
  return ParseResult_Run;
}

bool udp_is_loopback_text(const char* ipv4) { return strncmp(ipv4, "127.", 4) == 0; }

bool text_is_printable(const char* s) {
  for (; *s; s++)
    if ((u8)*s < 0x20 || *s == 0x7F) return false;
  return true;
}

bool server_is_admin_login(const ServerOptions& options, const char* login) {
  for (int i = 0; i < options.nadmins; i++)
    if (cstr_equal(options.admins[i], login)) return true;
  return false;
}
