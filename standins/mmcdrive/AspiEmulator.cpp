#include "standins/mmcdrive/AspiEmulator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace wx::emu {

namespace {

constexpr int kResetCode = 0x100;  // the device reset in a unit's hang list

bool IsRead(std::uint8_t op) { return op == 0x28 || op == 0xBE || op == 0xD8 || op == 0xD4; }

void StoreStatus(std::uint8_t& field, std::uint8_t v) {
    std::atomic_ref<std::uint8_t>(field).store(v, std::memory_order_release);
}

}  // namespace

std::string LogEntry::Format() const {
    std::string cdbHex;
    char b[8];
    for (auto c : cdb) {
        std::snprintf(b, sizeof b, "%02x", c);
        cdbHex += b;
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "cmd=%u ha=%u target=%u lun=%u flags=0x%02x buflen=%u cdb=%s event=%d status=%u targstat=%u "
                  "hastat=%u sense=%x/%02x/%02x",
                  cmd, ha, target, lun, flags, bufLen, cdbHex.empty() ? "-" : cdbHex.c_str(), hadEvent ? 1 : 0,
                  status, targStat, haStat, senseKey, asc, ascq);
    return line;
}

AspiEmulator::AspiEmulator(std::vector<HostAdapter> adapters, std::vector<Unit> units, SignalFn signal)
    : adapters_(std::move(adapters)), units_(std::move(units)), signal_(std::move(signal)) {
    worker_ = std::thread([this] { Worker(); });
}

AspiEmulator::~AspiEmulator() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    cv_.notify_all();
    worker_.join();
}

std::int64_t AspiEmulator::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint32_t AspiEmulator::SupportInfo() const {
    if (adapters_.empty()) return std::uint32_t(SS_NO_ADAPTERS) << 8;
    return (std::uint32_t(SS_COMP) << 8) | std::uint32_t(adapters_.size() & 0xFF);
}

Unit* AspiEmulator::FindUnit(int adapter, int target) {
    for (auto& u : units_)
        if (u.adapter == adapter && u.target == target) return &u;
    return nullptr;
}

void AspiEmulator::SetLogFile(const std::string& path) {
    std::lock_guard<std::mutex> g(lock_);
    logFile_.close();
    if (!path.empty()) logFile_.open(path, std::ios::app);
}

std::vector<LogEntry> AspiEmulator::Log() const {
    std::lock_guard<std::mutex> g(lock_);
    return log_;
}

void AspiEmulator::ClearLog() {
    std::lock_guard<std::mutex> g(lock_);
    log_.clear();
}

std::size_t AspiEmulator::InFlight() const {
    std::lock_guard<std::mutex> g(lock_);
    return pending_.size();
}

void AspiEmulator::Append(const LogEntry& e) {
    std::lock_guard<std::mutex> g(lock_);
    log_.push_back(e);
    if (logFile_.is_open()) {
        logFile_ << e.Format() << '\n';
        logFile_.flush();
    }
}

std::uint32_t AspiEmulator::Send(void* p) {
    if (!p) return SS_INVALID_SRB;
    auto* hdr = static_cast<std::uint8_t*>(p);
    const std::uint8_t cmd = hdr[0];
    LogEntry entry;
    entry.cmd = cmd;
    entry.ha = hdr[2];
    entry.flags = hdr[3];

    if (cmd == SC_HA_INQUIRY) {
        auto* s = static_cast<SRB_HAInquiry*>(p);
        std::uint8_t st = SS_COMP;
        if (s->SRB_HaId >= adapters_.size()) {
            st = SS_INVALID_HA;
        } else {
            const HostAdapter& a = adapters_[s->SRB_HaId];
            s->HA_Count = std::uint8_t(adapters_.size());
            s->HA_SCSI_ID = a.scsiId;
            std::memset(s->HA_ManagerId, ' ', 16);
            std::memcpy(s->HA_ManagerId, "ASPI for WIN32", 14);
            std::memset(s->HA_Identifier, ' ', 16);
            std::memcpy(s->HA_Identifier, a.identifier.data(), std::min<std::size_t>(16, a.identifier.size()));
            std::memset(s->HA_Unique, 0, 16);
            s->HA_Unique[0] = std::uint8_t(a.alignmentMask);
            s->HA_Unique[1] = std::uint8_t(a.alignmentMask >> 8);
            s->HA_Unique[3] = a.maxTargets;
        }
        entry.status = st;
        Append(entry);
        StoreStatus(s->SRB_Status, st);
        return st;
    }
    if (cmd == SC_GET_DEV_TYPE) {
        auto* s = static_cast<SRB_GDEVBlock*>(p);
        entry.target = s->SRB_Target;
        entry.lun = s->SRB_Lun;
        std::uint8_t st = SS_NO_DEVICE;
        if (s->SRB_HaId >= adapters_.size()) {
            st = SS_INVALID_HA;
        } else if (Unit* u = FindUnit(s->SRB_HaId, s->SRB_Target)) {
            const Personality& per = u->drive->personality();
            if (s->SRB_Lun == 0) {
                s->SRB_DeviceType = per.pd ? 7 : per.deviceType;
                st = SS_COMP;
            } else if (s->SRB_Lun == 1 && per.pd) {
                s->SRB_DeviceType = per.deviceType;
                st = SS_COMP;
            }
        }
        entry.status = st;
        Append(entry);
        StoreStatus(s->SRB_Status, st);
        return st;
    }
    if (cmd == SC_ABORT_SRB) {
        auto* s = static_cast<SRB_Abort*>(p);
        SRB_ExecSCSICmd* victim = nullptr;
        {
            std::lock_guard<std::mutex> g(lock_);
            auto it = std::find_if(pending_.begin(), pending_.end(),
                                   [&](const Pending& q) { return q.srb == s->SRB_ToAbort; });
            if (it != pending_.end()) {
                victim = it->srb;
                pending_.erase(it);
            }
        }
        std::uint8_t st = victim ? SS_COMP : SS_ABORT_FAIL;
        if (victim) {
            LogEntry v;
            v.cmd = victim->SRB_Cmd;
            v.ha = victim->SRB_HaId;
            v.target = victim->SRB_Target;
            v.lun = victim->SRB_Lun;
            v.flags = victim->SRB_Flags;
            v.bufLen = victim->SRB_BufLen;
            v.cdb.assign(victim->CDBByte, victim->CDBByte + std::min<int>(victim->SRB_CDBLen, 16));
            v.status = SS_ABORTED;
            void* ev = (victim->SRB_Flags & SRB_EVENT_NOTIFY) ? victim->SRB_PostProc : nullptr;
            v.hadEvent = ev != nullptr;
            Append(v);
            StoreStatus(victim->SRB_Status, SS_ABORTED);
            if (ev && signal_) signal_(ev);
        }
        entry.status = st;
        Append(entry);
        StoreStatus(s->SRB_Status, st);
        return st;
    }
    if (cmd != SC_EXEC_SCSI_CMD && cmd != SC_RESET_DEV) {
        entry.status = SS_INVALID_CMD;
        Append(entry);
        StoreStatus(hdr[1], SS_INVALID_CMD);
        return SS_INVALID_CMD;
    }

    auto* s = static_cast<SRB_ExecSCSICmd*>(p);
    StoreStatus(s->SRB_Status, SS_PENDING);
    int latency = 0;
    int reorder = 0;
    bool hang = false;
    if (s->SRB_HaId < adapters_.size()) {
        if (Unit* u = FindUnit(s->SRB_HaId, s->SRB_Target)) {
            latency = u->latencyMs;
            int code = cmd == SC_RESET_DEV ? kResetCode : s->CDBByte[0];
            if (cmd == SC_EXEC_SCSI_CMD && IsRead(s->CDBByte[0])) {
                latency += u->readLatencyMs;
                if (u->reorder > 1) {
                    reorder = u->reorder;
                    latency += std::max(1, u->reorderHoldMs);
                }
            }
            if (u->hangOpcodes.count(code)) {
                std::lock_guard<std::mutex> g(lock_);
                if (u->hangCount == 0) {
                    hang = true;
                } else if (u->hangCount > 0) {
                    hang = true;
                    if (--u->hangCount == 0) u->hangCount = -1;  // used up
                }
            }
        }
    }
    if (!hang && latency <= 0) {
        Complete(s);
        return std::atomic_ref<std::uint8_t>(s->SRB_Status).load(std::memory_order_acquire);
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        pending_.push_back({s, hang ? -1 : Now() + latency, hang ? 0 : reorder});
    }
    cv_.notify_all();
    return SS_PENDING;
}

void AspiEmulator::Finish(SRB_ExecSCSICmd* s, std::uint8_t status, LogEntry& e) {
    void* ev = (s->SRB_Flags & SRB_EVENT_NOTIFY) ? s->SRB_PostProc : nullptr;
    e.status = status;
    e.targStat = s->SRB_TargStat;
    e.haStat = s->SRB_HaStat;
    e.hadEvent = ev != nullptr;
    Append(e);
    const Unit* u = s->SRB_HaId < adapters_.size() ? FindUnit(s->SRB_HaId, s->SRB_Target) : nullptr;
    if (ev && signal_ && u && u->signalBeforeStatusMs > 0 &&
        std::atomic_ref<std::uint8_t>(s->SRB_Status).load(std::memory_order_acquire) == SS_PENDING &&
        std::this_thread::get_id() == worker_.get_id()) {
        signal_(ev);
        std::this_thread::sleep_for(std::chrono::milliseconds(u->signalBeforeStatusMs));
        StoreStatus(s->SRB_Status, status);
        return;
    }
    StoreStatus(s->SRB_Status, status);
    if (ev && signal_) signal_(ev);
}

void AspiEmulator::Complete(SRB_ExecSCSICmd* s) {
    LogEntry e;
    e.cmd = s->SRB_Cmd;
    e.ha = s->SRB_HaId;
    e.target = s->SRB_Target;
    e.lun = s->SRB_Lun;
    e.flags = s->SRB_Flags;
    e.bufLen = s->SRB_BufLen;
    if (s->SRB_Cmd == SC_EXEC_SCSI_CMD)
        e.cdb.assign(s->CDBByte, s->CDBByte + std::min<int>(s->SRB_CDBLen, 16));
    if (s->SRB_HaId >= adapters_.size()) {
        Finish(s, SS_INVALID_HA, e);
        return;
    }
    Unit* u = FindUnit(s->SRB_HaId, s->SRB_Target);
    if (!u) {
        s->SRB_HaStat = 0x11;  // selection time-out
        Finish(s, SS_ERR, e);
        return;
    }
    if (s->SRB_Cmd == SC_RESET_DEV) {
        {
            std::lock_guard<std::mutex> g(driveLock_);
            u->drive->Reset();
        }
        s->SRB_HaStat = HASTAT_OK;
        s->SRB_TargStat = STATUS_GOOD;
        Finish(s, SS_COMP, e);
        return;
    }
    if (s->SRB_CDBLen == 0 || s->SRB_CDBLen > 16) {
        Finish(s, SS_INVALID_SRB, e);
        return;
    }
    const bool dataIn = !(s->SRB_Flags & SRB_DIR_OUT);
    ExecResult r;
    {
        std::lock_guard<std::mutex> g(driveLock_);
        r = u->drive->Execute(s->SRB_Lun, s->CDBByte, s->SRB_CDBLen, s->SRB_BufPointer,
                              s->SRB_BufPointer ? s->SRB_BufLen : 0, dataIn);
    }
    s->SRB_HaStat = HASTAT_OK;
    s->SRB_TargStat = r.status;
    std::uint8_t status = SS_COMP;
    if (r.status != STATUS_GOOD) {
        std::size_t n = std::min<std::size_t>({s->SRB_SenseLen, SENSE_AREA_LEN, r.sense.size()});
        std::memcpy(s->SenseArea, r.sense.data(), n);
        e.senseKey = r.key();
        e.asc = r.asc();
        e.ascq = r.ascq();
        // A check condition without a sense key is a drive's bogus report:
        // the command itself went through.
        if (r.key() != 0) status = SS_ERR;
    }
    Finish(s, status, e);
}

void AspiEmulator::Worker() {
    std::unique_lock<std::mutex> g(lock_);
    while (!stop_) {
        std::int64_t now = Now();
        std::int64_t next = -1;
        // Held reads end together, the last sent first, once enough are
        // held or the oldest has waited its time.
        std::vector<SRB_ExecSCSICmd*> batch;
        {
            int held = 0, wanted = 0;
            std::int64_t oldest = -1;
            for (const auto& q : pending_)
                if (q.reorder > 1) {
                    if (++held == 1) {
                        wanted = q.reorder;
                        oldest = q.due;
                    }
                }
            if (held > 0 && (held >= wanted || oldest <= now)) {
                for (auto it = pending_.begin(); it != pending_.end();) {
                    if (it->reorder > 1) {
                        batch.push_back(it->srb);
                        it = pending_.erase(it);
                    } else {
                        ++it;
                    }
                }
            }
        }
        if (!batch.empty()) {
            g.unlock();
            for (auto it = batch.rbegin(); it != batch.rend(); ++it) Complete(*it);
            g.lock();
            continue;
        }
        SRB_ExecSCSICmd* due = nullptr;
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->due < 0) continue;
            if (it->reorder > 1) {
                if (next < 0 || it->due < next) next = it->due;
                continue;
            }
            if (it->due <= now) {
                due = it->srb;
                pending_.erase(it);
                break;
            }
            if (next < 0 || it->due < next) next = it->due;
        }
        if (due) {
            g.unlock();
            Complete(due);
            g.lock();
            continue;
        }
        if (next < 0) cv_.wait(g);
        else cv_.wait_for(g, std::chrono::milliseconds(next - now));
    }
}

}  // namespace wx::emu
