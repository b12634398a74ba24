// Test support for the Windows transport tests: a disc image and an INI
// configuration for the WNASPI32.DLL stand-in, pointed at through the
// environment, and the stand-in's request log read back.
#pragma once
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "standins/tests/TestImage.h"

namespace wx::test {

class StandinSetup {
public:
    // driveKeys go into [Drive0] (Adapter 0, Target 1); extra is appended.
    explicit StandinSetup(const std::string& driveKeys = "", const std::string& extra = "",
                          const std::string& aspiKeys = "Adapters=1\n") {
        testimg::WriteBin(dir.File("disc.bin"), 1800);
        testimg::WriteText(dir.File("disc.cue"),
                           "TITLE \"Standin Album\"\nFILE \"disc.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                           "  TRACK 02 AUDIO\n    FLAGS PRE\n    INDEX 01 00:08:00\n"
                           "  TRACK 03 AUDIO\n    FLAGS DCP\n    INDEX 01 00:16:00\n");
        config = dir.File("wnaspi32.ini");
        log = dir.File("requests.log");
        testimg::WriteText(config, "[ASPI]\n" + aspiKeys + "\n[Drive0]\nAdapter=0\nTarget=1\nImage=disc.cue\n" +
                                       driveKeys + "\n" + extra);
        SetEnvironmentVariableA("WX_ASPI_CONFIG", config.c_str());
        SetEnvironmentVariableA("WX_ASPI_LOG", log.c_str());
    }
    ~StandinSetup() {
        SetEnvironmentVariableA("WX_ASPI_CONFIG", nullptr);
        SetEnvironmentVariableA("WX_ASPI_LOG", nullptr);
    }
    std::vector<std::string> LogLines() const {
        std::ifstream in(log);
        std::vector<std::string> out;
        std::string l;
        while (std::getline(in, l))
            if (!l.empty() && l[0] != '#') out.push_back(l);
        return out;
    }
    // Log lines that contain every one of the given pieces.
    std::vector<std::string> Find(std::initializer_list<std::string> pieces) const {
        std::vector<std::string> out;
        for (auto& l : LogLines()) {
            bool all = true;
            for (auto& p : pieces) all = all && l.find(p) != std::string::npos;
            if (all) out.push_back(l);
        }
        return out;
    }
    void ClearLog() const { std::ofstream(log, std::ios::trunc); }

    testimg::TempDir dir;
    std::string config, log;
};

}  // namespace wx::test
