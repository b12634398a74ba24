// The TwinVQ encoder component against the stand-in library: missing
// libraries, whole frames taken from the ring in order, the closing frame
// of silence, the header chunks, stops, and the settings guards.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/chunkbank.h"
#include "output/tvqdefs.h"
#include "output/tvqenc.h"
#include "output/tests/enctest_util.h"
#include "output/tests/testfiles.h"

namespace wx {
namespace {

using test::PumpUntil;
using Bytes = std::vector<unsigned char>;

constexpr int kFrameSize = 2048;                         // samples per channel at 44 kHz
constexpr size_t kFrameBytes = kFrameSize * 2 * 2;       // stereo 16-bit
constexpr int kBitsPerFrame96 = 96000 * kFrameSize / 44100;  // 4458

struct Reports {
    std::vector<std::pair<int, int>> progress;
    std::vector<int> errors;
    std::vector<bool> finishes;
    void Attach(TTVQEnc& t) {
        t.OnProgress = [this](TTVQEnc*, int now, int all) { progress.push_back({now, all}); };
        t.OnError = [this](TTVQEnc*, int code) { errors.push_back(code); };
        t.OnFinish = [this](TTVQEnc*, bool aborted) { finishes.push_back(aborted); };
    }
};

uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

uint32_t Bits(const Bytes& b, size_t bitPos, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bitPos) v = v << 1 | ((b.at(bitPos / 8) >> (7 - bitPos % 8)) & 1);
    return v;
}

// The stand-in library's checksum of one frame: the float frame is the
// channels' samples one run after the other.
uint32_t FrameChecksum(const int16_t* interleaved, size_t pairs) {
    std::vector<int32_t> runs(2 * kFrameSize, 0);
    for (size_t i = 0; i < pairs; ++i) {
        runs[i] = interleaved[2 * i];
        runs[kFrameSize + i] = interleaved[2 * i + 1];
    }
    uint32_t h = 0;
    for (size_t i = 0; i < runs.size(); ++i) h += static_cast<uint32_t>(runs[i]) * static_cast<uint32_t>(i % 251 + 1);
    return h & 0xFFFF;
}

class TTVQEncTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SetDllDirectoryA(test::StandinDir().c_str()));
        ASSERT_EQ(GetModuleHandleA("TVQENC.DLL"), nullptr);
    }
    void TearDown() override { SetDllDirectoryA(nullptr); }

    std::unique_ptr<TTVQEnc> Make(const std::string& dest) {
        auto t = std::make_unique<TTVQEnc>(nullptr);
        reports.Attach(*t);
        t->SetDestinationFile(dest);
        return t;
    }

    static bool Feed(TTVQEnc& t, const std::vector<int16_t>& pcm) {
        const auto* p = reinterpret_cast<const unsigned char*>(pcm.data());
        const size_t total = pcm.size() * 2;
        for (size_t at = 0; at < total;) {
            const int n = static_cast<int>(std::min<size_t>(2352 * 5, total - at));
            if (t.WritePCM(p + at, n)) {
                at += static_cast<size_t>(n);
                continue;
            }
            if (!t.IsEncoding()) return false;
            test::PumpFor(10);
        }
        return true;
    }

    bool WaitFinished(TTVQEnc& t, DWORD ms = 60000) {
        return PumpUntil([&] { return !reports.finishes.empty() && !t.IsEncoding(); }, ms);
    }

    // Encodes pcm completely; returns the file.
    Bytes EncodeAll(TTVQEnc& t, const std::vector<int16_t>& pcm) {
        t.Prepare();
        t.Start();
        EXPECT_TRUE(Feed(t, pcm));
        t.WritePCM(nullptr, 0);
        EXPECT_TRUE(WaitFinished(t));
        return test::ReadAll(t.DestinationFile());
    }

    Reports reports;
    test::TScratchDir dir{"wx-tvq"};
};

TEST_F(TTVQEncTest, AMissingOrIncompleteLibraryLeavesTheComponentAbsent) {
    const std::string empty = dir.Path("empty");
    CreateDirectoryA(empty.c_str(), nullptr);
    for (const std::string& where : {empty, test::IncompleteStandinDir()}) {
        SetDllDirectoryA(where.c_str());
        try {
            TTVQEnc t(nullptr);
            ADD_FAILURE() << "constructed without a complete library in " << where;
        } catch (const ETVQEncError& e) {
            EXPECT_STREQ(e.what(), enctext::kTvqInit);
        }
        EXPECT_EQ(GetModuleHandleA("TVQENC.DLL"), nullptr) << where;
        EXPECT_EQ(TvqDllRefCount(), 0);
    }
}

TEST_F(TTVQEncTest, WholeFramesAreEncodedInOrderAndOneFrameOfSilenceCloses) {
    const std::string out = test::OutputPath("tvq-exact.vqf");
    auto t = Make(out);
    t->SetProgressPeriod(4);
    const size_t frames = 10;
    const auto pcm = test::Tone(frames * kFrameSize);
    const Bytes file = EncodeAll(*t, pcm);
    ASSERT_EQ(reports.finishes, std::vector<bool>{false});
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(reports.progress, (std::vector<std::pair<int, int>>{{0, 0}, {4, 0}, {8, 0}}));

    const size_t dataAt = 16 + Be32(file, 12) + 4;
    ASSERT_GT(file.size(), dataAt);
    EXPECT_EQ(std::string(file.begin() + dataAt - 4, file.begin() + dataAt), "DATA");
    // Exactly one frame more than the PCM held, the last byte completed.
    EXPECT_EQ(file.size() - dataAt, ((frames + 1) * kBitsPerFrame96 + 7) / 8);
    for (size_t i = 0; i <= frames; ++i) {
        const size_t at = dataAt * 8 + i * kBitsPerFrame96;
        EXPECT_EQ(Bits(file, at, 4), i % 4) << "frame " << i;  // block type cycles in the stand-in
        const uint32_t expected = i < frames ? FrameChecksum(&pcm[i * kFrameSize * 2], kFrameSize) : 0;
        EXPECT_EQ(Bits(file, at + 4, 16), expected) << "frame " << i;
    }
    EXPECT_EQ(Tvq.EncGetNumFrames(), static_cast<int32_t>(frames + 1));

    uint16_t cw = 0;
    uint32_t csr = 0;
    auto fpu = reinterpret_cast<void(__cdecl*)(uint16_t*, uint32_t*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("TVQENC.DLL"), "StandinFpuState")));
    fpu(&cw, &csr);
    EXPECT_EQ(cw & ~0x40, 0x133F);
    EXPECT_EQ(csr & 0xFFC0u, 0x1F80u);
}

TEST_F(TTVQEncTest, APartialLastFrameIsPaddedThenFollowedBySilence) {
    auto t = Make(test::OutputPath("tvq-partial.vqf"));
    t->SetBitRate(80);
    const int bits = 80000 * kFrameSize / 44100;
    auto pcm = test::Tone(3 * kFrameSize + 250);
    const Bytes file = EncodeAll(*t, pcm);
    ASSERT_EQ(reports.finishes, std::vector<bool>{false});
    const size_t dataAt = 16 + Be32(file, 12) + 4;
    EXPECT_EQ(file.size() - dataAt, (5u * bits + 7) / 8);
    EXPECT_EQ(Bits(file, dataAt * 8 + 3 * bits + 4, 16), FrameChecksum(&pcm[3 * kFrameSize * 2], 250));
    EXPECT_EQ(Bits(file, dataAt * 8 + 4 * bits + 4, 16), 0u);
    TChunkBank bank;
    ASSERT_TRUE(bank.LoadFromFile(t->DestinationFile()));
    EXPECT_EQ(Be32(bank.Chunks()[0].Data, 4), 80u);
}

TEST_F(TTVQEncTest, TagsBecomeHeaderChunksAndAreClearedAfterTheRun) {
    const std::string out = test::OutputPath("tvq-tags.vqf");
    auto t = Make(out);
    t->SetTitle("\x83^\x83" "C\x83g\x83\x8b");  // タイトル
    t->SetAuthor("Artist Name");
    t->SetAlbum("Album Name");
    t->SetComment("A comment");
    t->SetCopyRight("(C) Someone");
    t->SetYear(2001);
    EncodeAll(*t, test::Tone(kFrameSize * 20));
    ASSERT_EQ(reports.finishes, std::vector<bool>{false});

    TChunkBank bank;
    ASSERT_TRUE(bank.LoadFromFile(out));
    std::vector<std::string> ids;
    for (const auto& c : bank.Chunks()) ids.push_back(c.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "NAME", "AUTH", "ALBM", "COMT", "(c) ", "YEAR"}));
    EXPECT_EQ(bank.GetChunkString("NAME"), "\x83^\x83" "C\x83g\x83\x8b");
    EXPECT_EQ(bank.GetChunkString("AUTH"), "Artist Name");
    EXPECT_EQ(bank.GetYear(), 2001);
    const auto& comm = bank.Chunks()[0].Data;
    ASSERT_EQ(comm.size(), 16u);
    EXPECT_EQ(Be32(comm, 0), 1u);
    EXPECT_EQ(Be32(comm, 4), 96u);
    EXPECT_EQ(Be32(comm, 8), 44u);
    EXPECT_EQ(Be32(comm, 12), 0u);

    // The finish cleared the tags: the next file has no text chunks.
    EXPECT_EQ(t->Author(), "");
    EXPECT_EQ(t->Year(), 0);
    reports = Reports{};
    t->SetDestinationFile(dir.Path("untagged.vqf"));
    t->SetTitle("Only a title");
    EncodeAll(*t, test::Tone(kFrameSize));
    ASSERT_TRUE(bank.LoadFromFile(dir.Path("untagged.vqf")));
    ids.clear();
    for (const auto& c : bank.Chunks()) ids.push_back(c.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "NAME"}));
}

TEST_F(TTVQEncTest, MonoFilesHaveOneChannelAndHalfTheFrameBytes) {
    auto t = Make(dir.Path("mono.vqf"));
    t->SetEncodeType(tvq::TEncodeType::_TVQENC_MONO);
    t->SetBitRate(48);
    // 2,048 mono samples a frame: 4,096 bytes, so 8,192 bytes are two frames.
    std::vector<int16_t> pcm(4096, 1000);
    const Bytes file = EncodeAll(*t, pcm);
    const int bits = 48000 * kFrameSize / 44100;
    const size_t dataAt = 16 + Be32(file, 12) + 4;
    EXPECT_EQ(file.size() - dataAt, (3u * bits + 7) / 8);
    TChunkBank bank;
    ASSERT_TRUE(bank.LoadFromFile(dir.Path("mono.vqf")));
    EXPECT_EQ(Be32(bank.Chunks()[0].Data, 0), 0u);
}

// Without a progress handler the worker posts no reports (each costs both
// threads a trip through the window system); one assigned while the run
// lasts gets the periods from then on.
TEST_F(TTVQEncTest, ProgressIsReportedOnlyWhileAHandlerIsAssigned) {
    auto t = Make(dir.Path("progress.vqf"));
    t->OnProgress = nullptr;
    t->SetProgressPeriod(1);
    int posted = 0;
    auto pumpUntil = [&](const std::function<bool()>& done) {
        const DWORD start = GetTickCount();
        while (!done() && GetTickCount() - start < 10000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == t->WindowHandle() && msg.message == WM_ENC_PROGRESS) ++posted;
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        return done();
    };
    t->Prepare();
    t->Start();
    const auto pcm = test::Tone(5 * kFrameSize);
    const auto* bytes = reinterpret_cast<const unsigned char*>(pcm.data());
    ASSERT_TRUE(t->WritePCM(bytes, int(3 * kFrameBytes)));
    ASSERT_TRUE(pumpUntil([&] { return Tvq.EncGetNumFrames() == 3; }));
    test::PumpFor(50);
    EXPECT_EQ(posted, 0);

    t->OnProgress = [this](TTVQEnc*, int now, int all) { reports.progress.push_back({now, all}); };
    ASSERT_TRUE(t->WritePCM(bytes + 3 * kFrameBytes, int(2 * kFrameBytes)));
    t->WritePCM(nullptr, 0);
    ASSERT_TRUE(pumpUntil([&] { return !reports.finishes.empty() && !t->IsEncoding(); }));
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(reports.progress, (std::vector<std::pair<int, int>>{{4, 0}, {5, 0}}));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
}

TEST_F(TTVQEncTest, StopMidRunClosesAValidFileAndReportsTheAbort) {
    const std::string out = dir.Path("stopped.vqf");
    auto t = Make(out);
    t->Prepare();
    t->Start();
    ASSERT_TRUE(Feed(*t, test::Tone(5 * kFrameSize)));
    // The writer goes quiet without marking the end; the worker waits.
    ASSERT_TRUE(PumpUntil([&] { return Tvq.EncGetNumFrames() == 5; }, 10000));
    test::PumpFor(100);
    ASSERT_TRUE(t->IsEncoding());
    t->Stop();
    ASSERT_TRUE(WaitFinished(*t, 5000));
    EXPECT_EQ(reports.finishes, std::vector<bool>{true});
    const Bytes file = test::ReadAll(out);
    const size_t dataAt = 16 + Be32(file, 12) + 4;
    EXPECT_EQ(file.size() - dataAt, (6u * kBitsPerFrame96 + 7) / 8);
    TChunkBank bank;
    EXPECT_TRUE(bank.LoadFromFile(out));
}

// What a stopped run left in the ring (less than a frame, never encoded)
// does not begin the next file.
TEST_F(TTVQEncTest, PcmLeftByAStoppedRunIsNotEncodedIntoTheNextFile) {
    auto t = Make(dir.Path("left.vqf"));
    t->Prepare();
    t->Start();
    ASSERT_TRUE(Feed(*t, test::Tone(1000, 1000.0, 1500.0)));
    t->Stop();
    ASSERT_TRUE(WaitFinished(*t, 5000));

    reports = Reports{};
    t->SetDestinationFile(dir.Path("next.vqf"));
    const auto pcm = test::Tone(2 * kFrameSize);
    const Bytes file = EncodeAll(*t, pcm);
    ASSERT_EQ(reports.finishes, std::vector<bool>{false});
    const size_t dataAt = 16 + Be32(file, 12) + 4;
    EXPECT_EQ(file.size() - dataAt, (3u * kBitsPerFrame96 + 7) / 8);
    EXPECT_EQ(Bits(file, dataAt * 8 + 4, 16), FrameChecksum(&pcm[0], kFrameSize));
    EXPECT_EQ(Bits(file, dataAt * 8 + kBitsPerFrame96 + 4, 16), FrameChecksum(&pcm[kFrameSize * 2], kFrameSize));
}

TEST_F(TTVQEncTest, SettingsAreGuardedAndRangesChecked) {
    auto t = Make(dir.Path("guard.vqf"));
    try {
        t->SetN_CAN(3);
        ADD_FAILURE();
    } catch (const ETVQEncError& e) {
        EXPECT_STREQ(e.what(), enctext::kOutOfRange);
    }
    EXPECT_EQ(t->N_CAN(), 16);
    for (int q : {1, 2, 4, 8, 16, 32}) EXPECT_NO_THROW(t->SetN_CAN(q));
    EXPECT_THROW(t->SetProgressPeriod(0), ETVQEncError);
    EXPECT_EQ(t->ProgressPeriod(), 100);

    t->Prepare();
    try {
        t->Prepare();
        ADD_FAILURE();
    } catch (const ETVQEncError& e) {
        EXPECT_STREQ(e.what(), enctext::kBusy);
    }
    t->Start();
    EXPECT_THROW(t->SetTitle("x"), ETVQEncError);
    EXPECT_THROW(t->SetBitRate(80), ETVQEncError);
    EXPECT_NO_THROW(t->SetPriority(TThreadPriority::tpNormal));
    t->WritePCM(nullptr, 0);
    ASSERT_TRUE(WaitFinished(*t));
    // One frame of silence and nothing else.
    const Bytes file = test::ReadAll(dir.Path("guard.vqf"));
    EXPECT_EQ(file.size() - (16 + Be32(file, 12) + 4), (kBitsPerFrame96 + 7u) / 8);
}

TEST_F(TTVQEncTest, LibraryAndFileRefusalsRaiseAndLeaveTheComponentUsable) {
    auto t = Make(dir.Path("no-such-folder\\x.vqf"));
    EXPECT_THROW(t->Prepare(), ETVQEncError);
    EXPECT_FALSE(t->Prepared());
    EXPECT_THROW(t->Start(), ETVQEncError);  // nothing prepared to encode into
    EXPECT_FALSE(t->IsEncoding());

    t->SetDestinationFile(dir.Path("rate.vqf"));
    t->SetBitRate(300);  // the library refuses it
    EXPECT_THROW(t->Prepare(), ETVQEncError);
    EXPECT_FALSE(test::Exists(dir.Path("rate.vqf")));

    t->SetBitRate(96);
    const Bytes file = EncodeAll(*t, test::Tone(kFrameSize));
    EXPECT_EQ(reports.finishes, std::vector<bool>{false});
    EXPECT_GT(file.size(), 0u);
}

TEST_F(TTVQEncTest, DestroyingAPreparedOrRunningComponentClosesEverything) {
    {
        auto t = Make(dir.Path("prepared.vqf"));
        t->Prepare();
    }
    EXPECT_TRUE(DeleteFileA(dir.Path("prepared.vqf").c_str()));
    EXPECT_EQ(GetModuleHandleA("TVQENC.DLL"), nullptr);
    EXPECT_EQ(BitFilesOpen(), 0);
    {
        auto t = Make(dir.Path("running.vqf"));
        t->Prepare();
        t->Start();
        Feed(*t, test::Tone(3 * kFrameSize));
    }
    EXPECT_TRUE(DeleteFileA(dir.Path("running.vqf").c_str()));
    EXPECT_EQ(BitFilesOpen(), 0);
}

}  // namespace
}  // namespace wx
