// The application object: the message loop of the user-interface thread,
// the title, the resource module that texts and templates come from, and the
// list of modeless forms whose keyboard navigation the loop must route.
#pragma once
#include <string>
#include <vector>

#include "classlib/win.h"

namespace wx {

class TForm;

class TApplication {
public:
    TApplication();

    // Registers the common controls.  Call once before the first form.
    void Initialize();
    std::string Title;

    // Runs the message loop until the main form is destroyed or Terminate().
    void Run(TForm& mainForm);
    // Handles every message waiting in the queue, then returns.
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }
    TForm* MainForm() const { return main_; }

    // The module that string resources and dialog templates are loaded from
    // (the program itself unless a language module replaced it).
    HINSTANCE ResourceInstance() const { return resInstance_; }
    // Makes module the resource module; a previous module other than the
    // program itself is unloaded.
    void SetResourceInstance(HINSTANCE module);
    // The module that holds a named resource: the resource module, or the
    // program itself when the resource module lacks it.
    HINSTANCE ResourceModuleFor(LPCSTR name, LPCSTR type) const;
    HINSTANCE Instance() const { return instance_; }

    // Modeless forms register themselves so that Tab and Enter work in them.
    void AddModeless(HWND wnd);
    void RemoveModeless(HWND wnd);
    // Keyboard shortcuts of one window (its keys and those of its
    // children), translated before the dialog manager sees them.
    void SetAccelerators(HWND target, HACCEL table) { accelWnd_ = target; accel_ = table; }

private:
    bool Dispatch(MSG& msg);

    HINSTANCE instance_;
    HINSTANCE resInstance_;
    TForm* main_ = nullptr;
    bool terminated_ = false;
    std::vector<HWND> modeless_;
    HWND accelWnd_ = nullptr;
    HACCEL accel_ = nullptr;
};

extern TApplication Application;

// String resource id from the current resource module, from the program's
// own table when the module lacks it ("" when both do).
std::string LoadResString(UINT id);

}  // namespace wx
