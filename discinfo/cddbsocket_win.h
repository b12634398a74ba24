// The CDDB client's sockets over Windows Sockets.
#pragma once
#include <winsock2.h>

#include <atomic>

#include "discinfo/cddbclient.h"

namespace wx {

class TWinsockSocket : public TCddbSocket {
public:
    TWinsockSocket();
    ~TWinsockSocket() override;
    bool Valid() const { return s_ != INVALID_SOCKET; }
    TConnect Connect(const std::string& host, int port, unsigned timeoutMs) override;
    bool Send(const void* data, std::size_t size) override;
    long Pending() override;
    long Receive(void* buffer, std::size_t size) override;
    void Close() override;
    void SetAbort(const std::atomic<bool>* flag) override { abort_ = flag; }

private:
    bool Aborted() const { return abort_ && abort_->load(); }
    SOCKET s_;
    const std::atomic<bool>* abort_ = nullptr;
    unsigned sendTimeoutMs_ = 60000;
};

// Sockets, host name and clock of a job thread; WSAStartup is the caller's.
class TWinsockNetwork : public TCddbNetwork {
public:
    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override;
    std::uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
};

}  // namespace wx
