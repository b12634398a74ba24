#include "standins/mmcdrive/EmuConfig.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace wx::emu {

namespace {

std::string Resolve(const std::string& baseDir, const std::string& p) {
    if (p.empty()) return p;
    fs::path path(p);
    if (path.is_absolute() || baseDir.empty()) return p;
    return (fs::path(baseDir) / path).string();
}

std::vector<int> ParseList(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        long v;
        if (ParseNumber(item, v)) out.push_back(int(v));
    }
    return out;
}

}  // namespace

std::shared_ptr<Disc> LoadDiscImage(const std::string& cuePath, IniFile& sidecar, std::string& error) {
    sidecar.Load(cuePath + ".ini");
    auto disc = Disc::LoadCue(cuePath, ParseList(sidecar.Get("Disc", "SessionStarts")), error);
    if (!disc) return nullptr;
    if (sidecar.Has("Disc", "CdTextLanguage")) {
        disc->cdTextLanguage = std::uint8_t(sidecar.GetInt("Disc", "CdTextLanguage", 9));
        disc->BuildCdText();
    }
    return std::shared_ptr<Disc>(std::move(disc));
}

EmuSetup BuildSetup(const IniFile& ini, const std::string& baseDir, std::vector<std::string>& errors) {
    EmuSetup setup;
    long count = ini.GetInt("ASPI", "Adapters", 1);
    if (count < 0) count = 0;
    if (count > 8) count = 8;
    for (long a = 0; a < count; ++a) {
        std::string s = "Adapter" + std::to_string(a);
        HostAdapter ha;
        ha.scsiId = std::uint8_t(ini.GetInt(s, "ScsiId", ha.scsiId));
        ha.maxTargets = std::uint8_t(ini.GetInt(s, "MaxTargets", ha.maxTargets));
        ha.alignmentMask = std::uint16_t(ini.GetInt(s, "AlignmentMask", ha.alignmentMask));
        ha.identifier = ini.Get(s, "Identifier", ha.identifier);
        setup.adapters.push_back(ha);
    }
    setup.logPath = Resolve(baseDir, ini.Get("ASPI", "Log"));
    for (int d = 0; d < 32; ++d) {
        std::string s = "Drive" + std::to_string(d);
        if (!ini.HasSection(s)) continue;
        Unit u;
        u.adapter = int(ini.GetInt(s, "Adapter", 0));
        u.target = int(ini.GetInt(s, "Target", d + 1));
        IniFile sidecar;
        std::shared_ptr<Disc> disc;
        std::string image = Resolve(baseDir, ini.Get(s, "Image"));
        if (!image.empty()) {
            std::string err;
            disc = LoadDiscImage(image, sidecar, err);
            if (!disc) errors.push_back(s + ": " + err);
        }
        Personality p;
        ApplyPersonalityKeys(sidecar, "Drive", p);
        ApplyPersonalityKeys(ini, s, p);
        auto drive = std::make_shared<MmcDrive>(p);
        ApplyFaultKeys(sidecar, "Faults", drive->faults());
        ApplyFaultKeys(ini, s, drive->faults());
        drive->Load(disc);
        u.drive = drive;
        u.latencyMs = int(ini.GetInt(s, "Latency", 0));
        u.readLatencyMs = int(ini.GetInt(s, "ReadLatency", 0));
        std::istringstream hang(ini.Get(s, "Hang"));
        std::string item;
        while (std::getline(hang, item, ',')) {
            long v;
            if (Lower(Trim(item)) == "reset") u.hangOpcodes.insert(0x100);
            else if (ParseNumber(item, v)) u.hangOpcodes.insert(int(v));
        }
        u.hangCount = int(ini.GetInt(s, "HangCount", 0));
        u.reorder = int(ini.GetInt(s, "Reorder", 0));
        u.reorderHoldMs = int(ini.GetInt(s, "ReorderHold", u.reorderHoldMs));
        setup.units.push_back(u);
    }
    return setup;
}

EmuSetup DefaultSetup(const std::string& imagePath, std::vector<std::string>& errors) {
    IniFile ini;
    ini.Parse("[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nPersonality=plextor\n");
    EmuSetup setup = BuildSetup(ini, "", errors);
    IniFile sidecar;
    std::string err;
    auto disc = LoadDiscImage(imagePath, sidecar, err);
    if (!disc) errors.push_back(err);
    setup.units[0].drive->Load(disc);
    return setup;
}

}  // namespace wx::emu
