// The server's message of the day.
#pragma once
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/motdfrm.h"

namespace wx {

class TMOTDForm : public TForm {
public:
    explicit TMOTDForm(TComponent* owner = nullptr);
    std::vector<std::string> Lines;
    TEdit Memo1{this, IDC_MOTD_MEMO};
    TButton Button1{this, IDOK};

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Layout();
};

}  // namespace wx
