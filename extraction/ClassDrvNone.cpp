// Builds without Windows device I/O: the class-driver transport finds no
// drive unless a test installs its own device I/O.
#include "extraction/ClassDrv.h"

namespace wx {
TDeviceIo* PlatformDeviceIo() { return nullptr; }
}  // namespace wx
