#pragma once
// The per-frame functions and on-enter hooks of the screens.

void login_screen_enter();
void login_screen();
