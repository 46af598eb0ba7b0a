#pragma once
// The client's state record `game` and the spine of the program: screens, frame clock, hooks.
#include <SDL2/SDL.h>

#include "audio/audio.hpp"
#include "config.hpp"
#include "app/config_file.hpp"
#include "app/input.hpp"
#include "math.hpp"
#include "render/entity_presentation.hpp"
#include "render/model.hpp"
#include "packet.hpp"
#include "types.hpp"
#include "ui/ui.hpp"
#include "net/world_map_intake.hpp"

struct Location;
struct Entity;
struct Contact;

enum Screen : u32 {
  Screen_PreLoading = 0,
  Screen_Login = 1,
  Screen_Lobby = 2,
  Screen_Loading = 3,
  Screen_World = 4,
  Screen_WorldMenu = 5,
  Screen_Test = 6,
  Screen_Num,
};

constexpr const char* BUILD_STAMP = "2026-07-29T20:11";
constexpr const char* GAME_VERSION = "0.1.1";
constexpr int FRAME_STATS_MAX = 60;
// The frame time the loop keeps to when the display offers no vertical sync.
constexpr Duration FRAME_PACE = {16666667ull};
constexpr int DEBUG_LOG_MESSAGES_MAX = 64;
constexpr int DEBUG_LOG_MESSAGE_LEN = 256;

struct FrameStat {
  Duration elapsed;
  u64 frame = 0;
};

struct GameDebug {
  FrameStat frames_stats[FRAME_STATS_MAX];
  int frames_stats_index = 0;
  struct {
    char messages[DEBUG_LOG_MESSAGES_MAX][DEBUG_LOG_MESSAGE_LEN];
    int nmessages = 0;
  } log;
  bool use_wasd = false;
  bool try_stuff = false;
  bool show_inspector = false;
  bool free_camera = false;
  bool hide_static_objects = false;
  bool hide_roofs = false;
  bool draw_attack_radius = false;
  bool draw_collision_boxes = false;
};

// The login screen's fields and the request waiting for its answer.
struct LoginScreen {
  TextInput login;
  TextInput password;
  RequestType request_type_in_progress = RequestType_None;
};

// The lobby screen's state; the network fills `lobby`.
struct LobbyScreen {
  Lobby lobby = {};
  bool creating_mode = false;
  TextInput new_name;
  bool creation_in_progress = false;
  u32 creation_seq = 0;  // the create request's sequence number: later heartbeats must not hide its answer
  bool enter_in_progress = false;
  // The server's answer to the last create request when it refused it, shown until the error fades.
  ErrorCode refusal = ErrorCode_Ok;
  // The name as sent (trimmed, cut to the wire field): the snapshots are searched for exactly this.
  char sent_name[PLAYER_NAME_LEN] = {};
};

// --- feedback over the world: events already announced and the player's thoughts (world/events.hpp,
// world/thoughts.hpp hold their functions)

constexpr int EVENTS_STATE_MAX = 8;
constexpr int THOUGHTS_MAX = 16;

struct EventState {
  Id entity_id;
  Event event;
};

enum ThoughtType : u32 {
  ThoughtType_None = 0,
  ThoughtType_Custom = 1,
  ThoughtType_Hungry = 2,
};

struct Thought {
  ThoughtType type = ThoughtType_None;
  Text text;
  Time occured_time;
};

struct Mind {
  Thought thoughts[THOUGHTS_MAX];
  int nthoughts = 0;
};

// What the mouse carries in the world: a building to place, an item, a lifted burden or a blueprint.
enum CursorType : u32 {
  CursorType_None = 0,
  CursorType_Build = 1,
  CursorType_Item = 2,
  CursorType_Burden = 3,
  CursorType_Blueprint = 4,
};

struct Cursor;
// Called by a left press in the world; true means the cursor is done and is cleared.
typedef bool (*CursorCallback)(Cursor& cursor);

struct Cursor {
  CursorType type = CursorType_None;
  CursorCallback onclick = nullptr;
  Id entity_id = 0;
  EntityType entity_type = {};
  int rotation_index = 0;  // quarter turns, 0..3
};

// A rectangle dragged on the ground. The flags say whether it exists: (0, 0) is a place like any other.
struct BoxSelection {
  bool is_scheduled = false;
  bool is_active = false;
  bool is_set = false;  // a box was drawn and is kept until cleared; its corners may be anywhere, (0, 0) too
  v2 start = {};
  v2 end = {};
};

struct Game {
  // Frame clock and screens.
  f32 dt = 0;
  Time time;
  u64 frame = 0;
  Time server_time;
  GameTime game_time;
  bool paused = false;
  int updates_requested = 0;
  Screen screen = Screen_PreLoading;
  bool fullscreen = false;
  Arena* tmp_arena = nullptr;
  GameDebug debug;
  const char* player_name = nullptr;
  bool should_quit = false;
  bool vsync = false;

  // Window and input.
  SDL_Window* window = nullptr;
  v2 window_size = {};
  InputModifiers modifiers = {};
  u32 mouse_went_down = 0;
  u32 mouse_is_down = 0;
  u32 mouse_went_up = 0;
  Wheel wheel;
  v2 mouse_world = {};
  v2 mouse_delta = {};
  u8 wasd = 0;  // held movement keys: W 1, A 2, S 4, D 8
  u8 last_wasd = 0;
  bool skip_lmb_up = false;  // the next left release ends a press already used
  HotkeyHandler lmb_handler = nullptr;
  HotkeyHandler rmb_handler = nullptr;
  // Drawn over the finished scene at the window's full size, after post-processing: texts stay sharp
  // when the scene is drawn smaller. A screen sets it for its own frame.
  void (*scene_overlay)() = nullptr;

  // The world the client mirrors.
  Location* location = nullptr;
  Entity* player = nullptr;
  u32 hovered_id = 0;
  Id selected_id = 0;
  bool battle_stance = false;
  BoxSelection box_selection;
  SpellType spell_type = {};  // an aimed spell armed by its key, cast by the next left press
  v2 spell_pos = {};
  Cursor cursor;
  Id opened_container_id = 0;  // the container whose window is open
  Id target_container_id = 0;  // a container the player asked to open: its window opens once in reach
  Id target_blank_id = 0;      // a blank the player asked to open
  Id opened_blank_id = 0;      // the blank whose window is open
  Id controlled_id = 0;        // the creature an administrator steers, 0 for none
  LoginScreen login_screen;
  LobbyScreen lobby_screen;
  WorldMap world_map;
  AdminBlock admin;
  EventState events_state[EVENTS_STATE_MAX] = {};
  int nevents_state = 0;
  Mind mind;

  Config config;
  Audio audio;

  // Models per entity kind (loaded on first sight) and the fixed models loaded at start.
  EntityModels entity_models[256];
  GameModels models;
  Texture test_texture;
  // Visual state per entity that outlives snapshots (effects, fire, open and close animations).
  EntityState entity_state[ENTITY_STATE_MAX];

  Game() { debug.use_wasd = true; }
};

extern Game game;

const char* screen_name(Screen s);
void set_screen(Screen s);
void update_and_draw();
void pre_loading_screen();
void draw_build_version();
void toggle_pause();
void request_gameplay_updates(int n);
void teleport(v2 dst);
void set_dst(v2 dst);
void set_dir(v2 dir);
void debug_log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void debugf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// A local line in the chat, without sender.
void chatf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Adds a message to the chat's history and bubbles (world/chat.cpp); the network and `chatf` call it.
void chat_append_message(ChatMessage& message);

// The frame clock, split out of the loop so it can be driven directly.
void frame_clock_advance(Duration elapsed);
void frame_stats_record(Duration cost);

void init_window();
void update_window_size();

// Start-up, the frame loop and shutdown.
bool game_start();
void game_run_frame(Time& last);
void game_shutdown();
