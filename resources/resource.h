// Resource ids shared by the program and its language module.
#pragma once

// Forms are named after their class ("TFORM1"), so a language module can
// replace each by name.

// Menus and commands of the main window.
#define IDM_MAIN 100

// Message numbers.
#include "msgids.h"
