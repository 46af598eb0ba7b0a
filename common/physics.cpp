// Steering, integration and the collision pass over the entity storage.
#include "physics.hpp"

#include "registry.hpp"

Physics physics;

void mover_set_dst(Mover& mover, v2 dst) {
  mover.dst = dst;
  mover.desired_dir = {};
  mover.is_sliding = false;
  mover.slide = {};
}

void mover_set_dir(Mover& mover, v2 dir) {
  mover.dst = {};
  mover.desired_dir = dir;
  mover.is_sliding = false;
  mover.slide = {};
}

bool is_moving(const Entity& e) {
  const Mover* m = find_mover(e);
  return m && !is_zero(m->vel);
}

bool has_dst(const Entity& e) {
  const Mover* m = find_mover(e);
  return m && !is_zero(m->dst);
}

void rotate_towards_angle(Mover& mover, f32 target, f32 dt) {
  f32 diff = normalize_radians(target - mover.angle);
  f32 step = physics_turn_speed * dt;
  if (fabsf(diff) > step) {
    mover.angle = normalize_radians(mover.angle + signof(diff) * step);
  } else {
    mover.angle = target;
  }
}

void rotate_in_direction(Mover& mover, v2 dir, f32 dt) {
  mover.gaze = atan2f(dir.y, dir.x);
  rotate_towards_angle(mover, mover.gaze, dt);
}

void set_gaze_and_angle(Mover& mover, v2 dir) { mover.gaze = mover.angle = atan2f(dir.y, dir.x); }

Bbox entity_bbox(const Entity& e) {
  if (!is_rectangular(e)) {
    f32 r = e.radius;
    return {{{e.pos.x - r, e.pos.y - r, -r}}, {{e.pos.x + r, e.pos.y + r, r}}};
  }
  f32 w = e.dim.x, h = e.dim.y;
  // Quarter turns of 90 and 270 degrees lay the box the other way.
  if (e.flags & EntityFlag_Rotate90) Swap(w, h);
  return {{{e.pos.x - w / 2, e.pos.y - h / 2, 0}}, {{e.pos.x + w / 2, e.pos.y + h / 2, e.dim.z}}};
}

// --- movers

void update_mover(Entity& e, Mover& mover, f32 dt) {
  (void)dt;
  if (is_zero(mover.desired_dir)) {
    if (!is_zero(mover.dst)) {
      mover.acc += v2_with_len(mover.dst - e.pos, physics_acceleration);
    } else {
      mover.vel = {};
    }
  } else {
    mover.dst = {};
    mover.acc = v2_with_len(mover.desired_dir, physics_acceleration);
  }
}

static bool is_carried(const Entity& e) { return !is_item(e) && e.carrier != 0; }

void simulate_mover(Entity& e, Mover& mover, f32 dt) {
  if (is_carried(e)) {
    rotate_towards_angle(mover, mover.gaze, dt);
    return;
  }
  if (!is_zero(mover.dst) && v2_distance_le(e.pos, mover.dst, mover.speed * dt)) {
    set_pos(e, mover.dst);
    mover.vel = {};
    mover.dst = {};
    return;
  }
  if (!mover.is_sliding) {
    mover.vel += mover.acc * dt;
    v2_limit(&mover.vel, mover.speed);
  }
  if (!is_zero(mover.vel)) {
    rotate_in_direction(mover, mover.vel, dt);
    set_pos(e, e.pos + mover.vel * dt);
  }
}

// The storage count arrives with snapshots; never walk past the records.
static int storage_count() { return min((int)entity_storage.nentities, ENTITIES_MAX); }

// A mover's step reads scattered lines of its 1.5 KB record: the header, the mover and the carrier, and when
// it moves the mortal's burden and the grid link. Asked for some records ahead, their misses overlap instead
// of queueing; the last two only for a record that will move, known once its first lines have come.
static void prefetch_mover(const Entity& e) {
  __builtin_prefetch(&e.enabled_components);
  __builtin_prefetch(&e.mover.speed);
  __builtin_prefetch(&e.carrier);
}

static void prefetch_moving(const Entity& e) {
  if (!has_component(e, Component_Mover) || (is_zero(e.mover.dst) && is_zero(e.mover.desired_dir))) return;
  __builtin_prefetch(&e.mortal.burden);
  __builtin_prefetch(&e.next_in_grid);
}

void update_movers(f32 dt) {
  int n = storage_count();
  constexpr int ahead = 8;
  for (int i = 0; i < n; i++) {
    if (i + ahead < n) prefetch_mover(entity_storage.entities[i + ahead]);
    if (i + ahead / 2 < n) prefetch_moving(entity_storage.entities[i + ahead / 2]);
    Entity& e = entity_storage.entities[i];
    Mover* mover = find_mover(e);
    if (e.id == 0 || !mover) continue;
    reset_mover(*mover);
    update_mover(e, *mover, dt);
    simulate_mover(e, *mover, dt);
    mover->is_sliding = false;
  }
}

// --- collisions

static bool push_contact(const Contact& c) {
  if (physics.ncontacts >= CONTACTS_MAX) {
    physics.nskipped++;
    return false;
  }
  physics.contacts[physics.ncontacts++] = c;
  return true;
}

static bool detect_circle_box(Entity& circle, Entity& box) {
  Bbox bb = entity_bbox(box);
  f32 hx = (bb.max.x - bb.min.x) / 2, hy = (bb.max.y - bb.min.y) / 2;
  v2 d = circle.pos - box.pos;
  v2 c = {clamp(d.x, -hx, hx), clamp(d.y, -hy, hy)};
  f32 r = circle.radius;
  if (v2_len_sqr(c - d) > r * r) return false;
  v2 q = box.pos + c;
  Contact contact;
  contact.normal = v2_normalized(q - circle.pos);
  contact.point = q;
  contact.penetration = r - v2_len(c - d);
  contact.first = &circle;
  contact.second = &box;
  return push_contact(contact);
}

bool game_detect_collision_between(Entity& first, Entity& second) {
  assert(first.id != 0);
  if (second.id == 0) return false;
  bool box1 = is_rectangular(first), box2 = is_rectangular(second);
  if (box1 && box2) return false;
  if (box1) return detect_circle_box(second, first);
  if (box2) return detect_circle_box(first, second);

  v2 d = second.pos - first.pos;
  f32 rr = first.radius + second.radius;
  if (v2_len_sqr(d) > rr * rr) return false;
  assert(has_component(first, Component_Mover) || has_component(second, Component_Mover));
  f32 dist = v2_len(d);
  Contact contact;
  contact.normal = v2_normalized(d);
  contact.point = first.pos + contact.normal * dist * 0.5f;
  contact.penetration = rr - dist;
  contact.first = &first;
  contact.second = &second;
  return push_contact(contact);
}

void game_resolve_collision(Contact& contact, f32 dt) {
  (void)dt;
  Entity& a = *contact.first;
  Entity& b = *contact.second;
  if (!entity_on_collision(a, b, contact)) return;
  v2 n = contact.normal;
  f32 pen = contact.penetration;
  Mover* ma = find_mover(a);
  Mover* mb = find_mover(b);

  if (is_rectangular(b)) {
    v2 pos = a.pos - n * pen;
    if (ma) {
      f32 vn = v2_dot(n, ma->vel);
      ma->vel += physics_wall_bounce * (-2.0f * vn * n);
    }
    set_pos(a, pos);
    return;
  }
  if (!ma || !mb) {
    set_pos(a, a.pos - n * pen);
    return;
  }

  // Weights from speed: the slower body weighs more and yields less.
  constexpr f32 eps = 1.1920929e-07f;
  f32 w1 = 1.0f / (eps + v2_len_sqr(ma->vel));
  f32 w2 = 1.0f / (eps + v2_len_sqr(mb->vel));
  // Two absurd speeds from a snapshot would make both weights 0 and the shares 0/0.
  if (!(w1 + w2 > 0)) w1 = w2 = 1.0f;
  f32 sum = w1 + w2;
  v2 v1 = ma->vel, v2_ = mb->vel;
  ma->vel = ((w1 - w2) * v1 + 2.0f * w2 * v2_) / sum * physics_exchange_damping;
  mb->vel = ((w2 - w1) * v2_ + 2.0f * w1 * v1) / sum * physics_exchange_damping;
  set_pos(a, a.pos - n * pen * (w2 / sum));
  set_pos(b, b.pos + n * pen * (w1 / sum));
}

// The contact search reads each grid cell it needs once per pass into a compact run, in the cell's own
// order, so a mover's neighbours are tested from a few contiguous bytes instead of their whole records.
// It visits the same entities in the same order as locate_entities, so it finds the same contacts.
namespace {

enum ProxyBits : u32 {
  Proxy_Skip = 1,       // never a second entity: an item, NoCollisions, or no id
  Proxy_Invisible = 2,  // seen only by administrators
  Proxy_Box = 4,
  Proxy_Admin = 8,  // sees the invisible when it is the one looking
};

// What the tests read; the record itself is kept aside and looked up only for a near one.
struct Proxy {
  v2 pos;
  f32 radius;
  u32 bits;
};

struct ContactSearch {
  Proxy proxies[ENTITIES_MAX];
  Entity* records[ENTITIES_MAX];
  int nproxies = 0;
  bool full = false;  // a pass with more linked records than the pool falls back to the plain walk
  const Location* location = nullptr;
  int ncells = 0;
  u32 pass = 0;
  u32* stamp = nullptr;  // the pass in which a cell's run was read
  s32* start = nullptr;
  s32* count = nullptr;
  // The largest reach of any entity a mover can touch: no contact lies farther from a mover's centre
  // than its own reach and this, on either axis. Infinite (no cells left out) for absurd shapes.
  f32 max_reach = 0;
  f32 seen_reach = 0;    // the largest reach among the runs read so far
  bool aligned = false;  // the location lies on whole cells, so the walk's cells follow each other
  bool dense = false;    // every cell was read in order: a row of cells is one stretch of the pool
  int ncells_read = 0;   // the location's cells in the dense pass
  // Movers whose contacts are only counted (the list being full), left to the sweep in pool order.
  u8 deferred_mark[ENTITIES_MAX];
  s32 deferred[ENTITIES_MAX];
  int ndeferred = 0;
};

ContactSearch search;

// How far from its centre an entity's shape extends on either axis (magnitudes: a negative radius from a
// broken record still collides as its absolute value does).
f32 shape_reach(const Entity& e) {
  if (!is_rectangular(e)) return fabsf(e.radius);
  return max(fabsf(e.dim.x), fabsf(e.dim.y)) / 2;
}

// The reach as the search uses it: infinite for a shape or position that is not a number or absurd,
// since such an entity sits in a cell it does not lie near and nothing may be left out.
f32 entity_reach(const Entity& e) {
  f32 r = shape_reach(e);
  if (!(r < 1e6f) || !isfinite(e.pos.x) || !isfinite(e.pos.y)) return INFINITY;
  return r;
}

// The grid column (row) of a world coordinate, as the location finds it, without a call per bound.
inline int cell_of(f32 world, f32 offset, int n) {
  f32 c = truncf(truncf(world / tile_size) - offset / tile_size);
  if (!(c >= 0.0f)) return 0;
  if (c > (f32)(n - 1)) return n - 1;
  return (int)c;
}

// Declared ahead: the dense start reads every cell through it.
bool cell_run(int cell, const Proxy** run, int* n);

bool search_begin(const Location* location) {
  search.nproxies = 0;
  search.full = false;
  search.dense = false;
  search.location = location;
  if (!location_has_grid(location)) return false;
  search.aligned = fmodf(location->offset.x, tile_size) == 0 && fmodf(location->offset.y, tile_size) == 0;
  int ncells = location->width * location->height;
  if (ncells > search.ncells) {
    // Grows only when a larger location arrives, never per frame.
    free(search.stamp);
    free(search.start);
    free(search.count);
    search.stamp = (u32*)calloc((size_t)ncells, sizeof(u32));
    search.start = (s32*)malloc((size_t)ncells * sizeof(s32));
    search.count = (s32*)malloc((size_t)ncells * sizeof(s32));
    search.ncells = search.stamp && search.start && search.count ? ncells : 0;
    search.pass = 0;
    if (!search.ncells) return false;
  }
  if (++search.pass == 0) {
    memset(search.stamp, 0, (size_t)search.ncells * sizeof(u32));
    search.pass = 1;
  }
  int n = storage_count();
  if (location->width * location->height <= 2 * n + 4096) {
    // A grid about as dense as the storage: every cell is read once, row by row, so the runs of a mover's
    // neighbour cells lie side by side and the storage needs no separate pass for the reach.
    search.seen_reach = 0;
    const Proxy* run;
    int count;
    for (int cell = 0; cell < ncells; cell++) {
      // The lists' records lie 1.5 KB apart: asking for a few cells' heads early overlaps their misses.
      if (cell + 8 < ncells) {
        if (const Entity* ahead = location->grid[cell + 8]) {
          __builtin_prefetch(ahead);
          __builtin_prefetch(&ahead->next_in_grid);
        }
      }
      if (!cell_run(cell, &run, &count)) break;
    }
    search.dense = !search.full;
    search.ncells_read = ncells;
    search.max_reach = search.seen_reach;
    return true;
  }
  f32 reach = 0;
  for (int i = 0; i < n; i++) {
    const Entity& e = entity_storage.entities[i];
    if (e.id == 0 || is_item(e) || (e.flags & EntityFlag_NoCollisions)) continue;
    reach = max(reach, entity_reach(e));
    if (reach == INFINITY) break;
  }
  search.max_reach = reach;
  return true;
}

// The run of one cell, read from its list the first time the pass needs it; false when the pool is full.
bool cell_run(int cell, const Proxy** run, int* n) {
  if (search.stamp[cell] != search.pass) {
    int first = search.nproxies;
    for (Entity* e = search.location->grid[cell]; e; e = e->next_in_grid) {
      if (search.nproxies >= ENTITIES_MAX) {
        search.full = true;
        return false;
      }
      u32 bits = 0;
      if (is_item(*e) || (e->flags & EntityFlag_NoCollisions) || e->id == 0) {
        bits |= Proxy_Skip;
      } else {
        search.seen_reach = max(search.seen_reach, entity_reach(*e));
      }
      if (e->flags & EntityFlag_Invisible) bits |= Proxy_Invisible;
      if (is_rectangular(*e)) bits |= Proxy_Box;
      if (is_admin(*e)) bits |= Proxy_Admin;
      search.records[search.nproxies] = e;
      search.proxies[search.nproxies++] = {e->pos, e->radius, bits};
    }
    search.stamp[cell] = search.pass;
    search.start[cell] = first;
    search.count[cell] = search.nproxies - first;
  }
  *run = search.proxies + search.start[cell];
  *n = search.count[cell];
  return true;
}

void detect_around_plain(Entity& first) {
  for (EntityIter it = locate_entities(in_radius(&first, physics_collision_radius, {0, 0})); it.entity; next(it)) {
    Entity& other = *it.entity;
    if (&other == &first || is_item(other) || (other.flags & EntityFlag_NoCollisions)) continue;
    game_detect_collision_between(first, other);
  }
}

struct CellSpan {
  int lo_x, hi_x, lo_y, hi_y;
};

// The walk starts on a whole cell at least 48 units before the mover and ends at least 80 after it; well
// inside the location nothing is clamped, so with a reach below that its cells that matter are exactly
// those the reach spans, each once, and the walk need not be laid out.
bool is_inner(const Location* loc, v2 fpos, f32 reach) {
  constexpr f32 margin = 2 * physics_collision_radius + 2 * tile_size;
  f32 right = loc->offset.x + min(loc->size.x, (f32)loc->width * tile_size);
  f32 bottom = loc->offset.y + min(loc->size.y, (f32)loc->height * tile_size);
  return !search.full && loc == search.location && search.aligned && reach <= 40 && fpos.x - margin >= loc->offset.x &&
         fpos.x + margin <= right && fpos.y - margin >= loc->offset.y && fpos.y + margin <= bottom;
}

CellSpan reach_span(const Location* loc, v2 fpos, f32 reach) {
  return {cell_of(fpos.x - reach, loc->offset.x, loc->width), cell_of(fpos.x + reach, loc->offset.x, loc->width),
          cell_of(fpos.y - reach, loc->offset.y, loc->height), cell_of(fpos.y + reach, loc->offset.y, loc->height)};
}

// A dense row's runs from cell `from` to cell `to` as one stretch of the pool: every cell was read in order,
// so a run ends where the next cell's begins.
inline int stretch_end(int to) { return to + 1 < search.ncells_read ? search.start[to + 1] : search.nproxies; }

void detect_around(Entity& first) {
  v2 fpos = first.pos;
  f32 reach = shape_reach(first) + search.max_reach + 1;
  const Location* loc = get_location(first);
  if (!location_has_grid(loc)) return;
  // The walk's cells in its own order (a clamped cell may come twice), leaving out without a look those
  // too far for any contact; a unit of slack keeps rounding on the safe side.
  int lo_x = 0, hi_x = loc->width - 1, lo_y = 0, hi_y = loc->height - 1;
  int first_cx, first_cy, rows, cols;
  bool inner = false;
  f32 qradius = physics_collision_radius;
  v2 qpos = fpos;
  if (is_inner(loc, fpos, reach)) {
    CellSpan span = reach_span(loc, fpos, reach);
    lo_x = span.lo_x, hi_x = span.hi_x, lo_y = span.lo_y, hi_y = span.hi_y;
    first_cx = lo_x, first_cy = lo_y, cols = hi_x - lo_x + 1, rows = hi_y - lo_y + 1;
    inner = true;
  } else {
    EntityIter it = locate_cells(in_radius(&first, physics_collision_radius, {0, 0}));
    const SpatialQuery& q = it.query;
    if (search.full || q.location != search.location || it.first_cx < 0) return detect_around_plain(first);
    qradius = q.radius;
    qpos = q.pos;
    first_cx = it.first_cx, first_cy = it.first_cy, rows = it.rows, cols = it.cols;
    if (reach < 1e6f && isfinite(fpos.x) && isfinite(fpos.y)) {
      lo_x = location_cell_x(*loc, fpos.x - reach), hi_x = location_cell_x(*loc, fpos.x + reach);
      lo_y = location_cell_y(*loc, fpos.y - reach), hi_y = location_cell_y(*loc, fpos.y + reach);
    }
  }
  bool admin = is_admin(first);
  bool box = is_rectangular(first);
  f32 r2 = qradius * qradius;
  f32 fr = first.radius;
  // Tests each entity of a stretch of runs with the walk's own filters; reordered, since each is a pure test,
  // so that the one that turns most away comes first for the common pair of two plain circles.
  Entity* const self = &first;
  const Proxy* const pool = search.proxies;
  Entity* const* const records = search.records;
  auto scan = [=](const Proxy* p, const Proxy* end) {
    for (; p < end; p++) {
      if (p->bits == 0 && !box) {
        f32 rr = fr + p->radius;
        if (v2_len_sqr(p->pos - fpos) > rr * rr) continue;
        Entity* other = records[p - pool];
        if (other == self) continue;
        if (qradius > 0 && v2_distance_sqr(p->pos, qpos) > r2) continue;
        if (physics.ncontacts >= CONTACTS_MAX) {
          physics.nskipped++;
          continue;
        }
        game_detect_collision_between(*self, *other);
        continue;
      }
      Entity* other = records[p - pool];
      if (other == self || (p->bits & Proxy_Skip)) continue;
      if ((p->bits & Proxy_Invisible) && !admin) continue;
      if (qradius > 0 && v2_distance_sqr(p->pos, qpos) > r2) continue;
      bool other_box = (p->bits & Proxy_Box) != 0;
      if (box && other_box) continue;
      if (!box && !other_box) {
        f32 rr = fr + p->radius;
        if (v2_len_sqr(p->pos - fpos) > rr * rr) continue;
        // Two circles this near always touch; with the list full only the count of dropped ones moves.
        if (physics.ncontacts >= CONTACTS_MAX) {
          physics.nskipped++;
          continue;
        }
      }
      game_detect_collision_between(*self, *other);
    }
  };
  if (inner && search.dense) {
    for (int cy = lo_y; cy <= hi_y; cy++) {
      int from = lo_x + loc->width * cy, to = hi_x + loc->width * cy;
      scan(search.proxies + search.start[from], search.proxies + stretch_end(to));
    }
    return;
  }
  // Runs that follow each other in the pool (neighbour cells of a row, once every cell was read in order)
  // are scanned as one stretch; the sequence of entities is the walk's either way.
  const Proxy* from = nullptr;
  const Proxy* to = nullptr;
  for (int row = 0; row < rows; row++) {
    int cy = min(first_cy + row, loc->height - 1);
    if (cy < lo_y || cy > hi_y) continue;
    for (int col = 0; col < cols; col++) {
      int cx = min(first_cx + col, loc->width - 1);
      if (cx < lo_x) continue;
      if (cx > hi_x) break;  // the cells of a row only go rightwards
      const Proxy* run;
      int n;
      if (!cell_run(cx + loc->width * cy, &run, &n)) return;  // the caller redoes this mover the plain way
      if (run != to) {
        scan(from, to);
        from = run;
      }
      to = run + n;
    }
  }
  scan(from, to);
}

// The storage slot of a record of the pool, or -1 for one kept elsewhere.
int storage_slot(const Entity* e) {
  uintptr_t at = (uintptr_t)e, base = (uintptr_t)entity_storage.entities;
  if (at < base || at >= base + sizeof(entity_storage.entities)) return -1;
  return (int)((at - base) / sizeof(Entity));
}

// Once the list is full a mover's contacts only add to the count of dropped ones, and a count comes out the
// same in any order. A plain circle well inside a dense grid is therefore put off to the sweep, which meets
// the movers in the pool's order, where their neighbours' runs lie close by, rather than in the storage's.
bool defer_counting(Entity& first, int slot) {
  if (!search.dense || is_rectangular(first)) return false;
  const Location* loc = get_location(first);
  if (!location_has_grid(loc) || !is_inner(loc, first.pos, shape_reach(first) + search.max_reach + 1)) return false;
  search.deferred_mark[slot] = 1;
  search.deferred[search.ndeferred++] = slot;
  return true;
}

// The contacts detect_around would find for the pool's entity `self`, a deferred mover, counted with the
// same filters (a box met is left to the full test, which counts it as dropped when it touches).
u32 count_contacts(int self) {
  const Proxy& me = search.proxies[self];
  v2 fpos = me.pos;
  f32 fr = me.radius;
  bool admin = (me.bits & Proxy_Admin) != 0;
  CellSpan span = reach_span(search.location, fpos, fabsf(fr) + search.max_reach + 1);
  constexpr f32 r2 = physics_collision_radius * physics_collision_radius;
  const Location& loc = *search.location;
  u32 n = 0;
  for (int cy = span.lo_y; cy <= span.hi_y; cy++) {
    int from = search.start[span.lo_x + loc.width * cy], to = stretch_end(span.hi_x + loc.width * cy);
    for (int i = from; i < to; i++) {
      const Proxy& p = search.proxies[i];
      if (i == self || (p.bits & Proxy_Skip) || ((p.bits & Proxy_Invisible) && !admin)) continue;
      if (v2_distance_sqr(p.pos, fpos) > r2) continue;
      if (p.bits & Proxy_Box) {
        game_detect_collision_between(*search.records[self], *search.records[i]);
        continue;
      }
      f32 rr = fr + p.radius;
      if (v2_len_sqr(p.pos - fpos) > rr * rr) continue;
      n++;
    }
  }
  return n;
}

void count_deferred() {
  if (search.ndeferred == 0) return;
  for (int i = 0; i < search.nproxies; i++) {
    int slot = storage_slot(search.records[i]);
    if (slot < 0 || !search.deferred_mark[slot]) continue;
    search.deferred_mark[slot] = 0;
    physics.nskipped += count_contacts(i);
  }
  // A mover off the grid it stands on is not in the pool: its walk is done as it would have been.
  for (int k = 0; k < search.ndeferred; k++) {
    int slot = search.deferred[k];
    if (!search.deferred_mark[slot]) continue;
    search.deferred_mark[slot] = 0;
    detect_around(entity_storage.entities[slot]);
  }
  search.ndeferred = 0;
}

}  // namespace

void update_collisions(f32 dt) {
  physics.ncontacts = 0;
  physics.nskipped = 0;
  int n = storage_count();
  bool fast = false;
  constexpr int ahead = 4;
  for (int i = 0; i < n; i++) {
    if (i + ahead < n) __builtin_prefetch(&entity_storage.entities[i + ahead].enabled_components);
    Entity& first = entity_storage.entities[i];
    if (first.id == 0 || !has_component(first, Component_Mover)) continue;
    if (!fast) fast = search_begin(get_location(first));
    if (!fast) {
      detect_around_plain(first);
      continue;
    }
    if (physics.ncontacts >= CONTACTS_MAX && defer_counting(first, i)) continue;
    u32 before = physics.ncontacts, skipped = physics.nskipped;
    detect_around(first);
    if (search.full) {
      // The compact runs ran out mid-walk: this mover's contacts are found again the plain way.
      physics.ncontacts = before;
      physics.nskipped = skipped;
      detect_around_plain(first);
    }
  }
  if (fast) count_deferred();
  for (u32 i = 0; i < physics.ncontacts; i++) game_resolve_collision(physics.contacts[i], dt);
  for (int i = 0; i < n; i++) {
    if (i + ahead < n) {
      __builtin_prefetch(&entity_storage.entities[i + ahead].enabled_components);
      __builtin_prefetch(&entity_storage.entities[i + ahead].mover.is_sliding);
    }
    Entity& e = entity_storage.entities[i];
    Mover* mover = find_mover(e);
    if (e.id != 0 && mover && !mover->is_sliding) mover->slide = {};
  }
}

void update_physics(f32 dt) {
  update_movers(dt);
  update_collisions(dt);
}
