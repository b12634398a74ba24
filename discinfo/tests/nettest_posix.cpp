#include "discinfo/tests/nettest_support.h"
#include "discinfo/tests/posix_socket.h"

namespace wx {

std::unique_ptr<TCddbNetwork> MakePlatformNetwork() { return std::make_unique<TPosixNetwork>(); }

}  // namespace wx
