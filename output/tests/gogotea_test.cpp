// The GOGO encoder component against the stand-in library: loading and the
// missing-library paths, MP3 and RIFF-wrapped MP3 from memory and from a
// file, the worker's reports, errors and stops, and the settings guards.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "classlib/registry.h"
#include "output/gogotea.h"
#include "output/tests/enctest_util.h"
#include "output/tests/testfiles.h"

namespace wx {
namespace {

using test::PumpUntil;

// The stand-in's test controls, looked up in the loaded library.
template <typename F>
F Control(const char* name) {
    HMODULE m = GetModuleHandleA("GOGO.DLL");
    return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}
void SetLibraryVersion(uint32_t v) { Control<void(__cdecl*)(uint32_t)>("StandinSetVersion")(v); }
void SetLibraryUnits(uint32_t v) { Control<void(__cdecl*)(uint32_t)>("StandinSetUnitStates")(v); }
void FailFrame(uint32_t frame, uint32_t code) { Control<void(__cdecl*)(uint32_t, uint32_t)>("StandinFailFrame")(frame, code); }
void FailInitialize(uint32_t code) { Control<void(__cdecl*)(uint32_t)>("StandinFailInitialize")(code); }
std::string LibraryTrace() {
    auto trace = Control<int(__cdecl*)(char*, int)>("StandinTrace");
    std::string s(static_cast<size_t>(trace(nullptr, 0)) + 1, '\0');
    trace(s.data(), static_cast<int>(s.size()));
    s.pop_back();
    return s;
}
void ClearLibraryTrace() { Control<void(__cdecl*)()>("StandinClearTrace")(); }

// What the component reported through its events.
struct Reports {
    std::vector<std::pair<int, int>> progress;
    std::vector<int> errors;
    std::vector<bool> finishes;
    void Attach(TGogoTea& g) {
        g.OnProgress = [this](TGogoTea*, int now, int all) { progress.push_back({now, all}); };
        g.OnError = [this](TGogoTea*, int code) { errors.push_back(code); };
        g.OnFinish = [this](TGogoTea*, bool aborted) { finishes.push_back(aborted); };
    }
};

class GogoTeaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SetDllDirectoryA(test::StandinDir().c_str()));
        // Nothing left by another test: the library is loaded afresh.
        ASSERT_EQ(GetModuleHandleA("GOGO.DLL"), nullptr);
    }
    void TearDown() override { SetDllDirectoryA(nullptr); }

    std::unique_ptr<TGogoTea> MakeMemoryEncoder(const std::string& dest) {
        auto g = std::make_unique<TGogoTea>(nullptr);
        reports.Attach(*g);
        g->SetEncodeMode(TEncodeMode::_MEMORY);
        g->SetDestinationFile(dest);
        return g;
    }

    // Feeds PCM as the output driver does: retried every 10 ms while the
    // ring is full, as long as the component is encoding.
    static bool Feed(TGogoTea& g, const std::vector<int16_t>& pcm, size_t block = 2352 * 7) {
        const auto* p = reinterpret_cast<const unsigned char*>(pcm.data());
        const size_t total = pcm.size() * 2;
        for (size_t at = 0; at < total;) {
            const int n = static_cast<int>(std::min(block, total - at));
            if (g.WritePCM(p + at, n)) {
                at += static_cast<size_t>(n);
                continue;
            }
            if (!g.IsEncoding()) return false;
            test::PumpFor(10);
        }
        return true;
    }

    bool WaitFinished(TGogoTea& g, DWORD ms = 120000) {
        return PumpUntil([&] { return !reports.finishes.empty() && !g.IsEncoding(); }, ms);
    }

    Reports reports;
    test::TScratchDir dir{"wx-gogo"};
};

TEST_F(GogoTeaTest, LibraryIsLoadedOnceAndFreedWithTheLastUser) {
    ASSERT_TRUE(LoadGogoDll());
    ASSERT_TRUE(LoadGogoDll());
    EXPECT_EQ(GogoDllRefCount(), 2);
    EXPECT_EQ(GogoDllPath(), "");  // found through the search path
    UnloadGogoDll();
    EXPECT_NE(GetModuleHandleA("GOGO.DLL"), nullptr);
    UnloadGogoDll();
    EXPECT_EQ(GetModuleHandleA("GOGO.DLL"), nullptr);
    EXPECT_EQ(GogoDllRefCount(), 0);
    UnloadGogoDll();  // one too many does no harm
    EXPECT_EQ(GogoDllRefCount(), 0);
}

TEST_F(GogoTeaTest, AMissingOrIncompleteLibraryLeavesTheComponentAbsent) {
    const std::string empty = dir.Path("empty");
    CreateDirectoryA(empty.c_str(), nullptr);
    for (const std::string& where : {empty, test::IncompleteStandinDir()}) {
        SetDllDirectoryA(where.c_str());
        try {
            TGogoTea g(nullptr);
            ADD_FAILURE() << "constructed without a complete library in " << where;
        } catch (const EGogoTeaError& e) {
            EXPECT_STREQ(e.what(), enctext::kGogoInit);
        }
        EXPECT_EQ(GetModuleHandleA("GOGO.DLL"), nullptr) << where;
        EXPECT_EQ(GogoDllRefCount(), 0);
        EXPECT_EQ(ActiveGogoTea.load(), nullptr);
    }
}

TEST_F(GogoTeaTest, TheRegistryInstallPathIsTriedWhenTheSearchPathFails) {
    const std::string empty = dir.Path("empty2");
    CreateDirectoryA(empty.c_str(), nullptr);
    SetDllDirectoryA(empty.c_str());
    struct RegistryValue {
        ~RegistryValue() { RegDeleteKeyA(HKEY_CURRENT_USER, kGogoRegistryKey); }
    } cleanup;

    const std::string incomplete = test::IncompleteStandinDir() + "\\GOGO.DLL";
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kGogoRegistryKey, kGogoRegistryValue, incomplete));
    EXPECT_THROW(TGogoTea g(nullptr), EGogoTeaError);

    const std::string full = test::StandinDir() + "\\GOGO.DLL";
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kGogoRegistryKey, kGogoRegistryValue, full));
    {
        TGogoTea g(nullptr);
        EXPECT_EQ(g.DLLPath(), full);
        EXPECT_EQ(ActiveGogoTea.load(), &g);
        EXPECT_EQ(g.VersionCode(), 560u);
        EXPECT_NE(g.VersionString().find("2.30"), std::string::npos) << g.VersionString();
        EXPECT_EQ(g.UnitStates(), 0x2Eu);
    }
    EXPECT_EQ(ActiveGogoTea.load(), nullptr);

    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kGogoRegistryKey, kGogoRegistryValue, ""));
    EXPECT_THROW(TGogoTea g(nullptr), EGogoTeaError);
}

TEST_F(GogoTeaTest, PcmFromMemoryBecomesAnMp3StreamOfTheRightLength) {
    const std::string out = test::OutputPath("gogo-memory.mp3");
    auto g = MakeMemoryEncoder(out);
    g->SetFrequency(20);
    g->Prepare();
    EXPECT_EQ(g->AllFrames(), 0);  // the length of memory input is unknown
    g->Start();
    EXPECT_TRUE(g->IsEncoding());
    // 3 s and a partial frame; first sample pair at position 0.
    const auto pcm = test::Tone(44100 * 3 + 500);
    ASSERT_TRUE(Feed(*g, pcm));
    ASSERT_TRUE(g->WritePCM(nullptr, 0));
    ASSERT_TRUE(WaitFinished(*g));

    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(g->EncodeResult(), 0);
    ASSERT_GE(reports.progress.size(), 3u);
    EXPECT_EQ(reports.progress.front(), (std::pair<int, int>{0, 0}));
    for (size_t i = 1; i + 1 < reports.progress.size(); ++i) EXPECT_EQ(reports.progress[i].first % 20, 0);

    const auto mp3 = test::ReadAll(out);
    const int frames = test::CountMp3Frames(mp3, 0, mp3.size());
    const int expected = static_cast<int>(pcm.size() / 2 / 1152);
    EXPECT_GE(frames, expected);
    EXPECT_LE(frames, expected + 4);  // information frame, encoder delay, last padded frame

    // The floating-point state of the worker while the library ran.
    uint16_t cw = 0;
    uint32_t csr = 0;
    Control<void(__cdecl*)(uint16_t*, uint32_t*)>("StandinFpuState")(&cw, &csr);
    EXPECT_EQ(cw & ~0x40, 0x133F);
    EXPECT_EQ(csr & 0xFFC0u, 0x1F80u);

    // The component can run again.
    reports = Reports{};
    g->SetDestinationFile(test::OutputPath("gogo-memory-2.mp3"));
    g->Prepare();
    g->Start();
    ASSERT_TRUE(Feed(*g, test::Tone(44100 / 2)));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
}

std::vector<unsigned char> InfoBlock(const char* id, const std::string& text) {
    std::vector<unsigned char> b(4 + text.size() + 1, 0);
    std::memcpy(b.data(), id, 4);
    std::memcpy(b.data() + 4, text.data(), text.size());
    return b;
}

TEST_F(GogoTeaTest, RiffWaveOutputIsAWaveFileWithTheMpegFormatTagAndTheInfoChunks) {
    const std::string out = test::OutputPath("gogo-riff.wav");
    auto g = MakeMemoryEncoder(out);
    g->SetEncodeFormat(TEncodeFormat::_FORMAT_OF_RIFF_WAVE);
    const auto title = InfoBlock("INAM", "\x83^\x83" "C\x83g\x83\x8b");  // タイトル
    const auto artist = InfoBlock("IART", "Artist");
    const auto empty = InfoBlock("ICMT", "");
    g->AddChunk(static_cast<int>(title.size()), title.data());
    g->AddChunk(static_cast<int>(artist.size()), artist.data());
    g->AddChunk(static_cast<int>(empty.size()), empty.data());
    EXPECT_THROW(g->AddChunk(0, title.data()), EGogoTeaError);
    EXPECT_THROW(g->AddChunk(5, nullptr), EGogoTeaError);
    g->Prepare();
    g->Start();
    const auto pcm = test::Tone(44100 * 2);
    ASSERT_TRUE(Feed(*g, pcm));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    ASSERT_EQ(reports.finishes, std::vector<bool>{false});

    const auto w = test::ReadAll(out);
    ASSERT_GE(w.size(), 12u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(test::Le32(w, 4), w.size() - 8);
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 12), "WAVE");
    const auto chunks = test::RiffChunks(w, 12, w.size());
    std::vector<std::string> ids;
    for (const auto& c : chunks) ids.push_back(c.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{"fmt ", "fact", "data", "LIST"}));
    for (const auto& c : chunks) {
        if (c.Id == "fmt ") {
            EXPECT_EQ(test::Le16(w, c.At), 0x55);  // MPEG Layer III
            EXPECT_EQ(test::Le16(w, c.At + 2), 2);
            EXPECT_EQ(test::Le32(w, c.At + 4), 44100u);
            EXPECT_EQ(test::Le32(w, c.At + 8), 128000u / 8);
        } else if (c.Id == "fact") {
            // The samples given to the library: the last frame is filled up with silence.
            EXPECT_GE(test::Le32(w, c.At), pcm.size() / 2);
            EXPECT_LT(test::Le32(w, c.At), pcm.size() / 2 + 1152);
        } else if (c.Id == "data") {
            EXPECT_GE(test::CountMp3Frames(w, c.At, c.At + c.Size), static_cast<int>(pcm.size() / 2 / 1152));
        } else if (c.Id == "LIST") {
            EXPECT_EQ(std::string(w.begin() + c.At, w.begin() + c.At + 4), "INFO");
            const auto info = test::RiffChunks(w, c.At + 4, c.At + c.Size);
            ASSERT_EQ(info.size(), 3u);
            EXPECT_EQ(info[0].Id, "INAM");
            EXPECT_EQ(std::string(w.begin() + info[0].At, w.begin() + info[0].At + info[0].Size),
                      std::string("\x83^\x83" "C\x83g\x83\x8b", 8) + '\0');
            EXPECT_EQ(info[1].Id, "IART");
            EXPECT_EQ(info[2].Id, "ICMT");
            EXPECT_EQ(info[2].Size, 1u);
        }
    }
}

TEST_F(GogoTeaTest, RiffRmpOutputWrapsTheStreamInADataChunk) {
    const std::string out = test::OutputPath("gogo-riff.rmp");
    auto g = MakeMemoryEncoder(out);
    g->SetEncodeFormat(TEncodeFormat::_FORMAT_OF_RIFF_RMP);
    g->SetBitRate(192);
    g->Prepare();
    g->Start();
    ASSERT_TRUE(Feed(*g, test::Tone(44100)));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    const auto w = test::ReadAll(out);
    ASSERT_GE(w.size(), 20u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 12), "RMP3");
    const auto chunks = test::RiffChunks(w, 12, w.size());
    ASSERT_EQ(chunks.size(), 1u);  // no INFO blocks were given
    EXPECT_EQ(chunks[0].Id, "data");
    EXPECT_GT(test::CountMp3Frames(w, chunks[0].At, chunks[0].At + chunks[0].Size), 0);
}

TEST_F(GogoTeaTest, AnOlderLibraryGetsPlainMp3EvenWhenRiffWasAsked) {
    auto g = MakeMemoryEncoder(test::OutputPath("gogo-old.mp3"));
    SetLibraryVersion(549);
    g->SetEncodeFormat(TEncodeFormat::_FORMAT_OF_RIFF_WAVE);
    const auto block = InfoBlock("INAM", "x");
    g->AddChunk(static_cast<int>(block.size()), block.data());
    ClearLibraryTrace();
    g->Prepare();
    EXPECT_EQ(LibraryTrace().find("set 26"), std::string::npos);
    EXPECT_EQ(LibraryTrace().find("set 27"), std::string::npos);
    g->Start();
    ASSERT_TRUE(Feed(*g, test::Tone(20000)));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    const auto mp3 = test::ReadAll(test::OutputPath("gogo-old.mp3"));
    EXPECT_GT(test::CountMp3Frames(mp3, 0, mp3.size()), 0);
    SetLibraryVersion(560);
}

TEST_F(GogoTeaTest, SettingsReachTheLibraryInOrderAndMissingUnitsAreDropped) {
    auto g = MakeMemoryEncoder(dir.Path("order.mp3"));
    SetLibraryUnits(0x2);  // MMX only
    g->SetUseVBR(true);
    g->SetVBRLevel(3);
    g->VBRBitrate().Enabled = true;
    g->VBRBitrate().Low = 64;
    g->VBRBitrate().High = 192;
    ClearLibraryTrace();
    g->Prepare();
    const std::string expected =
        "init\nset 1 2 1\nset 2 0 1\nset 8 0 0\nset 4 128 0\nset 9 0 0\nset 18 3 0\n"
        "set 10 1 0\nset 11 0 0\nset 12 0 0\nset 13 0 0\nset 14 0 0\nset 15 0 0\n"
        "set 17 0 0\nset 3 2 0\nset 19 1 0\nset 30 64 192\nset 26 0 0\ndetect\n";
    EXPECT_EQ(LibraryTrace(), expected);
    EXPECT_EQ(g->Optimization(), TUseUnits{TUseUnit::_USE_MMX});
    SetLibraryUnits(0x2E);
    g->Stop();  // prepared but not started: nothing to stop
    EXPECT_FALSE(g->IsEncoding());
}

TEST_F(GogoTeaTest, AWaveFileIsEncodedInFileModeWithProgressToTheEnd) {
    const auto pcm = test::Tone(44100 * 2);
    const std::string src = dir.Path("in.wav");
    test::WriteAll(src, test::WaveFile(pcm));
    TGogoTea g(nullptr);
    reports.Attach(g);
    g.SetSourceFile(src);
    g.SetDestinationFile(test::OutputPath("gogo-file.mp3"));
    g.SetFrequency(10);
    g.Start();  // prepares first in file mode
    EXPECT_GT(g.AllFrames(), static_cast<int>(pcm.size() / 2 / 1152));
    ASSERT_TRUE(WaitFinished(g));
    const int n = g.AllFrames();
    ASSERT_GE(reports.progress.size(), 2u);
    EXPECT_EQ(reports.progress.front(), (std::pair<int, int>{0, n}));
    EXPECT_EQ(reports.progress.back(), (std::pair<int, int>{n, n}));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
    EXPECT_TRUE(g.WritePCM("x", 1));  // file mode takes no PCM
    const auto mp3 = test::ReadAll(test::OutputPath("gogo-file.mp3"));
    EXPECT_GE(test::CountMp3Frames(mp3, 0, mp3.size()), static_cast<int>(pcm.size() / 2 / 1152));

    // A missing source is a settings error the caller sees.
    g.SetSourceFile(dir.Path("absent.wav"));
    try {
        g.Start();
        ADD_FAILURE() << "started without a source";
    } catch (const EGogoTeaError& e) {
        EXPECT_STREQ(e.what(), enctext::kBadSettings);
        EXPECT_NE(g.EncodeResult(), 0);
    }
    EXPECT_FALSE(g.IsEncoding());
}

TEST_F(GogoTeaTest, AnEmptyInputEndsOnTheFirstFrameWithTheFullReportSequence) {
    auto g = MakeMemoryEncoder(dir.Path("empty.mp3"));
    g->Prepare();
    g->Start();
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    EXPECT_EQ(reports.progress, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}}));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
}

TEST_F(GogoTeaTest, AFrameErrorReachesTheOwnerAsMessagesNotExceptions) {
    auto g = MakeMemoryEncoder(dir.Path("error.mp3"));
    FailFrame(3, 42);
    g->Prepare();
    g->Start();
    Feed(*g, test::Tone(44100));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    FailFrame(0, 0);
    EXPECT_EQ(reports.errors, std::vector<int>{42});
    EXPECT_EQ(reports.finishes, std::vector<bool>{true});
    EXPECT_EQ(g->EncodeResult(), 42);
    EXPECT_FALSE(g->IsEncoding());
    // Not left prepared: a new run can be set up.
    EXPECT_NO_THROW(g->Prepare());
}

TEST_F(GogoTeaTest, StopEndsARunWhoseWriterWentQuietWithinBoundedTime) {
    auto g = MakeMemoryEncoder(dir.Path("stopped.mp3"));
    g->Prepare();
    g->Start();
    ASSERT_TRUE(Feed(*g, test::Tone(44100)));
    // No end of input: the library waits in the read callback for more PCM.
    test::PumpFor(300);
    ASSERT_TRUE(g->IsEncoding());
    const DWORD t0 = GetTickCount();
    g->Stop();
    ASSERT_TRUE(WaitFinished(*g, 5000));
    EXPECT_LT(GetTickCount() - t0, 2000u);
    EXPECT_EQ(reports.finishes.front(), true);  // aborted, never claimed done
    // The output file is closed: it can be removed.
    EXPECT_TRUE(DeleteFileA(dir.Path("stopped.mp3").c_str()));
}

TEST_F(GogoTeaTest, StopWhileIdleStillReportsAnAbortedFinish) {
    auto g = MakeMemoryEncoder(dir.Path("idle.mp3"));
    g->Prepare();
    g->Start();
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    reports = Reports{};
    // IsEncoding is already false: Stop posts nothing.
    g->Stop();
    test::PumpFor(300);
    EXPECT_TRUE(reports.finishes.empty());
    // A stop that reaches the worker after its run ended is still answered.
    ASSERT_TRUE(PostThreadMessageA(g->WorkerThreadId(), WM_ENC_STOP, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return !reports.finishes.empty(); }, 5000));
    EXPECT_EQ(reports.finishes, std::vector<bool>{true});
    EXPECT_FALSE(g->IsEncoding());
}

// A stop sent as a run ended by itself reaches the worker after the next
// run began: its answer belongs to the run before and ends nothing.
TEST_F(GogoTeaTest, StopThatCrossedTheRunsEndLeavesTheNextRunAlone) {
    auto g = MakeMemoryEncoder(dir.Path("first.mp3"));
    g->Prepare();
    g->Start();
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    reports = Reports{};
    ASSERT_TRUE(PostThreadMessageA(g->WorkerThreadId(), WM_ENC_STOP, 0, 0));
    g->SetDestinationFile(dir.Path("second.mp3"));
    g->Prepare();
    g->Start();
    test::PumpFor(300);
    EXPECT_TRUE(g->IsEncoding());
    EXPECT_TRUE(reports.finishes.empty());
    const auto pcm = test::Tone(44100 * 2);
    ASSERT_TRUE(Feed(*g, pcm));
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
    const auto mp3 = test::ReadAll(dir.Path("second.mp3"));
    EXPECT_GE(test::CountMp3Frames(mp3, 0, mp3.size()), static_cast<int>(pcm.size() / 2 / 1152));
}

TEST_F(GogoTeaTest, SettingsCannotChangeWhileEncodingAndRangesAreChecked) {
    auto g = MakeMemoryEncoder(dir.Path("busy.mp3"));
    EXPECT_THROW(g->SetFrequency(0), EGogoTeaError);
    EXPECT_EQ(g->Frequency(), 100);
    EXPECT_THROW(g->SetVBRLevel(10), EGogoTeaError);
    EXPECT_THROW(g->SetVBRLevel(-1), EGogoTeaError);
    EXPECT_EQ(g->VBRLevel(), 5);
    g->SetVBRLevel(9);

    g->Prepare();
    try {
        g->Prepare();
        ADD_FAILURE() << "prepared twice";
    } catch (const EGogoTeaError& e) {
        EXPECT_STREQ(e.what(), enctext::kBusy);
    }
    g->Start();
    EXPECT_THROW(g->SetBitRate(64), EGogoTeaError);
    EXPECT_THROW(g->SetDestinationFile("other.mp3"), EGogoTeaError);
    EXPECT_THROW(g->SetEncodeFormat(TEncodeFormat::_FORMAT_OF_RIFF_WAVE), EGogoTeaError);
    EXPECT_NO_THROW(g->SetPriority(TThreadPriority::tpLower));  // the one setting allowed
    EXPECT_EQ(g->BitRate(), 128);
    g->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*g));
    EXPECT_NO_THROW(g->SetBitRate(64));
}

TEST_F(GogoTeaTest, LibraryRefusalsBecomeTheirExceptions) {
    auto g = MakeMemoryEncoder(dir.Path("refused.mp3"));
    FailInitialize(3);
    try {
        g->Prepare();
        ADD_FAILURE();
    } catch (const EGogoTeaError& e) {
        EXPECT_STREQ(e.what(), enctext::kNoFpu);
    }
    FailInitialize(0);
    EXPECT_EQ(g->EncodeResult(), 3);

    g->SetBitRate(100);  // no such MPEG bit rate
    try {
        g->Prepare();
        ADD_FAILURE();
    } catch (const EGogoTeaError& e) {
        EXPECT_STREQ(e.what(), enctext::kBadSettings);
    }
    EXPECT_NE(g->EncodeResult(), 0);
    g->SetBitRate(128);
    g->SetDestinationFile(dir.Path("no-such-folder\\x.mp3"));
    EXPECT_THROW(g->Prepare(), EGogoTeaError);
    EXPECT_FALSE(g->IsEncoding());
}

TEST_F(GogoTeaTest, DestroyingTheComponentMidRunEndsTheWorker) {
    auto g = MakeMemoryEncoder(dir.Path("destroyed.mp3"));
    g->Prepare();
    g->Start();
    ASSERT_TRUE(Feed(*g, test::Tone(44100 / 2)));
    test::PumpFor(100);
    const DWORD t0 = GetTickCount();
    g.reset();
    EXPECT_LT(GetTickCount() - t0, 3000u);
    EXPECT_EQ(GetModuleHandleA("GOGO.DLL"), nullptr);
    EXPECT_EQ(ActiveGogoTea.load(), nullptr);
}

TEST_F(GogoTeaTest, TheOwnerFreesTheComponent) {
    TComponent owner(nullptr);
    auto* g = new TGogoTea(&owner);
    EXPECT_EQ(owner.Components().size(), 1u);
    EXPECT_EQ(g->Owner(), &owner);
    (void)g;
}

}  // namespace
}  // namespace wx
