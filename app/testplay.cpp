#include "app/testplay.h"

#include <cstdio>

namespace wendrix {

int SliderPercent(int position, int maximum) {
    if (maximum <= 0) return 0;
    return int(std::int64_t(position) * 100 / maximum);
}

std::string PlayTimeText(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d", int(ms / 60000), int((ms % 60000) / 1000));
    return text;
}

int ExternalPlayerMode(std::intptr_t state) {
    switch (state) {
    case 0: return 1;
    case 1: return 2;
    case 3: return 5;
    default: return 0;
    }
}

bool PlaysInMediaPlayer(const std::string& path, bool useMediaPlayer) {
    if (useMediaPlayer) return true;
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext == ".WAV";
}

}  // namespace wendrix
