// TSpeedResult: the drive benchmark's window.  While the benchmark runs it
// says so ("計測中です……") and its first button cancels the run; when the
// result comes (TRipControl::WMRipDone) it shows the measured areas and
// speeds, its first button becomes OK, and the second copies a text report
// to the clipboard.  A result that comes before the window exists is kept
// and shown when it does.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "extraction/benchreport.h"
#include "extraction/transrec.h"
#include "resources/spdrslt.h"

namespace wx {

class TSpeedResult : public TForm {
public:
    explicit TSpeedResult(TComponent* owner = nullptr);
    ~TSpeedResult() override;

    TControl Label10{this, IDC_SPD_LABEL10};
    TControl ReadingMethod{this, IDC_SPD_READINGMETHOD};
    TControl Label11{this, IDC_SPD_LABEL11};
    TControl Frames{this, IDC_SPD_FRAMES};
    TControl Label17{this, IDC_SPD_LABEL17};
    TControl UsingAPI{this, IDC_SPD_USINGAPI};
    TControl Label9{this, IDC_SPD_LABEL9};
    TControl MLength{this, IDC_SPD_MLENGTH};
    TControl Label7{this, IDC_SPD_LABEL7};
    TControl MInside{this, IDC_SPD_MINSIDE};
    TControl Label8{this, IDC_SPD_LABEL8};
    TControl MOutside{this, IDC_SPD_MOUTSIDE};
    TControl Label3{this, IDC_SPD_LABEL3};
    TControl Label1{this, IDC_SPD_LABEL1};
    TControl NInSpeed{this, IDC_SPD_NINSPEED};
    TControl Label2{this, IDC_SPD_LABEL2};
    TControl NOutSpeed{this, IDC_SPD_NOUTSPEED};
    TControl Label4{this, IDC_SPD_LABEL4};
    TControl Label5{this, IDC_SPD_LABEL5};
    TControl BInSpeed{this, IDC_SPD_BINSPEED};
    TControl Label6{this, IDC_SPD_LABEL6};
    TControl BOutSpeed{this, IDC_SPD_BOUTSPEED};
    TButton Button1{this, IDC_SPD_BUTTON1};
    TButton Button2{this, IDC_SPD_BUTTON2};

    // Set before the window is shown.
    std::string ReadingMethodText, FramesText, UsingApiText;
    std::string DriveText;  // the selected drive, for the report
    // "キャンセル" while measuring: the run is aborted.
    std::function<void()> OnCancel;

    // The benchmark's result record (TForm1.SetResult): kept, and shown in
    // the labels now or when the window is made.
    void SetResult(const TTransferRecord& r);
    bool HasResult() const { return result_ != nullptr; }
    void Button1Click();
    void Button2Click();
    // The report Button2 copies, from the window's captions and values.
    std::string ReportText() const;

protected:
    void FormCreate() override;

private:
    void ShowResult();
    std::unique_ptr<TTransferRecord> result_;
};

// The benchmark window while it is open, else null.
extern TSpeedResult* SpeedResult;

// The platform line of this system (GetVersionEx).
std::string SystemPlatformLine();

}  // namespace wx
