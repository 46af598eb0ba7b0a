#pragma once
// The client's one link to the game server: a connected, non-blocking IPv4 UDP socket, the request
// builders, the per-frame pump and what every packet does to the client's state.
#include <netinet/in.h>
#include <sys/types.h>

#include "packet.hpp"

struct Location;

enum NetResult : u32 {
  NetResult_None = 0,  // nothing read, or the datagram was dropped
  NetResult_Ok = 1,
  NetResult_Err = 2,  // an error packet, or the server refused us
  NetResult_Location = 3,
  NetResult_Lobby = 4,
  NetResult_World = 5,
};

constexpr int LATENCY_HISTORY_MAX = 128;
// Datagrams read in one frame at most: far above the server's rate, so a slow frame catches up at once,
// yet bounded so that a flood cannot hold the frame.
constexpr int NET_DATAGRAMS_PER_FRAME = 256;
// While the server's name does not resolve, a request tries it again at most this often.
constexpr Duration NET_RESOLVE_RETRY = {5000000000ull};
constexpr Duration HEARTBEAT_INTERVAL = {1000000000ull};
constexpr Duration ERROR_FADE = {3000000000ull};

struct Net {
  Time last_sent_time;
  Time last_recv_time;
  u32 last_seq = 0;
  u32 last_ack = 0;
  u32 last_packet_size = 0;
  SharedError last_error;
  Time last_error_time;
  Duration latency_history[LATENCY_HISTORY_MAX];
  int latency_index = 0;
  int latency_history_total = 0;
  Duration latency;
  Duration avg_latency;
  u32 missed_packets = 0;
  u32 received_packets = 0;
  sockaddr_in address = {};
  u16 port = 0;
  int socket = 0;
  // The host last asked for, so that a link that could not be opened is tried again on the next request.
  char host[64] = {};
  // Name look-ups made, and when the last one failed (zero when it did not).
  u32 resolutions = 0;
  Time resolve_failed_time;
  // State packets of a frame that a newer one of the same frame replaced unread.
  u32 skipped_states = 0;
};

// The socket calls, replaceable so that tests can make them fail with any error.
struct NetSocketOps {
  ssize_t (*recv)(int fd, void* buffer, size_t n, int flags);
  ssize_t (*send)(int fd, const void* buffer, size_t n, int flags);
};
extern NetSocketOps net_socket_ops;

extern Net net;

void net_connect(const char* host);
void net_disconnect();
void net_quit();
void net_clear_error();
void net_reset_timeouts();
void net_send(Request& request);
void net_update();
NetResult net_receive(Location& location);
// Everything net_receive does with a datagram of n bytes once it has been read.
NetResult net_handle_datagram(Packet& packet, int n, Location& location);
NetResult net_parse_state(Packet& packet, int n, Location& location);
bool net_request_timed_out();
bool net_server_timed_out();
// The client's location record, the one every location packet fills.
Location& net_location();

void net_send_heartbeat();
void net_send_auth(RequestType type, const char* login, const char* password);
void net_send_create_player(const char* name);
void net_send_enter(const char* name);
void net_send_start_state_updates();
void net_send_quit();
void net_send_disconnect();
void net_send_toggle_pause();
void net_send_request_updates();
void net_send_vector(RequestType type, v2 v);  // SetDst, SetDir and Teleport carry one vector
void net_send_run_action(Id id, ActionType type);
void net_send_move_entity(Id item_id, Id container_id, SlotIndex slot);
void net_send_lift_entity(Id id);
void net_send_place_entity(Id id, v2 pos, int rotation_index);
void net_send_kill(Id id);
void net_send_add_entity(v2 pos, EntityType type, int rotation_index);
void net_send_build_place(v2 pos, EntityType type, int rotation_index);
// `admin_supplied` sends the id that asks the server to supply the ingredient itself.
void net_send_build_add(Id blank_id, Id ingredient_id, bool admin_supplied);
void net_send_build(Id blank_id);
void net_send_blueprint_add(Id blueprint_id, Id target_id);
void net_send_blueprint_save(Id blueprint_id, const char* name);
void net_send_blueprint_clear(Id blueprint_id);
void net_send_blueprint_place(Id blueprint_id, v2 pos, int rotation_index);
void net_send_craft(EntityType type);
void net_send_spell(SpellType type, Id target_id, v2 dst, bool auto_attack);
void net_send_chat(const char* message);
void net_send_set_biom(Rect area, TileType tile_type);
void net_send_toggle_invisible(Id id);
void net_send_set_time(GameTime time);
void net_send_generate_tiles(int seed);
void net_send_generate_entities(Rect rect, int density);
void net_send_mind_control(Id mob_id, RequestType request_type, Id target_id, ActionType action_type, v2 dst);
