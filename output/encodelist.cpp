#include "output/encodelist.h"

#include <vector>

#include "classlib/sjis.h"
#include "output/genrelist.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "settings/configstore.h"
#include "settings/inifile.h"

namespace wx {

namespace {

constexpr char kSection[] = "EncodeForm";

// Position just past the last "\" or "/" (0 when none), whole characters only.
std::size_t NameStart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += SjisCharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') start = i + 1;
    return start;
}

// Position of the extension's "." or npos.
std::size_t ExtensionStart(const std::string& path) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = NameStart(path); i < path.size(); i += SjisCharLength(path, i))
        if (path[i] == '.') dot = i;
    return dot;
}

const char* KindExtension(TBatchOutputKind kind) {
    switch (kind) {
    case TBatchOutputKind::TwinVq: return ".vqf";
    case TBatchOutputKind::Wma: return ".wma";
    case TBatchOutputKind::GogoRmp: return ".rmp";
    case TBatchOutputKind::GogoWave: return ".wav";
    case TBatchOutputKind::Mp3: break;
    }
    return ".mp3";
}

std::string NormalizedPath(const std::string& path) {
    std::string s = SjisUpperCase(path);
    for (std::size_t i = 0; i < s.size(); i += SjisCharLength(s, i))
        if (s[i] == '/') s[i] = '\\';
    return s;
}

int ReadPosition(TCustomIniFile& ini, const char* key) {
    const int v = ini.ReadInteger(kSection, key, -256);
    return v < -255 ? 0 : v;
}

int ReadSize(TCustomIniFile& ini, const char* key, int def) {
    const int v = ini.ReadInteger(kSection, key, -1);
    return v < 0 ? def : v;
}

}  // namespace

TBatchOutputKind BatchOutputKindOf(const TConfigStore& c) {
    if (c.IsUseVQF()) return TBatchOutputKind::TwinVq;
    if (c.IsUseWMT()) return TBatchOutputKind::Wma;
    if (c.IsUseGogoRMP()) return TBatchOutputKind::GogoRmp;
    if (c.IsUseGogoWAVE()) return TBatchOutputKind::GogoWave;
    return TBatchOutputKind::Mp3;
}

std::string PathExtension(const std::string& path) {
    const std::size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangePathExtension(const std::string& path, const std::string& ext) {
    const std::size_t dot = ExtensionStart(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string PathFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string PathFolder(const std::string& path) {
    const std::size_t start = NameStart(path);
    return start == 0 ? std::string() : path.substr(0, start - 1);
}

bool SameFilePath(const std::string& a, const std::string& b) { return NormalizedPath(a) == NormalizedPath(b); }

bool IsWavFileName(const std::string& path) { return SjisUpperCase(PathExtension(path)) == ".WAV"; }

std::string NewOutputName(const std::string& source, TBatchOutputKind kind) {
    if (kind == TBatchOutputKind::GogoWave) {
        const std::string ext = PathExtension(source);
        return ChangePathExtension(source, "") + "_encoded" + ext;
    }
    return ChangePathExtension(source, KindExtension(kind));
}

std::string RefreshedOutputName(const std::string& output, const std::string& source, TBatchOutputKind kind) {
    const std::string changed = ChangePathExtension(output, KindExtension(kind));
    if (SameFilePath(changed, source)) return NewOutputName(source, kind);
    return changed;
}

int OutputFilterIndex(TBatchOutputKind kind) {
    switch (kind) {
    case TBatchOutputKind::TwinVq: return 5;
    case TBatchOutputKind::Wma: return 3;
    case TBatchOutputKind::GogoRmp: return 4;
    case TBatchOutputKind::GogoWave: return 1;
    case TBatchOutputKind::Mp3: break;
    }
    return 2;
}

TTrackRecord NewEncodeRecord(const std::string& path) {
    TTrackRecord r;
    r.FileStem = SjisCut(path, tagio::MaxTextBytes);
    r.Genre = -1;
    r.HasTag = false;
    return r;
}

std::array<std::string, EncodeColumnCount> EncodeRowCells(const TEncodeRow& row, const std::string& yes,
                                                          const std::string& no) {
    const TTrackRecord& r = row.Record;
    return {PathFileName(r.FileStem),
            row.OutputShownInFull ? row.Output : PathFileName(row.Output),
            r.HasTag ? yes : no,
            r.Title,
            r.Artist,
            r.Album,
            r.Year,
            r.Genre < 0 ? std::string(NoGenreText) : GetGenreName(r.Genre),
            r.TrackText,
            r.Comment,
            r.Copyright,
            row.Result};
}

TOutputConflict FindOutputConflict(const std::vector<std::string>& sources, const std::vector<std::string>& outputs) {
    TOutputConflict c;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = 0; j < sources.size(); ++j) {
            if (SameFilePath(outputs[i], sources[j])) {
                c.What = TOutputConflict::SourceOfRow;
                c.Row = int(i);
                c.Other = int(j);
                return c;
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (SameFilePath(outputs[i], outputs[j])) {
                c.What = TOutputConflict::OutputOfRow;
                c.Row = int(i);
                c.Other = int(j);
                return c;
            }
        }
    }
    return c;
}

TEncodeFormKeys ReadEncodeFormKeys(TCustomIniFile& ini) {
    TEncodeFormKeys k;
    k.Width = ReadSize(ini, "Width", 600);
    k.Height = ReadSize(ini, "Height", 400);
    k.Top = ReadPosition(ini, "Top");
    k.Left = ReadPosition(ini, "Left");
    for (std::size_t i = 0; i < k.ColumnWidths.size(); ++i)
        k.ColumnWidths[i] = ReadSize(ini, ("LColumnW" + std::to_string(i)).c_str(), -1);
    return k;
}

void WriteEncodeFormKeys(TCustomIniFile& ini, const TEncodeFormKeys& k) {
    ini.WriteInteger(kSection, "Width", k.Width);
    ini.WriteInteger(kSection, "Height", k.Height);
    ini.WriteInteger(kSection, "Top", k.Top);
    ini.WriteInteger(kSection, "Left", k.Left);
    for (std::size_t i = 0; i < k.ColumnWidths.size(); ++i)
        ini.WriteInteger(kSection, "LColumnW" + std::to_string(i), k.ColumnWidths[i]);
}

TPcmTransfer TransferPcm(TRiffWaveReader& source, const std::function<bool(const void*, std::uint32_t)>& write,
                         const std::function<bool()>& stop, const std::function<void(int)>& progress) {
    std::vector<std::uint8_t> block(EncodeBlockBytes);
    const std::uint64_t size = source.DataSize();
    std::uint64_t done = 0;
    int last = -1;
    bool stopped = false;
    for (;;) {
        const int percent = size == 0 ? 100 : int(done * 100 / size);
        if (percent != last) {
            progress(percent);
            last = percent;
        }
        const std::uint32_t got = source.Read(block.data(), EncodeBlockBytes);
        if (got > 0 && !write(block.data(), got)) return TPcmTransfer::WriteFailed;
        done += got;
        stopped = stop();
        if (got < EncodeBlockBytes || stopped) break;
    }
    if (stopped) return TPcmTransfer::Stopped;
    if (done < size) return TPcmTransfer::ReadFailed;
    if (last != 100) progress(100);
    return TPcmTransfer::Done;
}

}  // namespace wx
