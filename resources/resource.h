// Resource ids shared by the program and its language module.
#pragma once

// Forms are named after their class ("TFORM1"), so a language module can
// replace each by name.

// Menus and commands of the main window.
#define IDM_MAIN 100

// Message table (numbers are fixed; the language module provides the same).
#define MSG_CLOSE_WHILE_RIPPING 65208
#define MSG_ALREADY_RUNNING 65282
#define MSG_NO_ASPI 65286
#define MSG_ASPI_REGISTRY_OFFER 65287
#define MSG_REGISTRY_REWRITTEN 65288
#define MSG_NT_NEEDS_REGISTRY 65289
#define MSG_NO_MEMORY 65290
#define MSG_LANGUAGE 65311
