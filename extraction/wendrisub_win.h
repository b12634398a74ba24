// The rip thread of the program: TExecuteAspiThread runs the rip engine
// (wendrisub.h) for one TTransferRecord on a thread of the class library,
// with the Windows platform: kernel events handed to the ASPI library,
// PostMessage to the request's window, the MSCDEX transport (the
// pass-through transport is the portable class driver's).
#pragma once
#include <memory>

#include "classlib/thread.h"
#include "classlib/win.h"
#include "extraction/ClassDrv.h"
#include "extraction/wendrisub.h"

namespace wx {

class TWinRipPlatform : public IRipPlatform {
public:
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t ms) override;
    void* NewEvent() override;
    bool WaitEvent(void* event, std::uint32_t ms) override;
    void FreeEvent(void* event) override;
    void* NewManualEvent() override;
    void SignalEvent(void* event) override;
    void ClearEvent(void* event) override;
    int WaitAnyEvent(void* const* events, int count, std::uint32_t ms) override;
    void SetTimeCritical() override;
    bool SendOverlapped(int slot, SRB_ExecSCSICmd& srb, void* event) override;
    void CompleteOverlapped(int slot, SRB_ExecSCSICmd& srb) override;
    void CancelOverlapped(int slot) override;
    void Post(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) override;
    std::unique_ptr<IRipWorker> StartThread(std::function<void()> body) override;
    bool IsWindows9x() override;
    std::uint32_t MscdexReadSectors(void* dest, std::int32_t lba, std::int32_t count) override;
    std::int32_t MscdexSearchStartPoint(std::int32_t lba) override;
    bool FileExists(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;

private:
    // One overlapped request per handle of the rip device.
    struct TOverlappedRequest {
        OVERLAPPED Overlapped{};
        ScsiPassThroughDirectBuffer Block{};
        bool Pending = false;
    };
    TOverlappedRequest overlapped_[OverlappedHandles];
};

// The output driver as the engine's sink.
class TAcmDrvOutput : public IRipOutput {
public:
    explicit TAcmDrvOutput(TAcmDrv* driver) : driver_(driver) {}
    bool Write(const void* data, std::uint32_t length) override;
    bool Close() override;
    void Discard() override;
    std::string ErrorText() const override;

private:
    TAcmDrv* driver_;
};

// Runs the external encoder on the finished work file WorkFolder +
// "wendri_pass0.wav" into OutputFileName; false when no output was made.
bool RunExternalEncoder(TRipEngine& e);
extern const char* const MsgExternalEncoding;  // 外部ｴﾝｺｰﾀﾞによる圧縮の実行中.
extern const char* const MsgRenameFailed;      // ファイル名の変更ができませんでした

// The class library's priority scale, idle to time-critical, for the
// request's priority value: normal + v, one step more when v > 0.
int RipThreadPriority(std::int32_t value);

class TExecuteAspiThread : public TThread {
public:
    // Copies the request and starts the thread.  The context names the rip
    // memory block and the read methods built elsewhere; without a platform
    // or an output of its own the thread uses the Windows platform and the
    // request's OutputDriver.
    TExecuteAspiThread(const TTransferRecord& request, TRipContext context);
    ~TExecuteAspiThread() override;

protected:
    void Execute() override;

private:
    TWinRipPlatform platform_;
    std::unique_ptr<TAcmDrvOutput> output_;
    std::unique_ptr<TRipEngine> engine_;
};

}  // namespace wx
