// POSIX datagram socket for the server.
#include "udp.hpp"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

const char* udp_address_str(UdpAddress a) {
  static char buffers[8][32];
  static int counter;
  char* b = buffers[counter++ % 8];
  snprintf(b, 32, "%u.%u.%u.%u:%u", (a.ip >> 24) & 255, (a.ip >> 16) & 255, (a.ip >> 8) & 255, a.ip & 255, a.port);
  return b;
}

bool udp_parse_ipv4(const char* text, u32* ip) {
  in_addr addr;
  if (inet_pton(AF_INET, text, &addr) != 1) return false;
  *ip = ntohl(addr.s_addr);
  return true;
}

int udp_open(const char* bind_address, u16 port, Text& error) {
  u32 ip = 0;
  if (!udp_parse_ipv4(bind_address, &ip)) {
    error = tprintf("not an IPv4 address: '%.64s'", bind_address);
    return -1;
  }
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    error = tprintf("socket: %s", strerror(errno));
    return -1;
  }
  // Snapshots for several players leave in bursts; a roomy send buffer keeps the kernel from dropping them.
  int buffer_size = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer_size, sizeof(buffer_size));
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer_size, sizeof(buffer_size));
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(ip);
  if (bind(fd, (sockaddr*)&addr, sizeof(addr)) != 0) {
    error = tprintf("cannot bind %s:%u: %s", bind_address, port, strerror(errno));
    close(fd);
    return -1;
  }
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = tprintf("cannot make the socket non-blocking: %s", strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

void udp_close(int fd) {
  if (fd >= 0) close(fd);
}

int udp_receive_batch(int fd, UdpBatch& batch, int max) {
  static mmsghdr messages[UDP_BATCH_MAX];
  static iovec vectors[UDP_BATCH_MAX];
  static sockaddr_in addrs[UDP_BATCH_MAX];
  max = max < UDP_BATCH_MAX ? max : UDP_BATCH_MAX;
  if (max <= 0) return 0;
  for (int i = 0; i < max; i++) {
    vectors[i] = {batch.data[i], UDP_SLOT_SIZE};
    messages[i] = {};
    messages[i].msg_hdr.msg_name = &addrs[i];
    messages[i].msg_hdr.msg_namelen = sizeof(addrs[i]);
    messages[i].msg_hdr.msg_iov = &vectors[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  // A client that went away makes the kernel report its closed port on a later read: that report is
  // consumed by the failed call, so trying again reads what follows it.
  for (int attempt = 0; attempt < UDP_BATCH_MAX; attempt++) {
    int n = recvmmsg(fd, messages, (unsigned)max, MSG_DONTWAIT | MSG_TRUNC, nullptr);
    if (n < 0) {
      if (errno == ECONNREFUSED || errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      printf("udp: receive failed: %s\n", strerror(errno));
      return -1;
    }
    for (int i = 0; i < n; i++) {
      batch.from[i].ip = ntohl(addrs[i].sin_addr.s_addr);
      batch.from[i].port = ntohs(addrs[i].sin_port);
      unsigned len = messages[i].msg_len;
      batch.size[i] = len > 0x7FFFFFFFu ? 0x7FFFFFFF : (int)len;
    }
    return n;
  }
  return 0;
}

bool udp_send(int fd, UdpAddress to, const void* data, int size) {
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(to.port);
  addr.sin_addr.s_addr = htonl(to.ip);
  ssize_t n = sendto(fd, data, (size_t)size, 0, (sockaddr*)&addr, sizeof(addr));
  return n == size;
}
