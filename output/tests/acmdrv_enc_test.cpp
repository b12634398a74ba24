// The driver's GOGO and TwinVQ sinks with the real components over their
// stand-in libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "output/acmmgr32.h"
#include "output/gogotea.h"
#include "output/tests/enctest_util.h"
#include "output/tests/wavtools.h"
#include "output/tvqenc.h"

using wavtools::Bytes;

namespace {

std::string Out(const std::string& name) {
    const std::string dir = wx::test::ExeDir() + "\\acmdrv_enc_out";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
}

WAVEFORMATEX Cd() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 176400;
    return f;
}

TGogoEncodeParams GogoParams(std::int32_t channelMode, std::int32_t bitsPerSecond) {
    TGogoEncodeParams p{};
    p.CpuFeatures = 1;
    p.VBRLevel = 4;
    p.Priority = 3;
    p.ChannelMode = channelMode;
    p.BitRate = bitsPerSecond;
    p.VBRLow = 64;
    p.VBRHigh = 192;
    p.FilterLow = 50;
    p.FilterHigh = 60;
    p.MSThreshold = 70;
    p.MSPower = 60;
    return p;
}

template <class F>
F GogoControl(const char* name) {
    HMODULE m = GetModuleHandleA("GOGO.DLL");
    return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// Writes in pieces and closes; Close waits for the component itself.
bool Feed(TAcmDrv& drv, const Bytes& pcm, std::size_t piece) {
    bool ok = true;
    for (std::size_t at = 0; ok && at < pcm.size(); at += piece)
        ok = drv.Write(pcm.data() + at, std::uint32_t(std::min(piece, pcm.size() - at)));
    return drv.Close() && ok;
}

class EncoderSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetDllDirectoryA(wx::test::StandinDir().c_str())); }
    void TearDown() override { SetDllDirectoryA(nullptr); }
};

}  // namespace

TEST_F(EncoderSinkTest, WithoutComponentsBothSinksRefuse) {
    TAcmDrv drv;
    const WAVEFORMATEX cd = Cd();
    TGogoEncodeParams g = GogoParams(gcJointStereo, 128000);
    EXPECT_FALSE(drv.Setup(&cd, &g, admGogo, false));
    EXPECT_FALSE(drv.ErrorText().empty());
    EXPECT_FALSE(drv.Open(Out("nogogo.mp3")));
    TTwinVQEncodeParams t{44, 2, nullptr, 96, 16};
    EXPECT_FALSE(drv.Setup(&cd, &t, admTwinVq, false));
    EXPECT_FALSE(drv.ErrorText().empty());
    EXPECT_FALSE(drv.Open(Out("notvq.vqf")));
    EXPECT_EQ(GetFileAttributesA(Out("notvq.vqf").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EncoderSinkTest, GogoSetupCarriesEverySetting) {
    wx::TGogoTea gogo(nullptr);
    TAcmDrv drv;
    drv.GogoEncoder = &gogo;
    const WAVEFORMATEX cd = Cd();
    TGogoEncodeParams p = GogoParams(gcMono, 128000);
    p.CpuFeatures = 8;
    p.UseTwoCpus = 1;
    p.Emphasis = 1;
    p.VBRRangeOn = 1;
    p.FilterOn = 1;
    p.MSOn = 1;
    p.OutputFormat = gftRiffMP3;
    p.ForceSameRate = 1;
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false)) << drv.ErrorText();
    EXPECT_EQ(gogo.BitRate(), 64);  // mono halves 128 kbit/s
    EXPECT_EQ(gogo.EncodeType(), wx::TEncodeType::_MONO);
    EXPECT_EQ(gogo.Optimization(), (wx::TUseUnits{wx::TUseUnit::_USE_KNI}));
    EXPECT_EQ(gogo.VBRLevel(), 4);
    EXPECT_EQ(gogo.Processors(), 2);
    EXPECT_EQ(gogo.Priority(), wx::TThreadPriority::tpNormal);
    EXPECT_EQ(gogo.Emphasis(), wx::TEmphasis::_5015MS_EMPH);
    EXPECT_TRUE(gogo.ForceSameRate());
    EXPECT_EQ(gogo.EncodeFormat(), wx::TEncodeFormat::_FORMAT_OF_RIFF_RMP);
    EXPECT_TRUE(gogo.VBRBitrate().Enabled);
    EXPECT_EQ(gogo.VBRBitrate().High, 192);
    EXPECT_EQ(gogo.ExtFilter().Low, 50);
    EXPECT_EQ(gogo.MSSetting().Power, 60);
    p = GogoParams(gcStereo, 192000);
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    EXPECT_EQ(gogo.BitRate(), 192);
    EXPECT_EQ(gogo.EncodeType(), wx::TEncodeType::_STEREO);
    // A VBR level out of range is the component's refusal, not a crash.
    p.VBRLevel = 12;
    EXPECT_FALSE(drv.Setup(&cd, &p, admGogo, false));
    EXPECT_FALSE(drv.ErrorText().empty());
}

TEST_F(EncoderSinkTest, GogoMp3AndRiffWithInfoChunks) {
    wx::TGogoTea gogo(nullptr);
    TAcmDrv drv;
    drv.GogoEncoder = &gogo;
    const WAVEFORMATEX cd = Cd();
    const Bytes pcm = wavtools::TestSignal(44100 * 2);
    TGogoEncodeParams p = GogoParams(gcJointStereo, 128000);
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    ASSERT_TRUE(drv.Open(Out("gogo.mp3"))) << drv.ErrorText();
    // One piece larger than the component's ring.
    ASSERT_TRUE(Feed(drv, pcm, pcm.size())) << drv.ErrorText();
    const Bytes mp3 = wavtools::ReadFile(Out("gogo.mp3"));
    const int frames = wx::test::CountMp3Frames(mp3, 0, mp3.size());
    EXPECT_GE(frames, int(44100 * 2 / 1152));
    EXPECT_LE(frames, int(44100 * 2 / 1152) + 4);

    TTrackTags tags;
    tags.Title = "\x8A\x43\x82\xCC\x89\xCC";  // 海の歌
    tags.Artist = "Artist";
    tags.Genre = 17;
    tags.Year = "2000";
    p.OutputFormat = gftRiffWave;
    p.Track = &tags;
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    ASSERT_TRUE(drv.Open(Out("gogo_riff.wav")));
    ASSERT_TRUE(Feed(drv, pcm, 2352)) << drv.ErrorText();
    const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out("gogo_riff.wav")));
    ASSERT_TRUE(riff.Valid);
    ASSERT_TRUE(riff.Chunks.count("LIST"));
    const Bytes& list = riff.Chunks.at("LIST");
    ASSERT_EQ(std::string(list.begin(), list.begin() + 4), "INFO");
    std::vector<std::string> ids;
    std::vector<std::string> texts;
    for (std::size_t at = 4; at + 8 <= list.size();) {
        const std::uint32_t n = wavtools::Le32(list, at + 4);
        ASSERT_LE(at + 8 + n, list.size());
        ids.emplace_back(list.begin() + std::ptrdiff_t(at), list.begin() + std::ptrdiff_t(at + 4));
        texts.emplace_back(list.begin() + std::ptrdiff_t(at + 8), list.begin() + std::ptrdiff_t(at + 8 + n));
        at += 8 + n + (n & 1);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"INAM", "IART", "IPRD", "ICMT", "IGNR", "ICRD", "ICOP", "ISFT"}));
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0], tags.Title + '\0');
    EXPECT_EQ(texts[1], std::string("Artist", 7));
    EXPECT_EQ(texts[2], std::string(1, '\0'));  // empty fields are there too
    EXPECT_EQ(texts[4], std::string("Rock", 5));
    EXPECT_EQ(texts[5], std::string("2000", 5));
    EXPECT_EQ(texts[7], "Ripped by Wendrix and Encoded by GOGO.DLL " + gogo.VersionString() + '\0');

    // A tagged file set up but never opened (its source failed) leaves no
    // INFO texts to the next file, which has none of its own.
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    p.Track = nullptr;
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    ASSERT_TRUE(drv.Open(Out("gogo_untagged.wav")));
    ASSERT_TRUE(Feed(drv, pcm, 2352)) << drv.ErrorText();
    const auto untagged = wavtools::ParseRiff(wavtools::ReadFile(Out("gogo_untagged.wav")));
    ASSERT_TRUE(untagged.Valid);
    EXPECT_EQ(untagged.Chunks.count("LIST"), 0u) << "the INFO texts of the file before";
}

TEST_F(EncoderSinkTest, GogoThatFailsMidRunFailsTheDriver) {
    wx::TGogoTea gogo(nullptr);
    TAcmDrv drv;
    drv.GogoEncoder = &gogo;
    const WAVEFORMATEX cd = Cd();
    TGogoEncodeParams p = GogoParams(gcJointStereo, 128000);
    ASSERT_TRUE(drv.Setup(&cd, &p, admGogo, false));
    ASSERT_TRUE(drv.Open(Out("gogo_fail.mp3")));
    auto failFrame = GogoControl<void(__cdecl*)(std::uint32_t, std::uint32_t)>("StandinFailFrame");
    ASSERT_NE(failFrame, nullptr);
    failFrame(20, 7);
    // Ten seconds, more than the ring holds: the writer must notice the
    // stopped encoder instead of waiting on a full ring, or Close must.
    const Bytes pcm = wavtools::TestSignal(44100 * 10);
    bool ok = true;
    for (std::size_t at = 0; ok && at < pcm.size(); at += 47040) {
        ok = drv.Write(pcm.data() + at, std::uint32_t(std::min<std::size_t>(47040, pcm.size() - at)));
        wx::test::PumpFor(1);  // the component's window reports to this thread
    }
    const bool closed = drv.Close();
    EXPECT_FALSE(ok && closed) << "an encoder error was reported as a finished file";
    EXPECT_FALSE(drv.ErrorText().empty());
    failFrame(0, 0);
}

TEST_F(EncoderSinkTest, TwinVqTagsComeFromTheTrackOrAreCleared) {
    wx::TTVQEnc tvq(nullptr);
    TAcmDrv drv;
    drv.TwinVqEncoder = &tvq;
    const WAVEFORMATEX cd = Cd();
    TTrackTags tags;
    tags.Title = "Title";
    tags.Artist = "Artist";
    tags.Album = "Album";
    tags.Comment = "Comment";
    tags.Copyright = "(C)";
    tags.Year = "1999";
    TTwinVQEncodeParams p{44, 2, &tags, 80, 8};
    ASSERT_TRUE(drv.Setup(&cd, &p, admTwinVq, false)) << drv.ErrorText();
    EXPECT_EQ(tvq.Title(), "Title");
    EXPECT_EQ(tvq.Author(), "Artist");
    EXPECT_EQ(tvq.Album(), "Album");
    EXPECT_EQ(tvq.Comment(), "Comment");
    EXPECT_EQ(tvq.CopyRight(), "(C)");
    EXPECT_EQ(tvq.Year(), 1999);
    EXPECT_EQ(tvq.BitRate(), 80);
    EXPECT_EQ(tvq.N_CAN(), 8);
    EXPECT_EQ(tvq.EncodeType(), wx::tvq::TEncodeType::_TVQENC_STEREO);
    tags.Year = "199x";
    ASSERT_TRUE(drv.Setup(&cd, &p, admTwinVq, false));
    EXPECT_EQ(tvq.Year(), 0);
    TTwinVQEncodeParams bare{44, 1, nullptr, 96, 16};
    ASSERT_TRUE(drv.Setup(&cd, &bare, admTwinVq, false));
    EXPECT_EQ(tvq.Title(), "");
    EXPECT_EQ(tvq.Author(), "");
    EXPECT_EQ(tvq.Album(), "");
    EXPECT_EQ(tvq.Comment(), "");
    EXPECT_EQ(tvq.CopyRight(), "");
    EXPECT_EQ(tvq.Year(), 0);
    EXPECT_EQ(tvq.EncodeType(), wx::tvq::TEncodeType::_TVQENC_MONO);
}

TEST_F(EncoderSinkTest, TwinVqFileWithItsTags) {
    wx::TTVQEnc tvq(nullptr);
    TAcmDrv drv;
    drv.TwinVqEncoder = &tvq;
    const WAVEFORMATEX cd = Cd();
    TTrackTags tags;
    tags.Title = "Song";
    tags.Artist = "Band";
    TTwinVQEncodeParams p{44, 2, &tags, 96, 16};
    ASSERT_TRUE(drv.Setup(&cd, &p, admTwinVq, false));
    ASSERT_TRUE(drv.Open(Out("out.vqf"))) << drv.ErrorText();
    const Bytes pcm = wavtools::TestSignal(44100 * 2);
    ASSERT_TRUE(Feed(drv, pcm, 2352)) << drv.ErrorText();
    const Bytes vqf = wavtools::ReadFile(Out("out.vqf"));
    const std::string text(vqf.begin(), vqf.end());
    ASSERT_GT(vqf.size(), 1000u);
    EXPECT_EQ(text.substr(0, 4), "TWIN");
    EXPECT_NE(text.find("NAME"), std::string::npos);
    EXPECT_NE(text.find("Song"), std::string::npos);
    EXPECT_NE(text.find("Band"), std::string::npos);
}

// --- Where every sink writes, and when its file takes its name -------------------

namespace {

// The small file system the test's fixture mounts beside the program, or ""
// where the machine would not mount one.
std::string SmallVolume() {
    const std::string dir = wx::test::ExeDir() + "\\small_volume";
    ULARGE_INTEGER caller{}, total{}, free{};
    if (!GetDiskFreeSpaceExA((dir + "\\").c_str(), &caller, &total, &free)) return "";
    return total.QuadPart < 64u * 1024 * 1024 ? dir : "";
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

void EmptyFolder(const std::string& dir) {
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const std::string& f : FilesIn(dir)) {
        SetFileAttributesA((dir + "\\" + f).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir + "\\" + f).c_str());
    }
}

void PutFile(const std::string& name, const Bytes& bytes) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

enum class TEnding {
    Close,     // finished: the new file takes the name
    Discard,   // given up: the old file stays
    Failure,   // the sink fails (a full disk, an encoder error): the old file stays
};

}  // namespace

// Every sink writes under a temporary name in the file's folder; the old
// file of the name is untouched until a Close that finished the new one,
// and a Discard or a failure leaves it byte for byte with no temporary
// file behind.
TEST_F(EncoderSinkTest, EverySinkReplacesTheOldFileOnlyWhenItsNewOneIsFinished) {
    const std::vector<std::uint8_t> ima = [] {
        std::vector<std::uint8_t> block(256, 0);
        WAVEFORMATEX src = Cd();
        auto* dst = reinterpret_cast<WAVEFORMATEX*>(block.data());
        dst->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
        dst->nSamplesPerSec = 44100;
        dst->nChannels = 2;
        if (acmFormatSuggest(nullptr, &src, dst, 256,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                                 ACM_FORMATSUGGESTF_NCHANNELS) != MMSYSERR_NOERROR)
            block.clear();
        return block;
    }();
    ASSERT_FALSE(ima.empty());
    const WAVEFORMATEX cd = Cd();
    const std::string testenc = wx::test::ExeDir() + "\\testenc.exe";
    struct TRow {
        const char* what;
        const char* file;
        std::uint8_t mode;
        TEnding ending;
        const char* encoderOptions = "";  // the pipe's encoder
        bool failGogo = false;            // the GOGO stand-in fails a frame
    };
    const TRow rows[] = {
        {"WAV", "t.wav", admAcmWave, TEnding::Close},
        {"WAV", "t.wav", admAcmWave, TEnding::Discard},
        {"WAV, full disk", "t.wav", admAcmWave, TEnding::Failure},
        {"IMA ADPCM", "t.wav", admAcmWave, TEnding::Close},
        {"IMA ADPCM", "t.wav", admAcmWave, TEnding::Discard},
        {"IMA ADPCM, full disk", "t.wav", admAcmWave, TEnding::Failure},
        {"WMA", "t.wma", admWma, TEnding::Close},
        {"WMA", "t.wma", admWma, TEnding::Discard},
        {"pipe", "t.mp3", admPipe, TEnding::Close},
        {"pipe", "t.mp3", admPipe, TEnding::Discard, "-sleep 20000"},
        {"pipe, encoder error", "t.mp3", admPipe, TEnding::Failure, "-exit 7"},
        {"GOGO", "t.mp3", admGogo, TEnding::Close},
        {"GOGO", "t.mp3", admGogo, TEnding::Discard},
        {"GOGO, encoder error", "t.mp3", admGogo, TEnding::Failure, "", true},
        {"TwinVQ", "t.vqf", admTwinVq, TEnding::Close},
        {"TwinVQ", "t.vqf", admTwinVq, TEnding::Discard},
        {"TwinVQ, full disk", "t.vqf", admTwinVq, TEnding::Failure},
    };
    const Bytes old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    const std::string volume = SmallVolume();
    for (const TRow& row : rows) {
        const bool fullDisk = row.ending == TEnding::Failure && !row.failGogo && row.mode != admPipe;
        SCOPED_TRACE(std::string(row.what) + (row.ending == TEnding::Close     ? ", closed"
                                              : row.ending == TEnding::Discard ? ", discarded"
                                                                               : ", failed"));
        if (fullDisk && volume.empty()) {
            std::printf("no small volume here: the row is left out\n");
            continue;
        }
        const std::string dir = fullDisk ? volume : Out("place");
        EmptyFolder(dir);
        const std::string file = dir + "\\" + row.file;
        PutFile(file, old);

        wx::TGogoTea gogo(nullptr);
        wx::TTVQEnc tvq(nullptr);
        int tvqErrors = 0;
        tvq.OnError = [&](wx::TTVQEnc*, int) { ++tvqErrors; };
        TAcmDrv drv;
        drv.GogoEncoder = &gogo;
        drv.TwinVqEncoder = &tvq;
        const TGogoEncodeParams gogoParams = GogoParams(gcJointStereo, 128000);
        const TTwinVQEncodeParams tvqParams{44, 2, nullptr, 96, 16};
        const TWMAEncodeParams wmaParams{2, 44100, 128000};
        const TPipeEncodeParams pipeParams{testenc.c_str(), row.encoderOptions};
        const void* params = &cd;
        if (row.mode == admAcmWave && std::string(row.what).find("IMA") == 0) params = ima.data();
        if (row.mode == admGogo) params = &gogoParams;
        if (row.mode == admTwinVq) params = &tvqParams;
        if (row.mode == admWma) params = &wmaParams;
        if (row.mode == admPipe) params = &pipeParams;
        ASSERT_TRUE(drv.Setup(&cd, params, row.mode, false)) << drv.ErrorText();
        ASSERT_TRUE(drv.Open(file)) << drv.ErrorText();
        EXPECT_NE(drv.WrittenName(), file);
        EXPECT_EQ(drv.WrittenName().substr(0, drv.WrittenName().find_last_of('\\')), dir);
        auto failFrame = GogoControl<void(__cdecl*)(std::uint32_t, std::uint32_t)>("StandinFailFrame");
        if (row.failGogo) failFrame(20, 7);
        // Four seconds, more than the small volume holds.
        const Bytes pcm = wavtools::TestSignal(44100 * 4);
        bool written = true;
        for (std::size_t at = 0; written && at < pcm.size(); at += 47040) {
            written = drv.Write(pcm.data() + at, std::uint32_t(std::min<std::size_t>(47040, pcm.size() - at)));
            wx::test::PumpFor(1);  // the components report to this thread
        }
        EXPECT_EQ(wavtools::ReadFile(file), old) << "the old file changed before the new one was finished";
        bool closed = false;
        if (row.ending == TEnding::Discard)
            drv.Discard();
        else
            closed = drv.Close() && written;
        if (row.failGogo) failFrame(0, 0);
        EXPECT_EQ(closed, row.ending == TEnding::Close) << drv.ErrorText();
        if (row.ending == TEnding::Close) {
            const Bytes made = wavtools::ReadFile(file);
            EXPECT_GT(made.size(), 1000u);
        } else {
            EXPECT_EQ(wavtools::ReadFile(file), old);
        }
        if (row.ending == TEnding::Failure) EXPECT_FALSE(drv.ErrorText().empty());
        if (fullDisk && row.mode == admTwinVq) EXPECT_EQ(tvqErrors, 1);  // reported with code 0
        EXPECT_FALSE(gogo.IsEncoding());
        EXPECT_FALSE(tvq.IsEncoding());
        EXPECT_FALSE(drv.IsPipeEncoderRunning());
        EXPECT_EQ(FilesIn(dir), std::vector<std::string>{row.file}) << "a temporary file was left";
    }
}

// What stands under the name decides whether the new file may take it: a
// folder, a device or a read-only file refuse Open and stay as they were.
TEST_F(EncoderSinkTest, OpenRefusesANameThatCannotBeReplaced) {
    const std::string dir = Out("refused");
    EmptyFolder(dir);
    CreateDirectoryA((dir + "\\folder.wav").c_str(), nullptr);
    PutFile(dir + "\\readonly.wav", {'r', 'o'});
    SetFileAttributesA((dir + "\\readonly.wav").c_str(), FILE_ATTRIBUTE_READONLY);
    PutFile(dir + "\\held.wav", {'h'});
    HANDLE held = CreateFileA((dir + "\\held.wav").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const WAVEFORMATEX cd = Cd();
    const struct {
        std::string name;
        TOutputTarget target;
    } rows[] = {
        {dir + "\\new.wav", TOutputTarget::Absent},
        {dir + "\\folder.wav", TOutputTarget::NotAFile},
        {"Z:\\dev\\full", TOutputTarget::NotAFile},  // a device is never renamed over
        {dir + "\\readonly.wav", TOutputTarget::ReadOnly},
        {dir + "\\held.wav", TOutputTarget::InUse},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExamineOutput(row.name), row.target);
        TAcmDrv drv;
        ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
        const bool opened = drv.Open(row.name);
        EXPECT_EQ(opened, row.target == TOutputTarget::Absent);
        if (opened) {
            EXPECT_TRUE(drv.Close()) << drv.ErrorText();
        } else {
            EXPECT_NE(drv.ErrorText().find(MsgCreateFailed), std::string::npos);
        }
    }
    CloseHandle(held);
    EXPECT_EQ(wavtools::ReadFile(dir + "\\readonly.wav"), (Bytes{'r', 'o'}));
    EXPECT_EQ(wavtools::ReadFile(dir + "\\held.wav"), (Bytes{'h'}));
    SetFileAttributesA((dir + "\\readonly.wav").c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<std::string> left = FilesIn(dir);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"held.wav", "new.wav", "readonly.wav"}));
    EXPECT_EQ(OutputTempName(dir + "\\a.b\\x"), dir + "\\a.b\\TMP1.$$$");
    EXPECT_EQ(OutputTempName(dir + "\\new.wav"), dir + "\\TMP1.$$$.wav");
}
