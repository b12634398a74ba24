// Writes a settings file from a store filled with awkward values, for the
// outside check by Python's configparser (check_ini_configparser.py).
// Usage: write_settings_sample FILE
#include <cstdio>
#include <string>

#include "output/mp3defs.h"
#include "settings/configfile.h"
#ifdef _WIN32
#include "settings/profileini.h"
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_settings_sample FILE\n");
        return 2;
    }
    std::remove(argv[1]);
    TConfigStore s;
    s.FileNameSelect.SetItemIndex(0);
    s.FilenameEdit.Text = "%.02N_%T";
    s.FoldernameEdit.Text = "\x83\x5C\x95\x5C\\%R";                 // ソ表\%R
    s.WEdit1.Text = "C:\\\x8D\xEC\x8B\xC6\\";                        // C:\作業\ .
    s.CurrentDirEdit.Text = "D:\\\x89\xB9\x8Ay";                      // D:\音楽
    s.ProgramEdit.Text = "C:\\Program Files\\lame.exe";
    s.OptionEdit.Text = "  -V 2 --tt \"%T\"\r\n[Common]\r\nReadBlock=1";  // blanks, quotes, line breaks
    s.UseWaveDevice = "\"";                                            // a lone quote
    s.SpinEdit1.SetValue(26);
    s.SetWaitTime(-4);
    s.SpinEdit3.SetValue(-4);
    s.DeviceCount = 2;
    s.Devices[0].Adapter = 1;
    s.Devices[0].Target = 3;
    s.Devices[0].DeviceName = "PLEXTOR CD-R   PX-W1210A";
    s.Devices[1].ClassDrvInfo = true;
    s.Devices[1].PortNumber = 0x10044;
    s.Devices[1].DriveMaker = rcUnknownMake;  // written as PLEXTOR
    s.ComboBox2.Items.Add("a");
    s.ComboBox2.Items.Add("b");
    s.ComboBox2.SetItemIndex(1);
    UserGenreNames[150] = "\x83\x8D\x83\x62\x83\x4E";                 // ロック
    UserGenreNames[151] = "50% off";
#ifdef _WIN32
    char full[4096];
    if (!_fullpath(full, argv[1], sizeof full)) return 1;
    TProfileIniFile ini(full);
    StoreSettings(s, ini);
    ini.UpdateFile();
#else
    TMemIniFile ini(argv[1]);
    StoreSettings(s, ini);
    ini.UpdateFile();
#endif
    return 0;
}
