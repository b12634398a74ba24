// Control and menu ids of the batch encode list (TEncodeForm).
#pragma once

#define IDC_ENC_LIST 6101
#define IDC_ENC_START 6102
#define IDC_ENC_CLOSE 6103
#define IDC_ENC_SETTINGS 6104
#define IDC_ENC_STATUS 6105

#define IDM_ENC_POPUP 6120
#define IDM_ENC_FILEEDIT 6121
#define IDM_ENC_ID3EDIT 6122
#define IDM_ENC_ADDFILE 6123
#define IDM_ENC_DELLIST 6124
