// The NT class-driver transport: the table of CD drives reachable by SCSI
// pass-through on their device handles ("\\.\X:"), and the execution of a
// request record on such a handle.  Portable: every operating-system call
// goes through TDeviceIo, which the Windows build implements with the real
// calls and the tests with the emulated drive.
#pragma once
#include <cstdint>
#include <string>

#include "extraction/AspiDefs.h"
#include "extraction/classdefs.h"

namespace wx {

class TDeviceIo {
public:
    using Handle = void*;
    static Handle InvalidHandle() { return reinterpret_cast<Handle>(~std::uintptr_t(0)); }
    enum class Result { Ok, Pending, Failed };

    virtual ~TDeviceIo() = default;
    // The root "X:\" of the letter has the CD-ROM drive type.
    virtual bool IsCdromRoot(char letter) = 0;
    // Opens a device for reading (share read), or for reading and writing
    // (share read and write); InvalidHandle() on failure.
    virtual Handle Open(const std::string& path, bool readWrite, bool overlapped) = 0;
    virtual void Close(Handle h) = 0;
    virtual Result Control(Handle h, std::uint32_t code, void* in, std::uint32_t inLen, void* out,
                           std::uint32_t outLen, std::uint32_t* returned, void* overlapped) = 0;
    // Asks once for an overlapped result without waiting.
    virtual bool OverlappedResult(Handle h, void* overlapped, std::uint32_t* transferred) = 0;
    virtual void SignalEvent(void* event) = 0;
    // The NT major version; 3 on other platforms, 4 when it cannot be read.
    virtual int NtMajorVersion() = 0;
};

// The device-I/O of this process: the real one on Windows unless a test
// installed its own (nullptr restores the default).  Without any (a
// non-Windows build with none installed) every device call fails.
TDeviceIo& DeviceIo();
void SetDeviceIo(TDeviceIo* io);

constexpr int MaxClassDrvDevices = 27;
constexpr std::int32_t ClassDrvLetterKey = 0x10000;

struct TClassDrvDevice {
    std::int32_t DriveLetter = 0;
    std::int32_t PortNumber = 0;
    std::int32_t PathId = 255;
    std::int32_t TargetId = 255;
    std::int32_t Lun = 255;
    std::uint8_t InquiryHead[8] = {};
    std::string DeviceName;  // at most 32 characters
    int DeviceType() const { return InquiryHead[0] & 0x1F; }
    int AnsiVersion() const { return InquiryHead[2] & 0x07; }
};

constexpr int OverlappedHandles = 5;

// Module state and operations.
int ClassDrvEnumDevices();
int ClassDrvCount();
bool ClassDrvGetDevice(int index, TClassDrvDevice& dest);
int ClassDrvFindDevice(std::int32_t portKey, std::int32_t path, std::int32_t target, std::int32_t lun);
bool ClassDrvExecSRB(std::int32_t portKey, SRB_ExecSCSICmd& srb);
void ClassDrvOpenDevice(std::int32_t portKey, std::int32_t path, std::int32_t target, bool overlapped,
                        std::int32_t lun);
void ClassDrvCloseDevice();
bool ClassDrvExecSRBOpen(SRB_ExecSCSICmd& srb);
bool ClassDrvExecSRBOverlapped(int slot, SRB_ExecSCSICmd& srb, ScsiPassThroughDirectBuffer& buffer,
                               void* overlapped);
bool ClassDrvExecSRBOnHandle(TDeviceIo::Handle h, int entry, SRB_ExecSCSICmd& srb);
// The open device's table index (-1 when none) and handles, for the rip
// thread and the tests.
int ClassDrvOpenIndex();
TDeviceIo::Handle ClassDrvPlainHandle();
TDeviceIo::Handle ClassDrvOverlappedHandle(int slot);
// Forgets the table and closes everything (tests).
void ClassDrvResetForTest();

// "\\.\X:" for a drive letter.
std::string ClassDrvDevicePath(char letter);

}  // namespace wx
