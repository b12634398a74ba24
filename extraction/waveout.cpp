#include "extraction/waveout.h"

#include <algorithm>
#include <cstring>

#include "extraction/ripsample.h"
#include "extraction/wendrisub.h"

namespace wx {

namespace {
// The thread looks at its state again at least this often, whatever wakes it.
constexpr std::uint32_t IdleWaitMs = 1000;
constexpr std::uint32_t BufferWaitStepMs = 100;
constexpr std::uint32_t PositionStride = 16;  // ring bytes per entry of the position table
}  // namespace

TWaveOutThread::TWaveOutThread(void* targetWindow, std::unique_ptr<IWaveOutPlatform> platform)
    : target_(targetWindow), pf_(std::move(platform)), ring_(RingReserve), positions_(PositionReserve / 4) {
    for (auto& b : buffer_) b.resize(BufferBytes + 256);
    pf_->StartThread([this] { Execute(); });
}

TWaveOutThread::~TWaveOutThread() {
    Terminate();
    pf_->Join();
    std::lock_guard<std::mutex> g(lock_);
    CloseDeviceLocked();
}

void TWaveOutThread::Terminate() {
    terminated_ = true;
    {
        std::lock_guard<std::mutex> g(lock_);
    }
    changed_.notify_all();
    pf_->Wake();
}

bool TWaveOutThread::Post(std::uint32_t msg, std::intptr_t lParam) { return pf_->PostToThread(msg, lParam); }

std::uint32_t TWaveOutThread::RingSize() {
    std::lock_guard<std::mutex> g(lock_);
    return size_;
}

bool TWaveOutThread::Monitor() {
    std::lock_guard<std::mutex> g(lock_);
    return monitor_;
}

int TWaveOutThread::GetPlayState() {
    std::lock_guard<std::mutex> g(lock_);
    return state_;
}

bool TWaveOutThread::HasSeekRequest() {
    std::lock_guard<std::mutex> g(lock_);
    return seek_ >= 0;
}

std::int32_t TWaveOutThread::GetSeekRequest() {
    std::int32_t s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = seek_;
        if (s >= 0) {
            seek_ = -1;
            read_ = write_ = 0;
            full_ = false;
        }
    }
    changed_.notify_all();
    return s;
}

void TWaveOutThread::ResetMonitor() {
    {
        std::lock_guard<std::mutex> g(lock_);
        read_ = write_ = 0;
        full_ = false;
    }
    changed_.notify_all();
}

// ---------------------------------------------------------------------------
// Device

bool TWaveOutThread::OpenDevice(std::int32_t device, std::int32_t preRead, std::int32_t volume, bool monitor) {
    bool ok;
    {
        std::lock_guard<std::mutex> g(lock_);
        device_ = device;
        volume_ = std::clamp<std::int32_t>(volume, 0, 0xFFFF);
        monitor_ = monitor;
        // The ring may not outgrow what was reserved for it.
        preRead = std::clamp<std::int32_t>(preRead, 1, 5);
        size_ = monitor ? MonitorRingBytes : PlayRingBytes << (preRead - 1);
        CloseDeviceLocked();
        ok = pf_->Open(device);
        read_ = write_ = 0;
        seek_ = -1;
        full_ = false;
        preFill_ = true;
        endOfData_ = false;
        if (ok) {
            state_ = WaveOutPlaying;
            active_ = true;
        } else {
            state_ = WaveOutStopped;
            active_ = false;
            device_ = NoDevice;
        }
    }
    changed_.notify_all();
    pf_->Wake();
    return ok;
}

void TWaveOutThread::ResetQueueLocked() {
    count_[0] = count_[1] = 0;
    inDevice_[0] = inDevice_[1] = false;
    fill_ = -1;
    lastQueued_ = -1;
    firstOfPlay_ = true;
    fillPosition_ = -1;
    ++generation_;
}

void TWaveOutThread::CloseDeviceLocked() {
    if (pf_->IsOpen()) {
        pf_->Reset();
        for (int b = 0; b < 2; ++b)
            if (inDevice_[b]) pf_->Unprepare(b);
        pf_->Close();
    }
    ResetQueueLocked();
}

void TWaveOutThread::StopLocked() {
    state_ = WaveOutStopped;
    CloseDeviceLocked();
    seek_ = -1;
    read_ = write_ = 0;
    full_ = false;
    active_ = false;
    endOfData_ = false;
}

void TWaveOutThread::Play(std::int32_t lba) {
    bool monitor;
    {
        std::lock_guard<std::mutex> g(lock_);
        // What is queued in the device and in the ring is void: the device
        // starts again and the rip thread reads from the new position.
        bool ok = false;
        if (device_ != NoDevice) {
            CloseDeviceLocked();
            ok = pf_->Open(device_);
        }
        read_ = write_ = 0;
        full_ = false;
        preFill_ = true;
        endOfData_ = false;
        if (ok) {
            seek_ = lba;
            state_ = WaveOutPlaying;
            active_ = true;
        } else {
            // Nothing can play: the play ends.
            StopLocked();
            device_ = NoDevice;
        }
        monitor = monitor_;
    }
    changed_.notify_all();
    if (!monitor) PostLevel(LevelMarkerReset, LevelMarkerReset);
}

void TWaveOutThread::PauseDevice() {
    bool posted = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (state_ != WaveOutPlaying) return;
        state_ = WaveOutPaused;
        if (pf_->IsOpen()) pf_->Pause();
        posted = !monitor_;
    }
    changed_.notify_all();
    if (posted) PostLevel(LevelMarkerReset, LevelMarkerReset);
}

void TWaveOutThread::ResumeDevice() {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (state_ != WaveOutPaused) return;
        state_ = WaveOutPlaying;
        if (pf_->IsOpen()) pf_->Restart();
    }
    changed_.notify_all();
}

TWaveOutThread::TMessages TWaveOutThread::HandleMessages() {
    TMessages r;
    std::uint32_t msg = 0;
    std::intptr_t lp = 0;
    while (pf_->PeekThreadMessage(msg, lp)) {
        switch (msg) {
        case WM_WAVEOUT_PLAY:
            Play(std::int32_t(lp));
            r.replayed = true;
            break;
        case WM_WAVEOUT_PAUSE:
            PauseDevice();
            break;
        case WM_WAVEOUT_RESUME:
            ResumeDevice();
            break;
        case WM_WAVEOUT_STOP: {
            std::lock_guard<std::mutex> g(lock_);
            StopLocked();
            r.stopped = true;
            break;
        }
        case WM_WAVEOUT_END: {
            std::lock_guard<std::mutex> g(lock_);
            endOfData_ = true;
            break;
        }
        default:
            break;
        }
        changed_.notify_all();
    }
    return r;
}

// ---------------------------------------------------------------------------
// Ring

bool TWaveOutThread::PutData(const void* block, std::uint32_t length, std::int32_t position) {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (seek_ >= 0 || state_ == WaveOutStopped) return true;
        const std::uint32_t free = Free();
        if (monitor_) {
            if (free < size_ / 8) full_ = true;
            if (free > size_ - 2 * ChunkBytes) full_ = false;
        } else {
            if (free < size_ / 4) full_ = true;
            if (free > size_ / 4 * 3) full_ = false;
        }
        if (full_ || length >= free) return false;
        const auto* src = static_cast<const std::uint8_t*>(block);
        const std::uint32_t mask = size_ - 1;
        const std::uint32_t first = std::min(length, size_ - write_);
        std::memcpy(ring_.data() + write_, src, first);
        std::memcpy(ring_.data(), src + first, length - first);
        // Every 16 bytes of the ring carry the LBA of the sector they belong to.
        for (std::uint32_t i = (PositionStride - write_ % PositionStride) % PositionStride; i < length; i += PositionStride)
            positions_[((write_ + i) & mask) / PositionStride] = position + std::int32_t(i / ChunkBytes);
        write_ = (write_ + length) & mask;
    }
    pf_->Wake();
    return true;
}

std::uint32_t TWaveOutThread::GetData(void* buffer, std::uint32_t length, std::int32_t& position) {
    position = -1;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (seek_ >= 0 || state_ == WaveOutStopped) return 0;
        const std::uint32_t avail = Available();
        if (preFill_) {
            if (avail < size_ / 8) return 0;
            preFill_ = false;
        }
        if (avail < length) return 0;
        const std::uint32_t mask = size_ - 1;
        position = positions_[((read_ + PositionStride - 1) & mask) / PositionStride];
        auto* dst = static_cast<std::uint8_t*>(buffer);
        const std::uint32_t first = std::min(length, size_ - read_);
        std::memcpy(dst, ring_.data() + read_, first);
        std::memcpy(dst + first, ring_.data(), length - first);
        read_ = (read_ + length) & mask;
    }
    changed_.notify_all();
    return length;
}

std::uint32_t TWaveOutThread::GetRest(void* buffer, std::uint32_t length, std::int32_t& position) {
    position = -1;
    std::uint32_t n;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (seek_ >= 0 || state_ == WaveOutStopped) return 0;
        n = std::min(Available(), length);
        if (n == 0) return 0;
        const std::uint32_t mask = size_ - 1;
        position = positions_[((read_ + PositionStride - 1) & mask) / PositionStride];
        auto* dst = static_cast<std::uint8_t*>(buffer);
        const std::uint32_t first = std::min(n, size_ - read_);
        std::memcpy(dst, ring_.data() + read_, first);
        std::memcpy(dst + first, ring_.data(), n - first);
        read_ = (read_ + n) & mask;
    }
    changed_.notify_all();
    return n;
}

void TWaveOutThread::WaitForRoom(std::uint32_t ms) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::milliseconds(ms), [&] {
        if (terminated_ || seek_ >= 0 || state_ == WaveOutStopped) return true;
        // What PutData would find: the full flag clears only far below the top.
        const std::uint32_t free = Free();
        const std::uint32_t clearAt = monitor_ ? size_ - 2 * ChunkBytes : size_ / 4 * 3;
        return !full_ || free > clearAt;
    });
}

void TWaveOutThread::WaitForStopOrSeek(std::uint32_t ms) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::milliseconds(ms),
                      [&] { return terminated_ || seek_ >= 0 || state_ == WaveOutStopped; });
}

// ---------------------------------------------------------------------------
// The thread

void TWaveOutThread::PostLevel(std::uint32_t left, std::uint32_t right) {
    pf_->PostToWindow(target_, WM_RIP_LEVEL, std::intptr_t(left), std::intptr_t(right));
}

void TWaveOutThread::Execute() {
    std::vector<std::uint8_t> chunk(BufferBytes + 256);
    while (!terminated_) {
        HandleMessages();
        if (terminated_) break;
        bool active, seek;
        {
            std::lock_guard<std::mutex> g(lock_);
            active = active_;
            seek = seek_ >= 0;
        }
        if (!active || seek) {
            pf_->Wait(IdleWaitMs);
            continue;
        }
        std::int32_t position = -1;
        const std::uint32_t n = GetData(chunk.data(), ChunkBytes, position);
        if (n > 0) {
            std::int32_t volume;
            bool monitor;
            {
                std::lock_guard<std::mutex> g(lock_);
                volume = volume_;
                monitor = monitor_;
            }
            if (volume != 100 && !monitor) ApplyVolume(chunk.data(), std::uint16_t(volume), n);
            Queue(chunk.data(), n, position);
            std::lock_guard<std::mutex> g(lock_);
            if (state_ == WaveOutStopped) active_ = false;
            continue;
        }
        bool end;
        {
            std::lock_guard<std::mutex> g(lock_);
            end = endOfData_;
        }
        if (end)
            FlushAtEnd();
        else
            pf_->Wait(IdleWaitMs);
    }
    std::lock_guard<std::mutex> g(lock_);
    CloseDeviceLocked();
}

void TWaveOutThread::Queue(const std::uint8_t* data, std::uint32_t length, std::int32_t position) {
    std::uint32_t done = 0;
    while (done < length && !terminated_) {
        int b;
        bool fullBuffer;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (fill_ < 0) {
                fill_ = lastQueued_ == 0 ? 1 : 0;
                count_[fill_] = 0;
            }
            b = fill_;
            const std::uint32_t k = std::min(length - done, BufferBytes - count_[b]);
            std::memcpy(buffer_[b].data() + count_[b], data + done, k);
            count_[b] += k;
            done += k;
            fillPosition_ = position;
            fullBuffer = count_[b] == BufferBytes;
        }
        if (fullBuffer) Submit(b, position);
    }
}

void TWaveOutThread::Submit(int b, std::int32_t position) {
    bool monitor, first;
    std::uint32_t gen, count;
    {
        std::lock_guard<std::mutex> g(lock_);
        monitor = monitor_;
        first = firstOfPlay_;
        gen = generation_;
        count = count_[b];
    }
    if (!monitor) {
        if (!first) pf_->PostToWindow(target_, WM_PLAY_POSITION, std::intptr_t(position) - 75, 0);
        if (first) PostLevel(LevelMarkerStart, LevelMarkerStart);
        PostLevel(LevelMarkerBuffer, LevelMarkerBuffer);
        PostLevel(LevelMarkerBuffer, LevelMarkerBuffer);
        for (std::uint32_t off = 0; off < count; off += LevelPieceBytes) {
            const std::uint32_t peaks = PeakLevels(buffer_[b].data() + off, std::min(LevelPieceBytes, count - off));
            PostLevel(peaks & 0xFFFF, peaks >> 16);
        }
    }
    const int o = 1 - b;
    bool otherInDevice;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (gen != generation_) return;
        firstOfPlay_ = false;
        if (!pf_->Write(b, buffer_[b].data(), count)) {
            // This buffer is given up; the next data fills it again.
            count_[b] = 0;
            return;
        }
        inDevice_[b] = true;
        lastQueued_ = b;
        otherInDevice = inDevice_[o];
        if (otherInDevice && terminated_) pf_->Reset();
    }
    if (otherInDevice) {
        if (WaitBuffer(o) == TWaitEnd::Void) return;
        std::lock_guard<std::mutex> g(lock_);
        if (gen != generation_) return;
        pf_->Unprepare(o);
        inDevice_[o] = false;
    }
    std::lock_guard<std::mutex> g(lock_);
    if (gen != generation_) return;
    fill_ = o;
    count_[o] = 0;
}

TWaveOutThread::TWaitEnd TWaveOutThread::WaitBuffer(int b) {
    std::uint32_t gen;
    {
        std::lock_guard<std::mutex> g(lock_);
        gen = generation_;
    }
    std::uint32_t spent = 0;
    for (;;) {
        bool playing;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (gen != generation_ || !inDevice_[b]) return TWaitEnd::Void;
            if (pf_->Done(b)) return TWaitEnd::Done;
            if (terminated_) {
                pf_->Reset();
                return TWaitEnd::Terminated;
            }
        }
        const TMessages m = HandleMessages();
        if (m.replayed || m.stopped) return TWaitEnd::Void;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (gen != generation_) return TWaitEnd::Void;
            if (pf_->Done(b)) return TWaitEnd::Done;
            playing = state_ == WaveOutPlaying;
            if (playing && spent >= GiveUpMs) {
                // The device keeps the buffer: it gives every buffer back
                // first, so that none is refilled while the device owns it.
                pf_->Reset();
                return TWaitEnd::Done;
            }
        }
        const std::uint32_t t0 = pf_->TickCount();
        pf_->Wait(playing ? std::min(BufferWaitStepMs, GiveUpMs - spent) : IdleWaitMs);
        if (playing) spent += std::min(GiveUpMs, (pf_->TickCount() - t0) & 0x0FFFFFFFu);
    }
}

void TWaveOutThread::FlushAtEnd() {
    std::uint32_t gen;
    {
        std::lock_guard<std::mutex> g(lock_);
        gen = generation_;
    }
    // What is left in the ring goes out, whether the pre-fill was reached or
    // not and whether it makes a whole sector or not.
    std::vector<std::uint8_t> chunk(ChunkBytes);
    for (;;) {
        std::int32_t position = -1;
        const std::uint32_t n = GetRest(chunk.data(), ChunkBytes, position);
        if (n == 0) break;
        std::int32_t volume;
        bool monitor;
        {
            std::lock_guard<std::mutex> g(lock_);
            volume = volume_;
            monitor = monitor_;
        }
        if (volume != 100 && !monitor) ApplyVolume(chunk.data(), std::uint16_t(volume), n);
        Queue(chunk.data(), n, position);
        std::lock_guard<std::mutex> g(lock_);
        if (gen != generation_) return;
    }
    int b;
    bool partial;
    std::int32_t position;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (gen != generation_) return;
        b = fill_;
        partial = b >= 0 && count_[b] > 0;
        position = fillPosition_;
    }
    if (partial) Submit(b, position);
    // Until the device has played everything.
    for (int k = 0; k < 2; ++k) {
        bool queued;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (gen != generation_) return;
            queued = inDevice_[k];
        }
        if (queued && WaitBuffer(k) == TWaitEnd::Void) return;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        if (gen != generation_) return;
        StopLocked();
    }
    changed_.notify_all();
}

}  // namespace wx
