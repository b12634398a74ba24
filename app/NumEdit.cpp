#include "app/NumEdit.h"

#include "app/ctrlmodel.h"

void TNumEdit::Attach() { SetWindowSubclass(Handle(), &TNumEdit::KeyProc, 1, reinterpret_cast<DWORD_PTR>(this)); }

LRESULT CALLBACK TNumEdit::KeyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_CHAR) {
        const auto* self = reinterpret_cast<const TNumEdit*>(data);
        if (!NumEditAccepts(static_cast<unsigned char>(wp), self->EnableMinus)) return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, &TNumEdit::KeyProc, 1);
    return DefSubclassProc(wnd, msg, wp, lp);
}
