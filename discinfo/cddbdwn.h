// The small window of the automatic lookup: a status line, the system's
// find-computer animation and CANCEL, shown modally while the hidden CDDB
// dialog attached to it runs its query.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/cddbfrm.h"

namespace wx {

class TCDDBForm;

class TCDDBSearch : public TForm {
public:
    explicit TCDDBSearch(TComponent* owner = nullptr);

    TControl Label1{this, IDC_CDDBSEARCH_LABEL};
    TControl Animate1{this, IDC_CDDBSEARCH_ANIMATE};
    TButton Button1{this, IDCANCEL};

    // The dialog whose job the window waits for, while it runs.
    void Attach(TCDDBForm* form) { attached_ = form; }
    void Detach() { attached_ = nullptr; }
    TCDDBForm* Attached() const { return attached_; }
    // The status line (kept until the window shows).
    void SetStatus(const std::string& text);
    // CANCEL: the attached dialog's job is aborted (the window closes when
    // its result arrives); without a running job the window closes.
    void Button1Click();
    // Closes the window (the attached dialog's result is in).
    void Finish();

protected:
    void FormCreate() override;
    bool FormCloseQuery() override;

private:
    TCDDBForm* attached_ = nullptr;
    std::string status_;
    bool finishing_ = false;
};

// The search window of the run (created at start-up), or null.
extern TCDDBSearch* CDDBSearch;

}  // namespace wx
