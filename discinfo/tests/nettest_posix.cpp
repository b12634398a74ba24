#include "discinfo/tests/nettest_support.h"
#include "discinfo/tests/posix_socket.h"

namespace wx {

std::unique_ptr<TCddbNetwork> MakePlatformNetwork(TCddbResolver resolve) {
    return std::make_unique<TPosixNetwork>(resolve ? std::move(resolve) : TCddbResolver(PosixResolve));
}

}  // namespace wx
