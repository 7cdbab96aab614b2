#include "ui/shells/shells.h"
