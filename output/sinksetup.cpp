#include "output/sinksetup.h"

#include <cstdlib>

#include "classlib/dialogs.h"
#include "output/acmmgr32.h"
#include "settings/configstore.h"

namespace wx {

namespace {

const WAVEFORMATEX* Pcm(const TConfigStore& c) { return reinterpret_cast<const WAVEFORMATEX*>(c.DefaultPcmFormat.data()); }

int BitrateRow(const TConfigStore& c) { return c.bitratebox.ItemIndex() < 0 ? 8 : c.bitratebox.ItemIndex(); }

bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TOutputRoute OutputRouteOf(const TConfigStore& c) {
    if (c.IsUseL3Enc()) return TOutputRoute::ExternalFile;
    if (c.IsUseStdin()) return TOutputRoute::Pipe;
    if (c.IsUseACMMP3()) return TOutputRoute::AcmMp3;
    if (c.IsUseWMT()) return TOutputRoute::Wma;
    if (c.IsUseGogoDLL()) return TOutputRoute::Gogo;
    if (c.IsUseVQF()) return TOutputRoute::TwinVq;
    return TOutputRoute::AcmWave;
}

bool SetupOutputDriver(TAcmDrv& drv, const TConfigStore& c, const TTrackTags* tags, bool emphasis,
                       const std::string& encoderOptions) {
    switch (OutputRouteOf(c)) {
    case TOutputRoute::ExternalFile: return drv.Setup(Pcm(c), Pcm(c), admAcmWave, false);
    case TOutputRoute::Pipe: {
        TPipeEncodeParams p{c.ProgramEdit.Text.c_str(), encoderOptions.c_str()};
        return drv.Setup(Pcm(c), &p, admPipe, false);
    }
    case TOutputRoute::AcmMp3: {
        std::uint8_t fmt[256] = {};
        auto* w = reinterpret_cast<WAVEFORMATEX*>(fmt);
        return TAcmDrv::FindMP3Format(std::uint32_t(std::atoi(AcmMp3BitrateTexts[BitrateRow(c)])), w) &&
               drv.Setup(Pcm(c), w, admAcmMp3, false);
    }
    case TOutputRoute::Wma: {
        TWMAEncodeParams p{std::uint16_t(c.WMTStereoSel.Checked ? 2 : 1), std::uint32_t(c.GetWMTSamplingrate()),
                           std::uint32_t(c.GetWMTBitrate())};
        return drv.Setup(Pcm(c), &p, admWma, false);
    }
    case TOutputRoute::Gogo: {
        TGogoEncodeParams p{};
        p.CpuFeatures = std::uint8_t((c.GogoMMX ? 1 : 0) | (c.Gogo3DNow ? 2 : 0) | (c.GogoExt3DNow ? 4 : 0) |
                                     (c.GogoSSE ? 8 : 0));
        p.UseLPF = c.GogoLPF;
        p.UsePsy = c.GogoPsy;
        p.UseTwoCpus = c.GogoMultiCPU;
        p.UseVBR = c.VBRCheckBox.Checked;
        p.VBRLevel = c.GogoVBRLevel;
        p.Priority = std::uint8_t(c.GogoPriority <= 0 ? c.GogoPriority + 3 : c.GogoPriority + 4);
        p.ChannelMode = c.GogoChannel;
        p.BitRate = std::atoi(AcmMp3BitrateTexts[BitrateRow(c)]);
        p.Emphasis = emphasis;
        p.VBRRangeOn = c.GogoAdvVBRSet;
        p.VBRLow = TConfigStore::GogoBitrate(c.GogoMinVBR, 7);
        p.VBRHigh = TConfigStore::GogoBitrate(c.GogoMaxVBR, 8);
        p.FilterOn = c.GogoAdvFilter;
        p.FilterLow = c.GogoMinFilter;
        p.FilterHigh = c.GogoHighFilter;
        p.MSOn = c.GogoAdvJSSet;
        p.MSThreshold = c.GogoMSThs;
        p.MSPower = c.GogoBitrateDiff;
        p.OutputFormat = c.GogoFormatType;
        p.Track = c.GogoFormatType != gftMP3 ? tags : nullptr;
        p.ForceSameRate = c.GogoForceSameFreq;
        return drv.Setup(Pcm(c), &p, admGogo, false);
    }
    case TOutputRoute::TwinVq: {
        TTwinVQEncodeParams p{44, 2, tags, std::uint32_t(c.GetVQFBitrate()), std::uint16_t(c.GetVQFQuality())};
        return drv.Setup(Pcm(c), &p, admTwinVq, false);
    }
    case TOutputRoute::AcmWave: break;
    }
    return drv.Setup(Pcm(c), c.OutputWaveFormat.data(), admAcmWave, false);
}

TEncoderOptionSettings EncoderOptionSettingsOf(const TConfigStore& c) {
    TEncoderOptionSettings s;
    s.UseL3Enc = c.IsUseL3Enc();
    s.UseStdin = c.IsUseStdin();
    s.ProgramExists = FileExists(c.ProgramEdit.Text);
    s.UseOriginalOption = c.UseOriginalOption.Checked;
    s.AdditionalOption = c.AdditionalOption.Checked;
    s.OptionText = c.OptionEdit.Text;
    s.BitrateIndex = BitrateRow(c);
    const int style = c.ExtEncoderType();
    s.Style = style < 0 ? eetLameStdin : TExtEncoderType(style);
    s.Crc = c.CRCCheckBox.Checked;
    s.Hq = c.HQCheckBox.Checked;
    s.Vbr = c.VBRCheckBox.Checked;
    s.VbrLevel = c.GogoVBRLevel;
    s.ScmpxLayer = c.UseLayerType.ItemIndex() < 0 ? 3 : c.UseLayerType.ItemIndex() + 1;
    return s;
}

bool GetEncoderOption(const TConfigStore& c, std::string& options) {
    options.clear();
    const TEncoderOptionSettings s = EncoderOptionSettingsOf(c);
    if (!s.UseL3Enc && !s.UseStdin) return true;
    const TEncoderOptionResult r = BuildEncoderOptions(s);
    if (!r.Ok) {
        ShowMessageBox(r.Message, MB_OK | MB_ICONERROR);
        return false;
    }
    options = r.Options;
    return true;
}

}  // namespace wx
