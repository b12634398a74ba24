// Runs requests straight on the ASPI emulator (no DLL, no Windows), waiting
// by polling as the polled transport does.
#pragma once
#include <atomic>
#include <chrono>
#include <thread>

#include "extraction/DriveCmds.h"
#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/mmcdrive/EmuConfig.h"
#include "standins/tests/TestImage.h"

namespace wx::test {

class EmuExecutor : public TSrbExecutor {
public:
    explicit EmuExecutor(emu::AspiEmulator& e) : emu_(e) {}
    void Exec(SRB_ExecSCSICmd& srb) override {
        emu_.Send(&srb);
        for (int i = 0; i < 10000 && std::atomic_ref<std::uint8_t>(srb.SRB_Status).load() == SS_PENDING; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool HaInquiry(SRB_HAInquiry& ha) override { return emu_.Send(&ha) == SS_COMP; }

private:
    emu::AspiEmulator& emu_;
};

// An emulator from INI text, with the standard test disc as "disc.cue".
struct EmuRig {
    testimg::TempDir dir;
    std::unique_ptr<emu::AspiEmulator> emu;
    std::unique_ptr<EmuExecutor> exec;

    explicit EmuRig(const std::string& ini) {
        testimg::WriteBin(dir.File("disc.bin"), 1800);
        testimg::WriteText(dir.File("disc.cue"),
                           "FILE \"disc.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                           "  TRACK 02 AUDIO\n    FLAGS PRE\n    INDEX 01 00:08:00\n"
                           "  TRACK 03 AUDIO\n    FLAGS DCP\n    INDEX 01 00:16:00\n");
        Make(ini);
    }
    void Make(const std::string& ini) {
        exec.reset();
        emu.reset();
        emu::IniFile f;
        f.Parse(ini);
        std::vector<std::string> errors;
        auto setup = emu::BuildSetup(f, dir.path().string(), errors);
        emu = std::make_unique<emu::AspiEmulator>(setup.adapters, setup.units, nullptr);
        exec = std::make_unique<EmuExecutor>(*emu);
    }
    // Log lines of finished requests.
    std::vector<std::string> Log() const {
        std::vector<std::string> out;
        for (auto& e : emu->Log()) out.push_back(e.Format());
        return out;
    }
    std::vector<std::string> Find(const std::string& piece) const {
        std::vector<std::string> out;
        for (auto& l : Log())
            if (l.find(piece) != std::string::npos) out.push_back(l);
        return out;
    }
};

}  // namespace wx::test
