// The CDDB client's sockets over Windows Sockets.
#pragma once
#include <winsock2.h>

#include <atomic>

#include "discinfo/cddbclient.h"
#include "discinfo/cddbresolve.h"

namespace wx {

// The system's lookup (gethostbyname, with its own hold on Windows Sockets
// while it runs, since a lookup given up on may outlive the job's).
bool WinsockResolve(const std::string& host, std::uint32_t& address);

class TWinsockSocket : public TCddbSocket {
public:
    explicit TWinsockSocket(TCddbResolver resolve = WinsockResolve);
    ~TWinsockSocket() override;
    bool Valid() const { return s_ != INVALID_SOCKET; }
    TConnect Connect(const std::string& host, int port, unsigned timeoutMs) override;
    bool Send(const void* data, std::size_t size, unsigned timeoutMs) override;
    long Pending() override;
    long Receive(void* buffer, std::size_t size) override;
    void Close() override;
    void SetAbort(const std::atomic<bool>* flag) override { abort_ = flag; }

private:
    bool Aborted() const { return abort_ && abort_->load(); }
    SOCKET s_;
    TCddbResolver resolve_;
    const std::atomic<bool>* abort_ = nullptr;
};

// Sockets, host name and clock of a job thread; Startup and Cleanup are
// WSAStartup (version 1.1) and WSACleanup.  resolve looks host names up
// (tests give their own).
class TWinsockNetwork : public TCddbNetwork {
public:
    explicit TWinsockNetwork(TCddbResolver resolve = WinsockResolve) : resolve_(std::move(resolve)) {}
    bool Startup() override;
    void Cleanup() override;
    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override;
    std::uint32_t TickCount() override;
    void Sleep(unsigned ms) override;

private:
    TCddbResolver resolve_;
};

}  // namespace wx
