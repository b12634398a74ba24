// The main window's link to the settings store: the store of the run, its
// start-up at the first show and its save at close.
#include <memory>

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/ClassDrv.h"
#include "extraction/Win32Aspi.h"
#include "resources/msgids.h"
#include "settings/configfile.h"
#include "settings/configs_win.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {
std::unique_ptr<TConfigStore> store;

std::string ProgramFolder() {
    const std::size_t slash = SettingsFileName.find_last_of('\\');
    return slash == std::string::npos ? std::string() : SettingsFileName.substr(0, slash);
}
}  // namespace

void CreateConfigForm() {
    store = std::make_unique<TConfigStore>();
    ConfigForm = store.get();
}

void FreeConfigForm() {
    FreeRipCacheBuffer();
    ConfigForm = nullptr;
    store.reset();
}

void TForm1::ConfigStartUp() {
    TConfigStore& s = *ConfigForm;
    TProfileIniFile ini(SettingsFileName);
    TSettingsEnvironment env;
    env.FileExists = [](const std::string& f) {
        const DWORD a = GetFileAttributesA(f.c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    };
    env.DirectoryExists = [](const std::string& f) {
        const DWORD a = GetFileAttributesA(f.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    };
    env.ProgramFolder = ProgramFolder();
    char cur[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(cur), cur);
    env.CurrentFolder = cur;
    env.GogoAvailable = GogoEncoder != nullptr;
    env.JapaneseMode = JapaneseMode;
    LoadSettings(s, ini, env);
    const int adapters = Win32Aspi1 ? Win32Aspi1->Adapters() : -1;
    // (The end of the start when neither drive interface can be used is the
    // settings store's own.)
    DecideDriveMode(s, adapters, [] { return wx::ClassDrvEnumDevices(); });
    LoadDeviceTable(s, ini, UseAspi);
    ReserveRipCacheBuffer(s.MemUseRatio.Value());
    ApplySettings();
    RefreshTrackList();
}

void TForm1::ConfigStore() {
    TProfileIniFile ini(SettingsFileName);
    StoreSettings(*ConfigForm, ini);
    StoreDeviceTable(*ConfigForm, ini);
    StoreWinCfg(ini);
    ini.UpdateFile();
}

void TForm1::ApplySettings() {
    if (!ConfigForm) return;
    const int method = ConfigForm->SelOutputMethod.ItemIndex();
    static const char* const captions[] = {"WAVE", "WMT", "MP3", "TwinVQ"};
    SetToolExtEncodeImage();
    if (method >= 0 && method < 4) {
        TBBUTTONINFOA bi{};
        bi.cbSize = sizeof(bi);
        bi.dwMask = TBIF_TEXT;
        bi.pszText = const_cast<char*>(captions[method]);
        SendMessageA(ToolBar2.Handle(), TB_SETBUTTONINFOA, IDT_TOOLEXTENCODE, reinterpret_cast<LPARAM>(&bi));
        wx::TMenu(EncodeMenu).SetRadio(IDM_WAVEOUT, IDM_VQFOUT, static_cast<UINT>(IDM_WAVEOUT + method));
    }
    ConfigForm->AutoCDDBConnectApplied = ConfigForm->AutoCDDBConnect.Checked;
}

void TForm1::ShowConfigDialog() {}

}  // namespace wendrix
