#include "settings/smallforms.h"

#include "classlib/win.h"

#include <cmath>
#include <cstdio>

#include "classlib/app.h"
#include "classlib/controls.h"
#include "classlib/dialogs.h"
#include "extraction/normaliz.h"
#include "output/dlgcenter.h"
#include "output/gogotea.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "resources/smallforms.h"

HBRUSH MakeTabPaneBrush(HWND tab) {
    RECT r;
    GetClientRect(tab, &r);
    HDC screen = GetDC(tab);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, r.right > 0 ? r.right : 1, r.bottom > 0 ? r.bottom : 1);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT | PRF_ERASEBKGND);
    RECT pane = r;
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pane));
    COLORREF c = GetPixel(mem, (pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2);
    if (c == CLR_INVALID) c = GetSysColor(COLOR_BTNFACE);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(tab, screen);
    return CreateSolidBrush(c);
}

bool PaintOnPane(HBRUSH pane, WPARAM dc, LPARAM control, LRESULT& result) {
    if (!pane) return false;
    char cls[16] = {};
    GetClassNameA(reinterpret_cast<HWND>(control), cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0) return false;
    LOGBRUSH lb{};
    GetObjectA(pane, sizeof lb, &lb);
    SetBkColor(reinterpret_cast<HDC>(dc), lb.lbColor);
    result = reinterpret_cast<LRESULT>(pane);
    return true;
}

bool ErasePane(HWND dialog, HWND tab, HBRUSH pane, WPARAM dc, LRESULT& result) {
    if (!pane || !tab) return false;
    HDC hdc = reinterpret_cast<HDC>(dc);
    RECT client;
    GetClientRect(dialog, &client);
    FillRect(hdc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT page;
    GetWindowRect(tab, &page);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&page), 2);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    FillRect(hdc, &page, pane);
    result = TRUE;
    return true;
}

// ---------------------------------------------------------------------------
// TDevInfoForm

TDevInfoForm::TDevInfoForm(wx::TComponent* owner, const wx::TInquiryInfo& info)
    : TForm(owner, "TDEVINFOFORM"), info_(info) {}

std::vector<std::string> TDevInfoForm::ValueTexts(const wx::TInquiryInfo& i) {
    const std::string yes = wx::LoadResString(MSG_CFG_BIT_SET), no = wx::LoadResString(MSG_CFG_BIT_CLEAR);
    auto bit = [&](bool b) { return b ? yes : no; };
    auto num = [](int n) { return std::to_string(n); };
    // In the order of the captions.
    return {num(i.Qualifier),   num(i.DeviceType), bit(i.Removable), num(i.IsoVersion),  num(i.EcmaVersion),
            num(i.AnsiVersion), bit(i.Aenc),       num(i.ResponseFormat), bit(i.RelAdr), bit(i.WBus16),
            bit(i.Sync),        bit(i.Linked),     bit(i.CmdQue),    bit(i.SoftReset),   i.Vendor,
            i.Product,          i.Revision,        bit(i.TrmIop),    bit(i.WBus32),      i.VendorSpecific};
}

void TDevInfoForm::FormCreate() {
    GetCenter(*this);
    const std::vector<std::string> v = ValueTexts(info_);
    for (std::size_t k = 0; k < v.size(); ++k)
        SetDlgItemTextA(Handle(), IDC_DEVINFO_LABEL2 + static_cast<int>(2 * k), v[k].c_str());
}

// ---------------------------------------------------------------------------
// TGenreDispForm

TGenreDispForm::TGenreDispForm(wx::TComponent* owner) : TForm(owner, "TGENREDISPFORM") {
    OnClick(IDC_GENREDISP_BUTTON1, [this] { Button1Click(0); });
    OnClick(IDC_GENREDISP_BUTTON2, [this] { Button1Click(1); });
    OnClick(IDOK, [this] {
        Button3Click();
        SetModalResult(IDOK);
    });
}

void TGenreDispForm::FormCreate() {
    GetCenter(*this);
    EditedNames.reset();
    wx::TListView list(this, IDC_GENREDISP_LIST);
    list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    list.AddColumn(wx::LoadResString(MSG_CFG_GENRE_NUMBER), 40);
    list.AddColumn(wx::LoadResString(MSG_CFG_GENRE_KIND), 200);
    for (int n = 0; n < GenreCount; ++n) {
        Names[static_cast<std::size_t>(n)] = GetGenreName(n);
        const int row = list.AddItem(std::to_string(n));
        list.SetSubItem(row, 1, Names[static_cast<std::size_t>(n)]);
        ListView_SetCheckState(list.Handle(), row, GenreDisplaySet.test(static_cast<std::size_t>(n)));
    }
    HWND edit = Item(IDC_GENREDISP_EDIT1);
    SetWindowLongPtrA(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    editProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TGenreDispForm::EditProc)));
    Resize();
}

// Enter in the name edit applies the name instead of closing the dialog.
LRESULT CALLBACK TGenreDispForm::EditProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TGenreDispForm*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (msg == WM_GETDLGCODE && lp && reinterpret_cast<MSG*>(lp)->wParam == VK_RETURN)
        return DLGC_WANTALLKEYS;
    if (msg == WM_KEYDOWN && wp == VK_RETURN) {
        self->SpeedButton1Click();
        return 0;
    }
    if (msg == WM_CHAR && wp == '\r') return 0;
    return CallWindowProcA(self->editProc_, w, msg, wp, lp);
}

void TGenreDispForm::Button1Click(int tag) {
    HWND list = Item(IDC_GENREDISP_LIST);
    for (int n = 0; n < GenreCount; ++n) ListView_SetCheckState(list, n, tag == 0);
}

void TGenreDispForm::SpeedButton1Click() {
    wx::TListView list(this, IDC_GENREDISP_LIST);
    const int row = list.NextSelected();
    if (row < 0 || row >= GenreCount) return;
    char buf[512] = {};
    GetDlgItemTextA(Handle(), IDC_GENREDISP_EDIT1, buf, sizeof buf);
    Names[static_cast<std::size_t>(row)] = TrimWideSpaces(buf);
    list.SetSubItem(row, 1, Names[static_cast<std::size_t>(row)]);
    EditedNames.set(static_cast<std::size_t>(row));
}

void TGenreDispForm::Button3Click() {
    HWND list = Item(IDC_GENREDISP_LIST);
    std::bitset<256> set;
    for (int n = 0; n < GenreCount; ++n)
        if (ListView_GetCheckState(list, n)) set.set(static_cast<std::size_t>(n));
    for (int n = 0; n < GenreCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (EditedNames.test(i) && Names[i] != GetGenreName(n)) UserGenreNames[i] = Names[i];
    }
    GenreDisplaySet = set;
}

void TGenreDispForm::Resize() {
    RECT rc;
    GetClientRect(Handle(), &rc);
    const int w = rc.right, h = rc.bottom;
    RECT du{0, 0, 4, 8};
    MapDialogRect(Handle(), &du);
    const int row = du.bottom * 2;  // one line of controls
    HWND status = Item(IDC_GENREDISP_STATUS);
    SendMessageA(status, WM_SIZE, 0, 0);
    RECT sr;
    GetWindowRect(status, &sr);
    const int sh = sr.bottom - sr.top;
    const int buttons = h - sh - row - 4;
    const int editTop = buttons - row - 4;
    MoveWindow(Item(IDC_GENREDISP_LIST), 4, 4, w - 8, editTop - 8, TRUE);
    MoveWindow(Item(IDC_GENREDISP_LABEL1), 4, editTop + 3, 40, row - 6, TRUE);
    const int editWidth = w - 48 - 4;  // the panel's width less the edit's left and 4
    MoveWindow(Item(IDC_GENREDISP_EDIT1), 48, editTop, editWidth < 4 ? 4 : editWidth, row - 4, TRUE);
    const int bw = (w - 20) / 4;
    int x = 4;
    for (int id : {IDC_GENREDISP_BUTTON1, IDC_GENREDISP_BUTTON2, IDOK, IDCANCEL}) {
        MoveWindow(Item(id), x, buttons, bw, row, TRUE);
        x += bw + 4;
    }
    wx::TListView list(this, IDC_GENREDISP_LIST);
    RECT lr;
    GetClientRect(list.Handle(), &lr);
    const int lw = lr.right;
    list.SetColumnWidth(1, lw > 80 ? lw - list.ColumnWidth(0) - 24 : 50);
}

bool TGenreDispForm::HandleMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg == WM_SIZE) {
        Resize();
        result = 0;
        return true;
    }
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
        if (nm->hdr.idFrom == IDC_GENREDISP_LIST && nm->hdr.code == LVN_ITEMCHANGED &&
            ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && nm->iItem >= 0 && nm->iItem < GenreCount) {
            if (nm->uNewState & LVIS_SELECTED) {
                SetDlgItemTextA(Handle(), IDC_GENREDISP_EDIT1, Names[static_cast<std::size_t>(nm->iItem)].c_str());
                SetDlgItemTextA(Handle(), IDC_GENREDISP_LABEL1, (std::to_string(nm->iItem) + "=").c_str());
            } else {
                SetDlgItemTextA(Handle(), IDC_GENREDISP_EDIT1, "");
                SetDlgItemTextA(Handle(), IDC_GENREDISP_LABEL1, "");
            }
            result = 0;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// TNormalizeForm

TNormalizeForm::TNormalizeForm(wx::TComponent* owner) : TForm(owner, "TNORMALIZEFORM") {
    CalcFactor = [](const std::string& file, bool raw, bool percentile, bool clip, bool average) {
        return wx::NormalizeCalcFactor(file, raw, percentile, clip, average);
    };
    PickFile = [this](const std::string& title, const std::string& filter) {
        return OpenFileDialog(Handle(), title, filter, "WAV");
    };
    OnClick(IDC_NORM_AUTOCONFIG, [this] { AutoConfigClick(); });
    OnClick(IDCANCEL, [this] { SetModalResult(IDOK); });  // only OK: every change is in effect
}

void TNormalizeForm::FormCreate() {
    GetCenter(*this);
    wx::TComboBox method(this, IDC_NORM_METHOD);
    method.Add(wx::LoadResString(MSG_CFG_NORM_PEAK));
    method.Add(wx::LoadResString(MSG_CFG_NORM_AVERAGE));
    method.SetItemIndex(NormalizeMethod);
    wx::TTrackBar bar(this, IDC_NORM_LEVEL);
    bar.SetRange(0, 10000);
    SendMessageA(bar.Handle(), TBM_SETTICFREQ, 1000, 0);
    SendMessageA(bar.Handle(), TBM_SETPAGESIZE, 0, 1000);
    bar.SetPosition(NormalizeLevel);
    CheckDlgButton(Handle(), IDC_NORM_ALLOWPEAKOVER, NormalizeAllowPeakOver ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_NORM_FIXOVERPOINT, NormalizeFixPeakOver ? BST_CHECKED : BST_UNCHECKED);
}

bool TNormalizeForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lp) == Item(IDC_NORM_LEVEL)) {
        NormalizeLevel = wx::TTrackBar(this, IDC_NORM_LEVEL).Position();
        result = 0;
        return true;
    }
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDC_NORM_METHOD && code == CBN_SELCHANGE) {
            const int m = wx::TComboBox(this, IDC_NORM_METHOD).ItemIndex();
            if (m >= 0) NormalizeMethod = m;
            return true;
        }
        if (id == IDC_NORM_ALLOWPEAKOVER && code == BN_CLICKED) {
            NormalizeAllowPeakOver = IsDlgButtonChecked(Handle(), id) == BST_CHECKED;
            return true;
        }
        if (id == IDC_NORM_FIXOVERPOINT && code == BN_CLICKED) {
            NormalizeFixPeakOver = IsDlgButtonChecked(Handle(), id) == BST_CHECKED;
            return true;
        }
    }
    return false;
}

void TNormalizeForm::AutoConfigClick() {
    const std::string file =
        PickFile ? PickFile(wx::LoadResString(MSG_CFG_NORM_TITLE), wx::LoadResString(MSG_CFG_NORM_FILTER))
                 : std::string();
    if (file.empty()) return;
    const std::int64_t factor = CalcFactor ? CalcFactor(file, false, NormalizeFixPeakOver, NormalizeAllowPeakOver,
                                                        NormalizeMethod != 0)
                                           : -1;
    if (factor <= 0) {
        wx::ShowMessageBox(wx::LoadResString(MSG_CFG_NORM_FAILED), MB_OK | MB_ICONERROR, Handle());
        return;
    }
    wx::TTrackBar bar(this, IDC_NORM_LEVEL);
    const std::int64_t level = 100000000 / factor;
    bar.SetPosition(static_cast<int>(level > 0x7FFFFFFF ? 0x7FFFFFFF : level));
    NormalizeLevel = bar.Position();
}

// ---------------------------------------------------------------------------
// TGogoForm

TGogoForm::TGogoForm(wx::TComponent* owner, TConfigStore& store, wx::TGogoTea* gogo)
    : TForm(owner, "TGOGOFORM"), s_(store), gogo_(gogo) {
    OnClick(IDOK, [this] {
        Take();
        SetModalResult(IDOK);
    });
    OnClick(IDC_GOGO_HELP, [this] {
        WinHelpA(Handle(), HelpFile.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(HelpContext()));
    });
    for (int id : {IDC_GOGO2_ENABLEVBRADVSET, IDC_GOGO2_ENABLEFILTERADVSET, IDC_GOGO3_ENABLEMSADVSET})
        OnClick(id, [this] { Enabling(); });
}

std::string TGogoForm::RatioText(int p) {
    if (p == 100) return "1.00";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0.%.02d", p);
    return buf;
}

std::string TGogoForm::SplitText(int p) {
    // x = p/3 + 200/3, so the two shares are (400 - p)/6 and (p + 200)/6,
    // rounded to the nearest whole number, halves to even; in whole numbers
    // so that no rounding of a third decides a half.
    const auto sixths = [](int n) {
        const int q = n / 6, r = n % 6;
        return r > 3 || (r == 3 && (q & 1)) ? q + 1 : q;
    };
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d%%/%.2d%%", sixths(400 - p), sixths(p + 200));
    return buf;
}

TGogoForm::~TGogoForm() {
    if (pane_) DeleteObject(pane_);
}

void TGogoForm::FormCreate() {
    GetCenter(*this);
    wx::TTabControl tab(this, IDC_GOGO_TAB);
    for (int id : {MSG_CFG_GOGO_PAGE1, MSG_CFG_GOGO_PAGE2, MSG_CFG_GOGO_PAGE3})
        tab.AddTab(wx::LoadResString(static_cast<UINT>(id)));
    if (pane_) DeleteObject(pane_);
    pane_ = MakeTabPaneBrush(tab.Handle());
    SetWindowPos(tab.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    auto check = [this](int id, bool on) { CheckDlgButton(Handle(), id, on ? BST_CHECKED : BST_UNCHECKED); };
    check(IDC_GOGO1_MMXCHK, s_.GogoMMX);
    check(IDC_GOGO1__3DNOWCHK, s_.Gogo3DNow);
    check(IDC_GOGO1_EXT3DNOWCHK, s_.GogoExt3DNow);
    check(IDC_GOGO1_SSECHK, s_.GogoSSE);
    check(IDC_GOGO1_MULTICPUCHK, s_.GogoMultiCPU);
    check(IDC_GOGO1_LPFCHK, s_.GogoLPF);
    check(IDC_GOGO1_PSYCHK, s_.GogoPsy);
    check(IDC_GOGO1_SAMERATECHK, s_.GogoForceSameFreq);
    check(IDC_GOGO2_ENABLEVBRADVSET, s_.GogoAdvVBRSet);
    check(IDC_GOGO2_ENABLEFILTERADVSET, s_.GogoAdvFilter);
    check(IDC_GOGO3_ENABLEMSADVSET, s_.GogoAdvJSSet);
    wx::TComboBox mode(this, IDC_GOGO1_OUTPUTMODESEL);
    for (int id : {MSG_CFG_GOGO_STEREO, MSG_CFG_GOGO_JSTEREO, MSG_CFG_GOGO_MSSTEREO, MSG_CFG_GOGO_MONO})
        mode.Add(wx::LoadResString(static_cast<UINT>(id)));
    mode.SetItemIndex(s_.GogoChannel);
    wx::TComboBox format(this, IDC_GOGO1_OUTFORMATBOX);
    for (int id : {MSG_CFG_GOGO_FMT_MP3, MSG_CFG_GOGO_FMT_WAVE, MSG_CFG_GOGO_FMT_RMP})
        format.Add(wx::LoadResString(static_cast<UINT>(id)));
    for (int id : {IDC_GOGO2_MINBITRATEBOX, IDC_GOGO2_MAXBITRATEBOX}) {
        wx::TComboBox box(this, id);
        for (int kbit : GogoBitrateTable) box.Add(std::to_string(kbit) + "KBit/sec");
    }
    wx::TComboBox(this, IDC_GOGO2_MINBITRATEBOX).SetItemIndex(s_.GogoMinVBR);
    wx::TComboBox(this, IDC_GOGO2_MAXBITRATEBOX).SetItemIndex(s_.GogoMaxVBR);
    auto bar = [this](int id, int lo, int hi, int pos) {
        wx::TTrackBar b(this, id);
        b.SetRange(lo, hi);
        b.SetPosition(pos);
    };
    bar(IDC_GOGO2_FILTERLOWBAR, 0, 100, s_.GogoMinFilter);
    bar(IDC_GOGO2_FILTERHIGHBAR, 0, 100, s_.GogoHighFilter);
    bar(IDC_GOGO3_MSTHSRATIOBAR, 0, 100, s_.GogoMSThs);
    bar(IDC_GOGO3_BITRATEDIFFBAR, 0, 100, s_.GogoBitrateDiff);
    bar(IDC_GOGO3_ENCODEPRIORITY, -2, 2, s_.GogoPriority);
    // The output container needs a library newer than 559.
    const bool container = gogo_ && gogo_->VersionCode() > 559;
    EnableWindow(format.Handle(), container);
    EnableWindow(Item(IDC_GOGO1_LABEL14), container);
    if (container) {
        format.SetItemIndex(s_.GogoFormatType);
    } else {
        format.SetItemIndex(0);
        s_.GogoFormatType = gftMP3;
    }
    // What the library and the processor offer.
    const std::uint32_t units = gogo_ ? gogo_->UnitStates() : 0;
    EnableWindow(Item(IDC_GOGO1_MMXCHK), (units & 0x02) != 0);
    EnableWindow(Item(IDC_GOGO1__3DNOWCHK), (units & 0x04) != 0);
    EnableWindow(Item(IDC_GOGO1_EXT3DNOWCHK), (units & 0x20) != 0);
    EnableWindow(Item(IDC_GOGO1_SSECHK), (units & 0x08) != 0 && !IsWindows95);
    char buf[1024];
    std::snprintf(buf, sizeof buf, wx::LoadResString(MSG_CFG_GOGO_DLL_INFO).c_str(),
                  gogo_ ? gogo_->VersionString().c_str() : "");
    SetDlgItemTextA(Handle(), IDC_GOGO1_LABEL12, buf);
    const std::string path = gogo_ ? gogo_->DLLPath() : std::string();
    std::snprintf(buf, sizeof buf, wx::LoadResString(MSG_CFG_GOGO_DLL_PATH).c_str(),
                  path.empty() ? wx::LoadResString(MSG_CFG_GOGO_DLL_DEFAULT).c_str() : path.c_str());
    SetDlgItemTextA(Handle(), IDC_GOGO1_LABEL13, buf);
    Enabling();
    ShowPage(0);
}

void TGogoForm::Enabling() {
    auto on = [this](int id) { return IsDlgButtonChecked(Handle(), id) == BST_CHECKED; };
    const bool ms = on(IDC_GOGO3_ENABLEMSADVSET), filter = on(IDC_GOGO2_ENABLEFILTERADVSET),
               vbr = on(IDC_GOGO2_ENABLEVBRADVSET);
    for (int id : {IDC_GOGO3_L_THS, IDC_GOGO3_MSTHSRATIOBAR, IDC_GOGO3_MSTHSRATIO, IDC_GOGO3_L_DIFF,
                   IDC_GOGO3_BITRATEDIFFBAR, IDC_GOGO3_BITRATEDIFFRATIO})
        EnableWindow(Item(id), ms);
    for (int id : {IDC_GOGO2_L_LOW, IDC_GOGO2_FILTERLOWBAR, IDC_GOGO2_FILTERLOW, IDC_GOGO2_L_HIGH,
                   IDC_GOGO2_FILTERHIGHBAR, IDC_GOGO2_FILTERHIGH})
        EnableWindow(Item(id), filter);
    for (int id : {IDC_GOGO2_L_MIN, IDC_GOGO2_MINBITRATEBOX, IDC_GOGO2_L_MAX, IDC_GOGO2_MAXBITRATEBOX})
        EnableWindow(Item(id), vbr);
    auto pos = [this](int id) { return wx::TTrackBar(this, id).Position(); };
    SetDlgItemTextA(Handle(), IDC_GOGO3_MSTHSRATIO, RatioText(pos(IDC_GOGO3_MSTHSRATIOBAR)).c_str());
    SetDlgItemTextA(Handle(), IDC_GOGO3_BITRATEDIFFRATIO, SplitText(pos(IDC_GOGO3_BITRATEDIFFBAR)).c_str());
    SetDlgItemTextA(Handle(), IDC_GOGO2_FILTERLOW, RatioText(pos(IDC_GOGO2_FILTERLOWBAR)).c_str());
    SetDlgItemTextA(Handle(), IDC_GOGO2_FILTERHIGH, RatioText(pos(IDC_GOGO2_FILTERHIGHBAR)).c_str());
}

void TGogoForm::ShowPage(int page) {
    page_ = page;
    wx::TTabControl(this, IDC_GOGO_TAB).SetTabIndex(page);
    for (HWND w = GetWindow(Handle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(w);
        if (id >= 3100 && id < 3400) ShowWindow(w, id / 100 == 31 + page ? SW_SHOW : SW_HIDE);
    }
    InvalidateRect(Handle(), nullptr, TRUE);
}

int TGogoForm::HelpContext() const { return page_ == 1 ? 5083 : page_ == 2 ? 5084 : 5065; }

bool TGogoForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_ERASEBKGND) return ErasePane(Handle(), Item(IDC_GOGO_TAB), pane_, wp, result);
    if ((msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) && GetDlgCtrlID(reinterpret_cast<HWND>(lp)) >= 3100)
        return PaintOnPane(pane_, wp, lp, result);
    if (msg == WM_HSCROLL) {
        Enabling();  // the value labels
        result = 0;
        return true;
    }
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (nm->idFrom == IDC_GOGO_TAB && nm->code == TCN_SELCHANGE) {
            ShowPage(wx::TTabControl(this, IDC_GOGO_TAB).TabIndex());
            result = 0;
            return true;
        }
    }
    return false;
}

void TGogoForm::Take() {
    auto on = [this](int id) { return IsDlgButtonChecked(Handle(), id) == BST_CHECKED; };
    auto pos = [this](int id) { return wx::TTrackBar(this, id).Position(); };
    auto index = [this](int id, int keep) {
        const int i = wx::TComboBox(this, id).ItemIndex();
        return i < 0 ? keep : i;
    };
    s_.GogoMMX = on(IDC_GOGO1_MMXCHK);
    s_.Gogo3DNow = on(IDC_GOGO1__3DNOWCHK);
    s_.GogoExt3DNow = on(IDC_GOGO1_EXT3DNOWCHK);
    s_.GogoSSE = on(IDC_GOGO1_SSECHK);
    s_.GogoMultiCPU = on(IDC_GOGO1_MULTICPUCHK);
    s_.GogoLPF = on(IDC_GOGO1_LPFCHK);
    s_.GogoPsy = on(IDC_GOGO1_PSYCHK);
    s_.GogoForceSameFreq = on(IDC_GOGO1_SAMERATECHK);
    s_.GogoAdvVBRSet = on(IDC_GOGO2_ENABLEVBRADVSET);
    s_.GogoAdvFilter = on(IDC_GOGO2_ENABLEFILTERADVSET);
    s_.GogoAdvJSSet = on(IDC_GOGO3_ENABLEMSADVSET);
    s_.GogoChannel = index(IDC_GOGO1_OUTPUTMODESEL, s_.GogoChannel);
    s_.GogoFormatType = static_cast<std::uint8_t>(index(IDC_GOGO1_OUTFORMATBOX, s_.GogoFormatType));
    s_.GogoMinVBR = index(IDC_GOGO2_MINBITRATEBOX, s_.GogoMinVBR);
    s_.GogoMaxVBR = index(IDC_GOGO2_MAXBITRATEBOX, s_.GogoMaxVBR);
    s_.GogoMinFilter = pos(IDC_GOGO2_FILTERLOWBAR);
    s_.GogoHighFilter = pos(IDC_GOGO2_FILTERHIGHBAR);
    s_.GogoMSThs = pos(IDC_GOGO3_MSTHSRATIOBAR);
    s_.GogoBitrateDiff = pos(IDC_GOGO3_BITRATEDIFFBAR);
    s_.GogoPriority = pos(IDC_GOGO3_ENCODEPRIORITY);
}
