#include "discinfo/tests/posix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wx {

namespace {
// The most one call of send is given.
constexpr std::size_t kSendPiece = 65536;
}  // namespace

namespace {
std::uint32_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(ts.tv_sec * 1000ull + ts.tv_nsec / 1000000);
}
}  // namespace

bool PosixResolve(const std::string& host, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    address = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return true;
}

TPosixSocket::TPosixSocket(TCddbResolver resolve) : fd_(socket(AF_INET, SOCK_STREAM, 0)), resolve_(std::move(resolve)) {
    if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

TPosixSocket::~TPosixSocket() { Close(); }

void TPosixSocket::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

TCddbSocket::TConnect TPosixSocket::Connect(const std::string& host, int port, unsigned timeoutMs) {
    if (fd_ < 0) return TConnect::Failed;
    const std::uint32_t start = NowMs();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (host.empty()) return TConnect::NoHost;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        std::uint32_t found = 0;
        switch (CddbLookUp(resolve_, host, timeoutMs, abort_, found)) {
            case TCddbLookup::Found: addr.sin_addr.s_addr = found; break;
            case TCddbLookup::NotFound: return TConnect::NoHost;
            case TCddbLookup::Abandoned: return TConnect::Failed;
        }
    }
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS) return TConnect::Failed;
        for (;;) {
            pollfd p{fd_, POLLOUT, 0};
            const int r = poll(&p, 1, 100);
            if (r < 0) return TConnect::Failed;
            if (r > 0) break;
            if (Aborted() || NowMs() - start >= timeoutMs) return TConnect::Failed;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return TConnect::Failed;
    }
    return TConnect::Ok;
}

bool TPosixSocket::Send(const void* data, std::size_t size, unsigned timeoutMs) {
    const char* p = static_cast<const char*>(data);
    const std::uint32_t start = NowMs();
    while (size > 0 && fd_ >= 0) {
        const ssize_t n = send(fd_, p, size < kSendPiece ? size : kSendPiece, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        if (Aborted() || NowMs() - start >= timeoutMs) return false;
        pollfd pf{fd_, POLLOUT, 0};
        poll(&pf, 1, 100);
    }
    return size == 0;
}

long TPosixSocket::Pending() {
    if (fd_ < 0) return -1;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) return -1;
    if (waiting > 0) return waiting;
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, 0);
    if (r < 0) return -1;
    if (r > 0) {
        char c;
        const ssize_t n = recv(fd_, &c, 1, MSG_PEEK);
        return n > 0 ? 1 : -1;
    }
    return 0;
}

long TPosixSocket::Receive(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    const ssize_t n = recv(fd_, buffer, size, 0);
    return n > 0 ? static_cast<long>(n) : -1;
}

std::unique_ptr<TCddbSocket> TPosixNetwork::NewSocket() {
    auto s = std::make_unique<TPosixSocket>(resolve_);
    if (!s->Valid()) return nullptr;
    return s;
}

std::string TPosixNetwork::LocalHostName() {
    char name[256];
    if (gethostname(name, sizeof name) != 0) return {};
    name[sizeof name - 1] = '\0';
    return name;
}

std::uint32_t TPosixNetwork::TickCount() { return NowMs(); }

void TPosixNetwork::Sleep(unsigned ms) { usleep(ms * 1000u); }

}  // namespace wx
