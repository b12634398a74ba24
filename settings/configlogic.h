// The behaviour of the settings dialog's pages on the store's bindings:
// enabling rules, the read-method rules with their warnings, the read
// command of the selected drive, the extension list, the encoder pages and
// the one-line description of the output.  The dialog window only shows the
// bindings and forwards the user's changes here.  Portable: no <windows.h>;
// messages come back as message numbers (msgids.h) for the caller to show.
#pragma once
#include <functional>
#include <string>

#include "settings/configstore.h"
#include "settings/mainkeys.h"

// Enabling of the dialog's labels and buttons that hold no setting.
struct TConfigExtras {
    bool Label9 = true;        // "外部エンコーダ" label of ProgramEdit
    bool Label16 = true;       // label of OptionEdit
    bool Label17 = true;       // bitrate label
    bool LayerLabel = true;    // "出力形式"
    bool Button3 = true;       // encoder picker
    bool GogoSetting = false;  // "午後のこ～だDLLの詳細設定"
};

class TConfigLogic {
public:
    TConfigLogic(TConfigStore& store, TConfigExtras& extras) : s(store), x(extras) {}

    // A message to show: its number and, for patterns, the formatted text.
    std::function<void(int id, const std::string& formatted)> Warn;
    // A text of the message table (pattern or plain) by number.
    std::function<std::string(int id)> Text;

    // ---- Page 1 ----
    void CheckBox2Click();   // SpinEdit2 follows CheckBox2
    void CheckBox10Click();  // SpinEdit3 follows CheckBox10
    void CheckBox14Click();  // MSCDEX lowers the ReadBlock maximum on Windows 9x
    // A read command chosen for the selected drive (kept in its entry);
    // PIONEER with one-pass correction turns into two-pass correction.
    void ReadCommandChosen(int kind);

    // ---- Page 2 ----
    // The read method was changed to the method now selected.  silent: the
    // start-up's run, which resets without warning.
    void SelReadMethodChange(bool silent);
    // ReadMethod1..3 clicked: the flag of the selected method.
    void ReadMethodClick(int k);
    void ShowMethodOptions();
    // The ripping page is shown: burst read is dropped where it cannot run.
    void TabSheet2Show();

    // ---- Page 4 ----
    // gogoPresent/versionCode: the GOGO encoder object and its version.
    void UseL3EncClick(bool gogoPresent, unsigned versionCode);
    void UseOriginalOptionClick();
    void SelL3CmdClick();
    // The one-line description of the output.
    std::string MakeMP3StatusString() const;

    // ---- Page 6 ----
    // Typed text added to the extension list (filter and ExtList).  True
    // when it was added.
    bool AddExt(TFilerExtFilter& filter, const std::string& typed);
    // The selected entry removed from the filter and the list.
    bool DelExt(TFilerExtFilter& filter, int index);

    // The encode button of the main window: image 8 and "WAVE" for WAV
    // output, else image 7 and the method's name.
    static int EncodeButtonImage(int outputMethod) { return outputMethod == omWave ? 8 : 7; }
    static std::string EncodeButtonCaption(int outputMethod);

private:
    TConfigStore& s;
    TConfigExtras& x;
    void Say(int id, const std::string& formatted = std::string()) const {
        if (Warn) Warn(id, formatted);
    }
    std::string T(int id) const { return Text ? Text(id) : std::string(); }
};

// The extension as registered: "." + upper case when the dot is missing.
std::string NormalizeExtension(const std::string& typed);
