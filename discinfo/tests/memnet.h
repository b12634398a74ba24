// An in-memory network for the CDDB client: each connection is answered by
// a scripted server function, and the clock only moves when the client
// sleeps, so time-outs take no real time.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "discinfo/cddbclient.h"

namespace wx {

// What a scripted server does with one connection.
struct TMemConnection {
    std::string host;
    int port = 0;
    std::string sent;      // every byte the client sent
    std::string incoming;  // bytes waiting for the client
    bool serverClosed = false;
    bool clientClosed = false;
    std::vector<std::string> lines;  // complete lines the client sent (LF removed)
};

class TMemNetwork : public TCddbNetwork {
public:
    // Called once per connection right after it is made, then once per line
    // the client sends; the server writes to c.incoming or closes.
    std::function<void(TMemConnection& c)> OnConnect;
    std::function<void(TMemConnection& c, const std::string& line)> OnLine;
    // Hosts that do not resolve / refuse connections.
    std::map<std::string, TCddbSocket::TConnect> HostResults;
    bool NoSockets = false;
    std::string HostName = "myhost";
    std::uint32_t Now = 1000;
    std::uint32_t Slept = 0;
    // Called on every sleep (the client polls every 100 ms).
    std::function<void()> OnSleep;

    std::vector<std::shared_ptr<TMemConnection>> Connections;

    std::unique_ptr<TCddbSocket> NewSocket() override;
    std::string LocalHostName() override { return HostName; }
    std::uint32_t TickCount() override { return Now; }
    void Sleep(unsigned ms) override {
        Now += ms;
        Slept += ms;
        if (OnSleep) OnSleep();
    }
    // Every line sent over every connection, in order.
    std::vector<std::string> AllLines() const {
        std::vector<std::string> all;
        for (const auto& c : Connections) all.insert(all.end(), c->lines.begin(), c->lines.end());
        return all;
    }
};

class TMemSocket : public TCddbSocket {
public:
    explicit TMemSocket(TMemNetwork& net) : net_(net) {}
    TConnect Connect(const std::string& host, int port, unsigned) override {
        auto it = net_.HostResults.find(host);
        if (it != net_.HostResults.end() && it->second != TConnect::Ok) return it->second;
        c_ = std::make_shared<TMemConnection>();
        c_->host = host;
        c_->port = port;
        net_.Connections.push_back(c_);
        if (net_.OnConnect) net_.OnConnect(*c_);
        return TConnect::Ok;
    }
    bool Send(const void* data, std::size_t size, unsigned) override {
        if (!c_ || c_->clientClosed) return false;
        c_->sent.append(static_cast<const char*>(data), size);
        for (std::size_t lf; (lf = c_->sent.find('\n', scanned_)) != std::string::npos;) {
            std::string line = c_->sent.substr(scanned_, lf - scanned_);
            scanned_ = lf + 1;
            c_->lines.push_back(line);
            if (net_.OnLine && !c_->serverClosed) net_.OnLine(*c_, line);
        }
        return true;
    }
    long Pending() override {
        if (!c_ || c_->clientClosed) return -1;
        if (!c_->incoming.empty()) return static_cast<long>(c_->incoming.size());
        return c_->serverClosed ? -1 : 0;
    }
    long Receive(void* buffer, std::size_t size) override {
        if (!c_ || c_->incoming.empty()) return -1;
        const std::size_t n = size < c_->incoming.size() ? size : c_->incoming.size();
        c_->incoming.copy(static_cast<char*>(buffer), n);
        c_->incoming.erase(0, n);
        return static_cast<long>(n);
    }
    void Close() override {
        if (c_) c_->clientClosed = true;
    }

private:
    TMemNetwork& net_;
    std::shared_ptr<TMemConnection> c_;
    std::size_t scanned_ = 0;
};

inline std::unique_ptr<TCddbSocket> TMemNetwork::NewSocket() {
    if (NoSockets) return nullptr;
    return std::make_unique<TMemSocket>(*this);
}

}  // namespace wx
