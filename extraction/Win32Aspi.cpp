#include "extraction/Win32Aspi.h"

#include <atomic>

#include "classlib/app.h"

namespace wx {

namespace {
std::uint32_t SystemTicks() { return GetTickCount(); }

std::uint8_t StatusOf(void* srb) {
    return std::atomic_ref<std::uint8_t>(static_cast<std::uint8_t*>(srb)[1]).load(std::memory_order_acquire);
}
}  // namespace

std::uint32_t (*AspiTickSource)() = SystemTicks;

bool IsTimedOut(std::uint32_t startTick, std::uint32_t seconds) {
    return IsTimedOutTicks(startTick, AspiTickSource(), seconds);
}

TWin32Aspi::TWin32Aspi(TComponent* owner, const char* libraryName)
    : TComponent(owner), library_{{send_, "SendASPI32Command"}, {support_, "GetASPI32SupportInfo"}} {
    if (library_.Load(libraryName) != TRuntimeLibrary::TLoad::Loaded) return;
    const std::uint32_t info = support_();
    if (((info >> 8) & 0xFF) == SS_COMP) {
        adapters_ = int(info & 0xFF);
        return;
    }
    library_.Unload();
    adapters_ = -1;
}

TWin32Aspi::~TWin32Aspi() = default;

void TWin32Aspi::SendCommand(void* srb) {
    if (send_ && srb) send_(srb);
}

void TWin32Aspi::Abort(std::uint8_t haId, void* target) {
    if (!send_) return;  // nothing to send the abort through
    SRB_Abort a;
    wx::ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_HaId = haId;
    a.SRB_ToAbort = target;
    send_(&a);
    std::uint32_t start = AspiTickSource();
    while (StatusOf(&a) == SS_PENDING && !IsTimedOut(start, 10)) Sleep(1);
}

std::uint8_t TWin32Aspi::ExecSRBWait(void* p, std::uint32_t seconds, bool poll, bool pumpMessages) {
    if (!p) return SS_PENDING;
    auto* hdr = static_cast<std::uint8_t*>(p);
    if (!send_) return StatusOf(p);  // no library: nothing is sent or waited for
    const std::uint8_t cmd = hdr[0];
    const std::uint8_t haId = hdr[2];
    const bool usePolling = poll || cmd != SC_EXEC_SCSI_CMD;
    bool timedOut = false;
    if (usePolling) {
        send_(p);
        std::uint32_t start = AspiTickSource();
        while (StatusOf(p) == SS_PENDING && !IsTimedOut(start, seconds)) {
            if (pumpMessages) Application.ProcessMessages();
            Sleep(1);
        }
        timedOut = StatusOf(p) == SS_PENDING;
    } else {
        auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
        HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!ev) return SS_PENDING;
        srb->SRB_Flags |= SRB_EVENT_NOTIFY;
        srb->SRB_PostProc = ev;
        send_(p);
        if (StatusOf(p) == SS_PENDING) {
            if (!pumpMessages) {
                timedOut = WaitForSingleObject(ev, seconds * 1000) != WAIT_OBJECT_0;
            } else {
                std::uint32_t start = AspiTickSource();
                for (;;) {
                    if (WaitForSingleObject(ev, 0) == WAIT_OBJECT_0) break;
                    Application.ProcessMessages();
                    if (IsTimedOut(start, seconds)) {
                        timedOut = true;
                        break;
                    }
                    Sleep(1);
                }
            }
        }
        const std::uint8_t result = StatusOf(p);
        if (timedOut || (cmd != SC_EXEC_SCSI_CMD && result == SS_PENDING)) Abort(haId, p);
        CloseHandle(ev);
        return result;
    }
    const std::uint8_t result = StatusOf(p);
    if ((cmd == SC_EXEC_SCSI_CMD && timedOut) || (cmd != SC_EXEC_SCSI_CMD && result == SS_PENDING)) Abort(haId, p);
    return result;
}

void ResetAspiDevice(TWin32Aspi& aspi, std::uint8_t adapter, std::uint8_t target) {
    if (!aspi.GetSendCommandProc()) return;
    SRB_ExecSCSICmd s;
    wx::ClearSRB(s);
    s.SRB_Cmd = SC_RESET_DEV;
    s.SRB_HaId = adapter;
    s.SRB_Target = target;
    aspi.SendCommand(&s);
    std::uint32_t start = AspiTickSource();
    while (StatusOf(&s) == SS_PENDING && !IsTimedOut(start, 10)) Sleep(1);
    if (StatusOf(&s) != SS_PENDING) return;
    SRB_Abort a;
    wx::ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_HaId = adapter;
    a.SRB_ToAbort = &s;
    aspi.SendCommand(&a);
    start = AspiTickSource();
    while (StatusOf(&a) == SS_PENDING && !IsTimedOut(start, 10)) Sleep(1);
}

}  // namespace wx
