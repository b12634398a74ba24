// The main window's link to the settings store: the store of the run, its
// start-up at the first show and its save at close.
#include <memory>

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/ClassDrv.h"
#include "extraction/Win32Aspi.h"
#include "resources/msgids.h"
#include "settings/configform.h"
#include "settings/configs_win.h"
#include "settings/smallforms.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {
std::unique_ptr<TConfigForm> dialog;
}  // namespace

void CreateConfigForm() { dialog = std::make_unique<TConfigForm>(nullptr, Form1 ? &Form1->ConfigHost : nullptr); }

void FreeConfigForm() {
    FreeRipCacheBuffer();
    dialog.reset();
}

void TForm1::ConfigStartUp() {
    if (!ConfigDialog) return;
    ConfigDialog->Host = &ConfigHost;
    ConfigDialog->FormCreate(this);
    if (ConfigDialog->StartUpFailed) StartupAborted = true;
}

void TForm1::ConfigStore() {
    if (!ConfigDialog) return;
    UpdateMainWindowKeys();
    ConfigDialog->StoreCfg();
}

void TForm1::ApplySettings() {
    if (ConfigDialog) ConfigDialog->BitBtn1Click();
}

void TForm1::ShowConfigDialog() {
    if (!ConfigDialog) return;
    ConfigDialog->ShowPage(0);
    ConfigDialog->ShowModal(Handle());
}

void TForm1::ExecNormzClick() {
    TNormalizeForm form(this);
    form.ShowModal(Handle());
}

void TForm1::THost::SetStatusText(const std::string& text) { f_.StatusBar1.SetPanelText(0, text); }

void TForm1::THost::SetEncodeButton(int image, const std::string& caption) {
    f_.ToolBar2.SetButtonImage(IDT_TOOLEXTENCODE, image);
    TBBUTTONINFOA bi{};
    bi.cbSize = sizeof(bi);
    bi.dwMask = TBIF_TEXT;
    bi.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(f_.ToolBar2.Handle(), TB_SETBUTTONINFOA, IDT_TOOLEXTENCODE, reinterpret_cast<LPARAM>(&bi));
}

void TForm1::THost::CheckEncodeMenu(int outputMethod) {
    if (outputMethod >= 0 && outputMethod < 4)
        wx::TMenu(f_.EncodeMenu).SetRadio(IDM_WAVEOUT, IDM_VQFOUT, static_cast<UINT>(IDM_WAVEOUT + outputMethod));
}

}  // namespace wendrix
