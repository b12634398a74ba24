// The tag editor: the tags of many tracks or files as a table, edited row
// by row, filled by column, numbered, exchanged with the clipboard and with
// comma- or tab-separated files, and (for tracks) turned into output file
// names.  It edits only its table; the opener reads the rows back after OK.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "classlib/panels.h"
#include "extraction/TrackTable.h"
#include "output/tagtable.h"
#include "resources/id3tageditform.h"

class TConfigStore;
class TCustomIniFile;

// What the opener lends the editor.
struct TTagEditorHost {
    wx::TTrackTable* Tracks = nullptr;         // the main window's track table
    const TConfigStore* Config = nullptr;  // the name template (ConfigForm when null)
    TCustomIniFile* Settings = nullptr;    // [TagEditor]; may be null
    // The track list shows a track's new output file name.
    std::function<void(int track)> ShowFileName;
    // The settings dialog, modally over `owner`, on its ID3 tag page.
    std::function<void(HWND owner)> ShowTagSettings;
    bool JapaneseMode = true;              // full-width replacements in file names
};

class TID3TagForm : public wx::TForm {
public:
    // Track mode: the rows are the tracks of the host's table.
    TID3TagForm(wx::TComponent* owner, TTagEditorHost host);
    ~TID3TagForm() override;

    // The records the rows show (row i shows TagRecords[i]).
    std::vector<wx::TTrackRecord> TagRecords;
    // Set by a file opener: captions are the records' file names.
    bool FileMode = false;
    // Copies of tracks handed over as records (their SectorCount holds the
    // track number): long texts, and file names for those tracks.
    bool RecordsAreTracks = false;
    wx::TTagTable Table;
    int PopupColumn = -1;

    // Builds the rows from TagRecords.
    void FillTagList(bool trackMode);
    // Which commands the opener offers ("反映" and the file names).
    void EnableWriteID3Tag(bool on);
    void EnableSetID3Filename(bool on);
    bool WriteID3TagEnabled() const { return writeEnabled_; }
    bool SetID3FilenameEnabled() const { return namesEnabled_; }

    wx::TListView ListView1{this, IDC_TAGED_LIST};

    // Commands.
    void ImportCSVFileClick();
    void CreateCSVFileClick();
    void WriteID3TagClick();
    void SetID3FilenameClick();
    void ID3C1Click();
    void Close1Click() { Close(); }
    void Copy1Click();
    void CopyCellClick();
    void Paste1Click();
    void PasteLineClick();
    void PasteAll1Click();
    void N7Click();
    void SetGenreClick();
    void SetAllColClick();
    void CSVDelimClick();
    void SelectAll1Click();
    // The edit menu is about to open: its items enabled by the state.
    void Edit1Click(HMENU menu);
    void ListView1DblClick();
    void ListView1SelectItem(int row, bool selected);
    void ListView1ContextPopup(POINT at);
    bool CSVDelim() const { return tabDelim_; }
    // The clipboard's text ("" when it holds none).
    static std::string ClipboardText();
    static bool SetClipboardText(HWND owner, const std::string& text);

protected:
    void FormCreate() override;
    bool FormCloseQuery() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    const TConfigStore& Config() const;
    void ShowRows();
    void ShowRow(int row);
    void Layout();
    std::vector<int> SelectedRows() const;
    // The warnings of one fill command, each kind in one box.
    void ShowWarnings(const wx::TWarningSummary& w);
    char Delimiter() const { return tabDelim_ ? '\t' : ','; }
    void ApplyCommandStates();
    // A CSV file from the open or save dialog, with the delimiter of the
    // filter chosen; false on cancel.
    bool ChooseCsvFile(bool save, std::string& path, char& delimiter);
    HMENU EditMenu() const;

    TTagEditorHost h_;
    bool tabDelim_ = false;
    bool writeEnabled_ = true;
    bool namesEnabled_ = true;
    wx::TImageList images_;
};

// Tag editing of existing files (MP3, WMA, TwinVQ): one name in the tag
// dialog placed at `at`, several in the editor; the tags are written back
// after OK and the results shown.  Names of other kinds are left out.
void EditTagsOfFiles(const std::vector<std::string>& paths, POINT at, const TTagEditorHost& host,
                     bool wmaAvailable, int id3WriteMode);
