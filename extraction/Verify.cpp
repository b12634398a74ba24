#include "extraction/Verify.h"

#include "classlib/app.h"
#include "output/dlgcenter.h"
#include "resources/msgids.h"

namespace wx {

namespace {
const int ColumnWidths[7] = {50, 50, 70, 80, 80, 80, 70};
}  // namespace

TVerifyRslt::TVerifyRslt(TComponent* owner) : TForm(owner, "TVERIFYRSLT") {
    OnClick(IDOK, [this] { SetModalResult(IDOK); });
}

void TVerifyRslt::FormCreate() {
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < 7; ++c) ListView1.AddColumn(LoadResString(MSG_REPORT_COLUMN1 + c), ColumnWidths[c]);
    Fill();
    GetCenter(*this);
}

void TVerifyRslt::AddRow(const TRow& row) {
    rows_.push_back(row);
    if (Handle()) Fill();
}

void TVerifyRslt::Fill() {
    ListView1.Clear();
    for (const TRow& r : rows_) {
        const int item = ListView1.AddItem(r.empty() ? "" : r[0]);
        for (std::size_t c = 1; c < r.size() && c < 7; ++c) ListView1.SetSubItem(item, int(c), r[c]);
    }
}

}  // namespace wx
