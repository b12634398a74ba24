// The ASPI transport: loads the ASPI library at run time, reports its host
// adapters, hands its entry points to the rip thread and executes one
// request with a time-out and an abort.
#pragma once
#include <cstdint>
#include <functional>

#include "classlib/component.h"
#include "classlib/library.h"
#include "classlib/win.h"
#include "extraction/AspiDefs.h"
#include "extraction/DriveCmds.h"

namespace wx {

// Millisecond counter used by every bounded wait; tests replace it to
// check the behaviour across a wrap of the counter.
extern std::uint32_t (*AspiTickSource)();

// True when more than seconds * 1000 ms have passed since startTick,
// counting modulo 2^28.
bool IsTimedOut(std::uint32_t startTick, std::uint32_t seconds);

class TWin32Aspi : public TComponent {
public:
    // Loads the library (by default "WNASPI32.DLL").  Raises nothing: a
    // missing or incomplete library gives Adapters() == -1.
    explicit TWin32Aspi(TComponent* owner, const char* libraryName = "WNASPI32.DLL");
    ~TWin32Aspi() override;

    // Host adapters, or -1 without a usable ASPI library.
    int Adapters() const { return adapters_; }
    TSendASPI32Command GetSendCommandProc() const { return send_; }
    TGetASPI32SupportInfo GetSupportInfoProc() const { return support_; }

    // Passes a request to the library without waiting; nothing without it.
    void SendCommand(void* srb);
    static void ClearSRB(SRB_ExecSCSICmd& srb) { wx::ClearSRB(srb); }

    // Executes the request and waits up to `seconds`; returns SRB_Status as
    // it stands after the wait (0 when the request never completed, which
    // also aborts it).  Any record type whose header is the ASPI header
    // may be passed: only execute requests (SRB_Cmd 2) are waited for by
    // event.
    std::uint8_t ExecSRBWait(void* srb, std::uint32_t seconds, bool poll, bool pumpMessages);

private:
    void Abort(std::uint8_t haId, void* target);
    TSendASPI32Command send_ = nullptr;
    TGetASPI32SupportInfo support_ = nullptr;
    TRuntimeLibrary library_;  // fills send_ and support_
    int adapters_ = -1;
};

// Runs requests through TWin32Aspi as the main window and the settings
// dialog do: 10 seconds, polling when the settings say so, no pumping.
class TAspiExecutor : public TSrbExecutor {
public:
    TAspiExecutor(TWin32Aspi& aspi, const bool& poll) : aspi_(aspi), poll_(poll) {}
    void Exec(SRB_ExecSCSICmd& srb) override { aspi_.ExecSRBWait(&srb, 10, poll_, false); }
    bool HaInquiry(SRB_HAInquiry& ha) override { return aspi_.ExecSRBWait(&ha, 10, true, false) == SS_COMP; }

private:
    TWin32Aspi& aspi_;
    const bool& poll_;
};

// Sends a device reset (SRB_Cmd 4) without waiting, polls it for up to 10 s
// and aborts it when it never completes.
void ResetAspiDevice(TWin32Aspi& aspi, std::uint8_t adapter, std::uint8_t target);

}  // namespace wx
