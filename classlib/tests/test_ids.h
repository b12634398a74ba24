#pragma once
#define IDD_TEST 100
#define IDC_CHECK 1001
#define IDC_EDIT 1002
#define IDC_COMBO 1003
#define IDC_LIST 1004
#define IDC_LISTVIEW 1005
#define IDC_UPDOWN 1006
#define IDC_BUDDY 1007
#define IDC_STATUS 1008
#define IDC_BUTTON 1009
#define IDC_TREE 1010
#define IDM_TEST 200
#define IDM_ITEM_A 2001
#define IDM_ITEM_B 2002
#define IDS_HELLO 300
#define IDS_FORMAT 301
