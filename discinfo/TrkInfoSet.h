// The editor of one track's title and extended text in the CDDB dialog.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/TrkInfoSet.h"

namespace wx {

class TTrackInfoForm : public TForm {
public:
    explicit TTrackInfoForm(TComponent* owner = nullptr);
    // In and out (out after OK; at most 255 bytes each).
    std::string TrackInfo;
    std::string TrackExtInfo;
    TEdit TrackInfoEdit{this, IDC_TRKINFO_TITLE};
    TEdit TrkExtInfoEdit{this, IDC_TRKINFO_EXT};

protected:
    void FormCreate() override;
};

}  // namespace wx
