// Control and menu ids of the tag editor (TID3TagForm) and the column-fill
// prompt (TAllPasteForm).
#pragma once

#define IDC_TAGED_LIST 6201
#define IDC_TAGED_SPEED1 6202
#define IDC_TAGED_SPEED2 6203
#define IDC_TAGED_SPEED3 6204
#define IDC_TAGED_SPEED4 6205
#define IDC_TAGED_SPEED5 6206

#define IDM_TAGED_IMPORT 6221
#define IDM_TAGED_EXPORT 6222
#define IDM_TAGED_WRITE 6223
#define IDM_TAGED_SETFILENAME 6224
#define IDM_TAGED_CONFIG 6225
#define IDM_TAGED_CLOSE 6226
#define IDM_TAGED_COPY 6231
#define IDM_TAGED_COPYCELL 6232
#define IDM_TAGED_PASTE 6233
#define IDM_TAGED_PASTELINE 6234
#define IDM_TAGED_PASTEALL 6235
#define IDM_TAGED_NUMBER 6236
#define IDM_TAGED_SETGENRE 6237
#define IDM_TAGED_SETALLCOL 6238
#define IDM_TAGED_CSVDELIM 6239
#define IDM_TAGED_SELECTALL 6240

// Position of the edit menu in the menu bar.
#define MENUPOS_TAGED_EDIT 1

#define IDC_ALLPASTE_EDIT 6251
#define IDC_ALLPASTE_GROUP 6252
// Six radio buttons in a row of ids: title, artist, album, year, comment, copyright.
#define IDC_ALLPASTE_RADIO1 6253
