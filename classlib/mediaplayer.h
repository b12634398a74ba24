// TMediaPlayer: a media player over MCI without a window of its own.  It
// opens a file (the device type chosen by MCI, or a named one), plays,
// pauses and stops it, reads its mode, length and position in the chosen
// time format, and, when Notify is set, has the next command report its end
// to the notify window with MM_MCINOTIFY.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/win.h"

#include <mmsystem.h>

namespace wx {

// Modes of the player (MCI_MODE_NOT_READY .. MCI_MODE_OPEN from 0).
enum TMPModes { mpNotReady = 0, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

class TMediaPlayer {
public:
    TMediaPlayer() = default;
    ~TMediaPlayer() { Close(); }
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    std::string FileName;
    // Empty: MCI chooses the device type by the file's extension.
    std::string DeviceType;
    bool Shareable = true;
    // The next command reports its end to NotifyWindow.
    bool Notify = false;
    HWND NotifyWindow = nullptr;

    bool Open();
    void Close();
    bool IsOpen() const { return device_ != 0; }
    bool Play();
    bool Pause();
    bool Stop();
    // Time format: milliseconds (the default) or MSF.
    bool SetTimeFormat(DWORD format);
    std::uint32_t Length();
    std::uint32_t Position();
    bool SetPosition(std::uint32_t position);
    TMPModes Mode();
    MCIDEVICEID DeviceId() const { return device_; }
    // The last MCI error (0 none).
    MCIERROR Error() const { return error_; }

private:
    DWORD_PTR Callback();
    DWORD NotifyFlag();
    MCIDEVICEID device_ = 0;
    MCIERROR error_ = 0;
};

}  // namespace wx
