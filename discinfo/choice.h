// The choice among several matches of a CDDB query.
#pragma once
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/choice.h"

namespace wx {

class TChoiceForm : public TForm {
public:
    explicit TChoiceForm(TComponent* owner = nullptr);
    // The display lines; Chosen is the selected index after OK, else -1.
    std::vector<std::string> Items;
    int Chosen = -1;
    TListBox ListBox1{this, IDC_CHOICE_LIST};

protected:
    void FormCreate() override;
};

}  // namespace wx
