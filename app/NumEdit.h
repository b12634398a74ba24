// An edit that takes only digits and, when EnableMinus is set, the minus
// sign.  Control characters (backspace, Enter, Esc, the clipboard keys)
// pass; pasted text is not filtered.
#pragma once
#include "classlib/controls.h"

class TNumEdit : public wx::TEdit {
public:
    using wx::TEdit::TEdit;
    bool EnableMinus = false;
    // Starts filtering the keys of the form's control (once its window exists).
    void Attach();

private:
    static LRESULT CALLBACK KeyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
};
