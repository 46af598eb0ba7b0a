#include "client.hpp"

int main(int, char**) {
  if (!game_start()) return 1;
  Time last = time_now();
  while (!game.should_quit) game_run_frame(last);
  game_shutdown();
  return 0;
}
