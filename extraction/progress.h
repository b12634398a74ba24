// TProgressForm: the progress window of a rip run, shown modally while the
// rip threads run: the track's and the run's progress bars, the percent and
// status texts, the reading/compressing animation, the two level meters and
// the cancel button.  The rip control fills it from the rip thread's
// messages.
#pragma once
#include <functional>
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "extraction/LevelMeter.h"
#include "resources/progress.h"

namespace wx {

class TProgressForm : public TForm {
public:
    explicit TProgressForm(TComponent* owner = nullptr);

    TControl Label1{this, IDC_PROG_LABEL1};
    TProgressBar ProgressBar1{this, IDC_PROG_TRACKBAR};
    TControl Label7{this, IDC_PROG_LABEL7};
    TProgressBar ProgressBar2{this, IDC_PROG_RUNBAR};
    TControl Label2{this, IDC_PROG_PERCENT};
    TControl Label3{this, IDC_PROG_LABEL3};
    TControl Label4{this, IDC_PROG_STATUS};
    TControl Animate1{this, IDC_PROG_ANIMATE};
    TControl Label5{this, IDC_PROG_LEFTLABEL};
    TControl Label6{this, IDC_PROG_RIGHTLABEL};
    TButton Button1{this, IDC_PROG_CANCEL};
    TLevelMeter* LeftLevelMeter() const { return LevelMeterOf(Item(IDC_PROG_LEFTMETER)); }
    TLevelMeter* RightLevelMeter() const { return LevelMeterOf(Item(IDC_PROG_RIGHTMETER)); }

    // "中止": the rip control sets its abort flag and stops the thread.
    std::function<void()> OnCancel;
    // Set before showing: the meters and their labels are hidden and the
    // window shrinks to the cancel button.
    bool HideLevelMeters = false;

    // Starts the animation resource ("RIPPING" or "COMPRESS") unless it
    // already runs; StopAnimation stops it.
    void PlayAnimation(const std::string& name);
    void StopAnimation();
    const std::string& CurrentAnimation() const { return animation_; }

    // Double-click on the window, its labels or meters.
    void FormDblClick();

protected:
    void FormCreate() override;
    void FormShow() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void ShrinkToButton();
    int savedState_ = SW_RESTORE;  // the main window's state before minimising
    std::string animation_;
};

}  // namespace wx
