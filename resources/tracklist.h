// Ids of the track list's menus (main-window commands, 2600..).  The menu
// resource is named by number; the commands that share the main menus'
// shortcuts (ID31, SetBaseFilename1, PopupRipStart, SelectAllTr) keep the
// main window's numbers.
#pragma once

#define IDM_TRACKRPOPUPMENU 2600
#define IDM_TRACK_SETPARAM 2601
#define IDM_TRACK_DIGITALPLAY 2602
#define IDM_TRACK_CDPLAY 2603
#define IDM_TRACK_CDSTOP 2604
#define IDM_TRACK_PROP 2605
// The drive pop-up: one command per drive of the settings' list.
#define IDM_DRIVEPOPUP_FIRST 2640
