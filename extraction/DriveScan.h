// Drive detection: the scans over the ASPI host adapters and over the
// class-driver table that fill the settings store's device table, the read
// command guess by maker and model, and the texts the drive page shows.
// Portable.
#pragma once
#include <string>
#include <vector>

#include "extraction/DriveCmds.h"
#include "settings/configtypes.h"

namespace wx {

// The device table of the settings store and the drive list beside it.
struct TDeviceTable {
    TDeviceEntry Devices[MaxDeviceEntries];
    int DeviceCount = 0;
    // Items of the drive list (ComboBox2); may hold more than 30.
    std::vector<std::string> DriveList;
    int Selected = -1;
    // Set when a scan found an ATAPI drive (ANSI version 0): the settings'
    // MSCDEX check box is to be cleared.
    bool ClearMscdex = false;
};

// The read command kind for a drive (name upper-cased inside).  classDriver
// selects the class-driver variant: the NEC row then needs LUN 0 instead of
// "not a PD drive".
int GuessReadCommandKind(const std::string& name, int ansiVersion, bool pdDrive, bool classDriver, int lun);

class TDriveScanner {
public:
    explicit TDriveScanner(TSrbExecutor& exec) : exec_(exec) {}

    // Rescans the drives into the table, over ASPI or over the class driver.
    void SCSIDevSearch(TDeviceTable& table, bool useClassDriver);
    // Host adapter inquiry of adapter n; keeps the adapter count (when n is
    // 0) and the adapter's alignment flag.  True when n is below the count.
    bool dispHostAdapterStatus(int n);
    void showCDROMdevices(TDeviceTable& table, int count);
    void ScanCDROMDevice(TDeviceTable& table, int adapter, int target);
    void ShowCDROMDevicesClassDrv(TDeviceTable& table);
    // INQUIRY (allocation 32): true when the drive's target status is to be
    // ignored.
    bool IsIgnoreTargetStat(int adapter, int target, int lun, bool useAspi);

    int AdapterCount() const { return adapterCount_; }

private:
    TSrbExecutor& exec_;
    int adapterCount_ = 1;
    std::uint8_t alignment_[256] = {};
};

// The fields the device information window shows, from a 56-byte INQUIRY
// answer (DispDriveBtnClick).
struct TInquiryInfo {
    int Qualifier = 0, DeviceType = 0, IsoVersion = 0, EcmaVersion = 0, AnsiVersion = 0, ResponseFormat = 0;
    bool Removable = false, Aenc = false, TrmIop = false;
    bool RelAdr = false, WBus32 = false, WBus16 = false, Sync = false, Linked = false, CmdQue = false,
         SoftReset = false;
    std::string Vendor, Product, Revision, VendorSpecific;
};
TInquiryInfo DecodeInquiry(const std::uint8_t* data56);
// INQUIRY with allocation 56 to the drive; false when it fails.
bool ReadDeviceInfo(TSrbExecutor& exec, const TDriveAddress& d, TInquiryInfo& info);

// The drive page's texts for an entry: the address shown in AdapterLabel
// and SCSIIDLabel, the type name, and the read-command list item.
std::string DriveAdapterText(const TDeviceEntry& e);
std::string DriveTargetText(const TDeviceEntry& e);
std::string DriveTypeName(int driveType);
int ReadCommandListIndex(int kind);

}  // namespace wx
