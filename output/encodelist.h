// The rules of the batch encode list that need no window: output names by
// output kind, the rows and their column texts, the checks that keep an
// output from replacing a source, the window keys in the settings file and
// the PCM loop of the worker.  Portable: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extraction/TrackTable.h"
#include "output/riffwave.h"

class TConfigStore;
class TCustomIniFile;

namespace wx {

// The output a batch run produces, as far as the file name goes.
enum class TBatchOutputKind { Mp3, TwinVq, Wma, GogoRmp, GogoWave };

// By the settings: TwinVQ, WMA, the encoder library's RMP and WAVE formats,
// otherwise MP3 (tested in that order).
TBatchOutputKind BatchOutputKindOf(const TConfigStore& c);

// Output of a new row: the source with the kind's extension; for the
// encoder library's WAVE format the source's folder and name followed by
// "_encoded" and the source's extension.
std::string NewOutputName(const std::string& source, TBatchOutputKind kind);
// The output name with the kind's extension (".vqf", ".wma", ".rmp", ".wav",
// ".mp3").  A name that would then be the row's own source takes the new
// row's name instead, so that a change of output never points a row at its
// source.
std::string RefreshedOutputName(const std::string& output, const std::string& source, TBatchOutputKind kind);
// Filter index of the output-name dialog: TwinVQ 5, WMA 3, RMP 4, WAVE 1, else 2.
int OutputFilterIndex(TBatchOutputKind kind);

// The extension of a path (from its last "." after the last "\"), "" when none.
std::string PathExtension(const std::string& path);
// The path with its extension replaced (or added).
std::string ChangePathExtension(const std::string& path, const std::string& ext);
// The name without its folder.
std::string PathFileName(const std::string& path);
// The folder without the trailing "\" ("" when the path has none).
std::string PathFolder(const std::string& path);
// Two full paths of the same file: equal without regard to ASCII case,
// "/" taken for "\".
bool SameFilePath(const std::string& a, const std::string& b);
// The extension is ".WAV" in any case.
bool IsWavFileName(const std::string& path);

constexpr int MaxEncodeRows = 128;

// One file of the list.  Of the record, FileStem holds the full source path
// and the tag fields the tags written after encoding.
struct TEncodeRow {
    TTrackRecord Record;
    std::string Output;      // full path of the file to produce
    bool OutputShownInFull = false;
    std::string Result;      // what became of the file in the last run
};

// A new row's record: the path (cut to 255 bytes on a character boundary),
// empty tags, genre -1, no tag.
TTrackRecord NewEncodeRecord(const std::string& path);

// The list's columns: source name, output, tag mark, title, artist, album,
// year, genre, track, comment, copyright, result.
constexpr int EncodeColumnCount = 12;
// Texts of the columns; yes/no are the tag marks ("あり"/"なし").
std::array<std::string, EncodeColumnCount> EncodeRowCells(const TEncodeRow& row, const std::string& yes,
                                                          const std::string& no);

// An output that would replace a source or another row's output.
struct TOutputConflict {
    enum Kind { None, SourceOfRow, OutputOfRow } What = None;
    int Row = -1;    // the row whose output is refused (0-based)
    int Other = -1;  // the row whose source or output it equals
};
// The first conflict in row order (the rows' paths as given; the window
// passes full paths).
TOutputConflict FindOutputConflict(const std::vector<std::string>& sources, const std::vector<std::string>& outputs);

// The window's keys, section "EncodeForm".
struct TEncodeFormKeys {
    int Width = 600, Height = 400, Top = 0, Left = 0;
    std::array<int, 10> ColumnWidths{};  // -1: the layout's width
};
TEncodeFormKeys ReadEncodeFormKeys(TCustomIniFile& ini);
void WriteEncodeFormKeys(TCustomIniFile& ini, const TEncodeFormKeys& keys);

// The worker's read loop: blocks of PCM from the data chunk to `write`.
constexpr std::uint32_t EncodeBlockBytes = 47040;
enum class TPcmTransfer { Done, Stopped, WriteFailed, ReadFailed };
// Percentages go to `progress` in rising order, each at most once, from 0;
// 100 comes last when every byte was written.  `stop` is asked after each
// block.  A data chunk that ends early (a read error) gives ReadFailed.
TPcmTransfer TransferPcm(TRiffWaveReader& source, const std::function<bool(const void*, std::uint32_t)>& write,
                         const std::function<bool()>& stop, const std::function<void(int)>& progress);

}  // namespace wx
