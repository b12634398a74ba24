#include "discinfo/choice.h"

#include "output/dlgcenter.h"

namespace wx {

TChoiceForm::TChoiceForm(TComponent* owner) : TForm(owner, "TCHOICEFORM") {
    OnClick(IDOK, [this] {
        Chosen = ListBox1.ItemIndex();
        SetModalResult(Chosen >= 0 ? IDOK : IDCANCEL);
    });
    OnCommand(IDC_CHOICE_LIST, LBN_DBLCLK, [this] {
        Chosen = ListBox1.ItemIndex();
        if (Chosen >= 0) SetModalResult(IDOK);
    });
}

void TChoiceForm::FormCreate() {
    Chosen = -1;
    HDC dc = GetDC(ListBox1.Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(ListBox1.Send(WM_GETFONT)));
    int widest = 0;
    for (const std::string& item : Items) {
        ListBox1.Add(item);
        SIZE size{};
        GetTextExtentPoint32A(dc, item.c_str(), static_cast<int>(item.size()), &size);
        if (size.cx + 3 > widest) widest = size.cx + 3;
    }
    SelectObject(dc, old);
    ReleaseDC(ListBox1.Handle(), dc);
    if (widest > static_cast<int>(ListBox1.Send(LB_GETHORIZONTALEXTENT)))
        ListBox1.Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest));
    if (!Items.empty()) ListBox1.SetItemIndex(0);
    GetCenter(*this);
}

}  // namespace wx
