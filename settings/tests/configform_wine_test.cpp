// The store's start-up and close under Wine through the real profile
// functions, the WNASPI32.DLL stand-in and the output driver: a file with a
// non-default value in every section keeps every key, and the end without
// any drive interface.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/Win32Aspi.h"
#include "extraction/tests/StandinSetup.h"
#include "output/acmmgr32.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "settings/configform.h"
#include "settings/configs_win.h"
#include "settings/inifile.h"
#include "settings/profileini.h"
#include "settings/tests/fullsettings.h"

namespace {

class TestHost : public TConfigHost {
public:
    wx::TWin32Aspi* aspi = nullptr;
    TAcmDrv* acm = nullptr;
    std::vector<std::string> status;
    int trackListRefreshes = 0;
    wx::TWin32Aspi* Aspi() override { return aspi; }
    TAcmDrv* AcmDrv() override { return acm; }
    void SetStatusText(const std::string& t) override { status.push_back(t); }
    void RefreshTrackList() override { ++trackListRefreshes; }
};

void ResetGlobals() {
    ResetGenreSettings();
    MainWindowKeys = TMainWindowKeys{};
    FilerExtFilter = TFilerExtFilter{};
    AutoRefresh = true;
}

}  // namespace

TEST(ConfigFormWine, StartAndCloseKeepEveryKey) {
    ResetGlobals();
    wx::test::StandinSetup standin;  // one drive at adapter 0, target 1
    const std::string root = standin.dir.File("");
    const std::string text = FullSettingsText(MakeFullSettingsPaths(root));
    const std::string file = root + "wndrxn.ini";
    std::ofstream(file, std::ios::binary) << text;

    wx::TWin32Aspi aspi(nullptr);
    ASSERT_EQ(aspi.Adapters(), 1);
    TAcmDrv acm;
    TestHost host;
    host.aspi = &aspi;
    host.acm = &acm;
    wx::TScriptedPrompter prompter;
    wx::TPrompterGuard guard(prompter);
    {
        TConfigForm form(nullptr, &host);
        form.SettingsFileName = file;
        ASSERT_EQ(ConfigForm, &form.Store);
        form.FormCreate(nullptr);
        EXPECT_TRUE(prompter.Messages.empty()) << prompter.Messages[0].text;
        EXPECT_FALSE(form.StartUpFailed);
        EXPECT_EQ(form.Store.DeviceCount, 2);  // loaded, not rescanned
        EXPECT_EQ(form.Store.ComboBox2.ItemIndex(), 1);
        EXPECT_EQ(form.Store.ComboBox1.ItemIndex(), rcExtend);
        EXPECT_EQ(form.Store.SelReadMethod.ItemIndex(), rm2PassZitterRead);
        EXPECT_EQ(form.Store.OutputWaveFormat[4], 0x22);  // 22050 Hz converts: kept
        EXPECT_GE(host.trackListRefreshes, 1);
        ASSERT_FALSE(host.status.empty());
        EXPECT_EQ(host.status.back().substr(0, 3), "WMA");
        ASSERT_TRUE(form.StoreCfg());
    }
    TMemIniFile original;
    original.SetText(text);
    TProfileIniFile stored(file);
    for (const std::string& sec : SectionsOf(text)) {
        wx::TStringList keys;
        original.ReadSection(sec, keys);
        for (const std::string& k : keys)
            EXPECT_EQ(stored.ReadString(sec, k, "<absent>"), original.ReadString(sec, k, "<absent>"))
                << "[" << sec << "] " << k;
    }
    FreeRipCacheBuffer();
    ResetGlobals();
}

TEST(ConfigFormWine, NoDriveInterfaceEndsTheStartUp) {
    ResetGlobals();
    wx::test::StandinSetup standin;
    const std::string file = standin.dir.File("wndrxn.ini");
    std::ofstream(file) << "[Common]\nUseClassDriver=Yes\n[DEVICES_0]\nAdapter=0\nTarget=1\n";
    TestHost host;  // no ASPI library
    wx::TScriptedPrompter prompter;
    wx::TPrompterGuard guard(prompter);
    TConfigForm form(nullptr, &host);
    form.SettingsFileName = file;
    form.FormCreate(nullptr);
    EXPECT_TRUE(form.StartUpFailed);
    ASSERT_EQ(prompter.Messages.size(), 1u);
    EXPECT_EQ(prompter.Messages[0].text, wx::LoadResString(MSG_CFG_NO_DRIVE_INTERFACE));
    EXPECT_EQ(prompter.Messages[0].text.substr(0, 4), "ASPI");
    EXPECT_EQ(form.Store.DeviceCount, 0);
    EXPECT_TRUE(wx::Application.Terminated());
    ResetGlobals();
}
