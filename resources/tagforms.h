// Control ids of the tag dialogs (TID3Form, TID3GenreSelect) and the name
// prompt (TRenameForm).  Templates are named after their classes.
#pragma once

// TID3FORM
#define IDC_ID3_TITLE 1101
#define IDC_ID3_ALBUM 1102
#define IDC_ID3_ARTIST 1103
#define IDC_ID3_YEAR 1104
#define IDC_ID3_GENRE 1105
#define IDC_ID3_COMMENT 1106
#define IDC_ID3_COPYRIGHT 1107
#define IDC_ID3_TRACK 1108
#define IDC_ID3_ALLGENRES 1109
#define IDC_ID3_CLEAR 1110

// TID3GENRESELECT
#define IDC_GENRESEL_COMBO 1201
#define IDC_GENRESEL_ALL 1202

// TRENAMEFORM
#define IDC_RENAME_LABEL 1301
#define IDC_RENAME_EDIT 1302
