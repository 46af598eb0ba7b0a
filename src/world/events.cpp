// Event feedback: which events were already announced, their sounds, and the texts that float up.
#include "world/events.hpp"

#include "entity.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "render/font.hpp"
#include "spells.hpp"
#include "world/feedback.hpp"

// Height above an entity's foot where its texts start: the same as names and bars over it.
constexpr f32 EVENT_TEXT_BASE = 70;

static EventState* find_event_state(Id entity_id, u64 event_id) {
  for (int i = 0; i < game.nevents_state; i++) {
    EventState& s = game.events_state[i];
    if (s.entity_id == entity_id && s.event.id == event_id) return &s;
  }
  return nullptr;
}

// One line a frame at most: a full table refuses every pending event of every entity in turn.
static void report_no_space() {
  static u64 reported_frame_plus_one = 0;
  if (reported_frame_plus_one == game.frame + 1) return;
  reported_frame_plus_one = game.frame + 1;
  printf("No space for new event!\n");
}

static void play_event_sound(Entity& entity, const Event& event) {
  Sounds& s = game.audio.sounds;
  switch (event.type) {
    case EventType_Damage: {
      // The hit flash reads this stamp. With the state table full the entity goes without its flash.
      if (EntityState* state = set_entity_state_entry(entity.id)) state->hit_time = game.time;
      play_sound(event.damage.spell_type == SpellType_StrongAttack ? s.strong_damage : s.damage, 1);
      break;
    }
    case EventType_Heal: play_sound(s.healing, 1); break;
    case EventType_LvlUp: play_sound(s.lvl_up, 1); break;
    case EventType_PickUp: play_sound(s.pick_up, 1); break;
    case EventType_UseEntity: play_sound(s.eat, 1); break;
    case EventType_Death: play_sound(s.death[rand_index(len(s.death))], 1); break;
    default: break;
  }
}

bool register_event(Entity& entity, const Event& event) {
  if (game.nevents_state >= EVENTS_STATE_MAX) {
    report_no_space();
    return false;
  }
  // Seen for the first time after its time on screen: no sound for what is already over.
  if (server_age(event.time) > event_duration(event)) return false;
  play_event_sound(entity, event);
  game.events_state[game.nevents_state++] = EventState{entity.id, event};
  // Blows and deaths in the request log, so a fight can be followed from the log alone.
  if (game.config.debug_log > 1 && event.type == EventType_Damage) {
    debug_log("[event] Damage(%s) %.f on [%d]\n", spell_type_name(event.damage.spell_type), (double)event.damage.value,
              (int)entity.id);
  } else if (game.config.debug_log > 1 && event.type == EventType_Death) {
    debug_log("[event] Death of [%d]\n", (int)entity.id);
  }
  return true;
}

void cleanup_events() {
  for (int i = 0; i < game.nevents_state;) {
    EventState& s = game.events_state[i];
    if (server_age(s.event.time) > event_duration(s.event)) {
      s = game.events_state[--game.nevents_state];
    } else {
      i++;
    }
  }
}

static int push_event_text(EventText* out, int n, int nmax, v2 offset, f32 scale, Color color, Text text) {
  if (n >= nmax) return n;
  out[n] = EventText{offset, scale, color, text};
  return n + 1;
}

int event_texts(Entity& entity, EventText* out, int nmax) {
  Events* events = find_events(entity);
  if (!events) return 0;
  int n = 0;
  int nevents = clamp(events->nevents, 0, EVENTS_MAX);
  for (int i = 0; i < nevents; i++) {
    const Event& event = events->events[i];
    if (!find_event_state(entity.id, event.id) && !register_event(entity, event)) continue;
    Duration age = server_age(event.time);
    if (age > event_duration(event)) continue;
    f32 rise = to_sec(age) * ui.line_height;
    v2 offset = {0, EVENT_TEXT_BASE + rise};
    switch (event.type) {
      case EventType_Damage: {
        bool by_player = game.player && event.damage.source_id == game.player->id;
        f32 scale = by_player ? 3.0f : 1.5f;
        Text text = tprintf("%.f", event.damage.value);
        n = push_event_text(out, n, nmax, offset + v2{2, 0}, scale, Color{{0.1f, 0.1f, 0.1f, 1}}, text);
        n = push_event_text(out, n, nmax, offset, scale, Color{{1.0f, 0.2f, 0.1f, 1}}, text);
        break;
      }
      case EventType_Heal:
        n = push_event_text(out, n, nmax, offset, 2, Color{{0, 0.8f, 0.2f, 1}}, tprintf("%+.f", event.healing.value));
        break;
      case EventType_Mana:
        n = push_event_text(out, n, nmax, offset, 2, Color{{0.2f, 0.6f, 0.8f, 1}},
                            tprintf("%+.f", event.healing.value));
        break;
      case EventType_Exp:
        n = push_event_text(out, n, nmax, offset, 1, Color{{0.1f, 0.8f, 0.8f, 1}}, tprintf("+%.fxp", event.exp.xp));
        break;
      case EventType_LvlUp:
        n = push_event_text(out, n, nmax, {0, 1.5f * EVENT_TEXT_BASE + rise}, 3, Color{{0.8f, 0.4f, 0.1f, 1}},
                            Text("Lvl Up!"));
        break;
      case EventType_PickUp:
        n = push_event_text(out, n, nmax, offset, 1, Color{{0.8f, 0.4f, 0.1f, 1}},
                            tprintf("+%s", entity_type_display_name(event.subject.type)));
        break;
      default: break;
    }
  }
  return n;
}

void handle_events(Entity& entity) {
  EventText texts[EVENT_TEXTS_MAX];
  int n = event_texts(entity, texts, EVENT_TEXTS_MAX);
  for (int i = 0; i < n; i++) {
    const EventText& t = texts[i];
    draw_text_billboard(entity.pos, t.offset, t.scale, t.color, "%s", t.text.cstr());
  }
}
