// Support of the tests against the fake CDDB server (fake_cddb.py): the
// platform's network, the server's ports and its transcript.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "discinfo/cddbclient.h"
#include "discinfo/cddbresolve.h"

namespace wx {

// The real network of this platform (POSIX sockets, or Winsock after
// WSAStartup); resolve, when given, looks host names up in place of the
// system.
std::unique_ptr<TCddbNetwork> MakePlatformNetwork(TCddbResolver resolve = nullptr);

// "name=port,..." of WX_CDDB_PORTS; empty when the variable is missing.
std::map<std::string, int> FakeServerPorts();

// The platform network with connections to port 80 sent to another port,
// since the client always talks HTTP to port 80 (and mail to 110 and 25:
// Ports maps further ports).
class TPortMapNetwork : public TCddbNetwork {
public:
    TPortMapNetwork(TCddbNetwork& base, int httpPort) : base_(base), httpPort_(httpPort) {}
    bool Startup() override { return base_.Startup(); }
    void Cleanup() override { base_.Cleanup(); }
    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override { return base_.LocalHostName(); }
    std::uint32_t TickCount() override { return base_.TickCount(); }
    void Sleep(unsigned ms) override { base_.Sleep(ms); }
    void SetHttpPort(int port) { httpPort_ = port; }
    std::map<int, int> Ports;

private:
    TCddbNetwork& base_;
    int httpPort_;
};

// Lines the fake server NAME received since it was last cleared, once its
// sessions have ended ("<CR>" stands for a carriage return).
std::vector<std::string> ServerLog(TCddbNetwork& net, int controlPort, const std::string& name);
void ClearServerLog(TCddbNetwork& net, int controlPort, const std::string& name);

}  // namespace wx
