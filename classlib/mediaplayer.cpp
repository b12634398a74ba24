#include "classlib/mediaplayer.h"

namespace wx {

DWORD_PTR TMediaPlayer::Callback() { return reinterpret_cast<DWORD_PTR>(NotifyWindow); }

DWORD TMediaPlayer::NotifyFlag() {
    const DWORD f = Notify && NotifyWindow ? MCI_NOTIFY : 0;
    Notify = false;
    return f;
}

bool TMediaPlayer::Open() {
    Close();
    MCI_OPEN_PARMSA p{};
    p.dwCallback = Callback();
    p.lpstrElementName = FileName.c_str();
    DWORD flags = MCI_OPEN_ELEMENT | MCI_WAIT;
    if (!DeviceType.empty()) {
        p.lpstrDeviceType = DeviceType.c_str();
        flags |= MCI_OPEN_TYPE;
    }
    if (Shareable) flags |= MCI_OPEN_SHAREABLE;
    error_ = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&p));
    if (error_ && Shareable) {
        // Not every device can be shared.
        flags &= ~DWORD(MCI_OPEN_SHAREABLE);
        error_ = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&p));
    }
    if (error_) return false;
    device_ = p.wDeviceID;
    return true;
}

void TMediaPlayer::Close() {
    if (!device_) return;
    MCI_GENERIC_PARMS p{};
    mciSendCommandA(device_, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    device_ = 0;
}

bool TMediaPlayer::Play() {
    if (!device_) return false;
    MCI_PLAY_PARMS p{};
    p.dwCallback = Callback();
    error_ = mciSendCommandA(device_, MCI_PLAY, NotifyFlag(), reinterpret_cast<DWORD_PTR>(&p));
    return error_ == 0;
}

bool TMediaPlayer::Pause() {
    if (!device_) return false;
    MCI_GENERIC_PARMS p{};
    p.dwCallback = Callback();
    error_ = mciSendCommandA(device_, MCI_PAUSE, NotifyFlag() | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ == 0;
}

bool TMediaPlayer::Stop() {
    if (!device_) return false;
    MCI_GENERIC_PARMS p{};
    p.dwCallback = Callback();
    error_ = mciSendCommandA(device_, MCI_STOP, NotifyFlag() | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ == 0;
}

bool TMediaPlayer::SetTimeFormat(DWORD format) {
    if (!device_) return false;
    MCI_SET_PARMS p{};
    p.dwTimeFormat = format;
    error_ = mciSendCommandA(device_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ == 0;
}

std::uint32_t TMediaPlayer::Length() {
    if (!device_) return 0;
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_LENGTH;
    error_ = mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ ? 0 : std::uint32_t(p.dwReturn);
}

std::uint32_t TMediaPlayer::Position() {
    if (!device_) return 0;
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_POSITION;
    error_ = mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ ? 0 : std::uint32_t(p.dwReturn);
}

bool TMediaPlayer::SetPosition(std::uint32_t position) {
    if (!device_) return false;
    MCI_SEEK_PARMS p{};
    p.dwTo = position;
    error_ = mciSendCommandA(device_, MCI_SEEK, MCI_TO | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    return error_ == 0;
}

TMPModes TMediaPlayer::Mode() {
    if (!device_) return mpNotReady;
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_MODE;
    error_ = mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
    if (error_) return mpNotReady;
    const DWORD m = DWORD(p.dwReturn);
    if (m < MCI_MODE_NOT_READY || m > MCI_MODE_OPEN) return mpNotReady;
    return TMPModes(m - MCI_MODE_NOT_READY);
}

}  // namespace wx
