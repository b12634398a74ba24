// Records and control codes of the NT SCSI pass-through interface, laid out
// as the platform publishes them.  Portable: no <windows.h>.  Pointer fields
// are pointer-sized, so the pass-through block is 44 bytes on i686 and 56 on
// x86-64; all code uses sizeof and offsetof.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wx {

constexpr std::uint32_t CtlCode(std::uint32_t deviceType, std::uint32_t function, std::uint32_t method,
                                std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
constexpr std::uint32_t IOCTL_SCSI_GET_INQUIRY_DATA_CODE = CtlCode(4, 0x403, 0, 0);
constexpr std::uint32_t IOCTL_SCSI_GET_ADDRESS_CODE = CtlCode(4, 0x406, 0, 0);
constexpr std::uint32_t IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE = CtlCode(4, 0x405, 0, 3);
static_assert(IOCTL_SCSI_GET_INQUIRY_DATA_CODE == 0x0004100C);
static_assert(IOCTL_SCSI_GET_ADDRESS_CODE == 0x00041018);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE == 0x0004D014);

constexpr std::uint8_t PT_DATA_OUT = 0;
constexpr std::uint8_t PT_DATA_IN = 1;

struct ScsiPassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    void* DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

// The block with room for the sense bytes behind it, in one buffer that is
// the control's input and output.
struct ScsiPassThroughDirectBuffer {
    ScsiPassThroughDirect Sptd;
    std::uint32_t Filler;
    std::uint8_t SenseBuf[32];
};

struct ScsiAddress {
    std::uint32_t Length;
    std::uint8_t PortNumber;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
};

// IOCTL_SCSI_GET_INQUIRY_DATA answer: a bus count, one record per bus, and
// per bus a chain of unit records linked by offsets from the buffer start.
struct ScsiBusData {
    std::uint8_t NumberOfLogicalUnits;
    std::uint8_t InitiatorBusId;
    std::uint32_t InquiryDataOffset;
};
struct ScsiAdapterBusInfo {
    std::uint8_t NumberOfBuses;
    ScsiBusData BusData[1];
};
struct ScsiInquiryData {
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t DeviceClaimed;
    std::uint32_t InquiryDataLength;
    std::uint32_t NextInquiryDataOffset;
    std::uint8_t InquiryData[1];
};

static_assert(offsetof(ScsiPassThroughDirect, DataIn) == 8);
static_assert(offsetof(ScsiPassThroughDirect, DataTransferLength) == 12);
static_assert(offsetof(ScsiPassThroughDirect, TimeOutValue) == 16);
static_assert(sizeof(ScsiAddress) == 8);
static_assert(sizeof(ScsiBusData) == 8);
static_assert(offsetof(ScsiAdapterBusInfo, BusData) == 4);
static_assert(offsetof(ScsiInquiryData, InquiryData) == 12);
#if defined(_WIN64) || defined(__x86_64__)
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == 24);
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == 32);
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == 36);
static_assert(sizeof(ScsiPassThroughDirect) == 56);
static_assert(offsetof(ScsiPassThroughDirectBuffer, SenseBuf) == 60);
static_assert(sizeof(ScsiPassThroughDirectBuffer) == 96);
#else
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == 20);
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == 24);
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == 28);
static_assert(sizeof(ScsiPassThroughDirect) == 44);
static_assert(offsetof(ScsiPassThroughDirectBuffer, SenseBuf) == 48);
static_assert(sizeof(ScsiPassThroughDirectBuffer) == 80);
#endif

}  // namespace wx
