// The output driver against Wine's real Audio Compression Manager, the
// test encoder console program and the WMA writer stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "output/acmmgr32.h"
#include "output/wmaudiosdk.h"

#include <tlhelp32.h>
#include "output/tests/wavtools.h"
#include "standins/wmaudsdk/asf.h"

using wavtools::Bytes;

namespace {

std::string ExeDir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of('\\'));
}

std::string OutDir() {
    static const std::string dir = [] {
        const std::string d = ExeDir() + "\\acmdrv_out";
        CreateDirectoryA(d.c_str(), nullptr);
        return d;
    }();
    return dir;
}

std::string Out(const std::string& name) { return OutDir() + "\\" + name; }
std::string TestEnc() { return ExeDir() + "\\testenc.exe"; }

WAVEFORMATEX CdFormat() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 176400;
    return f;
}

WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// The format the ACM suggests for a tag, in a 256-byte block.
std::vector<std::uint8_t> Suggest(WORD tag, DWORD rate = 44100, WORD channels = 2) {
    std::vector<std::uint8_t> block(256, 0);
    WAVEFORMATEX src = PcmFormat(rate, channels, 16);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(block.data());
    dst->wFormatTag = tag;
    dst->nSamplesPerSec = rate;
    dst->nChannels = channels;
    const MMRESULT r = acmFormatSuggest(nullptr, &src, dst, 256,
                                        ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                                            ACM_FORMATSUGGESTF_NCHANNELS);
    if (r != MMSYSERR_NOERROR) block.clear();
    return block;
}

// Writes `pcm` in pieces of `piece` bytes and closes.
bool WriteAllPieces(TAcmDrv& drv, const Bytes& pcm, std::size_t piece) {
    bool ok = true;
    for (std::size_t at = 0; at < pcm.size(); at += piece)
        ok = drv.Write(pcm.data() + at, std::uint32_t(std::min(piece, pcm.size() - at))) && ok;
    return drv.Close() && ok;
}

std::string LastError;

bool Encode(const std::string& file, const void* target, const Bytes& pcm, std::size_t piece, std::uint8_t mode = 0) {
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    const bool ok = drv.Setup(&cd, target, mode, false) && drv.Open(file) && WriteAllPieces(drv, pcm, piece);
    LastError = drv.ErrorText();
    return ok;
}

}  // namespace

// --- RIFF WAVE through ACM ------------------------------------------------------

TEST(AcmDriverWave, SameFormatPcmGoesStraightToTheFile) {
    const Bytes pcm = wavtools::TestSignal(44100 * 2 + 17);
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    EXPECT_TRUE(drv.IsPassThrough());
    EXPECT_FALSE(drv.HasFirstStream());
    EXPECT_FALSE(drv.HasDstStream());
    ASSERT_TRUE(drv.Open(Out("same.wav")));
    ASSERT_TRUE(WriteAllPieces(drv, pcm, 2352));

    const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out("same.wav")));
    ASSERT_TRUE(riff.Valid);
    EXPECT_EQ(riff.Order, (std::vector<std::string>{"fmt ", "data"}));
    EXPECT_EQ(riff.Chunks.at("fmt ").size(), 16u);
    EXPECT_EQ(0, std::memcmp(riff.Chunks.at("fmt ").data(), &cd, 16));
    EXPECT_EQ(riff.Chunks.at("data"), pcm);
}

TEST(AcmDriverWave, PcmAtAnotherRateIsTheSameForAnyPieceSize) {
    const Bytes pcm = wavtools::TestSignal(44100 * 8);
    const WAVEFORMATEX half = PcmFormat(22050, 2, 16);
    ASSERT_TRUE(Encode(Out("rate_small.wav"), &half, pcm, 2352));
    ASSERT_TRUE(Encode(Out("rate_large.wav"), &half, pcm, 47040));
    ASSERT_TRUE(Encode(Out("rate_whole.wav"), &half, pcm, pcm.size()));  // one 1.4 MB piece
    const auto small = wavtools::ParseRiff(wavtools::ReadFile(Out("rate_small.wav")));
    const auto large = wavtools::ParseRiff(wavtools::ReadFile(Out("rate_large.wav")));
    const auto whole = wavtools::ParseRiff(wavtools::ReadFile(Out("rate_whole.wav")));
    ASSERT_TRUE(small.Valid && large.Valid && whole.Valid);
    EXPECT_EQ(small.Chunks.at("fmt ").size(), 16u);
    EXPECT_FALSE(small.Chunks.count("fact"));
    const auto& data = small.Chunks.at("data");
    // Half the frames, within one block of the converter.
    EXPECT_NEAR(double(data.size()), double(pcm.size() / 2), 64.0);
    EXPECT_EQ(data, large.Chunks.at("data"));
    EXPECT_EQ(data, whole.Chunks.at("data"));
}

namespace {
// Whether the ACM can encode CD audio to this format at all.
bool CanEncode(const std::vector<std::uint8_t>& target) {
    WAVEFORMATEX cd = CdFormat();
    HACMSTREAM h = nullptr;
    if (acmStreamOpen(&h, nullptr, &cd, reinterpret_cast<WAVEFORMATEX*>(const_cast<std::uint8_t*>(target.data())),
                      nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
        return false;
    acmStreamClose(h, 0);
    return true;
}
}  // namespace

TEST(AcmDriverWave, CompressedTargetsHaveFormatFactAndData) {
    struct Case {
        WORD tag;
        const char* name;
    } cases[] = {{WAVE_FORMAT_IMA_ADPCM, "ima.wav"}, {WAVE_FORMAT_ALAW, "alaw.wav"}, {WAVE_FORMAT_MULAW, "mulaw.wav"}};
    const std::uint32_t frames = 44100 * 5 + 1234;
    const Bytes pcm = wavtools::TestSignal(frames);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto target = Suggest(c.tag);
        ASSERT_FALSE(target.empty()) << "no ACM codec for tag " << c.tag;
        const auto* t = reinterpret_cast<const WAVEFORMATEX*>(target.data());
        ASSERT_TRUE(Encode(Out(c.name), target.data(), pcm, 2352)) << LastError;
        const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out(c.name)));
        ASSERT_TRUE(riff.Valid);
        EXPECT_EQ(riff.Order, (std::vector<std::string>{"fmt ", "fact", "data"}));
        const auto& fmt = riff.Chunks.at("fmt ");
        ASSERT_EQ(fmt.size(), 18u + t->cbSize);
        EXPECT_EQ(0, std::memcmp(fmt.data(), target.data(), fmt.size()));
        EXPECT_EQ(wavtools::Le32(riff.Chunks.at("fact"), 0), frames);
        // Whole blocks, covering every frame.
        const auto& data = riff.Chunks.at("data");
        EXPECT_EQ(data.size() % t->nBlockAlign, 0u);
        const double seconds = double(data.size()) / t->nAvgBytesPerSec;
        EXPECT_NEAR(seconds, frames / 44100.0, 0.05);
    }
}

TEST(AcmDriverWave, CodecThatCannotEncodeIsRefusedBySetup) {
    // Wine's Microsoft ADPCM codec offers formats it cannot encode to; a
    // codec that can must give a complete file instead.
    const auto target = Suggest(WAVE_FORMAT_ADPCM);
    ASSERT_FALSE(target.empty());
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    const bool setup = drv.Setup(&cd, target.data(), admAcmWave, false);
    EXPECT_EQ(setup, CanEncode(target));
    if (!setup) {
        EXPECT_FALSE(drv.ErrorText().empty());
        EXPECT_FALSE(drv.HasFirstStream() || drv.HasDstStream());
        EXPECT_FALSE(drv.Open(Out("msadpcm.wav")));
        EXPECT_EQ(GetFileAttributesA(Out("msadpcm.wav").c_str()), INVALID_FILE_ATTRIBUTES);
        return;
    }
    const Bytes pcm = wavtools::TestSignal(44100);
    ASSERT_TRUE(drv.Open(Out("msadpcm.wav")));
    ASSERT_TRUE(WriteAllPieces(drv, pcm, 2352));
    const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out("msadpcm.wav")));
    ASSERT_TRUE(riff.Valid);
    EXPECT_EQ(wavtools::Le32(riff.Chunks.at("fact"), 0), 44100u);
}

TEST(AcmDriverWave, FactCountsTargetSamplesAtOtherRates) {
    const std::uint32_t frames = 1000000;
    const Bytes pcm = wavtools::TestSignal(frames);
    for (DWORD rate : {22050u, 8000u}) {
        SCOPED_TRACE(rate);
        const auto target = Suggest(WAVE_FORMAT_ALAW, rate, 2);
        ASSERT_FALSE(target.empty());
        const std::string name = Out("alaw" + std::to_string(rate) + ".wav");
        ASSERT_TRUE(Encode(name, target.data(), pcm, 47040));
        const auto riff = wavtools::ParseRiff(wavtools::ReadFile(name));
        ASSERT_TRUE(riff.Valid);
        const std::uint32_t fact = wavtools::Le32(riff.Chunks.at("fact"), 0);
        EXPECT_EQ(fact, std::uint64_t(frames) * rate / 44100);
        // Exact: 8000 Hz gives 181,405 (44,100,000 div 8000 would make it
        // 181,422).  A-law stereo: two bytes per frame, as the fact says.
        EXPECT_NEAR(double(riff.Chunks.at("data").size()) / 2, double(fact), 64.0);
    }
}

TEST(AcmDriverWave, LargePiecesNeverOverrunTheSourceBuffer) {
    // 3 MB in one piece, to a target whose intermediate stage is larger
    // than the source (48 kHz): every byte arrives.
    const Bytes pcm = wavtools::TestSignal(44100 * 18);
    const WAVEFORMATEX hi = PcmFormat(48000, 2, 16);
    ASSERT_TRUE(Encode(Out("big_piece.wav"), &hi, pcm, pcm.size()));
    ASSERT_TRUE(Encode(Out("big_small.wav"), &hi, pcm, 2352));
    const auto a = wavtools::ParseRiff(wavtools::ReadFile(Out("big_piece.wav")));
    const auto b = wavtools::ParseRiff(wavtools::ReadFile(Out("big_small.wav")));
    ASSERT_TRUE(a.Valid && b.Valid);
    EXPECT_NEAR(double(a.Chunks.at("data").size()) / 4, 48000.0 * 18, 64.0);
    EXPECT_EQ(a.Chunks.at("data"), b.Chunks.at("data"));
}

TEST(AcmDriverWave, TestOnlySetupClosesItsStreams) {
    const auto target = Suggest(WAVE_FORMAT_IMA_ADPCM);
    ASSERT_FALSE(target.empty());
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, target.data(), admAcmWave, true));
    EXPECT_FALSE(drv.HasFirstStream());
    EXPECT_FALSE(drv.HasDstStream());
    // Nothing to write through: Open is refused rather than using the
    // closed streams.
    EXPECT_FALSE(drv.Open(Out("tested_only.wav")));
    EXPECT_EQ(GetFileAttributesA(Out("tested_only.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(AcmDriverWave, FormatWithOversizedExtraBytesIsRefused) {
    // A stored format whose cbSize says 300 extra bytes: reading them would
    // run past the 256-byte block.
    std::vector<std::uint8_t> block = Suggest(WAVE_FORMAT_IMA_ADPCM);
    ASSERT_FALSE(block.empty());
    auto* f = reinterpret_cast<WAVEFORMATEX*>(block.data());
    f->cbSize = 300;
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    EXPECT_FALSE(drv.Setup(&cd, block.data(), admAcmWave, false));
    EXPECT_FALSE(drv.ErrorText().empty());
    EXPECT_FALSE(drv.HasDstStream());
    EXPECT_EQ(TAcmDrv::GetFormatName(f), "");
    f->cbSize = 256 - 18 + 1;
    EXPECT_FALSE(drv.Setup(&cd, block.data(), admAcmWave, false));
    // The largest that fits is taken as far as the codec agrees.
    f->cbSize = 2;
    EXPECT_TRUE(drv.Setup(&cd, block.data(), admAcmWave, true));
}

TEST(AcmDriverWave, FormatNamesComeFromTheAcm) {
    const WAVEFORMATEX cd = CdFormat();
    EXPECT_FALSE(TAcmDrv::GetFormatName(&cd).empty());
    EXPECT_FALSE(TAcmDrv::GetFormatTagName(WAVE_FORMAT_PCM, 16).empty());
    EXPECT_FALSE(TAcmDrv::GetFormatTagName(WAVE_FORMAT_IMA_ADPCM, 20).empty());
    EXPECT_EQ(TAcmDrv::GetFormatTagName(0x7ABC, 18), "");
}

TEST(AcmDriverWave, UnwritableFolderFailsOpenWithAText) {
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    EXPECT_FALSE(drv.Open(Out("no such folder\\x.wav")));
    EXPECT_FALSE(drv.ErrorText().empty());
    const Bytes pcm = wavtools::TestSignal(100);
    EXPECT_FALSE(drv.Write(pcm.data(), std::uint32_t(pcm.size())));
    EXPECT_FALSE(drv.Close());
}

// --- MPEG Layer-3 through ACM ----------------------------------------------------

TEST(AcmDriverMp3, NoEncoderIsReportedCleanly) {
    // Wine's MPEG Layer-3 codec only decodes.
    std::uint8_t fmt[64];
    std::memset(fmt, 0xA5, sizeof fmt);
    for (const auto& row : Mp3FormatTable) {
        SCOPED_TRACE(row.BitsPerSecond);
        EXPECT_FALSE(TAcmDrv::FindMP3Format(row.BitsPerSecond, reinterpret_cast<WAVEFORMATEX*>(fmt)));
    }
    EXPECT_FALSE(TAcmDrv::FindMP3Format(12345, reinterpret_cast<WAVEFORMATEX*>(fmt)));
    for (std::uint8_t b : fmt) ASSERT_EQ(b, 0xA5) << "the format was touched";

    std::uint8_t mp3[Mp3FormatSize];
    BuildMp3Format(*FindMp3FormatRow(128000), mp3);
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    EXPECT_FALSE(drv.Setup(&cd, mp3, admAcmMp3, false));
    EXPECT_FALSE(drv.ErrorText().empty());
    EXPECT_FALSE(drv.HasFirstStream());
    EXPECT_FALSE(drv.Open(Out("acm.mp3")));
    EXPECT_EQ(GetFileAttributesA(Out("acm.mp3").c_str()), INVALID_FILE_ATTRIBUTES);
}

// --- External encoder through a pipe ----------------------------------------------

namespace {
struct PipeRun {
    bool opened = false, written = false, closed = false;
    std::string error;
};

PipeRun RunPipe(const std::string& program, const std::string& options, const std::string& file, const Bytes& pcm,
                std::size_t piece = 47040) {
    PipeRun run;
    TAcmDrv drv;
    TPipeEncodeParams params{program.c_str(), options.c_str()};
    const WAVEFORMATEX cd = CdFormat();
    if (!drv.Setup(&cd, &params, admPipe, false)) return run;
    run.opened = drv.Open(file);
    if (run.opened) {
        run.written = true;
        for (std::size_t at = 0; at < pcm.size() && run.written; at += piece)
            run.written = drv.Write(pcm.data() + at, std::uint32_t(std::min(piece, pcm.size() - at)));
        run.closed = drv.Close();
    }
    run.error = drv.ErrorText();
    return run;
}
}  // namespace

TEST(AcmDriverPipe, EncoderReceivesEveryByte) {
    const Bytes pcm = wavtools::TestSignal(44100 * 3 + 5);
    const auto run = RunPipe(TestEnc(), "-wav", Out("pipe.wav"), pcm, 2352);
    ASSERT_TRUE(run.opened) << run.error;
    EXPECT_TRUE(run.written);
    EXPECT_TRUE(run.closed) << run.error;
    const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out("pipe.wav")));
    ASSERT_TRUE(riff.Valid);
    EXPECT_EQ(riff.Chunks.at("data"), pcm);
}

TEST(AcmDriverPipe, TalkativeEncoderDoesNotStallTheInput) {
    // Two megabytes on standard error before it reads anything.
    const Bytes pcm = wavtools::TestSignal(44100);
    const auto run = RunPipe(TestEnc(), "-noise 2000000", Out("talk.raw"), pcm);
    EXPECT_TRUE(run.opened && run.written && run.closed) << run.error;
    EXPECT_EQ(wavtools::ReadFile(Out("talk.raw")), pcm);
}

TEST(AcmDriverPipe, ProgramPathWithBlanks) {
    const std::string dir = OutDir() + "\\enc dir";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(TestEnc().c_str(), (dir + "\\test enc.exe").c_str(), FALSE));
    const Bytes pcm = wavtools::TestSignal(4410);
    const auto run = RunPipe(dir + "\\test enc.exe", "", Out("blank path.raw"), pcm);
    EXPECT_TRUE(run.opened && run.written && run.closed) << run.error;
    EXPECT_EQ(wavtools::ReadFile(Out("blank path.raw")), pcm);
}

TEST(AcmDriverPipe, EncoderThatDiesFailsTheWriteInsteadOfWaiting) {
    const Bytes pcm = wavtools::TestSignal(44100 * 10);
    const auto run = RunPipe(TestEnc(), "-die 300000", Out("died.raw"), pcm);
    ASSERT_TRUE(run.opened) << run.error;
    EXPECT_FALSE(run.written);
    EXPECT_FALSE(run.closed);
    EXPECT_EQ(run.error, MsgEncoderDied);
}

TEST(AcmDriverPipe, EncoderErrorAtTheEndFailsClose) {
    const Bytes pcm = wavtools::TestSignal(4410);
    const auto run = RunPipe(TestEnc(), "-exit 7", Out("exit7.raw"), pcm);
    ASSERT_TRUE(run.opened);
    EXPECT_TRUE(run.written);
    EXPECT_FALSE(run.closed);
    EXPECT_NE(run.error.find(MsgEncoderError), std::string::npos);
    EXPECT_NE(run.error.find(" 7)"), std::string::npos);
}

TEST(AcmDriverPipe, EncoderThatEndsAtOnceFailsOpen) {
    // Ended within the 500 ms of the start check: Open fails.  (On a machine
    // so loaded that the check misses it, the failed exit code still keeps
    // the run from being reported as done.)
    const Bytes pcm = wavtools::TestSignal(4410);
    auto run = RunPipe(TestEnc(), "-quit -exit 9", Out("quit.raw"), pcm);
    EXPECT_FALSE(run.closed);
    EXPECT_FALSE(run.error.empty());
    run = RunPipe(OutDir() + "\\missing-encoder.exe", "", Out("missing.raw"), pcm);
    EXPECT_FALSE(run.opened);
    EXPECT_FALSE(run.error.empty());
}

TEST(AcmDriverPipe, SecondEncoderIsRefusedWhileOneRuns) {
    TAcmDrv drv;
    const std::string program = TestEnc();
    TPipeEncodeParams params{program.c_str(), ""};
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &params, admPipe, false));
    ASSERT_TRUE(drv.Open(Out("first.raw")));
    EXPECT_TRUE(drv.IsPipeEncoderRunning());
    EXPECT_FALSE(drv.StartPipeEncoder(Out("second.raw")));
    EXPECT_TRUE(drv.Close());
    EXPECT_FALSE(drv.IsPipeEncoderRunning());
}

// --- WMA writer ----------------------------------------------------------------------

TEST(AcmDriverWma, WritesAnAsfFileThroughTheLibrary) {
    ASSERT_TRUE(IsWmaLibraryLoaded()) << "wmaudsdk.dll beside the test";
    const Bytes pcm = wavtools::TestSignal(44100 * 2 + 100);
    TWMAEncodeParams params{2, 44100, 128000};
    ASSERT_TRUE(Encode(Out("out.wma"), &params, pcm, 2352, admWma));
    const Bytes file = wavtools::ReadFile(Out("out.wma"));
    const auto header = asf::ParseHeader(file);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->FileSize, file.size());
    ASSERT_GE(header->StreamFormat.size(), 18u);
    const WAVEFORMATEX cd = CdFormat();
    EXPECT_EQ(0, std::memcmp(header->StreamFormat.data(), &cd, 16));
    EXPECT_TRUE(header->Attributes.empty());
}

TEST(AcmDriverWma, BadOutputParametersFailOpen) {
    TWMAEncodeParams params{2, 12345, 128000};  // a rate the writer does not offer
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &params, admWma, false));
    EXPECT_FALSE(drv.Open(Out("badrate.wma")));
    EXPECT_FALSE(drv.ErrorText().empty());
}

TEST(AcmDriverWma, MissingOrIncompleteLibraryRefusesWma) {
    UnloadWmaLibrary();
    EXPECT_FALSE(LoadWmaLibrary("no-such-library.dll"));
    // A library without the two entry points counts as missing.
    EXPECT_FALSE(LoadWmaLibrary("kernel32.dll"));
    EXPECT_EQ(WMAudioCreateWriter, nullptr);
    EXPECT_EQ(WMAudioCreateInfo, nullptr);
    TWMAEncodeParams params{2, 44100, 128000};
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &params, admWma, false));
    EXPECT_FALSE(drv.Open(Out("nolib.wma")));
    EXPECT_TRUE(LoadWmaLibrary());
}

TEST(AcmDriverWma, AttributesAreStoredAndReadBack) {
    ASSERT_TRUE(IsWmaLibraryLoaded());
    const Bytes pcm = wavtools::TestSignal(44100);
    TWMAEncodeParams params{2, 44100, 64000};
    ASSERT_TRUE(Encode(Out("tags.wma"), &params, pcm, 47040, admWma));
    const std::string narrow = Out("tags.wma");
    const std::wstring name(narrow.begin(), narrow.end());
    IWMAudioInfo* info = nullptr;
    ASSERT_EQ(WMAudioCreateInfo(name.c_str(), &info), S_OK);
    const wchar_t title[] = L"T\u00eftle";
    const DWORD track = 3;
    EXPECT_EQ(info->SetAttribute(L"Title", WmaAttrString, reinterpret_cast<const BYTE*>(title), sizeof title), S_OK);
    EXPECT_EQ(info->SetAttribute(L"WM/Track", WmaAttrDword, reinterpret_cast<const BYTE*>(&track), 4), S_OK);
    EXPECT_NE(info->SetAttribute(L"WM/Track", WmaAttrDword, reinterpret_cast<const BYTE*>(&track), 3), S_OK);
    EXPECT_EQ(info->Close(), S_OK);
    info->Release();

    ASSERT_EQ(WMAudioCreateInfo(name.c_str(), &info), S_OK);
    BYTE buf[1024];
    DWORD type = 99, len = sizeof buf;
    ASSERT_EQ(info->GetAttribute(L"Title", &type, buf, &len), S_OK);
    EXPECT_EQ(type, WmaAttrString);
    ASSERT_EQ(len, sizeof title);
    EXPECT_EQ(0, std::memcmp(buf, title, len));
    len = sizeof buf;
    ASSERT_EQ(info->GetAttribute(L"WM/Track", &type, buf, &len), S_OK);
    EXPECT_EQ(type, WmaAttrDword);
    EXPECT_EQ(len, 4u);
    len = 2;
    EXPECT_NE(info->GetAttribute(L"Title", &type, buf, &len), S_OK);  // buffer too small
    EXPECT_EQ(len, sizeof title);
    len = sizeof buf;
    EXPECT_NE(info->GetAttribute(L"Author", &type, buf, &len), S_OK);
    info->Release();
    // The audio is untouched by the header rewrite.
    const Bytes file = wavtools::ReadFile(Out("tags.wma"));
    const auto header = asf::ParseHeader(file);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->FileSize, file.size());
}

// --- Calling order and aborts ---------------------------------------------------------

TEST(AcmDriverOrder, CallsOutOfOrderAreRefusedHarmlessly) {
    TAcmDrv drv;
    const Bytes pcm = wavtools::TestSignal(100);
    EXPECT_FALSE(drv.Write(pcm.data(), std::uint32_t(pcm.size())));  // nothing open
    EXPECT_FALSE(drv.Close());
    EXPECT_FALSE(drv.Open(Out("no_setup.wav")));                      // no Setup yet
    const WAVEFORMATEX cd = CdFormat();
    EXPECT_FALSE(drv.Setup(&cd, &cd, 9, false));                      // no such sink
    EXPECT_FALSE(drv.Setup(&cd, nullptr, admAcmWave, false));
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    ASSERT_TRUE(drv.Open(Out("order.wav")));
    EXPECT_FALSE(drv.Open(Out("order2.wav")));                        // already open
    EXPECT_FALSE(drv.Setup(&cd, &cd, admAcmWave, false));             // not while open
    EXPECT_TRUE(drv.Write(pcm.data(), std::uint32_t(pcm.size())));
    EXPECT_TRUE(drv.Close());
    EXPECT_FALSE(drv.Write(pcm.data(), std::uint32_t(pcm.size())));  // closed again
    // Setup is needed again for the next file.
    EXPECT_FALSE(drv.Open(Out("order3.wav")));
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    ASSERT_TRUE(drv.Open(Out("order3.wav")));
    EXPECT_TRUE(drv.Close());
    const auto riff = wavtools::ParseRiff(wavtools::ReadFile(Out("order.wav")));
    ASSERT_TRUE(riff.Valid);
    EXPECT_EQ(riff.Chunks.at("data"), pcm);
}

TEST(AcmDriverOrder, TooLongFileNameIsRefusedNotCut) {
    TAcmDrv drv;
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    EXPECT_FALSE(drv.Open(OutDir() + "\\" + std::string(600, 'a') + ".wav"));
    EXPECT_STREQ(drv.ErrorText().c_str(), MsgNameTooLong);
}

namespace {
DWORD WINAPI AbortAfterHalfASecond(LPVOID drv) {
    Sleep(500);
    static_cast<TAcmDrv*>(drv)->AbortRequested = true;
    return 0;
}

// Ends the encoders this test started that still run: the driver leaves an
// encoder it stopped waiting for to end by itself, and under Wine it holds
// the test's output open until it does.
void EndOurEncoders() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e)) {
        if (e.th32ParentProcessID != GetCurrentProcessId() || _stricmp(e.szExeFile, "testenc.exe") != 0) continue;
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, e.th32ProcessID)) {
            TerminateProcess(p, 1);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }
    CloseHandle(snap);
}
}  // namespace

TEST(AcmDriverOrder, AbortEndsTheWaitForAnEncoderThatDoesNotFinish) {
    TAcmDrv drv;
    const std::string program = TestEnc();
    TPipeEncodeParams params{program.c_str(), "-sleep 20000"};
    const WAVEFORMATEX cd = CdFormat();
    ASSERT_TRUE(drv.Setup(&cd, &params, admPipe, false));
    ASSERT_TRUE(drv.Open(Out("slow.raw")));
    const Bytes pcm = wavtools::TestSignal(4410);
    ASSERT_TRUE(drv.Write(pcm.data(), std::uint32_t(pcm.size())));
    // The progress window's abort, from another thread, while Close waits.
    HANDLE t = CreateThread(nullptr, 0, AbortAfterHalfASecond, &drv, 0, nullptr);
    EXPECT_FALSE(drv.Close());  // returns long before the encoder's 20 s
    EXPECT_STREQ(drv.ErrorText().c_str(), MsgAborted);
    EXPECT_FALSE(drv.IsPipeEncoderRunning());
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EndOurEncoders();
}

TEST(AcmDriverOrder, ChooserRefusesAFormatItCannotHold) {
    TAcmDrv drv;
    std::vector<std::uint8_t> block(256, 0);
    auto* f = reinterpret_cast<WAVEFORMATEX*>(block.data());
    f->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    f->cbSize = 250;
    drv.FormatName = "stale";
    EXPECT_FALSE(drv.ChooseFormat(nullptr, "title", f));  // no dialog is shown
    EXPECT_EQ(drv.FormatName, "");
    EXPECT_EQ(drv.FormatTagName, "");
}
