// libFuzzer target: any datagram through the client's receive path. Built only with -DVALMIRE_FUZZ=ON
// and clang (scripts/fuzz-net.sh); the mutation test in the unit tests covers the same ground in CI.
#include <stdlib.h>

#include "app/client.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"

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
  memset((void*)&packet, 0, sizeof(packet));
  if (size) memcpy((void*)&packet, data, size);
  // Mostly let the size field agree with the datagram, so inputs get past the first check.
  if (size >= 12 && (data[0] & 0x80) == 0) packet.size = (u32)size;
  bool state = size >= (size_t)STATE_BODY_OFFSET && packet.type == PacketType_State && packet.size == size;
  NetResult result = net_handle_datagram(packet, (int)size, loc);
  if (!location_has_grid(&loc)) return 0;
  // No entity of a refused snapshot may remain; an accepted one lists each record at most once.
  if (state && result != NetResult_Ok && (entity_storage.nentities || game.player || count_in_grid(loc))) abort();
  if (count_in_grid(loc) > entity_storage.nentities) abort();
  return 0;
}
