// Control and command ids of the main window (TForm1).  ASCII only.
#pragma once

// Accelerators and the menu resource of the main window.
#define IDM_MAINMENUS 2000
#define IDA_MAIN 2001

// ---- Frame: bars, panels, splitters ----
#define IDC_COOLBAR1 2010
#define IDC_TOOLBAR1 2011
#define IDC_TOOLBAR2 2012
#define IDC_DRIVEPANEL1 2013
#define IDC_PANEL2 2014
#define IDC_SPLITTER1 2015
#define IDC_PANEL3 2016
#define IDC_PANEL7 2017
#define IDC_SPLITTER2 2018
#define IDC_PANEL4 2019
#define IDC_PANEL1 2020
#define IDC_STATUSBAR1 2021
#define IDC_STATUSBAR4 2022
#define IDC_STATUSBAR2 2023

// ---- Panes of other areas (created by the frame) ----
#define IDC_TREEVIEW1 2030
#define IDC_LISTVIEW1 2031
#define IDC_TRACKLIST 2032

// ---- Test-playback bar (Panel1) ----
#define IDC_SPEEDBUTTON2 2040
#define IDC_SPEEDBUTTON1 2041
#define IDC_SPEEDBUTTON3 2042
#define IDC_CLEARHISTORY 2043
#define IDC_COMBOBOX1 2044
#define IDC_CUSTOMTRACKBAR1 2045
#define IDC_LABEL6 2046

// ---- ToolBar1: the six menu buttons ----
#define IDT_FILEPULLDOWN 2101
#define IDT_EXECPULLDOWN 2102
#define IDT_CONFIGPULLDOWN 2103
#define IDT_VIEWPULLDOWN 2104
#define IDT_TOOLPULLDOWN 2105
#define IDT_HELPPULLDOWN 2106

// ---- ToolBar2 ----
#define IDT_REFRESHLIST 2111
#define IDT_TOOLRIPSTART 2112
#define IDT_TOOLCONFIGBTN 2113
#define IDT_TOOLEXTENCODE 2114
#define IDT_TOOLID3BTN 2115
#define IDT_TOOLCDTEXTBTN 2116
#define IDT_TOOLCDDBBTN 2117

// ---- FilePulldown ----
#define IDM_SETBASEFILENAME 2201
#define IDM_LOADLIST 2202
#define IDM_EXIT1 2203
// ---- ExecPullDown ----
#define IDM_CDROM1 2211
#define IDM_S1 2212
#define IDM_PULLDOWNENCODE 2213
#define IDM_ID3I1 2214
#define IDM_CDTEXTT1 2215
#define IDM_CDDBD1 2216
// ---- ConfigPullDown ----
#define IDM_CONFIGMENU 2221
#define IDM_CONFIGWIZERD 2222
// ---- ViewPullDown ----
#define IDM_POPUPDISPTOOLBAR 2231
#define IDM_POPUPDISPPLAYPANEL 2232
#define IDM_DISPICON1 2233
#define IDM_DISPDETAIL 2234
#define IDM_FILENAMESORT 2235
#define IDM_EXTSORT1 2236
#define IDM_SIZESORT 2237
#define IDM_TIMESORT 2238
#define IDM_UPSORT 2239
#define IDM_DOWNSORT 2240
#define IDM_FULLREFRESH 2241
// ---- ToolPullDown ----
#define IDM_EXECNORMZ 2251
#define IDM_DRIVEBENCH 2252
#define IDM_V1 2253
// ---- HelpPullDown ----
#define IDM_HELPTOPIX1 2261
#define IDM_KEYSEARCH 2262
#define IDM_ABOUT1 2263
// ---- EncodeMenu (Tag = id - IDM_WAVEOUT) ----
#define IDM_WAVEOUT 2270
#define IDM_WMTOUT 2271
#define IDM_MP3OUT 2272
#define IDM_VQFOUT 2273
#define IDM_ENCODEFILES 2275  // the batch encode list
// ---- Track pop-up commands with shortcuts (Ctrl+I, Ctrl+B, Ctrl+S, Ctrl+A) ----
#define IDM_ID31 2281
#define IDM_SETBASEFILENAME1 2282
#define IDM_POPUPRIPSTART 2283
#define IDM_SELECTALLTR 2284

// Positions of the drop-down menus inside IDM_MAINMENUS.
#define MENUPOS_FILE 0
#define MENUPOS_EXEC 1
#define MENUPOS_CONFIG 2
#define MENUPOS_VIEW 3
#define MENUPOS_TOOL 4
#define MENUPOS_HELP 5
#define MENUPOS_ENCODE 6
