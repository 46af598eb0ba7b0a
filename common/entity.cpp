// Component names, rotation names and the component dump used by diagnostics.
#include "entity.hpp"

static const char* const component_names[Component_num] = {
    "Mover",  "Actor", "Projectile", "Mortal", "Person",    "Container", "Item",    "Vessel", "Food",
    "Potion", "Crop",  "Tree",       "Bush",   "Vein",      "Fuel",      "Tool",    "Cart",   "Entrance",
    "Door",   "Belt",  "Events",     "Weapon", "Blueprint", "Blank",     "Thinker", "Portal",
};

const char* component_name(Component c) {
  if ((u32)c >= Component_num) return "<invalid component>";
  return component_names[c];
}

const char* rotation_name(int rotation) {
  switch (rotation) {
    case 0: return "south";
    case 1: return "east";
    case 2: return "north";
    case 3: return "west";
    default: return "???";
  }
}

bool entity_is(const Entity& e, Str name) { return str_eq(Str(entity_name(e)), name); }

// --- the dump: f32 as %g, v2 and Param as a pair, s32 as %d, everything else as {}

static void dump_begin(FILE* out, Component c) { fprintf(out, "    component = %s {\n", component_name(c)); }
static void dump_end(FILE* out) { fputs("    }\n", out); }
static void dump_field(FILE* out, const char* name, f32 v) { fprintf(out, "        %s = %g\n", name, (double)v); }
static void dump_field(FILE* out, const char* name, v2 v) {
  fprintf(out, "        %s = {%g, %g}\n", name, (double)v.x, (double)v.y);
}
static void dump_field(FILE* out, const char* name, Param v) {
  fprintf(out, "        %s = {%g, %g}\n", name, (double)v.cur, (double)v.max);
}
static void dump_field(FILE* out, const char* name, s32 v) { fprintf(out, "        %s = %d\n", name, v); }
static void dump_opaque(FILE* out, const char* name) { fprintf(out, "        %s = {}\n", name); }
static void dump_mark(FILE* out, Component c) { fprintf(out, "    component = %s {}\n", component_name(c)); }

static void dump_mover(FILE* out, const Entity& e) {
  const Mover& m = e.mover;
  dump_begin(out, Component_Mover);
  dump_field(out, "dst", m.dst);
  dump_field(out, "desired_dir", m.desired_dir);
  dump_field(out, "vel", m.vel);
  dump_field(out, "acc", m.acc);
  dump_field(out, "slide", m.slide);
  dump_opaque(out, "is_sliding");
  dump_field(out, "speed", m.speed);
  dump_field(out, "base_speed", m.base_speed);
  dump_field(out, "bonus_speed", m.bonus_speed);
  dump_field(out, "gaze", m.gaze);
  dump_field(out, "angle", m.angle);
  dump_field(out, "stamina", m.stamina);
  dump_opaque(out, "zone");
  dump_end(out);
}

static void dump_actor(FILE* out, const Entity& e) {
  const Actor& a = e.actor;
  dump_begin(out, Component_Actor);
  dump_opaque(out, "action");
  dump_opaque(out, "next_action");
  dump_field(out, "mana", a.mana);
  dump_field(out, "energy", a.energy);
  dump_field(out, "strength", a.strength);
  dump_field(out, "dexterity", a.dexterity);
  dump_field(out, "intellect", a.intellect);
  dump_opaque(out, "spellset[SpellType_count]");
  dump_opaque(out, "effects[EffectType_count]");
  dump_end(out);
}

static void dump_projectile(FILE* out, const Entity& e) {
  const Projectile& p = e.projectile;
  dump_begin(out, Component_Projectile);
  dump_opaque(out, "attacker_id");
  dump_opaque(out, "target_id");
  dump_opaque(out, "type");
  dump_field(out, "damage", p.damage);
  dump_opaque(out, "flags");
  dump_end(out);
}

static void dump_mortal(FILE* out, const Entity& e) {
  const Mortal& m = e.mortal;
  dump_begin(out, Component_Mortal);
  dump_field(out, "hp", m.hp);
  dump_opaque(out, "group");
  dump_opaque(out, "death_time");
  dump_opaque(out, "burden");
  dump_opaque(out, "flags");
  dump_end(out);
}

static void dump_person(FILE* out, const Entity& e) {
  const Person& p = e.person;
  dump_begin(out, Component_Person);
  dump_opaque(out, "name[PLAYER_NAME_LEN]");
  dump_opaque(out, "lvl");
  dump_field(out, "xp", p.xp);
  dump_field(out, "energy", p.energy);
  dump_opaque(out, "stomach");
  dump_opaque(out, "respawn_id");
  dump_field(out, "respawn_pos", p.respawn_pos);
  dump_end(out);
}

static void dump_container(FILE* out, const Entity&) {
  dump_begin(out, Component_Container);
  dump_opaque(out, "slots[16]");
  dump_opaque(out, "nslots");
  dump_end(out);
}

static void dump_item(FILE* out, const Entity& e) {
  const Item& i = e.item;
  dump_begin(out, Component_Item);
  dump_opaque(out, "container");
  dump_opaque(out, "quality");
  dump_field(out, "temperature", i.temperature);
  dump_field(out, "durability", i.durability);
  dump_end(out);
}

static void dump_vessel(FILE* out, const Entity& e) {
  dump_begin(out, Component_Vessel);
  dump_field(out, "volume", e.vessel.volume);
  dump_end(out);
}

static void dump_food(FILE* out, const Entity& e) {
  const Food& f = e.food;
  dump_begin(out, Component_Food);
  dump_field(out, "energy", f.energy);
  dump_field(out, "cooking_time", f.cooking_time);
  dump_field(out, "protein", f.protein);
  dump_field(out, "carbs", f.carbs);
  dump_field(out, "fat", f.fat);
  dump_end(out);
}

static void dump_potion(FILE* out, const Entity& e) {
  dump_begin(out, Component_Potion);
  dump_field(out, "power", e.potion.power);
  dump_end(out);
}

static void dump_crop(FILE* out, const Entity&) {
  dump_begin(out, Component_Crop);
  dump_opaque(out, "planted_time");
  dump_end(out);
}

static void dump_tree(FILE* out, const Entity&) {
  dump_begin(out, Component_Tree);
  dump_opaque(out, "branches");
  dump_end(out);
}

static void dump_bush(FILE* out, const Entity&) {
  dump_begin(out, Component_Bush);
  dump_opaque(out, "berries");
  dump_end(out);
}

static void dump_vein(FILE* out, const Entity&) {
  dump_begin(out, Component_Vein);
  dump_opaque(out, "ore");
  dump_end(out);
}

static void dump_fuel(FILE* out, const Entity& e) {
  dump_begin(out, Component_Fuel);
  dump_field(out, "capacity", e.fuel.capacity);
  dump_end(out);
}

static void dump_tool(FILE* out, const Entity&) {
  dump_begin(out, Component_Tool);
  dump_opaque(out, "type");
  dump_end(out);
}

static void dump_cart(FILE* out, const Entity&) { dump_mark(out, Component_Cart); }
static void dump_entrance(FILE* out, const Entity&) { dump_mark(out, Component_Entrance); }
static void dump_belt(FILE* out, const Entity&) { dump_mark(out, Component_Belt); }

static void dump_door(FILE* out, const Entity&) {
  dump_begin(out, Component_Door);
  dump_opaque(out, "opened");
  dump_end(out);
}

static void dump_events(FILE* out, const Entity& e) {
  dump_begin(out, Component_Events);
  dump_opaque(out, "events[8]");
  dump_field(out, "nevents", e.events.nevents);
  dump_end(out);
}

static void dump_weapon(FILE* out, const Entity&) {
  dump_begin(out, Component_Weapon);
  dump_opaque(out, "dmg");
  dump_end(out);
}

static void dump_blueprint(FILE* out, const Entity& e) {
  const Blueprint& b = e.blueprint;
  dump_begin(out, Component_Blueprint);
  dump_field(out, "origin", b.origin);
  dump_opaque(out, "elements[32]");
  dump_field(out, "nelements", b.nelements);
  dump_opaque(out, "name[ENTITY_TYPE_NAME_LEN]");
  dump_end(out);
}

static void dump_blank(FILE* out, const Entity& e) {
  // The one array shown with a number: how many ingredients have been added so far in all.
  s32 added = 0;
  for (s32 n : e.blank.ingredients) added += n;
  dump_begin(out, Component_Blank);
  dump_opaque(out, "type");
  fprintf(out, "        ingredients[INGREDIENTS_MAX] = %d\n", added);
  dump_end(out);
}

static void dump_thinker(FILE* out, const Entity& e) {
  const Thinker& t = e.thinker;
  dump_begin(out, Component_Thinker);
  dump_opaque(out, "activity");
  dump_opaque(out, "next_target_check_time");
  dump_opaque(out, "next_wander_check_time");
  dump_opaque(out, "main_attack");
  dump_opaque(out, "damage");
  dump_opaque(out, "target_id");
  dump_field(out, "aggro", t.aggro);
  dump_field(out, "annoyance", t.annoyance);
  dump_field(out, "collisions", t.collisions);
  dump_field(out, "respawn_pos", t.respawn_pos);
  dump_opaque(out, "flags");
  dump_end(out);
}

static void dump_portal(FILE* out, const Entity&) {
  dump_begin(out, Component_Portal);
  dump_opaque(out, "endpoint");
  dump_end(out);
}

const ComponentSerializer component_serializers[Component_num] = {
    dump_mover,  dump_actor,     dump_projectile, dump_mortal,   dump_person, dump_container, dump_item,
    dump_vessel, dump_food,      dump_potion,     dump_crop,     dump_tree,   dump_bush,      dump_vein,
    dump_fuel,   dump_tool,      dump_cart,       dump_entrance, dump_door,   dump_belt,      dump_events,
    dump_weapon, dump_blueprint, dump_blank,      dump_thinker,  dump_portal,
};

void dump_components(FILE* out, const Entity& e) {
  for (u32 c = 0; c < Component_num; c++)
    if (has_component(e, (Component)c)) component_serializers[c](out, e);
}
