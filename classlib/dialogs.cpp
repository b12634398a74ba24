#include "classlib/dialogs.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "classlib/app.h"
#include "classlib/form.h"

namespace wx {

class TDefaultPrompter : public TPrompter {
public:
    int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }
    INT_PTR RunModal(TForm& form, HWND owner) override { return form.RunModalWindow(owner); }
};

namespace {
TDefaultPrompter defaultPrompter;
TPrompter* current = &defaultPrompter;
}  // namespace

TPrompter& Prompter() { return *current; }

TPrompter* SetPrompter(TPrompter* p) {
    TPrompter* previous = current;
    current = p ? p : &defaultPrompter;
    return previous;
}

int ShowMessageBox(const std::string& text, UINT flags, HWND owner) {
    if (!owner && Application.MainForm()) owner = Application.MainForm()->Handle();
    return Prompter().Message(owner, text, Application.Title, flags);
}

int MessageBoxRes(UINT id, UINT flags, ...) {
    const std::string pattern = LoadResString(id);
    va_list args;
    va_start(args, flags);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pattern.c_str(), copy);
    va_end(copy);
    std::vector<char> buf(n > 0 ? static_cast<size_t>(n) + 1 : 1);
    if (n > 0) std::vsnprintf(buf.data(), buf.size(), pattern.c_str(), args);
    va_end(args);
    return ShowMessageBox(n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : pattern, flags);
}

int TScriptedPrompter::Message(HWND, const std::string& text, const std::string& caption, UINT flags) {
    Messages.push_back({text, caption, flags});
    if (Answers.empty()) return IDOK;
    const int a = Answers.front();
    Answers.pop_front();
    return a;
}

INT_PTR TScriptedPrompter::RunModal(TForm& form, HWND owner) {
    form.CreateForScript(owner);
    INT_PTR r = OnModal ? OnModal(form) : IDCANCEL;
    if (r == 0) r = form.ModalResult() ? form.ModalResult() : IDCANCEL;
    form.DestroyHandle();
    return r;
}

}  // namespace wx
