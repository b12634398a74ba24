// Control ids of the splash window (TSplashForm).
#pragma once
#define IDC_SPLASH_TITLE 2501
#define IDC_SPLASH_SUB 2502
