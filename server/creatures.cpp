// Creatures by their thinker: they wander; the fierce ones notice a player near them and attack with
// their main attack; a hurt creature turns on its attacker, or flees when it is timid or weak; one that
// keeps bumping into something steps aside. The dead are taken away and come back home later.
#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"

constexpr f32 NOTICE_RADIUS = 5 * tile_size;
constexpr f32 CHASE_RADIUS = 12 * tile_size;  // a target farther than this is given up
constexpr f32 FLEE_HP_RATIO = 0.25f;
constexpr f32 FLEE_SECONDS = 4;
constexpr f32 AVOID_SECONDS = 1;
constexpr f32 TARGET_CHECK_SECONDS = 0.5f;
constexpr f32 DEAD_BODY_SECONDS = 5;  // a dead creature lies this long before it goes
constexpr f32 RESPAWN_SECONDS = 60;
constexpr int STUCK_STEPS = 30;  // steps barely moving toward a destination before stepping aside
constexpr int RESPAWNS_MAX = 4096;

struct CreatureRule {
  EntityType type;
  bool aggressive;
  SpellType attack;
  Range damage;
  u16 level;
};

static const CreatureRule creature_rules[] = {
    {Entity_skeleton, true, SpellType_Strike, {6, 10}, 2},
    {Entity_sharky, true, SpellType_Strike, {5, 9}, 2},
    {Entity_orc, true, SpellType_StrongAttack, {6, 12}, 3},
    {Entity_blue_demon, true, SpellType_Fireball, {}, 4},
    {Entity_snake, true, SpellType_Decay, {}, 2},
    {Entity_alien, true, SpellType_IceBolt, {}, 3},
    {Entity_birb, false, SpellType_Strike, {1, 3}, 1},
    {Entity_foxogattor, true, SpellType_Strike, {8, 14}, 4},
    {Entity_buba, false, SpellType_Strike, {2, 4}, 1},
    {Entity_frog, false, SpellType_Strike, {1, 2}, 1},
    {Entity_stag, false, SpellType_StrongAttack, {5, 10}, 2},
};

static struct {
  struct Respawn {
    EntityType type;
    v2 pos;
    Time at;
  } list[RESPAWNS_MAX];
  int n;
} respawns;

static Time after(Time now, f32 seconds) { return Time{now.ns + (u64)(seconds * 1e9f)}; }

void play_creature_setup(Entity& e) {
  if (!has_component(e, Component_Thinker)) return;
  for (const CreatureRule& rule : creature_rules) {
    if (rule.type != e.type) continue;
    if (rule.aggressive) e.mortal.flags |= MortalFlag_Aggressive;
    e.thinker.main_attack = rule.attack;
    e.thinker.damage = rule.damage;
    e.level = rule.level;
  }
}

static bool aggressive(const Entity& e) {
  return has_component(e, Component_Mortal) && e.mortal.flags & MortalFlag_Aggressive;
}

static void flee_from(Entity& e, const Entity* from, Time now) {
  Thinker& t = e.thinker;
  t.activity = ThinkerActivity_Fleeing;
  t.target_id = from ? from->id : 0;
  t.next_wander_check_time = after(now, FLEE_SECONDS);
  if (e.actor.action.type != ActionType_None) play_stop_action(e);
}

void play_creature_hurt(Entity& e, Entity* attacker) {
  Thinker& t = e.thinker;
  if (t.flags & ThinkerFlag_MindContolled || !attacker) return;
  t.annoyance += 1;
  t.aggro += 1;
  bool weak = e.mortal.hp.cur < e.mortal.hp.max * FLEE_HP_RATIO;
  if (weak || !aggressive(e)) {
    flee_from(e, attacker, play_now());
  } else if (t.activity != ThinkerActivity_Attacking && play_hostile(e, *attacker)) {
    t.activity = ThinkerActivity_Attacking;
    t.target_id = attacker->id;
  }
}

void play_creature_died(Entity& e, Time now) {
  e.thinker.activity = ThinkerActivity_None;
  e.thinker.target_id = 0;
  e.thinker.next_wander_check_time = after(now, DEAD_BODY_SECONDS);
}

static Entity* nearest_player(Entity& e) {
  Entity* best = nullptr;
  f32 best_d = NOTICE_RADIUS;
  for (EntityIter it = locate_entities(in_radius(&e, NOTICE_RADIUS, e.pos)); it.entity; next(it)) {
    Entity& other = *it.entity;
    if (!is_person(other) || !is_alive(other) || (other.flags & EntityFlag_Invisible)) continue;
    f32 d = v2_len(other.pos - e.pos);
    if (d <= best_d) {
      best = &other;
      best_d = d;
    }
  }
  return best;
}

static void wander(Entity& e, Time now) {
  Thinker& t = e.thinker;
  t.activity = ThinkerActivity_Wandering;
  t.target_id = 0;
  if (now.ns < t.next_wander_check_time.ns) return;
  // A short walk to a nearby point on land, then a pause.
  if ((world_random() & 3) != 0) mover_set_dst(e.mover, world_find_land_near(e.pos, 3 * tile_size));
  t.next_wander_check_time = after(now, world_random_f32(2, 7));
}

static void think(Entity& e, Time now) {
  Thinker& t = e.thinker;
  Mover& mover = e.mover;
  // Bumping into something: a few steps aside, then back to what it was doing.
  if (t.activity == ThinkerActivity_ObstacleAvoiding) {
    if (now.ns < t.next_target_check_time.ns && has_dst(e)) return;
    t.activity = t.target_id ? ThinkerActivity_Attacking : ThinkerActivity_Wandering;
  }
  if (has_dst(e) && e.actor.action.type != ActionType_CastSpell && v2_len(mover.vel) < 0.2f * max(mover.speed, 1.0f)) {
    if (++t.collisions > STUCK_STEPS) {
      t.collisions = 0;
      t.activity = ThinkerActivity_ObstacleAvoiding;
      mover_set_dst(mover, world_find_land_near(e.pos, 2 * tile_size));
      t.next_target_check_time = after(now, AVOID_SECONDS);
      return;
    }
  } else {
    t.collisions = 0;
  }
  Entity* target = t.target_id ? world_find(t.target_id) : nullptr;
  if (t.activity == ThinkerActivity_Fleeing) {
    if (now.ns >= t.next_wander_check_time.ns) return wander(e, now);
    v2 away = target ? e.pos - target->pos : v2{cosf(mover.angle), sinf(mover.angle)};
    if (is_zero(away)) away = v2{1, 0};
    v2 to = e.pos + v2_normalized(away) * (2 * tile_size);
    mover_set_dst(mover, world_is_walkable(to) ? to : world_find_land_near(e.pos, 2 * tile_size));
    return;
  }
  if (t.activity == ThinkerActivity_Attacking) {
    // A target that went into another location (down the stairs) is out of reach, however near its spot.
    bool keep = target && play_hostile(e, *target) && !(target->flags & EntityFlag_Invisible) &&
                same_location(target->location, e.location) && v2_len(target->pos - e.pos) <= CHASE_RADIUS;
    if (!keep) {
      play_stop_action(e);
      t.aggro = 0;
      return wander(e, now);
    }
    if (e.actor.action.type != ActionType_CastSpell)
      play_cast(e, t.main_attack, target->id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange);
    return;
  }
  if (aggressive(e) && now.ns >= t.next_target_check_time.ns) {
    t.next_target_check_time = after(now, TARGET_CHECK_SECONDS);
    if (Entity* player = nearest_player(e)) {
      t.activity = ThinkerActivity_Attacking;
      t.target_id = player->id;
      play_cast(e, t.main_attack, player->id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange);
      return;
    }
  }
  wander(e, now);
}

void play_update_creatures(f32, Time now) {
  play_set_now(now);
  int n = min((int)entity_storage.nentities, ENTITIES_MAX);
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || !has_component(e, Component_Thinker) || !has_component(e, Component_Mover)) continue;
    if (has_component(e, Component_Mortal) && !is_alive(e)) {
      // Put to death some other way: it dies properly, drops and all, and lies a while.
      if (!e.mortal.death_time.ns) play_kill(e, nullptr);
      if (now.ns < e.thinker.next_wander_check_time.ns) continue;
      if (respawns.n < RESPAWNS_MAX && !is_zero(e.thinker.respawn_pos))
        respawns.list[respawns.n++] = {e.type, e.thinker.respawn_pos, after(now, RESPAWN_SECONDS)};
      world_remove(e);
      continue;
    }
    if (!has_component(e, Component_Actor) || e.thinker.flags & ThinkerFlag_MindContolled) continue;
    think(e, now);
  }
  for (int i = 0; i < respawns.n;) {
    if (now.ns < respawns.list[i].at.ns) {
      i++;
      continue;
    }
    v2 at = respawns.list[i].pos;
    if (Entity* e =
            world_spawn(respawns.list[i].type, world_is_walkable(at) ? at : world_find_land_near(at, tile_size))) {
      worldgen_init_entity(*e, now);
      e->thinker.respawn_pos = at;
    }
    respawns.list[i] = respawns.list[--respawns.n];
  }
}

void play_reset_creatures() { respawns.n = 0; }
