// Control ids of TTrackInfoForm.
#pragma once

#define IDC_TRKINFO_TITLE 5201
#define IDC_TRKINFO_EXT 5202
