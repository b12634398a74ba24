// The encoder-component sinks of the output driver (GOGO and TwinVQ).
#include <algorithm>
#include <exception>

#include "output/acmmgr32.h"
#include "output/gogotea.h"
#include "output/mp3defs.h"
#include "output/tvqenc.h"

namespace {

// GOGO.DLLを初期化できません.
const char* const MsgNoGogo = "GOGO.DLL\x82\xF0\x8F\x89\x8A\xFA\x89\xBB\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E";
// TVQENC.DLLが存在しません。TwinVQを使用できません
const char* const MsgNoTwinVq =
    "TVQENC.DLL\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81\x42TwinVQ\x82\xF0\x8E\x67\x97\x70\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1";

// The rings hold 1 MiB less one byte: larger pieces go in parts.
constexpr std::uint32_t EncoderPiece = 0x40000;
// A component that was asked to stop gets this long to say it has.
constexpr DWORD StopWaitMs = 10000;
// While the ring is full, the abort request is looked at this often.
constexpr DWORD AbortCheckMs = 50;

wx::TUseUnits UnitsOf(std::uint8_t cpu) {
    wx::TUseUnits units;
    if (cpu & 1) units.Include(wx::TUseUnit::_USE_MMX);
    if (cpu & 2) units.Include(wx::TUseUnit::_USE_3DNOW);
    if (cpu & 4) units.Include(wx::TUseUnit::_USE_EX_3DNOW);
    if (cpu & 8) units.Include(wx::TUseUnit::_USE_KNI);
    return units;
}

}  // namespace

bool TAcmDrv::SetupGogo(const void* params) {
    const auto* p = static_cast<const TGogoEncodeParams*>(params);
    if (!GogoEncoder) {
        Fail(MsgNoGogo);
        return false;
    }
    if (!p) return false;
    wx::TGogoTea& g = *GogoEncoder;
    try {
        if (g.IsEncoding()) {
            g.Stop();
            if (!g.WaitUntilIdle(StopWaitMs)) {
                Fail(MsgEncoderStopped);
                return false;
            }
        }
        g.SetVBRLevel(p->VBRLevel);
        g.SetOptimization(UnitsOf(p->CpuFeatures));
        g.SetUsePsyAnalize(p->UsePsy != 0);
        g.SetUseLPF(p->UseLPF != 0);
        g.SetUseVBR(p->UseVBR != 0);
        g.SetPriority(static_cast<wx::TThreadPriority>(std::min<int>(p->Priority, 6)));
        g.SetProcessors(p->UseTwoCpus ? 2 : 1);
        int bitRate = p->BitRate / 1000;
        wx::TEncodeType type = wx::TEncodeType::_JOINT;
        switch (p->ChannelMode) {
        case gcStereo: type = wx::TEncodeType::_STEREO; break;
        case gcJointStereo: type = wx::TEncodeType::_JOINT; break;
        case gcMSStereo: type = wx::TEncodeType::_MSSTEREO; break;
        case gcMono:
            type = wx::TEncodeType::_MONO;
            bitRate /= 2;
            break;
        default: break;
        }
        g.SetBitRate(bitRate);
        g.SetEncodeType(type);
        g.SetEmphasis(p->Emphasis ? wx::TEmphasis::_5015MS_EMPH : wx::TEmphasis::_NO_EMPH);
        g.SetForceSameRate(p->ForceSameRate != 0);
        g.VBRBitrate() = {p->VBRRangeOn != 0, p->VBRLow, p->VBRHigh};
        g.ExtFilter() = {p->FilterOn != 0, p->FilterLow, p->FilterHigh};
        g.MSSetting() = {p->MSOn != 0, p->MSThreshold, p->MSPower};
        g.SetEncodeFormat(p->OutputFormat <= gftRiffMP3 ? static_cast<wx::TEncodeFormat>(p->OutputFormat)
                                                         : wx::TEncodeFormat::_FORMAT_OF_MP3);
        // Every set-up starts with no INFO texts: those of an earlier file
        // that never got as far as its own never reach this one.
        g.ClearChunks();
        if (p->Track) SetRiffInfo(p->Track);
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    return true;
}

bool TAcmDrv::SetupTwinVq(const void* params) {
    const auto* p = static_cast<const TTwinVQEncodeParams*>(params);
    if (!TwinVqEncoder) {
        Fail(MsgNoTwinVq);
        return false;
    }
    if (!p) return false;
    wx::TTVQEnc& t = *TwinVqEncoder;
    try {
        if (t.IsEncoding()) {
            t.Stop();
            if (!t.WaitUntilIdle(StopWaitMs)) {
                Fail(MsgEncoderStopped);
                return false;
            }
        }
        t.SetSampleRate(p->SampleRate);
        t.SetBitRate(int(p->BitRate));
        t.SetN_CAN(p->NCan);
        t.SetEncodeType(p->Channels == 2 ? wx::tvq::TEncodeType::_TVQENC_STEREO : wx::tvq::TEncodeType::_TVQENC_MONO);
        t.SetTitle("");
        t.SetAuthor("");
        t.SetAlbum("");
        t.SetComment("");
        t.SetCopyRight("");
        t.SetYear(0);
        if (p->Track) {
            t.SetTitle(p->Track->Title);
            t.SetAuthor(p->Track->Artist);
            t.SetAlbum(p->Track->Album);
            t.SetComment(p->Track->Comment);
            t.SetCopyRight(p->Track->Copyright);
            t.SetYear(YearNumber(p->Track->Year));
        }
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    return true;
}

bool TAcmDrv::OpenEncoder() {
    try {
        if (UseGogo) {
            if (!GogoEncoder) {
                Fail(MsgNoGogo);
                return false;
            }
            GogoEncoder->SetEncodeMode(wx::TEncodeMode::_MEMORY);
            GogoEncoder->SetDestinationFile(fileName_);
            GogoEncoder->Prepare();
            GogoEncoder->Start();
        } else {
            if (!TwinVqEncoder) {
                Fail(MsgNoTwinVq);
                return false;
            }
            TwinVqEncoder->SetDestinationFile(fileName_);
            TwinVqEncoder->Prepare();
            TwinVqEncoder->Start();
        }
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    return true;
}

wx::TEncoderComponent* TAcmDrv::Encoder() const {
    if (UseGogo) return GogoEncoder;
    if (UseTwinVq) return TwinVqEncoder;
    return nullptr;
}

bool TAcmDrv::WriteEncoder(const std::uint8_t* data, std::uint32_t count) {
    wx::TEncoderComponent& enc = *Encoder();
    while (count > 0) {
        const std::uint32_t n = std::min(count, EncoderPiece);
        if (enc.WritePCM(data, int(n))) {
            data += n;
            count -= n;
            continue;
        }
        // An encoder that has stopped takes nothing more: the data would be
        // lost while the file looked finished.
        if (!enc.IsEncoding()) {
            Fail(MsgEncoderStopped);
            return false;
        }
        if (AbortRequested) {
            Fail(MsgAborted);
            return false;
        }
        // Woken when the worker has made room or ended its run.
        if (!enc.WaitForRoom(int(n), AbortCheckMs)) {
            Fail(MsgEncoderStopped);
            return false;
        }
    }
    return true;
}

void TAcmDrv::StopEncoder() {
    wx::TEncoderComponent* enc = Encoder();
    if (!enc || !enc->IsEncoding()) return;
    enc->Stop();
    enc->WaitUntilIdle(StopWaitMs);
}

void TAcmDrv::FlushEncoder() {
    wx::TEncoderComponent* enc = Encoder();
    if (!enc) return;
    if (enc->IsEncoding()) {
        enc->WritePCM(nullptr, 0);
        enc->WaitUntilIdle(INFINITE);
    }
    // The TwinVQ worker reports a write error with code 0.
    if ((enc->ErrorReported() || enc->ResultCode() != 0) && !failed_)
        Fail(std::string(MsgEncoderStopped) + " (" + std::to_string(enc->ResultCode()) + ")");
}

void TAcmDrv::SetRiffInfo(const TTrackTags* track) {
    if (!GogoEncoder || !track) return;
    wx::TGogoTea& g = *GogoEncoder;
    g.ClearChunks();
    const std::string software = "Ripped by Wendrix and Encoded by GOGO.DLL " + g.VersionString();
    const std::pair<const char*, std::string> chunks[] = {
        {"INAM", track->Title},
        {"IART", track->Artist},
        {"IPRD", track->Album},
        {"ICMT", track->Comment},
        {"IGNR", track->Genre < 0 ? std::string() : GetGenreNameRaw(track->Genre)},
        {"ICRD", track->Year},
        {"ICOP", track->Copyright},
        {"ISFT", software},
    };
    for (const auto& [code, text] : chunks) {
        const auto block = RiffInfoBlock(code, text);
        g.AddChunk(int(block.size()), block.data());
    }
}
