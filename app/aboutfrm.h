// The version dialog: program name, revision and two links.
#pragma once
#include "classlib/form.h"

namespace wendrix {

class TAboutForm : public wx::TForm {
public:
    explicit TAboutForm(wx::TComponent* owner = nullptr);
    static const char* const WebPage;
    static const char* const MailAddress;

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

}  // namespace wendrix
