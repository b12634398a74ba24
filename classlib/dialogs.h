// The one seam for message boxes and modal prompts.  Every message box and
// every modal form goes through the current TPrompter, so that tests can
// script the user's answers; the default shows real windows.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "classlib/win.h"

namespace wx {

class TForm;

class TPrompter {
public:
    virtual ~TPrompter() = default;
    // MessageBoxA semantics: flags MB_*, result IDOK, IDCANCEL, IDYES ...
    virtual int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    // Runs a modal form; the result is the form's modal result.
    virtual INT_PTR RunModal(TForm& form, HWND owner) = 0;
};

TPrompter& Prompter();
// Installs a prompter (nullptr restores the default); returns the previous one.
TPrompter* SetPrompter(TPrompter* p);

// Message box with the application title as caption.
int ShowMessageBox(const std::string& text, UINT flags = MB_OK | MB_ICONERROR, HWND owner = nullptr);
// Message box whose text is string resource `id`, formatted printf-style.
int MessageBoxRes(UINT id, UINT flags, ...);

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

    int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    INT_PTR RunModal(TForm& form, HWND owner) override;
};

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
