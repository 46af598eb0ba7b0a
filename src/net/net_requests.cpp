// The request builders: each zero-fills a request, sets its kind and payload and hands it to net_send.
#include "entity.hpp"
#include "items.hpp"
#include "net/net.hpp"

static Request request_of(RequestType type) {
  Request r = {};
  r.type = type;
  return r;
}

static void send_kind(RequestType type) {
  Request r = request_of(type);
  net_send(r);
}

static void send_target(RequestType type, Id id) {
  Request r = request_of(type);
  r.target_id = id;
  net_send(r);
}

void net_send_heartbeat() { send_kind(RequestType_Heartbeat); }
void net_send_start_state_updates() { send_kind(RequestType_StartStateUpdates); }
void net_send_quit() { send_kind(RequestType_Quit); }
void net_send_disconnect() { send_kind(RequestType_Disconnect); }
void net_send_toggle_pause() { send_kind(RequestType_TogglePause); }
void net_send_request_updates() { send_kind(RequestType_RequestUpdates); }

void net_send_auth(RequestType type, const char* login, const char* password) {
  Request r = request_of(type);
  r.auth.client_version = CLIENT_VERSION;
  cstr_copy(r.auth.login, login ? login : "", LOGIN_LEN);
  cstr_copy(r.auth.password, password ? password : "", PASSWORD_LEN);
  net_send(r);
}

void net_send_create_player(const char* name) {
  Request r = request_of(RequestType_CreatePlayer);
  cstr_copy(r.create_player.name, name ? name : "", PLAYER_NAME_LEN);
  net_send(r);
}

void net_send_enter(const char* name) {
  Request r = request_of(RequestType_Enter);
  snprintf(r.enter.name, PLAYER_NAME_LEN, "%.*s", PLAYER_NAME_LEN - 1, name ? name : "");
  net_send(r);
}

void net_send_vector(RequestType type, v2 v) {
  Request r = request_of(type);
  r.dst = v;
  net_send(r);
}

void net_send_run_action(Id id, ActionType type) {
  printf("Running action %s on %d\n", action_type_name(type), (int)id);
  Request r = request_of(RequestType_RunAction);
  r.action.target_id = id;
  r.action.type = type;
  net_send(r);
}

void net_send_move_entity(Id item_id, Id container_id, SlotIndex slot) {
  Request r = request_of(RequestType_MoveEntity);
  r.move_entity.item_id = item_id;
  r.move_entity.container_id = container_id;
  r.move_entity.slot = slot;
  net_send(r);
}

void net_send_lift_entity(Id id) { send_target(RequestType_LiftEntity, id); }
void net_send_kill(Id id) { send_target(RequestType_Kill, id); }
void net_send_build(Id blank_id) { send_target(RequestType_Build, blank_id); }
void net_send_toggle_invisible(Id id) { send_target(RequestType_ToggleInvisible, id); }

void net_send_place_entity(Id id, v2 pos, int rotation_index) {
  Request r = request_of(RequestType_PlaceEntity);
  r.place_entity.target_id = id;
  r.place_entity.pos = pos;
  r.place_entity.flags = rotation_to_flags(rotation_index);
  net_send(r);
}

void net_send_add_entity(v2 pos, EntityType type, int rotation_index) {
  Request r = request_of(RequestType_AddEntity);
  r.add_entity.dst = pos;
  r.add_entity.type = type;
  r.add_entity.flags = rotation_to_flags(rotation_index);
  net_send(r);
}

void net_send_build_place(v2 pos, EntityType type, int rotation_index) {
  Request r = request_of(RequestType_BuildPlace);
  r.build.dst = pos;
  r.build.type = type;
  r.build.flags = rotation_to_flags(rotation_index);
  net_send(r);
}

void net_send_build_add(Id blank_id, Id ingredient_id, bool admin_supplied) {
  Request r = request_of(RequestType_BuildAdd);
  r.add_ingridient.blank_id = blank_id;
  r.add_ingridient.ingredient_id = admin_supplied ? ADMIN_INGREDIENT_ID : ingredient_id;
  net_send(r);
}

void net_send_blueprint_add(Id blueprint_id, Id target_id) {
  Request r = request_of(RequestType_BlueprintAdd);
  r.blueprint.blueprint_id = blueprint_id;
  r.blueprint.target_id = target_id;
  net_send(r);
}

void net_send_blueprint_save(Id blueprint_id, const char* name) {
  Request r = request_of(RequestType_BlueprintSave);
  r.blueprint.blueprint_id = blueprint_id;
  cstr_copy(r.blueprint.name, name ? name : "", ENTITY_TYPE_NAME_LEN);
  net_send(r);
}

void net_send_blueprint_clear(Id blueprint_id) {
  Request r = request_of(RequestType_BlueprintClear);
  r.blueprint.blueprint_id = blueprint_id;
  net_send(r);
}

void net_send_blueprint_place(Id blueprint_id, v2 pos, int rotation_index) {
  Request r = request_of(RequestType_BlueprintPlace);
  r.blueprint.blueprint_id = blueprint_id;
  r.blueprint.pos = pos;
  r.blueprint.rotation_index = rotation_index;
  net_send(r);
}

void net_send_craft(EntityType type) {
  Request r = request_of(RequestType_Craft);
  r.craft.type = type;
  net_send(r);
}

void net_send_spell(SpellType type, Id target_id, v2 dst, bool auto_attack) {
  Request r = request_of(RequestType_Spell);
  r.spell.target_id = target_id;
  r.spell.dst = dst;
  r.spell.type = type;
  r.spell.flags = auto_attack ? (u32)(ActionFlag_Repeat | ActionFlag_ComeInRange) : 0u;
  net_send(r);
}

void net_send_chat(const char* message) {
  Request r = request_of(RequestType_Chat);
  cstr_copy(r.chat.message, message ? message : "", CHAT_MESSAGE_LEN);
  net_send(r);
}

void net_send_set_biom(Rect area, TileType tile_type) {
  Request r = request_of(RequestType_SetBiom);
  r.biom.area = area;
  r.biom.type = tile_type;
  net_send(r);
}

void net_send_set_time(GameTime time) {
  Request r = request_of(RequestType_SetTime);
  r.set_time = time;
  net_send(r);
}

void net_send_generate_tiles(int seed) {
  Request r = request_of(RequestType_GenerateTiles);
  r.generate_tiles.seed = seed;
  net_send(r);
}

void net_send_generate_entities(Rect rect, int density) {
  Request r = request_of(RequestType_GenerateEntities);
  r.generate_entities.rect = rect;
  r.generate_entities.density = density;
  net_send(r);
}

void net_send_mind_control(Id mob_id, RequestType request_type, Id target_id, ActionType action_type, v2 dst) {
  Request r = request_of(RequestType_MindControl);
  r.mind_control.mob_id = mob_id;
  r.mind_control.request_type = request_type;
  r.mind_control.target_id = target_id;
  r.mind_control.action_type = action_type;
  r.mind_control.dst = dst;
  net_send(r);
}
