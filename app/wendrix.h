// The program block and the main window.
#pragma once
#include "classlib/form.h"

namespace wendrix {

// The main window.  For now the bare frame.
class TForm1 : public wx::TForm {
public:
    TForm1();
};

// Creates the single-instance mutex; true when another instance holds it or
// the mutex cannot be made.  The handle stays open for the whole run.
bool IsAlreadyRunning();
// Releases the single-instance mutex.
void ReleaseInstanceMutex();

// The program: single-instance check, application set-up, message loop.
int ProgramMain();

}  // namespace wendrix
