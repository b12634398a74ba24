// A disc on the emulated MMC drive behind its ASPI front (one unit, target
// 1), for rips through the engine: the image's bytes to compare a rip with,
// and requests that read the disc's tracks.
#pragma once
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "extraction/tests/riptest_util.h"
#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/tests/TestImage.h"

namespace wxtest {

class TEmulatedDisc {
public:
    TEmulatedDisc() = default;
    TEmulatedDisc(const TEmulatedDisc&) = delete;
    TEmulatedDisc& operator=(const TEmulatedDisc&) = delete;
    ~TEmulatedDisc() { Unplug(); }

    // Writes `bytes` as "demo.bin" and the CUE sheet `cue` as "demo.cue"
    // beside it, then loads them as Load does.
    bool LoadImage(std::vector<std::uint8_t> bytes, const std::string& cue, std::string& err) {
        image = std::move(bytes);
        {
            std::ofstream out(dir.File("demo.bin"), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        }
        testimg::WriteText(dir.File("demo.cue"), cue);
        return LoadCue(dir.File("demo.cue"), err, {});
    }
    // LoadImage with `sectors` of the test pattern, silent in each [first,
    // end) sector range of `silent`.
    bool LoadPattern(std::int32_t sectors, const std::vector<std::pair<std::int32_t, std::int32_t>>& silent,
                     const std::string& cue, std::string& err) {
        const std::string bin = dir.File("demo.bin");
        testimg::WriteBin(bin, sectors);
        std::vector<std::uint8_t> bytes = ReadFile(bin);
        for (const auto& [first, end] : silent)
            std::fill(bytes.begin() + std::ptrdiff_t(first) * 2352, bytes.begin() + std::ptrdiff_t(end) * 2352, 0);
        return LoadImage(std::move(bytes), cue, err);
    }

    // Loads the CUE sheet `cue`, whose image is the file `bin`, into a new
    // drive of the personality (the new disc's unit attention taken) and
    // makes the emulator; false with `err` when the sheet does not load.
    bool Load(const std::string& cue, const std::string& bin, std::string& err, const emu::Personality& p = {}) {
        image = ReadFile(bin);
        return LoadCue(cue, err, p);
    }

    // A new emulator for the drive: reads with an opcode in `hang` never
    // complete, once; `reorder` lets the drive end that many reads out of
    // order.
    void MakeEmulator(std::set<int> hang = {}, int reorder = 0) {
        emu::Unit u;
        u.target = 1;
        u.drive = drive;
        u.reorder = reorder;
        u.hangOpcodes = std::move(hang);
        u.hangCount = 1;
        emulator.reset();
        emulator = std::make_unique<emu::AspiEmulator>(std::vector<emu::HostAdapter>{emu::HostAdapter{}},
                                                       std::vector<emu::Unit>{u},
                                                       [](void* ev) { static_cast<TEvent*>(ev)->Signal(); });
        Current() = this;
    }
    // Ends the emulator; the entry point must not be called after this.
    void Unplug() {
        emulator.reset();
        if (Current() == this) Current() = nullptr;
    }

    // The ASPI entry point handed to the engine: the emulator of the disc
    // made last.
    static std::uint32_t Send(void* srb) { return Current()->emulator->Send(srb); }

    // A plain rip of track `track` (from 1): READ CD-DA (kind 4), 26 sectors
    // a read, 4 retries, through Send.
    TTransferRecord Request(int track) const {
        const auto& t = disc->Tracks()[std::size_t(track - 1)];
        TTransferRecord r = EmptyTransferRecord();
        r.Target = 1;
        r.StartLba = t.startLba;
        r.EndLba = t.endLba;
        r.LastReadableLba = disc->LeadOut() - 1;
        r.ReadCommand = 4;
        r.SectorsPerRead = 26;
        r.TrackNumber = track;
        r.MaxRetry = 4;
        r.SendAspiCommand = &Send;
        r.UseAspi = true;
        r.VolumePercent = 100;
        r.PlayList[0] = -1;
        return r;
    }

    // `bytes` bytes of the image from byte `from` on; the disc reads as
    // silence outside it.
    std::vector<std::uint8_t> Image(std::int64_t from, std::int64_t bytes) const {
        std::vector<std::uint8_t> v(std::size_t(bytes), 0);
        for (std::int64_t i = 0; i < bytes; ++i) {
            std::int64_t p = from + i;
            if (p >= 0 && p < std::int64_t(image.size())) v[std::size_t(i)] = image[std::size_t(p)];
        }
        return v;
    }
    // The frame offset within +-limit at which `got` starts in the image
    // stream from `lba`, or a value beyond the limit when it starts nowhere.
    int StartShift(const std::vector<std::uint8_t>& got, std::int32_t lba, int limit) const {
        for (int s = -limit; s <= limit; ++s)
            if (Image(std::int64_t(lba) * 2352 + 4 * s, 4096) ==
                std::vector<std::uint8_t>(got.begin(), got.begin() + 4096))
                return s;
        return limit + 1;
    }

    testimg::TempDir dir;
    std::vector<std::uint8_t> image;
    std::shared_ptr<emu::Disc> disc;
    std::shared_ptr<emu::MmcDrive> drive;
    std::unique_ptr<emu::AspiEmulator> emulator;

private:
    static TEmulatedDisc*& Current() {
        static TEmulatedDisc* d = nullptr;
        return d;
    }
    static std::vector<std::uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool LoadCue(const std::string& cue, std::string& err, const emu::Personality& p) {
        disc = emu::Disc::LoadCue(cue, {}, err);
        if (!disc) return false;
        drive = std::make_shared<emu::MmcDrive>(p);
        drive->Load(disc);
        std::uint8_t tur[6] = {};
        drive->Execute(0, tur, 6, nullptr, 0, true);  // takes the unit attention of the new disc
        MakeEmulator();
        return true;
    }
};

}  // namespace wxtest
