#include "app/attrfrm.h"

#include <shellapi.h>

#include "app/filercmds.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/dlgcenter.h"
#include "resources/msgids.h"

TAttrForm::TAttrForm(wx::TComponent* owner) : TForm(owner, "TATTRFORM") {
    for (int i = 0; i < 6; ++i)
        OnCommand(IDC_ATTR_NUM1 + i, EN_KILLFOCUS, [this, i] {
            // Leaving for Cancel checks nothing: the form goes without a change.
            if (GetFocus() == GetDlgItem(Handle(), IDCANCEL)) return;
            CheckGroup(i);
        });
    OnClick(IDOK, [this] {
        if (!CheckGroup(0) || !CheckGroup(3)) return;
        ApplyAttr = CheckBox5.Checked();
        ApplyTime = CheckBox6.Checked();
        NewAttr = Attr & ~std::uint32_t(faArchive | faSysFile | faHidden | faReadOnly);
        if (CheckBox1.Checked()) NewAttr |= faArchive;
        if (CheckBox2.Checked()) NewAttr |= faSysFile;
        if (CheckBox3.Checked()) NewAttr |= faHidden;
        if (CheckBox4.Checked()) NewAttr |= faReadOnly;
        for (int i = 0; i < 6; ++i) Fields[std::size_t(i)] = NumEdit[std::size_t(i)].Text();
        SetModalResult(IDOK);
    });
}

bool TAttrForm::CheckGroup(int i) {
    if (checking_) return true;
    const int first = i < 3 ? 0 : 3;
    const std::string a = NumEdit[std::size_t(first)].Text(), b = NumEdit[std::size_t(first + 1)].Text(),
                      c = NumEdit[std::size_t(first + 2)].Text();
    const filer::TFieldCheck r = first == 0 ? filer::CheckDateFields(a, b, c) : filer::CheckTimeFields(a, b, c);
    if (r == filer::fcOk) return true;
    checking_ = true;
    if (r == filer::fcNotNumber)
        wx::MessageBoxRes(MSG_INVALID_ENTRY_COLON, MB_OK | MB_ICONERROR);
    else
        wx::MessageBoxRes(MSG_FILER_OUT_OF_RANGE, MB_OK | MB_ICONERROR);
    NumEdit[std::size_t(i)].SetFocus();
    checking_ = false;
    return false;
}

void TAttrForm::FormCreate() {
    GetCenter(*this);
    SHFILEINFOW sfi{};
    if (SHGetFileInfoW(Path.c_str(), 0, &sfi, sizeof sfi, SHGFI_ICON | SHGFI_LARGEICON)) icon_ = sfi.hIcon;
    if (icon_) SendDlgItemMessageA(Handle(), IDC_ATTR_IMAGE, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    SetDlgItemTextA(Handle(), IDC_ATTR_LABEL, LabelText.c_str());
    CheckBox1.SetChecked(Attr & faArchive);
    CheckBox2.SetChecked(Attr & faSysFile);
    CheckBox3.SetChecked(Attr & faHidden);
    CheckBox4.SetChecked(Attr & faReadOnly);
    const std::vector<std::string> fields = filer::TimeFields(Time);
    for (int i = 0; i < 6; ++i) {
        TNumEdit& e = NumEdit[std::size_t(i)];
        e.SetMaxLength(i == 0 ? 4 : 2);
        e.SetText(fields[std::size_t(i)]);
        e.Attach();
    }
}

void TAttrForm::FormDestroy() {
    if (icon_) DestroyIcon(icon_);
    icon_ = nullptr;
}
