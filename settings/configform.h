// The settings dialog TConfigForm: the window over the settings store of
// the run, created once at program start (after the main window) and kept
// until exit.  Its start-up (FormCreate, called by the main window's first
// show) loads every setting (GetCfg), detects the drives and reserves the
// rip memory block; StoreCfg (called by the main window's close) writes
// every setting.  Windows only.
#pragma once
#include <memory>
#include <string>

#include "classlib/form.h"
#include "settings/configlogic.h"
#include "settings/configstore.h"

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

protected:
    void FormCreate() override {}

private:
    wx::TSrbExecutor& Executor();
    TConfigHost defaultHost_;
    std::int32_t selectedPort_ = 0;
    std::unique_ptr<wx::TSrbExecutor> exec_;
    wx::TWin32Aspi* execAspi_ = nullptr;
};

// The dialog of the run (null before it is created).
extern TConfigForm* ConfigDialog;
