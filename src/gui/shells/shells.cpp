#include "gui/shells/shells.h"
