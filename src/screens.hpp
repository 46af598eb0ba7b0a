#pragma once
// The per-frame functions and on-enter hooks of the screens.

void login_screen_enter();
void login_screen();

// The developer test screen: every primitive and effect in one scene.
void test_screen();
