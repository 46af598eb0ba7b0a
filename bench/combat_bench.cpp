// The tick of a fighting world: 8 players who keep auto-attacking the creatures around them (and cast a
// fireball whenever it is ready) among 1 000 creatures, a third of them fierce. Reports the mean and the
// worst tick, and how much the process grew while it ran, so a long run shows whether memory stays flat.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "app/client.hpp"
#include "items.hpp"
#include "play.hpp"
#include "server.hpp"

namespace {

constexpr int FIGHTERS = 8;
constexpr int CREATURES = 1000;

long rss_kb() {
  FILE* f = fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void setup_fight() {
  load_entity_registry();
  game.location = &world.location;
  static u8 tiles[128 * 128];
  memset(tiles, TileType_Grass, sizeof(tiles));
  world_reset(128, 128, tiles);
  play_reset_fighting();
  play_reset_creatures();
  world.spawn = {2048, 2048};
  server.options.session_timeout_ms = 3600000;
  server.clock_base = time_now();
  server.monotonic_base = time_now();
  server.last_autosave = time_now();
  Text error;
  if (server.socket < 0) server.socket = udp_open("127.0.5.202", 4297, error);
  if (!server.storage.db) storage_open(server.storage, ":memory:", error);
  world.rng = 5;
  for (int p = 0; p < FIGHTERS; p++) {
    v2 centre = {600.0f + 950.0f * (f32)(p % 4), 1000.0f + 1800.0f * (f32)(p / 4)};
    Entity* player = world_enter_character(tprintf("fighter%d", p).cstr(), false, nullptr, 0);
    set_pos(*player, centre);
    Session& s = server.sessions[p];
    s = Session();
    s.active = true;
    s.address = {0x7F0005CA, (u16)(5200 + p)};  // nobody listens there
    s.last_recv = time_now();
    s.player_id = player->id;
    s.streaming = true;
  }
  const EntityType kinds[] = {Entity_skeleton, Entity_stag, Entity_frog};
  for (int i = 0; i < CREATURES; i++) {
    Entity* e = world_spawn(kinds[i % 3], {world_random_f32(64, 4032), world_random_f32(64, 4032)});
    if (e) worldgen_init_entity(*e, server_clock());
  }
}

// Keeps every fighter alive and busy: the nearest creature in sight is attacked, a fireball goes out when ready.
void keep_fighting() {
  for (int p = 0; p < FIGHTERS; p++) {
    Session& s = server.sessions[p];
    s.last_recv = time_now();
    Entity* player = world_find(s.player_id);
    if (!player || !is_alive(*player)) continue;
    player->mortal.hp.cur = player->mortal.hp.max;
    player->actor.mana.cur = player->actor.mana.max;
    if (player->actor.action.type == ActionType_CastSpell) continue;
    for (EntityIter it = locate_entities(in_radius(player, 320, player->pos)); it.entity; next(it)) {
      if (!find_thinker(*it.entity) || !is_alive(*it.entity)) continue;
      if (!spell_is_on_cooldown(player->actor, SpellType_Fireball))
        play_cast(*player, SpellType_Fireball, it.entity->id, {}, 0);
      else
        play_cast(*player, SpellType_Strike, it.entity->id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange);
      break;
    }
  }
}

void BM_ServerTickFighting(benchmark::State& state) {
  setup_fight();
  f64 update_ms = 0, worst_ms = 0;
  long rss_start = 0;
  s64 tick = 0;
  for (auto _ : state) {
    state.PauseTiming();
    keep_fighting();
    // Memory is measured once the world has settled into the fight.
    if (tick++ == 600) rss_start = rss_kb();
    state.ResumeTiming();
    server_tick();
    update_ms += to_ms(server.stats.last_update_cost);
    worst_ms = std::max(worst_ms, (f64)to_ms(server.stats.last_tick_cost));
  }
  state.counters["update_ms"] = update_ms / (f64)state.iterations();
  state.counters["worst_tick_ms"] = worst_ms;
  state.counters["rss_growth_kb"] = rss_start ? (f64)(rss_kb() - rss_start) : 0;
  state.counters["entities"] = world_entity_count();
}
// 3 600 ticks: a minute of play; --benchmark_repetitions makes a longer soak.
BENCHMARK(BM_ServerTickFighting)->Iterations(3600)->Unit(benchmark::kMillisecond);

}  // namespace
