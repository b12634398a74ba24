// The wave-out thread: plays PCM through the sound card for the whole run of
// the program.  The rip thread feeds its ring, in digital play from the
// disc and in a monitored rip with a copy of every block; the main window
// and the CD player panel steer it with thread messages.  It reports play
// positions and levels to its target window.
//
// The thread, its message queue and the device are the platform's
// (IWaveOutPlatform; waveout_win.h under Windows), so that the same code runs
// natively against a device of the tests.
//
// Portable: no <windows.h>.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace wx {

// Thread messages to the wave-out thread (lParam: the LBA of PLAY).
constexpr std::uint32_t WM_WAVEOUT_PLAY = 0x600;
constexpr std::uint32_t WM_WAVEOUT_PAUSE = 0x601;
constexpr std::uint32_t WM_WAVEOUT_RESUME = 0x602;
constexpr std::uint32_t WM_WAVEOUT_STOP = 0x603;
constexpr std::uint32_t WM_WAVEOUT_END = 0x604;

// Play states.
constexpr int WaveOutPlaying = 0;
constexpr int WaveOutPaused = 1;
constexpr int WaveOutStopped = 2;

// Marker pairs among the levels (WM_RIP_LEVEL): the ring of levels is
// reset (play, pause); the first buffer of a play starts; the levels of one
// buffer follow.
constexpr std::uint32_t LevelMarkerReset = 0xFFFE;
constexpr std::uint32_t LevelMarkerStart = 0xFFFD;
constexpr std::uint32_t LevelMarkerBuffer = 0xFFFF;

// What the wave-out thread needs of the system.
class IWaveOutPlatform {
public:
    virtual ~IWaveOutPlatform() = default;
    virtual std::uint32_t TickCount() = 0;
    // Runs the body on a thread of its own whose message queue exists before
    // this returns; Join waits for its end.
    virtual void StartThread(std::function<void()> body) = 0;
    virtual void Join() = 0;
    // A thread message to the thread (from any thread); false when it could
    // not be queued.
    virtual bool PostToThread(std::uint32_t msg, std::intptr_t lParam) = 0;
    // On the thread: the next waiting thread message, without waiting.
    virtual bool PeekThreadMessage(std::uint32_t& msg, std::intptr_t& lParam) = 0;
    // On the thread: waits at most ms for a thread message, a buffer the
    // device has given back, or Wake.
    virtual void Wait(std::uint32_t ms) = 0;
    virtual void Wake() = 0;
    // PostMessage to the target window.
    virtual void PostToWindow(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) = 0;
    // The device (44,100 Hz, 16-bit stereo PCM) with two buffers, 0 and 1.
    // Open takes a device number (-1: the system's choice); false when it
    // cannot be used.
    virtual bool Open(std::int32_t device) = 0;
    virtual bool IsOpen() const = 0;
    // Prepares buffer b over the data and queues it; false on an error.
    virtual bool Write(int b, const void* data, std::uint32_t length) = 0;
    // The device has given buffer b back.
    virtual bool Done(int b) = 0;
    virtual void Unprepare(int b) = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    // Gives every queued buffer back at once.
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

class TWaveOutThread {
public:
    static constexpr std::uint32_t RingReserve = 8388608 + 256;
    static constexpr std::uint32_t PositionReserve = 2097408;
    static constexpr std::uint32_t BufferBytes = 117600;   // one device buffer: 50 sectors
    static constexpr std::uint32_t ChunkBytes = 2352;      // taken from the ring at a time
    static constexpr std::uint32_t LevelPieceBytes = 23520;
    static constexpr std::uint32_t MonitorRingBytes = 2097152;
    static constexpr std::uint32_t PlayRingBytes = 131072;  // with pre-read 1
    static constexpr std::int32_t NoDevice = 0x8000;
    // A buffer the device keeps longer than this while playing is taken back.
    static constexpr std::uint32_t GiveUpMs = 4000;

    // Reserves the ring and the position table and starts the thread, whose
    // message queue exists when this returns.
    TWaveOutThread(void* targetWindow, std::unique_ptr<IWaveOutPlatform> platform);
    // Terminates the thread, waits for it and closes the device.
    ~TWaveOutThread();
    TWaveOutThread(const TWaveOutThread&) = delete;
    TWaveOutThread& operator=(const TWaveOutThread&) = delete;

    // Chooses and opens the device for a play (monitor false) or a monitored
    // rip; pre-read 1..5 sizes the ring of a play.  Playing and active on
    // success; stopped without a device on failure.
    bool OpenDevice(std::int32_t device, std::int32_t preRead, std::int32_t volume, bool monitor);
    // A block with the LBA of its first sector.  Dropped (true) while a seek
    // is pending or the thread is stopped; false when the ring cannot take
    // it now.
    bool PutData(const void* block, std::uint32_t length, std::int32_t position);
    // `length` bytes and the position of the first of them; 0 when nothing
    // was delivered (pre-fill, too little data, a seek pending, stopped).
    std::uint32_t GetData(void* buffer, std::uint32_t length, std::int32_t& position);
    // The pending seek (-1: none), cleared, with the ring emptied.
    std::int32_t GetSeekRequest();
    bool HasSeekRequest();
    int GetPlayState();
    // Empties the ring and clears the full flag (the start of a monitored rip).
    void ResetMonitor();
    // A thread message to the thread.
    bool Post(std::uint32_t msg, std::intptr_t lParam = 0);

    // The producer's wait: at most ms, woken when the ring gives room or the
    // state or the seek changes.
    void WaitForRoom(std::uint32_t ms);
    // The rip thread's wait at the end of a play: at most ms, woken when the
    // thread stops or a seek comes.
    void WaitForStopOrSeek(std::uint32_t ms);

    std::uint32_t RingSize();
    bool Monitor();
    void Terminate();

    // The thread body.
    void Execute();

private:
    enum class TWaitEnd { Done, Void, Terminated };
    struct TMessages {
        bool replayed = false;  // PLAY reopened the device: what was queued is void
        bool stopped = false;
    };
    TMessages HandleMessages();
    void Play(std::int32_t lba);
    void PauseDevice();
    void ResumeDevice();
    void StopLocked();
    void CloseDeviceLocked();
    void ResetQueueLocked();
    void Queue(const std::uint8_t* data, std::uint32_t length, std::int32_t position);
    void Submit(int b, std::int32_t position);
    TWaitEnd WaitBuffer(int b);
    void FlushAtEnd();
    std::uint32_t GetRest(void* buffer, std::uint32_t length, std::int32_t& position);
    void PostLevel(std::uint32_t left, std::uint32_t right);
    std::uint32_t Available() const { return (write_ - read_) & (size_ - 1); }
    std::uint32_t Free() const { return (read_ - write_ - 1) & (size_ - 1); }

    void* target_;
    std::unique_ptr<IWaveOutPlatform> pf_;
    std::mutex lock_;
    std::condition_variable changed_;  // room in the ring, state or seek changed
    std::vector<std::uint8_t> ring_;
    std::vector<std::int32_t> positions_;
    std::uint32_t size_ = PlayRingBytes;
    std::uint32_t read_ = 0, write_ = 0;
    int state_ = WaveOutStopped;
    std::int32_t seek_ = -1;
    bool active_ = false;
    bool endOfData_ = false;
    bool preFill_ = true;
    bool full_ = false;
    bool monitor_ = false;
    std::int32_t device_ = NoDevice;
    std::int32_t volume_ = 100;
    std::atomic<bool> terminated_{false};
    // Every open of the device starts a new generation: a wait on a buffer
    // of an older one is over.
    std::uint32_t generation_ = 0;

    // The two device buffers (the thread's own).
    std::vector<std::uint8_t> buffer_[2];
    std::uint32_t count_[2] = {};
    bool inDevice_[2] = {};
    int fill_ = -1;             // the buffer being filled, -1 before the first
    int lastQueued_ = -1;
    bool firstOfPlay_ = true;   // no buffer of this play was queued yet
    std::int32_t fillPosition_ = -1;
};

}  // namespace wx
