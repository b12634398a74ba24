// The in-memory settings file against the system's profile functions: the
// same script run on both must give the same answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "settings/inifile.h"
#include "settings/profileini.h"
#include "settings/tests/iniscript.h"

namespace {

std::string TempIniPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

}  // namespace

TEST(ProfileIniDifferential, SameAnswersAsTheProfileFunctions) {
    const std::string path = TempIniPath("wx_diff_test.ini");
    WriteFileBytes(path, IniScriptText);
    std::vector<std::string> sys;
    {
        TProfileIniFile ini(path);
        sys = RunIniScript(ini);
    }
    TMemIniFile mem;
    mem.SetText(IniScriptText);
    const std::vector<std::string> own = RunIniScript(mem);
    ASSERT_EQ(sys.size(), own.size());
    for (std::size_t i = 0; i < sys.size(); ++i) EXPECT_EQ(own[i], sys[i]) << "step " << i;
    if (getenv("WX_SHOW_LOG"))
        for (auto& l : sys) printf("%s\n", l.c_str());

    // Each reads the file the other wrote: every key the writer lists reads
    // the same through the reader.
    auto sameValues = [](TCustomIniFile& writer, TCustomIniFile& reader, const char* what) {
        for (const char* sec : {"Common", "Filer", "Genre", "New Section"}) {
            wx::TStringList keys;
            writer.ReadSection(sec, keys);
            wx::TStringList readerKeys;
            reader.ReadSection(sec, readerKeys);
            EXPECT_EQ(readerKeys.Text(), keys.Text()) << what << " " << sec;
            for (const auto& k : keys)
                EXPECT_EQ(reader.ReadString(sec, k, "<def>"), writer.ReadString(sec, k, "<def>"))
                    << what << " " << sec << "/" << k;
        }
    };
    {
        TProfileIniFile sysIni(path);
        TMemIniFile fromSys(path);
        sameValues(sysIni, fromSys, "system-written file");
    }
    const std::string memPath = TempIniPath("wx_diff_mem.ini");
    ASSERT_TRUE(mem.SaveToFile(memPath));
    {
        TProfileIniFile memRead(memPath);
        sameValues(mem, memRead, "own-written file");
    }
    DeleteFileA(path.c_str());
    DeleteFileA(memPath.c_str());
}

TEST(ProfileIniDifferential, LongValuesAndLongKeyListsAreNotCut) {
    const std::string path = TempIniPath("wx_diff_long.ini");
    DeleteFileA(path.c_str());
    const std::string longValue(5000, 'x');
    {
        TProfileIniFile ini(path);
        ini.WriteString("S", "Long", longValue);
        for (int i = 0; i < 300; ++i) ini.WriteInteger("S", "Key" + std::to_string(i), i);
        EXPECT_EQ(ini.ReadString("S", "Long", ""), longValue);
        wx::TStringList keys;
        ini.ReadSection("S", keys);
        ASSERT_EQ(keys.Count(), 301u);
        EXPECT_EQ(keys[300], "Key299");
        EXPECT_EQ(ini.ReadInteger("S", "Key299", -1), 299);
    }
    TMemIniFile mem(path);
    EXPECT_EQ(mem.ReadString("S", "Long", ""), longValue);
    EXPECT_EQ(mem.ReadInteger("S", "Key150", -1), 150);
    DeleteFileA(path.c_str());
}

TEST(ProfileIniDifferential, RandomValuesReadTheSameThroughBoth) {
    // Valid code page 932 text only: the system converts the file through
    // Unicode, so byte sequences that are no characters cannot survive it.
    std::mt19937 rng(32);
    const std::vector<std::string> pieces = {" ", "\t", "\r", "\n", "\"", "'", "=", "[", "]", ";", "\\", "%", "a",
                                             "Z", "0", "\x83\x5C", "\x95\x5C", "\x82\xA0", "\x81\x40", "\xB1",
                                             "\xDF", "\x88\x9F", "\x83\x7C"};
    const std::string path = TempIniPath("wx_diff_random.ini");
    DeleteFileA(path.c_str());
    std::vector<std::string> values;
    {
        TProfileIniFile ini(path);
        for (int i = 0; i < 400; ++i) {
            std::string v;
            const int len = static_cast<int>(rng() % 10);
            for (int k = 0; k < len; ++k) v += pieces[rng() % pieces.size()];
            values.push_back(v);
            ini.WriteString("Random", "k" + std::to_string(i), v);
        }
    }
    TProfileIniFile sys(path);
    TMemIniFile mem(path);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string want = values[i];
        for (char& c : want)
            if (c == '\r' || c == '\n') c = ' ';
        const std::string key = "k" + std::to_string(i);
        ASSERT_EQ(sys.ReadString("Random", key, "<def>"), want) << i;
        ASSERT_EQ(mem.ReadString("Random", key, "<def>"), want) << i;
    }
    DeleteFileA(path.c_str());
}

TEST(ProfileIniFailures, ARefusedWriteIsReportedAndEndsTheErasure) {
    const std::string path = TempIniPath("wx_locked.ini");
    WriteFileBytes(path, "[Filer]\r\nA=1\r\n[Filer]\r\nB=2\r\n");
    // Another process holding the file with read sharing only: the system
    // can read it but not write it.
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        TProfileIniFile ini(path);
        EXPECT_EQ(ini.ReadString("Filer", "A", ""), "1");
        ini.DeleteKey("Filer", "Missing");  // nothing to delete: no failure
        EXPECT_FALSE(ini.WriteFailed());
        ini.WriteString("Filer", "C", "3");
        EXPECT_TRUE(ini.WriteFailed());
        ini.EraseSection("Filer");  // refused: ends at once
        EXPECT_FALSE(ini.UpdateFile());
    }
    CloseHandle(lock);
    TMemIniFile mem(path);
    EXPECT_EQ(mem.ReadString("Filer", "A", ""), "1");
    EXPECT_FALSE(mem.ValueExists("Filer", "C"));
    DeleteFileA(path.c_str());

    // A folder that does not exist cannot take the file either.
    TProfileIniFile nowhere(TempIniPath("no_such_folder\\wndrxn.ini"));
    nowhere.WriteInteger("Common", "ReadBlock", 10);
    EXPECT_TRUE(nowhere.WriteFailed());
}
