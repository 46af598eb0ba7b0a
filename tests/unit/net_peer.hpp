#pragma once
// A scripted server for connection tests: a UDP socket bound to port 4242 of a loopback address of the
// test's own (127.0.0.x), so tests can run in parallel, that reads requests and sends packets.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "app/client.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"

struct ScriptedPeer {
  int fd = -1;
  sockaddr_in client = {};

  ~ScriptedPeer() {
    if (fd >= 0) close(fd);
  }

  // Binds the peer and opens the client's link to it.
  bool start(const char* ip) {
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(SERVER_PORT);
    inet_pton(AF_INET, ip, &a.sin_addr);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (bind(fd, (sockaddr*)&a, sizeof(a)) != 0) return false;
    net_connect(ip);
    if (!net.socket) return false;
    socklen_t len = sizeof(client);
    return getsockname(net.socket, (sockaddr*)&client, &len) == 0;
  }

  // The next request, or false when none came within the wait.
  bool receive(Request& out, int wait_ms = 1000) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return false;
    u8 buffer[512];
    ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n != (ssize_t)sizeof(Request)) return false;
    memcpy((void*)&out, buffer, sizeof(Request));
    return true;
  }

  bool receive_bytes(std::vector<u8>& out, int wait_ms = 1000) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return false;
    out.resize(2048);
    ssize_t n = recv(fd, out.data(), out.size(), 0);
    if (n < 0) return false;
    out.resize((size_t)n);
    return true;
  }

  // True when no request is waiting.
  bool quiet(int wait_ms = 50) {
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, wait_ms) == 0;
  }

  void send_raw(const void* data, int n) { sendto(fd, data, (size_t)n, 0, (sockaddr*)&client, sizeof(client)); }
  void send(const Packet& packet) { send_raw(&packet, (int)packet.size); }
};

// Waits until the client's socket has a datagram to read, so a test does not race the loopback.
inline bool wait_readable(int wait_ms = 1000) {
  pollfd p = {net.socket, POLLIN, 0};
  return poll(&p, 1, wait_ms) > 0;
}

// Lets the datagrams the peer sent reach the client's socket before a frame reads them.
inline void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

constexpr Duration ms(u64 n) { return {n * 1000000ull}; }
inline Time ago(u64 milliseconds) { return {time_now().ns - ms(milliseconds).ns}; }

inline Packet make_packet(PacketType type, u32 seq_ack, u64 time_ns = 0, int payload = 0) {
  Packet p;
  p.type = type;
  p.seq_ack = seq_ack;
  p.time.ns = time_ns;
  p.size = (u32)(PACKET_HEADER_SIZE + payload);
  return p;
}

// Leaves the link, the counters and the client state the network writes as at start-up.
inline void net_test_reset() {
  if (net.socket) close(net.socket);
  net = Net{};
  game.screen = Screen_PreLoading;
  game.paused = false;
  game.player = nullptr;
  game.player_name = nullptr;
  game.server_time = {};
  game.config.debug_log = 0;
  game.config.server_timeout_ms = 100;
  game.admin = AdminBlock{};
  entity_storage.nentities = 0;
}

// How many entities the location's grid lists, all cells together.
inline int count_in_grid(const Location& loc) {
  int n = 0;
  for (int i = 0; loc.grid && i < loc.width * loc.height; i++) {
    for (Entity* e = loc.grid[i]; e; e = e->next_in_grid) n++;
  }
  return n;
}

// An stb_image_write callback that appends the encoded bytes to a std::vector<u8>.
inline void append_bytes(void* context, void* data, int size) {
  auto* out = (std::vector<u8>*)context;
  out->insert(out->end(), (u8*)data, (u8*)data + size);
}
