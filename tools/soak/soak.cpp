// valmire-soak: the real valmire-server under scripted players for minutes. Each player is a client of its
// own (the client's network layer on its own socket) that registers, creates a character and plays: it
// auto-attacks the creatures near it and throws fireballs, heals itself when low, and gathers berries and
// branches, making room in its bag as it fills. The server logs its tick costs (--stats); its memory is read
// from /proc. The run passes when everyone played, the players really fought and gathered, the server's
// memory stayed flat after a warm-up and (unless turned off) no tick cost more than the limit.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>

#include "app/client.hpp"
#include "items.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "spells.hpp"

namespace {

constexpr int BOTS_MAX = PLAYERS_MAX;
constexpr f32 THINK_SECONDS = 0.25f;
constexpr f32 RETRY_SECONDS = 3;       // a step of entering that got no answer is sent again
constexpr f32 ENTER_SECONDS_MAX = 60;  // for every player to be in the world
constexpr f32 SPELL_REACH = 300;       // fireballs go at creatures this near
constexpr f32 HEAL_BELOW = 0.4f;       // share of health under which a player heals itself
constexpr f32 WANDER_DISTANCE = 6 * tile_size;

struct Options {
  int seconds = 600;
  int bots = BOTS_MAX;
  char address[32] = "127.0.9.1";
  char server[512] = VALMIRE_BINARY_DIR "/valmire-server";
  char dir[256] = VALMIRE_BINARY_DIR;
  long growth_kib = 8192;  // allowed growth of the server's memory from the warm-up to the end
  f32 tick_limit_ms = 16;  // 0: tick costs are reported, never judged
  int min_kills = 1;       // creatures the players must kill between them
  int report_seconds = 60;
};

enum Stage { Stage_Waiting, Stage_Auth, Stage_Create, Stage_Stream, Stage_Playing };

struct Bot {
  Net link;
  char login[LOGIN_LEN] = {};
  char name[PLAYER_NAME_LEN] = {};
  Stage stage = Stage_Waiting;
  Time sent;        // when the pending step of entering went out
  Time next_think;  // plays again no earlier than this
  u64 events_seen = 0;
  Id target = 0;  // the creature it fights until it falls
  // What it did, from the events the server reported.
  int hits = 0, kills = 0, items = 0, deaths = 0, levels = 0, refusals = 0;
  int strike_level = 1, fireball_level = 1;  // as its last state showed them (an untrained spell is at 1)
};

struct Run {
  Options options;
  Bot bots[BOTS_MAX];
  Bot* current = nullptr;
  pid_t pid = 0;
  char db[300] = {};
  char log[300] = {};
  long log_offset = 0;
  // From the server's stats lines.
  u64 ticks = 0;
  f64 tick_ms_sum = 0;
  f32 tick_ms_max = 0;
  f32 tick_cpu_ms_max = 0;
  u64 ticks_late = 0;
  int entities_first = -1, entities_last = -1;
  // The server's resident memory.
  long rss_start = 0, rss_warm = 0, rss_end = 0, rss_max = 0;
};

Run run;
// The soak's own lines; standard output takes the client library's chatter and goes nowhere.
FILE* out = stdout;

u32 rng = 0x9E3779B9u;
f32 random_f32(f32 from, f32 to) {
  rng ^= rng << 13;
  rng ^= rng >> 17;
  rng ^= rng << 5;
  return from + (to - from) * (f32)(rng & 0xFFFFFF) / (f32)0x1000000;
}

f32 seconds_since(Time t) { return to_sec(time_since(t)); }

// --- the server process

long process_rss_kib(pid_t pid) {
  char path[64];
  snprintf(path, sizeof(path), "/proc/%d/statm", (int)pid);
  FILE* f = fopen(path, "r");
  long pages = 0, resident = 0;
  if (!f) return 0;
  if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool server_alive() { return run.pid > 0 && waitpid(run.pid, nullptr, WNOHANG) == 0; }

// Reads the log's new whole lines; the stats lines feed the tick figures. True when `wanted` was among them.
bool read_log(const char* wanted = nullptr) {
  FILE* f = fopen(run.log, "r");
  if (!f) return false;
  fseek(f, run.log_offset, SEEK_SET);
  bool found = false;
  char line[1024];
  while (fgets(line, sizeof(line), f)) {
    int n = (int)strlen(line);
    if (n == 0 || line[n - 1] != '\n') break;  // the rest is still being written
    run.log_offset += n;
    if (wanted && strstr(line, wanted)) found = true;
    const char* stats = strstr(line, "stats: ");
    unsigned long long ticks = 0, late = 0;
    f32 mean = 0, worst = 0, worst_cpu = 0;
    int players = 0, entities = 0;
    long rss = 0;
    if (stats && sscanf(stats,
                        "stats: %llu ticks, tick mean %f ms, max %f ms (cpu %f ms), %llu over 16 ms, %d players, "
                        "%d entities, rss %ld KiB",
                        &ticks, &mean, &worst, &worst_cpu, &late, &players, &entities, &rss) == 8) {
      run.ticks += ticks;
      run.ticks_late += late;
      run.tick_ms_sum += (f64)mean * (f64)ticks;
      if (worst > run.tick_ms_max) run.tick_ms_max = worst;
      if (worst_cpu > run.tick_cpu_ms_max) run.tick_cpu_ms_max = worst_cpu;
      if (run.entities_first < 0) run.entities_first = entities;
      run.entities_last = entities;
    }
  }
  fclose(f);
  return found;
}

bool start_server() {
  // Named by the address, so soaks on other addresses leave each other's files alone.
  snprintf(run.db, sizeof(run.db), "%s/soak-%s.db", run.options.dir, run.options.address);
  snprintf(run.log, sizeof(run.log), "%s/soak-%s.log", run.options.dir, run.options.address);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    char path[320];
    snprintf(path, sizeof(path), "%s%s", run.db, suffix);
    unlink(path);
  }
  unlink(run.log);
  const char* args[] = {run.options.server, "--bind", run.options.address, "--db", run.db,
                        "--hash-cost",      "low",    "--stats",           "1",    nullptr};
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen(run.log, "w", stdout)) _exit(127);
    dup2(fileno(stdout), 2);
    execv(args[0], (char* const*)args);
    _exit(127);
  }
  run.pid = pid;
  for (int i = 0; pid > 0 && i < 3000; i++) {
    if (read_log("listening on")) return true;
    if (!server_alive()) return false;
    usleep(10000);
  }
  return false;
}

int stop_server() {
  if (run.pid <= 0) return -1;
  kill(run.pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 3000; i++) {
    if (waitpid(run.pid, &status, WNOHANG) == run.pid) {
      run.pid = 0;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(10000);
  }
  kill(run.pid, SIGKILL);
  waitpid(run.pid, &status, 0);
  run.pid = 0;
  return -1;
}

// --- the players

// The client's network layer has one link: each player's is swapped in while it talks.
void use(Bot& b) {
  if (run.current == &b) return;
  if (run.current) run.current->link = net;
  net = b.link;
  game.player_name = b.name;
  run.current = &b;
}

void count_events(Bot& b, Entity& me) {
  u64 newest = b.events_seen;
  for (int i = 0; i < (int)entity_storage.nentities; i++) {
    Entity& e = entity_storage.entities[i];
    if (!e.id || !has_component(e, Component_Events)) continue;
    for (int k = 0; k < events_count(e.events); k++) {
      const Event& ev = e.events.events[k];
      // Ids grow with every event the server makes, so one newer than the last state's newest is new.
      if (ev.id <= b.events_seen) continue;
      if (ev.id > newest) newest = ev.id;
      if (&e != &me) {
        b.hits += ev.type == EventType_Damage && ev.damage.source_id == me.id;
        continue;
      }
      switch (ev.type) {
        case EventType_Exp: b.kills++; break;
        case EventType_LvlUp: b.levels++; break;
        case EventType_PickUp: b.items++; break;
        case EventType_Death: b.deaths++; break;
        default: break;
      }
    }
  }
  b.events_seen = newest;
}

bool is_creature(const Entity& e) {
  return has_component(e, Component_Thinker) && is_alive(e) && !(e.flags & EntityFlag_Invisible);
}

bool has_gathering(const Entity& e, ActionType& action) {
  if (has_component(e, Component_Bush) && e.bush.berries > 0)
    action = ActionType_CollectBerries;
  else if (has_component(e, Component_Tree) && e.tree.branches > 0)
    action = ActionType_SnapBranch;
  else
    return false;
  return true;
}

// Half the time a player fights, half it gathers; neighbours take turns so both go on all the while.
bool fighting_now(int index, f32 elapsed) {
  f32 period = clamp((f32)run.options.seconds / 2, 12.0f, 60.0f);
  f32 phase = fmodf(elapsed + (index % 2) * period / 2, period);
  return phase < period / 2;
}

void play(Bot& b, int index, Entity& me, f32 elapsed) {
  if (!is_alive(me)) return;
  Actor& actor = me.actor;
  // A nearly full bag gets room first: the oldest thing in it goes.
  if (Entity* bag = find_bag(me)) {
    int used = 0, slots = container_nslots(bag->container);
    Id first = 0;
    for (ItemIter it = get_items(*bag); it.entity; next(it)) {
      used++;
      if (!first) first = it.entity->id;
    }
    if (first && used >= slots - 1) {
      if (actor.action.type != ActionType_Destroy) net_send_run_action(first, ActionType_Destroy);
      return;
    }
  }
  if (me.mortal.hp.cur < me.mortal.hp.max * HEAL_BELOW && !spell_is_on_cooldown(actor, SpellType_SelfHeal) &&
      has_mana_for(actor, SpellType_SelfHeal)) {
    net_send_spell(SpellType_SelfHeal, 0, {}, false);
    return;
  }
  bool fight = fighting_now(index, elapsed);
  // The creature already being fought stays the target while it lives and is seen.
  Entity* nearest = nullptr;
  if (fight && b.target)
    for (int i = 0; i < (int)entity_storage.nentities && !nearest; i++)
      if (entity_storage.entities[i].id == b.target && is_creature(entity_storage.entities[i]))
        nearest = &entity_storage.entities[i];
  ActionType gather = ActionType_None;
  f32 best = nearest ? v2_distance(nearest->pos, me.pos) : 1e30f;
  for (int i = 0; i < (int)entity_storage.nentities && !(fight && b.target && nearest); i++) {
    Entity& e = entity_storage.entities[i];
    ActionType action = ActionType_None;
    if (!e.id || !(fight ? is_creature(e) : has_gathering(e, action))) continue;
    f32 d = v2_distance(e.pos, me.pos);
    if (d < best) {
      best = d;
      nearest = &e;
      gather = action;
    }
  }
  b.target = fight && nearest ? nearest->id : 0;
  if (!nearest) {
    if (!has_component(me, Component_Mover) || v2_len(me.mover.vel) < 1)
      net_send_vector(RequestType_SetDst, me.pos + v2{random_f32(-1, 1), random_f32(-1, 1)} * WANDER_DISTANCE);
    return;
  }
  if (fight) {
    bool attacking = actor.action.type == ActionType_CastSpell && (actor.action.flags & ActionFlag_Repeat) &&
                     actor.action.target_id == nearest->id;
    bool casting = actor.action.type == ActionType_CastSpell && !(actor.action.flags & ActionFlag_Repeat);
    if (casting) return;
    if (best < SPELL_REACH && !spell_is_on_cooldown(actor, SpellType_Fireball) &&
        actor.mana.cur >= 2 * spell_mana_cost(actor, SpellType_Fireball)) {
      net_send_spell(SpellType_Fireball, nearest->id, {}, false);
    } else if (!attacking) {
      net_send_spell(SpellType_Strike, nearest->id, {}, true);
    }
  } else if (actor.action.type != ActionType_CollectBerries && actor.action.type != ActionType_SnapBranch) {
    net_send_run_action(nearest->id, gather);
  }
}

// Registers, creates the character and starts its stream, one step at a time; a step without an answer
// is sent again.
void enter_step(Bot& b) {
  switch (b.stage) {
    case Stage_Waiting:
    case Stage_Playing: return;
    case Stage_Auth: net_send_auth(RequestType_Register, b.login, "soak password"); break;
    case Stage_Create: net_send_create_player(b.name); break;
    case Stage_Stream: net_send_start_state_updates(); break;
  }
  b.sent = time_now();
}

void begin(Bot& b) {
  use(b);
  net = Net();
  net_connect(run.options.address);
  b.stage = Stage_Auth;
  enter_step(b);
}

// Reads what arrived for one player and acts on it.
void pump(Bot& b, int index, f32 elapsed) {
  use(b);
  for (int n = 0; n < NET_DATAGRAMS_PER_FRAME; n++) {
    NetResult r = net_receive(net_location());
    if (r == NetResult_None) break;
    if (r == NetResult_Err) {
      b.refusals++;
      // An earlier try made it and its answer was lost: log in instead, or go on to the world.
      if (b.stage == Stage_Auth && net.last_error.code == ErrorCode_LoginAlreadyExists) {
        net_send_auth(RequestType_Login, b.login, "soak password");
      } else if (b.stage == Stage_Create && net.last_error.code == ErrorCode_NameAlreadyExists) {
        b.stage = Stage_Stream;
        enter_step(b);
      }
      continue;
    }
    if (r == NetResult_Lobby && b.stage == Stage_Auth) {
      b.stage = Stage_Create;
      enter_step(b);
    } else if (r == NetResult_Lobby && b.stage == Stage_Create) {
      b.stage = Stage_Stream;
      enter_step(b);
    } else if (r == NetResult_Ok && game.player) {
      if (b.stage == Stage_Stream) b.stage = Stage_Playing;
      count_events(b, *game.player);
      b.strike_level = max(game.player->actor.spellset[SpellType_Strike].level, 1);
      b.fireball_level = max(game.player->actor.spellset[SpellType_Fireball].level, 1);
      if (time_now().ns >= b.next_think.ns) {
        play(b, index, *game.player, elapsed);
        b.next_think = time_now() + Duration{(u64)(THINK_SECONDS * 1e9f)};
      }
    }
  }
  if (b.stage != Stage_Waiting && b.stage != Stage_Playing && seconds_since(b.sent) > RETRY_SECONDS) enter_step(b);
  if (b.stage != Stage_Waiting && time_since(net.last_sent_time) > HEARTBEAT_INTERVAL) net_send_heartbeat();
}

void print_usage() {
  printf(
      "Usage: valmire-soak [options]\n"
      "Runs valmire-server with scripted players fighting and gathering, then prints what happened.\n"
      "  --seconds N        how long the players play (default 600)\n"
      "  --clients N        players, 1 to 8 (default 8)\n"
      "  --address A        loopback address the server listens on, port 4242 (default 127.0.9.1)\n"
      "  --server PATH      the server program (default the build's)\n"
      "  --dir PATH         where the database and the server's log go (default the build folder)\n"
      "  --growth-kib N     allowed growth of the server's memory from the warm-up to the end (default 8192)\n"
      "  --tick-limit-ms X  the worst tick allowed; 0 reports ticks without judging them (default 16)\n"
      "  --min-kills N      creatures the players must kill between them (default 1)\n"
      "  --report N         a progress line every N seconds (default 60)\n");
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; i++) {
    const char* flag = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    i++;
    if (cstr_equal(flag, "--seconds"))
      o.seconds = atoi(value);
    else if (cstr_equal(flag, "--clients"))
      o.bots = atoi(value);
    else if (cstr_equal(flag, "--address"))
      cstr_copy(o.address, value, (int)sizeof(o.address));
    else if (cstr_equal(flag, "--server"))
      cstr_copy(o.server, value, (int)sizeof(o.server));
    else if (cstr_equal(flag, "--dir"))
      cstr_copy(o.dir, value, (int)sizeof(o.dir));
    else if (cstr_equal(flag, "--growth-kib"))
      o.growth_kib = atol(value);
    else if (cstr_equal(flag, "--tick-limit-ms"))
      o.tick_limit_ms = (f32)atof(value);
    else if (cstr_equal(flag, "--report"))
      o.report_seconds = atoi(value);
    else if (cstr_equal(flag, "--min-kills"))
      o.min_kills = atoi(value);
    else
      return false;
  }
  return o.seconds > 0 && o.bots >= 1 && o.bots <= BOTS_MAX && o.growth_kib >= 0 && o.report_seconds > 0 &&
         o.min_kills >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options& o = run.options;
  bool help = argc > 1 && (cstr_equal(argv[1], "--help") || cstr_equal(argv[1], "-h"));
  if (help || !parse(argc, argv, o)) {
    print_usage();
    return help ? 0 : 2;
  }
  signal(SIGPIPE, SIG_IGN);
  int own = dup(1);
  out = own >= 0 ? fdopen(own, "w") : nullptr;
  if (!out || !freopen("/dev/null", "w", stdout)) return 1;
  setvbuf(out, nullptr, _IOLBF, 0);
  load_entity_registry();
  game.config.server_timeout_ms = 1000;
  game.screen = Screen_Loading;  // the client takes state packets from here on
  if (!start_server()) {
    fprintf(out, "soak: FAIL: the server did not start (see %s)\n", run.log);
    stop_server();
    return 1;
  }
  fprintf(out, "soak: %d players for %d s against %s on %s (log %s)\n", o.bots, o.seconds, o.server, o.address,
          run.log);
  for (int i = 0; i < o.bots; i++) {
    snprintf(run.bots[i].login, LOGIN_LEN, "soak%d", i + 1);
    snprintf(run.bots[i].name, PLAYER_NAME_LEN, "Soak%d", i + 1);
  }

  // Into the world one after another: logins from one address share a small pool.
  Time entering = time_now();
  int next = 0;
  bool all_in = false;
  while (!all_in && seconds_since(entering) < ENTER_SECONDS_MAX && server_alive()) {
    if (next < o.bots && (next == 0 || run.bots[next - 1].stage == Stage_Playing)) begin(run.bots[next++]);
    all_in = true;
    for (int i = 0; i < next; i++) {
      pump(run.bots[i], i, 0);
      all_in = all_in && run.bots[i].stage == Stage_Playing;
    }
    all_in = all_in && next == o.bots;
    usleep(1000);
  }
  if (!all_in) {
    for (int i = 0; i < o.bots; i++) fprintf(out, "soak: %s: stage %d\n", run.bots[i].name, (int)run.bots[i].stage);
    fprintf(out, "soak: FAIL: not every player got into the world in %.0f s\n", ENTER_SECONDS_MAX);
    stop_server();
    return 1;
  }
  fprintf(out, "soak: every player is in the world after %.1f s\n", seconds_since(entering));

  Time start = time_now();
  run.rss_start = run.rss_max = process_rss_kib(run.pid);
  f32 warm_at = (f32)o.seconds / 4;
  Time last_sample = start, last_report = start;
  bool died = false;
  while (seconds_since(start) < (f32)o.seconds) {
    f32 elapsed = seconds_since(start);
    for (int i = 0; i < o.bots; i++) pump(run.bots[i], i, elapsed);
    if (seconds_since(last_sample) >= 1) {
      last_sample = time_now();
      if (!server_alive()) {
        died = true;
        break;
      }
      long rss = process_rss_kib(run.pid);
      if (rss > run.rss_max) run.rss_max = rss;
      if (!run.rss_warm && elapsed >= warm_at) run.rss_warm = rss;
      run.rss_end = rss;
      read_log();
    }
    if (seconds_since(last_report) >= (f32)o.report_seconds) {
      last_report = time_now();
      int hits = 0, kills = 0, items = 0;
      for (int i = 0; i < o.bots; i++) {
        hits += run.bots[i].hits;
        kills += run.bots[i].kills;
        items += run.bots[i].items;
      }
      fprintf(
          out, "soak: %.0f s: %llu ticks, max tick %.2f ms, rss %ld KiB, %d entities, %d hits, %d kills, %d items\n",
          elapsed, (unsigned long long)run.ticks, run.tick_ms_max, run.rss_end, run.entities_last, hits, kills, items);
    }
    usleep(500);
  }
  for (int i = 0; i < o.bots; i++) {
    use(run.bots[i]);
    net_send_disconnect();
  }
  f32 played = seconds_since(start);
  int status = died ? -1 : stop_server();
  read_log();

  fprintf(out, "\nsoak summary: %d players, %.0f s\n", o.bots, played);
  fprintf(out, "  %-8s %6s %6s %6s %6s %6s %8s  %s\n", "player", "hits", "kills", "items", "deaths", "levels",
          "refusals", "spell levels: strike, fireball");
  int hits = 0, kills = 0, items = 0, deaths = 0, idle = 0;
  for (int i = 0; i < o.bots; i++) {
    Bot& b = run.bots[i];
    fprintf(out, "  %-8s %6d %6d %6d %6d %6d %8d  %d, %d\n", b.name, b.hits, b.kills, b.items, b.deaths, b.levels,
            b.refusals, b.strike_level, b.fireball_level);
    hits += b.hits;
    kills += b.kills;
    items += b.items;
    deaths += b.deaths;
    idle += b.hits == 0 && b.items == 0;
  }
  fprintf(out, "  all      %6d %6d %6d %6d\n", hits, kills, items, deaths);
  f64 mean = run.ticks ? run.tick_ms_sum / (f64)run.ticks : 0;
  // The most CPU time a tick took, beside the worst wall time, tells a slow server from a busy host.
  fprintf(out, "  ticks: %llu, mean %.3f ms, max %.3f ms (at most %.3f ms of CPU time), %llu over 16 ms\n",
          (unsigned long long)run.ticks, mean, run.tick_ms_max, run.tick_cpu_ms_max,
          (unsigned long long)run.ticks_late);
  long growth = run.rss_end - (run.rss_warm ? run.rss_warm : run.rss_start);
  fprintf(
      out,
      "  server memory: %ld KiB at start, %ld KiB after the warm-up (%.0f s), %ld KiB at the end, %ld KiB at most\n",
      run.rss_start, run.rss_warm, warm_at, run.rss_end, run.rss_max);
  fprintf(out, "  entities in the world: %d at start, %d at the end\n", run.entities_first, run.entities_last);

  int failures = 0;
  auto verdict = [&](bool ok, const char* what) {
    fprintf(out, "  %s: %s\n", ok ? "ok" : "FAILED", what);
    failures += !ok;
  };
  verdict(!died && status == 0, "the server ran to the end and stopped cleanly");
  verdict(run.ticks > 0, "the server reported its ticks");
  verdict(idle == 0, "every player hit a creature or gathered something");
  verdict(hits > 0, "the players hurt creatures");
  verdict(kills >= o.min_kills, tprintf("the players killed at least %d creatures", o.min_kills).cstr());
  verdict(items > 0, "the players gathered items");
  verdict(run.rss_end > 0 && growth <= o.growth_kib,
          tprintf("server memory grew %ld KiB after the warm-up (allowed %ld)", growth, o.growth_kib).cstr());
  if (o.tick_limit_ms > 0)
    verdict(run.tick_ms_max <= o.tick_limit_ms, tprintf("no tick over %.0f ms", o.tick_limit_ms).cstr());
  fprintf(out, "soak: %s\n", failures ? "FAIL" : "PASS");
  return failures ? 1 : 0;
}
