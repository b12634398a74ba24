// The program block.
#pragma once

namespace wendrix {

// Creates the single-instance mutex; true when another instance holds it or
// the mutex cannot be made.  The handle stays open until the file manager
// is finalized.
bool IsAlreadyRunning();
// Releases the single-instance mutex (again a no-op).
void ReleaseInstanceMutex();

// The program: units' start, single-instance check, the forms of the run,
// message loop.
int ProgramMain();

}  // namespace wendrix
