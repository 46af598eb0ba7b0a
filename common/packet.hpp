#pragma once
// The wire records: requests from the client, packets from the server, and the snapshot body.
// Both programs send these as their in-memory images (little-endian, no conversion), so every size
// and offset is pinned at compile time.
#include <stddef.h>

#include "components.hpp"
#include "config.hpp"
#include "errors.hpp"
#include "items.hpp"
#include "location.hpp"
#include "math.hpp"
#include "types.hpp"

constexpr int SERVER_PORT = 4242;
constexpr u32 CLIENT_VERSION = 1001;

enum RequestType : u8 {
  RequestType_None = 0,
  RequestType_Heartbeat = 1,
  RequestType_Login = 2,
  RequestType_Register = 3,
  RequestType_CreatePlayer = 4,
  RequestType_Enter = 5,
  RequestType_StartStateUpdates = 6,
  RequestType_Quit = 7,
  RequestType_Disconnect = 8,
  RequestType_SetDst = 9,
  RequestType_SetDir = 10,
  RequestType_Spell = 11,
  RequestType_RunAction = 12,
  RequestType_LiftEntity = 13,
  RequestType_MoveEntity = 14,
  RequestType_PlaceEntity = 15,
  RequestType_Craft = 16,
  RequestType_BuildPlace = 17,
  RequestType_BuildAdd = 18,
  RequestType_Build = 19,
  RequestType_BlueprintAdd = 20,
  RequestType_BlueprintPlace = 21,
  RequestType_BlueprintSave = 22,
  RequestType_BlueprintClear = 23,
  RequestType_Chat = 24,
  RequestType_TogglePause = 25,
  RequestType_AddEntity = 26,
  RequestType_GenerateTiles = 27,
  RequestType_GenerateEntities = 28,
  RequestType_RequestUpdates = 29,
  RequestType_SetBiom = 30,
  RequestType_Teleport = 31,
  RequestType_Kill = 32,
  RequestType_MindControl = 33,
  RequestType_ToggleInvisible = 34,
  RequestType_SetTime = 35,
  RequestType_count = 36,
};

// Sent by an admin holding Win in the blank dialog: the server supplies the ingredient itself.
constexpr Id ADMIN_INGREDIENT_ID = 0xFFFFFFFFu;

#pragma pack(push, 1)
struct Request {
  // Every byte a kind does not use stays zero.
  Request() : seq(0), type(RequestType_None), payload{} {}
  u32 seq;
  RequestType type;
  union {
    u8 payload[132];
    struct {
      u32 client_version;
      char login[LOGIN_LEN];
      char password[PASSWORD_LEN];
    } auth;
    struct {
      char name[PLAYER_NAME_LEN];
    } create_player;
    struct {
      char name[PLAYER_NAME_LEN];
    } enter;
    v2 dst;        // SetDst, SetDir, Teleport
    Id target_id;  // LiftEntity, Build, Kill, ToggleInvisible
    struct {
      Id target_id;
      v2 dst;
      SpellType type;
      u8 pad_[3];
      u32 flags;
    } spell;
    struct {
      Id target_id;
      ActionType type;
    } action;
    struct {
      Id item_id;
      Id container_id;
      SlotIndex slot;
    } move_entity;
    struct {
      Id target_id;
      v2 pos;
      u32 flags;
    } place_entity;
    struct {
      EntityType type;
    } craft;
    struct {
      v2 dst;
      EntityType type;
      u8 pad_[2];
      u32 flags;
    } build;
    struct {
      Id blank_id;
      Id ingredient_id;
    } add_ingridient;
    struct {
      Id blueprint_id;
      Id target_id;
      v2 pos;
      s32 rotation_index;
      char name[ENTITY_TYPE_NAME_LEN];
    } blueprint;
    struct {
      char message[CHAT_MESSAGE_LEN];
    } chat;
    struct {
      v2 dst;
      EntityType type;
      u8 pad_[2];
      u32 flags;
    } add_entity;
    struct {
      s32 seed;
    } generate_tiles;
    struct {
      Rect rect;
      s32 density;
    } generate_entities;
    struct {
      Rect area;
      TileType type;
    } biom;
    struct {
      Id mob_id;
      RequestType request_type;
      u8 pad_[3];
      Id target_id;
      ActionType action_type;
      u8 pad2_[3];
      v2 dst;
    } mind_control;
    GameTime set_time;
  };
};
#pragma pack(pop)

#define REQUEST_AT(field, at) static_assert(offsetof(Request, field) == (at), #field)
static_assert(sizeof(Request) == 137);
REQUEST_AT(seq, 0);
REQUEST_AT(type, 4);
REQUEST_AT(payload, 5);
REQUEST_AT(auth.client_version, 5);
REQUEST_AT(auth.login, 9);
REQUEST_AT(auth.password, 73);
REQUEST_AT(create_player.name, 5);
REQUEST_AT(enter.name, 5);
REQUEST_AT(dst, 5);
REQUEST_AT(target_id, 5);
REQUEST_AT(spell.target_id, 5);
REQUEST_AT(spell.dst, 9);
REQUEST_AT(spell.type, 17);
REQUEST_AT(spell.flags, 21);
REQUEST_AT(action.target_id, 5);
REQUEST_AT(action.type, 9);
REQUEST_AT(move_entity.item_id, 5);
REQUEST_AT(move_entity.container_id, 9);
REQUEST_AT(move_entity.slot, 13);
REQUEST_AT(place_entity.target_id, 5);
REQUEST_AT(place_entity.pos, 9);
REQUEST_AT(place_entity.flags, 17);
REQUEST_AT(craft.type, 5);
REQUEST_AT(build.dst, 5);
REQUEST_AT(build.type, 13);
REQUEST_AT(build.flags, 17);
REQUEST_AT(add_ingridient.blank_id, 5);
REQUEST_AT(add_ingridient.ingredient_id, 9);
REQUEST_AT(blueprint.blueprint_id, 5);
REQUEST_AT(blueprint.target_id, 9);
REQUEST_AT(blueprint.pos, 13);
REQUEST_AT(blueprint.rotation_index, 21);
REQUEST_AT(blueprint.name, 25);
REQUEST_AT(chat.message, 5);
REQUEST_AT(add_entity.dst, 5);
REQUEST_AT(add_entity.type, 13);
REQUEST_AT(add_entity.flags, 17);
REQUEST_AT(generate_tiles.seed, 5);
REQUEST_AT(generate_entities.rect, 5);
REQUEST_AT(generate_entities.density, 21);
REQUEST_AT(biom.area, 5);
REQUEST_AT(biom.type, 21);
REQUEST_AT(mind_control.mob_id, 5);
REQUEST_AT(mind_control.request_type, 9);
REQUEST_AT(mind_control.target_id, 13);
REQUEST_AT(mind_control.action_type, 17);
REQUEST_AT(mind_control.dst, 21);
REQUEST_AT(set_time.hour, 5);
REQUEST_AT(set_time.second, 6);
#undef REQUEST_AT

enum PacketType : u32 {
  PacketType_None = 0,
  PacketType_Error = 1,
  PacketType_Lobby = 2,
  PacketType_World = 3,
  PacketType_State = 4,
  PacketType_Location = 5,
  PacketType_LocationMap = 6,
  PacketType_ChatMessage = 7,
  PacketType_count = 8,
};

constexpr u64 PacketFlag_Paused = 1;

constexpr int PACKET_HEADER_SIZE = 32;
constexpr int PACKET_PAYLOAD_MAX = 32768;
constexpr int PACKET_SIZE_MAX = PACKET_HEADER_SIZE + PACKET_PAYLOAD_MAX;

constexpr int LOBBY_PLAYERS_MAX = 4;
struct LobbyEntry {
  char name[PLAYER_NAME_LEN];
  Time last_login;
};
struct Lobby {
  LobbyEntry players[LOBBY_PLAYERS_MAX];
};
static_assert(sizeof(Lobby) == 160);
static_assert(offsetof(LobbyEntry, last_login) == 32);

struct ChatMessage {
  char text[CHAT_MESSAGE_LEN];
  char sender_name[PLAYER_NAME_LEN];
  Id sender_id;
  Id recipient_id;
  Time sent_time;
};
static_assert(sizeof(ChatMessage) == 176);
static_assert(offsetof(ChatMessage, sender_name) == 128);
static_assert(offsetof(ChatMessage, sender_id) == 160);
static_assert(offsetof(ChatMessage, recipient_id) == 164);
static_assert(offsetof(ChatMessage, sent_time) == 168);

struct PacketStateHeader {
  u16 nentities;
  GameTime game_time;
};
static_assert(sizeof(PacketStateHeader) == 4);
constexpr int STATE_BODY_OFFSET = PACKET_HEADER_SIZE + (int)sizeof(PacketStateHeader);

constexpr int LOCATION_HEADER_SIZE = 20;
struct PacketLocation {
  LocationType type;
  u16 index;
  s32 width;
  s32 height;
  v2 offset;
  u8 tiles[PACKET_PAYLOAD_MAX - LOCATION_HEADER_SIZE];  // width * height of them, row after row
};
static_assert(offsetof(PacketLocation, index) == 2);
static_assert(offsetof(PacketLocation, width) == 4);
static_assert(offsetof(PacketLocation, height) == 8);
static_assert(offsetof(PacketLocation, offset) == 12);
static_assert(offsetof(PacketLocation, tiles) == LOCATION_HEADER_SIZE);

struct Packet {
  Packet() : seq_ack(0), type(PacketType_None), size(0), reserved_(0), time(), flags(0), data{} {}
  u32 seq_ack;
  PacketType type;
  u32 size;  // the whole datagram, header included
  u32 reserved_;
  Time time;
  u64 flags;
  union {
    u8 data[PACKET_PAYLOAD_MAX];
    SharedError error;
    Lobby lobby;
    PacketStateHeader state;
    PacketLocation location;
    ChatMessage chat;
  };
};
static_assert(sizeof(Packet) == PACKET_SIZE_MAX && PACKET_SIZE_MAX == 32800);
static_assert(offsetof(Packet, seq_ack) == 0);
static_assert(offsetof(Packet, type) == 4);
static_assert(offsetof(Packet, size) == 8);
static_assert(offsetof(Packet, time) == 16);
static_assert(offsetof(Packet, flags) == 24);
static_assert(offsetof(Packet, data) == PACKET_HEADER_SIZE);

// The least payload each type needs; a datagram shorter than this is broken.
int packet_min_payload(PacketType type);

struct AdminPlayerInfo {
  Id id;
  Person person;
  v2 pos;
};
static_assert(sizeof(AdminPlayerInfo) == 124);
static_assert(offsetof(AdminPlayerInfo, person) == 4 && offsetof(AdminPlayerInfo, pos) == 116);

// The admin block of a snapshot, as the client keeps it.
struct AdminBlock {
  u32 nplayers = 0;
  AdminPlayerInfo players[PLAYERS_MAX] = {};
};

const char* request_type_name(RequestType type);
const char* packet_type_name(PacketType type);
