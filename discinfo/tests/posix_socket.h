// The CDDB client's sockets over POSIX sockets, so that the protocol code
// runs natively against the test server.
#pragma once
#include "discinfo/cddbclient.h"

namespace wx {

class TPosixSocket : public TCddbSocket {
public:
    TPosixSocket();
    ~TPosixSocket() override;
    bool Valid() const { return fd_ >= 0; }
    TConnect Connect(const std::string& host, int port, unsigned timeoutMs) override;
    bool Send(const void* data, std::size_t size) override;
    long Pending() override;
    long Receive(void* buffer, std::size_t size) override;
    void Close() override;

private:
    int fd_;
    unsigned sendTimeoutMs_ = 60000;
};

class TPosixNetwork : public TCddbNetwork {
public:
    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override;
    std::uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
};

}  // namespace wx
