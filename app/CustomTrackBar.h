// A track bar that never shows a selection range.
#pragma once
#include "classlib/controls.h"

class TCustomTrackBar : public wx::TTrackBar {
public:
    using wx::TTrackBar::TTrackBar;
    // The style the control is made with: the given one without
    // TBS_ENABLESELRANGE.
    static DWORD CreateParams(DWORD style) { return style & ~static_cast<DWORD>(TBS_ENABLESELRANGE); }
    // Creates the control inside parent and registers it with the form.
    HWND Create(HWND parent, DWORD style);
};
