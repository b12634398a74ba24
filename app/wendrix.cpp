#include "app/wendrix.h"

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/win.h"
#include "resources/resource.h"

namespace wendrix {

namespace {
const char kMutexName[] = "Wendrix Rev.3.x";
const char kTitle[] = "Wendrix for Windows";
HANDLE instanceMutex = nullptr;
}  // namespace

TForm1::TForm1() : TForm(nullptr, "TFORM1") {}

bool IsAlreadyRunning() {
    SetLastError(0);
    instanceMutex = CreateMutexA(nullptr, TRUE, kMutexName);
    return instanceMutex == nullptr || GetLastError() != 0;
}

void ReleaseInstanceMutex() {
    if (instanceMutex) CloseHandle(instanceMutex);
    instanceMutex = nullptr;
}

int ProgramMain() {
    wx::Application.Title = kTitle;
    if (IsAlreadyRunning()) {
        wx::ShowMessageBox(wx::LoadResString(MSG_ALREADY_RUNNING), MB_OK | MB_ICONERROR);
        ReleaseInstanceMutex();
        return 1;
    }
    wx::Application.Initialize();
    {
        TForm1 form1;
        wx::Application.Run(form1);
    }
    ReleaseInstanceMutex();
    return 0;
}

}  // namespace wendrix

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return wendrix::ProgramMain(); }
