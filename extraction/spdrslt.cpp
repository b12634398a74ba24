#include "extraction/spdrslt.h"

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/ripcontrol.h"
#include "output/dlgcenter.h"
#include "resources/msgids.h"

namespace wx {

TSpeedResult* SpeedResult = nullptr;

std::string SystemPlatformLine() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    TOsVersion o;
    if (GetVersionExA(&v)) {
        o.Known = true;
        o.Nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
        o.Major = v.dwMajorVersion;
        o.Minor = v.dwMinorVersion;
        o.Build = v.dwBuildNumber;
        o.ServicePack = v.szCSDVersion;
    }
    return PlatformLine(o);
}

namespace {

// The date and time in the system's short form.
std::string ShortDateTime() {
    char date[128] = {}, time[128] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

}  // namespace

TSpeedResult::TSpeedResult(TComponent* owner) : TForm(owner, "TSPEEDRESULT") {
    OnClick(IDC_SPD_BUTTON1, [this] { Button1Click(); });
    OnClick(IDCANCEL, [this] { Button1Click(); });  // Escape
    OnClick(IDC_SPD_BUTTON2, [this] { Button2Click(); });
    SpeedResult = this;
}

TSpeedResult::~TSpeedResult() {
    if (SpeedResult == this) SpeedResult = nullptr;
}

void TSpeedResult::FormCreate() {
    GetCenter(*this);
    ReadingMethod.SetText(ReadingMethodText);
    Frames.SetText(FramesText);
    UsingAPI.SetText(UsingApiText);
    if (result_) ShowResult();
}

void TSpeedResult::SetResult(const TTransferRecord& r) {
    result_ = std::make_unique<TTransferRecord>(r);
    if (Handle()) ShowResult();
}

void TSpeedResult::ShowResult() {
    for (const auto& [label, text] : SetResultTexts(*result_)) {
        const int id = label == "NInSpeed"    ? IDC_SPD_NINSPEED
                       : label == "NOutSpeed" ? IDC_SPD_NOUTSPEED
                       : label == "BInSpeed"  ? IDC_SPD_BINSPEED
                       : label == "BOutSpeed" ? IDC_SPD_BOUTSPEED
                       : label == "MLength"   ? IDC_SPD_MLENGTH
                       : label == "MInside"   ? IDC_SPD_MINSIDE
                                              : IDC_SPD_MOUTSIDE;
        TControl(this, id).SetText(text);
    }
    SetCaption(LoadResString(MSG_BENCH_RESULT_CAPTION));
    Button1.SetText("OK");
    Button2.SetEnabled(true);
}

void TSpeedResult::Button1Click() {
    if (result_) {
        SetModalResult(IDOK);
        return;
    }
    if (OnCancel) OnCancel();
}

std::string TSpeedResult::ReportText() const {
    TBenchReport r;
    r.Platform = SystemPlatformLine();
    r.Date = ShortDateTime();
    r.Drive = DriveText;
    r.Setup = {{Label10.Text(), ReadingMethod.Text()}, {Label11.Text(), Frames.Text()},
               {Label17.Text(), UsingAPI.Text()},      {Label9.Text(), MLength.Text()},
               {Label7.Text(), MInside.Text()},        {Label8.Text(), MOutside.Text()}};
    r.NormalHeading = Label3.Text();
    r.NormalInner = {Label1.Text(), NInSpeed.Text()};
    r.NormalOuter = {Label2.Text(), NOutSpeed.Text()};
    r.BurstHeading = Label4.Text();
    r.BurstInner = {Label5.Text(), BInSpeed.Text()};
    r.BurstOuter = {Label6.Text(), BOutSpeed.Text()};
    return BenchmarkReportText(r);
}

void TSpeedResult::Button2Click() { CopyTextToClipboard(Handle(), ReportText()); }

}  // namespace wx
