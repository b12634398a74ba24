// The ASPI side of the emulated drives: takes request records as the ASPI
// library does, completes execute requests on a worker thread after a
// configurable latency (or at once when the latency is 0), signals the
// event in SRB_PostProc, aborts, resets, and keeps a request log.
// Portable: the caller supplies the function that signals an event.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "extraction/AspiDefs.h"
#include "standins/mmcdrive/MmcDrive.h"

namespace wx::emu {

struct HostAdapter {
    std::uint8_t scsiId = 7;
    std::uint8_t maxTargets = 8;
    std::uint16_t alignmentMask = 0x0001;
    std::string identifier = "WX EMULATED HA";
};

struct Unit {
    int adapter = 0;
    int target = 0;
    std::shared_ptr<MmcDrive> drive;
    // Timing of this unit's execute requests.
    int latencyMs = 0;       // every request
    int readLatencyMs = 0;   // added to read commands
    std::set<int> hangOpcodes;  // requests that never complete unless aborted
    int hangCount = 0;          // how many of them hang; 0 = all
    // Out-of-order completion: read requests are held until this many are
    // outstanding (or the oldest has waited reorderHoldMs), then end
    // together, the last sent first.  0 or 1: in order.
    int reorder = 0;
    int reorderHoldMs = 20;
    // The event of a request that ends later is signalled this long before
    // its status is written, as some libraries do.
    int signalBeforeStatusMs = 0;
};

// One line per finished request, for the tests.
struct LogEntry {
    std::uint8_t cmd = 0, ha = 0, target = 0, lun = 0, flags = 0;
    std::uint32_t bufLen = 0;
    std::vector<std::uint8_t> cdb;
    std::uint8_t status = 0, targStat = 0, haStat = 0;
    std::uint8_t senseKey = 0, asc = 0, ascq = 0;
    bool hadEvent = false;
    std::string Format() const;
};

class AspiEmulator {
public:
    using SignalFn = std::function<void(void* event)>;

    AspiEmulator(std::vector<HostAdapter> adapters, std::vector<Unit> units, SignalFn signal);
    ~AspiEmulator();
    AspiEmulator(const AspiEmulator&) = delete;
    AspiEmulator& operator=(const AspiEmulator&) = delete;

    // GetASPI32SupportInfo: status in bits 8..15, adapter count in 0..7.
    std::uint32_t SupportInfo() const;
    // SendASPI32Command: returns the record's status as it stands on return
    // (SS_PENDING for a request still in flight).
    std::uint32_t Send(void* srb);

    // Also appends each line to this file when set.
    void SetLogFile(const std::string& path);
    std::vector<LogEntry> Log() const;
    void ClearLog();
    std::size_t InFlight() const;
    Unit* FindUnit(int adapter, int target);

private:
    struct Pending {
        SRB_ExecSCSICmd* srb;
        std::int64_t due;  // -1: never
        int reorder = 0;   // held for out-of-order completion in batches of this many
    };
    void Complete(SRB_ExecSCSICmd* srb);  // runs the command and posts the result
    void Finish(SRB_ExecSCSICmd* srb, std::uint8_t status, LogEntry& entry);
    void Worker();
    void Append(const LogEntry& e);
    static std::int64_t Now();

    std::vector<HostAdapter> adapters_;
    std::vector<Unit> units_;
    SignalFn signal_;
    mutable std::mutex lock_;
    std::mutex driveLock_;
    std::condition_variable cv_;
    std::deque<Pending> pending_;
    std::vector<LogEntry> log_;
    std::ofstream logFile_;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace wx::emu
