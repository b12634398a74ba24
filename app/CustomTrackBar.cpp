#include "app/CustomTrackBar.h"

#include "classlib/panels.h"

HWND TCustomTrackBar::Create(HWND parent, DWORD style) {
    return wx::CreateChild(*form_, parent, TRACKBAR_CLASSA, id_, CreateParams(style | WS_VISIBLE));
}
