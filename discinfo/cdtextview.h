// The CD-TEXT viewer: reads the packs of the disc in the selected drive,
// shows one text block (language) at a time, exports it as comma- or
// tab-separated text and copies it into the main window's track table as
// tags or output file names.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "discinfo/cdtext.h"
#include "discinfo/disccopy.h"
#include "extraction/DriveCmds.h"
#include "extraction/TrackTable.h"
#include "resources/cdtextview.h"

class TCustomIniFile;

namespace wx {

// The name of a CD-TEXT language code in the language of the resources;
// empty for a code without a name.
std::string GetLangString(int code);

// What the viewer needs from the main window.
struct TCdTextHost {
    TTrackTable* Tracks = nullptr;
    TSrbExecutor* Exec = nullptr;
    std::function<TDriveAddress()> Drive;
    // Reads the table of contents again into the table and the track list.
    std::function<void()> RefreshTrackList;
    // Shows a text in a column of the track list row of a track.
    std::function<void(int track, int column, const std::string& text)> SetTrackCell;
    static constexpr int kFileColumn = 5;  // the output file name
    static constexpr int kTagColumn = 6;   // the tag mark
    // The settings dialog on its ID3 tag page.
    std::function<void()> ShowConfig;
    TNameBuilder FileName;
    std::function<bool()> JapaneseMode;
    // The IsAutoRefTrList setting.
    std::function<bool()> AutoRefresh;
    // The settings file ([CDTEXTView]); may be null.
    TCustomIniFile* Settings = nullptr;
    // Asks for the export file; filter 1 comma, 2 tab.  Empty: the system's
    // save dialog through the prompter.
    std::function<bool(HWND owner, std::string& path, int& filter)> ChooseSaveFile;
};

class TCDTEXTForm : public TForm {
public:
    TCDTEXTForm(TComponent* owner, TCdTextHost host);
    ~TCDTEXTForm() override;

    TEdit AlbumNameEdit{this, IDC_CDTEXT_ALBUM};
    TEdit AlbumArtistNameEdit{this, IDC_CDTEXT_ARTIST};
    TEdit TextCodeName{this, IDC_CDTEXT_CODE};
    TComboBox ComboBox1{this, IDC_CDTEXT_LANG};
    TListView ListView1{this, IDC_CDTEXT_LIST};
    TStatusBar StatusBar1{this, IDC_CDTEXT_STATUS};

    // Menu commands.
    void CSV1Click();
    void SetTrackNameClick();
    void MP3ID3Click();
    void Refresh1Click();
    void ComboBox1Change();
    void Timer1Timer();

    const TCDTextReader& Reader() const { return reader_; }
    bool CommandsEnabled() const { return commandsOn_; }
    bool TimerOn() const;

protected:
    void FormCreate() override;
    void FormShow() override;
    void FormClose() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Message(const std::string& text, UINT flags);
    void ShowData();
    void ClearData();
    void EnableCommands(bool on);
    void Layout();
    const TCDTextInfo* SelectedBlock() const;
    bool DiscPresent();

    TCdTextHost h_;
    TCDTextReader reader_;
    std::vector<std::uint8_t> packs_;
    std::vector<TCdTextRow> rows_;
    HFONT westernFont_ = nullptr;
    HFONT japaneseFont_ = nullptr;
    TTimer* timer_ = nullptr;
    bool commandsOn_ = false;
    bool refreshOn_ = true;
};

}  // namespace wx
