// Ids of the file manager's menus and forms (main-window commands, 2700..).
// ASCII only.
#pragma once

// The file list's pop-up menu (PopupLVFiler).
#define IDM_POPUPLVFILER 2700
#define IDM_POPUPALLSELECT 2701
#define IDM_POPUPPASTE 2702
#define IDM_POPUPLINKPASTE 2703
#define IDM_MAKENEWFOLDER 2704
#define IDM_POPUPLICON 2705
#define IDM_POPUPDETAIL 2706

// TDirInputForm: the destination-folder prompt.
#define IDC_DIRINPUT_LABEL1 2710
#define IDC_DIRINPUT_LABEL2 2711
#define IDC_DIRINPUT_LABEL3 2712
#define IDC_DIRINPUT_EDIT 2713
#define IDC_DIRINPUT_BROWSE 2714

// TAttrForm: attributes and time stamp.
#define IDC_ATTR_IMAGE 2720
#define IDC_ATTR_LABEL 2721
#define IDC_ATTR_ARCHIVE 2722
#define IDC_ATTR_SYSTEM 2723
#define IDC_ATTR_HIDDEN 2724
#define IDC_ATTR_READONLY 2725
#define IDC_ATTR_APPLYATTR 2726
#define IDC_ATTR_APPLYTIME 2727
#define IDC_ATTR_NUM1 2728  // 2728..2733: year, month, day, hour, minute, second
#define IDC_ATTR_UNIT1 2734 // 2734..2739: their labels
