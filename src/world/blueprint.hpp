#pragma once
// The blueprint window: what a blueprint item holds, the group a box selection would put in it, its name,
// and the requests that save, place, refill or clear it.
#include "app/client.hpp"

// A box over a crowded camp stops collecting here: Replace and Delete send one request per entity.
constexpr int BLUEPRINT_CHANGESET_MAX = 128;

// The entities inside the box selection that a blueprint could take (no actors), in query order, at most
// `capacity`; returns how many. Without a box selection, none.
int collect_box_selection(Id* out, int capacity);
void ui_blueprint_dialog();
