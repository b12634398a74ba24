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
#define MSG_CFG_NO_DRIVE_INTERFACE 60512
#define MSG_CFG_PIONEER_ZITTER 60513
#define MSG_CFG_CLASSDRV_BURST 60514
#define MSG_CFG_MSCDEX_BURST 60515
#define MSG_CFG_EXT_FULL 60516
#define MSG_CFG_EXT_EXISTS 60517
#define MSG_CFG_EXT_ADDED 60518
#define MSG_CFG_EXT_DELETED 60519
#define MSG_CFG_NO_PROGRAM 60520
#define MSG_CFG_SELECTED_DRIVE 60521
#define MSG_CFG_NO_GOGO 60522
#define MSG_CFG_GOGO_VERSION 60523
#define MSG_CFG_CHOOSE_FORMAT 60524
#define MSG_CFG_STATUS_WAVE 60525
#define MSG_CFG_STATUS_WMA 60526
#define MSG_CFG_STEREO 60527
#define MSG_CFG_MONO 60528
#define MSG_CFG_STATUS_VQF 60529
#define MSG_CFG_VQF_QUALITY 60530
#define MSG_CFG_STATUS_MP3 60531
#define MSG_CFG_EXT_COMPAT 60532
#define MSG_CFG_EXT_ORIGINAL 60533
#define MSG_CFG_VBR 60534
#define MSG_CFG_STATUS_RIFF_WAVE 60535
#define MSG_CFG_STATUS_RIFF_MP3 60536
#define MSG_CFG_GOGO_USED 60537
#define MSG_CFG_ACM_MP3 60538
#define MSG_CFG_GOGO_DLL_INFO 60539
#define MSG_CFG_GOGO_DLL_PATH 60540
#define MSG_CFG_GOGO_DLL_DEFAULT 60541
#define MSG_CFG_WORKDIR_TITLE 60542
#define MSG_CFG_ALBUMDIR_TITLE 60543
#define MSG_CFG_PROGRAM_FILTER 60544
#define MSG_CFG_PLAYER_TITLE 60545
#define MSG_CFG_EDITOR_TITLE 60546
#define MSG_CFG_ENCODER_TITLE 60547
#define MSG_CFG_NORM_FAILED 60548
#define MSG_CFG_NORM_FILTER 60549
#define MSG_CFG_NORM_TITLE 60550
#define MSG_CFG_BIT_SET 60551
#define MSG_CFG_BIT_CLEAR 60552

// rip engine (60768..)

// playback (61024..)

// batch encode list and tag editor (61280..)

// file manager (61536..)

// CDDB (61792..)

// CD-TEXT and SSTP (62048..)

// tags and output (62304..)
