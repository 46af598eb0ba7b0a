#include "app/client.hpp"

int main(int, char**) {
  // Line by line, so that a log or a test reading the output sees each line as it happens.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!game_start()) return 1;
  Time last = time_now();
  while (!game.should_quit) game_run_frame(last);
  game_shutdown();
  return 0;
}
