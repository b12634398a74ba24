// The settings dialog TConfigForm: the window over the settings store of
// the run, created once at program start (after the main window) and kept
// until exit.  Its start-up (FormCreate, called by the main window's first
// show) loads every setting (GetCfg), detects the drives and reserves the
// rip memory block; StoreCfg (called by the main window's close) writes
// every setting.  Windows only.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/form.h"
#include "settings/configlogic.h"
#include "settings/configstore.h"
#include "settings/mainkeys.h"

class TAcmDrv;
namespace wx {
class TWin32Aspi;
class TGogoTea;
class TSrbExecutor;
}  // namespace wx

// What the settings dialog asks of the main window.  The main window
// implements what it has; every call has a harmless default.
class TConfigHost {
public:
    virtual ~TConfigHost() = default;
    virtual wx::TWin32Aspi* Aspi() { return nullptr; }
    virtual TAcmDrv* AcmDrv() { return nullptr; }
    virtual wx::TGogoTea* GogoEncoder() { return nullptr; }
    // Status bar panel 0.
    virtual void SetStatusText(const std::string&) {}
    // The compression button (image, caption) and the checked item of the
    // output-method menu.
    virtual void SetEncodeButton(int /*image*/, const std::string& /*caption*/) {}
    virtual void CheckEncodeMenu(int /*outputMethod*/) {}
    // Re-reads the table of contents of the selected drive.
    virtual void RefreshTrackList() {}
    // Stops analog play on every drive.
    virtual void PlayStop() {}
    // Stops a running test playback.
    virtual void StopTestPlayback() {}
    // Re-lists the file list (the extension filter changed).
    virtual void RefreshFileList() {}
    // Selects the first item of the test-playback bar's list.
    virtual void ResetPlayList() {}
    // The drive bar shows CD drives (the main window's flag, saved as
    // [Filer] IsDispCDROM).
    virtual bool DispCDROM() { return MainWindowKeys.IsDispCDROM; }
    virtual void SetDispCDROM(bool on) { MainWindowKeys.IsDispCDROM = on; }
};

class TConfigForm : public wx::TForm {
public:
    // Sets ConfigForm (the store of the run) and ConfigDialog.
    explicit TConfigForm(wx::TComponent* owner, TConfigHost* host = nullptr);
    ~TConfigForm() override;

    TConfigStore Store;
    TConfigExtras Extras;
    TConfigLogic Logic{Store, Extras};
    TConfigHost* Host;
    TConfigHost& HostRef() { return Host ? *Host : defaultHost_; }

    // The settings file: the program's folder followed by "\wndrxn.ini".
    std::string SettingsFileName;
    // The help file: the current folder followed by "\Wendrix.HLP".
    std::string HelpFile;
    bool WaveDevListFilled = false;
    // Set when the start-up found no drive interface and ended the run.
    bool StartUpFailed = false;

    // The store's start-up, called once by the main window's first show.
    void FormCreate(wx::TComponent* sender);
    // Loads every setting; false asks for a drive rescan.
    bool GetCfg();
    // Writes every setting (one open of the file for the whole store).
    // False when the file could not be written.
    bool StoreCfg();

    // Drive page (rescan, drive and read-command choice).
    void SCSIDevSearch();
    void ComboBox2Change();
    void ComboBox1Change();
    // Apply (the OK button): status line, compression button, CDDB flag.
    void BitBtn1Click();
    // The read method changed; silent at start-up.
    void SelReadMethodChange(bool silent);
    // Shows a message of the message table (error box unless flags say).
    void ShowMessage(int id, const std::string& formatted, unsigned flags = 0);

    // ---- The dialog window ----------------------------------------------
    // Shows the page (0..5) and runs what showing it does.
    void ShowPage(int page);
    int ActivePage() const { return page_; }
    // Help context of the page shown.
    int HelpContext() const;
    // Copies the store into the controls (every value and enabling).
    void Pull();
    void BitBtn5Click();
    void CheckBox21Click();
    void DispDriveBtnClick();
    void Button1Click();  // work folder
    void Button2Click();  // ACM output format
    void Button3Click();  // external encoder
    void Button4Click();  // player
    void Button5Click();  // editor
    void Button6Click();  // genre display
    void Button8Click();  // album folder
    void GogoSettingClick();
    void AddExtClick();
    void DelExtClick();
    void BitBtn2Click();  // help
    // False (after the error) when the edit names a program that does not exist.
    bool ProgramEditExit(int id);

    // System dialogs, replaceable by tests.  PickFolder: the chosen folder
    // or empty; PickFile: the chosen file or empty; ChooseFormat: true when
    // the format was chosen.
    std::function<std::string(const std::string& title, const std::string& initial)> PickFolder;
    std::function<std::string(const std::string& title, const std::string& filter, const std::string& defExt)>
        PickFile;
    std::function<bool(std::array<std::uint8_t, 256>& format)> ChooseFormat;
    // The system's folder picker, open dialog and ACM format chooser.
    void InstallSystemDialogs();

protected:
    void FormCreate() override;
    void FormShow() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // One control bound to a binding of the store.
    struct TViewItem {
        enum Kind { Check, Spin, Track, Combo, Radios, Edit, Label, Enable } kind;
        int id;
        void* binding = nullptr;
        int count = 0;                      // radio buttons of a group
        std::function<std::string()> text;  // Label
        std::function<bool()> enabled;      // Label, Enable
    };
    void BuildView();
    void Push(const TViewItem& item);
    void Changed(int id);
    void Leave();  // OK, Escape: apply and close
    std::vector<TViewItem> items_;
    int page_ = 0;
    bool pulling_ = false;
    HBRUSH pane_ = nullptr;

    wx::TSrbExecutor& Executor();
    TConfigHost defaultHost_;
    std::int32_t selectedPort_ = 0;
    std::unique_ptr<wx::TSrbExecutor> exec_;
    wx::TWin32Aspi* execAspi_ = nullptr;
};

// The dialog of the run (null before it is created).
extern TConfigForm* ConfigDialog;
