// The link against hostile or failing networks: forged acknowledgements, junk, backlogs, socket errors and
// names that do not resolve, each driven through a scripted server on a loopback address of its own.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <thread>
#include <vector>

#include "net_peer.hpp"
#include "state_body.hpp"

namespace {

// Socket calls that fail once with a chosen error, then behave.
int fail_recv_errno = 0, fail_send_errno = 0;
ssize_t failing_recv(int fd, void* b, size_t n, int flags) {
  if (fail_recv_errno) {
    errno = fail_recv_errno;
    fail_recv_errno = 0;
    return -1;
  }
  return ::recv(fd, b, n, flags);
}
ssize_t failing_send(int fd, const void* b, size_t n, int flags) {
  if (fail_send_errno) {
    errno = fail_send_errno;
    fail_send_errno = 0;
    return -1;
  }
  return ::send(fd, b, n, flags);
}

class NetLink : public ::testing::Test {
 protected:
  void SetUp() override {
    net_test_reset();
    load_entity_registry();
  }
  void TearDown() override {
    net_socket_ops = {::recv, ::send};
    location_free(net_location());
    net_quit();
    net_test_reset();
  }
  // Requests sent so that acknowledgements up to `n` are honest.
  void send_heartbeats(ScriptedPeer& peer, int n) {
    Request r;
    for (int i = 0; i < n; i++) net_send_heartbeat();
    for (int i = 0; i < n; i++) ASSERT_TRUE(peer.receive(r));
  }
};

TEST_F(NetLink, AnAcknowledgementOfARequestNeverSentIsDroppedAndTheNextGoodOneTaken) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.161"));
  game.screen = Screen_Lobby;
  send_heartbeats(peer, 3);
  Time before = net.last_recv_time;
  peer.send(make_packet(PacketType_World, 0x7FFFFFF0u, 100));
  settle();
  net_update();
  EXPECT_EQ(game.screen, Screen_Lobby);
  EXPECT_EQ(net.last_ack, 0u);
  EXPECT_EQ(game.server_time.ns, 0u);
  EXPECT_EQ(net.last_recv_time.ns, before.ns);

  // The real server's next packet is not taken for an old one.
  peer.send(make_packet(PacketType_World, 3, 200));
  settle();
  net_update();
  EXPECT_EQ(game.screen, Screen_Loading);
  EXPECT_EQ(net.last_ack, 3u);
  EXPECT_EQ(game.server_time.ns, 200u);
}

TEST_F(NetLink, AcknowledgementsStartAgainOnANewLinkAndALogin) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.162"));
  send_heartbeats(peer, 5);
  net.last_ack = 5;
  net_send_auth(RequestType_Login, "ann", "secret");
  EXPECT_EQ(net.last_ack, 0u);
  net.last_ack = 6;
  net_connect("127.0.0.162");
  EXPECT_EQ(net.last_ack, 0u);
  // Sequence numbers go on rising, so a late answer to the old link cannot pass for a new one.
  EXPECT_EQ(net.last_seq, 6u);
}

TEST_F(NetLink, JunkDoesNotHoldOffTheTimeOut) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.163"));
  game.screen = Screen_Lobby;
  // Long enough that a loaded machine's scheduling cannot pass for silence.
  game.config.server_timeout_ms = 400;
  net_reset_timeouts();
  net.last_sent_time = time_now();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  u8 junk[64];
  memset(junk, 0xA5, sizeof(junk));
  peer.send_raw(junk, 7);             // shorter than a header
  peer.send_raw(junk, sizeof(junk));  // size field disagrees
  Packet forged = make_packet(PacketType_World, 999, 5);
  peer.send(forged);  // acknowledges nothing sent
  Packet unknown = make_packet((PacketType)200, 0, 5);
  peer.send(unknown);
  settle();
  net_update();
  EXPECT_EQ(net.received_packets, 4u);
  EXPECT_TRUE(net_server_timed_out());

  // A good packet shows the server alive again (read the stamp, not the clock: the screen it opens loads
  // resources, which on a loaded machine can take longer than the time-out).
  Time silent_since = net.last_recv_time;
  peer.send(make_packet(PacketType_World, 0, 5));
  settle();
  net_update();
  EXPECT_GT(net.last_recv_time.ns, silent_since.ns);
}

TEST_F(NetLink, AFrameDrainsWhatWaitsUpToItsBoundPastBrokenDatagrams) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.164"));
  int one_mib = 1 << 20;
  setsockopt(net.socket, SOL_SOCKET, SO_RCVBUF, &one_mib, sizeof(one_mib));
  game.screen = Screen_Loading;
  const int total = NET_DATAGRAMS_PER_FRAME + 44;
  for (int i = 0; i < total; i++) {
    if (i == 2) {
      u8 junk[5] = {};
      peer.send_raw(junk, sizeof(junk));
    } else {
      peer.send(make_packet(PacketType_World, 0, (u64)i + 1));
    }
  }
  settle();
  net_update();
  EXPECT_EQ(net.received_packets, (u32)NET_DATAGRAMS_PER_FRAME);
  EXPECT_EQ(game.server_time.ns, (u64)NET_DATAGRAMS_PER_FRAME);
  net_update();
  EXPECT_EQ(net.received_packets, (u32)total);
  EXPECT_EQ(game.server_time.ns, (u64)total);
}

TEST_F(NetLink, ABacklogOfStatePacketsIsAppliedAsTheNewestInOneFrame) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.165"));
  int one_mib = 1 << 20;
  setsockopt(net.socket, SOL_SOCKET, SO_RCVBUF, &one_mib, sizeof(one_mib));
  Location& loc = net_location();
  std::vector<u8> tiles(64 * 64, TileType_Grass);
  ASSERT_TRUE(location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 64, 64, {0, 0}, tiles.data(), 64 * 64));
  game.screen = Screen_World;
  game.player_name = "Ann";
  const int backlog = 200;
  for (int i = 0; i < backlog; i++) {
    // Each snapshot has one more entity than the last, and its own hour.
    Entity es[3] = {};
    int n = 1 + i % 3;
    for (int k = 0; k < n; k++) {
      es[k].id = (Id)(k + 1);
      es[k].type = Entity_rock;
      es[k].pos = {(f32)(10 + k), (f32)(10 + i % 40)};
    }
    Packet p;
    int size = state_packet_build(p, es, n, GameTime{(u8)(i % 24), (u8)(i / 24)}, nullptr);
    ASSERT_GT(size, 0);
    p.time.ns = (u64)i + 1;
    peer.send(p);
    // A chat line between snapshots is still handled, in order.
    if (i == 100) {
      Packet chat = make_packet(PacketType_ChatMessage, 0, (u64)i + 1, (int)sizeof(ChatMessage));
      memset((void*)&chat.chat, 0, sizeof(ChatMessage));
      cstr_copy(chat.chat.text, "between", CHAT_MESSAGE_LEN);
      peer.send(chat);
    }
  }
  settle();
  net_update();
  EXPECT_EQ(net.received_packets, (u32)backlog + 1);
  EXPECT_EQ(net.skipped_states, (u32)backlog - 1);
  const int last = backlog - 1;
  EXPECT_EQ(entity_storage.nentities, 1 + last % 3);
  EXPECT_EQ(game.game_time.hour, last % 24);
  EXPECT_EQ(game.server_time.ns, (u64)backlog);
  EXPECT_EQ(count_in_grid(loc), 1 + last % 3);
  EXPECT_TRUE(wait_readable(0) == false);
}

TEST_F(NetLink, EachTransientErrorIsShownAndRetried) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.166"));
  net_socket_ops = {failing_recv, failing_send};
  net.last_sent_time = time_now();
  for (int err : {EHOSTUNREACH, ENETUNREACH, EMSGSIZE, EHOSTDOWN, ENETDOWN, ECONNREFUSED, ECONNRESET, ETIMEDOUT}) {
    SCOPED_TRACE(strerror(err));
    // A receive error: shown, the frame ends, and the next frame reads what came.
    net_clear_error();
    int socket_before = net.socket;
    fail_recv_errno = err;
    peer.send(make_packet(PacketType_World, 0, 10));
    settle();
    game.screen = Screen_Lobby;
    net_update();
    EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
    EXPECT_EQ(net.socket, socket_before);
    net_update();
    EXPECT_EQ(game.screen, Screen_Loading);
    std::vector<u8> request;
    while (peer.receive_bytes(request, 20)) {
    }

    // A send error: shown, and the next request goes out on the same link.
    net_clear_error();
    fail_send_errno = err;
    net_send_heartbeat();
    EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
    EXPECT_TRUE(peer.quiet(20));
    net_send_heartbeat();
    Request r;
    ASSERT_TRUE(peer.receive(r));
    EXPECT_EQ(r.seq, net.last_seq);
  }
}

TEST_F(NetLink, ASocketClosedUnderTheLinkIsOpenedAgainByTheNextRequest) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.167"));
  net_socket_ops = {failing_recv, failing_send};
  fail_send_errno = EBADF;
  int old = net.socket;
  net_send_heartbeat();
  EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
  EXPECT_EQ(net.socket, 0);
  close(old);
  net_send_heartbeat();
  EXPECT_NE(net.socket, 0);
  Request r;
  ASSERT_TRUE(peer.receive(r));
  EXPECT_EQ(r.seq, net.last_seq);
}

// The link stays closed and says so on every request, which is still counted; nothing is read from it.
TEST_F(NetLink, AnUnresolvedNameIsLookedUpAgainAtMostEveryFiveSeconds) {
  net_connect("no-such-host.invalid");
  ASSERT_EQ(net.socket, 0);
  EXPECT_EQ(net.resolutions, 1u);
  EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
  net_clear_error();
  for (int i = 0; i < 20; i++) net_send_heartbeat();
  EXPECT_EQ(net.resolutions, 1u);
  EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
  EXPECT_EQ(net.last_seq, 20u);
  EXPECT_EQ(net_receive(net_location()), NetResult_None);
  net.resolve_failed_time = ago(NET_RESOLVE_RETRY.ns / 1000000ull + 10);
  net_send_heartbeat();
  EXPECT_EQ(net.resolutions, 2u);
  net_send_heartbeat();
  EXPECT_EQ(net.resolutions, 2u);
}

}  // namespace
