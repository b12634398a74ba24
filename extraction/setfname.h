// TFileNameSetForm: asks for the output name of a track that has none,
// during the rip start checks.  The caller sets the question (Label1);
// "設定" answers Yes, "ﾍﾞｰｽﾌｧｲﾙ名として設定" Yes to all, Cancel Cancel; Enter
// answers Yes and Escape Cancel.
#pragma once
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/setfname.h"

namespace wx {

// Modal result of "yes to all".
constexpr INT_PTR mrYesToAll = 10;

class TFileNameSetForm : public TForm {
public:
    explicit TFileNameSetForm(TComponent* owner = nullptr);

    std::string Question;  // shown in Label1
    std::string Text;      // the edit's text when the form closed

    TControl Label1{this, IDC_FNSET_LABEL};
    TEdit Edit1{this, IDC_FNSET_EDIT};
    TButton Button1{this, IDC_FNSET_SET};
    TButton Button2{this, IDC_FNSET_BASE};
    TButton Button3{this, IDCANCEL};

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Answer(INT_PTR result);
};

}  // namespace wx
