#include "discinfo/cddbsocket_win.h"

#include <windows.h>

namespace wx {

namespace {
// The most one call of send is given.
constexpr std::size_t kSendPiece = 65536;
}  // namespace

bool WinsockResolve(const std::string& host, std::uint32_t& address) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
    const hostent* he = gethostbyname(host.c_str());
    const bool ok = he && he->h_addrtype == AF_INET && he->h_addr_list && he->h_addr_list[0];
    if (ok) memcpy(&address, he->h_addr_list[0], sizeof address);
    WSACleanup();
    return ok;
}

TWinsockSocket::TWinsockSocket(TCddbResolver resolve)
    : s_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), resolve_(std::move(resolve)) {}

TWinsockSocket::~TWinsockSocket() { Close(); }

void TWinsockSocket::Close() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = INVALID_SOCKET;
}

TCddbSocket::TConnect TWinsockSocket::Connect(const std::string& host, int port, unsigned timeoutMs) {
    if (s_ == INVALID_SOCKET) return TConnect::Failed;
    const DWORD start = GetTickCount();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    const unsigned long numeric = inet_addr(host.c_str());
    if (numeric != INADDR_NONE && !host.empty()) {
        addr.sin_addr.s_addr = numeric;
    } else {
        if (host.empty() || !resolve_) return TConnect::NoHost;
        std::uint32_t found = 0;
        switch (CddbLookUp(resolve_, host, timeoutMs, abort_, found)) {
            case TCddbLookup::Found: addr.sin_addr.s_addr = found; break;
            case TCddbLookup::NotFound: return TConnect::NoHost;
            case TCddbLookup::Abandoned: return TConnect::Failed;
        }
    }
    // Connect without blocking so that a silent host cannot hold the job
    // longer than the time-out.
    u_long nonBlocking = 1;
    ioctlsocket(s_, FIONBIO, &nonBlocking);
    if (connect(s_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return TConnect::Failed;
        // In slices of 100 ms, so that an abort request ends the wait; the
        // lookup's time counts against the time-out too.
        for (;;) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s_, &writable);
            FD_SET(s_, &failed);
            timeval tv{0, 100000};
            const int r = select(0, nullptr, &writable, &failed, &tv);
            if (r < 0 || (r > 0 && FD_ISSET(s_, &failed))) return TConnect::Failed;
            if (r > 0 && FD_ISSET(s_, &writable)) break;
            if (Aborted() || GetTickCount() - start >= timeoutMs) return TConnect::Failed;
        }
        int err = 0;
        int len = sizeof err;
        if (getsockopt(s_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 || err != 0)
            return TConnect::Failed;
    }
    return TConnect::Ok;
}

bool TWinsockSocket::Send(const void* data, std::size_t size, unsigned timeoutMs) {
    const char* p = static_cast<const char*>(data);
    const DWORD start = GetTickCount();
    while (size > 0 && s_ != INVALID_SOCKET) {
        // In pieces, so that no one call of the system holds the wait for
        // an abort request.
        const int n = send(s_, p, static_cast<int>(size < kSendPiece ? size : kSendPiece), 0);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return false;
        // The peer does not take data: wait for room, at most the time-out.
        if (Aborted() || GetTickCount() - start >= timeoutMs) return false;
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s_, &writable);
        timeval tv{0, 100000};
        select(0, nullptr, &writable, nullptr, &tv);
    }
    return size == 0;
}

long TWinsockSocket::Pending() {
    if (s_ == INVALID_SOCKET) return -1;
    u_long waiting = 0;
    if (ioctlsocket(s_, FIONREAD, &waiting) != 0) return -1;
    if (waiting > 0) return static_cast<long>(waiting > 0x7FFFFFFF ? 0x7FFFFFFF : waiting);
    // Nothing waiting: readable now means the peer has closed.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s_, &readable);
    timeval tv{0, 0};
    const int r = select(0, &readable, nullptr, nullptr, &tv);
    if (r < 0) return -1;
    if (r > 0) {
        char c;
        const int n = recv(s_, &c, 1, MSG_PEEK);
        if (n <= 0) return -1;
        return 1;
    }
    return 0;
}

long TWinsockSocket::Receive(void* buffer, std::size_t size) {
    if (s_ == INVALID_SOCKET) return -1;
    const int n = recv(s_, static_cast<char*>(buffer), static_cast<int>(size), 0);
    return n > 0 ? n : -1;
}

bool TWinsockNetwork::Startup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void TWinsockNetwork::Cleanup() { WSACleanup(); }

std::unique_ptr<TCddbSocket> TWinsockNetwork::NewSocket() {
    auto s = std::make_unique<TWinsockSocket>(resolve_);
    if (!s->Valid()) return nullptr;
    return s;
}

std::string TWinsockNetwork::LocalHostName() {
    char name[256];
    if (gethostname(name, sizeof name) != 0) return {};
    name[sizeof name - 1] = '\0';
    return name;
}

std::uint32_t TWinsockNetwork::TickCount() { return GetTickCount(); }

void TWinsockNetwork::Sleep(unsigned ms) { ::Sleep(ms); }

}  // namespace wx
