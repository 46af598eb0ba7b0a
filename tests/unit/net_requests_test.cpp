// Every request kind as its builder puts it on the wire, byte by byte.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "net_peer.hpp"

namespace {

struct Golden {
  u8 bytes[sizeof(Request)] = {};
  Golden& u8_at(int at, u8 v) {
    bytes[at] = v;
    return *this;
  }
  Golden& u16_at(int at, u16 v) {
    memcpy(bytes + at, &v, 2);
    return *this;
  }
  Golden& u32_at(int at, u32 v) {
    memcpy(bytes + at, &v, 4);
    return *this;
  }
  Golden& f32_at(int at, f32 v) {
    memcpy(bytes + at, &v, 4);
    return *this;
  }
  Golden& str_at(int at, const std::string& s) {
    memcpy(bytes + at, s.data(), s.size());
    return *this;
  }
};

struct RequestCase {
  const char* name;
  std::function<void()> build;
  RequestType type;
  Golden payload;
};

Golden g() { return Golden{}; }

TEST(NetRequests, EveryBuilderWritesItsFieldsAtTheirOffsetsAndNothingElse) {
  net_test_reset();
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.141"));

  const std::string login63(63, 'L');
  const std::string long_name(40, 'n');
  const std::string long_text(200, 't');
  RequestCase cases[] = {
      {"heartbeat", [] { net_send_heartbeat(); }, RequestType_Heartbeat, g()},
      {"login", [] { net_send_auth(RequestType_Login, "ann", "secret"); }, RequestType_Login,
       g().u32_at(5, 1001).str_at(9, "ann").str_at(73, "secret")},
      // The longest login keeps the field's last byte zero; the password still starts at 73.
      {"register, longest login", [&] { net_send_auth(RequestType_Register, login63.c_str(), "pw"); },
       RequestType_Register, g().u32_at(5, 1001).str_at(9, login63).str_at(73, "pw")},
      {"login, over-long login is cut", [&] { net_send_auth(RequestType_Login, (login63 + "XYZ").c_str(), "pw"); },
       RequestType_Login, g().u32_at(5, 1001).str_at(9, login63).str_at(73, "pw")},
      {"create player", [] { net_send_create_player("Bob"); }, RequestType_CreatePlayer, g().str_at(5, "Bob")},
      {"enter, cut at 31", [&] { net_send_enter(long_name.c_str()); }, RequestType_Enter,
       g().str_at(5, long_name.substr(0, 31))},
      {"start state updates", [] { net_send_start_state_updates(); }, RequestType_StartStateUpdates, g()},
      {"quit", [] { net_send_quit(); }, RequestType_Quit, g()},
      {"disconnect", [] { net_send_disconnect(); }, RequestType_Disconnect, g()},
      {"set dst",
       [] {
         set_dst({1.5f, -2});
       },
       RequestType_SetDst, g().f32_at(5, 1.5f).f32_at(9, -2)},
      {"set dir",
       [] {
         set_dir({0, 1});
       },
       RequestType_SetDir, g().f32_at(5, 0).f32_at(9, 1)},
      {"teleport",
       [] {
         teleport({320, 64});
       },
       RequestType_Teleport, g().f32_at(5, 320).f32_at(9, 64)},
      {"spell",
       [] {
         net_send_spell(SpellType_Fireball, 77, {10, 20}, false);
       },
       RequestType_Spell, g().u32_at(5, 77).f32_at(9, 10).f32_at(13, 20).u8_at(17, SpellType_Fireball)},
      {"spell, auto-attack",
       [] {
         net_send_spell(SpellType_Strike, 78, {1, 2}, true);
       },
       RequestType_Spell, g().u32_at(5, 78).f32_at(9, 1).f32_at(13, 2).u8_at(17, SpellType_Strike).u32_at(21, 3)},
      {"run action", [] { net_send_run_action(12, ActionType_Chop); }, RequestType_RunAction,
       g().u32_at(5, 12).u8_at(9, ActionType_Chop)},
      {"lift", [] { net_send_lift_entity(13); }, RequestType_LiftEntity, g().u32_at(5, 13)},
      {"move entity", [] { net_send_move_entity(14, 15, 254); }, RequestType_MoveEntity,
       g().u32_at(5, 14).u32_at(9, 15).u8_at(13, 254)},
      {"place, rotation 3",
       [] {
         net_send_place_entity(16, {8, 9}, 3);
       },
       RequestType_PlaceEntity, g().u32_at(5, 16).f32_at(9, 8).f32_at(13, 9).u32_at(17, 3)},
      {"place, rotation out of range",
       [] {
         net_send_place_entity(16, {8, 9}, 7);
       },
       RequestType_PlaceEntity, g().u32_at(5, 16).f32_at(9, 8).f32_at(13, 9)},
      {"craft", [] { net_send_craft(Entity_axe); }, RequestType_Craft, g().u16_at(5, Entity_axe)},
      {"build place",
       [] {
         net_send_build_place({4, 5}, Entity_bonfire, 2);
       },
       RequestType_BuildPlace, g().f32_at(5, 4).f32_at(9, 5).u16_at(13, Entity_bonfire).u32_at(17, 2)},
      {"build add", [] { net_send_build_add(20, 21, false); }, RequestType_BuildAdd, g().u32_at(5, 20).u32_at(9, 21)},
      {"build add, admin supplies", [] { net_send_build_add(20, 21, true); }, RequestType_BuildAdd,
       g().u32_at(5, 20).u32_at(9, 0xFFFFFFFFu)},
      {"build", [] { net_send_build(22); }, RequestType_Build, g().u32_at(5, 22)},
      {"blueprint add", [] { net_send_blueprint_add(23, 24); }, RequestType_BlueprintAdd,
       g().u32_at(5, 23).u32_at(9, 24)},
      {"blueprint place keeps the raw rotation",
       [] {
         net_send_blueprint_place(25, {6, 7}, 5);
       },
       RequestType_BlueprintPlace, g().u32_at(5, 25).f32_at(13, 6).f32_at(17, 7).u32_at(21, 5)},
      {"blueprint save, cut at 63", [&] { net_send_blueprint_save(26, long_text.c_str()); }, RequestType_BlueprintSave,
       g().u32_at(5, 26).str_at(25, long_text.substr(0, 63))},
      {"blueprint clear", [] { net_send_blueprint_clear(27); }, RequestType_BlueprintClear, g().u32_at(5, 27)},
      {"chat, cut at 127", [&] { net_send_chat(long_text.c_str()); }, RequestType_Chat,
       g().str_at(5, long_text.substr(0, 127))},
      {"toggle pause", [] { toggle_pause(); }, RequestType_TogglePause, g()},
      {"add entity",
       [] {
         net_send_add_entity({2, 3}, Entity_stag, 1);
       },
       RequestType_AddEntity, g().f32_at(5, 2).f32_at(9, 3).u16_at(13, Entity_stag).u32_at(17, 1)},
      {"generate tiles", [] { net_send_generate_tiles(-5); }, RequestType_GenerateTiles, g().u32_at(5, (u32)-5)},
      {"generate entities", [] { net_send_generate_entities({1, 2, 3, 4}, 9); }, RequestType_GenerateEntities,
       g().f32_at(5, 1).f32_at(9, 2).f32_at(13, 3).f32_at(17, 4).u32_at(21, 9)},
      {"request updates", [] { request_gameplay_updates(1); }, RequestType_RequestUpdates, g()},
      {"set biom", [] { net_send_set_biom({1, 2, 3, 4}, TileType_Sand); }, RequestType_SetBiom,
       g().f32_at(5, 1).f32_at(9, 2).f32_at(13, 3).f32_at(17, 4).u8_at(21, TileType_Sand)},
      {"kill", [] { net_send_kill(28); }, RequestType_Kill, g().u32_at(5, 28)},
      {"mind control", [] { net_send_mind_control(29, RequestType_RunAction, 30, ActionType_Mine, {5, 6}); },
       RequestType_MindControl,
       g().u32_at(5, 29)
           .u8_at(9, RequestType_RunAction)
           .u32_at(13, 30)
           .u8_at(17, ActionType_Mine)
           .f32_at(21, 5)
           .f32_at(25, 6)},
      {"toggle invisible", [] { net_send_toggle_invisible(31); }, RequestType_ToggleInvisible, g().u32_at(5, 31)},
      {"set time", [] { net_send_set_time(GameTime{7, 42}); }, RequestType_SetTime, g().u8_at(5, 7).u8_at(6, 42)},
  };

  u32 seq = 0;
  for (RequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.build();
    seq += 1;
    Golden expected = c.payload;
    expected.u32_at(0, seq).u8_at(4, c.type);
    std::vector<u8> got;
    ASSERT_TRUE(peer.receive_bytes(got));
    ASSERT_EQ(got.size(), sizeof(Request));
    for (int i = 0; i < (int)sizeof(Request); i++) EXPECT_EQ(got[i], expected.bytes[i]) << "byte " << i;
    EXPECT_EQ(net.last_seq, seq);
  }
  // Every kind but None is covered above.
  bool covered[RequestType_count] = {};
  for (RequestCase& c : cases) covered[c.type] = true;
  for (int t = 1; t < RequestType_count; t++) EXPECT_TRUE(covered[t]) << request_type_name((RequestType)t);
  game.paused = false;
}

// Names and messages of values from the network: one of its own for each kind, "???" past the tables.
TEST(NetRequests, NamesAndMessagesAreDistinctAndBounded) {
  std::set<std::string> seen;
  for (u32 t = 0; t < RequestType_count; t++) EXPECT_TRUE(seen.insert(request_type_name((RequestType)t)).second);
  for (u32 t : {(u32)RequestType_count, 255u}) EXPECT_STREQ(request_type_name((RequestType)t), "???");
  seen.clear();
  for (u32 t = 0; t < PacketType_count; t++) EXPECT_TRUE(seen.insert(packet_type_name((PacketType)t)).second);
  for (u32 t : {(u32)PacketType_count, 0xFFFFFFFFu}) EXPECT_STREQ(packet_type_name((PacketType)t), "???");
  seen.clear();
  int known = 0;
  for (u32 code = 0; code < 1000; code++) {
    std::string text = error_code_msg((ErrorCode)code);
    if (text == "???") continue;
    known++;
    EXPECT_TRUE(seen.insert(text).second) << code;
  }
  EXPECT_GT(known, 20);
  EXPECT_STREQ(error_code_msg((ErrorCode)0xFFFFFFFFu), "???");
}

}  // namespace
