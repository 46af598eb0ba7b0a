#pragma once
// Fixed capacities shared with the server.

constexpr int PLAYERS_MAX = 8;
constexpr int MOBS_MAX = 1024;
constexpr int PROJECTILES_MAX = 1024;
constexpr int OBJECTS_MAX = 16384;
constexpr int ENTITIES_MAX = PLAYERS_MAX + MOBS_MAX + PROJECTILES_MAX + OBJECTS_MAX;
static_assert(ENTITIES_MAX == 18440);
constexpr int INGREDIENTS_MAX = 16;
constexpr int PLAYER_NAME_LEN = 32;
constexpr int LOGIN_LEN = 64;
constexpr int PASSWORD_LEN = 64;
constexpr int CHAT_MESSAGE_LEN = 128;
constexpr int ENTITY_TYPE_NAME_LEN = 64;
constexpr int LOCATION_NAME_LEN = 32;
constexpr int SERVER_FPS = 60;
constexpr float SERVER_DT = 1.0f / SERVER_FPS;
