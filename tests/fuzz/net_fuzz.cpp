// libFuzzer target: any datagram through the client's receive path. Built only with -DVALMIRE_FUZZ=ON
// and clang (scripts/fuzz-net.sh, which the test command runs for a minute on a seeded corpus).
// With VALMIRE_FUZZ_WRITE_SEEDS=<dir> in the environment it writes one valid datagram of every packet type
// into <dir> and exits, so that the fuzzer starts from packets that pass the header checks.
#include <stdio.h>
#include <stdlib.h>

#include "app/client.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "state_body.hpp"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

// Requests the client has "sent": acknowledgements above this are forged, below it honest.
constexpr u32 FUZZ_LAST_SEQ = 1000;

static Packet seed_packet(PacketType type, int payload) {
  Packet p;
  p.type = type;
  p.seq_ack = FUZZ_LAST_SEQ / 2;
  p.time.ns = 5000000000ull;
  p.size = (u32)(PACKET_HEADER_SIZE + payload);
  return p;
}

static void seed_write(const char* dir, const char* name, const void* data, size_t size) {
  char path[512];
  snprintf(path, sizeof(path), "%s/%s", dir, name);
  FILE* f = fopen(path, "wb");
  if (!f || fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

static void seed_write_packet(const char* dir, const char* name, const Packet& p) { seed_write(dir, name, &p, p.size); }

static void png_append(void* context, void* data, int size) {
  Packet* p = (Packet*)context;
  memcpy(p->data + (p->size - PACKET_HEADER_SIZE), data, (size_t)size);
  p->size += (u32)size;
}

static void write_seeds(const char* dir) {
  static Packet p;
  p = seed_packet(PacketType_Error, (int)sizeof(SharedError));
  p.error.code = ErrorCode_NoSpace;
  seed_write_packet(dir, "error", p);

  p = seed_packet(PacketType_Lobby, (int)sizeof(Lobby));
  cstr_copy(p.lobby.players[0].name, "Ann", PLAYER_NAME_LEN);
  cstr_copy(p.lobby.players[1].name, "Bob", PLAYER_NAME_LEN);
  seed_write_packet(dir, "lobby", p);

  p = seed_packet(PacketType_World, 0);
  p.flags = PacketFlag_Paused;
  seed_write_packet(dir, "world", p);

  p = seed_packet(PacketType_ChatMessage, (int)sizeof(ChatMessage));
  cstr_copy(p.chat.text, "hello", CHAT_MESSAGE_LEN);
  cstr_copy(p.chat.sender_name, "Bob", PLAYER_NAME_LEN);
  p.chat.sender_id = 2;
  seed_write_packet(dir, "chat", p);

  p = seed_packet(PacketType_Location, LOCATION_HEADER_SIZE + 16 * 16);
  p.location.type = LocationType_World;
  p.location.width = 16;
  p.location.height = 16;
  for (int i = 0; i < 256; i++) p.location.tiles[i] = (u8)(i % TileType_count);
  seed_write_packet(dir, "location", p);

  u8 tiles[8 * 8];
  for (int i = 0; i < 64; i++) tiles[i] = (u8)(i % TileType_count);
  p = seed_packet(PacketType_LocationMap, 0);
  if (!stbi_write_png_to_func(png_append, &p, 8, 8, 1, tiles, 8)) abort();
  seed_write_packet(dir, "location-map", p);

  // Snapshots with the player, with other people only, and with the player as an admin.
  static Entity es[12];
  for (int variant = 0; variant < 3; variant++) {
    memset((void*)es, 0, sizeof(es));
    for (int i = 0; i < 12; i++) {
      Entity& e = es[i];
      e.id = (Id)(i + 1 + (variant == 1 ? 100 : 0));
      e.type = (EntityType)(1 + i % (Entity_num - 1));
      e.pos = {(f32)(2 + i), (f32)(3 + i % 5)};
      if (i % 3 == 0) {
        enable_component(e, Component_Person);
        cstr_copy(e.person.name, i == 0 && variant != 1 ? "Ann" : "Other", PLAYER_NAME_LEN);
        enable_component(e, Component_Mortal);
      } else if (i % 3 == 1) {
        enable_component(e, Component_Item);
        e.item.container = i > 1 ? es[i - 1].id : 0;
      } else {
        enable_component(e, Component_Container);
        e.container.nslots = 2;
        e.container.slots[0] = es[i - 1].id;
      }
    }
    if (variant == 2) es[0].flags |= EntityFlag_IsAdmin;
    AdminBlock admin;
    admin.nplayers = 2;
    int n = state_packet_build(p, es, 12, GameTime{7, 2}, variant == 2 ? &admin : nullptr);
    if (n <= 0) abort();
    p.seq_ack = FUZZ_LAST_SEQ / 2;
    char name[32];
    snprintf(name, sizeof(name), "state-%d", variant);
    seed_write_packet(dir, name, p);
  }
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* dir = getenv("VALMIRE_FUZZ_WRITE_SEEDS")) {
    load_entity_registry();
    write_seeds(dir);
    exit(0);
  }
  return 0;
}

static Location& fuzz_location() {
  static bool ready = false;
  Location& loc = net_location();
  if (!ready || !location_has_grid(&loc)) {
    if (!ready) {
      load_entity_registry();
      // The log line of every broken datagram would cost more than the datagram.
      if (!freopen("/dev/null", "w", stdout)) abort();
    }
    ready = true;
    u8 tiles[16 * 16];
    memset(tiles, TileType_Grass, sizeof(tiles));
    location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 16, 16, {0, 0}, tiles, 256);
    entity_storage.nentities = 0;
  }
  return loc;
}

static int count_in_grid(const Location& loc) {
  int n = 0;
  for (int i = 0; i < loc.width * loc.height; i++) {
    for (Entity* e = loc.grid[i]; e; e = e->next_in_grid) n++;
  }
  return n;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  static Packet packet;
  if (size > sizeof(Packet)) return 0;
  Location& loc = fuzz_location();
  game.screen = Screen_World;
  game.player_name = "Ann";
  net.last_ack = 0;
  net.last_seq = FUZZ_LAST_SEQ;
  memset((void*)&packet, 0, sizeof(packet));
  if (size) memcpy((void*)&packet, data, size);
  // Mostly let the size field agree with the datagram, so inputs get past the first check.
  if (size >= 12 && (data[0] & 0x80) == 0) packet.size = (u32)size;
  // A State packet too short for its header and a zlib stream is refused before anything changes.
  bool state = size >= (size_t)(PACKET_HEADER_SIZE + packet_min_payload(PacketType_State)) &&
               packet.type == PacketType_State && packet.size == size && packet.seq_ack <= FUZZ_LAST_SEQ;
  u16 before = entity_storage.nentities;
  bool forged = packet.seq_ack > FUZZ_LAST_SEQ;
  NetResult result = net_handle_datagram(packet, (int)size, loc);
  // A forged acknowledgement is dropped before anything changes.
  if (forged && (result != NetResult_None || net.last_ack != 0 || entity_storage.nentities != before)) abort();
  if (!location_has_grid(&loc)) return 0;
  // No entity of a refused snapshot may remain; an accepted one lists each record at most once.
  if (state && result != NetResult_Ok && (entity_storage.nentities || game.player || count_in_grid(loc))) abort();
  if (count_in_grid(loc) > entity_storage.nentities) abort();
  return 0;
}
