// The drive benchmark command of the rip control.
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/MSCDEXCALL.h"
#include "extraction/Win32Aspi.h"
#include "extraction/ripcontrol.h"
#include "extraction/spdrslt.h"
#include "extraction/wendrisub_win.h"
#include "resources/msgids.h"

namespace wx {

namespace {

// 20 seconds of audio per measured area.
constexpr std::int32_t BenchmarkAreaBytes = 3528000;

}  // namespace

void TRipControl::StartBenchMark() {
    if (running_ || !h_.Config || !h_.Tracks) return;
    TConfigStore& c = *h_.Config;
    const TMediaTimerPause pause(h_);
    if (h_.ReadToc) h_.ReadToc();
    const TTrackTable& tt = *h_.Tracks;
    if (tt.TrackCount <= 0) {
        ShowMessageBox(Text(MSG_NO_MEDIA), MB_OK | MB_ICONERROR);
        return;
    }
    for (int t = 1; t <= tt.TrackCount && t < LeadOutSlot; ++t) {
        if (!tt.Slots[t].IsAudio) {
            ShowMessageBox(Text(MSG_BENCH_AUDIO_ONLY), MB_OK | MB_ICONERROR);
            return;
        }
    }
    mscdex_ = c.CheckBox14.Checked && IsWindows9x();
    c.CheckBox14.Checked = mscdex_;
    if (mscdex_ && !MscdexOpen(0)) {
        ShowMessageBox(Text(MSG_MSCDEX_FAILED), MB_OK | MB_ICONERROR);
        mscdex_ = false;
        return;
    }
    BeginForeignRun();
    if (h_.StopTestPlay) h_.StopTestPlay();
    currentTrack_ = 1;

    const TDeviceEntry* e = c.SelectedDevice();
    TTransferRecord r = EmptyTransferRecord();
    r.Adapter = e ? e->Adapter : 0;
    r.Target = e ? e->Target : 0;
    r.Lun = e ? e->Lun : 0;
    r.PortNumber = e ? e->PortNumber : 0;
    r.StartLba = tt.Slots[1].StartLba;
    r.EndLba = r.LastReadableLba = tt.Slots[LeadOutSlot].StartLba - 75;
    r.ReadCommand = std::uint8_t(EffectiveReadCommand(c.ComboBox1.ItemIndex()));
    r.SectorsPerRead = c.SpinEdit1.Value();
    r.TrackNumber = 1;
    r.MaxRetry = c.MaxRetry;
    r.NotifyWindow = h_.MainForm ? h_.MainForm->Handle() : nullptr;
    r.SendAspiCommand = h_.Aspi ? h_.Aspi->GetSendCommandProc() : nullptr;
    r.GetAspiSupportInfo = h_.Aspi ? h_.Aspi->GetSupportInfoProc() : nullptr;
    r.OutputDriver = nullptr;
    r.ThreadPriority = c.CustomTrackBar1.Position();
    r.UseMscdex = mscdex_;
    r.PollStatus = c.CheckBox15.Checked;
    r.UseExternalEncoder = c.IsUseL3Enc();
    r.IgnoreTargetStatus = e && e->IgnoreTargetStat;
    r.VolumePercent = 100;
    r.UseAspi = UseAspi;
    r.BenchmarkBytes = BenchmarkAreaBytes;
    r.NoNullAreaCount = true;

    spinChanged_ = false;
    if (!mscdex_ && h_.Exec) {
        TDriveCommands cmds(*h_.Exec);
        SetDriveModes(cmds, Drive(), r.ReadCommand);
    }

    TSpeedResult form(h_.MainForm);
    form.FramesText = std::to_string(c.SpinEdit1.Value()) + " Frames";
    form.UsingApiText = UseAspi ? "Windows ASPI API set" : mscdex_ ? "MSCDEX raw reading" : "WindowsNT class driver";
    form.ReadingMethodText = c.ComboBox1.Text();
    form.DriveText = c.ComboBox2.Text();
    form.OnCancel = [this] { Cancel(); };
    OnBenchmarkDone = [&form](const TTransferRecord& result) { form.SetResult(result); };
    StartThread(r);
    form.ShowModal(h_.MainForm ? h_.MainForm->Handle() : nullptr);
    // The window may close before the run is over (its result comes later).
    while (running_) {
        MSG m;
        const BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(int(m.wParam));  // for the loop outside
            break;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    OnBenchmarkDone = nullptr;
    running_ = false;
    if (h_.RunState) h_.RunState(nullptr, false);
}

}  // namespace wx
