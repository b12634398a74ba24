// TVerifyRslt: the error report of a run, one row per ripped track (result
// class, SCSI errors, jitter corrections, re-reads, average corrections,
// null areas).
#pragma once
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/verify.h"

namespace wx {

class TVerifyRslt : public TForm {
public:
    explicit TVerifyRslt(TComponent* owner = nullptr);

    // The rows, kept while the window is closed; the list shows them when
    // the window is made.
    using TRow = std::vector<std::string>;  // seven cells
    void Clear() { rows_.clear(); }
    void AddRow(const TRow& row);
    const std::vector<TRow>& Rows() const { return rows_; }

    TListView ListView1{this, IDC_VERIFY_LIST};
    TButton Button1{this, IDOK};

protected:
    void FormCreate() override;

private:
    void Fill();
    std::vector<TRow> rows_;
};

}  // namespace wx
