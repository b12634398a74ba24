// The splash window: shown at start when [Common] IsDispSplash reads "YES"
// (the default), gone the first time it loses activation (when the main
// window comes up).
#pragma once
#include "classlib/form.h"

namespace wendrix {

class TSplashForm : public wx::TForm {
public:
    TSplashForm();

protected:
    void FormCreate() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

// Reads the setting and shows the splash when asked for.
void InitSplashUnit();
void FinalizeSplashUnit();
// The splash while it is shown, else null.
TSplashForm* SplashForm();

}  // namespace wendrix
