#include "world/spell_cast.hpp"

#include "entity.hpp"
#include "location.hpp"
#include "render/renderer.hpp"
#include "net/net.hpp"
#include "world/thoughts.hpp"

bool cast_spell(SpellType type, Id target_id, v2 dst, bool auto_attack) {
  if (!game.player || !has_component(*game.player, Component_Actor)) return false;
  const Actor& actor = game.player->actor;
  if (spell_is_on_cooldown(actor, type)) {
    printf("%s is on cooldown\n", spell_type_name(type));
    play_sound(game.audio.sounds.spell_failure, 1.0f);
    return false;
  }
  if (!has_mana_for(actor, type)) {
    push_thought(Text("I need more mana"));
    play_sound(game.audio.sounds.spell_failure, 1.0f);
    return false;
  }
  net_send_spell(type, target_id, dst, auto_attack);
  // A held movement key is sent again next frame: the cast stopped the walk on the server.
  game.last_wasd = 0xff;
  if (type == SpellType_Sprint) play_sound(game.audio.sounds.pew, 1.0f);
  return true;
}

void draw_spell_crosshair(Entity& player) {
  if (!spell_can_be_aimed(game.spell_type)) return;
  constexpr f32 radius = 64;
  Color ring = game.spell_type == SpellType_AoeHeal ? Color{{0.2f, 0.8f, 0.1f, 0.5f}} : Color{{0.8f, 0.2f, 0.1f, 0.5f}};
  draw_circle(game.mouse_world, radius, ring);
  for (EntityIter it = locate_entities(in_radius(&player, radius, game.mouse_world)); it.entity; next(it)) {
    draw_circle(it.entity->pos, it.entity->radius, Color{{1, 1, 1, 0.5f}});
  }
}
