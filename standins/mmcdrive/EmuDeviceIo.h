// Device I/O of the class-driver transport served by emulated drives: drive
// letters, their SCSI addresses, the port's inquiry data and pass-through
// requests.  Portable; used by the tests of the class-driver transport.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "extraction/ClassDrv.h"
#include "standins/mmcdrive/MmcDrive.h"

namespace wx::emu {

struct EmuLetter {
    char letter = 'D';
    std::shared_ptr<MmcDrive> drive;
    bool addressWorks = true;  // IOCTL_SCSI_GET_ADDRESS answers
    bool inquiryWorks = true;  // IOCTL_SCSI_GET_INQUIRY_DATA answers
    bool openFails = false;
    int openFailsAfter = -1;   // this many opens succeed, then they fail
    bool passThroughFails = false;
    std::uint8_t port = 1, path = 0, target = 1, lun = 0;
};

struct EmuIoCall {
    std::string op;  // "open", "close", "control", "overlapped-result", "signal"
    char letter = 0;
    bool readWrite = false, overlapped = false;
    std::uint32_t code = 0, inLen = 0, outLen = 0;
    ScsiPassThroughDirect sptd{};
};

class EmuDeviceIo : public TDeviceIo {
public:
    std::vector<EmuLetter> letters;
    int ntMajor = 5;
    // When set, the inquiry data answer of every port (to feed malformed
    // data to the scan).
    std::vector<std::uint8_t> inquiryOverride;
    std::vector<EmuIoCall> calls;
    int openHandles() const { return int(handles_.size()); }

    bool IsCdromRoot(char letter) override;
    Handle Open(const std::string& path, bool readWrite, bool overlapped) override;
    void Close(Handle h) override;
    Result Control(Handle h, std::uint32_t code, void* in, std::uint32_t inLen, void* out, std::uint32_t outLen,
                   std::uint32_t* returned, void* overlapped) override;
    bool OverlappedResult(Handle h, void* overlapped, std::uint32_t* transferred) override;
    void SignalEvent(void* event) override;
    int NtMajorVersion() override { return ntMajor; }

private:
    EmuLetter* Find(char letter);
    std::vector<std::uint8_t> InquiryData(std::uint8_t port);
    std::map<std::uintptr_t, std::pair<char, bool>> handles_;
    std::uintptr_t next_ = 0x100;
    std::map<char, int> opens_;
};

}  // namespace wx::emu
