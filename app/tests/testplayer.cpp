// An external audio player for the tests of the test-playback bar: a
// window that takes the WM_USER commands of the player protocol and writes
// each one, in the order it came, as a line of player.log beside itself.
// It answers the state (1 playing after a play, 0 stopped after a clear),
// the position (the last seek) and the length (in seconds, from the first
// line of player_length.txt beside itself, else 8).  A second instance
// hands over to the first and ends at once, as some players do.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char kClass[] = "WendrixTestPlayer";
std::string folder;
std::string name;  // the file name being spelled
LRESULT state = 0;
LRESULT position = 0;

void Log(const std::string& line) {
    std::ofstream(folder + "player.log", std::ios::app) << line << "\n";
}

LRESULT Length() {
    std::ifstream in(folder + "player_length.txt");
    long v = 8;
    if (in >> v) return v;
    return 8;
}

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER) {
        switch (lp) {
        case 100:
            if (wp == 0) {
                Log("add " + name);
                name.clear();
            } else {
                name += char(wp);
            }
            return 0;
        case 101:
            Log("101");
            state = 0;
            return 0;
        case 102:
            Log("102");
            state = 1;
            return 0;
        case 104:
            Log("104");
            return state;
        case 105:
            Log("105 " + std::to_string(wp));
            return wp == 1 ? Length() : position;
        case 106:
            Log("106 " + std::to_string(wp));
            position = LRESULT(wp);
            return 0;
        default:
            Log("? " + std::to_string(lp));
            return 0;
        }
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    folder = path;
    folder = folder.substr(0, folder.find_last_of('\\') + 1);
    if (FindWindowA(kClass, nullptr)) {
        Log("handed over");
        return 0;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    HWND w = CreateWindowA(kClass, "Test Player", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 900, 600, 240, 80, nullptr,
                           nullptr, inst, nullptr);
    if (!w) return 1;
    Log("started");
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}
