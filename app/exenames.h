// Windows of running programs: the main window of a process, and the main
// window of a program found by the file name of its executable.
#pragma once
#include <string>

#include "classlib/win.h"

namespace wendrix {

// "No window" as the external-player code keeps it.
inline HWND NoWindow() { return reinterpret_cast<HWND>(static_cast<INT_PTR>(-1)); }

// The first top-level window that has no owner, is visible and belongs to
// the process; NoWindow() when there is none.
HWND FindProcessWindow(DWORD processId);

// The main window of a running program whose executable's file name (no
// folder; compared upper-cased) is exeName; NoWindow() when no such program
// runs or it shows no window.  The processes come from a tool-help snapshot.
HWND FindWindowByExeName(const std::string& exeName);

}  // namespace wendrix
