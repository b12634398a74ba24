// The small setting dialogs: drive information (TDevInfoForm), genre
// display (TGenreDispForm), normalization (TNormalizeForm) and the GOGO
// encoder settings (TGogoForm).  Each is created by its opener, shown
// modally and freed.  Windows only.
#pragma once
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "classlib/form.h"
#include "extraction/DriveScan.h"
#include "settings/configstore.h"

namespace wx {
class TGogoTea;
}

// The file-open dialog through the prompter (filter with "|" between its
// parts, the file must exist); the chosen file, or empty.
std::string OpenFileDialog(HWND owner, const std::string& title, const std::string& filter,
                           const std::string& defExt);

// A brush of the colour a tab control paints its pages with, so that the
// controls on a page are drawn on the same ground.  The caller deletes it.
HBRUSH MakeTabPaneBrush(HWND tab);
// The answer to WM_CTLCOLORSTATIC / WM_CTLCOLORBTN for a control on a page
// (check boxes, radio buttons, labels and group boxes; edits keep theirs).
bool PaintOnPane(HBRUSH pane, WPARAM dc, LPARAM control, LRESULT& result);
// The answer to WM_ERASEBKGND of a dialog with pages: the tab's page area
// in the pane's colour, so that what the controls leave unpainted (the
// inside of group boxes) is the page's ground too.
bool ErasePane(HWND dialog, HWND tab, HBRUSH pane, WPARAM dc, LRESULT& result);

// The drive's INQUIRY data, one label pair per field.
class TDevInfoForm : public wx::TForm {
public:
    TDevInfoForm(wx::TComponent* owner, const wx::TInquiryInfo& info);
    // The texts of the 20 value labels in caption order.
    static std::vector<std::string> ValueTexts(const wx::TInquiryInfo& info);

protected:
    void FormCreate() override;

private:
    wx::TInquiryInfo info_;
};

// Which genres the genre lists show, and the user's names for them.
class TGenreDispForm : public wx::TForm {
public:
    explicit TGenreDispForm(wx::TComponent* owner);
    // The rows' names as edited here (row = genre number).
    std::array<std::string, 256> Names;
    std::bitset<256> EditedNames;
    void Button1Click(int tag);      // 0: check every row, 1: clear every row
    void SpeedButton1Click();        // applies Edit1 to the selected row
    void Button3Click();             // "設定": display set and names

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Resize();
    WNDPROC editProc_ = nullptr;
    static LRESULT CALLBACK EditProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
};

// The four normalization settings; every change is in effect at once.
class TNormalizeForm : public wx::TForm {
public:
    explicit TNormalizeForm(wx::TComponent* owner);
    // The reference file's gain factor (10000 = unchanged; 0 or less: not
    // measurable).  Arguments: file, raw, percentile, clip, average.  The
    // normalizer's by default.
    std::function<std::int64_t(const std::string&, bool, bool, bool, bool)> CalcFactor;
    // The open dialog (the chosen file, or empty); the prompter's by default.
    std::function<std::string(const std::string& title, const std::string& filter)> PickFile;
    void AutoConfigClick();

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

// The GOGO encoder's detailed settings; OK copies every control back.
class TGogoForm : public wx::TForm {
public:
    TGogoForm(wx::TComponent* owner, TConfigStore& store, wx::TGogoTea* gogo);
    // The help file its help button opens at the page's context.
    std::string HelpFile;
    void ShowPage(int page);
    int HelpContext() const;
    // The value labels: "1.00" at 100, else "0.%.02d"; the split "%.2d%%/%.2d%%".
    static std::string RatioText(int position);
    static std::string SplitText(int position);

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Enabling();
    void Take();
    TConfigStore& s_;
    wx::TGogoTea* gogo_;
    int page_ = 0;
    HBRUSH pane_ = nullptr;

public:
    ~TGogoForm() override;
};
