#include "output/encodefrm.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "output/acmmgr32.h"
#include "output/extencoder.h"
#include "output/id3edit.h"
#include "output/sinksetup.h"
#include "output/wmttag.h"
#include "resources/msgids.h"
#include "settings/configstore.h"
#include "settings/inifile.h"

using wx::TBatchOutputKind;
using wx::TEncodeRow;

namespace {

using wx::LoadResString;

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The full, long form of a path, so that two spellings of one file compare
// equal; a file that does not exist yet takes the long form of its folder.
std::string CanonicalPath(const std::string& path) {
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string p = n > 0 && n < sizeof full ? std::string(full, n) : path;
    char longer[MAX_PATH * 2];
    n = GetLongPathNameA(p.c_str(), longer, sizeof longer);
    if (n > 0 && n < sizeof longer) return std::string(longer, n);
    const std::string folder = wx::PathFolder(p);
    if (folder.empty()) return p;
    n = GetLongPathNameA(folder.c_str(), longer, sizeof longer);
    if (n > 0 && n < sizeof longer) return std::string(longer, n) + "\\" + wx::PathFileName(p);
    return p;
}

// The names an open dialog with several files returns: the folder, then
// each name, each ended by a zero; or one full path.
std::vector<std::string> ChosenFiles(const char* buffer) {
    std::vector<std::string> parts;
    for (const char* p = buffer; *p; p += std::strlen(p) + 1) parts.emplace_back(p);
    if (parts.size() <= 1) return parts;
    std::vector<std::string> files;
    const std::string folder = wx::IncludeTrailingBackslash(parts[0]);
    for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

bool IsShellPath(const std::string& path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return false;
    std::vector<wchar_t> wide(path.size() + 1);
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), int(wide.size()));
    LPITEMIDLIST pidl = nullptr;
    const bool ok = n > 0 && SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &pidl, nullptr));
    if (pidl) CoTaskMemFree(pidl);
    desktop->Release();
    return ok && pidl != nullptr;
}

constexpr int kDefaultWidths[wx::EncodeColumnCount] = {110, 110, 60, 90, 80, 80, 56, 80, 50, 80, 70, 160};

}  // namespace

// ---- The worker ---------------------------------------------------------------

TEncodeSubThread::TEncodeSubThread(const TEncodeJob& job) : Job(job) { Start(); }

void TEncodeSubThread::PostStatusText(const std::string& text) {
    char* block = new char[255];
    const std::string cut = wx::SjisCut(text, 254);
    std::memcpy(block, cut.c_str(), cut.size() + 1);
    if (!PostTo(Job.NotifyWindow, WM_ENCODE_STATUS, 0, reinterpret_cast<LPARAM>(block))) delete[] block;
}

void TEncodeSubThread::PostProgress(int value) { PostTo(Job.NotifyWindow, WM_ENCODE_STATUS, WPARAM(value), 0); }

void TEncodeSubThread::Fail(TEncodeOutcome outcome, const std::string& text) {
    Outcome = outcome;
    (outcome == TEncodeOutcome::Error ? ErrorText : RowText) = text;
}

void TEncodeSubThread::Execute() {
    try {
        if (Job.Internal == 1)
            EncodeInternal(Job.SourceFile, Job.OutputFile);
        else
            EncodeExternal(Job.SourceFile, Job.OutputFile, Job.EncoderOptions);
    } catch (const std::exception& e) {
        Abandon(e.what());
    } catch (...) {
        Abandon("?");
    }
}

void TEncodeSubThread::Abandon(const std::string& what) {
    // Discard ends whatever is open and removes its temporary file; on a
    // closed driver it only lets go of the streams of the set-up.
    if (Job.Internal == 1 && Job.OutputDriver) Job.OutputDriver->Discard();
    Fail(TEncodeOutcome::Failed, wx::FormatRes(MSG_ENC_WORKER_FAILED, what.c_str()));
}

bool TEncodeSubThread::CheckSource(const std::string& source, wx::TRiffWaveReader& reader) {
    const wx::TWaveError e = reader.Open(source, true);
    if (e == wx::TWaveError::CannotOpen) {
        Fail(TEncodeOutcome::Failed, LoadResString(MSG_FILE_OPEN_FAILED));
        return false;
    }
    // A file without a format or with no audio is no 44.1 kHz stereo file.
    if (e != wx::TWaveError::None || reader.DataSize() == 0) {
        reader.Close();
        Fail(TEncodeOutcome::Error, LoadResString(MSG_ENC_FORMAT));
        return false;
    }
    return true;
}

void TEncodeSubThread::EncodeInternal(const std::string& source, const std::string& output) {
    wx::TRiffWaveReader reader;
    if (!CheckSource(source, reader)) return;
    TAcmDrv& drv = *Job.OutputDriver;
    // An old file of the output's name goes only for a finished new one.
    const bool replacing = IsFile(output);
    if (!drv.Open(output)) {
        // A stop that came while the encoder was being started.
        if (Terminated()) {
            Outcome = TEncodeOutcome::Stopped;
            return;
        }
        std::string text = LoadResString(MSG_ENC_CREATE_FAILED);
        if (!drv.ErrorText().empty() && drv.ErrorText() != MsgCreateFailed) text += "\r" + drv.ErrorText();
        Fail(TEncodeOutcome::Error, text);
        return;
    }
    const UINT route = Job.UseGogo     ? MSG_ENC_STATUS_GOGO
                       : Job.UseWMT    ? MSG_ENC_STATUS_WMT
                       : Job.UseTwinVQ ? MSG_ENC_STATUS_TWINVQ
                       : Job.UseStdin  ? MSG_ENC_STATUS_STDIN
                                       : MSG_ENC_STATUS_ACM;
    PostStatusText(wx::FormatRes(route, wx::PathFileName(source).c_str()));
    std::uint64_t done = 0;
    const wx::TPcmTransfer result = wx::TransferPcm(
        reader,
        [&](const void* p, std::uint32_t n) {
            const bool ok = drv.Write(p, n);
            done += n;
            if (Job.OnBlock) Job.OnBlock(done);
            return ok;
        },
        [this] { return Terminated(); }, [this](int percent) { PostProgress(percent); });
    PostStatusText(LoadResString(MSG_ENC_FINISHING));
    // The file takes the output's name (replacing an old file of that name)
    // only when Close finished it; a source that could not be read to its
    // end leaves no file there, and an old one stays.  A stop finishes the
    // part written so far as a file of its own, but never in place of an
    // old file, which stays as it was.
    const bool cut = Terminated() && result != wx::TPcmTransfer::Done;
    bool closed = false;
    if (result == wx::TPcmTransfer::ReadFailed || (cut && (replacing || drv.Failed())))
        drv.Discard();
    else
        closed = drv.Close();
    reader.Close();
    if (Terminated() && !(result == wx::TPcmTransfer::Done && closed)) {
        // Whatever the stop cut short (an encoder ended on it included).
        Outcome = TEncodeOutcome::Stopped;
        return;
    }
    switch (result) {
    case wx::TPcmTransfer::Done:
    case wx::TPcmTransfer::Stopped:
        if (closed) {
            Outcome = result == wx::TPcmTransfer::Done ? TEncodeOutcome::Done : TEncodeOutcome::Stopped;
            return;
        }
        Fail(TEncodeOutcome::Error, drv.ErrorText().empty() ? LoadResString(MSG_ENC_WRITE_FAILED) : drv.ErrorText());
        break;
    case wx::TPcmTransfer::WriteFailed:
        Fail(TEncodeOutcome::Error, drv.ErrorText().empty() ? LoadResString(MSG_ENC_WRITE_FAILED) : drv.ErrorText());
        break;
    case wx::TPcmTransfer::ReadFailed: Fail(TEncodeOutcome::Error, LoadResString(MSG_ENC_READ_FAILED)); break;
    }
}

void TEncodeSubThread::EncodeExternal(const std::string& source, const std::string& output,
                                      const std::string& options) {
    {
        wx::TRiffWaveReader reader;
        if (!CheckSource(source, reader)) return;
    }
    TFileEncoderJob job;
    job.Program = Job.EncoderProgram;
    job.Options = options;
    job.SourceFile = source;
    job.OutputFile = output;
    const TFileEncoderRun run = RunFileEncoder(job, [this] { return Terminated(); }, [&] {
        PostProgress(-1);
        PostStatusText(wx::FormatRes(MSG_ENC_STATUS_EXTERNAL, wx::PathFileName(source).c_str()));
    });
    PostProgress(0);
    switch (run.Result) {
    case TFileEncoderResult::Done: Outcome = TEncodeOutcome::Done; break;
    case TFileEncoderResult::Aborted: Outcome = TEncodeOutcome::Stopped; break;
    case TFileEncoderResult::SourceMissing:
    case TFileEncoderResult::SourceTooShort: Fail(TEncodeOutcome::Failed, LoadResString(MSG_FILE_OPEN_FAILED)); break;
    case TFileEncoderResult::NoTempName: Fail(TEncodeOutcome::Failed, LoadResString(MSG_ENC_NO_TEMP)); break;
    case TFileEncoderResult::StartFailed: Fail(TEncodeOutcome::Failed, LoadResString(MSG_ENC_START_FAILED)); break;
    case TFileEncoderResult::EncoderFailed: Fail(TEncodeOutcome::Failed, LoadResString(MSG_ENC_ENCODER_FAILED)); break;
    case TFileEncoderResult::RenameFailed:
        Fail(TEncodeOutcome::Failed, run.TempKept ? wx::FormatRes(MSG_ENC_RENAME_KEPT, run.TempFile.c_str())
                                                  : LoadResString(MSG_ENC_RENAME_FAILED));
        break;
    }
}

// ---- The drop target ------------------------------------------------------------

std::vector<std::string> DroppedFiles(IDataObject* data) {
    std::vector<std::string> files;
    if (!data) return files;
    FORMATETC fe{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&fe, &medium))) return files;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        const UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            const UINT len = DragQueryFileA(drop, i, nullptr, 0);
            std::string path(len + 1, '\0');
            const UINT got = DragQueryFileA(drop, i, path.data(), len + 1);
            path.resize(got);
            if (!path.empty()) files.push_back(path);
        }
    }
    ReleaseStgMedium(&medium);
    return files;
}

bool IsDroppableWavFile(const std::string& path) { return IsShellPath(path) && IsFile(path) && wx::IsWavFileName(path); }

TEncodeListDropTargetObject::~TEncodeListDropTargetObject() {
    if (data_) data_->Release();
}

HRESULT TEncodeListDropTargetObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TEncodeListDropTargetObject::AddRef() { return ULONG(InterlockedIncrement(&refs_)); }

ULONG TEncodeListDropTargetObject::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return ULONG(n);
}

HRESULT TEncodeListDropTargetObject::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    if (data_) data_->Release();
    data_ = nullptr;
    const std::vector<std::string> files = DroppedFiles(data);
    accepted_ = !files.empty() && std::all_of(files.begin(), files.end(), IsDroppableWavFile);
    if (accepted_) {
        data_ = data;
        data_->AddRef();
    }
    if (effect) *effect = accepted_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT TEncodeListDropTargetObject::DragOver(DWORD, POINTL, DWORD* effect) {
    if (form_->Busy()) {
        if (effect) *effect = DROPEFFECT_NONE;
        return E_FAIL;
    }
    if (effect) *effect = accepted_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT TEncodeListDropTargetObject::DragLeave() {
    if (data_) data_->Release();
    data_ = nullptr;
    accepted_ = false;
    return S_OK;
}

HRESULT TEncodeListDropTargetObject::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    const bool kept = data_ != nullptr;
    if (data_) data_->Release();
    data_ = nullptr;
    accepted_ = false;
    if (effect) *effect = DROPEFFECT_NONE;
    if (!kept || !data || form_->Busy()) return E_FAIL;
    for (const std::string& f : DroppedFiles(data))
        if (IsDroppableWavFile(f)) form_->AddFile(f);
    if (effect) *effect = DROPEFFECT_COPY;
    return S_OK;
}

// ---- The list window --------------------------------------------------------------

TEncodeForm::TEncodeForm(wx::TComponent* owner, TEncodeHost host) : TForm(owner, "TENCODEFORM"), h_(std::move(host)) {
    OnClick(IDC_ENC_START, [this] { Button1Click(); });
    OnClick(IDC_ENC_CLOSE, [this] { Close(); });
    OnClick(IDC_ENC_SETTINGS, [this] { Button3Click(); });
    OnMessage(WM_ENCODE_STATUS, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        WMEncodeStatus(wp, lp);
        return 0;
    });
    OnDrawItem(IDC_ENC_STATUS, [this](DRAWITEMSTRUCT& di) { StatusBar1DrawPanel(di); });
    OnNotify(IDC_ENC_LIST, NM_RCLICK, [this](NMHDR*) -> LRESULT {
        POINT p;
        GetCursorPos(&p);
        ListView1ContextPopup(p);
        return 0;
    });
    OnNotify(IDC_ENC_LIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        if (!busy_) PopupFileEditClick();
        return 0;
    });
}

TEncodeForm::~TEncodeForm() {
    if (popup_) DestroyMenu(popup_);
}

TConfigStore& TEncodeForm::Config() const { return *(h_.Config ? h_.Config : ConfigForm); }

TBatchOutputKind TEncodeForm::Kind() const { return wx::BatchOutputKindOf(Config()); }

bool TEncodeForm::AddFile(const std::string& path) {
    if (rows_.size() >= std::size_t(wx::MaxEncodeRows)) return false;
    TEncodeRow row;
    row.Record = wx::NewEncodeRecord(path);
    if (Handle()) row.Output = wx::NewOutputName(row.Record.FileStem, Kind());
    rows_.push_back(std::move(row));
    if (Handle()) InsertRow(int(rows_.size()) - 1);
    return true;
}

void TEncodeForm::InsertRow(int row) {
    ListView1.AddItem(wx::PathFileName(rows_[std::size_t(row)].Record.FileStem));
    ShowRow(row);
}

void TEncodeForm::ShowRow(int row) {
    const auto cells = wx::EncodeRowCells(rows_[std::size_t(row)], LoadResString(MSG_YES), LoadResString(MSG_NO));
    for (int c = 0; c < wx::EncodeColumnCount; ++c) ListView1.SetSubItem(row, c, cells[std::size_t(c)]);
}

void TEncodeForm::FormCreate() {
    // The list takes WAV files dropped from the shell.
    const HRESULT ole = OleInitialize(nullptr);
    oleInitialized_ = SUCCEEDED(ole);
    dropTarget_ = new TEncodeListDropTargetObject(this);
    CoLockObjectExternal(dropTarget_, TRUE, FALSE);
    dropRegistered_ = SUCCEEDED(RegisterDragDrop(ListView1.Handle(), dropTarget_));
    progress_ = 0;
    busy_ = false;

    // The output while the list is shown: WAV output stands for the
    // standard compression method.
    TConfigStore& c = Config();
    savedOutputMethod_ = c.SelOutputMethod.ItemIndex();
    if (savedOutputMethod_ == omWave) {
        const int standard = c.SelStdEncode.ItemIndex();
        c.SelOutputMethod.SetItemIndex(standard == semWMA ? omWMA : standard == semTwinVQ ? omTwinVQ : omMP3);
        methodChanged_ = true;
        if (h_.ApplySettings) h_.ApplySettings();
    }

    Button1.SetText(LoadResString(MSG_ENC_START));
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int i = 0; i < wx::EncodeColumnCount; ++i)
        ListView1.AddColumn(LoadResString(MSG_ENC_COLUMNS + UINT(i)), kDefaultWidths[i]);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].Output.empty()) rows_[i].Output = wx::NewOutputName(rows_[i].Record.FileStem, Kind());
        InsertRow(int(i));
    }
    ReadConfig();
    Layout();
    SetStatusBar();
}

bool TEncodeForm::FormCloseQuery() {
    if (busy_) {
        wx::ShowMessageBox(LoadResString(MSG_ENC_CLOSE_BUSY), MB_OK | MB_ICONWARNING, Handle());
        return false;
    }
    return true;
}

void TEncodeForm::FormClose() { WriteConfig(); }

void TEncodeForm::FormDestroy() {
    if (methodChanged_) {
        Config().SelOutputMethod.SetItemIndex(savedOutputMethod_);
        methodChanged_ = false;
        if (h_.ApplySettings) h_.ApplySettings();
    }
    if (dropRegistered_) RevokeDragDrop(ListView1.Handle());
    dropRegistered_ = false;
    if (dropTarget_) {
        CoLockObjectExternal(dropTarget_, FALSE, TRUE);
        dropTarget_->Release();
        dropTarget_ = nullptr;
    }
    if (oleInitialized_) OleUninitialize();
    oleInitialized_ = false;
}

bool TEncodeForm::HandleMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg == WM_SIZE) {
        Layout();
        result = 0;
        return true;
    }
    return false;
}

void TEncodeForm::Layout() {
    if (!Handle()) return;
    RECT client;
    GetClientRect(Handle(), &client);
    SendMessageA(StatusBar1.Handle(), WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBar1.Handle(), &status);
    const int statusH = status.bottom - status.top;
    const int w = client.right;
    // The output panel as wide as its text; while a status text is shown, that
    // text has the first claim on the room, and the output panel the rest.
    const int room = std::max(0, w - 100);
    int outputW = std::min(outputPanelWidth_, std::max(0, room - 60));
    if (statusTextWidth_ > 0 && statusTextWidth_ + outputW > room)
        outputW = std::max(std::min(outputW, 120), room - statusTextWidth_);
    StatusBar1.SetParts({100, 100 + room - outputW, -1});
    StatusBar1.SetPanelText(0, "", SBT_OWNERDRAW);
    // The buttons in a row above the status bar, at their template sizes.
    RECT b1{}, b2{}, b3{};
    GetWindowRect(Button1.Handle(), &b1);
    GetWindowRect(Button2.Handle(), &b2);
    GetWindowRect(Button3.Handle(), &b3);
    const int bh = b1.bottom - b1.top, gap = 6;
    const int w1 = b1.right - b1.left, w2 = b2.right - b2.left, w3 = b3.right - b3.left;
    const int top = client.bottom - statusH - bh - gap;
    int x = w - gap - w3;
    MoveWindow(Button3.Handle(), x, top, w3, bh, TRUE);
    x -= gap + w2;
    MoveWindow(Button2.Handle(), x, top, w2, bh, TRUE);
    x -= gap + w1;
    MoveWindow(Button1.Handle(), x, top, w1, bh, TRUE);
    MoveWindow(ListView1.Handle(), 0, 0, w, std::max(0, top - gap), TRUE);
}

void TEncodeForm::ReadConfig() {
    if (!h_.Settings) return;
    const wx::TEncodeFormKeys k = wx::ReadEncodeFormKeys(*h_.Settings);
    SetBounds(k.Left, k.Top, k.Width, k.Height);
    for (std::size_t i = 0; i < k.ColumnWidths.size(); ++i)
        if (k.ColumnWidths[i] >= 0) ListView1.SetColumnWidth(int(i), k.ColumnWidths[i]);
}

void TEncodeForm::WriteConfig() {
    if (!h_.Settings || !Handle()) return;
    const RECT r = Bounds();
    wx::TEncodeFormKeys k;
    k.Width = r.right - r.left;
    k.Height = r.bottom - r.top;
    k.Top = r.top;
    k.Left = r.left;
    for (std::size_t i = 0; i < k.ColumnWidths.size(); ++i) k.ColumnWidths[i] = ListView1.ColumnWidth(int(i));
    wx::WriteEncodeFormKeys(*h_.Settings, k);
}

int TEncodeForm::PanelTextWidth(const std::string& text) {
    if (text.empty()) return 0;
    HDC dc = GetDC(StatusBar1.Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(StatusBar1.Send(WM_GETFONT)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(StatusBar1.Handle(), dc);
    return int(size.cx) + 28;  // the panel's borders and margins
}

void TEncodeForm::SetStatusText(const std::string& text) {
    statusTextWidth_ = PanelTextWidth(text);
    Layout();
    StatusBar1.SetPanelText(1, text);
}

void TEncodeForm::SetStatusBar() {
    if (h_.SyncEncoderChoice) h_.SyncEncoderChoice();
    const std::string text = h_.StatusString ? h_.StatusString() : std::string();
    outputPanelWidth_ = std::max(200, PanelTextWidth(text));
    Layout();
    StatusBar1.SetPanelText(2, text);
}

void TEncodeForm::RefreshListExt() {
    const TBatchOutputKind kind = Kind();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].Output = wx::RefreshedOutputName(rows_[i].Output, rows_[i].Record.FileStem, kind);
        rows_[i].OutputShownInFull = false;
        ShowRow(int(i));
    }
}

void TEncodeForm::Button3Click() {
    if (h_.ShowSettings) h_.ShowSettings(Handle(), Config().IsUseWMT() || Config().IsUseVQF() ? 2 : 3);
    SetStatusBar();
    RefreshListExt();
}

void TEncodeForm::PopupFileEditClick() {
    const int row = ListView1.NextSelected(-1);
    if (row < 0 || busy_) return;
    char file[MAX_PATH * 2] = {};
    lstrcpynA(file, rows_[std::size_t(row)].Output.c_str(), sizeof file);
    const std::string filter = wx::FileDialogFilter(LoadResString(MSG_ENC_SAVE_FILTER));
    const std::string title = LoadResString(MSG_ENC_SAVE_TITLE);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = DWORD(wx::OutputFilterIndex(Kind()));
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!wx::Prompter().SaveFileName(ofn)) return;
    rows_[std::size_t(row)].Output = file;
    rows_[std::size_t(row)].OutputShownInFull = true;
    ShowRow(row);
}

void TEncodeForm::PopupID3EditClick() {
    const int row = ListView1.NextSelected(-1);
    if (row < 0 || busy_) return;
    wx::TTrackRecord copy = rows_[std::size_t(row)].Record;
    TID3Form form(this);
    form.TagRecord = &copy;
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    if (ListView1.Send(LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r))) {
        POINT p{r.left, r.bottom};
        ClientToScreen(ListView1.Handle(), &p);
        form.HasPosition = true;
        form.Left = p.x;
        form.Top = p.y;
    }
    if (form.ShowModal(Handle()) != IDOK) return;
    rows_[std::size_t(row)].Record = copy;
    ShowRow(row);
}

void TEncodeForm::AddFile1Click() {
    std::vector<char> buffer(64 * 1024, '\0');
    const std::string filter = wx::FileDialogFilter(LoadResString(MSG_ENC_OPEN_FILTER));
    const std::string title = LoadResString(MSG_ENC_OPEN_TITLE);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = "WAV";
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    if (!wx::Prompter().OpenFileName(ofn)) return;
    for (const std::string& f : ChosenFiles(buffer.data()))
        if (!AddFile(f)) break;
}

void TEncodeForm::DelListClick() {
    for (int row = ListView1.Count() - 1; row >= 0; --row) {
        if (!ListView1.Selected(row)) continue;
        if (busy_ && row == runRow_) {
            wx::ShowMessageBox(LoadResString(MSG_ENC_ROW_BUSY), MB_OK | MB_ICONWARNING, Handle());
            continue;
        }
        if (busy_ && row < runRow_) --runRow_;
        if (busy_ && row < runEnd_) --runEnd_;
        rows_.erase(rows_.begin() + row);
        ListView1.Send(LVM_DELETEITEM, WPARAM(row));
    }
}

void TEncodeForm::ListView1ContextPopup(POINT at) {
    if (!popup_) popup_ = LoadMenuA(wx::Application.ResourceModuleFor(MAKEINTRESOURCEA(IDM_ENC_POPUP), RT_MENU),
                                    MAKEINTRESOURCEA(IDM_ENC_POPUP));
    if (!popup_) return;
    wx::TMenu menu(GetSubMenu(popup_, 0));
    const bool selected = ListView1.SelectedCount() > 0;
    menu.SetEnabled(IDM_ENC_FILEEDIT, selected && !busy_);
    menu.SetEnabled(IDM_ENC_ID3EDIT, selected && !busy_);
    menu.SetEnabled(IDM_ENC_DELLIST, selected);
    menu.SetEnabled(IDM_ENC_ADDFILE, true);
    switch (wx::Prompter().PopupMenu(menu.Handle(), Handle(), at.x, at.y)) {
    case IDM_ENC_FILEEDIT: PopupFileEditClick(); break;
    case IDM_ENC_ID3EDIT: PopupID3EditClick(); break;
    case IDM_ENC_ADDFILE: AddFile1Click(); break;
    case IDM_ENC_DELLIST: DelListClick(); break;
    default: break;
    }
}

bool TEncodeForm::CheckExistFiles() {
    // No output may be a source or another row's output: the run would
    // otherwise delete a source or write one file twice.
    std::vector<std::string> sources, outputs;
    for (const TEncodeRow& r : rows_) {
        sources.push_back(CanonicalPath(r.Record.FileStem));
        outputs.push_back(CanonicalPath(r.Output));
    }
    const wx::TOutputConflict conflict = wx::FindOutputConflict(sources, outputs);
    if (conflict.What != wx::TOutputConflict::None) {
        const std::string name = wx::PathFileName(rows_[std::size_t(conflict.Row)].Output);
        wx::ShowMessageBox(wx::FormatRes(conflict.What == wx::TOutputConflict::SourceOfRow ? MSG_ENC_SAME_AS_SOURCE
                                                                                  : MSG_ENC_DUPLICATE,
                                conflict.Row + 1, name.c_str(), conflict.Other + 1),
                           MB_OK | MB_ICONERROR, Handle());
        return false;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const int n = int(i + 1);
        const std::string& out = rows_[i].Output;
        const std::string name = wx::PathFileName(out);
        const std::string folder = wx::PathFolder(out);
        if (folder.empty() || !IsFolder(folder.size() == 2 ? folder + "\\" : folder)) {
            wx::ShowMessageBox(wx::FormatRes(MSG_ENC_NO_FOLDER, n), MB_OKCANCEL | MB_ICONQUESTION, Handle());
            return false;
        }
        if (IsFolder(out)) {
            wx::ShowMessageBox(wx::FormatRes(MSG_ENC_IS_FOLDER, n, name.c_str()), MB_OKCANCEL | MB_ICONQUESTION, Handle());
            return false;
        }
        if (IsFile(out)) {
            if (wx::ShowMessageBox(wx::FormatRes(MSG_ENC_EXISTS, n, name.c_str()), MB_OKCANCEL | MB_ICONQUESTION, Handle()) !=
                IDOK)
                return false;
            // The old file stays until this row's new file is finished.
            if (!CanReplaceOutput(out)) {
                wx::ShowMessageBox(wx::FormatRes(MSG_ENC_IN_USE, n, name.c_str()), MB_OK | MB_ICONERROR, Handle());
                return false;
            }
        }
    }
    return true;
}

bool TEncodeForm::RunCheck() {
    TConfigStore& c = Config();
    if (c.IsUseWMT() && !h_.WmaAvailable) {
        wx::ShowMessageBox(LoadResString(MSG_RIP_NO_WMA), MB_OK | MB_ICONERROR, Handle());
        return false;
    }
    if (c.IsUseVQF() && !h_.TwinVqAvailable) {
        wx::ShowMessageBox(LoadResString(MSG_RIP_NO_TVQ), MB_OK | MB_ICONERROR, Handle());
        return false;
    }
    encoderOptions_.clear();
    if (c.IsUseL3Enc()) return wx::GetEncoderOption(c, encoderOptions_);
    if (!c.IsUseWMT() && !c.IsUseACMMP3() && !c.IsUseVQF() && !c.IsUseGogoDLL()) {
        wx::ShowMessageBox(LoadResString(MSG_ENC_NO_OUTPUT), MB_OK | MB_ICONERROR, Handle());
        return false;
    }
    if (c.IsUseStdin()) return wx::GetEncoderOption(c, encoderOptions_);
    return true;
}

void TEncodeForm::Button1Click() {
    if (busy_) {
        abort_ = true;
        if (worker_) worker_->Terminate();
        return;
    }
    if (rows_.empty() || !CheckExistFiles()) return;
    busy_ = true;
    abort_ = false;
    if (!RunCheck()) {
        busy_ = false;
        return;
    }
    Button1.SetText(LoadResString(MSG_ENC_STOP));
    Button2.SetEnabled(false);
    Button3.SetEnabled(false);
    RunRows();
}

bool TEncodeForm::SetupDriverFor(int row, TEncodeJob& job) {
    TConfigStore& c = Config();
    const TEncodeRow& r = rows_[std::size_t(row)];
    job.NotifyWindow = Handle();
    job.OutputDriver = h_.Driver;
    job.SourceFile = r.Record.FileStem;
    job.OutputFile = r.Output;
    job.EncoderOptions = encoderOptions_;
    job.EncoderProgram = c.ProgramEdit.Text;
    if (wx::OutputRouteOf(c) == wx::TOutputRoute::ExternalFile) {
        job.Internal = 0;
        return true;
    }
    job.UseTwinVQ = c.IsUseVQF();
    job.UseWMT = c.IsUseWMT();
    job.UseGogo = c.IsUseGogoDLL();
    job.UseStdin = c.IsUseStdin();
    job.Internal = 1;
    return h_.Driver && wx::SetupOutputDriver(*h_.Driver, c, r.Record.HasTag ? &r.Record : nullptr, false,
                                              encoderOptions_);
}

TEncodeOutcome TEncodeForm::RunWorker(const TEncodeJob& job, std::string& text) {
    progress_ = 0;
    InvalidateRect(StatusBar1.Handle(), nullptr, FALSE);
    worker_ = new TEncodeSubThread(job);
    const HANDLE h = worker_->Handle();
    // The window stays live while the worker runs: messages are handled as
    // they come, and the wait ends when the worker does.  A stop is asked of
    // the worker first, which ends the file after its block; when the worker
    // has not ended within StopGraceMs, the driver is told as well, which
    // ends an encoder that no longer takes its input.  A quit request stops
    // the run and is passed on once the worker has ended.
    bool quit = false;
    int quitCode = 0;
    bool driverAborted = false;
    DWORD stopSeen = 0;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = int(msg.wParam);
                abort_ = true;
                worker_->Terminate();
                continue;
            }
            if (!IsDialogMessageA(Handle(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        DWORD wait = INFINITE;
        if (abort_ && !driverAborted) {
            const DWORD now = GetTickCount();
            if (!stopSeen) stopSeen = now ? now : 1;
            const DWORD waited = now - stopSeen;
            if (waited >= StopGraceMs) {
                if (h_.Driver && job.Internal == 1) h_.Driver->RequestAbort();
                driverAborted = true;
            } else {
                wait = StopGraceMs - waited;
            }
        }
        if (MsgWaitForMultipleObjectsEx(1, &h, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) break;
    }
    worker_->WaitFor();
    TEncodeOutcome outcome = worker_->Outcome;
    text = outcome == TEncodeOutcome::Error ? worker_->ErrorText : worker_->RowText;
    // A worker that ended without saying how failed its file.
    if (outcome == TEncodeOutcome::Failed && text.empty())
        text = wx::FormatRes(MSG_ENC_WORKER_FAILED, worker_->FatalError().c_str());
    delete worker_;
    worker_ = nullptr;
    if (quit) PostQuitMessage(quitCode);
    return outcome;
}

void TEncodeForm::WriteTags(int row) {
    const TEncodeRow& r = rows_[std::size_t(row)];
    if (!r.Record.HasTag) return;
    const TConfigStore& c = Config();
    // ID3 tags only on plain MP3: the encoder library's RIFF files carry
    // their texts in INFO chunks, and a tag in front would break them.
    const bool mp3 = c.IsUseMP3() && !c.IsUseGogoWAVE() && !c.IsUseGogoRMP();
    if (!mp3 && !c.IsUseWMT()) return;
    if (tagio::WriteTagsAfterRip(r.Output, r.Record, mp3, true, c.ID3TagType.ItemIndex())) return;
    // The file was compressed: it is listed with those whose tags failed.
    rows_[std::size_t(row)].Result = LoadResString(MSG_ENC_TAG_FAILED);
    tagFailures_.push_back(wx::FormatRes(MSG_ENC_FAILURE_LINE, row + 1, wx::PathFileName(r.Record.FileStem).c_str(),
                                rows_[std::size_t(row)].Result.c_str()));
}

void TEncodeForm::RunRows() {
    failures_.clear();
    tagFailures_.clear();
    runEnd_ = int(rows_.size());
    bool through = true;
    for (runRow_ = 0; runRow_ < runEnd_; ++runRow_) {
        const int row = runRow_;
        rows_[std::size_t(row)].Result.clear();
        ShowRow(row);
        TEncodeJob job;
        if (!SetupDriverFor(row, job)) {
            wx::ShowMessageBox(LoadResString(MSG_ENC_SETUP_FAILED), MB_OK | MB_ICONERROR, Handle());
            through = false;
            break;
        }
        // A stopped file never replaces an old one (which stays untagged).
        const bool hadOld = IsFile(job.OutputFile);
        std::string text;
        const TEncodeOutcome outcome = RunWorker(job, text);
        const int now = runRow_;  // rows before it may have been removed meanwhile
        TEncodeRow& r = rows_[std::size_t(now)];
        switch (outcome) {
        case TEncodeOutcome::Error: r.Result = text; break;
        case TEncodeOutcome::Failed:
            r.Result = text;
            failures_.push_back(wx::FormatRes(MSG_ENC_FAILURE_LINE, now + 1, wx::PathFileName(r.Record.FileStem).c_str(),
                                     text.c_str()));
            break;
        case TEncodeOutcome::Done: r.Result = LoadResString(MSG_ENC_ROW_DONE); break;
        case TEncodeOutcome::Stopped: r.Result = LoadResString(MSG_ENC_ABORTED); break;
        }
        // Tags only on a file that is there: a stop may have left none.
        if (outcome == TEncodeOutcome::Done || (outcome == TEncodeOutcome::Stopped && IsFile(r.Output) && !hadOld))
            WriteTags(now);
        ShowRow(now);
        if (outcome == TEncodeOutcome::Error) {
            wx::ShowMessageBox(text, MB_OK | MB_ICONERROR, Handle());
            through = false;
            break;
        }
        if (OnFileDone) OnFileDone(now);
        if (abort_) {
            wx::ShowMessageBox(LoadResString(MSG_ENC_ABORTED), MB_OK | MB_ICONINFORMATION, Handle());
            through = false;
            break;
        }
    }
    EndRun(through);
}

void TEncodeForm::EndRun(bool throughEvery) {
    // Idle again before anything that lets messages through: a close that
    // comes after the last message finds the run over.
    progress_ = 0;
    SetStatusText("");
    InvalidateRect(StatusBar1.Handle(), nullptr, FALSE);
    Button1.SetText(LoadResString(MSG_ENC_START));
    Button2.SetEnabled(true);
    Button3.SetEnabled(true);
    busy_ = false;
    runRow_ = -1;
    runEnd_ = 0;
    if (throughEvery) {
        const auto joined = [](const std::vector<std::string>& lines) {
            std::string list;
            for (const std::string& f : lines) list += (list.empty() ? "" : "\r") + f;
            return list;
        };
        if (failures_.empty() && tagFailures_.empty()) {
            wx::ShowMessageBox(LoadResString(MSG_ENC_DONE), MB_OK | MB_ICONINFORMATION, Handle());
        } else {
            std::string text;
            if (!failures_.empty()) text = wx::FormatRes(MSG_ENC_DONE_WITH_ERRORS, joined(failures_).c_str());
            if (!tagFailures_.empty())
                text += (text.empty() ? "" : "\r") + wx::FormatRes(MSG_ENC_TAGS_NOT_WRITTEN, joined(tagFailures_).c_str());
            wx::ShowMessageBox(text, MB_OK | MB_ICONWARNING, Handle());
        }
    }
    if (h_.RefreshFiler) h_.RefreshFiler();
}

void TEncodeForm::WMEncodeStatus(WPARAM wp, LPARAM lp) {
    if (lp) {
        char* block = reinterpret_cast<char*>(lp);
        if (block[0]) SetStatusText(block);
        delete[] block;
        return;
    }
    progress_ = int(wp);
    InvalidateRect(StatusBar1.Handle(), nullptr, FALSE);
}

void TEncodeForm::StatusBar1DrawPanel(DRAWITEMSTRUCT& di) {
    if (di.itemID != 0) return;
    const RECT r = di.rcItem;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    // The bar, then the percentage in white on black combined by
    // inversion: white turns to the inverse of whatever lies beneath, so
    // the text reads over the filled and the empty part alike.
    FillRect(di.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (progress_ > 0) {
        RECT bar = r;
        bar.right = r.left + w * std::min(progress_, 100) / 100;
        FillRect(di.hDC, &bar, GetSysColorBrush(COLOR_ACTIVECAPTION));
    }
    const std::string text = progress_ < 0 ? "???" : std::to_string(progress_) + "%";
    HDC mem = CreateCompatibleDC(di.hDC);
    HBITMAP bmp = CreateCompatibleBitmap(di.hDC, w, h);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    RECT all{0, 0, w, h};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HGDIOBJ oldFont = SelectObject(mem, reinterpret_cast<HFONT>(SendMessageA(StatusBar1.Handle(), WM_GETFONT, 0, 0)));
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(255, 255, 255));
    DrawTextA(mem, text.c_str(), -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    BitBlt(di.hDC, r.left, r.top, w, h, mem, 0, 0, SRCINVERT);
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
}
