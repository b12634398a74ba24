// The wave-out thread's platform under Windows: a thread with its message
// queue made before the creator goes on, thread messages, PostMessage to the
// target window, and the wave-out device with its two buffer headers and a
// completion callback that only wakes the thread.
#pragma once
#include <memory>

#include "classlib/win.h"

#include <mmsystem.h>

#include "extraction/waveout.h"

namespace wx {

class TWinWaveOutPlatform : public IWaveOutPlatform {
public:
    TWinWaveOutPlatform();
    ~TWinWaveOutPlatform() override;
    std::uint32_t TickCount() override;
    void StartThread(std::function<void()> body) override;
    void Join() override;
    bool PostToThread(std::uint32_t msg, std::intptr_t lParam) override;
    bool PeekThreadMessage(std::uint32_t& msg, std::intptr_t& lParam) override;
    void Wait(std::uint32_t ms) override;
    void Wake() override;
    void PostToWindow(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) override;
    bool Open(std::int32_t device) override;
    bool IsOpen() const override { return device_ != nullptr; }
    bool Write(int b, const void* data, std::uint32_t length) override;
    bool Done(int b) override;
    void Unprepare(int b) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;
    void Close() override;

private:
    static DWORD WINAPI Entry(LPVOID self);
    static void CALLBACK DeviceDone(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR);

    std::function<void()> body_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    HANDLE wake_ = nullptr;
    HWAVEOUT device_ = nullptr;
    WAVEHDR header_[2] = {};
    bool prepared_[2] = {};
};

// The wave-out thread of the program, posting to the window.
std::unique_ptr<TWaveOutThread> NewWaveOutThread(HWND target);

}  // namespace wx
