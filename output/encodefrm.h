// The batch encode list: existing WAV files compressed one after the other
// with the output the settings choose, each on a worker thread of its own,
// with their tags written afterwards.
//
// The opener makes a TEncodeForm with what it lends (TEncodeHost), adds
// the files with AddFile and shows the form modally; more files come from
// the open dialog and from drops of WAV files onto the list.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "classlib/thread.h"
#include "output/encodelist.h"
#include "resources/encodefrm.h"

#include <ole2.h>

class TAcmDrv;
class TConfigStore;
class TCustomIniFile;

// Worker to list window: wParam a percentage (-1: none can be given) with
// lParam 0, or wParam 0 with lParam a 255-byte block holding a text, which
// the receiver frees with delete[].
constexpr UINT WM_ENCODE_STATUS = 0x600;

// What the worker is given for one file.
struct TEncodeJob {
    HWND NotifyWindow = nullptr;
    TAcmDrv* OutputDriver = nullptr;  // set up for this file (internal route)
    std::string SourceFile;
    std::string OutputFile;
    std::int32_t Internal = 1;        // 1 through the driver, 0 the external encoder program
    std::uint8_t UseTwinVQ = 0, UseWMT = 0, UseGogo = 0, UseStdin = 0;
    std::string EncoderOptions;
    std::string EncoderProgram;       // the external encoder (Internal 0)
    // Called on the worker's thread after each block handed to the driver
    // (tests provoke faults of the worker with it); may be empty.
    std::function<void(std::uint64_t bytesDone)> OnBlock;
};

// How a file ended.
enum class TEncodeOutcome {
    Done,
    Stopped,  // a stop request: the part written so far is a finished file
    Failed,   // this file failed (RowText); the run goes on with the next
    Error,    // the run ends with ErrorText
};

class TEncodeSubThread : public wx::TThread {
public:
    // Copies the job and starts at once.
    explicit TEncodeSubThread(const TEncodeJob& job);

    TEncodeJob Job;
    // Failed until the job says otherwise: a worker that ends in any other
    // way than the ones below never passes for one that finished.
    TEncodeOutcome Outcome = TEncodeOutcome::Failed;
    std::string ErrorText;  // ends the run
    std::string RowText;    // this file failed

    void PostStatusText(const std::string& text);
    void PostProgress(int value);

protected:
    void Execute() override;

private:
    void EncodeInternal(const std::string& source, const std::string& output);
    void EncodeExternal(const std::string& source, const std::string& output, const std::string& options);
    bool CheckSource(const std::string& source, class wx::TRiffWaveReader& reader);
    void Fail(TEncodeOutcome outcome, const std::string& text);
    // After an exception: the driver left closed, its unfinished file gone.
    void Abandon(const std::string& what);
};

// What the opener lends the list.
struct TEncodeHost {
    TAcmDrv* Driver = nullptr;
    TConfigStore* Config = nullptr;
    bool WmaAvailable = false;
    bool TwinVqAvailable = false;
    TCustomIniFile* Settings = nullptr;  // [EncodeForm]; may be null
    // The one-line description of the output (status panel 2).
    std::function<std::string()> StatusString;
    // Brings the settings controls in line with the encoder choice.
    std::function<void()> SyncEncoderChoice;
    // Applies the settings as the settings dialog's OK does.
    std::function<void()> ApplySettings;
    // The settings dialog, modally over `owner`, on page 2 (output file)
    // or 3 (MP3).
    std::function<void(HWND owner, int page)> ShowSettings;
    std::function<void()> RefreshFiler;
};

class TEncodeForm;

// The drop target of the list: WAV files from the shell.
class TEncodeListDropTargetObject : public IDropTarget {
public:
    explicit TEncodeListDropTargetObject(TEncodeForm* form) : form_(form) {}
    virtual ~TEncodeListDropTargetObject();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

    bool Accepted() const { return accepted_; }

private:
    LONG refs_ = 1;
    TEncodeForm* form_;
    bool accepted_ = false;
    IDataObject* data_ = nullptr;
};

// The paths of a file drop list (CF_HDROP) of a data object; empty when it
// has none.
std::vector<std::string> DroppedFiles(IDataObject* data);
// A file a drop may add: a shell item that is an existing file (not a
// folder) named ".WAV" in any case.
bool IsDroppableWavFile(const std::string& path);

class TEncodeForm : public wx::TForm {
public:
    // How long a stopped worker may take before the driver is told too.
    static constexpr DWORD StopGraceMs = 500;

    TEncodeForm(wx::TComponent* owner, TEncodeHost host);
    ~TEncodeForm() override;

    wx::TListView ListView1{this, IDC_ENC_LIST};
    wx::TButton Button1{this, IDC_ENC_START};
    wx::TButton Button2{this, IDC_ENC_CLOSE};
    wx::TButton Button3{this, IDC_ENC_SETTINGS};
    wx::TStatusBar StatusBar1{this, IDC_ENC_STATUS};

    // Appends a row unless the list holds MaxEncodeRows; false when full.
    bool AddFile(const std::string& path);
    const std::vector<wx::TEncodeRow>& Rows() const { return rows_; }
    // The checks of the output names before a run.
    bool CheckExistFiles();
    void RefreshListExt();
    void SetStatusBar();

    // Handlers.
    void Button1Click();
    void Button3Click();
    void PopupFileEditClick();
    void PopupID3EditClick();
    void AddFile1Click();
    void DelListClick();
    void ListView1ContextPopup(POINT at);
    void StatusBar1DrawPanel(DRAWITEMSTRUCT& di);
    void WMEncodeStatus(WPARAM wp, LPARAM lp);

    // State.
    bool Busy() const { return busy_; }
    int Progress() const { return progress_; }
    int SavedOutputMethod() const { return savedOutputMethod_; }
    TEncodeListDropTargetObject* DropTarget() const { return dropTarget_; }
    // Runs after each file of a run with its row (tests stop a run here).
    std::function<void(int row)> OnFileDone;

protected:
    void FormCreate() override;
    bool FormCloseQuery() override;
    void FormClose() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    TConfigStore& Config() const;
    wx::TBatchOutputKind Kind() const;
    void InsertRow(int row);
    void ShowRow(int row);
    void Layout();
    int PanelTextWidth(const std::string& text);
    void SetStatusText(const std::string& text);
    void ReadConfig();
    void WriteConfig();
    void RunRows();
    bool SetupDriverFor(int row, TEncodeJob& job);
    TEncodeOutcome RunWorker(const TEncodeJob& job, std::string& text);
    void WriteTags(int row);
    void EndRun(bool throughEvery);
    bool RunCheck();

    TEncodeHost h_;
    std::vector<wx::TEncodeRow> rows_;
    bool busy_ = false;
    bool abort_ = false;
    int progress_ = 0;
    int savedOutputMethod_ = -1;
    bool methodChanged_ = false;
    int runRow_ = -1;   // the row being encoded
    int runEnd_ = 0;    // rows of the run: those listed when it started
    std::string encoderOptions_;
    std::vector<std::string> failures_;     // files not compressed
    std::vector<std::string> tagFailures_;  // files compressed whose tags failed
    TEncodeSubThread* worker_ = nullptr;
    TEncodeListDropTargetObject* dropTarget_ = nullptr;
    bool oleInitialized_ = false;
    bool dropRegistered_ = false;
    HMENU popup_ = nullptr;
    int outputPanelWidth_ = 260;
    int statusTextWidth_ = 0;  // of the status text panel, 0 when it is empty
};
