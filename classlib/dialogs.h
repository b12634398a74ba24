// The one seam for message boxes and modal prompts.  Every message box and
// every modal form goes through the current TPrompter, so that tests can
// script the user's answers; the default shows real windows.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "classlib/win.h"

#include <commdlg.h>

namespace wx {

class TForm;

class TPrompter {
public:
    virtual ~TPrompter() = default;
    // MessageBoxA semantics: flags MB_*, result IDOK, IDCANCEL, IDYES ...
    virtual int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    // Runs a modal form; the result is the form's modal result.
    virtual INT_PTR RunModal(TForm& form, HWND owner) = 0;
    // A pop-up menu at screen point x, y; the chosen command, 0 when none.
    virtual UINT PopupMenu(HMENU menu, HWND owner, int x, int y);
    // The folder picker (file-system folders under the desktop); the chosen
    // path, empty on cancel.
    virtual std::string BrowseFolder(HWND owner, const std::string& title, const std::string& initialFolder);
    // The file-open and file-save dialogs; on OK the chosen name is in
    // ofn.lpstrFile and the result is true.
    virtual bool OpenFileName(OPENFILENAMEA& ofn);
    virtual bool SaveFileName(OPENFILENAMEA& ofn);
};

TPrompter& Prompter();
// Installs a prompter (nullptr restores the default); returns the previous one.
TPrompter* SetPrompter(TPrompter* p);

// Message box with the application title as caption.
int ShowMessageBox(const std::string& text, UINT flags = MB_OK | MB_ICONERROR, HWND owner = nullptr);
// Message box whose text is string resource `id`, formatted printf-style.
int MessageBoxRes(UINT id, UINT flags, ...);
// String resource `id` formatted printf-style.
std::string FormatRes(UINT id, ...);
// The filter of a file dialog from a text "name|pattern|name|pattern"
// (the separators whole characters, so a double-byte name stays whole).
std::string FileDialogFilter(const std::string& text);

// A prompter for tests: records every message and answers from a queue
// (IDOK when the queue is empty).  Modal forms are created hidden and handed
// to the scripted handler for their template, which sets controls and returns
// the modal result; the window is then destroyed as a modal form would be.
class TScriptedPrompter : public TPrompter {
public:
    struct Shown {
        std::string text, caption;
        UINT flags;
    };
    std::vector<Shown> Messages;
    std::deque<int> Answers;
    std::function<INT_PTR(TForm&)> OnModal;  // called for every modal form
    // Pop-up menus: each shown menu's item texts (by position, separators
    // empty) are recorded; the answer is the next command of the queue (0
    // when it is empty).
    std::vector<std::vector<std::string>> Menus;
    std::deque<UINT> MenuAnswers;
    // Folder and file dialogs: the titles asked, and the answers in turn
    // (an empty answer is a cancel; an empty queue cancels).
    std::vector<std::string> FileDialogs;
    std::deque<std::string> FileAnswers;
    // The filter chosen with each answered file dialog (1-based); when the
    // queue is empty the dialog's own stays.
    std::deque<DWORD> FilterAnswers;

    int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    INT_PTR RunModal(TForm& form, HWND owner) override;
    UINT PopupMenu(HMENU menu, HWND owner, int x, int y) override;
    std::string BrowseFolder(HWND owner, const std::string& title, const std::string& initialFolder) override;
    bool OpenFileName(OPENFILENAMEA& ofn) override;
    bool SaveFileName(OPENFILENAMEA& ofn) override;

private:
    bool AnswerFile(OPENFILENAMEA& ofn);
};

// Item texts of a menu by position (separators and sub-menus included; a
// separator is an empty text).
std::vector<std::string> MenuItemTexts(HMENU menu);

// Puts text (code page of the program, lines ended by CR LF) on the
// clipboard as CF_TEXT; false when the clipboard could not be had.
bool CopyTextToClipboard(HWND owner, const std::string& text);

// Installs a prompter for the lifetime of the guard.
class TPrompterGuard {
public:
    explicit TPrompterGuard(TPrompter& p) : previous_(SetPrompter(&p)) {}
    ~TPrompterGuard() { SetPrompter(previous_); }
    TPrompterGuard(const TPrompterGuard&) = delete;
    TPrompterGuard& operator=(const TPrompterGuard&) = delete;

private:
    TPrompter* previous_;
};

}  // namespace wx
