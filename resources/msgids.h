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
#define MSG_INVALID_FILE_NAME 65056
#define MSG_FRAMES_RANGE 65057
#define MSG_INVALID_ENTRY 65058
#define MSG_SECONDS_RANGE 65059
#define MSG_MINUTES_RANGE 65060
#define MSG_BAD_RECORDING_RANGE 65087
#define MSG_INVALID_ENTRY_COLON 65107
#define MSG_ID3_SET_ONE 65200
#define MSG_ID3_TRACK_LABEL 65201
#define MSG_ID3_SET_MANY 65202
#define MSG_BENCH_AUDIO_ONLY 65203
#define MSG_CLOSE_WHILE_RIPPING 65208
#define MSG_INVALID_NAME_LINE 65231
#define MSG_CDPLAY_START 65232
#define MSG_CDPLAY_SELECTED 65233
#define MSG_ID3_SET_ALL 65234
#define MSG_RIP_FOLDER_TITLE 65235
#define MSG_FILE_OPEN_FAILED 65249
#define MSG_DIGITAL_PLAY_DONE 65252
#define MSG_DIGITAL_PLAY_ABORTED 65253
#define MSG_RIP_ABORTED 65254
#define MSG_PLAY_DRIVE_TIMEOUT 65255
#define MSG_TRACK_INFO_CAPTION 65258
#define MSG_DROP_RIP_CONFIRM 65259
#define MSG_BASE_NAME_CAPTION 65260
#define MSG_BASE_NAME_LABEL 65261
#define MSG_CDSTOP_PLAYING 65262
#define MSG_CDSTOP 65263
#define MSG_MSCDEX_FAILED 65264
#define MSG_NO_MEDIA 65265
#define MSG_REVISION 65280
#define MSG_ALREADY_RUNNING 65282
#define MSG_NO_PLAYER 65283
#define MSG_PLAYER_NOT_FOUND 65284
#define MSG_PLAYER_START_FAILED 65285
#define MSG_NO_ASPI 65286
#define MSG_ASPI_REGISTRY_OFFER 65287
#define MSG_REGISTRY_REWRITTEN 65288
#define MSG_NT_NEEDS_REGISTRY 65289
#define MSG_NO_MEMORY 65290
#define MSG_YES 65291
#define MSG_NO 65292
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
#define MSG_FRAME_TOOLBAR1 60000  // 6 texts
#define MSG_FRAME_TOOLBAR2 60006  // 7 texts
#define MSG_FRAME_TRACKCOLUMNS 60016  // 7 texts
#define MSG_FRAME_PLAYBAR 60032  // 4 texts

// track list and rip control (60256..)
#define MSG_RIP_CONFIRM_FOLDER 60256
#define MSG_RIP_BURST_MEMORY 60257
#define MSG_RIP_NO_WMA 60258
#define MSG_RIP_NO_TVQ 60259
#define MSG_RIP_NO_RANGE 60260
#define MSG_RIP_TRACK_NO_NAME 60261
#define MSG_RIP_NAME_MISSING 60262
#define MSG_RIP_NAME_INVALID 60263
#define MSG_RIP_OVERWRITE 60264
#define MSG_RIP_LOCKED 60265
#define MSG_RIP_ENCODER_SETUP 60266
#define MSG_RIP_RANGE_ERROR 60267
#define MSG_RIP_WAVE_DEVICE 60268
#define MSG_RIP_DISK_FULL 60269
#define MSG_RIP_TEMP_FULL 60270
#define MSG_RIP_FINISHED 60271
#define MSG_RIP_TITLE_EXTERNAL 60272
#define MSG_RIP_PERCENT 60273
#define MSG_RIP_FINISHED_NG 60274
#define MSG_RIP_TRACK_TITLE 60275
#define MSG_RIP_SECONDS 60276
#define MSG_RIP_MINUTES_SECONDS 60277
#define MSG_EMPHASIS_WARNING 60278
#define MSG_COPY_ALLOWED 60279
#define MSG_COPY_FORBIDDEN 60280
#define MSG_SSTP_TRACK_DONE 60281
#define MSG_SSTP_TRACK_TIME 60282
#define MSG_SSTP_NEXT_TRACK 60283
#define MSG_SSTP_REMAIN 60284
#define MSG_SSTP_LAST 60285
#define MSG_SSTP_END 60286
#define MSG_SSTP_TOTAL 60287
#define MSG_SSTP_BYE 60288
#define MSG_SSTP_ABORT 60289
#define MSG_BENCH_NOT_MEASURED 60290
#define MSG_BENCH_SPEED 60291
#define MSG_BENCH_LENGTH 60292
#define MSG_BENCH_AREA 60293
#define MSG_BENCH_RESULT_CAPTION 60294
#define MSG_RIP_NG_TRACK_SEPARATOR 60295
#define MSG_REPORT_COLUMN1 60296
#define MSG_REPORT_COLUMN2 60297
#define MSG_REPORT_COLUMN3 60298
#define MSG_REPORT_COLUMN4 60299
#define MSG_REPORT_COLUMN5 60300
#define MSG_REPORT_COLUMN6 60301
#define MSG_REPORT_COLUMN7 60302

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
// normalizer (60992..61007)
#define MSG_NORMALIZE_NO_DATA 60992
#define MSG_NORMALIZE_CANNOT_OPEN 60993
#define MSG_NORMALIZE_NOT_WAVE 60994
#define MSG_NORMALIZE_NOT_CD_AUDIO 60995
#define MSG_NORMALIZE_SILENT 60996

// playback (61024..)

// batch encode list and tag editor (61280..)

// file manager (61536..)

// CDDB (61792..)

// CD-TEXT and SSTP (62048..)

// tags and output (62304..)
