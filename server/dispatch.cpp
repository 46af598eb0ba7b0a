// The request dispatch. Nothing in a datagram is trusted: the length is checked first, every text field is
// read within its size, and a request that needs an account or a character without one is refused with
// ErrorCode_BadRequest.
#include "physics.hpp"
#include "play.hpp"

bool server_finite_v2(v2 v) { return isfinite(v.x) && isfinite(v.y) && fabsf(v.x) < 1e7f && fabsf(v.y) < 1e7f; }

static void handle_chat(Session& s, Entity& player, const Request& r) {
  ChatMessage message = {};
  memcpy(message.text, r.chat.message, CHAT_MESSAGE_LEN);
  message.text[CHAT_MESSAGE_LEN - 1] = 0;
  // Control characters would garble every reader's screen; they become spaces.
  bool blank = true;
  for (char* c = message.text; *c; c++) {
    if ((u8)*c < 0x20 || *c == 0x7F) *c = ' ';
    blank = blank && *c == ' ';
  }
  if (blank) return;
  if (!server_rate_take(s.chat_free, time_now(), CHAT_INTERVAL, CHAT_BURST))
    return server_send_error(s, ErrorCode_Cooldown);
  memset(message.text + strlen(message.text), 0, CHAT_MESSAGE_LEN - strlen(message.text));
  cstr_copy(message.sender_name, player.person.name, PLAYER_NAME_LEN);
  message.sender_id = player.id;
  message.recipient_id = 0;
  message.sent_time = server_clock();
  printf("chat: %s: %s\n", log_text(message.sender_name), log_text(message.text));
  for (Session& other : server.sessions)
    if (other.active && other.player_id)
      server_send_simple(other, PacketType_ChatMessage, &message, (int)sizeof(message));
}

void server_stop_mover(Entity& e) {
  if (Mover* mover = find_mover(e)) {
    mover_set_dst(*mover, {});
    mover->vel = {};
  }
}

static void handle_admin(Session& s, Entity& player, const Request& r) {
  switch (r.type) {
    case RequestType_TogglePause:
      toggle(server.paused);
      printf("server: %s by '%s'\n", server.paused ? "paused" : "resumed", log_text(s.character_name));
      break;
    case RequestType_RequestUpdates: server.updates_requested = 1; break;
    case RequestType_Teleport:
      if (!server_finite_v2(r.dst)) return server_send_error(s, ErrorCode_BadRequest);
      {
        // Anywhere in either location: the dungeon's rectangle lies beside the world's.
        Location& to = world_location_at(r.dst);
        play_relocate(player, to, clamp_to_location(to, r.dst, v2{1, 1}));
        break;
      }
    case RequestType_SetTime: world_set_game_time(r.set_time); break;
    case RequestType_AddEntity: {
      EntityType type = r.add_entity.type;
      if (!server_finite_v2(r.add_entity.dst) || type == Entity_None || type == Entity_Player ||
          !find_entity_prototype(type))
        return server_send_error(s, ErrorCode_BadRequest);
      Entity* e = world_spawn(type, clamp_to_location(world_location_at(r.add_entity.dst), r.add_entity.dst, v2{1, 1}));
      if (!e) return server_send_error(s, ErrorCode_NoSpace);
      e->flags |= r.add_entity.flags & (EntityFlag_Rotate90 | EntityFlag_Rotate180);
      worldgen_init_entity(*e, server_clock());
      break;
    }
    case RequestType_Kill: {
      Entity* target = world_find(r.target_id);
      if (!target) return server_send_error(s, ErrorCode_NotFound);
      if (has_component(*target, Component_Mortal)) {
        play_kill(*target, nullptr);
      } else if (!server_session_of_player(target->id)) {
        world_remove(*target);
      }
      break;
    }
    case RequestType_ToggleInvisible: {
      Entity* target = r.target_id ? world_find(r.target_id) : &player;
      if (!target) return server_send_error(s, ErrorCode_NotFound);
      target->flags ^= EntityFlag_Invisible;
      break;
    }
    case RequestType_GenerateTiles: return play_admin_generate_tiles(s, r);
    case RequestType_GenerateEntities: return play_admin_generate_entities(s, r);
    case RequestType_SetBiom: return play_admin_set_biom(s, r);
    case RequestType_MindControl: return play_admin_mind_control(s, r);
    default: server_send_error(s, ErrorCode_CannotDoThat); break;
  }
}

static bool is_admin_request(RequestType type) {
  switch (type) {
    case RequestType_TogglePause:
    case RequestType_AddEntity:
    case RequestType_GenerateTiles:
    case RequestType_GenerateEntities:
    case RequestType_RequestUpdates:
    case RequestType_SetBiom:
    case RequestType_Teleport:
    case RequestType_Kill:
    case RequestType_MindControl:
    case RequestType_ToggleInvisible:
    case RequestType_SetTime: return true;
    default: return false;
  }
}

static void handle_request(Session& s, const Request& r) {
  switch (r.type) {
    case RequestType_Heartbeat: return;
    case RequestType_Login:
    case RequestType_Register: return server_handle_auth(s, r);
    case RequestType_Disconnect: return server_end_session(s, "disconnected");
    default: break;
  }
  if (!s.account_id) return server_send_error(s, ErrorCode_BadRequest);
  switch (r.type) {
    case RequestType_CreatePlayer: return server_handle_create_player(s, r);
    case RequestType_Enter: return server_handle_enter(s, r);
    case RequestType_Quit:
      if (!s.player_id) return;
      if (!server_rate_take(s.quit_free, time_now(), WORLD_MOVE_INTERVAL, 1))
        return server_send_error(s, ErrorCode_Cooldown);
      return server_leave_world(s);
    default: break;
  }
  Entity* player = world_find(s.player_id);
  if (!player) return server_send_error(s, ErrorCode_BadRequest);
  switch (r.type) {
    case RequestType_StartStateUpdates: {
      // A repeat within the interval only resumes the stream: a forged one cannot fetch tens of KB.
      Time now = time_now();
      if (!s.location_sent.ns || now.ns - s.location_sent.ns >= LOCATION_RESEND_INTERVAL.ns) {
        server_send_location(s);
        server_send_location_map(s);
        s.location_sent = now;
      }
      s.streaming = true;
      return;
    }
    case RequestType_SetDst:
    case RequestType_SetDir: {
      Mover* mover = find_mover(*player);
      if (!mover || !server_finite_v2(r.dst)) return server_send_error(s, ErrorCode_BadRequest);
      if (!is_alive(*player)) return server_send_error(s, ErrorCode_CannotDoThat);
      play_stop_action(*player);  // walking away ends what the character was doing
      if (r.type == RequestType_SetDst) {
        Location* l = world_location(player->location);
        if (!l) return server_send_error(s, ErrorCode_CannotDoThat);
        mover_set_dst(*mover, clamp_to_location(*l, r.dst, v2{1, 1}));
      } else {
        mover_set_dir(*mover, v2_normalized(r.dst));
      }
      return;
    }
    case RequestType_Chat: return handle_chat(s, *player, r);
    default: break;
  }
  if (is_admin_request(r.type)) {
    if (!is_admin(*player)) return server_send_error(s, ErrorCode_Forbidden);
    return handle_admin(s, *player, r);
  }
  play_handle_request(s, *player, r);
}

void play_handle_request(Session& s, Entity& player, const Request& r) {
  // The dead wait for their respawn.
  if (has_component(player, Component_Mortal) && !is_alive(player)) return server_send_error(s, ErrorCode_CannotDoThat);
  ErrorCode result = ErrorCode_Ok;
  switch (r.type) {
    case RequestType_Spell:
      result = play_cast(player, r.spell.type, r.spell.target_id, r.spell.dst, r.spell.flags);
      break;
    case RequestType_RunAction: {
      Entity* target = world_find(r.action.target_id);
      if (!target) return server_send_error(s, ErrorCode_NotFound);
      result = play_start_action(player, *target, r.action.type);
      break;
    }
    case RequestType_MoveEntity: {
      Entity* item = world_find(r.move_entity.item_id);
      Entity* holder = world_find(r.move_entity.container_id);
      if (!item || !holder) return server_send_error(s, ErrorCode_NotFound);
      result = play_move_item(player, *item, *holder, r.move_entity.slot);
      break;
    }
    case RequestType_PlaceEntity: {
      Entity* target = world_find(r.place_entity.target_id);
      if (!target) return server_send_error(s, ErrorCode_NotFound);
      result = play_place(player, *target, r.place_entity.pos, r.place_entity.flags);
      break;
    }
    case RequestType_LiftEntity: {
      Entity* target = world_find(r.target_id);
      if (!target) return server_send_error(s, ErrorCode_NotFound);
      result = play_lift(player, *target);
      break;
    }
    case RequestType_Craft: result = play_craft(player, r.craft.type); break;
    case RequestType_BuildPlace: result = play_build_place(player, r.build.type, r.build.dst, r.build.flags); break;
    case RequestType_BuildAdd:
      result = play_build_add(player, r.add_ingridient.blank_id, r.add_ingridient.ingredient_id);
      break;
    case RequestType_Build: result = play_build(player, r.target_id); break;
    case RequestType_BlueprintAdd:
      result = play_blueprint_add(player, r.blueprint.blueprint_id, r.blueprint.target_id);
      break;
    case RequestType_BlueprintClear: result = play_blueprint_clear(player, r.blueprint.blueprint_id); break;
    case RequestType_BlueprintSave:
      result = play_blueprint_save(player, r.blueprint.blueprint_id, r.blueprint.name, (int)sizeof(r.blueprint.name));
      break;
    case RequestType_BlueprintPlace:
      result = play_blueprint_place(player, r.blueprint.blueprint_id, r.blueprint.pos, r.blueprint.rotation_index);
      break;
    default: result = ErrorCode_CannotDoThat; break;
  }
  if (result != ErrorCode_Ok) server_send_error(s, result);
}

void server_handle_datagram(UdpAddress from, const u8* data, int size) {
  server.stats.datagrams_in++;
  if (size != (int)sizeof(Request)) {
    server.stats.malformed++;
    return;
  }
  alignas(Request) u8 request_storage[sizeof(Request)];
  memcpy(request_storage, data, sizeof(Request));
  const Request& r = *(const Request*)request_storage;
  Session* s = server_find_session(from);
  if (!s) {
    // Only a login opens a session; anything else from a stranger is dropped unanswered.
    if (r.type != RequestType_Login && r.type != RequestType_Register) {
      server.stats.malformed++;
      return;
    }
    // A login that is wrong on its face is answered without a session: the answer is smaller than the request.
    ErrorCode form = server_auth_form_error(r);
    if (form == ErrorCode_Ok) s = server_start_session(from);
    if (!s) {
      Session refused;
      refused.address = from;
      refused.seq_ack = r.seq;
      server_send_error(refused, form != ErrorCode_Ok ? form : ErrorCode_ServerBusy);
      return;
    }
    s->seq_ack = r.seq;
  } else if (r.seq > s->seq_ack && r.seq - s->seq_ack > SEQ_WINDOW) {
    server.stats.seq_out_of_window++;
    return;
  }
  s->last_recv = time_now();
  if (r.seq > s->seq_ack) s->seq_ack = r.seq;
  if (r.type == RequestType_None || r.type >= RequestType_count) {
    server.stats.malformed++;
    return server_send_error(*s, ErrorCode_BadRequest);
  }
  handle_request(*s, r);
}
