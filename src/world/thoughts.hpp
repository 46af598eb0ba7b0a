#pragma once
// Short lines over the player's own character: refusals and needs, each shown for a few seconds.
#include "app/client.hpp"

constexpr Duration THOUGHT_DURATION = {3 * Seconds.ns};

void push_thought(Thought thought);
// A thought of this type already held only has its time refreshed, so a need repeated every frame shows once.
void push_thought(ThoughtType type);
void push_thought(Text text);
Text thought_text(const Thought& thought);
// The lines of this frame in order ("*...*"), dropping the thoughts that have had their time; returns the
// number written.
int thoughts_frame(Text* lines, int nmax);
void draw_thoughts();
