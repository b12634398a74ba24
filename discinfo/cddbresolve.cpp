#include "discinfo/cddbresolve.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace wx {

namespace {

// What the lookup thread and the waiting job share; the last of the two to
// let go frees it.
struct TLookupState {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    std::uint32_t address = 0;
};

}  // namespace

TCddbLookup CddbLookUp(const TCddbResolver& resolve, const std::string& host, unsigned timeoutMs,
                       const std::atomic<bool>* abort, std::uint32_t& address) {
    auto state = std::make_shared<TLookupState>();
    try {
        std::thread([state, resolve, host] {
            std::uint32_t a = 0;
            bool ok = false;
            try {
                ok = resolve(host, a);
            } catch (...) {
                ok = false;
            }
            std::lock_guard<std::mutex> g(state->lock);
            state->found = ok;
            state->address = a;
            state->finished = true;
            state->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup runs here, as the system's would.
        const bool ok = resolve(host, address);
        return ok ? TCddbLookup::Found : TCddbLookup::NotFound;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> g(state->lock);
    while (!state->finished) {
        if (abort && abort->load()) return TCddbLookup::Abandoned;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return TCddbLookup::NotFound;
        state->done.wait_for(g, std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                              std::chrono::milliseconds(100)));
    }
    if (!state->found) return TCddbLookup::NotFound;
    address = state->address;
    return TCddbLookup::Found;
}

}  // namespace wx
