// The CDDB client's sockets over POSIX sockets, so that the protocol code
// runs natively against the test server.  Like the Winsock ones, every wait
// (name lookup, connect, send) honours the abort flag within 100 ms.
#pragma once
#include "discinfo/cddbclient.h"
#include "discinfo/cddbresolve.h"

namespace wx {

// getaddrinfo for IPv4.
bool PosixResolve(const std::string& host, std::uint32_t& address);

class TPosixSocket : public TCddbSocket {
public:
    explicit TPosixSocket(TCddbResolver resolve = PosixResolve);
    ~TPosixSocket() override;
    bool Valid() const { return fd_ >= 0; }
    TConnect Connect(const std::string& host, int port, unsigned timeoutMs) override;
    bool Send(const void* data, std::size_t size, unsigned timeoutMs) override;
    long Pending() override;
    long Receive(void* buffer, std::size_t size) override;
    void Close() override;
    void SetAbort(const std::atomic<bool>* flag) override { abort_ = flag; }

private:
    bool Aborted() const { return abort_ && abort_->load(); }
    int fd_;
    TCddbResolver resolve_;
    const std::atomic<bool>* abort_ = nullptr;
};

class TPosixNetwork : public TCddbNetwork {
public:
    explicit TPosixNetwork(TCddbResolver resolve = PosixResolve) : resolve_(std::move(resolve)) {}
    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override;
    std::uint32_t TickCount() override;
    void Sleep(unsigned ms) override;

private:
    TCddbResolver resolve_;
};

}  // namespace wx
