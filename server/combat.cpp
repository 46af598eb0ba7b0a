// Fighting: casts with their approach, wind-up, mana and cooldown; what each spell does on release;
// flying missiles; damage, healing and timed effects; regeneration; death, corpses and respawn;
// experience and levels. Everything runs on the step's clock, so a step is the same whenever it runs.
#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"
#include "spells.hpp"

constexpr Range FIST_DAMAGE = {2, 6};
constexpr f32 STRENGTH_DAMAGE = 0.2f;  // melee damage a point of strength adds
constexpr f32 INTELLECT_POWER = 0.2f;  // spell power a point of intellect adds
constexpr f32 LEVEL_POWER = 0.1f;      // each level above the first adds this share
// A spell's own level adds this share a level above the first. Cost, cooldown and wind-up stay the table's:
// the client decides from them alone whether a cast may start.
constexpr f32 SPELL_LEVEL_POWER = 0.15f;
constexpr int SPELL_LEVEL_MAX = 20;
constexpr f32 RAGE_FACTOR = 1.5f;
constexpr f32 SPRINT_FACTOR = 1.6f;
constexpr f32 FROZEN_FACTOR = 0.5f;
constexpr f32 WANDER_FACTOR = 0.5f;  // creatures stroll at half speed
constexpr f32 AREA_RADIUS = 3 * tile_size;
constexpr f32 DASH_DISTANCE = 3 * tile_size;
constexpr f32 MISSILE_SPEED = 480;
constexpr f32 MISSILE_HIT_RADIUS = 8;
constexpr f32 APPROACH_SECONDS_MAX = 10;
constexpr f32 HP_REGEN = 1;  // a second, for the living out of a fight
constexpr f32 MANA_REGEN = 2;
constexpr f32 RESPAWN_SECONDS = 5;
constexpr f32 XP_PER_HP = 0.2f;  // experience for a kill, per hit point of the creature and level
constexpr int MISSILES_MAX = 1024;
// What a creature leaves and nobody takes rots away, or a long-running world would fill its pool (and its
// save) with meat and bones; past this many untaken, the oldest goes early.
constexpr f32 DROP_ROT_SECONDS = 300;
constexpr int DROPS_MAX = 4096;
// Action custom flags of a cast.
constexpr u32 CAST_WALKING = 1;  // walking into reach
constexpr u32 CAST_WAITING = 2;  // a repeat waits for the cooldown

enum SpellForm : u8 { Form_Melee, Form_Sweep, Form_Missile, Form_Targeted, Form_Area, Form_Self, Form_Dash };

// What a spell does on release. `power` multiplies the weapon for blows; for the others it is the amount,
// and for timed effects the amount a second.
struct SpellRule {
  SpellForm form;
  bool harms;
  Range power;
  EffectType effect;
  f32 effect_seconds;
};

static const SpellRule spell_rules[SpellType_count] = {
    /* Strike        */ {Form_Melee, true, {1, 1}, EffectType_None, 0},
    /* StrongAttack  */ {Form_Melee, true, {2, 2}, EffectType_None, 0},
    /* CycloneSlash  */ {Form_Sweep, true, {1.5f, 1.5f}, EffectType_None, 0},
    /* Fireball      */ {Form_Missile, true, {18, 26}, EffectType_None, 0},
    /* IceBolt       */ {Form_Missile, true, {10, 14}, EffectType_Frozen, 3},
    /* Burn          */ {Form_Targeted, true, {4, 4}, EffectType_Damage, 5},
    /* Heal          */ {Form_Targeted, false, {30, 40}, EffectType_None, 0},
    /* SelfHeal      */ {Form_Self, false, {20, 25}, EffectType_None, 0},
    /* AoeHeal       */ {Form_Area, false, {20, 30}, EffectType_None, 0},
    /* AoeBlast      */ {Form_Area, true, {20, 30}, EffectType_None, 0},
    /* Sprint        */ {Form_Self, false, {0, 0}, EffectType_Sprint, 6},
    /* Dash          */ {Form_Dash, false, {0, 0}, EffectType_None, 0},
    /* Rage          */ {Form_Self, false, {0, 0}, EffectType_Rage, 8},
    /* Rejuvenation  */ {Form_Targeted, false, {5, 5}, EffectType_Heal, 6},
    /* Decay         */ {Form_Targeted, true, {5, 5}, EffectType_Poisoned, 6},
};

struct Missile {
  Id id;
  v2 dir;
  f32 left;  // distance it may still fly
};

struct Drop {
  Id id;
  v2 pos;  // where it fell: one moved since was taken, and is no longer the world's to clear
  Time at;
};

static struct {
  Time now;
  Missile missiles[MISSILES_MAX];
  int nmissiles;
  f32 second;             // time toward the next once-a-second pass
  Drop drops[DROPS_MAX];  // a ring, oldest first
  int first_drop, ndrops;
} fight;

Time play_now() { return fight.now.ns ? fight.now : server_clock(); }
void play_set_now(Time now) { fight.now = now; }

static f32 seconds_since(Time then) { return (f32)((f64)(s64)(play_now().ns - then.ns) * 1e-9); }

static f32 roll(Range r) { return r.max > r.min ? world_random_f32(r.min, r.max) : r.min; }

static int level_of(const Entity& e) {
  int lvl = is_person(e) ? e.person.lvl : e.level;
  return max(lvl, 1);
}

static bool is_creature(const Entity& e) { return has_component(e, Component_Thinker); }

bool play_hostile(const Entity& attacker, const Entity& victim) {
  if (&attacker == &victim || !is_alive(victim)) return false;
  if (is_creature(attacker) && is_creature(victim)) return false;
  if (is_person(attacker) && is_person(victim)) return false;
  return true;
}

static bool friendly(const Entity& caster, const Entity& target) {
  return is_alive(target) && (&caster == &target || !play_hostile(caster, target)) &&
         (is_person(target) == is_person(caster));
}

// --- amounts

static bool under(const Entity& e, EffectType type) {
  if (!has_component(e, Component_Actor)) return false;
  for (int i = 1; i < (int)EffectType_count; i++)
    if (e.actor.effects[i].type == type) return true;
  return false;
}

// A stored level may be anything a record held: an unlearnt spell (0) casts as level 1, and no level
// makes a spell weaker than that or stronger than the cap.
int play_spell_level(const Entity& caster, SpellType type) {
  if (!has_component(caster, Component_Actor) || type >= SpellType_count) return 1;
  return clamp((int)caster.actor.spellset[type].level, 1, SPELL_LEVEL_MAX);
}

static f32 spell_level_factor(const Entity* caster, SpellType type) {
  return caster ? 1 + SPELL_LEVEL_POWER * (f32)(play_spell_level(*caster, type) - 1) : 1;
}

static f32 power_factor(const Entity& e, SpellType type) {
  f32 f = (1 + LEVEL_POWER * (f32)(level_of(e) - 1)) * spell_level_factor(&e, type);
  if (under(e, EffectType_Rage)) f *= RAGE_FACTOR;
  return f;
}

// A foe finished with a spell trains it one level, never above the character's own level.
static void train_spell(Entity& caster, SpellType type) {
  if (!is_person(caster) || type >= SpellType_count) return;
  int cap = min(level_of(caster), SPELL_LEVEL_MAX);
  int lvl = play_spell_level(caster, type);
  if (lvl < cap) caster.actor.spellset[type].level = lvl + 1;
}

static Range blow_damage(const Entity& attacker) {
  if (is_creature(attacker) && attacker.thinker.damage.max > 0) return attacker.thinker.damage;
  Entity* weapon = gear_at(attacker, GearSlot_RightHand);
  if (weapon && has_component(*weapon, Component_Weapon) && weapon->weapon.dmg.max > 0) return weapon->weapon.dmg;
  return FIST_DAMAGE;
}

static f32 spell_amount(const Entity& caster, SpellType type) {
  const SpellRule& rule = spell_rules[type];
  f32 stat;
  f32 base;
  if (rule.form == Form_Melee || rule.form == Form_Sweep) {
    stat = has_component(caster, Component_Actor) ? caster.actor.strength.cur * STRENGTH_DAMAGE : 0;
    base = roll(blow_damage(caster)) * rule.power.min;
  } else {
    stat = has_component(caster, Component_Actor) ? caster.actor.intellect.cur * INTELLECT_POWER : 0;
    base = roll(rule.power);
  }
  return (base + max(stat, 0.0f)) * power_factor(caster, type);
}

// --- events, damage, healing

void play_heal(Entity& target, f32 amount) {
  Mortal* mortal = find_mortal(target);
  if (!mortal || !is_alive(target) || !(amount > 0)) return;
  f32 healed = min(amount, max(0.0f, mortal->hp.max - mortal->hp.cur));
  mortal->hp.cur += healed;
  if (healed > 0) play_push_event(target, EventType_Heal).healing.value = healed;
}

void play_damage(Entity& victim, Entity* attacker, f32 amount, SpellType spell) {
  Mortal* mortal = find_mortal(victim);
  if (!mortal || !is_alive(victim) || !(amount > 0)) return;
  mortal->hp.cur = max(0.0f, mortal->hp.cur - amount);
  Event& ev = play_push_event(victim, EventType_Damage);
  ev.damage.value = amount;
  ev.damage.spell_type = spell;
  ev.damage.source_id = attacker ? attacker->id : 0;
  if (is_creature(victim)) play_creature_hurt(victim, attacker);
  if (mortal->hp.cur <= 0) {
    if (attacker && is_creature(victim)) train_spell(*attacker, spell);
    play_kill(victim, attacker);
  }
}

static void add_effect(Entity& target, EffectType type, f32 seconds, SpellType spell, Id source) {
  if (type == EffectType_None || !has_component(target, Component_Actor) || !is_alive(target)) return;
  // One slot a kind: a new effect of a kind renews the old one.
  Effect& effect = target.actor.effects[type];
  effect.type = type;
  effect.started_time = effect.last_tick_time = play_now();
  effect.duration = seconds;
  effect.source_spell_type = spell;
  effect.source_id = source;
}

// --- experience and levels

f32 play_xp_for_level(int lvl) { return 100.0f * (f32)max(lvl, 1); }

void play_apply_level(Entity& player) {
  int lvl = level_of(player);
  f32 grown = (f32)(lvl - 1);
  if (Mortal* mortal = find_mortal(player)) mortal->hp.max = PLAYER_HP + 10 * grown;
  if (Actor* actor = find_actor(player)) {
    actor->mana.max = PLAYER_MANA + 10 * grown;
    actor->strength.max = actor->dexterity.max = actor->intellect.max = 10 + grown;
    actor->strength.cur = actor->strength.max;
    actor->dexterity.cur = actor->dexterity.max;
    actor->intellect.cur = actor->intellect.max;
  }
  player.person.xp.max = play_xp_for_level(lvl);
}

void play_give_xp(Entity& player, f32 xp) {
  if (!is_person(player) || !(xp > 0)) return;
  Person& p = player.person;
  p.xp.cur += xp;
  play_push_event(player, EventType_Exp).exp.xp = xp;
  if (!(p.xp.max > 0)) p.xp.max = play_xp_for_level(p.lvl);
  while (p.xp.cur >= p.xp.max && p.lvl < 0xFFFF) {
    p.xp.cur -= p.xp.max;
    p.lvl++;
    play_apply_level(player);
    player.mortal.hp.cur = player.mortal.hp.max;
    player.actor.mana.cur = player.actor.mana.max;
    Event& ev = play_push_event(player, EventType_LvlUp);
    ev.subject.id = player.id;
    ev.subject.type = player.type;
  }
}

// --- death

// What a creature leaves, the first for every creature, more for the bigger ones.
static const EntityType creature_drops[] = {Entity_meat, Entity_bone, Entity_raw_hide};

static void rot_drop(const Drop& drop) {
  Entity* item = world_find(drop.id);
  if (item && !in_container(*item) && !item->carrier && v2_equal(item->pos, drop.pos)) world_remove(*item);
}

static void rot_drops(Time now) {
  while (fight.ndrops > 0) {
    const Drop& oldest = fight.drops[fight.first_drop];
    if (now.ns < oldest.at.ns + (u64)(DROP_ROT_SECONDS * 1e9f)) return;
    rot_drop(oldest);
    fight.first_drop = (fight.first_drop + 1) % DROPS_MAX;
    fight.ndrops--;
  }
}

static void remember_drop(const Entity& item) {
  if (fight.ndrops == DROPS_MAX) {
    rot_drop(fight.drops[fight.first_drop]);
    fight.first_drop = (fight.first_drop + 1) % DROPS_MAX;
    fight.ndrops--;
  }
  fight.drops[(fight.first_drop + fight.ndrops++) % DROPS_MAX] = {item.id, item.pos, play_now()};
}

static void drop_creature_loot(Entity& creature) {
  int count = creature.mortal.hp.max >= 200 ? 3 : creature.mortal.hp.max >= 100 ? 2 : 1;
  for (int i = 0; i < count; i++) {
    Entity* item = world_alloc(creature_drops[i]);
    if (!item) return;
    item->flags |= EntityFlag_Modified;
    play_to_ground(*item, creature.pos + v2{(f32)(i - 1) * 10, 6});
    remember_drop(*item);
  }
}

static void leave_corpse(Entity& player) {
  int n = 0;
  for (int slot = 0; slot < (int)GearSlot_num; slot++) n += gear_at(player, (u32)slot) != nullptr;
  if (n == 0) return;
  Entity* corpse = world_spawn(Entity_corpse, player.pos);
  if (!corpse) {
    // No room for a corpse: the possessions go on the ground rather than vanish.
    for (int slot = 0; slot < (int)GearSlot_num; slot++)
      if (Entity* item = gear_at(player, (u32)slot)) {
        play_detach(*item);
        play_to_ground(*item, player.pos);
      }
    return;
  }
  corpse->container.nslots = GearSlot_num;
  int into = 0;
  for (int slot = 0; slot < (int)GearSlot_num; slot++) {
    Entity* item = gear_at(player, (u32)slot);
    if (!item) continue;
    play_detach(*item);
    if (play_attach(*item, *corpse, (SlotIndex)into) == ErrorCode_Ok)
      into++;
    else
      play_to_ground(*item, player.pos);
  }
  world_touch(*corpse);
}

void play_kill(Entity& victim, Entity* killer) {
  Mortal* mortal = find_mortal(victim);
  if (!mortal || mortal->death_time.ns) return;
  if (!is_person(victim) && !is_creature(victim)) {
    mortal->hp.cur = mortal->hp.max;  // a training dummy is never gone
    return;
  }
  mortal->hp.cur = 0;
  mortal->death_time = play_now();
  server_stop_mover(victim);
  if (Actor* actor = find_actor(victim)) {
    actor->action = actor->next_action = Action();
    for (Effect& effect : actor->effects) effect = Effect();
  }
  Event& ev = play_push_event(victim, EventType_Death);
  ev.subject.id = killer ? killer->id : 0;
  ev.subject.type = killer ? killer->type : Entity_None;
  if (is_person(victim)) {
    printf("fight: '%s' died\n", log_text(victim.person.name));
    play_put_down_burden(victim);
    leave_corpse(victim);
  } else {
    drop_creature_loot(victim);
    if (killer && is_person(*killer)) play_give_xp(*killer, mortal->hp.max * XP_PER_HP * (f32)level_of(victim));
    play_creature_died(victim, play_now());
  }
}

// The stone is looked for where it stood, not by its id: ids are handed out afresh when the server restarts.
static bool respawn_stone_stands(v2 home) {
  if (is_zero(home)) return false;
  SpatialQuery q;
  q.location = &world_location_at(home);
  q.pos = home;
  q.radius = 2 * tile_size;
  for (EntityIter it = locate_entities(q); it.entity; next(it))
    if (it.entity->type == Entity_fermion_stone) return true;
  return false;
}

static void respawn_player(Entity& player) {
  player.mortal.death_time = Time();
  player.mortal.hp.cur = player.mortal.hp.max;
  player.actor.mana.cur = player.actor.mana.max;
  for (SpellAbility& ability : player.actor.spellset) ability.cooldown = 0;
  v2 home = player.person.respawn_pos;
  if (!world_is_walkable(home) || !respawn_stone_stands(home)) home = world.spawn;
  play_relocate(player, world_location_at(home), home);
  if (!find_bag(player)) world_spawn_in(Entity_bag, player, GearSlot_Bag);
}

// --- casting

static f32 reach(const Entity& caster, SpellType type, const Entity* target) {
  f32 r = spell_radius(caster.actor, type);
  if (spell_rules[type].form == Form_Melee || spell_rules[type].form == Form_Sweep)
    r = max(r, MeleeAttackRadius) + caster.radius + (target ? target->radius : 0);
  else if (target)
    r += target->radius;
  return r;
}

// Where the cast aims: the target's position, else its point, else straight ahead.
static v2 aim_point(const Entity& caster, const Action& a, const Entity* target) {
  if (target) return target->pos;
  if (!is_zero(a.dst)) return a.dst;
  f32 angle = has_component(caster, Component_Mover) ? caster.mover.angle : 0;
  return caster.pos + v2{cosf(angle), sinf(angle)} * tile_size;
}

static bool needs_target(SpellType type) {
  const SpellRule& rule = spell_rules[type];
  return rule.form == Form_Targeted && rule.harms;
}

static ErrorCode can_start(const Entity& caster, SpellType type) {
  if (spell_is_on_cooldown(caster.actor, type)) return ErrorCode_Cooldown;
  if (!has_mana_for(caster.actor, type)) return ErrorCode_NoMana;
  return ErrorCode_Ok;
}

static void begin_windup(Entity& caster, Action& a) {
  Actor& actor = caster.actor;
  SpellType type = a.spell_type;
  if (actor.mana.max != 0) actor.mana.cur = max(0.0f, actor.mana.cur - spell_mana_cost(actor, type));
  actor.spellset[type].cooldown = spell_cooldown(actor, type);
  a.custom_flags = 0;
  a.progress = 0;
  a.started = play_now();
  a.duration = spell_windup(actor, type);
  server_stop_mover(caster);
}

static void release(Entity& caster, Action& a, Entity* target);

// One step of a cast; false when it is over.
static bool step_cast(Entity& caster, f32 dt) {
  Action& a = caster.actor.action;
  SpellType type = a.spell_type;
  Entity* target = a.target_id ? world_find(a.target_id) : nullptr;
  // A target gone, dead, hidden or into another location is lost.
  if (a.target_id && (!target || !is_alive(*target) || target->flags & EntityFlag_Invisible ||
                      !same_location(target->location, caster.location)))
    return false;
  if (a.custom_flags & (CAST_WALKING | CAST_WAITING)) {
    v2 point = aim_point(caster, a, target);
    f32 r = reach(caster, type, target);
    Mover* mover = find_mover(caster);
    if (spell_rules[type].form != Form_Self && spell_rules[type].form != Form_Dash && v2_len(point - caster.pos) > r) {
      if (!mover) return false;
      a.progress += dt;
      if (a.progress > APPROACH_SECONDS_MAX) return false;
      // Aim a little inside the reach so the step that arrives is in it.
      v2 to = point - v2_normalized(point - caster.pos) * (r * 0.8f);
      if (!v2_equal(mover->dst, to)) mover_set_dst(*mover, to);
      a.custom_flags = (a.custom_flags & ~CAST_WAITING) | CAST_WALKING;
      return true;
    }
    if (a.custom_flags & CAST_WALKING) server_stop_mover(caster);
    a.custom_flags = (a.custom_flags & ~CAST_WALKING) | CAST_WAITING;
    if (can_start(caster, type) == ErrorCode_Ok)
      begin_windup(caster, a);
    else if (!(a.flags & ActionFlag_Repeat))
      return false;
    return true;
  }
  if (Mover* mover = find_mover(caster)) {
    v2 to = aim_point(caster, a, target) - caster.pos;
    if (!is_zero(to)) rotate_in_direction(*mover, to, dt);
  }
  a.progress += dt;
  if (a.progress < a.duration) return true;
  release(caster, a, target);
  if (!is_alive(caster) || caster.actor.action.type != ActionType_CastSpell) return false;
  if (!(a.flags & ActionFlag_Repeat) || (target && !play_hostile(caster, *target))) return false;
  a.custom_flags = CAST_WAITING;
  a.progress = 0;
  return true;
}

ErrorCode play_cast(Entity& caster, SpellType type, Id target_id, v2 dst, u32 flags) {
  if (type >= SpellType_count) return ErrorCode_BadRequest;
  if (!has_component(caster, Component_Actor) || !is_alive(caster)) return ErrorCode_CannotDoThat;
  if (!server_finite_v2(dst)) return ErrorCode_BadRequest;
  Entity* target = target_id ? world_find(target_id) : nullptr;
  if (target_id && (!target || target == &caster || (target->flags & EntityFlag_Invisible && !is_admin(caster)) ||
                    !same_location(target->location, caster.location)))
    return ErrorCode_NotFound;
  const SpellRule& rule = spell_rules[type];
  // A blow or a sweep whose named target is no foe (a tree picked in battle stance) swings at the point.
  bool blow = rule.form == Form_Melee || rule.form == Form_Sweep;
  if (blow && target && !play_hostile(caster, *target) && !is_zero(dst) && !(flags & ActionFlag_Repeat)) {
    target = nullptr;
    target_id = 0;
  }
  if (target && (!has_component(*target, Component_Mortal) || !is_alive(*target))) return ErrorCode_CannotDoThat;
  if (needs_target(type) && (!target || !play_hostile(caster, *target))) return ErrorCode_CannotDoThat;
  if (!rule.harms && rule.form == Form_Targeted && target && !friendly(caster, *target)) return ErrorCode_CannotDoThat;
  // A blow or a missile at a friend is refused.
  if ((blow || rule.form == Form_Missile) && target && !play_hostile(caster, *target)) return ErrorCode_CannotDoThat;
  // An auto-attack at the target already being fought goes on as it is.
  Action& a = caster.actor.action;
  if (a.type == ActionType_CastSpell && a.spell_type == type && a.target_id == target_id && target_id &&
      (flags & ActionFlag_Repeat) && (a.flags & ActionFlag_Repeat))
    return ErrorCode_Ok;
  ErrorCode ok = can_start(caster, type);
  if (ok != ErrorCode_Ok) return ok;
  if (a.type != ActionType_None && a.type != ActionType_CastSpell) play_stop_action(caster);
  a = Action();
  a.type = ActionType_CastSpell;
  a.spell_type = type;
  a.target_id = target_id;
  a.dst = dst;
  a.flags = flags & (ActionFlag_Repeat | ActionFlag_ComeInRange);
  a.radius = spell_radius(caster.actor, type);
  a.custom_flags = CAST_WAITING;
  // In reach, the wind-up (and its cost) starts at once, so a second cast within the cooldown is refused.
  step_cast(caster, 0);
  if (a.type == ActionType_CastSpell && a.duration <= 0 && !(a.custom_flags & (CAST_WALKING | CAST_WAITING))) {
    if (!step_cast(caster, 0)) a = Action();
  }
  return ErrorCode_Ok;
}

// --- release

static void strike_arc(Entity& caster, SpellType type, v2 toward, f32 half_angle) {
  f32 facing = atan2f(toward.y - caster.pos.y, toward.x - caster.pos.x);
  f32 amount = spell_amount(caster, type);
  f32 search = reach(caster, type, nullptr) + 32;
  for (EntityIter it = locate_entities(in_radius(&caster, search, caster.pos)); it.entity; next(it)) {
    Entity& other = *it.entity;
    if (!play_hostile(caster, other) || (other.flags & EntityFlag_Invisible)) continue;
    v2 d = other.pos - caster.pos;
    if (v2_len(d) > reach(caster, type, &other)) continue;
    if (half_angle < pi && !is_zero(d) && fabsf(normalize_radians(atan2f(d.y, d.x) - facing)) > half_angle) continue;
    play_damage(other, &caster, amount, type);
    if (!is_alive(caster)) return;
  }
}

static void area(Entity& caster, SpellType type, v2 center) {
  const SpellRule& rule = spell_rules[type];
  f32 amount = spell_amount(caster, type);
  for (EntityIter it = locate_entities(in_radius(&caster, AREA_RADIUS + 32, center)); it.entity; next(it)) {
    Entity& other = *it.entity;
    if (!has_component(other, Component_Mortal) || v2_len(other.pos - center) > AREA_RADIUS + other.radius) continue;
    if (rule.harms && play_hostile(caster, other)) play_damage(other, &caster, amount, type);
    if (!rule.harms && friendly(caster, other)) play_heal(other, amount);
  }
}

static void launch(Entity& caster, SpellType type, v2 toward, Entity* target) {
  if (fight.nmissiles >= MISSILES_MAX) return;
  v2 dir = v2_normalized(toward - caster.pos);
  if (is_zero(dir)) dir = v2{1, 0};
  Entity* m = world_alloc(Entity_projectile);
  if (!m) return;
  m->flags |= EntityFlag_NoCollisions | EntityFlag_Ephemeral;
  m->projectile.attacker_id = caster.id;
  m->projectile.target_id = target ? target->id : 0;
  m->projectile.type = type;
  m->projectile.damage = spell_amount(caster, type);
  m->location = caster.location;
  set_pos(*m, caster.pos + dir * (caster.radius + 4));
  fight.missiles[fight.nmissiles++] = {m->id, dir, spell_radius(caster.actor, type) * 1.5f};
}

static void dash(Entity& caster) {
  Mover* mover = find_mover(caster);
  if (!mover) return;
  v2 dir = !is_zero(mover->desired_dir) ? mover->desired_dir : v2{cosf(mover->angle), sinf(mover->angle)};
  dir = v2_normalized(dir);
  // Stop at the last walkable point along the way.
  v2 to = caster.pos;
  for (int i = 1; i <= 8; i++) {
    v2 p = caster.pos + dir * (DASH_DISTANCE * (f32)i / 8);
    if (!world_is_walkable(p)) break;
    to = p;
  }
  server_stop_mover(caster);
  set_pos(caster, to);
}

static void release(Entity& caster, Action& a, Entity* target) {
  SpellType type = a.spell_type;
  const SpellRule& rule = spell_rules[type];
  v2 point = aim_point(caster, a, target);
  switch (rule.form) {
    case Form_Melee: strike_arc(caster, type, point, DefaultAttackAngle / 2); break;
    case Form_Sweep: strike_arc(caster, type, point, pi); break;
    case Form_Missile: launch(caster, type, point, target); break;
    case Form_Targeted: {
      Entity* on = target ? target : &caster;
      if (rule.harms) {
        if (rule.effect == EffectType_None) play_damage(*on, &caster, spell_amount(caster, type), type);
      } else if (rule.effect == EffectType_None) {
        play_heal(*on, spell_amount(caster, type));
      }
      add_effect(*on, rule.effect, rule.effect_seconds, type, caster.id);
      break;
    }
    case Form_Area: area(caster, type, point); break;
    case Form_Self:
      if (rule.power.max > 0) play_heal(caster, spell_amount(caster, type));
      add_effect(caster, rule.effect, rule.effect_seconds, type, caster.id);
      break;
    case Form_Dash: dash(caster); break;
  }
}

// --- the step

static void step_missiles(f32 dt) {
  for (int i = 0; i < fight.nmissiles;) {
    Missile& missile = fight.missiles[i];
    Entity* m = world_find(missile.id);
    bool done = !m;
    if (m) {
      Entity* attacker = world_find(m->projectile.attacker_id);
      Entity* target = world_find(m->projectile.target_id);
      if (target && is_alive(*target)) missile.dir = v2_normalized(target->pos - m->pos);
      f32 step = MISSILE_SPEED * dt;
      v2 pos = m->pos + missile.dir * step;
      missile.left -= step;
      Location* l = world_location(m->location);
      done = missile.left <= 0 || !attacker || !l;
      if (!done) {
        set_pos(*m, clamp_to_location(*l, pos, v2{1, 1}));
        for (EntityIter it = locate_entities(in_radius(m, 64, m->pos)); it.entity && !done; next(it)) {
          Entity& other = *it.entity;
          if (!play_hostile(*attacker, other) || (other.flags & EntityFlag_Invisible)) continue;
          if (v2_len(other.pos - m->pos) > other.radius + MISSILE_HIT_RADIUS) continue;
          SpellType type = m->projectile.type < SpellType_count ? m->projectile.type : SpellType_Fireball;
          play_damage(other, attacker, m->projectile.damage, type);
          add_effect(other, spell_rules[type].effect, spell_rules[type].effect_seconds, type, attacker->id);
          done = true;
        }
      }
      if (done) world_remove(*m);
    }
    if (done)
      fight.missiles[i] = fight.missiles[--fight.nmissiles];
    else
      i++;
  }
}

static void step_effects(Entity& e) {
  for (int t = 1; t < (int)EffectType_count; t++) {
    Effect& effect = e.actor.effects[t];
    if (effect.type == EffectType_None) continue;
    // Whole seconds since the last tick give their amount.
    while (seconds_since(effect.last_tick_time) >= 1.0f && is_alive(e)) {
      effect.last_tick_time.ns += 1000000000ull;
      SpellType spell = effect.source_spell_type < SpellType_count ? effect.source_spell_type : SpellType_Burn;
      Entity* source = world_find(effect.source_id);
      f32 amount = spell_rules[spell].power.min * spell_level_factor(source, spell);
      if (effect.type == EffectType_Heal) play_heal(e, amount);
      if (effect.type == EffectType_Damage || effect.type == EffectType_Poisoned) play_damage(e, source, amount, spell);
    }
    if (!is_alive(e)) return;
    if (seconds_since(effect.started_time) >= effect.duration) effect = Effect();
  }
}

static void set_speed(Entity& e) {
  Mover& mover = e.mover;
  if (!(mover.base_speed > 0)) return;
  f32 speed = mover.base_speed;
  if (is_creature(e) && e.thinker.activity == ThinkerActivity_Wandering) speed *= WANDER_FACTOR;
  if (under(e, EffectType_Sprint)) speed *= SPRINT_FACTOR;
  if (under(e, EffectType_Frozen)) speed *= FROZEN_FACTOR;
  mover.speed = speed;
}

static bool in_fight(const Entity& e) {
  return e.actor.action.type == ActionType_CastSpell ||
         (is_creature(e) && e.thinker.activity == ThinkerActivity_Attacking);
}

void play_update_fighting(f32 dt, Time now) {
  fight.now = now;
  step_missiles(dt);
  bool second = (fight.second += dt) >= 1.0f;
  if (second) fight.second -= 1.0f;
  if (second) rot_drops(now);
  int n = min((int)entity_storage.nentities, ENTITIES_MAX);
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || !has_component(e, Component_Actor)) {
      // Once a second an emptied corpse goes.
      if (second && e.id && e.type == Entity_corpse && !get_items(e).entity) world_remove(e);
      continue;
    }
    Actor& actor = e.actor;
    if (has_component(e, Component_Mortal) && !is_alive(e)) {
      if (is_person(e) && seconds_since(e.mortal.death_time) >= RESPAWN_SECONDS) respawn_player(e);
      continue;
    }
    for (SpellAbility& ability : actor.spellset) ability.cooldown = max(0.0f, ability.cooldown - dt);
    if (actor.action.type == ActionType_CastSpell && !step_cast(e, dt) && actor.action.type == ActionType_CastSpell) {
      // Walking up to a target that is lost: the walk ends here, not at the target's last spot.
      if (actor.action.custom_flags & CAST_WALKING) server_stop_mover(e);
      actor.action = Action();
    }
    if (!is_alive(e)) continue;
    step_effects(e);
    if (!is_alive(e)) continue;
    if (has_component(e, Component_Mover)) set_speed(e);
    if (has_component(e, Component_Mortal) && !in_fight(e) && (is_person(e) || is_creature(e))) {
      Param& hp = e.mortal.hp;
      hp.cur = min(hp.max, hp.cur + HP_REGEN * dt);
    }
    if (actor.mana.max > 0) actor.mana.cur = min(actor.mana.max, actor.mana.cur + MANA_REGEN * dt);
  }
}

void play_reset_fighting() {
  fight.nmissiles = 0;
  fight.ndrops = 0;
}
