#include "settings/configform.h"

#include <memory>
#include <utility>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/ClassDrv.h"
#include "extraction/DriveScan.h"
#include "extraction/Transport.h"
#include "extraction/Win32Aspi.h"
#include "output/acmmgr32.h"
#include "output/gogotea.h"
#include "resources/msgids.h"
#include "settings/configfile.h"
#include "settings/configs_win.h"
#include "settings/profileini.h"

TConfigForm* ConfigDialog = nullptr;

namespace {

std::string ModuleFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    const std::size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

std::string CurrentFolder() {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

bool FileExists(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

const WAVEFORMATEX* AsFormat(const std::array<std::uint8_t, 256>& f) {
    return reinterpret_cast<const WAVEFORMATEX*>(f.data());
}

// Runs requests on the transport in use: ASPI through the main window's
// component, else the class driver with the selected drive's port key.
class TDialogExecutor : public wx::TSrbExecutor {
public:
    TDialogExecutor(wx::TWin32Aspi* aspi, const bool& poll, const std::int32_t& port)
        : aspi_(aspi ? std::make_unique<wx::TAspiExecutor>(*aspi, poll) : nullptr),
          dispatch_(UseAspi, aspi_.get(), port) {}
    void Exec(wx::SRB_ExecSCSICmd& srb) override { dispatch_.Exec(srb); }
    bool HaInquiry(wx::SRB_HAInquiry& ha) override { return dispatch_.HaInquiry(ha); }

private:
    std::unique_ptr<wx::TAspiExecutor> aspi_;
    wx::TTransportDispatch dispatch_;
};

// The lists' item texts in the language of the resources in effect.
void ItemTextsFromResources(TConfigStore& s) {
    const std::pair<TComboBinding*, int> lists[] = {{&s.ComboBox1, MSG_CFG_ITEM_READCMD},
                                                    {&s.SelReadMethod, MSG_CFG_ITEM_READMETHOD},
                                                    {&s.FileNameSelect, MSG_CFG_ITEM_FILENAME},
                                                    {&s.FolderNameSelect, MSG_CFG_ITEM_FOLDERNAME}};
    for (const auto& [list, first] : lists)
        for (std::size_t i = 0; i < list->Items.Count(); ++i) {
            const std::string t = wx::LoadResString(static_cast<UINT>(first) + static_cast<UINT>(i));
            if (!t.empty()) list->Items[i] = t;
        }
}

}  // namespace

TConfigForm::TConfigForm(wx::TComponent* owner, TConfigHost* host) : TForm(owner, "TCONFIGFORM"), Host(host) {
    SettingsFileName = ModuleFolder() + "\\wndrxn.ini";
    ConfigForm = &Store;
    ConfigDialog = this;
    ItemTextsFromResources(Store);
    InstallSystemDialogs();
    Logic.Text = [](int id) { return wx::LoadResString(static_cast<UINT>(id)); };
    Logic.Warn = [this](int id, const std::string& formatted) {
        const bool info = id == MSG_CFG_EXT_ADDED || id == MSG_CFG_EXT_DELETED;
        ShowMessage(id, formatted, info ? MB_OK | MB_ICONINFORMATION : 0);
    };
}

TConfigForm::~TConfigForm() {
    if (pane_) DeleteObject(pane_);
    if (ConfigForm == &Store) ConfigForm = nullptr;
    if (ConfigDialog == this) ConfigDialog = nullptr;
}

void TConfigForm::ShowMessage(int id, const std::string& formatted, unsigned flags) {
    const std::string text = formatted.empty() ? wx::LoadResString(static_cast<UINT>(id)) : formatted;
    wx::ShowMessageBox(text, flags ? flags : MB_OK | MB_ICONERROR, Handle());
}

wx::TSrbExecutor& TConfigForm::Executor() {
    wx::TWin32Aspi* aspi = HostRef().Aspi();
    if (!exec_ || execAspi_ != aspi) {
        exec_ = std::make_unique<TDialogExecutor>(aspi, Store.CheckBox15.Checked, selectedPort_);
        execAspi_ = aspi;
    }
    if (const TDeviceEntry* e = Store.SelectedDevice()) selectedPort_ = e->PortNumber;
    return *exec_;
}

bool TConfigForm::GetCfg() {
    TConfigHost& host = HostRef();
    TGetCfgEnvironment env;
    env.Settings.FileExists = FileExists;
    env.Settings.DirectoryExists = DirectoryExists;
    env.Settings.ProgramFolder = ModuleFolder();
    env.Settings.CurrentFolder = CurrentFolder();
    wx::TGogoTea* gogo = host.GogoEncoder();
    env.Settings.GogoAvailable = gogo != nullptr;
    env.Settings.GogoUnitStates = gogo ? gogo->UnitStates() : 0;
    env.Settings.JapaneseMode = wx::LoadResString(MSG_LANGUAGE) == "JAPANESE";
    env.AspiAdapterCount = host.Aspi() ? host.Aspi()->Adapters() : -1;
    env.ClassDriverScan = [] { return wx::ClassDrvEnumDevices(); };
    env.Wait = [](int ms) { Sleep(static_cast<DWORD>(ms)); };
    env.NoDriveInterface = [this] {
        StartUpFailed = true;
        ShowMessage(MSG_CFG_NO_DRIVE_INTERFACE, std::string());
        wx::Application.Terminate();
    };
    if (TAcmDrv* acm = host.AcmDrv()) {
        env.TestOutputFormat = [this, acm](const std::array<std::uint8_t, 256>& f) {
            return acm->Setup(AsFormat(Store.DefaultPcmFormat), f.data(), admAcmWave, true);
        };
    }
    env.FormatNames = [](const std::array<std::uint8_t, 256>& f, std::string& tag, std::string& body) {
        tag = TAcmDrv::GetFormatTagName(AsFormat(f)->wFormatTag, 256);
        body = TAcmDrv::GetFormatName(AsFormat(f));
    };
    TProfileIniFile ini(SettingsFileName);
    return ::GetCfg(Store, ini, env);
}

bool TConfigForm::StoreCfg() {
    TProfileIniFile ini(SettingsFileName);
    const bool ok = StoreSettings(Store, ini);
    return ini.UpdateFile() && ok;
}

void TConfigForm::SCSIDevSearch() {
    wx::TDeviceTable table;
    wx::TDriveScanner scanner(Executor());
    scanner.SCSIDevSearch(table, !UseAspi);
    Store.DeviceCount = table.DeviceCount;
    for (int i = 0; i < MaxDeviceEntries; ++i) Store.Devices[static_cast<std::size_t>(i)] = table.Devices[i];
    Store.ComboBox2.Items.Clear();
    for (const std::string& d : table.DriveList) Store.ComboBox2.Items.Add(d);
    Store.ComboBox2.SetItemIndex(table.Selected);
    if (table.ClearMscdex) Store.CheckBox14.Checked = false;
}

void TConfigForm::ComboBox2Change() {
    Store.ShowSelectedReadCommand();
    char buf[512];
    std::snprintf(buf, sizeof buf, wx::LoadResString(MSG_CFG_SELECTED_DRIVE).c_str(), Store.ComboBox2.Text().c_str());
    HostRef().SetStatusText(buf);
    ComboBox1Change();
    HostRef().RefreshTrackList();
}

void TConfigForm::ComboBox1Change() {
    HostRef().PlayStop();
    Logic.ReadCommandChosen(Store.ComboBox1.ItemIndex());
    if (TDeviceEntry* e = Store.SelectedDevice()) {
        wx::TDriveScanner scanner(Executor());
        e->IgnoreTargetStat = scanner.IsIgnoreTargetStat(e->Adapter, e->Target, e->Lun, UseAspi);
    }
}

void TConfigForm::SelReadMethodChange(bool silent) { Logic.SelReadMethodChange(silent); }

void TConfigForm::BitBtn1Click() {
    TConfigHost& host = HostRef();
    host.SetStatusText(Logic.MakeMP3StatusString());
    const int m = Store.SelOutputMethod.ItemIndex();
    host.SetEncodeButton(TConfigLogic::EncodeButtonImage(m), TConfigLogic::EncodeButtonCaption(m));
    host.CheckEncodeMenu(m);
    Store.AutoCDDBConnectApplied = Store.AutoCDDBConnect.Checked;
}

void TConfigForm::FormCreate(wx::TComponent*) {
    TConfigHost& host = HostRef();
    // 1, 2: the default PCM format is the store's; the help file.
    const std::string cur = CurrentFolder();
    HelpFile = cur.size() <= 3 ? cur + "Wendrix.HLP" : cur + "\\Wendrix.HLP";
    // 3
    WaveDevListFilled = false;
    Store.UseWaveDevice.clear();
    // 4
    if (!GetCfg()) {
        if (StartUpFailed) return;
        SCSIDevSearch();
    }
    // 5
    host.ResetPlayList();
    Store.ComboBox3.Items.Clear();
    // 6
    if (Store.DeviceCount > 0) ComboBox2Change();
    // 7
    if (IsWindowsNT) Store.CheckBox14.Enabled = false;
    // 8: the wave-out devices; the saved one by its exact name (the last
    // of equal names).
    Store.WaveDeviceNames.Clear();
    Store.WaveDeviceNames.Add("WAVE MAPPER");
    Store.WaveDeviceIndex = 0;
    const UINT n = waveOutGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        WAVEOUTCAPSA caps{};
        std::string name;
        if (waveOutGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR) name = caps.szPname;
        Store.WaveDeviceNames.Add(name);
        if (name == Store.UseWaveDevice) Store.WaveDeviceIndex = static_cast<std::int32_t>(i) + 1;
    }
    // 9
    SelReadMethodChange(true);
    // 10
    ReserveRipCacheBuffer(Store.MemUseRatio.Value());
    // 11
    BitBtn1Click();
    // 12
    host.RefreshTrackList();
}
