// TTrackProparty: one track's rip range (start and end as minutes, seconds
// and frames from the track's start, the start possibly before it), its
// output file-name stem and its pre-emphasis flag.  Opened from the track
// list; the caller sets the caption.  The track record changes only on a
// successful OK.
#pragma once
#include <string>

#include "app/NumEdit.h"
#include "classlib/controls.h"
#include "classlib/form.h"
#include "extraction/TrackTable.h"
#include "resources/trkprop.h"

class TTrackProparty : public wx::TForm {
public:
    TTrackProparty(wx::TComponent* owner, wx::TTrackRecord& track);

    wx::TEdit FileNameEdit{this, IDC_TRKPROP_FILENAME};
    TNumEdit SMIN{this, IDC_TRKPROP_SMIN};
    TNumEdit SSEC{this, IDC_TRKPROP_SSEC};
    TNumEdit SFRAME{this, IDC_TRKPROP_SFRAME};
    TNumEdit EMIN{this, IDC_TRKPROP_EMIN};
    TNumEdit ESEC{this, IDC_TRKPROP_ESEC};
    TNumEdit EFRAME{this, IDC_TRKPROP_EFRAME};
    wx::TCheckBox Emph{this, IDC_TRKPROP_EMPH};
    wx::TButton Button1{this, IDC_TRKPROP_RESET};
    wx::TButton Button2{this, IDC_TRKPROP_OK};
    wx::TButton Button3{this, IDC_TRKPROP_CANCEL};

    std::string CaptionText;  // set by the caller before showing

    void Button1Click();
    // OK: checks the fields, the range and the name; closes with OK only
    // when all hold.
    void BitBtn1Click();
    // Leaving a minutes or seconds field, and a frames field: the field's
    // check; after a message the field has the focus again.
    bool SSECExit(TNumEdit& field);
    bool SFRAMEExit(TNumEdit& field);

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void ShowRange(std::int32_t start, std::int32_t end);
    bool CheckField(TNumEdit& field);
    void Refuse(UINT message, wx::TControl& focus);
    bool NameUsable(const std::string& name) const;
    wx::TTrackRecord& track_;
    bool checking_ = false;  // a field's message is up: other exits wait
};
