// Numbers of the message table.  The texts are in messages.rc (Japanese,
// built in) and messages_en.rc (the English module), at the same numbers.
// This header holds only ASCII.
//
// 65008..65295 and 65311 are the fixed numbers: each text keeps the number
// it has always had.  Texts that never had a number take one of the fixed
// slots that no text uses, or else a number from the program's own range
// 60000..62999, given out in blocks of 256 per area (a block starts on a
// multiple of 16, so that no two areas share a string-table block).
#pragma once

// ---- Fixed numbers (65008..65295, 65311) ----
#define MSG_CLOSE_WHILE_RIPPING 65208
#define MSG_ALREADY_RUNNING 65282
#define MSG_NO_ASPI 65286
#define MSG_ASPI_REGISTRY_OFFER 65287
#define MSG_REGISTRY_REWRITTEN 65288
#define MSG_NT_NEEDS_REGISTRY 65289
#define MSG_NO_MEMORY 65290
#define MSG_LANGUAGE 65311

// ---- Own range, one block per area ----
// 60000..60255  main window frame, menus, about box
// 60256..60511  track list, rip control, progress and reports, level meter
// 60512..60767  settings dialog and small setting dialogs
// 60768..61023  rip engine status texts (read methods, two-pass, burst, normalizer)
// 61024..61279  digital playback, CD player panel, test playback
// 61280..61535  batch encode list, tag editor
// 61536..61791  file manager, file operations, drag and drop
// 61792..62047  CDDB dialogs, local database, submission
// 62048..62303  CD-TEXT viewer, SSTP notifier
// 62304..62559  tags, output driver, encoder components

// main window frame (60000..)

// track list and rip control (60256..)

// settings dialogs (60512..)

// rip engine (60768..)

// playback (61024..)

// batch encode list and tag editor (61280..)

// file manager (61536..)

// CDDB (61792..)

// CD-TEXT and SSTP (62048..)

// tags and output (62304..)
