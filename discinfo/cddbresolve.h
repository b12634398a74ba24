// Host names looked up without holding a job: the system's lookup blocks
// for as long as the name service takes, so it runs on a thread of its own
// and the job only waits for it, in slices that honour the abort request.
// Portable: no <windows.h>.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace wx {

// Looks a host name up to an IPv4 address (network byte order); false when
// the name does not resolve.  It may block; it must not touch anything but
// its arguments, since a lookup given up on finishes on its own.
using TCddbResolver = std::function<bool(const std::string& host, std::uint32_t& address)>;

enum class TCddbLookup { Found, NotFound, Abandoned };

// Runs resolve(host) on a thread of its own and waits for it at most
// timeoutMs: NotFound when it fails or takes longer, Abandoned when the
// abort flag (may be null) is set first; both within 100 ms of the cause.
TCddbLookup CddbLookUp(const TCddbResolver& resolve, const std::string& host, unsigned timeoutMs,
                       const std::atomic<bool>* abort, std::uint32_t& address);

}  // namespace wx
