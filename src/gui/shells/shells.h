#pragma once
// The windows that the main window shows, each from its own area. The
// placeholders that stood here at first have all been replaced.

#include "gui/windows/hash_window.h"
#include "gui/windows/wipe_window.h"
