// Test support for the rip engine: a platform with portable events and a
// message log, an in-memory output sink, and a scripted drive behind an
// ASPI-style entry point.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <atomic>
#include <map>
#include <set>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "extraction/wendrisub.h"

namespace wxtest {

using namespace wx;

// An event of the test platform; waits for any of several events sleep on
// one condition shared by all events.
struct TEvent {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> set{false};
    bool manual = false;
    static std::mutex& AnyLock() {
        static std::mutex l;
        return l;
    }
    static std::condition_variable& AnyCv() {
        static std::condition_variable c;
        return c;
    }
    void Signal() {
        {
            std::lock_guard<std::mutex> g(m);
            set = true;
        }
        cv.notify_all();
        {
            std::lock_guard<std::mutex> g(AnyLock());
        }
        AnyCv().notify_all();
    }
};

struct TPosted {
    std::uint32_t msg;
    std::intptr_t wp, lp;
    std::string text;  // WM_RIP_STATUS
};

class TTestPlatform : public IRipPlatform {
public:
    // Long sleeps (the engine's settling pauses) are recorded, not slept.
    std::uint32_t TickCount() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0_);
        return std::uint32_t(ms.count()) + skew_;
    }
    void Sleep(std::uint32_t ms) override {
        if (ms < 100) ++shortSleeps;
        if (ms >= 100) {
            std::lock_guard<std::mutex> g(m_);
            longSleeps.push_back(ms);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void* NewEvent() override {
        std::lock_guard<std::mutex> g(m_);
        events_.push_back(std::make_unique<TEvent>());
        ++openEvents;
        return events_.back().get();
    }
    bool WaitEvent(void* event, std::uint32_t ms) override {
        auto* e = static_cast<TEvent*>(event);
        std::unique_lock<std::mutex> g(e->m);
        // With fast time-outs a wait that would run long returns early
        // and moves the clock on instead.
        std::uint32_t real = fastTimeouts ? std::min<std::uint32_t>(ms, 30) : ms;
        bool ok = e->cv.wait_for(g, std::chrono::milliseconds(real), [&] { return e->set.load(); });
        if (ok) {
            if (!e->manual) e->set = false;
            return true;
        }
        if (fastTimeouts) skew_ += ms;
        return false;
    }
    void FreeEvent(void* event) override {
        std::lock_guard<std::mutex> g(m_);
        --openEvents;
    }
    void* NewManualEvent() override {
        auto* e = static_cast<TEvent*>(NewEvent());
        e->manual = true;
        return e;
    }
    void SignalEvent(void* event) override { static_cast<TEvent*>(event)->Signal(); }
    void ClearEvent(void* event) override { static_cast<TEvent*>(event)->set = false; }
    int WaitAnyEvent(void* const* events, int count, std::uint32_t ms) override {
        auto first = [&] {
            for (int i = 0; i < count; ++i)
                if (static_cast<TEvent*>(events[i])->set) return i;
            return -1;
        };
        std::unique_lock<std::mutex> g(TEvent::AnyLock());
        std::uint32_t real = fastTimeouts ? std::min<std::uint32_t>(ms, 30) : ms;
        int i = -1;
        TEvent::AnyCv().wait_for(g, std::chrono::milliseconds(real), [&] { return (i = first()) >= 0; });
        if (i < 0) {
            if (fastTimeouts) skew_ += ms;
            return -1;
        }
        auto* e = static_cast<TEvent*>(events[i]);
        if (!e->manual) e->set = false;
        return i;
    }
    void SetTimeCritical() override { ++timeCritical; }
    void Post(void* window, std::uint32_t msg, std::intptr_t wp, std::intptr_t lp) override {
        std::lock_guard<std::mutex> g(m_);
        TPosted p{msg, wp, lp, {}};
        if (msg == WM_RIP_STATUS && throwOnStatus >= 0 && statusCount++ == throwOnStatus) {
            // As if the text could not be had: the allocation fails.
            FreeStatusText(reinterpret_cast<char*>(lp));
            throw std::bad_alloc();
        }
        if (msg == WM_RIP_STATUS) {
            char* t = reinterpret_cast<char*>(lp);
            p.text = t;
            FreeStatusText(t);
            p.lp = 0;
        } else if (msg == WM_RIP_DONE) {
            auto* r = reinterpret_cast<TTransferRecord*>(lp);
            result = *r;
            FreeResultBlock(r);
            ++doneCount;
        }
        posted.push_back(p);
    }
    class TWorker : public IRipWorker {
    public:
        explicit TWorker(std::function<void()> f) : t_(std::move(f)) {}
        void Join() override {
            if (t_.joinable()) t_.join();
        }
        ~TWorker() override { Join(); }

    private:
        std::thread t_;
    };
    std::unique_ptr<IRipWorker> StartThread(std::function<void()> body) override {
        if (failThreads) throw EOSError("CreateThread failed", 8);
        ++threadsStarted;
        return std::make_unique<TWorker>(std::move(body));
    }
    bool FileExists(const std::string& path) override { return false; }

    std::vector<TPosted> Messages(std::uint32_t msg) {
        std::lock_guard<std::mutex> g(m_);
        std::vector<TPosted> out;
        for (auto& p : posted)
            if (p.msg == msg) out.push_back(p);
        return out;
    }

    std::vector<TPosted> posted;
    std::vector<std::uint32_t> longSleeps;
    TTransferRecord result{};
    int doneCount = 0;
    int openEvents = 0;
    int threadsStarted = 0;
    int timeCritical = 0;
    bool fastTimeouts = false;
    int throwOnStatus = -1;  // the WM_RIP_STATUS (counted from 0) whose text cannot be made
    int statusCount = 0;
    bool failThreads = false;  // no thread can be created
    // Sleeps below 100 ms, which are slept.
    std::atomic<int> shortSleeps{0};

private:
    std::mutex m_;
    std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
    std::atomic<std::uint32_t> skew_{0};
    std::vector<std::unique_ptr<TEvent>> events_;
};

class TMemoryOutput : public IRipOutput {
public:
    bool Write(const void* data, std::uint32_t length) override {
        if (writeDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(writeDelayMs));
        std::lock_guard<std::mutex> g(m_);
        ++writes;
        if (throwOnWrite >= 0 && writes > throwOnWrite) throw std::runtime_error("the driver failed");
        if (failAfterBytes >= 0 && std::int64_t(bytes.size()) + length > failAfterBytes) return false;
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + length);
        writeSizes.push_back(length);
        return true;
    }
    bool Close() override {
        ++closes;
        return !failClose;
    }
    // A given-up output: what was written is not kept.
    void Discard() override { ++discards; }
    std::string ErrorText() const override { return error; }
    // Back to an empty, well-behaved sink.
    void Reset() {
        std::lock_guard<std::mutex> g(m_);
        bytes.clear();
        writeSizes.clear();
        writes = closes = discards = 0;
        failAfterBytes = throwOnWrite = -1;
        failClose = false;
    }
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> writeSizes;
    int writes = 0;
    int closes = 0;
    int discards = 0;
    std::string error;  // what a failure says
    std::int64_t failAfterBytes = -1;
    int writeDelayMs = 0;  // a slow sink
    bool failClose = false;
    int throwOnWrite = -1;  // writes after this many raise

private:
    std::mutex m_;
};

// The PCM of a synthetic disc: every sector distinct, some silent ranges.
inline std::int16_t DiscSample(std::int64_t byteIndex) {
    std::uint64_t k = std::uint64_t(byteIndex / 2);
    return std::int16_t(std::uint16_t((k * 2654435761u) >> 11) | 1);
}

// A drive behind an ASPI entry point, answering the rip engine's read
// commands from an image.  Reads complete on the calling thread, or on a
// thread of their own with `asyncMs`.
class TScriptedDrive {
public:
    explicit TScriptedDrive(std::int32_t sectors) : image(std::size_t(sectors) * SectorBytes) {
        for (std::size_t i = 0; i < image.size(); i += 2) {
            std::int16_t v = DiscSample(std::int64_t(i));
            image[i] = std::uint8_t(v);
            image[i + 1] = std::uint8_t(std::uint16_t(v) >> 8);
        }
    }
    std::int32_t Sectors() const { return std::int32_t(image.size() / SectorBytes); }
    void Silence(std::int32_t from, std::int32_t to) {
        std::memset(image.data() + std::size_t(from) * SectorBytes, 0, std::size_t(to - from) * SectorBytes);
    }
    void SetSample(std::int32_t lba, int frame, std::int16_t l, std::int16_t r) {
        std::uint8_t* p = image.data() + std::size_t(lba) * SectorBytes + frame * 4;
        p[0] = std::uint8_t(l);
        p[1] = std::uint8_t(std::uint16_t(l) >> 8);
        p[2] = std::uint8_t(r);
        p[3] = std::uint8_t(std::uint16_t(r) >> 8);
    }
    std::vector<std::uint8_t> Range(std::int32_t from, std::int32_t to, int shiftFrames = 0) const {
        std::vector<std::uint8_t> out;
        std::int64_t b = std::int64_t(from) * SectorBytes + shiftFrames * 4;
        std::int64_t e = std::int64_t(to) * SectorBytes + shiftFrames * 4;
        for (std::int64_t i = b; i < e; ++i)
            out.push_back(i >= 0 && i < std::int64_t(image.size()) ? image[std::size_t(i)] : 0);
        return out;
    }

    std::uint32_t Send(void* p) {
        auto* hdr = static_cast<std::uint8_t*>(p);
        if (hdr[0] == SC_ABORT_SRB) {
            auto* a = static_cast<SRB_Abort*>(p);
            ++aborts;
            auto* target = static_cast<SRB_ExecSCSICmd*>(a->SRB_ToAbort);
            {
                std::lock_guard<std::mutex> g(m_);
                if (hung_ == target) {
                    hung_ = nullptr;
                    Complete(*target, SS_ABORTED, STATUS_GOOD);
                }
            }
            __atomic_store_n(&a->SRB_Status, SS_COMP, __ATOMIC_RELEASE);
            return SS_COMP;
        }
        auto& srb = *static_cast<SRB_ExecSCSICmd*>(p);
        std::vector<std::uint8_t> cdb(srb.CDBByte, srb.CDBByte + srb.SRB_CDBLen);
        int index;
        {
            std::lock_guard<std::mutex> g(m_);
            cdbs.push_back(cdb);
            index = int(cdbs.size()) - 1;
            if (hangAt.count(index)) {
                hung_ = &srb;
                return SS_PENDING;
            }
        }
        if (asyncMs > 0) {
            std::lock_guard<std::mutex> g(m_);
            workers_.emplace_back([this, &srb, index] {
                std::this_thread::sleep_for(std::chrono::milliseconds(asyncMs));
                Run(srb, index);
            });
            return SS_PENDING;
        }
        Run(srb, index);
        return srb.SRB_Status;
    }
    ~TScriptedDrive() {
        for (auto& t : workers_) t.join();
    }

    std::vector<std::uint8_t> image;
    std::deque<int> shifts;      // frames, one per read; then defaultShift
    int defaultShift = 0;
    std::map<std::int32_t, int> mediumErrors;  // lba -> failing tries left
    std::map<int, int> corruptReads;           // read number -> word to flip
    std::set<int> hangAt;                      // command numbers that never complete
    bool byteSwapped = false;                  // 0xD8 delivers big-endian samples
    int asyncMs = 0;
    std::vector<std::vector<std::uint8_t>> cdbs;
    int reads = 0;
    int aborts = 0;
    TTestPlatform* platform = nullptr;

private:
    void Complete(SRB_ExecSCSICmd& srb, std::uint8_t status, std::uint8_t targ) {
        srb.SRB_TargStat = targ;
        void* ev = srb.SRB_PostProc;
        bool notify = srb.SRB_Flags & SRB_EVENT_NOTIFY;
        __atomic_store_n(&srb.SRB_Status, status, __ATOMIC_RELEASE);
        if (notify && ev) static_cast<TEvent*>(ev)->Signal();
    }
    void Run(SRB_ExecSCSICmd& srb, int index) {
        const std::uint8_t* c = srb.CDBByte;
        std::int32_t lba = std::int32_t(GetBE32(c + 2));
        std::int32_t n = 0;
        int sub = 0;
        bool swap = false;
        switch (c[0]) {
        case 0xD8: n = c[9]; sub = c[10] == 2 ? 96 : 0; swap = byteSwapped; break;
        case 0xBE: n = c[8]; break;
        case 0x28: case 0xD4: n = c[8]; break;
        case 0x2B: case 0x01: Complete(srb, SS_COMP, STATUS_GOOD); return;
        default: Complete(srb, SS_ERR, STATUS_CHKCOND); return;
        }
        int readNo;
        int shift;
        {
            std::lock_guard<std::mutex> g(m_);
            readNo = reads++;
            if (lba < 0 || lba + n > Sectors()) {
                srb.SenseArea[2] = 5;
                Complete(srb, SS_ERR, STATUS_CHKCOND);
                return;
            }
            for (auto it = mediumErrors.lower_bound(lba); it != mediumErrors.end() && it->first < lba + n; ++it) {
                if (it->second > 0) {
                    --it->second;
                    srb.SenseArea[2] = 3;
                    srb.SenseArea[12] = 0x11;
                    Complete(srb, SS_ERR, STATUS_CHKCOND);
                    return;
                }
            }
            if (!shifts.empty()) {
                shift = shifts.front();
                shifts.pop_front();
            } else {
                shift = defaultShift;
            }
        }
        std::vector<std::uint8_t> data = Range(lba, lba + n, shift);
        if (swap)
            for (std::size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
        auto it = corruptReads.find(readNo);
        if (it != corruptReads.end() && std::size_t(it->second) * 2 < data.size()) data[std::size_t(it->second) * 2] ^= 0x5A;
        std::size_t per = SectorBytes + std::size_t(sub);
        for (std::int32_t i = 0; i < n; ++i) {
            std::memcpy(srb.SRB_BufPointer + per * std::size_t(i), data.data() + SectorBytes * std::size_t(i), SectorBytes);
            if (sub) std::memset(srb.SRB_BufPointer + per * std::size_t(i) + SectorBytes, 0xA5, std::size_t(sub));
        }
        Complete(srb, SS_COMP, STATUS_GOOD);
    }
    std::mutex m_;
    SRB_ExecSCSICmd* hung_ = nullptr;
    std::vector<std::thread> workers_;
};

// The entry point handed to the engine.
inline TScriptedDrive*& CurrentDrive() {
    static TScriptedDrive* d = nullptr;
    return d;
}
inline std::uint32_t ScriptedSend(void* srb) { return CurrentDrive()->Send(srb); }

// A plain rip request over [start, end) of a scripted disc.
inline TTransferRecord RipRequest(std::int32_t start, std::int32_t end, std::int32_t lastReadable) {
    TTransferRecord r = EmptyTransferRecord();
    r.StartLba = start;
    r.EndLba = end;
    r.LastReadableLba = lastReadable;
    r.ReadCommand = 8;
    r.SectorsPerRead = 16;
    r.TrackNumber = 3;
    r.MaxRetry = 3;
    r.SendAspiCommand = &ScriptedSend;
    r.UseAspi = true;
    r.VolumePercent = 100;
    r.NoNullAreaCount = false;
    r.PlayList[0] = -1;
    return r;
}

}  // namespace wxtest
