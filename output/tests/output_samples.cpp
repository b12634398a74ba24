// Writes one file per sink for the outside checkers (outside_check.sh):
//   output_samples OUTDIR [LAME_EXE]
// source.raw holds the PCM every file was made from (3 s, 44,100 Hz,
// 16-bit stereo, little-endian).
#include <cstdio>
#include <string>
#include <vector>

#include "output/acmmgr32.h"
#include "output/gogotea.h"
#include "output/wmaudiosdk.h"
#include "output/tests/wavtools.h"

namespace {

std::string Dir;
const wavtools::Bytes Pcm = wavtools::TestSignal(44100 * 3);

WAVEFORMATEX Pcm16(DWORD rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = rate * 4;
    return f;
}

bool Make(const char* name, const void* params, std::uint8_t mode) {
    TAcmDrv drv;
    const WAVEFORMATEX cd = Pcm16(44100);
    bool ok = drv.Setup(&cd, params, mode, false) && drv.Open(Dir + "\\" + name);
    for (std::size_t at = 0; ok && at < Pcm.size(); at += 2352)
        ok = drv.Write(Pcm.data() + at, std::uint32_t(std::min<std::size_t>(2352, Pcm.size() - at)));
    ok = drv.Close() && ok;
    if (!ok) std::fprintf(stderr, "%s: failed: %s\n", name, drv.ErrorText().c_str());
    return ok;
}

bool MakeAcm(const char* name, WORD tag) {
    std::vector<std::uint8_t> block(256, 0);
    WAVEFORMATEX src = Pcm16(44100);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(block.data());
    dst->wFormatTag = tag;
    dst->nSamplesPerSec = 44100;
    dst->nChannels = 2;
    if (acmFormatSuggest(nullptr, &src, dst, 256,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                             ACM_FORMATSUGGESTF_NCHANNELS) != MMSYSERR_NOERROR) {
        std::fprintf(stderr, "%s: no codec\n", name);
        return false;
    }
    return Make(name, block.data(), admAcmWave);
}

bool SetText(IWMAudioInfo* info, const wchar_t* name, const std::wstring& value) {
    return SUCCEEDED(info->SetAttribute(name, WmaAttrString, reinterpret_cast<const BYTE*>(value.c_str()),
                                        DWORD((value.size() + 1) * 2)));
}

bool MakeWma() {
    TWMAEncodeParams params{2, 44100, 128000};
    if (!Make("out.wma", &params, admWma)) return false;
    const std::string narrow = Dir + "\\out.wma";
    const std::wstring name(narrow.begin(), narrow.end());
    IWMAudioInfo* info = nullptr;
    if (FAILED(WMAudioCreateInfo(name.c_str(), &info))) return false;
    const DWORD track = 3;
    bool ok = SetText(info, L"Title", L"\u6d77\u306e\u6b4c") && SetText(info, L"Author", L"Artist") &&
              SetText(info, L"WM/AlbumTitle", L"Album") && SetText(info, L"Description", L"Comment") &&
              SetText(info, L"Copyright", L"(C) 2000") && SetText(info, L"WM/Year", L"2000") &&
              SUCCEEDED(info->SetAttribute(L"WM/Track", WmaAttrDword, reinterpret_cast<const BYTE*>(&track), 4)) &&
              SetText(info, L"WM/Genre", L"Rock");
    ok = SUCCEEDED(info->Close()) && ok;
    info->Release();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    Dir = argv[1];
    CreateDirectoryA(Dir.c_str(), nullptr);
    FILE* raw = std::fopen((Dir + "\\source.raw").c_str(), "wb");
    if (!raw) return 3;
    std::fwrite(Pcm.data(), 1, Pcm.size(), raw);
    std::fclose(raw);

    char exe[MAX_PATH];
    std::string encoder(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    encoder = encoder.substr(0, encoder.find_last_of('\\')) + "\\testenc.exe";
    TPipeEncodeParams pipe{encoder.c_str(), "-wav"};
    const WAVEFORMATEX half = Pcm16(22050);

    const WAVEFORMATEX cd = Pcm16(44100);
    bool ok = Make("pcm.wav", &cd, admAcmWave);
    ok = Make("pcm22k.wav", &half, admAcmWave) && ok;
    ok = MakeAcm("ima.wav", WAVE_FORMAT_IMA_ADPCM) && ok;
    ok = MakeAcm("alaw.wav", WAVE_FORMAT_ALAW) && ok;
    ok = MakeAcm("mulaw.wav", WAVE_FORMAT_MULAW) && ok;
    ok = Make("pipe.wav", &pipe, admPipe) && ok;
    ok = MakeWma() && ok;

    // MP3 from the GOGO component over its stand-in library.
    const std::string exeDir = encoder.substr(0, encoder.find_last_of('\\'));
    SetDllDirectoryA((exeDir + "\\..\\..\\standins\\bin").c_str());
    try {
        wx::TGogoTea gogo(nullptr);
        TAcmDrv drv;
        drv.GogoEncoder = &gogo;
        TGogoEncodeParams g{};
        g.ChannelMode = gcJointStereo;
        g.BitRate = 128000;
        g.VBRLevel = 5;
        const WAVEFORMATEX src = Pcm16(44100);
        bool made = drv.Setup(&src, &g, admGogo, false) && drv.Open(Dir + "\\gogo.mp3");
        for (std::size_t at = 0; made && at < Pcm.size(); at += 47040)
            made = drv.Write(Pcm.data() + at, std::uint32_t(std::min<std::size_t>(47040, Pcm.size() - at)));
        made = drv.Close() && made;
        if (!made) std::fprintf(stderr, "gogo.mp3: %s\n", drv.ErrorText().c_str());
        ok = made && ok;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gogo.mp3: %s\n", e.what());
        ok = false;
    }

    // The console MP3 encoder fed through the pipe with the options the
    // program builds for the standard-input style.
    if (argc > 2) {
        TEncoderOptionSettings s;
        s.UseStdin = s.ProgramExists = true;
        s.Style = eetLameStdin;
        s.BitrateIndex = 8;  // 128 kbit/s
        const auto options = BuildEncoderOptions(s);
        TPipeEncodeParams lame{argv[2], options.Options.c_str()};
        ok = Make("lame_pipe.mp3", &lame, admPipe) && ok;
    }
    return ok ? 0 : 1;
}
