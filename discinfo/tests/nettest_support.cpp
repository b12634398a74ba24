#include "discinfo/tests/nettest_support.h"

#include <cstdlib>

namespace wx {

namespace {

class TMappedSocket : public TCddbSocket {
public:
    TMappedSocket(std::unique_ptr<TCddbSocket> s, const std::map<int, int>& ports) : s_(std::move(s)), ports_(ports) {}
    TConnect Connect(const std::string& host, int port, unsigned timeoutMs) override {
        const auto it = ports_.find(port);
        return s_->Connect(host, it == ports_.end() ? port : it->second, timeoutMs);
    }
    void SetAbort(const std::atomic<bool>* flag) override { s_->SetAbort(flag); }
    bool Send(const void* data, std::size_t size, unsigned timeoutMs) override {
        return s_->Send(data, size, timeoutMs);
    }
    long Pending() override { return s_->Pending(); }
    long Receive(void* buffer, std::size_t size) override { return s_->Receive(buffer, size); }
    void Close() override { s_->Close(); }

private:
    std::unique_ptr<TCddbSocket> s_;
    std::map<int, int> ports_;
};

// Sends a control command and returns the reply lines up to the one that
// ends it ("." or a single line).
std::vector<std::string> Control(TCddbNetwork& net, int port, const std::string& command, bool multiLine) {
    std::vector<std::string> lines;
    auto s = net.NewSocket();
    if (!s || s->Connect("127.0.0.1", port, 5000) != TCddbSocket::TConnect::Ok) return lines;
    const std::string text = command + "\n";
    if (!s->Send(text.data(), text.size(), 5000)) return lines;
    std::string pending;
    const std::uint32_t start = net.TickCount();
    while (net.TickCount() - start < 15000) {
        const long n = s->Pending();
        if (n < 0) break;
        if (n == 0) {
            net.Sleep(10);
            continue;
        }
        char buf[4096];
        const long got = s->Receive(buf, sizeof buf < static_cast<std::size_t>(n) ? sizeof buf : static_cast<std::size_t>(n));
        if (got <= 0) break;
        pending.append(buf, static_cast<std::size_t>(got));
        for (std::size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            if (!multiLine || line == ".") {
                if (!multiLine) lines.push_back(line);
                return lines;
            }
            lines.push_back(line);
        }
    }
    lines.push_back("<control channel failed>");
    return lines;
}

}  // namespace

std::unique_ptr<TCddbSocket> TPortMapNetwork::NewSocket() {
    auto s = base_.NewSocket();
    if (!s) return nullptr;
    std::map<int, int> ports = Ports;
    ports[kCddbHttpPort] = httpPort_;
    return std::make_unique<TMappedSocket>(std::move(s), ports);
}

std::map<std::string, int> FakeServerPorts() {
    std::map<std::string, int> ports;
    const char* env = std::getenv("WX_CDDB_PORTS");
    if (!env) return ports;
    std::string all = env;
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t comma = all.find(',', at);
        if (comma == std::string::npos) comma = all.size();
        const std::string item = all.substr(at, comma - at);
        const auto eq = item.find('=');
        if (eq != std::string::npos) ports[item.substr(0, eq)] = std::atoi(item.c_str() + eq + 1);
        at = comma + 1;
    }
    return ports;
}

std::vector<std::string> ServerLog(TCddbNetwork& net, int controlPort, const std::string& name) {
    return Control(net, controlPort, "log " + name, true);
}

void ClearServerLog(TCddbNetwork& net, int controlPort, const std::string& name) {
    Control(net, controlPort, "clear " + name, false);
}

}  // namespace wx
