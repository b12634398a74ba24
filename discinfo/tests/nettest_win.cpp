#include <gtest/gtest.h>

#include "discinfo/cddbsocket_win.h"
#include "discinfo/tests/nettest_support.h"

namespace wx {

namespace {
// Winsock stays started for the whole test program.
class TWinsockEnvironment : public testing::Environment {
public:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    }
    void TearDown() override { WSACleanup(); }
};
const auto* const kWinsock = testing::AddGlobalTestEnvironment(new TWinsockEnvironment);
}  // namespace

std::unique_ptr<TCddbNetwork> MakePlatformNetwork(TCddbResolver resolve) {
    return std::make_unique<TWinsockNetwork>(resolve ? std::move(resolve) : TCddbResolver(WinsockResolve));
}

}  // namespace wx
