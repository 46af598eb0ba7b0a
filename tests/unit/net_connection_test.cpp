// The connection's bookkeeping against a scripted server on a loopback address of each test's own.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net_peer.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "test_files.hpp"

namespace {

// Reads exactly one datagram that the peer has sent.
NetResult receive_one() {
  if (!wait_readable()) return (NetResult)99;
  return net_receive(net_location());
}

class NetConnection : public ::testing::Test {
 protected:
  void SetUp() override { net_test_reset(); }
  void TearDown() override {
    net_quit();
    net_test_reset();
  }
};

TEST_F(NetConnection, AcknowledgementsAndLatencySamples) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.142"));
  Request r;
  net_send_heartbeat();
  ASSERT_TRUE(peer.receive(r));
  EXPECT_EQ(r.seq, 1u);

  // The first acknowledgement of the latest request gives one sample.
  peer.send(make_packet(PacketType_World, 1, 100));
  EXPECT_EQ(receive_one(), NetResult_World);
  EXPECT_EQ(net.last_ack, 1u);
  EXPECT_EQ(net.latency_history_total, 1);
  EXPECT_EQ(game.server_time.ns, 100u);

  // An equal ack is accepted but gives no second sample.
  peer.send(make_packet(PacketType_World, 1, 200));
  EXPECT_EQ(receive_one(), NetResult_World);
  EXPECT_EQ(game.server_time.ns, 200u);
  EXPECT_EQ(net.latency_history_total, 1);

  // An older ack is skipped whole.
  net_send_heartbeat();
  net_send_heartbeat();
  peer.send(make_packet(PacketType_World, 2, 300));
  EXPECT_EQ(receive_one(), NetResult_World);
  EXPECT_EQ(net.missed_packets, 1u);  // 2 is not the latest request (3)
  EXPECT_EQ(net.latency_history_total, 1);
  peer.send(make_packet(PacketType_World, 1, 400));
  EXPECT_EQ(receive_one(), NetResult_None);
  EXPECT_EQ(game.server_time.ns, 300u);
  EXPECT_EQ(net.last_ack, 2u);
  peer.send(make_packet(PacketType_World, 3, 500));
  EXPECT_EQ(receive_one(), NetResult_World);
  EXPECT_EQ(net.latency_history_total, 2);
  EXPECT_EQ(net.received_packets, 5u);
  EXPECT_LT(net.avg_latency.ns, (1000 * Milliseconds).ns);
}

// Samples of known length: the request is dated back by `k` ms before its acknowledgement arrives.
void sample(u64 k) {
  net.last_seq += 1;
  net.last_sent_time = ago(k);
  Packet p = make_packet(PacketType_World, net.last_seq);
  ASSERT_EQ(net_handle_datagram(p, (int)p.size, net_location()), NetResult_World);
}

TEST_F(NetConnection, MeanLatencyOverTheSamplesHeld) {
  for (u64 k : {10, 20, 30}) sample(k);
  EXPECT_EQ(net.latency_history_total, 3);
  EXPECT_NEAR(to_ms(net.avg_latency), 20.0, 2.0);

  net_test_reset();
  for (u64 k = 1; k <= 200; k++) sample(k);
  // The ring holds the last 128 samples (73..200 ms); their mean, not the mean of all 200.
  EXPECT_EQ(net.latency_history_total, 200);
  EXPECT_EQ(net.latency_index, 200 % LATENCY_HISTORY_MAX);
  EXPECT_NEAR(to_ms(net.avg_latency), 136.5, 2.0);
  EXPECT_NEAR(to_ms(net.latency), 200.0, 2.0);
}

TEST_F(NetConnection, ALocationRebuildsTheTerrainAtItsSize) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.149"));
  game.screen = Screen_Loading;
  terrain_free();
  Packet p = make_packet(PacketType_Location, 0, 0, LOCATION_HEADER_SIZE + 12);
  p.location.width = 4;
  p.location.height = 3;
  peer.send(p);
  settle();
  net_update();
  EXPECT_EQ(renderer.tiles_vertices_size, (s64)(4 * 3 * 4 * sizeof(TileVertex)));
  EXPECT_EQ(game.location->width, 4);
  location_free(*game.location);
}

TEST_F(NetConnection, ErrorStopsTheFrameAndTheLobbyFollowsNextFrame) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.144"));
  game.screen = Screen_Login;
  Packet error = make_packet(PacketType_Error, 0, 0, 4);
  error.error.code = ErrorCode_LoginNotFound;
  peer.send(error);
  Packet lobby = make_packet(PacketType_Lobby, 0, 0, 160);
  cstr_copy(lobby.lobby.players[0].name, "Ann", PLAYER_NAME_LEN);
  peer.send(lobby);
  settle();
  net_update();
  EXPECT_EQ(net.last_error.code, ErrorCode_LoginNotFound);
  EXPECT_EQ(game.screen, Screen_Login);
  EXPECT_EQ(net.received_packets, 1u);
  net_update();
  EXPECT_EQ(game.screen, Screen_Lobby);
  EXPECT_STREQ(game.lobby_screen.lobby.players[0].name, "Ann");
}

TEST_F(NetConnection, ErrorFadesAfterThreeSecondsOfServerTime) {
  u64 t0 = 50 * Seconds.ns;
  Packet error = make_packet(PacketType_Error, 0, t0, 4);
  error.error.code = ErrorCode_NoSpace;
  ASSERT_EQ(net_handle_datagram(error, (int)error.size, net_location()), NetResult_Err);
  struct {
    u64 after_ms;
    bool kept;
  } steps[] = {{1000, true}, {3000, true}, {3001, false}};
  for (auto& s : steps) {
    net.last_error.code = ErrorCode_NoSpace;
    Packet p = make_packet(PacketType_World, 0, t0 + ms(s.after_ms).ns);
    net_handle_datagram(p, (int)p.size, net_location());
    EXPECT_EQ(net.last_error.code == ErrorCode_NoSpace, s.kept) << s.after_ms;
  }
  // A packet dated before the error does not clear it.
  net.last_error.code = ErrorCode_NoSpace;
  Packet early = make_packet(PacketType_World, 0, 1);
  net_handle_datagram(early, (int)early.size, net_location());
  EXPECT_EQ(net.last_error.code, ErrorCode_NoSpace);
  net_clear_error();
  EXPECT_EQ(net.last_error.code, ErrorCode_Ok);
}

TEST_F(NetConnection, ALocalTimeOutSurvivesLatePacketsOfThatMoment) {
  u64 t0 = 80 * Seconds.ns;
  Packet p = make_packet(PacketType_World, 0, t0);
  net_handle_datagram(p, (int)p.size, net_location());
  net.last_recv_time = ago(60000);
  ASSERT_TRUE(net_server_timed_out());
  EXPECT_EQ(net.last_error.code, ErrorCode_Gone);
  // A datagram from just before the silence arrives late: the message stays up.
  Packet late = make_packet(PacketType_World, 0, t0 + ms(500).ns);
  net_handle_datagram(late, (int)late.size, net_location());
  EXPECT_EQ(net.last_error.code, ErrorCode_Gone);
  Packet later = make_packet(PacketType_World, 0, t0 + ms(3001).ns);
  net_handle_datagram(later, (int)later.size, net_location());
  EXPECT_EQ(net.last_error.code, ErrorCode_Ok);
}

TEST_F(NetConnection, HeartbeatAfterASecondExceptOnTheLoginScreen) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.145"));
  Request r;
  game.screen = Screen_Login;
  net.last_sent_time = ago(5000);
  net_update();
  EXPECT_TRUE(peer.quiet());

  for (Screen s : {Screen_Lobby, Screen_Loading, Screen_World, Screen_WorldMenu}) {
    SCOPED_TRACE(screen_name(s));
    game.screen = s;
    net.last_sent_time = ago(900);
    net_update();
    EXPECT_TRUE(peer.quiet());
    net.last_sent_time = ago(1100);
    net_update();
    ASSERT_TRUE(peer.receive(r));
    EXPECT_EQ(r.type, RequestType_Heartbeat);
    // The heartbeat restarted the clock.
    net_update();
    EXPECT_TRUE(peer.quiet());
  }
}

TEST_F(NetConnection, TimeOuts) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.146"));
  game.config.server_timeout_ms = 40;
  net_reset_timeouts();
  net_send_heartbeat();
  EXPECT_FALSE(net_server_timed_out());
  EXPECT_FALSE(net_request_timed_out());
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_TRUE(net_request_timed_out());
  EXPECT_TRUE(net_server_timed_out());
  EXPECT_EQ(net.last_error.code, ErrorCode_Gone);

  // Any datagram gives the server a fresh window.
  peer.send(make_packet(PacketType_World, 0));
  EXPECT_EQ(receive_one(), NetResult_World);
  EXPECT_FALSE(net_server_timed_out());
}

TEST_F(NetConnection, ServerDownIsShownNotFatal) {
  // Nothing listens on this address: the kernel refuses, and the client says so on the screen.
  net_connect("127.0.0.147");
  ASSERT_NE(net.socket, 0);
  net_send_heartbeat();
  settle();
  EXPECT_EQ(net_receive(net_location()), NetResult_Err);
  EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
  // The next request still goes out (or is refused the same way); the program goes on.
  net_clear_error();
  net_send_heartbeat();
  settle();
  net_receive(net_location());
  EXPECT_EQ(net.last_error.code, ErrorCode_ServiceUnavailable);
}

TEST_F(NetConnection, DisconnectTellsTheServerAndClosesTheLink) {
  ScriptedPeer peer;
  ASSERT_TRUE(peer.start("127.0.0.148"));
  net.last_error.code = ErrorCode_Cooldown;
  net_disconnect();
  Request r;
  ASSERT_TRUE(peer.receive(r));
  EXPECT_EQ(r.type, RequestType_Disconnect);
  EXPECT_EQ(net.socket, 0);
  EXPECT_EQ(net.last_error.code, ErrorCode_Ok);
  // Disconnecting twice sends nothing more.
  net_disconnect();
  EXPECT_TRUE(peer.quiet());
  // After quitting, nothing opens the link again.
  net_quit();
  net_send_heartbeat();
  EXPECT_EQ(net.socket, 0);
  EXPECT_TRUE(peer.quiet());
}

}  // namespace

namespace {

TEST(NetDebugLog, EachLevelWritesItsOwnLines) {
  net_test_reset();
  TempDir dir;
  const std::string path = dir.path + "/net.log";
  Packet p = make_packet(PacketType_Lobby, 0, 42, 160);
  // Level 2 traces requests, level 1 traces packets; neither writes the other's lines.
  std::string logs[3];
  for (int level : {2, 1}) {
    game.config.debug_log_file = fopen(path.c_str(), "w");
    ASSERT_NE(game.config.debug_log_file, nullptr);
    game.config.debug_log = level;
    level == 2 ? net_send_heartbeat() : net_send_quit();
    net_handle_datagram(p, (int)p.size, net_location());
    fclose(game.config.debug_log_file);
    logs[level] = read_text(path);
  }
  EXPECT_EQ(logs[2], "[net] Sending Request(Heartbeat)[seq=1]\n");
  EXPECT_EQ(logs[1].find("[net] Sending"), std::string::npos);
  char expected[160];
  snprintf(expected, sizeof(expected), "[net]: packet=lobby[2] | size=192 | packet.time=42 | rect_time=%lu\n",
           (unsigned long)net.last_recv_time.ns);
  EXPECT_NE(logs[1].find(expected), std::string::npos) << logs[1];
  game.config.debug_log = 0;
  game.config.debug_log_file = nullptr;
  net_test_reset();
}

}  // namespace
