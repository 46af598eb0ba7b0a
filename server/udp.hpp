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
// Bytes read, 0 when nothing is pending (or a datagram was refused by the system), -1 on a real error.
int udp_receive(int fd, void* buffer, int capacity, UdpAddress* from);
bool udp_send(int fd, UdpAddress to, const void* data, int size);
