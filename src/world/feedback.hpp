#pragma once
// What the chat, the event texts and the thoughts share: ages on the server clock.
#include "app/client.hpp"

// How long ago `t` was by the server clock. The clock steps back when datagrams arrive out of order, so a
// stamp ahead of it is age zero, never an unsigned wrap to centuries that would expire it at once.
inline Duration server_age(Time t) { return game.server_time.ns > t.ns ? game.server_time - t : Duration{0}; }
