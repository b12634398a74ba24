// Pieces the two encoder components (GOGO and TwinVQ) share: their message
// numbers, thread priorities, the hidden window that receives the worker's
// reports, and the texts of their exceptions.
#pragma once
#include <functional>

#include "classlib/win.h"

namespace wx {

// Thread messages from a component to its worker.
constexpr UINT WM_ENC_START = 0x500;
constexpr UINT WM_ENC_STOP = 0x501;
constexpr UINT WM_ENC_QUIT = 0x502;
// Window messages from the worker to the component's hidden window.
constexpr UINT WM_ENC_DONE = 0x600;
constexpr UINT WM_ENC_ERROR = 0x601;
constexpr UINT WM_ENC_FINISH = 0x602;
constexpr UINT WM_ENC_PROGRESS = 0x603;

// Worker priorities, in the order of the settings' priority numbers.
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
int WindowsThreadPriority(TThreadPriority p);

// A hidden message-only window on the creating thread; every message goes
// to the handler, which returns false to leave it to the default procedure.
class TEncoderWindow {
public:
    using Handler = std::function<bool(UINT msg, WPARAM wp, LPARAM lp)>;
    explicit TEncoderWindow(Handler handler);
    ~TEncoderWindow();
    TEncoderWindow(const TEncoderWindow&) = delete;
    TEncoderWindow& operator=(const TEncoderWindow&) = delete;
    HWND Handle() const { return wnd_; }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND wnd_ = nullptr;
    Handler handler_;
};

// Creates the calling thread's message queue, so that thread messages
// posted to it from now on are kept.
void EnsureMessageQueue();

// Waits up to timeoutMs for a message to arrive in the calling thread's
// queue (returns at once when one is waiting).
void WaitForMessage(DWORD timeoutMs);

// Texts of the components' exceptions (Shift-JIS).
namespace enctext {
inline constexpr char kGogoInit[] = "GOGO.DLL\x82\xf0\x8f\x89\x8a\xfa\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // GOGO.DLLを初期化できません.
inline constexpr char kBusy[] =
    "\x83G\x83\x93\x83R\x81[\x83h\x92\x86\x82\xc9\x90\xdd\x92\xe8\x82\xcd\x95\xcf\x8dX\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // エンコード中に設定は変更できません.
inline constexpr char kNoFpu[] = "FPU\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // FPUがありません
inline constexpr char kBadSettings[] =
    "\x90\xdd\x92\xe8\x82\xc9\x8c\xeb\x82\xe8\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7.";  // 設定に誤りがあります.
inline constexpr char kOutOfRange[] = "\x92l\x82\xaa\x94\xcd\x88\xcd\x8aO\x82\xc5\x82\xb7.";  // 値が範囲外です.
inline constexpr char kTvqInit[] =
    "TVQENC.DLL\x82\xf0\x8f\x89\x8a\xfa\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // TVQENC.DLLを初期化できません.
inline constexpr char kTvqWorkArea[] =
    "TVQENC.DLL\x82\xcc\x83\x8f\x81[\x83N\x83G\x83\x8a\x83"
    "A\x82\xf0\x8am\x95\xdb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // TVQENC.DLLのワークエリアを確保できません.
}  // namespace enctext

}  // namespace wx
