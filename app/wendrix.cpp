// The program block: the units' start, the single-instance check, the
// forms of the run and the message loop.
#include "app/wendrix.h"

#include "app/ReInit.h"
#include "app/splash.h"
#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/wendrisub.h"
#include "resources/msgids.h"
#include "settings/configs_win.h"

namespace wendrix {

namespace {
const char kTitle[] = "Wendrix for Windows";
}  // namespace

int ProgramMain() {
    // The units' start: the rip engine's read buffers, the platform flags,
    // the main unit, the splash last of all.
    wx::ReserveRipBuffers(wx::RipBuffers);
    DetectPlatform();
    InitMainUnit();
    wx::Application.Title = kTitle;
    InitSplashUnit();
    if (IsAlreadyRunning()) {
        wx::ShowMessageBox(wx::LoadResString(MSG_ALREADY_RUNNING), MB_OK | MB_ICONERROR);
        ReleaseInstanceMutex();
        FinalizeSplashUnit();
        FinalizeMainUnit();
        return 1;
    }
    wx::Application.Initialize();
    // The language module, chosen before the main window exists so that
    // every form, the main window's own included, comes from it.
    SetLang();
    {
        TForm1 form1;
        CreateConfigForm();
        CreateCDDBSearch();
        wx::Application.Run(form1);
        FreeCDDBSearch();
        FreeConfigForm();
    }
    ReleaseInstanceMutex();
    FinalizeSplashUnit();
    wx::FreeRipBuffers(wx::RipBuffers);
    FinalizeMainUnit();
    return 0;
}

}  // namespace wendrix

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return wendrix::ProgramMain(); }
