// Centring a dialog on the monitor of the main window (the main window's
// GetCenter; every centred dialog calls it before it is shown).
#pragma once
#include "classlib/form.h"

void GetCenter(wx::TForm& dialog);
