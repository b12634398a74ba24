// The settings dialog's window: a view of the store.  Every control is
// bound to the store's binding of the same name; a change in a control goes
// into its binding at once, runs the page rule and shows the store again.
#include "classlib/win.h"
#include <commdlg.h>

#include <cstdio>

#include "classlib/app.h"
#include "classlib/controls.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/DriveScan.h"
#include "extraction/Win32Aspi.h"
#include "output/acmmgr32.h"
#include "output/dlgcenter.h"
#include "output/gogotea.h"
#include "resources/configform.h"
#include "resources/msgids.h"
#include "settings/configform.h"
#include "settings/configs_win.h"
#include "settings/smallforms.h"


namespace {

bool FileExists(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ControlText(HWND w) {
    const int n = GetWindowTextLengthA(w);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    GetWindowTextA(w, s.data(), n + 1);
    s.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return s;
}

// The folder as a picker starts from it: trailing backslash cut, "\" added
// to a drive letter.
std::string StartFolder(const std::string& path) {
    std::string d = TConfigStore::CheckDirMark(path);
    if (d.size() < 3) d += '\\';
    return d;
}

}  // namespace

std::string OpenFileDialog(HWND owner, const std::string& title, const std::string& filter,
                           const std::string& defExt) {
    std::string f = filter;
    for (char& c : f)
        if (c == '|') c = '\0';
    f += '\0';
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = f.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = defExt.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    return wx::Prompter().OpenFileName(ofn) ? std::string(file) : std::string();
}

namespace {

constexpr int kPageIds[6] = {2100, 2200, 2300, 2400, 2500, 2600};

}  // namespace

void TConfigForm::BuildView() {
    TConfigStore& s = Store;
    items_.clear();
    auto check = [&](int id, TCheckBinding& b) { items_.push_back({TViewItem::Check, id, &b}); };
    auto spin = [&](int id, TSpinBinding& b) { items_.push_back({TViewItem::Spin, id, &b}); };
    auto track = [&](int id, TTrackBarBinding& b) { items_.push_back({TViewItem::Track, id, &b}); };
    auto combo = [&](int id, TComboBinding& b) { items_.push_back({TViewItem::Combo, id, &b}); };
    auto radios = [&](int id, TRadioGroupBinding& b) { items_.push_back({TViewItem::Radios, id, &b, b.Count()}); };
    auto edit = [&](int id, TEditBinding& b) { items_.push_back({TViewItem::Edit, id, &b}); };
    auto label = [&](int id, std::function<std::string()> t, std::function<bool()> e = nullptr) {
        TViewItem v{TViewItem::Label, id};
        v.text = std::move(t);
        v.enabled = std::move(e);
        items_.push_back(std::move(v));
    };
    auto enable = [&](int id, std::function<bool()> e) {
        TViewItem v{TViewItem::Enable, id};
        v.enabled = std::move(e);
        items_.push_back(std::move(v));
    };
    // Page 1
    combo(IDC_CFG1_COMBOBOX2, s.ComboBox2);
    combo(IDC_CFG1_COMBOBOX1, s.ComboBox1);
    label(IDC_CFG1_ADAPTERLABEL, [&s] { return s.SelectedDevice() ? wx::DriveAdapterText(*s.SelectedDevice()) : ""; });
    label(IDC_CFG1_SCSIIDLABEL, [&s] { return s.SelectedDevice() ? wx::DriveTargetText(*s.SelectedDevice()) : ""; });
    label(IDC_CFG1_DEVTYPENAME,
          [&s] { return s.SelectedDevice() ? wx::DriveTypeName(s.SelectedDevice()->DriveType) : ""; });
    check(IDC_CFG1_CHECKBOX14, s.CheckBox14);
    check(IDC_CFG1_CHECKBOX21, s.CheckBox21);
    check(IDC_CFG1_CHECKBOX2, s.CheckBox2);
    spin(IDC_CFG1_SPINEDIT2, s.SpinEdit2);
    enable(IDC_CFG1_STATICTEXT1, [&s] { return s.SpinEdit2.Enabled; });
    enable(IDC_CFG1_STATICTEXT6, [&s] { return s.SpinEdit2.Enabled; });
    spin(IDC_CFG1_SPINEDIT1, s.SpinEdit1);
    check(IDC_CFG1_CHECKBOX10, s.CheckBox10);
    spin(IDC_CFG1_SPINEDIT3, s.SpinEdit3);
    enable(IDC_CFG1_LABEL12, [&s] { return s.SpinEdit3.Enabled; });
    // Page 2
    combo(IDC_CFG2_SELREADMETHOD, s.SelReadMethod);
    check(IDC_CFG2_READMETHOD1, s.ReadMethod1);
    check(IDC_CFG2_READMETHOD2, s.ReadMethod2);
    check(IDC_CFG2_READMETHOD3, s.ReadMethod3);
    label(IDC_CFG2_READMETHOD1, [this] { return wx::LoadResString(MSG_CFG_RM_VERIFY); });
    label(IDC_CFG2_READMETHOD2, [this] {
        return wx::LoadResString(Store.ReadMethod() == rmHispeedBurstRead ? MSG_CFG_RM_CORRECT : MSG_CFG_RM_SEEK);
    });
    label(IDC_CFG2_READMETHOD3, [this] {
        const int r = Store.ReadMethod();
        return wx::LoadResString(r == rm2PassZitterRead    ? MSG_CFG_RM_DUMMY
                                 : r == rmHispeedBurstRead ? MSG_CFG_RM_NOWRITE
                                                           : MSG_CFG_RM_CACHE);
    });
    check(IDC_CFG2_CHECKBOX1, s.CheckBox1);
    check(IDC_CFG2_CHECKBOX1E, s.CheckBox1E);
    check(IDC_CFG2_CHKNULLERR, s.ChkNullErr);
    check(IDC_CFG2_CHECKBOX12, s.CheckBox12);
    check(IDC_CFG2_CHECKBOX13, s.CheckBox13);
    check(IDC_CFG2_CHECKBOX4, s.CheckBox4);
    check(IDC_CFG2_CHECKBOX18, s.CheckBox18);
    check(IDC_CFG2_CHECKBOX15, s.CheckBox15);
    check(IDC_CFG2_ISTRACKWAIT, s.IsTrackWait);
    check(IDC_CFG2_CHECKBOX7, s.CheckBox7);
    check(IDC_CFG2_DISPLEVELMETER, s.DispLevelMeter);
    check(IDC_CFG2_EXECNORMALIZE, s.ExecNormalize);
    check(IDC_CFG2_USEDEEMPH, s.UseDeEmph);
    check(IDC_CFG2_USEWAVEMONITOR, s.UseWaveMonitor);
    check(IDC_CFG2_USEMULTITHREADWRITE, s.UseMultiThreadWrite);
    spin(IDC_CFG2_RATIOEDIT, s.RatioEdit);
    track(IDC_CFG2_CUSTOMTRACKBAR1, s.CustomTrackBar1);
    spin(IDC_CFG2_MEMUSERATIO, s.MemUseRatio);
    label(IDC_CFG2_LABEL22, [] { return KBytesText(RipCacheBuffer.Size); });
    label(IDC_CFG2_LABEL20, [] { return KBytesText(AvailablePhysicalMemory); });
    edit(IDC_CFG2_WEDIT1, s.WEdit1);
    // Page 3
    radios(IDC_CFG3_OUT0, s.SelOutputMethod);
    radios(IDC_CFG3_STD0, s.SelStdEncode);
    edit(IDC_CFG3_EDIT2, s.Edit2);
    edit(IDC_CFG3_EDIT3, s.Edit3);
    check(IDC_CFG3_WMTMONOSEL, s.WMTMonoSel);
    check(IDC_CFG3_WMTSTEREOSEL, s.WMTStereoSel);
    combo(IDC_CFG3_WMTSAMPLINGRATE, s.WMTSamplingRate);
    combo(IDC_CFG3_WMTBITRATE, s.WMTBitrate);
    combo(IDC_CFG3_VQFBITRATE, s.VQFBitRate);
    combo(IDC_CFG3_VQFQUALITY, s.VQFQuality);
    // Page 4
    radios(IDC_CFG4_ENC0, s.SelMP3Enc);
    enable(IDC_CFG4_LABEL17, [this] { return Extras.Label17; });
    combo(IDC_CFG4_BITRATEBOX, s.bitratebox);
    enable(IDC_CFG4_LAYERLABEL, [this] { return Extras.LayerLabel; });
    combo(IDC_CFG4_USELAYERTYPE, s.UseLayerType);
    check(IDC_CFG4_CRCCHECKBOX, s.CRCCheckBox);
    check(IDC_CFG4_HQCHECKBOX, s.HQCheckBox);
    check(IDC_CFG4_VBRCHECKBOX, s.VBRCheckBox);
    spin(IDC_CFG4_VBRLEVEL, s.VBRLevel);
    check(IDC_CFG4_STYLE0, s.SelL3Cmd);
    check(IDC_CFG4_STYLE1, s.Sel8hzCmd);
    check(IDC_CFG4_STYLE2, s.SelSCMPXCmd);
    check(IDC_CFG4_STYLE3, s.SelLameStdin);
    enable(IDC_CFG4_LABEL9, [this] { return Extras.Label9; });
    edit(IDC_CFG4_PROGRAMEDIT, s.ProgramEdit);
    enable(IDC_CFG4_BUTTON3, [this] { return Extras.Button3; });
    check(IDC_CFG4_USEORIGINALOPTION, s.UseOriginalOption);
    check(IDC_CFG4_ADDITIONALOPTION, s.AdditionalOption);
    enable(IDC_CFG4_LABEL16, [this] { return Extras.Label16; });
    edit(IDC_CFG4_OPTIONEDIT, s.OptionEdit);
    check(IDC_CFG4_USESTDIN, s.UseStdin);
    check(IDC_CFG4_MP3DEEMPH, s.MP3DeEmph);
    enable(IDC_CFG4_GOGOSETTING, [this] { return Extras.GogoSetting && HostRef().GogoEncoder() != nullptr; });
    // Page 5
    radios(IDC_CFG5_TAG0, s.ID3TagType);
    combo(IDC_CFG5_FILENAMESELECT, s.FileNameSelect);
    edit(IDC_CFG5_FILENAMEEDIT, s.FilenameEdit);
    combo(IDC_CFG5_FOLDERNAMESELECT, s.FolderNameSelect);
    edit(IDC_CFG5_FOLDERNAMEEDIT, s.FoldernameEdit);
    edit(IDC_CFG5_CURRENTDIREDIT, s.CurrentDirEdit);
    check(IDC_CFG5_AUTOCDDBCONNECT, s.AutoCDDBConnect);
    check(IDC_CFG5_CDDBFILENAMESET, s.CDDBFilenameset);
    check(IDC_CFG5_CDDBCREATEFOLDER, s.CDDBCreateFolder);
    check(IDC_CFG5_REFRESHWITHCDDB, s.RefreshWithCDDB);
    check(IDC_CFG5_CDDBAFTERALLSEL, s.CDDBafterAllsel);
    // Page 6
    check(IDC_CFG6_RESTRICTEXT, s.RestrictExt);
    check(IDC_CFG6_AUTOREFRESH, s.AutoRefresh);
    check(IDC_CFG6_BOOTDIRCHANGE, s.BootDirChange);
    check(IDC_CFG6_NODISPCDROM, s.NoDispCDROM);
    edit(IDC_CFG6_USEPLAYER, s.UsePlayer);
    edit(IDC_CFG6_USEEDITOR, s.UseEditor);
    check(IDC_CFG6_USEMEDIAPLAYER, s.UseMediaPlayer);
    check(IDC_CFG6_DIGITALPLAYZC, s.DigitalPlayZC);
    track(IDC_CFG6_PREREADWAVESIZE, s.PreReadWaveSize);
    combo(IDC_CFG6_COMBOBOX3, s.ComboBox3);
    check(IDC_CFG6_ISDISPSPLASH, s.IsDispSplash);
    check(IDC_CFG6_ISAUTOREFTRLIST, s.IsAutoRefTrList);
    check(IDC_CFG6_ISSENDPELLORA, s.IsSendPellora);
    edit(IDC_CFG6_PELLORAIPADDRESS, s.PelloraIPAddress);
    edit(IDC_CFG6_PELLORAPORT, s.PelloraPort);
    radios(IDC_CFG6_LANG0, s.LangSelect);
}

void TConfigForm::FormCreate() {
    BuildView();
    wx::TTabControl tab(this, IDC_CFG_TAB);
    for (int id : {MSG_CFG_PAGE1, MSG_CFG_PAGE2, MSG_CFG_PAGE3, MSG_CFG_PAGE4, MSG_CFG_PAGE5, MSG_CFG_PAGE6})
        tab.AddTab(wx::LoadResString(static_cast<UINT>(id)));
    // The extension typed into the list holds at most 10 characters.
    SendDlgItemMessageA(Handle(), IDC_CFG6_EXTLIST, CB_LIMITTEXT, 10, 0);
    SendDlgItemMessageA(Handle(), IDC_CFG4_OPTIONEDIT, EM_LIMITTEXT, 128, 0);
    if (pane_) DeleteObject(pane_);
    pane_ = MakeTabPaneBrush(Item(IDC_CFG_TAB));
    // The tab is drawn behind the page's controls.
    SetWindowPos(Item(IDC_CFG_TAB), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowLongA(Item(IDC_CFG_TAB), GWL_STYLE, GetWindowLongA(Item(IDC_CFG_TAB), GWL_STYLE) | WS_CLIPSIBLINGS);
    for (const TViewItem& v : items_) {
        if (v.kind == TViewItem::Spin) {
            auto* b = static_cast<TSpinBinding*>(v.binding);
            HWND ud = Item(v.id + 1);
            SendMessageA(ud, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(v.id)), 0);
            const int lo = b->MinValue() == b->MaxValue() ? 0 : b->MinValue();
            const int hi = b->MinValue() == b->MaxValue() ? 0x7FFFFFFF : b->MaxValue();
            SendMessageA(ud, UDM_SETRANGE32, static_cast<WPARAM>(lo), hi);
        } else if (v.kind == TViewItem::Track) {
            auto* b = static_cast<TTrackBarBinding*>(v.binding);
            wx::TTrackBar(this, v.id).SetRange(b->Min(), b->Max());
        }
    }
    ShowPage(page_);
}

void TConfigForm::FormShow() {
    // The wave-out list is filled on the first show.
    if (!WaveDevListFilled) {
        WaveDevListFilled = true;
        Store.ComboBox3.Items = Store.WaveDeviceNames;
        Store.ComboBox3.SetItemIndex(Store.WaveDeviceIndex);
        Store.UseWaveDevice = Store.ComboBox3.Text();
    }
    Logic.CheckBox10Click();
    Logic.CheckBox2Click();
    wx::TGogoTea* gogo = HostRef().GogoEncoder();
    Logic.UseL3EncClick(gogo != nullptr, gogo ? gogo->VersionCode() : 0);
    Store.NoDispCDROM.Checked = !HostRef().DispCDROM();
    Pull();
    GetCenter(*this);
}

void TConfigForm::ShowPage(int page) {
    if (page < 0 || page > 5) return;
    page_ = page;
    if (Handle()) {
        wx::TTabControl(this, IDC_CFG_TAB).SetTabIndex(page);
        if (page == 1) {
            Logic.TabSheet2Show();
            Pull();
        }
        for (HWND w = GetWindow(Handle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(w);
            if (id < 2100 || id >= 2700) continue;
            bool hidden = false;  // kept hidden by its binding
            for (const TViewItem& v : items_)
                if (v.id == id && v.kind == TViewItem::Check && !static_cast<TCheckBinding*>(v.binding)->Visible)
                    hidden = true;
            if ((id == IDC_CFG6_PELLORAIPADDRESS && !Store.PelloraIPAddress.Visible) ||
                (id == IDC_CFG6_PELLORAPORT && !Store.PelloraPort.Visible))
                hidden = true;
            ShowWindow(w, !hidden && id / 100 == kPageIds[page] / 100 ? SW_SHOW : SW_HIDE);
        }
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

int TConfigForm::HelpContext() const {
    switch (page_) {
        case 0: return 5000;
        case 1: {
            const int r = Store.SelReadMethod.ItemIndex();
            return r < 0 ? 5000 : 5009 + r;
        }
        case 2: return 5038;
        case 3: return 5043;
        case 4: return 5100;
        default: return 5051;
    }
}

void TConfigForm::Pull() {
    if (!Handle()) return;
    pulling_ = true;
    for (const TViewItem& v : items_) {
        HWND w = Item(v.id);
        if (!w) continue;
        switch (v.kind) {
            case TViewItem::Check: {
                auto* b = static_cast<TCheckBinding*>(v.binding);
                SendMessageA(w, BM_SETCHECK, b->Checked ? BST_CHECKED : BST_UNCHECKED, 0);
                EnableWindow(w, b->Enabled);
                break;
            }
            case TViewItem::Spin: {
                auto* b = static_cast<TSpinBinding*>(v.binding);
                const std::string t = std::to_string(b->Value());
                // The edit being typed into keeps its text (a first digit may
                // lie below the range); it shows the value when it is left.
                if (ControlText(w) != t && GetFocus() != w) SetWindowTextA(w, t.c_str());
                if (b->MinValue() != b->MaxValue())
                    SendMessageA(Item(v.id + 1), UDM_SETRANGE32, static_cast<WPARAM>(b->MinValue()), b->MaxValue());
                EnableWindow(w, b->Enabled);
                EnableWindow(Item(v.id + 1), b->Enabled);
                break;
            }
            case TViewItem::Track: {
                auto* b = static_cast<TTrackBarBinding*>(v.binding);
                SendMessageA(w, TBM_SETPOS, TRUE, b->Position());
                EnableWindow(w, b->Enabled);
                break;
            }
            case TViewItem::Combo: {
                auto* b = static_cast<TComboBinding*>(v.binding);
                wx::TComboBox c(this, v.id);
                bool same = c.Count() == static_cast<int>(b->Items.Count());
                for (int i = 0; same && i < c.Count(); ++i) same = c.Item(i) == b->Items[static_cast<std::size_t>(i)];
                if (!same) {
                    c.Clear();
                    for (const std::string& it : b->Items) c.Add(it);
                }
                c.SetItemIndex(b->ItemIndex());
                EnableWindow(w, b->Enabled);
                break;
            }
            case TViewItem::Radios: {
                auto* b = static_cast<TRadioGroupBinding*>(v.binding);
                for (int i = 0; i < v.count; ++i) {
                    SendMessageA(Item(v.id + i), BM_SETCHECK, b->ItemIndex() == i ? BST_CHECKED : BST_UNCHECKED, 0);
                    EnableWindow(Item(v.id + i), b->Enabled);
                }
                EnableWindow(Item(v.id - 1), b->Enabled);  // the group box
                break;
            }
            case TViewItem::Edit: {
                auto* b = static_cast<TEditBinding*>(v.binding);
                if (ControlText(w) != b->Text) SetWindowTextA(w, b->Text.c_str());
                EnableWindow(w, b->Enabled);
                break;
            }
            case TViewItem::Label:
                if (v.text) {
                    const std::string t = v.text();
                    if (ControlText(w) != t) SetWindowTextA(w, t.c_str());
                }
                if (v.enabled) EnableWindow(w, v.enabled());
                break;
            case TViewItem::Enable:
                EnableWindow(w, v.enabled());
                break;
        }
    }
    // The extension list is the filter's entries.
    {
        wx::TComboBox c(this, IDC_CFG6_EXTLIST);
        bool same = c.Count() == static_cast<int>(Store.ExtList.Items.Count());
        for (int i = 0; same && i < c.Count(); ++i) same = c.Item(i) == Store.ExtList.Items[static_cast<std::size_t>(i)];
        if (!same) {
            const std::string typed = ControlText(Item(IDC_CFG6_EXTLIST));
            c.Clear();
            for (const std::string& it : Store.ExtList.Items) c.Add(it);
            SetWindowTextA(Item(IDC_CFG6_EXTLIST), typed.c_str());
        }
    }
    pulling_ = false;
}

void TConfigForm::Push(const TViewItem& v) {
    HWND w = Item(v.id);
    switch (v.kind) {
        case TViewItem::Check:
            static_cast<TCheckBinding*>(v.binding)->Checked = SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
            break;
        case TViewItem::Spin: {
            std::int32_t n = 0;
            if (ParseInt32(wx::TrimSpaces(ControlText(w)), n)) static_cast<TSpinBinding*>(v.binding)->SetValue(n);
            break;
        }
        case TViewItem::Track:
            static_cast<TTrackBarBinding*>(v.binding)->SetPosition(static_cast<int>(SendMessageA(w, TBM_GETPOS, 0, 0)));
            break;
        case TViewItem::Combo:
            static_cast<TComboBinding*>(v.binding)->SetItemIndex(static_cast<int>(SendMessageA(w, CB_GETCURSEL, 0, 0)));
            break;
        case TViewItem::Radios: {
            auto* b = static_cast<TRadioGroupBinding*>(v.binding);
            for (int i = 0; i < v.count; ++i)
                if (SendMessageA(Item(v.id + i), BM_GETCHECK, 0, 0) == BST_CHECKED) b->SetItemIndex(i);
            break;
        }
        case TViewItem::Edit:
            static_cast<TEditBinding*>(v.binding)->Text = ControlText(w);
            break;
        default:
            break;
    }
}

bool TConfigForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_ERASEBKGND) return ErasePane(Handle(), Item(IDC_CFG_TAB), pane_, wp, result);
    if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        return id >= 2100 && id < 2700 && PaintOnPane(pane_, wp, lp, result);
    }
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDOK || id == IDCANCEL) {
            // Every edit is live: closing by Escape applies as OK does.
            if (code == BN_CLICKED || lp == 0) Leave();
            return true;
        }
        if (pulling_) return false;
        if (code == EN_KILLFOCUS) {
            for (const TViewItem& v : items_)
                if (v.kind == TViewItem::Spin && v.id == id) {
                    Pull();
                    return true;
                }
        }
        if (code == EN_KILLFOCUS &&
            (id == IDC_CFG4_PROGRAMEDIT || id == IDC_CFG6_USEPLAYER || id == IDC_CFG6_USEEDITOR)) {
            // Leaving for OK is checked by OK itself.
            if (GetFocus() != Item(IDOK)) ProgramEditExit(id);
            return true;
        }
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TViewItem& v = items_[i];
            const bool mine = v.kind == TViewItem::Radios ? (id >= v.id && id < v.id + v.count) : id == v.id;
            if (!mine) continue;
            const bool relevant = (v.kind == TViewItem::Check && code == BN_CLICKED) ||
                                  (v.kind == TViewItem::Radios && code == BN_CLICKED) ||
                                  (v.kind == TViewItem::Combo && code == CBN_SELCHANGE) ||
                                  ((v.kind == TViewItem::Edit || v.kind == TViewItem::Spin) && code == EN_CHANGE);
            if (!relevant) continue;
            // Radio buttons bound one by one: the others of the pair go off.
            Push(v);
            if (v.kind == TViewItem::Check &&
                (id == IDC_CFG3_WMTMONOSEL || id == IDC_CFG3_WMTSTEREOSEL || (id >= IDC_CFG4_STYLE0 && id <= IDC_CFG4_STYLE3))) {
                for (const TViewItem& o : items_)
                    if (o.kind == TViewItem::Check && o.id != id &&
                        ((id <= IDC_CFG3_WMTSTEREOSEL && (o.id == IDC_CFG3_WMTMONOSEL || o.id == IDC_CFG3_WMTSTEREOSEL)) ||
                         (id >= IDC_CFG4_STYLE0 && o.id >= IDC_CFG4_STYLE0 && o.id <= IDC_CFG4_STYLE3)))
                        Push(o);
            }
            Changed(id);
            Pull();
            return true;
        }
        if (code == BN_CLICKED) {
            switch (id) {
                case IDC_CFG_HELP: BitBtn2Click(); return true;
                case IDC_CFG1_BITBTN5: BitBtn5Click(); return true;
                case IDC_CFG1_DISPDRIVE: DispDriveBtnClick(); return true;
                case IDC_CFG2_BUTTON1: Button1Click(); return true;
                case IDC_CFG3_BUTTON2: Button2Click(); return true;
                case IDC_CFG4_BUTTON3: Button3Click(); return true;
                case IDC_CFG4_BUTTON6: Button6Click(); return true;
                case IDC_CFG4_GOGOSETTING: GogoSettingClick(); return true;
                case IDC_CFG5_BUTTON8: Button8Click(); return true;
                case IDC_CFG6_BUTTON4: Button4Click(); return true;
                case IDC_CFG6_BUTTON5: Button5Click(); return true;
                case IDC_CFG6_ADDEXT: AddExtClick(); return true;
                case IDC_CFG6_DELEXT: DelExtClick(); return true;
                default: break;
            }
        }
        return false;
    }
    if (msg == WM_HSCROLL && lp) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        for (const TViewItem& v : items_)
            if (v.kind == TViewItem::Track && v.id == id) {
                Push(v);
                Pull();
                result = 0;
                return true;
            }
        return false;
    }
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (nm->idFrom == IDC_CFG_TAB && nm->code == TCN_SELCHANGE) {
            ShowPage(wx::TTabControl(this, IDC_CFG_TAB).TabIndex());
            result = 0;
            return true;
        }
    }
    return false;
}

// What a change of a control does beyond its binding.
void TConfigForm::Changed(int id) {
    TConfigHost& host = HostRef();
    switch (id) {
        case IDC_CFG1_COMBOBOX2: ComboBox2Change(); break;
        case IDC_CFG1_COMBOBOX1: ComboBox1Change(); break;
        case IDC_CFG1_CHECKBOX2: Logic.CheckBox2Click(); break;
        case IDC_CFG1_CHECKBOX10: Logic.CheckBox10Click(); break;
        case IDC_CFG1_CHECKBOX14: Logic.CheckBox14Click(); break;
        case IDC_CFG1_CHECKBOX21: CheckBox21Click(); break;
        case IDC_CFG2_SELREADMETHOD: SelReadMethodChange(false); break;
        case IDC_CFG2_READMETHOD1: Logic.ReadMethodClick(0); break;
        case IDC_CFG2_READMETHOD2: Logic.ReadMethodClick(1); break;
        case IDC_CFG2_READMETHOD3: Logic.ReadMethodClick(2); break;
        case IDC_CFG4_ENC0:
        case IDC_CFG4_ENC0 + 1:
        case IDC_CFG4_ENC0 + 2: {
            wx::TGogoTea* gogo = host.GogoEncoder();
            Logic.UseL3EncClick(gogo != nullptr, gogo ? gogo->VersionCode() : 0);
            const int m = Store.SelOutputMethod.ItemIndex();
            host.SetEncodeButton(TConfigLogic::EncodeButtonImage(m), TConfigLogic::EncodeButtonCaption(m));
            break;
        }
        case IDC_CFG4_USEORIGINALOPTION:
        case IDC_CFG4_ADDITIONALOPTION: Logic.UseOriginalOptionClick(); break;
        case IDC_CFG4_STYLE0:
        case IDC_CFG4_STYLE1:
        case IDC_CFG4_STYLE2:
        case IDC_CFG4_STYLE3: Logic.SelL3CmdClick(); break;
        case IDC_CFG4_VBRLEVEL: Store.GogoVBRLevel = Store.VBRLevel.Value(); break;
        case IDC_CFG5_FILENAMESELECT: Store.FileNameSelectChange(); break;
        case IDC_CFG5_FOLDERNAMESELECT: Store.FolderNameSelectChange(); break;
        case IDC_CFG6_COMBOBOX3:
            Store.WaveDeviceIndex = Store.ComboBox3.ItemIndex();
            Store.UseWaveDevice = Store.ComboBox3.Text();
            break;
        case IDC_CFG6_RESTRICTEXT:
            FilerExtFilter.ShowAll = !Store.RestrictExt.Checked;
            host.RefreshFileList();
            break;
        case IDC_CFG6_AUTOREFRESH: ::AutoRefresh = Store.AutoRefresh.Checked; break;
        case IDC_CFG6_NODISPCDROM: host.SetDispCDROM(!Store.NoDispCDROM.Checked); break;
        case IDC_CFG6_USEMEDIAPLAYER: host.StopTestPlayback(); break;
        default: break;
    }
}

bool TConfigForm::ProgramEditExit(int id) {
    const std::string t = ControlText(Item(id));
    if (t.empty()) return true;
    char full[MAX_PATH] = {};
    if (GetFullPathNameA(t.c_str(), MAX_PATH, full, nullptr) && FileExists(full)) return true;
    ShowMessage(MSG_CFG_NO_PROGRAM, std::string());
    SetModalResult(0);
    ::SetFocus(Item(id));
    return false;
}

void TConfigForm::Leave() {
    // A disabled edit (its program is not the one in use: another encoder,
    // the media player) is never left, so it is not checked either.
    for (int id : {IDC_CFG4_PROGRAMEDIT, IDC_CFG6_USEPLAYER, IDC_CFG6_USEEDITOR})
        if (IsWindowEnabled(Item(id)) && !ProgramEditExit(id)) return;
    BitBtn1Click();
    SetModalResult(IDOK);
}

void TConfigForm::BitBtn2Click() {
    WinHelpA(Handle(), HelpFile.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(HelpContext()));
}

void TConfigForm::BitBtn5Click() {
    EnableWindow(Item(IDC_CFG1_BITBTN5), FALSE);
    SCSIDevSearch();
    if (Store.DeviceCount > 0) {
        HostRef().PlayStop();
        Store.ComboBox2.SetItemIndex(0);
        Store.ComboBox1.SetItemIndex(0);
        ComboBox2Change();
    }
    EnableWindow(Item(IDC_CFG1_BITBTN5), TRUE);
    Pull();
}

void TConfigForm::CheckBox21Click() {
    wx::TWin32Aspi* aspi = HostRef().Aspi();
    if (!aspi || aspi->Adapters() <= 0) return;
    HostRef().PlayStop();
    UseAspi = !Store.CheckBox21.Checked;
    SCSIDevSearch();
    if (Store.DeviceCount > 0) {
        Store.ComboBox2.SetItemIndex(0);
        Store.ComboBox1.SetItemIndex(0);
        ComboBox2Change();
    }
    SelReadMethodChange(false);
}

void TConfigForm::DispDriveBtnClick() {
    const TDeviceEntry* e = Store.SelectedDevice();
    if (!e) return;
    wx::TDriveAddress a;
    a.Adapter = static_cast<std::uint8_t>(e->Adapter);
    a.Target = static_cast<std::uint8_t>(e->Target);
    a.Lun = static_cast<std::uint8_t>(e->Lun);
    a.IgnoreTargetStat = e->IgnoreTargetStat;
    wx::TInquiryInfo info;
    if (!wx::ReadDeviceInfo(Executor(), a, info)) return;
    TDevInfoForm form(this, info);
    form.ShowModal(Handle());
}

void TConfigForm::Button1Click() {
    const std::string picked = PickFolder(wx::LoadResString(MSG_CFG_WORKDIR_TITLE), StartFolder(Store.WEdit1.Text));
    const std::string folder = picked.empty() ? StartFolder(Store.WEdit1.Text) : picked;
    Store.WEdit1.Text = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(folder));
    Pull();
}

void TConfigForm::Button8Click() {
    const std::string picked =
        PickFolder(wx::LoadResString(MSG_CFG_ALBUMDIR_TITLE), StartFolder(Store.CurrentDirEdit.Text));
    if (!picked.empty()) Store.CurrentDirEdit.Text = picked;
    Pull();
}

void TConfigForm::Button2Click() {
    std::array<std::uint8_t, 256> copy = Store.OutputWaveFormat;
    TAcmDrv* acm = HostRef().AcmDrv();
    if (!ChooseFormat(copy)) return;
    // The chooser's names of the format; ACM's own where it gives none.
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(copy.data());
    Store.Edit2.Text = acm ? acm->FormatTagName : std::string();
    Store.Edit3.Text = acm ? acm->FormatName : std::string();
    if (Store.Edit2.Text.empty()) Store.Edit2.Text = TAcmDrv::GetFormatTagName(f->wFormatTag, 256);
    if (Store.Edit3.Text.empty()) Store.Edit3.Text = TAcmDrv::GetFormatName(f);
    Store.OutputWaveFormat = copy;
    if (acm) {
        Store.MakeMP3File = acm->IsAcmMp3Mode();
        acm->Setup(reinterpret_cast<const WAVEFORMATEX*>(Store.DefaultPcmFormat.data()), copy.data(), admAcmWave, true);
    }
    Pull();
}

void TConfigForm::Button3Click() {
    const std::string f = PickFile(wx::LoadResString(MSG_CFG_ENCODER_TITLE), wx::LoadResString(MSG_CFG_PROGRAM_FILTER), "EXE");
    if (!f.empty()) Store.ProgramEdit.Text = f;
    Pull();
}

void TConfigForm::Button4Click() {
    const std::string f = PickFile(wx::LoadResString(MSG_CFG_PLAYER_TITLE), wx::LoadResString(MSG_CFG_PROGRAM_FILTER), "EXE");
    if (!f.empty()) Store.UsePlayer.Text = f;
    Pull();
}

void TConfigForm::Button5Click() {
    const std::string f = PickFile(wx::LoadResString(MSG_CFG_EDITOR_TITLE), wx::LoadResString(MSG_CFG_PROGRAM_FILTER), "EXE");
    if (!f.empty()) Store.UseEditor.Text = f;
    Pull();
}

void TConfigForm::Button6Click() {
    TGenreDispForm form(this);
    form.ShowModal(Handle());
}

void TConfigForm::GogoSettingClick() {
    wx::TGogoTea* gogo = HostRef().GogoEncoder();
    if (!gogo) return;
    TGogoForm form(this, Store, gogo);
    form.HelpFile = HelpFile;
    if (form.ShowModal(Handle()) == IDOK) HostRef().SetStatusText(Logic.MakeMP3StatusString());
    Pull();
}

void TConfigForm::AddExtClick() {
    if (SendDlgItemMessageA(Handle(), IDC_CFG6_EXTLIST, CB_GETCURSEL, 0, 0) != CB_ERR) return;
    if (Logic.AddExt(FilerExtFilter, ControlText(Item(IDC_CFG6_EXTLIST)))) HostRef().RefreshFileList();
    Pull();
}

void TConfigForm::DelExtClick() {
    const int i = static_cast<int>(SendDlgItemMessageA(Handle(), IDC_CFG6_EXTLIST, CB_GETCURSEL, 0, 0));
    if (i < 0) return;
    if (Logic.DelExt(FilerExtFilter, i)) {
        Pull();
        SetWindowTextA(Item(IDC_CFG6_EXTLIST), "");
        HostRef().RefreshFileList();
    }
}

void TConfigForm::InstallSystemDialogs() {
    TConfigForm& f = *this;
    f.PickFolder = [&f](const std::string& title, const std::string& initial) {
        return wx::Prompter().BrowseFolder(f.Handle(), title, initial);
    };
    f.PickFile = [&f](const std::string& title, const std::string& filter, const std::string& defExt) {
        return OpenFileDialog(f.Handle(), title, filter, defExt);
    };
    f.ChooseFormat = [&f](std::array<std::uint8_t, 256>& format) {
        TAcmDrv* acm = f.HostRef().AcmDrv();
        return acm && acm->ChooseFormat(f.Handle(), wx::LoadResString(MSG_CFG_CHOOSE_FORMAT),
                                        reinterpret_cast<WAVEFORMATEX*>(format.data()));
    };
}
