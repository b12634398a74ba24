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
    void SetResourceInstance(HINSTANCE module) { resInstance_ = module; }
    HINSTANCE Instance() const { return instance_; }

    // Modeless forms register themselves so that Tab and Enter work in them.
    void AddModeless(HWND wnd);
    void RemoveModeless(HWND wnd);

private:
    bool Dispatch(MSG& msg);

    HINSTANCE instance_;
    HINSTANCE resInstance_;
    TForm* main_ = nullptr;
    bool terminated_ = false;
    std::vector<HWND> modeless_;
};

extern TApplication Application;

// String resource id from the current resource module ("" when missing).
std::string LoadResString(UINT id);

}  // namespace wx
