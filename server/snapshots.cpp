// Snapshots: what each character sees, nearest first, cut to one datagram.
#include <algorithm>

#include "items.hpp"
#include "server_internal.hpp"
#include "snapshot_body.hpp"

// --- snapshots

// A fire's light carries beyond sight: burning things are sent from this far, after everything in view.
constexpr f32 FIRE_SEEN_RADIUS = 2 * vision_radius;

struct SnapshotCandidate {
  f32 distance_sqr;
  Entity* entity;
};

static void append_contents(const Entity& holder, Entity** out, int& n, int capacity) {
  const Container* c = find_container(holder);
  if (!c) return;
  for (int i = 0; i < container_nslots(*c) && n < capacity; i++) {
    Entity* item = world_find(c->slots[i]);
    if (item && item != &holder) out[n++] = item;
  }
}

int server_collect_snapshot(Entity& player, Entity** out, int capacity) {
  int n = 0;
  if (capacity <= 0) return 0;
  out[n++] = &player;
  // The character's possessions, breadth first: gear, what the bag holds, and deeper.
  for (int i = 0; i < n && n < capacity; i++) append_contents(*out[i], out, n, capacity);
  if (Mortal* mortal = find_mortal(player)) {
    Entity* burden = world_find(mortal->burden);
    if (burden && n < capacity) out[n++] = burden;
  }
  static SnapshotCandidate candidates[ENTITIES_MAX];
  int ncandidates = 0;
  for (EntityIter it = locate_entities(in_radius(&player, FIRE_SEEN_RADIUS, player.pos)); it.entity; next(it)) {
    if (it.entity == &player || ncandidates >= ENTITIES_MAX) continue;
    f32 d2 = v2_distance_sqr(it.entity->pos, player.pos);
    if (d2 > vision_radius * vision_radius && !(it.entity->flags & EntityFlag_Burning)) continue;
    candidates[ncandidates++] = {d2, it.entity};
  }
  std::sort(candidates, candidates + ncandidates,
            [](const SnapshotCandidate& a, const SnapshotCandidate& b) { return a.distance_sqr < b.distance_sqr; });
  for (int i = 0; i < ncandidates && n < capacity; i++) {
    out[n++] = candidates[i].entity;
    // What others hold and chests contain, one level down, right after their holder.
    append_contents(*candidates[i].entity, out, n, capacity);
    // A lifted burden is off the ground: it travels with its carrier.
    const Mortal* mortal = find_mortal(*candidates[i].entity);
    Entity* burden = mortal ? world_find(mortal->burden) : nullptr;
    if (burden && !(burden->flags & EntityFlag_Pulled) && n < capacity) out[n++] = burden;
  }
  return n;
}

int server_build_snapshot(Session& s, Packet& packet) {
  Entity* player = world_find(s.player_id);
  if (!player) return 0;
  static Entity* list[SNAPSHOT_RECORDS_MAX];
  int n = server_collect_snapshot(*player, list, SNAPSHOT_RECORDS_MAX);
  AdminBlock admin;
  bool with_admin = is_admin(*player);
  if (with_admin) {
    for (Session& other : server.sessions) {
      Entity* e = other.active ? world_find(other.player_id) : nullptr;
      if (!e || admin.nplayers >= PLAYERS_MAX) continue;
      AdminPlayerInfo& info = admin.players[admin.nplayers++];
      info.id = e->id;
      info.person = e->person;
      info.pos = e->pos;
    }
  }
  int size = snapshot_packet_build(packet, list, n, world_game_time(), with_admin ? &admin : nullptr);
  s.snapshot_records = size > 0 ? packet.state.nentities : 0;
  s.snapshot_size = size;
  return size;
}

void server_send_snapshots() {
  Time now = time_now();
  for (Session& s : server.sessions) {
    if (!s.active || !s.streaming || !s.player_id) continue;
    // A client silent this long is gone or was never there (a forged start): nothing goes its way.
    if (now.ns > s.last_recv.ns && now.ns - s.last_recv.ns > STREAM_SILENCE.ns) continue;
    s.snapshot_credit += SNAPSHOTS_PER_SECOND;
    if (s.snapshot_credit < SERVER_FPS) continue;
    s.snapshot_credit -= SERVER_FPS;
    if (server_build_snapshot(s, server_out_packet) > 0) server_send_packet(s, server_out_packet);
  }
}
