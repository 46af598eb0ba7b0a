// The link to the server: opening and closing it, sending requests, reading datagrams without ever
// blocking the frame, acknowledgement and latency bookkeeping, time-outs and what each packet does.
// Nothing in a datagram is trusted: its length is checked against what its type needs before any
// field of the payload is read, and a broken datagram is dropped and logged.
#include "net/net.hpp"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/client.hpp"
#include "entity.hpp"
#include "items.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "state_body.hpp"
#include "net/world_map_intake.hpp"

Net net;
NetSocketOps net_socket_ops = {::recv, ::send};

// One receive buffer, reused for every datagram, and the newest State packet of the frame, kept until
// the frame's other packets are handled.
static Packet net_packet;
static Packet net_state_packet;
static int net_state_size = 0;
static Location client_location;

Location& net_location() {
  if (!game.location) game.location = &client_location;
  return *game.location;
}

// Errors the client finds itself are dated with the last server time seen, so that they fade after three
// seconds of server time like the server's own, and a late packet from before the silence cannot clear them.
static void net_set_local_error(ErrorCode code) {
  net.last_error.code = code;
  net.last_error_time = game.server_time;
}

static void net_unavailable(const char* what, const char* why) {
  fprintf(stderr, "net: %s: %s\n", what, why);
  net_set_local_error(ErrorCode_ServiceUnavailable);
}

static void net_close_socket() {
  if (net.socket) close(net.socket);
  net.socket = 0;
}

// A host that cannot be resolved or reached is shown on the screen, not fatal: the next request tries again.
void net_connect(const char* host) {
  if (!host) host = "";
  if (host != net.host) cstr_copy(net.host, host, (int)sizeof(net.host));
  net_close_socket();
  net_location();
  // Acknowledgements belong to one link: nothing of an earlier one may make later packets look old.
  net.last_ack = 0;

  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* info = nullptr;
  char service[8];
  snprintf(service, sizeof(service), "%d", SERVER_PORT);
  net.resolutions += 1;
  net.resolve_failed_time = {};
  int rc = getaddrinfo(net.host, service, &hints, &info);
  if (rc != 0 || !info) {
    net_unavailable("cannot resolve the server", rc ? gai_strerror(rc) : "no address");
    if (info) freeaddrinfo(info);
    net.resolve_failed_time = time_now();
    if (!net.resolve_failed_time.ns) net.resolve_failed_time.ns = 1;
    return;
  }
  addrinfo* found = nullptr;
  for (addrinfo* a = info; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_socktype == SOCK_DGRAM && a->ai_addrlen >= sizeof(sockaddr_in)) {
      found = a;
      break;
    }
  }
  if (!found) {
    freeaddrinfo(info);
    net_unavailable("cannot resolve the server", "no IPv4 address");
    net.resolve_failed_time = time_now();
    if (!net.resolve_failed_time.ns) net.resolve_failed_time.ns = 1;
    return;
  }
  memcpy(&net.address, found->ai_addr, sizeof(sockaddr_in));
  net.port = ntohs(net.address.sin_port);
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &net.address.sin_addr, dotted, sizeof(dotted));
  printf("Connecting to %s:%d\n", dotted, (int)net.port);

  int s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  freeaddrinfo(info);
  if (s < 0) {
    net_unavailable("cannot create a socket", strerror(errno));
    return;
  }
  // Descriptor 0 means "closed" in the record; a socket there would be lost, so move it up.
  if (s == 0) {
    int moved = fcntl(s, F_DUPFD, 1);
    close(s);
    if (moved < 0) {
      net_unavailable("cannot create a socket", strerror(errno));
      return;
    }
    s = moved;
  }
  if (connect(s, (sockaddr*)&net.address, sizeof(net.address)) != 0) {
    close(s);
    net_unavailable("cannot connect", strerror(errno));
    return;
  }
  int flags = fcntl(s, F_GETFL, 0);
  if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) {
    close(s);
    net_unavailable("cannot make the socket non-blocking", strerror(errno));
    return;
  }
  net.socket = s;
}

void net_disconnect() {
  if (!net.socket) return;
  fprintf(stderr, "net: disconneting\n");
  net_send_disconnect();
  net_close_socket();
  net_clear_error();
}

void net_quit() {
  net_disconnect();
  // Nothing may open the link again on the way out.
  net.host[0] = 0;
}

void net_clear_error() { net.last_error.code = ErrorCode_Ok; }

void net_reset_timeouts() { net.last_recv_time = time_now(); }

// A socket that is no longer ours (closed under us): it is dropped, and the next request opens a new link.
static bool net_error_is_closed_socket(int err) { return err == EBADF || err == ENOTSOCK; }

static bool net_may_connect() {
  if (!net.host[0]) return false;
  return !net.resolve_failed_time.ns || time_since(net.resolve_failed_time) >= NET_RESOLVE_RETRY;
}

void net_send(Request& request) {
  net.last_seq += 1;
  request.seq = net.last_seq;
  if (game.config.debug_log > 1) {
    debug_log("[net] Sending Request(%s)[seq=%d]\n", request_type_name(request.type), (int)request.seq);
  }
  net.last_sent_time = time_now();
  if (!net.socket && net_may_connect()) net_connect(net.host);
  if (!net.socket) {
    net_set_local_error(ErrorCode_ServiceUnavailable);
    return;
  }
  if (request.type == RequestType_Login || request.type == RequestType_Register) net.last_ack = 0;
  ssize_t sent = net_socket_ops.send(net.socket, &request, sizeof(Request), 0);
  if (sent >= 0) return;
  int err = errno;
  // A full send buffer loses this request like the network would; the screens resend what matters.
  if (err == EAGAIN || err == EWOULDBLOCK || err == ENOBUFS || err == EINTR) return;
  if (net_error_is_closed_socket(err)) net.socket = 0;
  // Nothing a send can report ends the client: the server is shown as unavailable and the next request
  // tries again.
  net_unavailable("send", strerror(err));
}

bool net_request_timed_out() { return to_ms(time_since(net.last_sent_time)) > game.config.server_timeout_ms; }

bool net_server_timed_out() {
  f32 silence = to_ms(time_since(net.last_recv_time));
  if (silence <= game.config.server_timeout_ms) return false;
  net_set_local_error(ErrorCode_Gone);
  printf("[net] Server timed out: %f.1\n", silence);
  return true;
}

// Reads one datagram into `packet`: its size, 0 when nothing is waiting, -1 after an error (shown).
static int net_read(Packet& packet) {
  if (!net.socket) return 0;
  ssize_t n = net_socket_ops.recv(net.socket, &packet, sizeof(Packet), 0);
  if (n >= 0) return (int)n;
  int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  if (net_error_is_closed_socket(err)) net.socket = 0;
  // The server's port is closed, or the network is out of reach: show it and keep going.
  net_unavailable("receive", strerror(err));
  return -1;
}

static NetResult net_accept(Packet& packet, int n);
static NetResult net_dispatch(Packet& packet, int n, Location& location);

// Each frame takes everything waiting, so the client never lags the server's stream. Packets are handled
// in order, except State packets: each replaces the last, and only the newest is inflated, after the
// rest. An error ends the frame's reading, so that the screen sees it before anything that follows.
void net_update() {
  if (game.screen != Screen_Login && time_since(net.last_sent_time) > HEARTBEAT_INTERVAL) net_send_heartbeat();
  Location& location = net_location();
  net_state_size = 0;
  for (int i = 0; i < NET_DATAGRAMS_PER_FRAME; i++) {
    int n = net_read(net_packet);
    if (n <= 0) break;
    NetResult result = net_accept(net_packet, n);
    if (result == NetResult_None) continue;
    if (net_packet.type == PacketType_State) {
      if (net_state_size) net.skipped_states += 1;
      memcpy((void*)&net_state_packet, (const void*)&net_packet, (size_t)n);
      net_state_size = n;
      continue;
    }
    // A new location or a screen change makes an earlier snapshot of the frame stale.
    if (net_packet.type == PacketType_Location || net_packet.type == PacketType_Lobby ||
        net_packet.type == PacketType_World) {
      net_state_size = 0;
    }
    result = net_dispatch(net_packet, n, location);
    if (result == NetResult_Lobby) set_screen(Screen_Lobby);
    if (result == NetResult_World) set_screen(Screen_Loading);
    if (result == NetResult_Location) prepare_tiles(location.width, location.height);
    if (result == NetResult_Err) break;
  }
  if (net_state_size) {
    int n = net_state_size;
    net_state_size = 0;
    net_parse_state(net_state_packet, n, location);
  }
}

NetResult net_receive(Location& location) {
  int n = net_read(net_packet);
  if (n < 0) return NetResult_Err;
  if (n == 0) return NetResult_None;
  return net_handle_datagram(net_packet, n, location);
}

static void net_record_latency() {
  net.latency = time_since(net.last_sent_time);
  net.latency_history[net.latency_index] = net.latency;
  net.latency_index = (net.latency_index + 1) % LATENCY_HISTORY_MAX;
  net.latency_history_total += 1;
  Duration sum = {};
  for (Duration d : net.latency_history) sum += d;
  int count = net.latency_history_total < LATENCY_HISTORY_MAX ? net.latency_history_total : LATENCY_HISTORY_MAX;
  net.avg_latency = {sum.ns / (u64)count};
}

static NetResult net_take_location(Packet& packet, int n, Location& location) {
  const PacketLocation& p = packet.location;
  s64 ntiles = (s64)n - PACKET_HEADER_SIZE - LOCATION_HEADER_SIZE;
  if (p.width <= 0 || p.height <= 0 || (s64)p.width * (s64)p.height != ntiles) {
    printf("net: Broken location: %dx%d tiles in %d bytes\n", p.width, p.height, (int)ntiles);
    return NetResult_None;
  }
  printf("Got location [%dx%d at %f, %f]\n", p.width, p.height, p.offset.x, p.offset.y);
  LocationRef ref = {p.type, p.index};
  location_init(location, ref, nullptr, 0, p.width, p.height, p.offset, p.tiles, ntiles);
  return NetResult_Location;
}

// Every check a datagram must pass, then the bookkeeping of its header (acknowledgement, server time,
// liveness). NetResult_None when it was dropped, with nothing changed but the counters of what arrived.
static NetResult net_accept(Packet& packet, int n) {
  net.received_packets += 1;
  net.last_packet_size = (u32)(n > 0 ? n : 0);

  if (n < PACKET_HEADER_SIZE || n > PACKET_SIZE_MAX) {
    printf("net: Broken packet: %d bytes\n", n);
    return NetResult_None;
  }
  // Nothing acknowledges a request that was never sent: such a packet is forged or broken, and taking its
  // number would make every later packet of the real server look old.
  if (packet.seq_ack > net.last_seq) {
    printf("net: Broken packet: acknowledges %u, only %u sent\n", (unsigned)packet.seq_ack, (unsigned)net.last_seq);
    return NetResult_None;
  }
  if (packet.seq_ack < net.last_ack) {
    printf("net: Skipping old packet (%d vs %d)\n", (int)packet.seq_ack, (int)net.last_ack);
    return NetResult_None;
  }
  if (packet.size != (u32)n) {
    printf("net: Broken packet: expected size to be %d, got %d\n", (int)packet.size, n);
    return NetResult_None;
  }
  if (packet.type == PacketType_None) {
    printf("PANIC: None packet\n");
    return NetResult_None;
  }
  if ((u32)packet.type >= (u32)PacketType_count) {
    printf("PANIC: Unknown packet type: %d\n", (int)packet.type);
    return NetResult_None;
  }
  int payload = n - PACKET_HEADER_SIZE;
  if (payload < packet_min_payload(packet.type)) {
    printf("net: Broken packet: %s payload of %d bytes\n", packet_type_name(packet.type), payload);
    return NetResult_None;
  }

  // Only a packet that passed every check shows the server alive: junk must not hold off the time-out.
  net.last_recv_time = time_now();
  if (packet.seq_ack != net.last_ack) {
    net.last_ack = packet.seq_ack;
    if (net.last_ack == net.last_seq) {
      net_record_latency();
    } else {
      net.missed_packets += 1;
    }
  }
  game.server_time = packet.time;
  if (packet.time.ns >= net.last_error_time.ns && packet.time - net.last_error_time > ERROR_FADE) net_clear_error();
  if (game.config.debug_log == 1) {
    debug_log("[net]: packet=%s[%d] | size=%d | packet.time=%lu | rect_time=%lu\n", packet_type_name(packet.type),
              (int)packet.type, n, (unsigned long)packet.time.ns, (unsigned long)net.last_recv_time.ns);
  }
  return NetResult_Ok;
}

NetResult net_handle_datagram(Packet& packet, int n, Location& location) {
  if (net_accept(packet, n) == NetResult_None) return NetResult_None;
  return net_dispatch(packet, n, location);
}

// What an accepted packet does.
static NetResult net_dispatch(Packet& packet, int n, Location& location) {
  switch (packet.type) {
    case PacketType_Error:
      net.last_error.code = packet.error.code;
      net.last_error_time = packet.time;
      return NetResult_Err;
    case PacketType_Lobby:
      printf("Got lobby\n");
      game.lobby_screen.lobby = packet.lobby;
      // The names are shown as text: each must end inside its field.
      for (LobbyEntry& e : game.lobby_screen.lobby.players) e.name[PLAYER_NAME_LEN - 1] = 0;
      return NetResult_Lobby;
    case PacketType_World:
      if (packet.flags & PacketFlag_Paused) game.paused = true;
      return NetResult_World;
    case PacketType_State: return net_parse_state(packet, n, location);
    case PacketType_Location: return net_take_location(packet, n, location);
    case PacketType_LocationMap: {
      int size = n - PACKET_HEADER_SIZE;
      printf("Got location map (size: %d)\n", size);
      return load_world_map(packet.data, size, &game.world_map) ? NetResult_Ok : NetResult_None;
    }
    case PacketType_ChatMessage: {
      ChatMessage& m = packet.chat;
      m.text[CHAT_MESSAGE_LEN - 1] = 0;
      m.sender_name[PLAYER_NAME_LEN - 1] = 0;
      printf("Got chat message from %s: %s\n", m.sender_name, m.text);
      chat_append_message(m);
      return NetResult_Ok;
    }
    default: return NetResult_None;
  }
}

// Bytes of the storage, from its start, that may hold something other than zero beyond the records
// in use: a rejected body may have been partly inflated there. Zeroed by the next good snapshot.
static s64 storage_dirty_bytes = 0;

static void net_drop_snapshot(Location& location) {
  entity_storage.nentities = 0;
  entity_storage.nplayers = 0;
  entity_storage.nmobs = 0;
  entity_storage.nobjects = 0;
  location_clear_grid(location);
}

NetResult net_parse_state(Packet& packet, int n, Location& location) {
  game.player = nullptr;
  if (game.screen < Screen_Loading) {
    debugf("Ensure server doesn't send state packets anymore!");
    return NetResult_None;
  }
  if (!location_has_grid(&location)) {
    printf("net: state packet before its location, dropped\n");
    return NetResult_None;
  }
  // The model links entities into the location its host names; it must be the one cleared here.
  if (get_location(entity_storage.entities[0]) != &location) {
    printf("net: state packet for another location, dropped\n");
    return NetResult_None;
  }
  s64 used = (s64)entity_storage.nentities * (s64)sizeof(Entity);
  if (used > storage_dirty_bytes) storage_dirty_bytes = used;
  net_drop_snapshot(location);

  PacketStateHeader header = packet.state;
  AdminBlock admin;
  StateBodyResult r =
      state_body_decode(packet.data + sizeof(PacketStateHeader), n - STATE_BODY_OFFSET, header.nentities,
                        entity_storage.entities, ENTITIES_MAX, game.player_name, &admin);
  if (r.dirty_bytes > storage_dirty_bytes) storage_dirty_bytes = r.dirty_bytes;
  if (!r.ok) {
    printf("net: Broken state packet (%d entities): %s\n", (int)header.nentities, r.error);
    return NetResult_None;
  }
  s64 valid = (s64)header.nentities * (s64)sizeof(Entity);
  if (storage_dirty_bytes > valid)
    memset((u8*)entity_storage.entities + valid, 0, (size_t)(storage_dirty_bytes - valid));
  storage_dirty_bytes = valid;

  entity_storage.nentities = header.nentities;
  game.game_time = header.game_time;
  // The grid is empty, so records are appended without a removal, except a pulled burden: its puller
  // may have placed it already, and listing it twice would corrupt the cell list.
  for (int i = 0; i < header.nentities; i++) {
    Entity& e = entity_storage.entities[i];
    if (is_person(e)) {
      entity_storage.nplayers += 1;
    } else if (has_component(e, Component_Thinker)) {
      entity_storage.nmobs += 1;
    } else {
      entity_storage.nobjects += 1;
    }
    set_pos(e, e.pos, (e.flags & EntityFlag_Pulled) == 0);
  }
  if (r.player_index >= 0) {
    game.player = &entity_storage.entities[r.player_index];
    if (is_admin(*game.player)) {
      game.admin = admin;
      // The names are shown as text: each must end inside its field.
      for (AdminPlayerInfo& info : game.admin.players) info.person.name[PLAYER_NAME_LEN - 1] = 0;
    }
  }
  return NetResult_Ok;
}
