#include "extraction/waveout_win.h"

#include <mmsystem.h>

#include <stdexcept>

namespace wx {

TWinWaveOutPlatform::TWinWaveOutPlatform() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

TWinWaveOutPlatform::~TWinWaveOutPlatform() {
    Join();
    Close();
    if (ready_) CloseHandle(ready_);
    if (wake_) CloseHandle(wake_);
}

std::uint32_t TWinWaveOutPlatform::TickCount() { return GetTickCount(); }

DWORD WINAPI TWinWaveOutPlatform::Entry(LPVOID self) {
    auto* p = static_cast<TWinWaveOutPlatform*>(self);
    // The queue exists once the thread has looked at it: only then may the
    // creator go on and post to it.
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(p->ready_);
    p->body_();
    return 0;
}

void TWinWaveOutPlatform::StartThread(std::function<void()> body) {
    body_ = std::move(body);
    thread_ = CreateThread(nullptr, 0, &Entry, this, 0, &threadId_);
    if (!thread_) throw std::runtime_error("the wave-out thread cannot be created");
    WaitForSingleObject(ready_, INFINITE);
}

void TWinWaveOutPlatform::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool TWinWaveOutPlatform::PostToThread(std::uint32_t msg, std::intptr_t lParam) {
    return threadId_ && PostThreadMessageA(threadId_, msg, 0, LPARAM(lParam));
}

bool TWinWaveOutPlatform::PeekThreadMessage(std::uint32_t& msg, std::intptr_t& lParam) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.hwnd) {
            DispatchMessageA(&m);
            continue;
        }
        msg = m.message;
        lParam = m.lParam;
        return true;
    }
    return false;
}

void TWinWaveOutPlatform::Wait(std::uint32_t ms) {
    MsgWaitForMultipleObjects(1, &wake_, FALSE, ms, QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
}

void TWinWaveOutPlatform::Wake() { SetEvent(wake_); }

void TWinWaveOutPlatform::PostToWindow(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    PostMessageA(static_cast<HWND>(window), msg, WPARAM(wParam), LPARAM(lParam));
}

void CALLBACK TWinWaveOutPlatform::DeviceDone(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    // Only a wake-up here: the device's callback may not call the device.
    if (msg == WOM_DONE) SetEvent(reinterpret_cast<TWinWaveOutPlatform*>(instance)->wake_);
}

bool TWinWaveOutPlatform::Open(std::int32_t device) {
    Close();
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.nAvgBytesPerSec = 176400;
    f.nBlockAlign = 4;
    f.wBitsPerSample = 16;
    const UINT id = device < 0 ? WAVE_MAPPER : UINT(device);
    HWAVEOUT h = nullptr;
    if (waveOutOpen(&h, id, &f, DWORD_PTR(&DeviceDone), DWORD_PTR(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return false;
    device_ = h;
    return true;
}

bool TWinWaveOutPlatform::Write(int b, const void* data, std::uint32_t length) {
    if (!device_) return false;
    WAVEHDR& h = header_[b];
    h = WAVEHDR{};
    h.lpData = static_cast<LPSTR>(const_cast<void*>(data));
    h.dwBufferLength = length;
    if (waveOutPrepareHeader(device_, &h, sizeof h) != MMSYSERR_NOERROR) return false;
    prepared_[b] = true;
    if (waveOutWrite(device_, &h, sizeof h) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device_, &h, sizeof h);
        prepared_[b] = false;
        return false;
    }
    return true;
}

bool TWinWaveOutPlatform::Done(int b) {
    return !prepared_[b] || (reinterpret_cast<volatile DWORD&>(header_[b].dwFlags) & WHDR_DONE) != 0;
}

void TWinWaveOutPlatform::Unprepare(int b) {
    if (!device_ || !prepared_[b]) return;
    if (waveOutUnprepareHeader(device_, &header_[b], sizeof header_[b]) == WAVERR_STILLPLAYING) {
        // Never left prepared while the device owns it: it gives it back first.
        waveOutReset(device_);
        waveOutUnprepareHeader(device_, &header_[b], sizeof header_[b]);
    }
    prepared_[b] = false;
}

void TWinWaveOutPlatform::Pause() {
    if (device_) waveOutPause(device_);
}

void TWinWaveOutPlatform::Restart() {
    if (device_) waveOutRestart(device_);
}

void TWinWaveOutPlatform::Reset() {
    if (device_) waveOutReset(device_);
}

void TWinWaveOutPlatform::Close() {
    if (!device_) return;
    waveOutReset(device_);
    for (int b = 0; b < 2; ++b) Unprepare(b);
    waveOutClose(device_);
    device_ = nullptr;
}

std::unique_ptr<TWaveOutThread> NewWaveOutThread(HWND target) {
    return std::make_unique<TWaveOutThread>(target, std::make_unique<TWinWaveOutPlatform>());
}

}  // namespace wx
