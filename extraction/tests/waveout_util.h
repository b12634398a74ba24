// Test support for the wave-out thread: a platform whose thread messages are
// a queue of its own and whose device plays every buffer at once into a
// capture (one capture per open), or holds its buffers while paused or when
// told to keep them.  It notes every device call in order and flags a
// buffer that is written or unprepared while the device still owns it.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "extraction/waveout.h"
#include "extraction/wendrisub.h"

namespace wxtest {

struct TWindowMessage {
    std::uint32_t msg;
    std::intptr_t wp, lp;
};

class TFakeWaveOut : public wx::IWaveOutPlatform {
public:
    // --- thread
    void StartThread(std::function<void()> body) override { thread_ = std::thread(std::move(body)); }
    void Join() override {
        if (thread_.joinable()) thread_.join();
    }
    bool PostToThread(std::uint32_t msg, std::intptr_t lParam) override {
        std::lock_guard<std::mutex> g(m_);
        queue_.push_back({msg, lParam});
        cv_.notify_all();
        return true;
    }
    bool PeekThreadMessage(std::uint32_t& msg, std::intptr_t& lParam) override {
        std::lock_guard<std::mutex> g(m_);
        if (queue_.empty()) return false;
        msg = queue_.front().first;
        lParam = queue_.front().second;
        queue_.pop_front();
        return true;
    }
    void Wait(std::uint32_t ms) override {
        std::unique_lock<std::mutex> g(m_);
        if (virtualClock) {
            // Time passes at once unless something is already waiting.
            if (queue_.empty() && !woken_) clock_ += ms;
            woken_ = false;
            g.unlock();
            std::this_thread::yield();
            return;
        }
        cv_.wait_for(g, std::chrono::milliseconds(ms), [&] { return woken_ || !queue_.empty(); });
        woken_ = false;
    }
    void Wake() override {
        std::lock_guard<std::mutex> g(m_);
        woken_ = true;
        cv_.notify_all();
    }
    std::uint32_t TickCount() override {
        std::lock_guard<std::mutex> g(m_);
        if (virtualClock) return clock_;
        return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                   t0_).count());
    }
    void PostToWindow(void*, std::uint32_t msg, std::intptr_t wp, std::intptr_t lp) override {
        std::lock_guard<std::mutex> g(m_);
        window.push_back({msg, wp, lp});
        cv_.notify_all();
    }

    // --- device
    bool Open(std::int32_t device) override {
        std::lock_guard<std::mutex> g(m_);
        Note("open");
        if (failOpen) return false;
        open_ = true;
        paused_ = false;
        openedDevice = device;
        captures.emplace_back();
        return true;
    }
    bool IsOpen() const override {
        std::lock_guard<std::mutex> g(m_);
        return open_;
    }
    bool Write(int b, const void* data, std::uint32_t length) override {
        std::lock_guard<std::mutex> g(m_);
        Note("write" + std::to_string(b));
        if (!open_) return false;
        if (owned_[b]) misuse = true;
        const auto* p = static_cast<const std::uint8_t*>(data);
        held_[b].assign(p, p + length);
        owned_[b] = true;
        done_[b] = false;
        order_.push_back(b);
        PlayHeld();
        return true;
    }
    bool Done(int b) override {
        std::lock_guard<std::mutex> g(m_);
        return done_[b];
    }
    void Unprepare(int b) override {
        std::lock_guard<std::mutex> g(m_);
        Note("unprepare" + std::to_string(b));
        if (owned_[b]) misuse = true;
    }
    void Pause() override {
        std::lock_guard<std::mutex> g(m_);
        Note("pause");
        paused_ = true;
    }
    void Restart() override {
        std::lock_guard<std::mutex> g(m_);
        Note("restart");
        paused_ = false;
        PlayHeld();
    }
    void Reset() override {
        std::lock_guard<std::mutex> g(m_);
        Note("reset");
        for (int b = 0; b < 2; ++b) {
            if (owned_[b]) done_[b] = true;
            owned_[b] = false;
        }
        order_.clear();
        woken_ = true;
        cv_.notify_all();
    }
    void Close() override {
        std::lock_guard<std::mutex> g(m_);
        Note("close");
        open_ = false;
    }

    // --- the test's side
    // Waits (at most 10 s) until the predicate holds over the platform's state.
    template <class F>
    bool WaitFor(F f) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::seconds(10), [&] { return f(); });
    }
    std::vector<TWindowMessage> Messages(std::uint32_t msg) {
        std::lock_guard<std::mutex> g(m_);
        std::vector<TWindowMessage> out;
        for (auto& w : window)
            if (w.msg == msg) out.push_back(w);
        return out;
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> g(m_);
        return calls;
    }
    std::vector<std::uint8_t> Capture(std::size_t i) {
        std::lock_guard<std::mutex> g(m_);
        return i < captures.size() ? captures[i] : std::vector<std::uint8_t>();
    }
    std::size_t Opens() {
        std::lock_guard<std::mutex> g(m_);
        return captures.size();
    }
    std::size_t Writes() {
        std::lock_guard<std::mutex> g(m_);
        std::size_t n = 0;
        for (auto& c : calls)
            if (c.rfind("write", 0) == 0) ++n;
        return n;
    }

    bool failOpen = false;
    bool keep = false;          // the device never gives a buffer back
    bool virtualClock = false;  // waits take no time; the clock moves by what they asked
    bool misuse = false;        // a buffer was written or unprepared while the device owned it
    std::int32_t openedDevice = 0;
    std::vector<std::vector<std::uint8_t>> captures;
    std::vector<TWindowMessage> window;
    std::vector<std::string> calls;

private:
    void Note(const std::string& c) { calls.push_back(c); }
    // Plays the held buffers in order unless paused or keeping them.
    void PlayHeld() {
        if (paused_ || keep) return;
        for (int b : order_) {
            if (!owned_[b]) continue;
            captures.back().insert(captures.back().end(), held_[b].begin(), held_[b].end());
            owned_[b] = false;
            done_[b] = true;
        }
        order_.clear();
        woken_ = true;
        cv_.notify_all();
    }

    mutable std::mutex m_;
    std::condition_variable cv_;
    std::thread thread_;
    std::deque<std::pair<std::uint32_t, std::intptr_t>> queue_;
    bool woken_ = false;
    std::uint32_t clock_ = 0;
    std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
    bool open_ = false;
    bool paused_ = false;
    std::vector<std::uint8_t> held_[2];
    bool owned_[2] = {};
    bool done_[2] = {};
    std::vector<int> order_;
};

}  // namespace wxtest
