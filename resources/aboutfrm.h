// Control ids of the version dialog (TAboutForm).
#pragma once
#define IDC_ABOUT_ICON 2601
#define IDC_ABOUT_NAME 2602
#define IDC_ABOUT_REVISION 2603
#define IDC_ABOUT_LINK1 2604
#define IDC_ABOUT_LINK2 2605
