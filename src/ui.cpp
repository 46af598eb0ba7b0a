#include "ui.hpp"

Ui ui;
