#include "extraction/wendrisub.h"

#include "extraction/ClassDrv.h"
#include "extraction/DriveCmds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace wx {

const char* const MsgTrackFormat = "\xc4\xd7\xaf\xb8\x25\x64\x82\xcc";
const char* const MsgSearchSilence = "\x96\xb3\x89\xb9\x8b\xe6\x8a\xd4\x8c\x9f\x8f\x6f\x92\x86\x2e";
const char* const MsgReading = "\xc3\xde\xb0\xc0\x8e\xe6\x93\xbe\x92\x86\x2e";
const char* const MsgConverting = "\xc3\xde\xb0\xc0\x8c\x60\x8e\xae\x95\xcf\x8a\xb7\x92\x86\x2e";
const char* const MsgFinishing = "\x8f\x49\x97\xb9\x8f\x88\x97\x9d\x92\x86\x82\xc5\x82\xb7\x81\x63";
const char* const MsgReadDone = "\xc3\xde\xb0\xc0\x8e\xe6\x93\xbe\x8a\xae\x97\xb9\x2e";
const char* const MsgWriteErrorStop =
    "\xc3\xde\xb0\xc0\x8f\x91\x82\xab\x8d\x9e\x82\xdd\xb4\xd7\xb0\x82\xc9\x82\xe6\x82\xe8\x92\x86\x92\x66\x2e";
const char* const MsgNoMemory =
    "\x83\x81\x83\x82\x83\x8a\x82\xaa\x8a\x6d\x95\xdb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x2e";

TRipBuffers RipBuffers;

namespace {
// Stands for buffers that were never named: none of them is there.
TRipBuffers& NoRipBuffers() {
    static TRipBuffers none;
    return none;
}
}  // namespace

char* NewStatusText(const std::string& text) {
    char* p = new char[StatusTextBytes]();
    std::memcpy(p, text.data(), std::min(text.size(), StatusTextBytes - 1));
    return p;
}

namespace {

// Reserved blocks: the aligned start is the reserved start + 32 rounded
// down to a multiple of 16, as the transports expect of data buffers.
std::uint8_t* ReserveAligned(std::uint32_t bytes) {
    auto* raw = new (std::nothrow) std::uint8_t[bytes + 32]();
    if (!raw) return nullptr;
    std::uint8_t* aligned = AlignBuffer16(raw);
    // Keep the raw pointer just before the aligned start for the release.
    std::uint8_t* keep = aligned - sizeof(void*);
    std::memcpy(keep, &raw, sizeof raw);
    return aligned;
}
void FreeAligned(std::uint8_t*& p) {
    if (!p) return;
    std::uint8_t* raw;
    std::memcpy(&raw, p - sizeof(void*), sizeof raw);
    delete[] raw;
    p = nullptr;
}

inline std::uint8_t LoadStatus(const SRB_ExecSCSICmd& srb) {
    return __atomic_load_n(&srb.SRB_Status, __ATOMIC_ACQUIRE);
}

constexpr std::uint32_t HalfTail = 2 * SectorBytes;  // 4704
constexpr std::uint32_t TailBytes = 4 * SectorBytes;  // 9408
constexpr std::uint32_t WaitSeconds = 10;
// Reads past the range that may fill its end after the reads drifted.
constexpr std::int32_t MaxFillBlocks = 8;
// The rip thread waits on the writer at most this long before it looks at
// its abort request again.
constexpr std::uint32_t AbortCheckMs = 10;

}  // namespace

bool ReserveRipBuffers(TRipBuffers& b) {
    if (b.Reserved()) return true;
    FreeRipBuffers(b);
    bool ok = true;
    for (auto& s : b.Slot) ok = ok && (s = ReserveAligned(ReadSlotBytes)) != nullptr;
    ok = ok && (b.KeptTail = ReserveAligned(KeptTailBytes)) != nullptr;
    ok = ok && (b.VolumeBuffer = ReserveAligned(VolumeBufferBytes)) != nullptr;
    if (!ok) {
        FreeRipBuffers(b);
        b.MemoryShortage = true;
    }
    return ok;
}

bool AbandonReadSlot(TRipBuffers& b, int slot) {
    if (slot < 0 || slot >= int(ReadSlotCount)) return false;
    // The old block is left as it is: whoever still holds it may write.
    b.Slot[slot] = ReserveAligned(ReadSlotBytes);
    if (!b.Slot[slot]) b.MemoryShortage = true;
    return b.Slot[slot] != nullptr;
}

void FreeRipBuffers(TRipBuffers& b) {
    for (auto& s : b.Slot) FreeAligned(s);
    FreeAligned(b.KeptTail);
    FreeAligned(b.VolumeBuffer);
    b.MemoryShortage = false;
}

void IRipPlatform::OpenRipDevice(std::int32_t portNumber, std::int32_t pathId, std::int32_t targetId,
                                 bool overlapped, std::int32_t lun) {
    ClassDrvOpenDevice(portNumber, pathId, targetId, overlapped, lun);
}
bool IRipPlatform::ExecOnRipDevice(SRB_ExecSCSICmd& srb) { return ClassDrvExecSRBOpen(srb); }
void IRipPlatform::CloseRipDevice() { ClassDrvCloseDevice(); }

bool IRipPlatform::SendOverlapped(int slot, SRB_ExecSCSICmd& srb, void* event) {
    // Without overlapped I/O of the system the request runs here, to its end.
    srb.SRB_Flags &= std::uint8_t(~SRB_EVENT_NOTIFY);
    const bool ok = ClassDrvExecSRBOnHandle(ClassDrvOverlappedHandle(slot), ClassDrvOpenIndex(), srb);
    SignalEvent(event);
    return ok;
}

// ---------------------------------------------------------------------------
// Writer thread

std::uint32_t TWaveWriteThread::RingSizeFor(std::uint32_t usableSize) {
    if (usableSize == 0) return 0;
    std::uint32_t s = 1;
    while (s <= usableSize / 2) s <<= 1;
    return s;
}

TWaveWriteThread::TWaveWriteThread(IRipPlatform& platform, IRipOutput& output, std::uint32_t usableSize,
                                   std::uint8_t* ringMemory)
    : platform_(platform), output_(output), ring_(ringMemory), size_(RingSizeFor(usableSize)) {
    if (size_ < MinRingBytes || ring_ == nullptr) throw EWendriSubThread(MsgNoMemory);
    transfer_.reset(new std::uint8_t[PieceBytes + SectorBytes]);
}

TWaveWriteThread::~TWaveWriteThread() {
    if (thread_) {
        Terminate();
        thread_->Join();
    }
}

void TWaveWriteThread::Start() {
    thread_ = platform_.StartThread([this] { Execute(); });
}

void TWaveWriteThread::Terminate() {
    {
        std::lock_guard<std::mutex> g(lock_);
        terminated_ = true;
    }
    dataReady_.notify_all();
}

// Each side wakes the other only when it waits and has something worth
// waking for: the writer a batch of pieces (or the end), the rip thread
// half the ring free.  A wake-up costs a round trip to the system, so a
// track costs a few of them instead of one per block.
std::uint32_t TWaveWriteThread::DataWakeLevel() const {
    return std::max(PieceBytes, std::min<std::uint32_t>(size_ / 4, 1u << 20));
}

bool TWaveWriteThread::WakeWriter(bool needRoom) {
    if (!writerWaiting_) return false;
    const std::uint32_t avail = (write_ - read_) & (size_ - 1);
    if (!endOfData_ && avail < DataWakeLevel() && !(needRoom && avail >= PieceBytes)) return false;
    writerWaiting_ = false;
    ++wakeUps_;
    return true;
}

bool TWaveWriteThread::WakeRipThread() {
    if (ripWaitingFor_ == 0) return false;
    const std::uint32_t free = (read_ - write_ - 1) & (size_ - 1);
    if (free <= std::max(ripWaitingFor_, size_ / 2)) return false;
    ripWaitingFor_ = 0;
    ++wakeUps_;
    return true;
}

void TWaveWriteThread::WaitForRoom(std::uint32_t length, std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> g(lock_);
    if (!running_ || length < ((read_ - write_ - 1) & (size_ - 1))) return;
    // The writer may be waiting for a batch the rip thread cannot finish.
    const bool wake = WakeWriter(true);
    ripWaitingFor_ = length;
    if (wake) dataReady_.notify_one();
    roomReady_.wait_for(g, std::chrono::milliseconds(timeoutMs),
                        [&] { return !running_ || ripWaitingFor_ == 0; });
    ripWaitingFor_ = 0;
}

void TWaveWriteThread::WaitUntilStopped(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> g(lock_);
    roomReady_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !running_; });
}

void TWaveWriteThread::WaitFor() {
    if (thread_) thread_->Join();
    thread_.reset();
}

bool TWaveWriteThread::PutData(const void* block, std::uint32_t length) {
    bool wake;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (block == nullptr) {
            endOfData_ = true;
        } else {
            std::uint32_t free = (read_ - write_ - 1) & (size_ - 1);
            if (length >= free) {
                // Refused: the writer has to make room, batch or not.
                if (!WakeWriter(true)) return false;
                dataReady_.notify_one();
                return false;
            }
            const auto* src = static_cast<const std::uint8_t*>(block);
            std::uint32_t first = std::min(length, size_ - write_);
            std::memcpy(ring_ + write_, src, first);
            std::memcpy(ring_, src + first, length - first);
            write_ = (write_ + length) & (size_ - 1);
        }
        wake = WakeWriter(false);
    }
    if (wake) dataReady_.notify_one();
    return true;
}

bool TWaveWriteThread::GetData(void* buffer, std::uint32_t length) {
    bool wake;
    {
        std::lock_guard<std::mutex> g(lock_);
        std::uint32_t avail = (write_ - read_) & (size_ - 1);
        if (avail < length) return false;
        auto* dst = static_cast<std::uint8_t*>(buffer);
        std::uint32_t first = std::min(length, size_ - read_);
        std::memcpy(dst, ring_ + read_, first);
        std::memcpy(dst + first, ring_, length - first);
        read_ = (read_ + length) & (size_ - 1);
        wake = WakeRipThread();
    }
    if (wake) roomReady_.notify_one();
    return true;
}

std::uint32_t TWaveWriteThread::GetRest(void* buffer, std::uint32_t length) {
    std::uint32_t n;
    bool wake;
    {
        std::lock_guard<std::mutex> g(lock_);
        std::uint32_t avail = (write_ - read_) & (size_ - 1);
        n = std::min(avail, length);
        auto* dst = static_cast<std::uint8_t*>(buffer);
        std::uint32_t first = std::min(n, size_ - read_);
        std::memcpy(dst, ring_ + read_, first);
        std::memcpy(dst + first, ring_, n - first);
        std::memset(dst + n, 0, length - n);
        read_ = (read_ + n) & (size_ - 1);
        wake = WakeRipThread();
    }
    if (wake) roomReady_.notify_one();
    return n;
}

std::uint32_t TWaveWriteThread::WakeUps() {
    std::lock_guard<std::mutex> g(lock_);
    return wakeUps_;
}

void TWaveWriteThread::Execute() {
    try {
        while (!terminated_) {
            if (GetData(transfer_.get(), PieceBytes)) {
                if (!output_.Write(transfer_.get(), PieceBytes)) {
                    failed_ = true;
                    break;
                }
            } else {
                bool end;
                {
                    std::lock_guard<std::mutex> g(lock_);
                    end = endOfData_;
                }
                if (end) {
                    std::uint32_t n = GetRest(transfer_.get(), PieceBytes);
                    if (n == 0) break;
                    if (!output_.Write(transfer_.get(), n)) {
                        failed_ = true;
                        break;
                    }
                } else {
                    // Until the rip thread hands over a batch of pieces, or the end.
                    std::unique_lock<std::mutex> g(lock_);
                    if (!terminated_ && !endOfData_ && ((write_ - read_) & (size_ - 1)) < PieceBytes) {
                        writerWaiting_ = true;
                        dataReady_.wait(g, [&] { return terminated_ || !writerWaiting_; });
                        writerWaiting_ = false;
                    }
                }
            }
        }
    } catch (...) {
        failed_ = true;
    }
    try {
        if (keep_ && !terminated_ && !failed_) {
            if (!output_.Close()) failed_ = true;
        } else {
            output_.Discard();
        }
    } catch (...) {
        failed_ = true;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        running_ = false;
    }
    roomReady_.notify_all();
}

// ---------------------------------------------------------------------------
// Construction

TRipEngine::TRipEngine(const TTransferRecord& request, const TRipContext& context, std::function<bool()> terminated)
    : r_(request), ctx_(context), pf_(*context.Platform), terminated_(std::move(terminated)),
      buf_(context.Buffers ? *context.Buffers : NoRipBuffers()) {
    if (r_.Normalize) r_.TwoStage = true;
    if (!pf_.IsWindows9x()) r_.UseMscdex = false;
    if (r_.UseMscdex && r_.SectorsPerRead > 50) r_.SectorsPerRead = 50;
    // One read must fit a read slot (55 sectors of 2448 bytes) and its
    // count travels in one byte.
    r_.SectorsPerRead = std::clamp<std::int32_t>(r_.SectorsPerRead, 1, std::int32_t(MaxSectorsPerRead));
    r_.OverlapSectors = r_.OverlapSectors > 0 ? 4 : 0;
    useWriteThread_ = r_.UseWriteThread && !r_.TwoStage;
    r_.UseWriteThread = useWriteThread_;
    // The store starts empty, with the usable part of the rip memory block:
    // whole sectors, ten fewer than the block holds.
    if (ctx_.Store) {
        const std::uint64_t sectors = ctx_.RipCacheSize / SectorBytes;
        ctx_.Store->Reset(ctx_.RipCache, sectors > 10 ? (sectors - 10) * SectorBytes : 0);
    }
    result_ = std::make_unique<TTransferRecord>(request);
    if (!r_.UseAspi) pf_.OpenRipDevice(r_.PortNumber, r_.Adapter, r_.Target, r_.BurstRead, r_.Lun);
}

TRipEngine::~TRipEngine() {
    if (writer_) {
        writer_->Terminate();
        writer_->WaitFor();
    }
    if (event_) pf_.FreeEvent(event_);
}

// ---------------------------------------------------------------------------
// Messages

void TRipEngine::PostStatusText(const std::string& phrase) {
    char head[64];
    std::snprintf(head, sizeof head, MsgTrackFormat, int(r_.TrackNumber));
    pf_.Post(r_.NotifyWindow, WM_RIP_STATUS, 0, reinterpret_cast<std::intptr_t>(NewStatusText(head + phrase)));
}

void TRipEngine::PostLevel(std::uint32_t peaks) {
    pf_.Post(r_.NotifyWindow, WM_RIP_LEVEL, std::intptr_t(peaks & 0xFFFF), std::intptr_t(peaks >> 16));
}

void TRipEngine::PostPhase(int phase) { pf_.Post(r_.NotifyWindow, WM_RIP_PHASE, phase, 0); }

void TRipEngine::PostProgress(std::int32_t percent) {
    pf_.Post(r_.NotifyWindow, WM_RIP_PROGRESS, percent, r_.TrackNumber);
}

bool TRipEngine::IsTimedOut(std::uint32_t startTick, std::uint32_t seconds) {
    return IsTimedOutTicks(startTick, pf_.TickCount(), seconds);
}

void TRipEngine::DeleteWorkFile(const std::string& name) {
    std::string path = r_.WorkFolder + name;
    if (pf_.FileExists(path)) pf_.RemoveFile(path);
}

// ---------------------------------------------------------------------------
// Reads

bool TRipEngine::BuildReadRequest(std::int32_t lba, std::int32_t count, SRB_ExecSCSICmd& srb, std::uint8_t* buffer) {
    AddressDrive(srb, SRB_DIR_IN);
    srb.SRB_BufPointer = buffer;
    std::int32_t n = count + r_.OverlapSectors;
    bool result = true;
    if (r_.LastReadableLba < lba + n) {
        std::memset(buffer, 0, std::size_t(n) * SubcodeSectorBytes);
        if (lba > r_.LastReadableLba) {
            n = 0;
            result = false;
        } else {
            n = r_.LastReadableLba - lba + 1;
        }
    }
    // The command block of the drive's read command kind (shared with the
    // drive commands); a kind without a command leaves it unset.
    builtSectors_ = n;
    TReadCommand c = BuildReadCommand(r_.ReadCommand, std::uint32_t(lba), std::uint8_t(n));
    if (c.BytesPerSector != 0) {
        std::memcpy(srb.CDBByte, c.Cdb, sizeof c.Cdb);
        srb.SRB_CDBLen = c.CdbLen;
        srb.SRB_BufLen = std::uint32_t(n) * c.BytesPerSector;
    }
    return result;
}

bool TRipEngine::SendSrb(SRB_ExecSCSICmd& srb) {
    if (r_.UseAspi) {
        if (!r_.SendAspiCommand) return false;
        r_.SendAspiCommand(&srb);
        return true;
    }
    return pf_.ExecOnRipDevice(srb);
}

bool TRipEngine::WaitSrb(SRB_ExecSCSICmd& srb, void* event, bool poll) {
    const std::uint32_t start = pf_.TickCount();
    if (poll) {
        while (LoadStatus(srb) == SS_PENDING && !IsTimedOut(start, WaitSeconds)) pf_.Sleep(1);
    } else {
        // A signal left over from a request that had already completed when
        // it was sent must not end this wait early: wait until the status
        // changes or the time is up.
        while (LoadStatus(srb) == SS_PENDING && !IsTimedOut(start, WaitSeconds)) {
            std::uint32_t spent = (pf_.TickCount() - start) & 0x0FFFFFFFu;
            std::uint32_t left = spent < WaitSeconds * 1000 ? WaitSeconds * 1000 - spent : 0;
            if (!pf_.WaitEvent(event, left) && LoadStatus(srb) == SS_PENDING) break;
        }
    }
    return LoadStatus(srb) != SS_PENDING;
}

bool TRipEngine::ReadSectors(SRB_ExecSCSICmd& srb, void* event, std::uint32_t& dataBytes, std::int32_t count,
                             std::int32_t lba, int slot) {
    std::uint8_t* buffer = buf_.Slot[slot];
    const std::int32_t start = r_.OverlapSectors > 0 ? lba - 2 : lba;
    const std::int32_t sectors = count + r_.OverlapSectors;
    if (r_.UseMscdex) {
        std::memset(buffer, 0, std::size_t(sectors) * SectorBytes);
        std::uint32_t st = pf_.MscdexReadSectors(buffer, start, sectors);
        ClearSRB(srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Status = SS_COMP;
        srb.SRB_TargStat = st == 256 ? STATUS_GOOD : STATUS_CHKCOND;
        dataBytes = std::uint32_t(count) * SectorBytes;
        readSectors_[slot] = sectors;
    } else {
        bool send = BuildReadRequest(start, count, srb, buffer);
        readSectors_[slot] = builtSectors_;
        std::uint32_t over = std::uint32_t(r_.OverlapSectors) * SectorBytes;
        dataBytes = srb.SRB_BufLen > over ? srb.SRB_BufLen - over : 0;
        if (!r_.PollStatus) {
            srb.SRB_Flags |= SRB_EVENT_NOTIFY;
            srb.SRB_PostProc = event;
        }
        if (!send) {
            srb.SRB_Status = SS_COMP;
            srb.SRB_TargStat = STATUS_GOOD;
        } else if (!SendSrb(srb)) {
            // No transport to take the request: a failed read.
            if (LoadStatus(srb) == SS_PENDING) {
                srb.SRB_Status = SS_ERR;
                srb.SRB_TargStat = STATUS_CHKCOND;
            }
        }
        if (!WaitSrb(srb, event, r_.PollStatus)) {
            AbortSRB(srb);
            pf_.Post(r_.NotifyWindow, WM_RIP_TIMEOUT, 100, 0);
            return false;
        }
    }
    if (r_.UseReadWait) pf_.Sleep(std::uint32_t(std::max(0, r_.ReadWaitMs)));
    return true;
}

bool TRipEngine::IsGoodRead(const SRB_ExecSCSICmd& srb) const {
    return LoadStatus(srb) == SS_COMP && IsTargetError(srb.SRB_TargStat) == 0;
}

void TRipEngine::PostProcessRead(std::uint8_t* buffer, std::int32_t count, std::int32_t overlap) {
    std::uint32_t sectors = std::uint32_t(std::max(0, count + overlap));
    if (!r_.UseMscdex) {
        if (r_.ReadCommand == 1) StripSubcode(buffer, sectors);
        if (r_.ReadCommand == 5) SwapBytes16(buffer, sectors * SectorBytes);
    }
    if (r_.SwapChannels) wx::SwapChannels(buffer, sectors * SectorBytes);
}

void TRipEngine::AbortSRB(SRB_ExecSCSICmd& srb) {
    // Without the ASPI library the timed-out request is only abandoned.
    if (!r_.UseAspi || !r_.SendAspiCommand) return;
    SRB_Abort a;
    ClearSRB(a);
    a.SRB_Cmd = SC_ABORT_SRB;
    a.SRB_HaId = std::uint8_t(r_.Adapter);
    a.SRB_ToAbort = &srb;
    r_.SendAspiCommand(&a);
    const std::uint32_t start = pf_.TickCount();
    while (__atomic_load_n(&a.SRB_Status, __ATOMIC_ACQUIRE) == SS_PENDING && !IsTimedOut(start, WaitSeconds))
        pf_.Sleep(1);
}

bool TRipEngine::SendAsync(int slot, SRB_ExecSCSICmd& srb, void* event) {
    __atomic_store_n(&srb.SRB_Status, SS_PENDING, __ATOMIC_RELEASE);
    pf_.ClearEvent(event);
    bool sent;
    if (r_.UseAspi) {
        srb.SRB_Flags |= SRB_EVENT_NOTIFY;
        srb.SRB_PostProc = event;
        sent = r_.SendAspiCommand != nullptr;
        if (sent) r_.SendAspiCommand(&srb);
    } else {
        sent = pf_.SendOverlapped(slot, srb, event);
    }
    if (!sent) {
        // Nobody took the request: it ends here, failed.
        if (LoadStatus(srb) == SS_PENDING) {
            srb.SRB_TargStat = STATUS_CHKCOND;
            __atomic_store_n(&srb.SRB_Status, SS_ERR, __ATOMIC_RELEASE);
        }
        pf_.SignalEvent(event);
    }
    return sent;
}

void TRipEngine::CompleteAsync(int slot, SRB_ExecSCSICmd& srb) {
    if (!r_.UseAspi) pf_.CompleteOverlapped(slot, srb);
}

bool TRipEngine::AbandonAsync(int slot, SRB_ExecSCSICmd& srb, void* event) {
    if (!r_.UseAspi) {
        pf_.CancelOverlapped(slot);
        return true;
    }
    if (LoadStatus(srb) != SS_PENDING) return true;
    AbortSRB(srb);
    // The aborted request signals its event when the library lets go of it.
    const std::uint32_t start = pf_.TickCount();
    while (LoadStatus(srb) == SS_PENDING && !IsTimedOut(start, WaitSeconds)) {
        const std::uint32_t spent = (pf_.TickCount() - start) & 0x0FFFFFFFu;
        const std::uint32_t left = spent < WaitSeconds * 1000 ? WaitSeconds * 1000 - spent : 0;
        void* one[1] = {event};
        if (pf_.WaitAnyEvent(one, 1, left) < 0) break;
        if (LoadStatus(srb) == SS_PENDING) pf_.ClearEvent(event);
    }
    return LoadStatus(srb) != SS_PENDING;
}

void TRipEngine::AddressDrive(SRB_ExecSCSICmd& srb, std::uint8_t flags) const {
    ClearSRB(srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = std::uint8_t(r_.Adapter);
    srb.SRB_Target = std::uint8_t(r_.Target);
    srb.SRB_Lun = std::uint8_t(r_.Lun);
    srb.SRB_Flags = flags;
    srb.SRB_SenseLen = SENSE_LEN;
}

// A command without data: sent, waited for; a time-out aborts it and tells
// the window.
bool TRipEngine::RunNoDataCommand(SRB_ExecSCSICmd& srb, void* event) {
    srb.SRB_PostProc = event;
    if (!SendSrb(srb) && LoadStatus(srb) == SS_PENDING) srb.SRB_Status = SS_ERR;
    if (!WaitSrb(srb, event, false)) {
        AbortSRB(srb);
        pf_.Post(r_.NotifyWindow, WM_RIP_TIMEOUT, 100, 0);
        return false;
    }
    return true;
}

bool TRipEngine::Rezero(void* event) {
    SRB_ExecSCSICmd srb;
    AddressDrive(srb, SRB_EVENT_NOTIFY);
    srb.SRB_CDBLen = 6;
    srb.CDBByte[0] = 0x01;
    return RunNoDataCommand(srb, event);
}

bool TRipEngine::Seek(std::int32_t lba, void* event) {
    SRB_ExecSCSICmd srb;
    AddressDrive(srb, SRB_EVENT_NOTIFY);
    srb.SRB_CDBLen = 10;
    srb.CDBByte[0] = 0x2B;
    PutBE32(srb.CDBByte + 2, std::uint32_t(std::max(0, lba)));
    return RunNoDataCommand(srb, event);
}

// One sector of a silence search into slot 0; false when all tries failed.
bool TRipEngine::ReadOneSectorForSearch(std::int32_t lba, void* event, bool& nonSilent) {
    for (std::int32_t t = 0; t <= std::max(0, r_.MaxRetry); ++t) {
        if (Aborted()) return false;
        SRB_ExecSCSICmd srb;
        std::uint32_t bytes = 0;
        if (!ReadSectors(srb, event, bytes, 1, lba, 0)) continue;
        LastSrb = srb;
        if (!IsGoodRead(srb)) {
            ++ScsiErrors;
            continue;
        }
        PostProcessRead(buf_.Slot[0], 1, 0);
        nonSilent = IsNonSilent(buf_.Slot[0], SectorBytes);
        return true;
    }
    return false;
}

std::int32_t TRipEngine::FindAudioEnd(std::int32_t start, std::int32_t end) {
    void* ev = pf_.NewEvent();
    const std::int32_t savedOverlap = r_.OverlapSectors;
    r_.OverlapSectors = 0;
    std::int32_t result = end;
    bool any = false;
    for (std::int32_t lba = std::max(start, end - 375); lba < end; ++lba) {
        bool nonSilent = false;
        if (!ReadOneSectorForSearch(lba, ev, nonSilent)) {
            any = false;
            break;
        }
        if (nonSilent) {
            result = lba + 1;
            any = true;
        }
    }
    r_.OverlapSectors = savedOverlap;
    pf_.FreeEvent(ev);
    return any ? result : end;
}

std::int32_t TRipEngine::FindAudioStart(std::int32_t start, std::int32_t end) {
    void* ev = pf_.NewEvent();
    const std::int32_t savedOverlap = r_.OverlapSectors;
    r_.OverlapSectors = 0;
    std::int32_t result = start;  // no sound in the range (or a failing sector): keep the start
    for (std::int32_t lba = start; lba < end; ++lba) {
        bool nonSilent = false;
        if (!ReadOneSectorForSearch(lba, ev, nonSilent)) break;
        if (nonSilent) {
            result = lba;
            break;
        }
    }
    r_.OverlapSectors = savedOverlap;
    pf_.FreeEvent(ev);
    return result;
}

void TRipEngine::SilenceTrimming() {
    bool posted = false;
    if (r_.SkipTrailSilence && !Aborted()) {
        PostStatusText(MsgSearchSilence);
        posted = true;
        r_.EndLba = FindAudioEnd(r_.StartLba, r_.EndLba);
        if (!r_.SkipLeadSilence) {
            FindAudioStart(r_.StartLba, r_.EndLba);
            pf_.Sleep(1000);
        }
    }
    if (r_.SkipLeadSilence && !Aborted()) {
        if (!posted) PostStatusText(MsgSearchSilence);
        r_.StartLba = FindAudioStart(r_.StartLba, r_.EndLba);
        pf_.Sleep(1000);
    }
}

// ---------------------------------------------------------------------------
// Block output

bool TRipEngine::WriteBlock(std::uint8_t* block, std::uint32_t length) {
    if (!r_.NoNullAreaCount) nullAreas_.Count(block, length);
    if (r_.VolumePercent != 100 && !r_.Normalize && length <= VolumeBufferBytes) {
        std::memcpy(buf_.VolumeBuffer, block, length);
        block = buf_.VolumeBuffer;
        ApplyVolume(block, r_.VolumePercent, length);
    }
    if (r_.DeEmphasis && !r_.TwoStage) deemph_.Process(block, length);
    blockCounter_ = std::uint8_t((blockCounter_ + 1) & 15);
    if ((blockCounter_ & 1) == 0 && r_.LevelMeter) PostLevel(PeakLevels(block, length));
    if (r_.MonitorOutput && ctx_.MonitorPut) ctx_.MonitorPut(block, length);
    if (writer_) {
        while (!writer_->PutData(block, length)) {
            if (Aborted() || !writer_->Running()) return false;
            writer_->WaitForRoom(length, AbortCheckMs);
        }
        return true;
    }
    if (r_.TwoStage) return storeOpen_ && ctx_.Store->Write(0, block, length);
    if (!ctx_.Output) return false;
    return ctx_.Output->Write(block, length);
}

// ---------------------------------------------------------------------------
// Alignment of overlapped reads

void TRipEngine::BeginAlignment(std::int64_t targetBytes) {
    firstBlock_ = true;
    lastDataOffset_ = 0;
    alignTarget_ = targetBytes;
    aligned_ = 0;
    carry_ = 0;
}

void TRipEngine::AlignRead(int k, std::int32_t e) {
    std::uint8_t* slot = buf_.Slot[k];
    if (firstBlock_ && k == 0) std::memcpy(buf_.KeptTail, slot, TailBytes);
    exact_[k] = true;
    if (r_.OverlapSectors > 0) {
        const std::int32_t shift =
            FindOverlapShift(buf_.KeptTail + HalfTail, slot + HalfTail, HalfTail, std::uint32_t(e + 4), &exact_[k]);
        dataOffset_[k] = std::uint32_t(std::int32_t(HalfTail) + 4 * shift);
    } else {
        dataOffset_[k] = 0;
    }
}

TRipEngine::TPlacedBlock TRipEngine::PlaceBlock(int chosen, std::int32_t f, std::int32_t e) {
    const bool overlap = r_.OverlapSectors > 0;
    std::uint8_t* read = buf_.Slot[chosen];
    std::uint32_t off = dataOffset_[chosen];
    const std::uint32_t blockBytes = std::uint32_t(e) * SectorBytes;
    if (overlap && !firstBlock_) {
        if (!exact_[chosen]) ++InexactPlacements;
        if (IsFeatureless(buf_.KeptTail + HalfTail)) ++BlindPlacements;
    }
    // The part of the read that is new: without overlap the whole read;
    // with it, from the data offset (on the first block from the start of
    // the stream) to the end of sector F + e - 1 as this read sees it.
    std::uint32_t begin = 0, end = blockBytes, split = 0;
    if (overlap) {
        if (firstBlock_) off = off >= HalfTail ? off - HalfTail : 0;
        begin = off;
        end = std::uint32_t(e + 2) * SectorBytes;
        // The last block may fill the end of the range from the 2 sectors
        // it carries past it.
        if (f + e >= r_.EndLba) end = std::uint32_t(e + 4) * SectorBytes;
        if (!firstBlock_ && e > 2) split = std::uint32_t(e - 2) * SectorBytes;
    }
    if (off != lastDataOffset_) {
        ++JitterCorrections;
        lastDataOffset_ = off;
    }
    // A read that landed far enough ahead holds nothing new (its data offset
    // lies past its end): what it owes moves on to the next block, never a
    // negative length.
    const std::int64_t from = std::int64_t(begin) + carry_;
    std::int64_t length = std::max<std::int64_t>(0, std::int64_t(end) - from);
    // The end of the stream is cut where it falls, whatever the shift of the
    // last read.
    if (overlap) length = std::min(length, std::max<std::int64_t>(0, alignTarget_ - aligned_));
    // The next block goes on from the end of sector F + e - 1 as this read
    // saw it: what was written past that (or skipped, when nothing was new)
    // it leaves out.
    const std::int64_t chainEnd = overlap ? std::int64_t(e + 2) * SectorBytes : blockBytes;
    carry_ = std::uint32_t(std::max<std::int64_t>(0, from + length - chainEnd));
    // Bytes past what the drive delivered (a read cut at the last readable
    // sector) are zeros of our own; where the reads drifted earlier they
    // stand for audio not read.  (A range that itself runs past the last
    // readable sector reads as zeros there, as plain reads do.)
    if (overlap && length > 0 && r_.EndLba <= r_.LastReadableLba + 1 &&
        from + length > std::int64_t(readSectors_[chosen]) * SectorBytes)
        ++InexactPlacements;
    TPlacedBlock b;
    b.Data = read + from;
    b.Length = std::uint32_t(length);
    b.Split = split;
    aligned_ += length;
    if (firstBlock_) {
        firstBlock_ = false;
        if (overlap) lastDataOffset_ += HalfTail;
    }
    if (overlap) std::memcpy(buf_.KeptTail, read + std::size_t(e) * SectorBytes, TailBytes);
    return b;
}

// ---------------------------------------------------------------------------
// The thread body

void TRipEngine::Execute() {
    // Whatever goes wrong inside, the window hears of the end exactly once,
    // with a result that says so, and the output is not left open.
    try {
        if (!buf_.Ready()) {
            // Reading through slots that were never reserved would write
            // anywhere: nothing is read.
            Fail();
            Finish();
            return;
        }
        Run();
    } catch (...) {
        FinishAfterFault();
    }
    if (!donePosted_) FinishAfterFault();
}

void TRipEngine::Run() {
    if (r_.BenchmarkBytes >= 1) {
        if (ctx_.Methods) {
            ctx_.Methods->Benchmark(*this);
        } else {
            Fail();
            Finish();
        }
        return;
    }
    nullAreas_.Reset();
    deemph_.Reset();
    event_ = pf_.NewEvent();
    r_.ResultClass = rrOK;
    Retries = 0;
    lastPercent_ = -1;
    if (r_.LevelMeter) PostLevel(0);
    if (r_.UseMscdex && r_.StartLba < 150) {
        std::int32_t p = pf_.MscdexSearchStartPoint(r_.StartLba);
        if (p != -1) {
            r_.StartLba = p;
            if (r_.EndLba < p) r_.EndLba = p;
        }
        pf_.Sleep(2000);
    }
    if (r_.ReadCommand == 9 && r_.SpinUp && !r_.UseMscdex) {
        SRB_ExecSCSICmd srb;
        std::uint32_t bytes = 0;
        const std::int32_t saved = r_.OverlapSectors;
        r_.OverlapSectors = 0;
        ReadSectors(srb, event_, bytes, 1, r_.StartLba, 0);
        r_.OverlapSectors = saved;
        pf_.Sleep(1000);
    }
    if (r_.DigitalPlay) {
        pf_.FreeEvent(event_);
        event_ = nullptr;
        if (ctx_.Methods) {
            ctx_.Methods->DigitalPlay(*this);
        } else {
            Fail();
            Finish();
        }
        return;
    }
    if (r_.MonitorOutput && ctx_.MonitorReset) ctx_.MonitorReset();
    SilenceTrimming();
    if (r_.TwoPass || r_.BurstRead) {
        pf_.FreeEvent(event_);
        event_ = nullptr;
        if (ctx_.Methods) {
            if (r_.TwoPass)
                ctx_.Methods->TwoPass(*this);
            else
                ctx_.Methods->Burst(*this);
        } else {
            // These read methods are not available in this build: say so
            // in the result instead of ripping another way.
            Fail();
            Finish();
        }
        return;
    }
    PlainRead();
}

void TRipEngine::PlainRead() {
    bool ranToEnd = false;
    // A range too short for the overlapped reads (which start 2 sectors in)
    // is read plainly, so that it is not lost.
    if (r_.OverlapSectors > 0 && r_.EndLba - r_.StartLba < 3) r_.OverlapSectors = 0;
    const bool overlap = r_.OverlapSectors > 0;
    // A rip of N sectors delivers exactly N sectors of PCM, however the
    // drive's reads were shifted.
    const std::int64_t target = std::max<std::int64_t>(0, std::int64_t(r_.EndLba) - r_.StartLba) * SectorBytes;
    if (overlap) {
        if (r_.SectorsPerRead <= 4) r_.SectorsPerRead = 5;
        r_.SectorsPerRead -= 4;
        r_.StartLba += 2;
    }
    if (r_.TwoStage) {
        storeOpen_ = ctx_.Store && ctx_.Store->Open(r_.WorkFolder + "wendri_pass0.$$$");
        if (!storeOpen_) {
            Retries = 10;
            Fail();
            Finish();
            return;
        }
    }
    if (useWriteThread_ && ctx_.Output) {
        std::uint32_t usable = 0;
        if (ctx_.RipCacheSize / SectorBytes > 10) usable = (ctx_.RipCacheSize / SectorBytes - 10) * SectorBytes;
        try {
            writer_ = std::make_unique<TWaveWriteThread>(pf_, *ctx_.Output, usable, ctx_.RipCache);
            writer_->Start();
        } catch (...) {
            // No ring, or no thread for it: the blocks are written directly.
            writer_.reset();
            useWriteThread_ = false;
        }
    }
    PostPhase(RipPhaseReading);
    PostStatusText(MsgReading);

    const std::int64_t range = std::max<std::int64_t>(1, std::int64_t(r_.EndLba) - r_.StartLba);
    std::int32_t done = 0;
    std::int32_t extraBlocks = 0;  // blocks read past the range to fill its end
    int k = 0;                     // read index of the block
    BeginAlignment(target);
    for (;;) {
        const std::int32_t f = r_.StartLba + done;
        std::int32_t e = std::min(r_.SectorsPerRead, r_.EndLba - f);
        if (overlap && aligned_ >= target) {
            ranToEnd = true;
            break;
        }
        if (f >= r_.EndLba) {
            if (!overlap) {
                ranToEnd = true;
                break;
            }
            // The reads landed earlier than the first one by more than the
            // 2 sectors the last read carries past the range: read on.
            if (extraBlocks >= MaxFillBlocks) break;
            ++extraBlocks;
            e = std::int32_t(std::min<std::int64_t>(r_.SectorsPerRead, (target - aligned_) / SectorBytes + 1));
        }
        if (Aborted()) break;
        if (e <= 0) break;
        std::int32_t percent = std::int32_t(std::min<std::int64_t>(100, std::int64_t(done) * 100 / range));
        if (percent != lastPercent_) {
            PostProgress(percent);
            lastPercent_ = percent;
            if (r_.UseMscdex) pf_.Sleep(50);
        }
        // One read attempt.
        if (r_.SeekEachRead && !Seek(overlap ? f - 2 : f, event_)) {
            Fail();
            break;
        }
        SRB_ExecSCSICmd srb;
        std::uint32_t dataBytes = 0;
        if (!ReadSectors(srb, event_, dataBytes, e, f, k)) {
            LastSrb = srb;
            Fail();
            break;
        }
        LastSrb = srb;
        if (!IsGoodRead(srb)) {
            ++Retries;
            ++ScsiErrors;
        } else {
            Retries = 0;
            PostProcessRead(buf_.Slot[k], e, r_.OverlapSectors);
            AlignRead(k, e);
            const std::uint32_t blockBytes = std::uint32_t(e) * SectorBytes;
            int chosen = -1;
            if (!r_.VerifyRead) {
                chosen = 0;
            } else if (k == 0) {
                k = 1;
            } else if (k == 1) {
                if (CountDiffWords(buf_.Slot[0] + dataOffset_[0], buf_.Slot[1] + dataOffset_[1], blockBytes) == 0) {
                    chosen = 0;
                } else {
                    ++VerifyRereads;
                    k = 2;
                }
            } else if (k < 4) {
                ++k;
            } else {
                std::uint8_t* reads[5];
                for (int i = 0; i < 5; ++i) reads[i] = buf_.Slot[i] + dataOffset_[i];
                TVoteResult v = VoteReads(reads, blockBytes);
                if (v.agreed) ++ScsiErrors;
                if (v.averaged) ++AverageCorrections;
                chosen = v.chosen;
            }
            if (chosen >= 0) {
                k = 0;
                const TPlacedBlock b = PlaceBlock(chosen, f, e);
                bool ok = true;
                if (b.Length > 0) {
                    const std::uint32_t first = b.Split ? std::min(b.Length, b.Split) : b.Length;
                    ok = WriteBlock(b.Data, first);
                    if (ok && first < b.Length) ok = WriteBlock(b.Data + first, b.Length - first);
                }
                done += e;
                if (!ok) {
                    outputFailed_ = true;
                    break;
                }
            }
        }
        if (r_.UseReadWait) pf_.Sleep(std::uint32_t(std::max(0, r_.ReadWaitMs)));
        if (Retries > r_.MaxRetry) break;
    }
    if (overlap && !ranToEnd && extraBlocks >= MaxFillBlocks && !outputFailed_ && aligned_ < target) {
        // Still short after reading on: the end is filled with silence so
        // that the length holds, and the rip is not reported clean.
        ++InexactPlacements;
        std::vector<std::uint8_t> zeros(std::size_t(target - aligned_), 0);
        if (WriteBlock(zeros.data(), std::uint32_t(zeros.size())))
            ranToEnd = true;
        else
            outputFailed_ = true;
    }
    if (r_.LevelMeter) PostLevel(0);
    // An abort, a stop on retries or a failed delivery leaves the output
    // incomplete: never reported as a good rip.
    if (!ranToEnd) Fail();
    if (r_.TwoStage && storeOpen_ && ctx_.Store->Size(0) > 0) TwoStageConversion();
    Finish();
}

bool TRipContext::StartNormalize(const TTransferRecord& r, const std::string& name, bool raw, std::int64_t& level,
                                 std::int64_t& factor) const {
    if (!Normalizer) return false;
    const int mode = NormalizeModeOf ? NormalizeModeOf(r.NormalizePercentile, r.ClipRestore) : 0;
    const std::int64_t target = std::int64_t(r.NormalizeTarget) * 32767 / 10000;
    if (Normalizer->Analyze(name, raw, r.NormalizeMode != 0, level, factor, target, mode) &&
        Normalizer->BeginApply(name, r.NormalizePercentile))
        return true;
    // Nothing of a failed start is kept: its source closed, its tables freed.
    Normalizer->End();
    return false;
}

void TRipEngine::TwoStageConversion() {
    ITempStore& store = *ctx_.Store;
    if (!store.Reopen()) {
        Fail();
        store.CloseAll();
        return;
    }
    pf_.Sleep(500);
    bool scaled = false;
    std::int64_t level = 0, factor = 10000;
    if (r_.Normalize) {
        if (ctx_.StartNormalize(r_, "", false, level, factor)) {
            scaled = true;
        } else {
            // The analysis failed: the audio is written unscaled and the
            // result says the request was not carried out.
            Fail();
        }
    }
    store.SetReadPos(0, 0);
    PostPhase(RipPhaseConverting);
    PostStatusText(MsgConverting);
    lastPercent_ = -1;
    const std::uint64_t total = std::uint64_t(std::max<std::int64_t>(0, store.Size(0)));
    std::uint64_t remaining = total;
    std::vector<std::uint8_t> chunk(TWaveWriteThread::PieceBytes);
    while (remaining > 0 && !Aborted()) {
        std::int32_t percent = std::int32_t(100 - remaining * 100 / (total ? total : 1));
        if (percent != lastPercent_) {
            PostProgress(percent);
            lastPercent_ = percent;
        }
        std::uint32_t n = std::uint32_t(std::min<std::uint64_t>(remaining, chunk.size()));
        bool ok = (scaled ? ctx_.Normalizer->ReadScaled(factor, chunk.data(), n) : store.Read(0, chunk.data(), n)) == n;
        if (!ok) {
            Fail();
            break;
        }
        if (r_.DeEmphasis) deemph_.Process(chunk.data(), n);
        if (!ctx_.Output || !ctx_.Output->Write(chunk.data(), n)) {
            outputFailed_ = true;
            Fail();
            break;
        }
        remaining -= n;
        pf_.Sleep(1);
    }
    if (remaining > 0) Fail();
    PostProgress(100);
    if (scaled) ctx_.Normalizer->End();
    store.CloseAll();
}

void TRipEngine::EndWriter(bool keep) {
    writer_->KeepOutput(keep);
    writer_->PutData(nullptr, 0);
    while (writer_->Running() && !writer_->Terminated()) {
        if (Aborted()) writer_->Terminate();
        writer_->WaitUntilStopped(AbortCheckMs);
    }
    writer_->WaitFor();
    if (writer_->Failed()) outputFailed_ = true;
    writer_.reset();
}

namespace {
std::string ErrorOf(const IRipOutput* o) { return o ? o->ErrorText() : std::string(); }
}  // namespace

void TRipEngine::FillResult() {
    TTransferRecord& res = *result_;
    res.ScsiErrors = ScsiErrors;
    res.AverageCorrections = AverageCorrections;
    res.JitterCorrections = JitterCorrections;
    res.VerifyRereads = VerifyRereads;
    res.NullAreas = NullAreas();
    res.RetryCount = Retries;
    res.LastSrb = LastSrb;
    if (Retries > r_.MaxRetry) r_.ResultClass = rrNG;
    if (outputFailed_) r_.ResultClass = rrNG;
    res.OutputError = outputFailed_ ? (outputError_.empty() ? std::string(MsgWriteErrorStop) : outputError_) : "";
    // A block placed on a guess (no exact overlap match), or on silence
    // while the drive was seen to jitter, may hold a gap or a repeat: the
    // output is complete but suspect.
    if (r_.ResultClass == rrOK && (InexactPlacements > 0 || (BlindPlacements > 0 && JitterCorrections > 0)))
        r_.ResultClass = rrS1;
    res.ResultClass = r_.ResultClass;
}

bool TRipEngine::CloseOutput() {
    if (outputClosed_) return !outputFailed_;
    outputClosed_ = true;
    // A request not carried out leaves no file under the output's name.
    const bool keep = r_.ResultClass != rrNG && !outputFailed_;
    if (writer_) {
        EndWriter(keep);  // the writer ends the output itself
    } else if (ctx_.Output) {
        if (!keep)
            ctx_.Output->Discard();
        else if (!ctx_.Output->Close())
            outputFailed_ = true;
    }
    if (outputFailed_ && outputError_.empty()) outputError_ = ErrorOf(ctx_.Output);
    return !outputFailed_;
}

void TRipEngine::PostDone() {
    donePosted_ = true;
    pf_.Post(r_.NotifyWindow, WM_RIP_DONE, 0, reinterpret_cast<std::intptr_t>(result_.release()));
    if (event_) {
        pf_.FreeEvent(event_);
        event_ = nullptr;
    }
}

void TRipEngine::Finish() {
    if (donePosted_) return;
    PostStatusText(MsgFinishing);
    CloseOutput();
    if (r_.UseExternalEncoder && !r_.DigitalPlay && r_.BenchmarkBytes == 0) {
        // Only a work file that was finished is encoded.
        if (r_.ResultClass != rrNG) {
            const bool made = ctx_.ExternalEncoder && ctx_.ExternalEncoder(*this);
            if (!made) {
                Fail();
                if (!Aborted()) outputFailed_ = true;
            }
        }
        DeleteWorkFile("wendri_pass0.wav");
    }
    PostStatusText(MsgReadDone);
    FillResult();
    if (!r_.UseAspi) pf_.CloseRipDevice();
    PostDone();
}

void TRipEngine::FinishOnWriteError() {
    if (donePosted_) return;
    PostStatusText(MsgWriteErrorStop);
    Fail();
    if (!outputFailed_) {
        outputFailed_ = true;
        outputError_ = ErrorOf(ctx_.Output);
    }
    CloseOutput();
    FillResult();
    if (!r_.UseAspi) pf_.CloseRipDevice();
    PostDone();
}

void TRipEngine::FinishAfterFault() {
    if (donePosted_) return;
    Fail();
    outputFailed_ = true;
    // Each step on its own: one that fails must not keep the others, and
    // above all the message, from happening.
    if (!outputClosed_) {
        outputClosed_ = true;
        if (writer_) {
            try {
                writer_->Terminate();
                writer_->WaitFor();
            } catch (...) {
            }
            writer_.reset();
        } else if (ctx_.Output) {
            try {
                ctx_.Output->Discard();
            } catch (...) {
            }
        }
    }
    if (storeOpen_ && ctx_.Store) {
        storeOpen_ = false;
        try {
            ctx_.Store->CloseAll();
        } catch (...) {
        }
    }
    FillResult();
    if (!r_.UseAspi) {
        try {
            pf_.CloseRipDevice();
        } catch (...) {
        }
    }
    try {
        PostDone();
    } catch (...) {
        // The message could not be posted: nothing is left to tell.
    }
}

}  // namespace wx
