#pragma once
// The server's one non-blocking IPv4 UDP socket.
#include "types.hpp"

struct UdpAddress {
  u32 ip = 0;  // host byte order
  u16 port = 0;
};

inline bool udp_address_equal(UdpAddress a, UdpAddress b) { return a.ip == b.ip && a.port == b.port; }
// "a.b.c.d:port" in one of 8 rotating buffers.
const char* udp_address_str(UdpAddress a);
bool udp_parse_ipv4(const char* text, u32* ip);

// -1 when the socket cannot be opened or bound; `error` says why.
int udp_open(const char* bind_address, u16 port, Text& error);
void udp_close(int fd);
// Datagrams read in one system call. A request is 137 bytes: anything longer than a slot is malformed, and
// its real length is still reported in `size`, so it is never mistaken for a shorter one.
constexpr int UDP_BATCH_MAX = 64;
constexpr int UDP_SLOT_SIZE = 512;

struct UdpBatch {
  u8 data[UDP_BATCH_MAX][UDP_SLOT_SIZE];
  int size[UDP_BATCH_MAX];  // may exceed UDP_SLOT_SIZE; 0 for an empty datagram
  UdpAddress from[UDP_BATCH_MAX];
};

// Reads up to `max` pending datagrams; returns how many (0 when the socket is empty), -1 on a real error.
// An empty datagram counts as one; a refused-port report from an earlier send is skipped, not an end.
int udp_receive_batch(int fd, UdpBatch& batch, int max);
bool udp_send(int fd, UdpAddress to, const void* data, int size);
