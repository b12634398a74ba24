// ASPI for Win32 request records and constants.  Portable: no <windows.h>.
//
// The records are read in place by the ASPI library, so their layout is a
// contract.  On i686 they have the published byte offsets (97 bytes for the
// execute request); on x86-64 every pointer field is pointer-sized and the
// fields after it move accordingly.  All code is written against sizeof and
// offsetof; the offsets below are checked for both widths.  The WNASPI32.DLL
// stand-in includes this same header.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wx {

// SRB_Cmd values.
constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr std::uint8_t SC_ABORT_SRB = 0x03;
constexpr std::uint8_t SC_RESET_DEV = 0x04;

// SRB_Status values.
constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ABORTED = 0x02;
constexpr std::uint8_t SS_ABORT_FAIL = 0x03;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_INVALID_CMD = 0x80;
constexpr std::uint8_t SS_INVALID_HA = 0x81;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;
constexpr std::uint8_t SS_INVALID_SRB = 0xE0;
constexpr std::uint8_t SS_NO_ADAPTERS = 0xE8;

// SRB_Flags bits.
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

// SCSI target status.
constexpr std::uint8_t STATUS_GOOD = 0x00;
constexpr std::uint8_t STATUS_CHKCOND = 0x02;

// Host adapter status values the stand-in reports.
constexpr std::uint8_t HASTAT_OK = 0x00;
constexpr std::uint8_t HASTAT_TIMEOUT = 0x09;

// Sense bytes every caller asks for, and the room the record has for them.
constexpr std::uint8_t SENSE_LEN = 14;
constexpr std::size_t SENSE_AREA_LEN = 33;

#pragma pack(push, 1)

// Execute SCSI command (SRB_Cmd 2); also used, with the same leading fields,
// for the device reset (SRB_Cmd 4).
struct SRB_ExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    std::uint8_t* SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;
    std::uint8_t SRB_Rsvd2[20];
    std::uint8_t CDBByte[16];
    std::uint8_t SenseArea[SENSE_AREA_LEN];
};

// Abort a request (SRB_Cmd 3): the address of the request to abort sits where
// the execute record has its target.
struct SRB_Abort {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    void* SRB_ToAbort;
};

// Host adapter inquiry (SRB_Cmd 0).  HA_Unique bytes 0..1 are the buffer
// alignment mask, byte 3 the maximum number of targets.
struct SRB_HAInquiry {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t HA_Count;
    std::uint8_t HA_SCSI_ID;
    std::uint8_t HA_ManagerId[16];
    std::uint8_t HA_Identifier[16];
    std::uint8_t HA_Unique[16];
    std::uint16_t HA_Rsvd1;
};

// Get device type (SRB_Cmd 1).
struct SRB_GDEVBlock {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_DeviceType;
    std::uint8_t SRB_Rsvd1;
};

#pragma pack(pop)

// Layout checks for both widths.
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Cmd) == 0);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Status) == 1);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaId) == 2);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Flags) == 3);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Hdr_Rsvd) == 4);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Lun) == 9);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_Abort, SRB_ToAbort) == 8);
static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_Unique) == 42);
static_assert(sizeof(SRB_GDEVBlock) == 12);
static_assert(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10);
#if defined(_WIN64) || defined(__x86_64__)
static_assert(sizeof(void*) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 24);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 25);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 26);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 27);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 28);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 36);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 56);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 72);
static_assert(sizeof(SRB_ExecSCSICmd) == 105);
static_assert(sizeof(SRB_Abort) == 16);
#else
static_assert(sizeof(void*) == 4);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 21);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 22);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 23);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 28);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64);
static_assert(sizeof(SRB_ExecSCSICmd) == 97);
static_assert(sizeof(SRB_Abort) == 12);
#endif

// Entry points of the ASPI library (cdecl).
using TSendASPI32Command = std::uint32_t (*)(void* srb);
using TGetASPI32SupportInfo = std::uint32_t (*)();

// True when more than seconds * 1000 ms have passed between startTick and
// nowTick.  The difference is taken modulo 2^28, so a wrap of the 32-bit
// millisecond counter does not make a wait endless.
constexpr bool IsTimedOutTicks(std::uint32_t startTick, std::uint32_t nowTick,
                               std::uint32_t seconds) {
    return ((nowTick - startTick) & 0x0FFFFFFFu) > seconds * 1000u;
}

// Zero-fills a request record; every routine that builds a request starts
// with it.
template <class Srb>
inline void ClearSRB(Srb& srb) {
    auto* p = reinterpret_cast<unsigned char*>(&srb);
    for (std::size_t i = 0; i < sizeof(Srb); ++i) p[i] = 0;
}

// (p + 32) rounded down to a multiple of 16: 17 to 32 bytes past p.  Callers
// reserve 32 bytes more than they need.
inline std::uint8_t* AlignBuffer16(void* p) {
    auto a = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<std::uint8_t*>((a + 32) & ~std::uintptr_t(15));
}

// Big-endian helpers for command blocks and answers.
inline void PutBE16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
inline void PutBE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}
inline std::uint32_t GetBE16(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }
inline std::uint32_t GetBE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
// Reverses the byte order of a 32-bit value.
constexpr std::uint32_t SwapEndian32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

}  // namespace wx
