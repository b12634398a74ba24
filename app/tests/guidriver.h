// Test-driver helpers for driving the real program from another process
// under Wine: finding its windows, answering message boxes by their text,
// reading and setting list-view rows and clicking tool-bar buttons through
// memory in the program's process, and typing keys.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "classlib/win.h"

namespace guidriver {

// The end-to-end session's folder (WX_E2E_DIR, as a Windows path), the
// program's folder in it, and where screenshots go.
std::string Dir();
std::string AppDir();
std::string Shots();

// UTF-8 text of the test source as the program shows it (code page 932).
std::string Sjis(const std::string& utf8);

// A program started by the driver.
struct TProgram {
    PROCESS_INFORMATION pi{};
    HWND Main = nullptr;
    bool Start(const std::string& exe, const std::string& args, const std::string& dir);
    // Waits for the main window with this title (ms); null when none came.
    HWND WaitMain(const std::string& title, int ms);
    bool Ended(int ms) const;
    // Closes the main window as a user does, asking again while the window
    // refuses (the file manager re-listing a folder keeps it open); true
    // once the process has ended, within ms.
    bool Close(int ms);
    void Kill();
    // CPU time (user + kernel) of the process so far, in seconds.
    double CpuSeconds() const;
    ~TProgram();
};

// A visible top-level dialog (#32770) of the process whose caption or
// message text contains `text` (empty: any); null after ms.
HWND WaitDialog(DWORD pid, const std::string& text, int ms);
// As WaitDialog, but a message box with another text that stays up (a box
// the test did not expect) ends the wait: null, and its text in
// `unexpected` (UTF-8).
HWND ExpectDialog(DWORD pid, const std::string& text, int ms, std::string& unexpected);
// Text of the program (code page 932) as UTF-8, for failure messages.
std::string Utf8(const std::string& sjis);
// Every visible dialog of the process.
std::vector<HWND> Dialogs(DWORD pid);
// The message text of a message box (its static 0xFFFF), or "".
std::string BoxText(HWND box);
std::string WindowText(HWND w);
// A descendant window with this control id, or null.
HWND FindChild(HWND parent, int id);
// Presses a button of a dialog by id (BM_CLICK posted).
void Press(HWND dialog, int id);
// Waits until the window is gone.
bool WaitGone(HWND w, int ms);
// The value `read` gives once it is `want`, else the last one after ms: a
// window's state may follow an action a moment later (controls updated
// after the box of an action has been answered).
int WaitValue(const std::function<int()>& read, int want, int ms = 10000);

// Memory in the program's process for the common-control messages that
// carry pointers.
class TRemote {
public:
    TRemote(HANDLE process, std::size_t size);
    ~TRemote();
    void* Ptr() const { return p_; }
    bool Write(const void* data, std::size_t n, std::size_t offset = 0);
    bool Read(void* data, std::size_t n, std::size_t offset = 0);

private:
    HANDLE process_;
    void* p_;
    std::size_t size_;
};

// List views of the program.
int ListCount(HWND list);
std::string ListText(HANDLE process, HWND list, int item, int sub);
void ListSelect(HANDLE process, HWND list, int item, bool on);
bool ListSelected(HWND list, int item);
// Tool-bar button click by command id (mouse down and up at its centre).
bool ClickToolButton(HANDLE process, HWND toolbar, int command);
// Text of a combo box item, of a control (asked of the control itself: an
// edit's text is its own), of a tool-bar button and of a tab.
std::string ComboItem(HWND combo, int item);
std::string ControlText(HWND w);
std::string ToolButtonText(HANDLE process, HWND toolbar, int command);
std::string TabText(HANDLE process, HWND tab, int item);
// A click on a tab's item, as the mouse gives it (sent: done on return).
bool ClickTab(HANDLE process, HWND tab, int item);
// Text of a status-bar part.
std::string StatusText(HANDLE process, HWND bar, int part);
// A key press to a window (down, char, up).
void Key(HWND w, UINT vk, char ch = 0, bool ctrl = false);
// Sets an edit's text.
void SetText(HWND edit, const std::string& text);

// The drop-down arrow of a tool-bar button (mouse down and up near its
// right edge).
bool ClickToolButtonArrow(HANDLE process, HWND toolbar, int command);
// A visible pop-up menu of the process; null after ms.
HWND WaitPopupMenu(DWORD pid, int ms);
// Chooses an item of an open pop-up menu by its mnemonic letter.
void MenuMnemonic(HWND popup, char letter);
// Right click on a row of a list view (the list's own pop-up request).
bool RightClickRow(HANDLE process, HWND list, int item);
// Double click on a row of a list view.
bool DoubleClickRow(HANDLE process, HWND list, int item);
// Drags files from this process and drops them on a window by OLE drag
// and drop, as the shell does; true when the target took them (copy).
bool DropFiles(HWND target, const std::vector<std::string>& files);
// Answers an open or save dialog: the file name typed, then OK.
bool AnswerFileDialog(HWND dialog, const std::string& path);

// Asks the test script for a screenshot: writes NAME.req into dir and
// waits for NAME.done (10 s).  With a window, the request holds its place
// on the screen as WIDTHxHEIGHT+LEFT+TOP, for a script that crops.
bool Screenshot(const std::string& dir, const std::string& name, HWND window = nullptr);

}  // namespace guidriver
