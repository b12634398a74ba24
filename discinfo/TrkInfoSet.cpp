#include "discinfo/TrkInfoSet.h"

#include "classlib/sjis.h"
#include "output/dlgcenter.h"

namespace wx {

TTrackInfoForm::TTrackInfoForm(TComponent* owner) : TForm(owner, "TTRACKINFOFORM") {
    OnClick(IDOK, [this] {
        TrackInfo = SjisCut(TrackInfoEdit.Text(), 255);
        TrackExtInfo = SjisCut(TrkExtInfoEdit.Text(), 255);
        SetModalResult(IDOK);
    });
}

void TTrackInfoForm::FormCreate() {
    TrackInfoEdit.SetMaxLength(255);
    TrkExtInfoEdit.SetMaxLength(255);
    TrackInfoEdit.SetText(TrackInfo);
    TrkExtInfoEdit.SetText(TrackExtInfo);
    GetCenter(*this);
}

}  // namespace wx
