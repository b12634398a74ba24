// Driven by settings_e2e.sh: the settings of the real program as a user
// meets them.  Each test starts wendrix.exe in the prepared folder with a
// settings file of its own, works the windows and closes the program; it
// leaves the file the program stored beside the file it expects
// (NAME_stored.ini, NAME_expected.ini), and the script compares the two
// with Python's configparser afterwards.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe with its stand-in libraries and the demo disc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/tests/guidriver.h"
#include "resources/wendrixn.h"
#include "settings/tests/fullsettings.h"

using namespace guidriver;

namespace {

std::string Dir() {
    const char* d = std::getenv("WX_E2E_DIR");
    return d ? d : "";
}
std::string AppDir() { return Dir() + "\\app"; }
std::string Shots() { return Dir() + "\\shots"; }
std::string IniFile() { return AppDir() + "\\wndrxn.ini"; }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Folders and programs the settings name, made to exist so that loading
// keeps them.
TFullSettingsPaths Paths() {
    TFullSettingsPaths p{Dir() + "\\work\\", Dir() + "\\albums", Dir() + "\\boot\\", Dir() + "\\play.exe",
                         Dir() + "\\edit.exe"};
    for (const char* d : {"\\work", "\\albums", "\\boot"}) CreateDirectoryA((Dir() + d).c_str(), nullptr);
    WriteText(p.Player, "x");
    WriteText(p.Editor, "x");
    return p;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto p = text.find(from);
    if (p != std::string::npos) text.replace(p, from.size(), to);
    return text;
}

class SettingsE2E : public ::testing::Test {
protected:
    void StartProgram(const std::string& settings) {
        WriteText(IniFile(), settings);
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        process = prog.pi.hProcess;
        // The start-up ends with the selected drive's track list.
        HWND list = FindChild(prog.Main, IDC_TRACKLIST);
        ASSERT_NE(list, nullptr);
        for (int t = 0; t < 10000 && ListCount(list) != 4; t += 50) Sleep(50);
        EXPECT_EQ(ListCount(list), 4) << "the demo disc is not listed";
        for (HWND d : Dialogs(prog.pi.dwProcessId))
            if (d != prog.Main) ADD_FAILURE() << "a window at start: " << Utf8(WindowText(d)) << " " << Utf8(BoxText(d));
    }
    // Closes the main window as a user does and keeps the stored file.
    void CloseProgram(const std::string& name) {
        PostMessageA(prog.Main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(prog.Ended(20000)) << "the program did not end";
        CopyFileA(IniFile().c_str(), (Dir() + "\\" + name + "_stored.ini").c_str(), FALSE);
    }
    void TearDown() override {
        if (!prog.Ended(0) && prog.Main && IsWindow(prog.Main)) {
            PostMessageA(prog.Main, WM_CLOSE, 0, 0);
            prog.Ended(20000);
        }
    }

    TProgram prog;
    HANDLE process = nullptr;
};

}  // namespace

// A file with a value other than the default in every section, the main
// window's geometry, the file manager's filter and a device table whose
// unselected drive has its own read command: a start and a close keep
// every key.  MaxRetry is stored as 10 whatever was loaded, so the file
// starts with another value there to show that the close stored.
TEST_F(SettingsE2E, StartAndCloseKeepEveryKey) {
    const std::string text = FullSettingsText(Paths());
    WriteText(Dir() + "\\roundtrip_expected.ini", text);
    StartProgram(Replace(text, "MaxRetry=10", "MaxRetry=7"));
    Screenshot(Shots(), "settings_startup", prog.Main);
    // The loaded values are in effect, not only carried along.
    RECT r{};
    GetWindowRect(prog.Main, &r);
    EXPECT_EQ(r.left, -20);
    EXPECT_EQ(r.top, 33);
    EXPECT_EQ(r.right - r.left, 777);
    EXPECT_EQ(r.bottom - r.top, 555);
    EXPECT_EQ(StatusText(process, FindChild(prog.Main, IDC_STATUSBAR1), 0).substr(0, 3), "WMA");
    CloseProgram("roundtrip");
}
