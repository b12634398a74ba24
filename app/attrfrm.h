// The attributes and time stamp of one file or folder: the four attribute
// boxes, the last-write time in six number fields, and whether each of the
// two is to be set.  Leaving a date or time field checks the three fields
// of its group; a wrong one keeps the form open with the focus on it.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "app/NumEdit.h"
#include "app/filerrules.h"
#include "classlib/controls.h"
#include "classlib/form.h"
#include "resources/filer.h"

class TAttrForm : public wx::TForm {
public:
    explicit TAttrForm(wx::TComponent* owner = nullptr);

    // Set by the opener.
    std::wstring Path;      // for the icon
    std::string LabelText;
    std::uint32_t Attr = 0;
    filer::TDosDateTime Time;
    // On OK.
    bool ApplyAttr = false, ApplyTime = false;
    std::uint32_t NewAttr = 0;
    std::array<std::string, 6> Fields;

    wx::TCheckBox CheckBox1{this, IDC_ATTR_ARCHIVE};
    wx::TCheckBox CheckBox2{this, IDC_ATTR_SYSTEM};
    wx::TCheckBox CheckBox3{this, IDC_ATTR_HIDDEN};
    wx::TCheckBox CheckBox4{this, IDC_ATTR_READONLY};
    wx::TCheckBox CheckBox5{this, IDC_ATTR_APPLYATTR};
    wx::TCheckBox CheckBox6{this, IDC_ATTR_APPLYTIME};
    std::array<TNumEdit, 6> NumEdit{{{this, IDC_ATTR_NUM1},
                                     {this, IDC_ATTR_NUM1 + 1},
                                     {this, IDC_ATTR_NUM1 + 2},
                                     {this, IDC_ATTR_NUM1 + 3},
                                     {this, IDC_ATTR_NUM1 + 4},
                                     {this, IDC_ATTR_NUM1 + 5}}};

    // Checks the group of field i (0..2 date, 3..5 time); false after the
    // error box, with the focus back on the field.
    bool CheckGroup(int i);

protected:
    void FormCreate() override;
    void FormDestroy() override;

private:
    HICON icon_ = nullptr;
    bool checking_ = false;
};
