#include "app/wincfg.h"

std::string HelpFilePath(const std::string& currentDir) {
    return currentDir.size() < 4 ? currentDir + "Wendrix.HLP" : currentDir + "\\Wendrix.HLP";
}

int ToggleOutputMethod(int outputMethod, int defEncode) {
    if (outputMethod != 0) return 0;
    switch (defEncode) {
    case 0: return 1;  // WMA
    case 1: return 2;  // MP3
    case 2: return 3;  // TwinVQ
    default: return 0;
    }
}
