#include "renderer.hpp"

Renderer renderer;
