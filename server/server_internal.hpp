#pragma once
// What the server's own files share and nobody else calls.
#include "server.hpp"

// The one outgoing packet, filled and sent before the next is built.
extern Packet& server_out_packet;

void server_send_packet(Session& s, Packet& packet);
void server_send_simple(Session& s, PacketType type, const void* payload, int size);
void server_send_error(Session& s, ErrorCode code);
void server_send_lobby(Session& s);
void server_send_location(Session& s);
void server_send_location_map(Session& s);
void server_send_snapshots();

// A limit that lets `burst` through at once and then one per `interval`.
bool server_rate_take(Time& free_at, Time now, Duration interval, int burst);
bool server_finite_v2(v2 v);
void server_stop_mover(Entity& e);

void server_auth_init();
ErrorCode server_auth_form_error(const Request& r);
void server_handle_auth(Session& s, const Request& r);
Session* server_start_session(UdpAddress address);
bool server_save_character(Session& s);
void server_leave_world(Session& s);
void server_handle_create_player(Session& s, const Request& r);
void server_handle_enter(Session& s, const Request& r);
