#include "extraction/burst.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "extraction/ripsample.h"
#include "extraction/twopass.h"

namespace wx {

const char* const BurstRunFiles[2] = {"wendri_pass0.$$$", "wendri_pass1.$$$"};

namespace {

constexpr std::uint32_t WaitMs = 10000;
constexpr std::uint32_t PieceBytes = 47040;     // 20 sectors
constexpr std::uint32_t ComparePiece = 117600;  // 50 sectors
constexpr std::uint32_t HalfTail = 2 * SectorBytes;
constexpr std::uint32_t AlignBytes = 5 * SectorBytes;
// The fewest sectors the carried block holds: the alignment reads half of
// it before the sector it compares.
constexpr std::int32_t MinCarried = 2;
// The last range reads this many sectors past the end, so that the output
// still reaches the end when the seams moved the stream on.
constexpr std::int32_t EndMargin = 2;

inline std::uint8_t Status(const SRB_ExecSCSICmd& srb) { return __atomic_load_n(&srb.SRB_Status, __ATOMIC_ACQUIRE); }

std::string Format1(const char* f, int a) {
    char b[128];
    std::snprintf(b, sizeof b, f, a);
    return b;
}

// The requests of one burst: their records live on the heap so that a
// request the drive never lets go of can be left to it.
struct TRequest {
    SRB_ExecSCSICmd Srb{};
    std::int32_t Lba = 0;
    std::int32_t Count = 0;
    bool InFlight = false;
};

class TRequestSet {
public:
    TRequestSet(TRipEngine& e, IRipPlatform& pf) : e_(e), pf_(pf) {
        req_.reset(new TRequest[BurstRequests]);
        for (auto& ev : events_) ev = pf_.NewManualEvent();
    }
    ~TRequestSet() {
        AbandonAll();
        if (stuck_) {
            // A request never ended: its record and its events stay its own.
            (void)req_.release();
            return;
        }
        for (auto* ev : events_) pf_.FreeEvent(ev);
    }
    TRequestSet(const TRequestSet&) = delete;
    TRequestSet& operator=(const TRequestSet&) = delete;

    TRequest& operator[](int k) { return req_[k]; }
    void* Event(int k) const { return events_[k]; }
    void* const* Events() const { return events_; }
    int InFlight() const {
        int n = 0;
        for (int k = 0; k < BurstRequests; ++k) n += req_[k].InFlight ? 1 : 0;
        return n;
    }
    // Builds and sends request k for `count` sectors at `lba` into read
    // slot k.  A request wholly past the last readable sector is not sent:
    // it ends at once with zeros, as plain reads give.
    void Issue(int k, std::int32_t lba, std::int32_t count, std::uint8_t* buffer) {
        TRequest& q = req_[k];
        q.Lba = lba;
        q.Count = count;
        q.InFlight = true;
        if (!e_.BuildReadRequest(lba, count, q.Srb, buffer)) {
            q.Srb.SRB_TargStat = STATUS_GOOD;
            __atomic_store_n(&q.Srb.SRB_Status, SS_COMP, __ATOMIC_RELEASE);
            pf_.SignalEvent(events_[k]);
            return;
        }
        e_.SendAsync(k, q.Srb, events_[k]);
    }
    // Waits for any request in flight: its index, or -1 on the time-out.
    // An ASPI request already ended is taken without its signal.
    int WaitAny(std::uint32_t ms) {
        for (;;) {
            if (e_.Request().UseAspi)
                for (int k = 0; k < BurstRequests; ++k)
                    if (req_[k].InFlight && Status(req_[k].Srb) != SS_PENDING) {
                        pf_.ClearEvent(events_[k]);
                        return k;
                    }
            const int w = pf_.WaitAnyEvent(events_, BurstRequests, ms);
            if (w < 0) return -1;
            if (!req_[w].InFlight) {
                pf_.ClearEvent(events_[w]);
                continue;
            }
            // An ASPI request is ended by its status; its signal may come
            // before the status is written.
            if (e_.Request().UseAspi && Status(req_[w].Srb) == SS_PENDING) continue;
            pf_.ClearEvent(events_[w]);
            return w;
        }
    }
    // Gives up every request in flight; the read slots of those that never
    // let go get new blocks.
    void AbandonAll() {
        for (int k = 0; k < BurstRequests; ++k) {
            TRequest& q = req_[k];
            if (!q.InFlight) continue;
            q.InFlight = false;
            if (Status(q.Srb) != SS_PENDING && e_.Request().UseAspi) continue;
            if (!e_.AbandonAsync(k, q.Srb, events_[k])) {
                stuck_ = true;
                AbandonReadSlot(*e_.Context().Buffers, k);
            }
        }
    }

private:
    TRipEngine& e_;
    IRipPlatform& pf_;
    std::unique_ptr<TRequest[]> req_;
    void* events_[BurstRequests] = {};
    bool stuck_ = false;
};

struct TFailedRequest {
    std::int32_t Lba = 0;
    std::int32_t Count = 0;
};

class TBurst {
public:
    TBurst(TRipEngine& e, ITempFiles& files)
        : e_(e), r_(e.Request()), pf_(*e.Context().Platform), files_(files), buf_(*e.Context().Buffers) {}
    // A read that ended on an exception leaves no run file and no
    // normalizer source behind (the requests free their own events).
    ~TBurst() {
        try {
            if (!runFilesDeleted_) {
                if (r_.Normalize && e_.Context().Normalizer) e_.Context().Normalizer->End();
                DeleteRunFiles();
            }
        } catch (...) {
        }
    }
    TBurst(const TBurst&) = delete;
    TBurst& operator=(const TBurst&) = delete;
    void Run();

private:
    std::int32_t ReadRange(std::int32_t offset, std::uint64_t memory);
    bool Reread(const std::vector<TFailedRequest>& failed, std::int32_t rangeStart, void* event);
    int ReadOnce(std::unique_ptr<SRB_ExecSCSICmd>& srb, std::int32_t lba, std::int32_t count, void* event);
    bool CheckReads(std::int32_t rangeStart, std::int32_t rangeEnd, void* event);
    std::int32_t Align(const std::uint8_t* first, const std::uint8_t* again, std::int32_t sectors);
    bool WriteOut(std::int32_t rangeStart, std::int32_t rangeEnd, std::int32_t readEnd);
    bool Deliver(std::uint8_t* data, std::uint32_t length);
    void CompareRunFiles();
    void WriteFile(int run, bool normalize);
    bool Aborted() { return e_.Aborted(); }
    std::string Work(int run) const { return r_.WorkFolder + BurstRunFiles[run]; }
    void DeleteRunFiles();
    void WriteErrorEnd();
    void Progress(std::int64_t done, std::int64_t total) {
        const std::int32_t pc = std::int32_t(std::clamp<std::int64_t>(total > 0 ? done * 100 / total : 100, 0, 100));
        if (pc != lastPercent_) {
            lastPercent_ = pc;
            e_.PostProgress(pc);
        }
    }

    TRipEngine& e_;
    TTransferRecord& r_;
    IRipPlatform& pf_;
    ITempFiles& files_;
    TRipBuffers& buf_;
    std::int32_t p_ = 1;
    std::int32_t sectorSize_ = SectorBytes;
    std::uint8_t* cache_ = nullptr;
    std::uint64_t share_ = 0;
    std::int32_t carried_ = 0;
    std::vector<std::uint8_t> carry_;
    std::vector<std::uint8_t> work_;
    std::int32_t lastPercent_ = -1;
    std::uint8_t blockCounter_ = 0;
    int run_ = 0;
    bool toFile_ = false;
    std::unique_ptr<ITempFile> runFile_[2];
    std::uint64_t runBytes_[2] = {};
    // The range's length in bytes, and what the current run delivered of it.
    std::uint64_t target_ = 0;
    std::uint64_t delivered_ = 0;
    bool runWhole_[2] = {};
    TNullAreaCounter null_[2];
    int chosen_ = 0;
    TDeemphasis deemph_;
    bool writeError_ = false;
    // Requests whose data stayed as the drive delivered it after failing.
    std::int64_t unrepaired_ = 0;
    bool runFilesDeleted_ = false;
};

void TBurst::Run() {
    r_.ResultClass = rrOK;
    if (r_.SkipLeadSilence && !Aborted()) {
        r_.StartLba = e_.FindAudioStart(r_.StartLba, r_.EndLba);
        pf_.Sleep(1000);
    }
    r_.OverlapSectors = 0;
    p_ = r_.SectorsPerRead;
    sectorSize_ = r_.ReadCommand == 1 ? std::int32_t(SubcodeSectorBytes) : std::int32_t(SectorBytes);
    chosen_ = 0;
    e_.PostPhase(RipPhaseReading);
    deemph_.Reset();
    toFile_ = r_.VerifyRead || r_.Normalize;
    carry_.assign(std::size_t(MaxSectorsPerRead) * SectorBytes, 0);
    work_.assign(PieceBytes, 0);

    // The usable part of the rip memory block: whole sectors, ten fewer
    // than it holds.  A range must move on by more than it carries.
    cache_ = e_.Context().RipCache;
    const std::uint64_t sectors = cache_ ? e_.Context().RipCacheSize / SectorBytes : 0;
    share_ = sectors > 10 ? (sectors - 10) * SectorBytes : 0;
    const std::uint64_t minimum = std::uint64_t(2 * p_ + 4) * SectorBytes;
    bool failed = share_ < minimum || r_.EndLba <= r_.StartLba;

    // The first range is made shorter when the last would be tiny.
    std::uint64_t first = share_;
    {
        const std::int64_t track = (std::int64_t(r_.EndLba) - r_.StartLba + 5) * SectorBytes;
        const std::int64_t m = std::int64_t(share_), pb = std::int64_t(p_) * SectorBytes;
        if (!failed && track > m && m > pb && (track % (m - pb)) - pb < 2 * pb &&
            std::uint64_t(m - 2 * pb) >= minimum)
            first = std::uint64_t(m - 2 * pb);
    }

    target_ = std::uint64_t(std::max(0, r_.EndLba - r_.StartLba)) * SectorBytes;
    const int runs = r_.VerifyRead ? 2 : 1;
    for (run_ = 0; run_ < runs && !failed && !Aborted(); ++run_) {
        null_[run_].Reset();
        runBytes_[run_] = 0;
        delivered_ = 0;
        if (toFile_) {
            runFile_[run_] = files_.Create(Work(run_));
            if (!runFile_[run_]) {
                failed = true;
                break;
            }
        }
        e_.PostStatusText(r_.VerifyRead ? Format1(MsgBurstRunReading, run_ + 1) : std::string(MsgReading));
        carried_ = 0;
        lastPercent_ = -1;
        std::int32_t offset = 0;
        std::uint64_t memory = first;
        for (;;) {
            const std::int32_t next = ReadRange(offset, memory);
            if (next < 0) {
                failed = true;
                break;
            }
            if (Aborted()) break;
            if (next + carried_ >= r_.EndLba) {
                runWhole_[run_] = true;
                break;
            }
            offset = next - r_.StartLba;
            memory = share_;
            pf_.Sleep(1500);
        }
        if (writeError_) return;
        if (runFile_[run_] && !runFile_[run_]->Flush()) {
            WriteErrorEnd();
            return;
        }
    }
    if (failed || Aborted()) r_.ResultClass = rrNG;

    if (!failed && !Aborted()) {
        if (r_.VerifyRead) {
            CompareRunFiles();
        } else if (r_.Normalize) {
            WriteFile(0, true);
        }
        if (writeError_) return;
    }
    if (unrepaired_ > 0) r_.ResultClass = rrNG;
    if (r_.LevelMeter) e_.PostLevel(0);
    DeleteRunFiles();
    e_.NullAreaCounter() = null_[chosen_];
    e_.Finish();
}

// One range: the requests in flight, the failed ones read again, the range
// written out and its last request carried.  The LBA where the next range
// starts, or -1 on a failure or an abort.
std::int32_t TBurst::ReadRange(std::int32_t offset, std::uint64_t memory) {
    if (r_.MonitorOutput && e_.Context().MonitorReset) e_.Context().MonitorReset();
    e_.PostPhase(RipPhaseReading);
    const std::int32_t rangeStart = r_.StartLba + offset;
    const std::int32_t rangeEnd =
        std::int32_t(std::min<std::int64_t>(std::int64_t(rangeStart) + std::int64_t(memory / SectorBytes) - 1, r_.EndLba));
    // The store keeps ten sectors spare: room for the margin.
    const std::int32_t readEnd =
        rangeEnd >= r_.EndLba ? std::max(rangeEnd, std::min(r_.EndLba + EndMargin, r_.LastReadableLba + 1)) : rangeEnd;
    const std::int64_t span = std::max<std::int64_t>(1, std::int64_t(r_.EndLba) - r_.StartLba);

    TRequestSet q(e_, pf_);
    std::int32_t next = rangeStart;
    std::int32_t lastCount = 0;  // sectors of the request with the highest LBA
    auto issue = [&](int k) {
        const std::int32_t j = std::min(p_, readEnd - next);
        if (j <= 0 || Aborted()) return false;
        q.Issue(k, next, j, buf_.Slot[k]);
        next += j;
        lastCount = j;
        return true;
    };
    for (int k = 0; k < BurstRequests; ++k) issue(k);
    if (q.InFlight() == 0) return -1;

    std::vector<TFailedRequest> failedList;
    std::int64_t failedTotal = 0;
    int consecutive = 0;
    bool previousFailed = false;
    bool failed = false;
    while (q.InFlight() > 0) {
        Progress(std::int64_t(next) - r_.StartLba, span);
        const int w = q.WaitAny(WaitMs);
        if (w < 0) {
            // Nothing ended for 10 s: every request is given up and the
            // range fails.
            pf_.Post(r_.NotifyWindow, WM_RIP_TIMEOUT, 100, 0);
            q.AbandonAll();
            failed = true;
            break;
        }
        TRequest& t = q[w];
        t.InFlight = false;
        e_.CompleteAsync(w, t.Srb);
        e_.LastSrb = t.Srb;
        std::uint8_t* data = buf_.Slot[w];
        if (!e_.IsGoodRead(t.Srb)) {
            ++e_.ScsiErrors;
            ++failedTotal;
            if (failedList.size() < std::size_t(MaxFailedRequests)) failedList.push_back({t.Lba, t.Count});
            else unrepaired_ += t.Count;
            if (previousFailed && ++consecutive > r_.MaxRetry) {
                q.AbandonAll();
                failed = true;
                break;
            }
            previousFailed = true;
        } else {
            consecutive = 0;
            previousFailed = false;
        }
        const std::uint32_t bytes = std::uint32_t(t.Count) * SectorBytes;
        e_.PostProcessRead(data, t.Count, 0);
        blockCounter_ = std::uint8_t((blockCounter_ + 1) & 15);
        if ((blockCounter_ & 1) == 0 && r_.LevelMeter) e_.PostLevel(PeakLevels(data, bytes));
        if (r_.MonitorOutput && e_.Context().MonitorPut) e_.Context().MonitorPut(data, bytes);
        // Stored where its sectors belong, whatever order the drive ends
        // the requests in.
        std::memcpy(cache_ + std::size_t(t.Lba - rangeStart) * SectorBytes, data, bytes);
        issue(w);
    }
    if (r_.LevelMeter) e_.PostLevel(0);

    if (!failed && !Aborted() && !failedList.empty()) {
        if (r_.RereadFailed) {
            failed = !Reread(failedList, rangeStart, q.Event(0));
        } else {
            for (const auto& f : failedList) unrepaired_ += f.Count;
        }
    }
    (void)failedTotal;
    if (failed || Aborted()) return -1;
    // Requests follow each other without overlap: only a block read twice
    // shows whether the drive places its reads alike.  The seams of the
    // ranges do; a run that had none (or none that moved) reads the first
    // and the last request of its last range again.
    if (rangeEnd >= r_.EndLba && e_.InexactPlacements == 0 && e_.JitterCorrections == 0 &&
        !CheckReads(rangeStart, rangeEnd, q.Event(0)))
        return -1;

    if (!WriteOut(rangeStart, rangeEnd, readEnd)) return -1;

    // The request with the highest LBA is read again at the start of the
    // next range, which is aligned on it; never fewer than two sectors.
    std::int32_t c = std::max(lastCount, MinCarried);
    c = std::min(c, rangeEnd - rangeStart);
    if (rangeEnd >= r_.EndLba || c < MinCarried) {
        carried_ = 0;
        return rangeEnd;
    }
    std::memcpy(carry_.data(), cache_ + std::size_t(rangeEnd - c - rangeStart) * SectorBytes,
                std::size_t(c) * SectorBytes);
    carried_ = c;
    return rangeEnd - c;
}

// One read into read slot 0: 1 when it is good (or lies past the last
// readable sector and is zeros), 0 when it failed, -1 when the drive did
// not end it (the request is given up).
int TBurst::ReadOnce(std::unique_ptr<SRB_ExecSCSICmd>& srb, std::int32_t lba, std::int32_t count, void* event) {
    std::uint8_t* data = buf_.Slot[0];
    if (!e_.BuildReadRequest(lba, count, *srb, data)) return 1;
    e_.SendAsync(0, *srb, event);
    void* one[1] = {event};
    bool ended = (r_.UseAspi && Status(*srb) != SS_PENDING) || pf_.WaitAnyEvent(one, 1, WaitMs) >= 0;
    if (ended && r_.UseAspi && Status(*srb) == SS_PENDING) {
        // An ASPI request is ended by its status; its signal may come
        // before the status is written.
        const std::uint32_t start = pf_.TickCount();
        while (Status(*srb) == SS_PENDING && pf_.TickCount() - start < WaitMs) pf_.Sleep(1);
        ended = Status(*srb) != SS_PENDING;
    }
    if (!ended) {
        pf_.Post(r_.NotifyWindow, WM_RIP_TIMEOUT, 100, 0);
        if (!e_.AbandonAsync(0, *srb, event)) {
            (void)srb.release();  // the drive keeps it
            AbandonReadSlot(buf_, 0);
        }
        return -1;
    }
    e_.CompleteAsync(0, *srb);
    e_.LastSrb = *srb;
    return e_.IsGoodRead(*srb) ? 1 : 0;
}

// Each failed request read again into read slot 0 until good; false when
// one stays bad past MaxRetry or times out.
bool TBurst::Reread(const std::vector<TFailedRequest>& failed, std::int32_t rangeStart, void* event) {
    std::unique_ptr<SRB_ExecSCSICmd> srb(new SRB_ExecSCSICmd{});
    for (const auto& f : failed) {
        int tries = 0;
        for (;;) {
            if (Aborted()) return false;
            const int got = ReadOnce(srb, f.Lba, f.Count, event);
            if (got < 0) return false;
            if (got > 0) {
                e_.PostProcessRead(buf_.Slot[0], f.Count, 0);
                std::memcpy(cache_ + std::size_t(f.Lba - rangeStart) * SectorBytes, buf_.Slot[0],
                            std::size_t(f.Count) * SectorBytes);
                break;
            }
            ++e_.ScsiErrors;
            if (++tries > r_.MaxRetry) return false;
        }
    }
    return true;
}

// The first and the last request of the range read once more and aligned
// on what the range holds; a read that fails shows nothing.  false when the
// drive did not end one.
bool TBurst::CheckReads(std::int32_t rangeStart, std::int32_t rangeEnd, void* event) {
    const std::int32_t c = std::min(std::max(p_, MinCarried), rangeEnd - rangeStart);
    if (c < MinCarried) return true;
    std::unique_ptr<SRB_ExecSCSICmd> srb(new SRB_ExecSCSICmd{});
    for (const std::int32_t lba : {rangeStart, rangeEnd - c}) {
        if (Aborted()) return true;
        const int got = ReadOnce(srb, lba, c, event);
        if (got < 0) return false;
        if (got == 0) {
            ++e_.ScsiErrors;
            continue;
        }
        e_.PostProcessRead(buf_.Slot[0], c, 0);
        Align(cache_ + std::size_t(lba - rangeStart) * SectorBytes, buf_.Slot[0], c);
        if (lba == rangeEnd - c) break;
    }
    return true;
}

// The shift in frames at which a block read again matches its first read.
// A block that moved, or matched nowhere exactly, means the drive places
// its reads differently: the joins between requests, which nothing aligns,
// may hold a gap or a repeat, and the rip is not OK.  A featureless block
// tells nothing.
std::int32_t TBurst::Align(const std::uint8_t* first, const std::uint8_t* again, std::int32_t sectors) {
    const std::uint32_t v = std::uint32_t(sectors / 2) * SectorBytes;
    bool exact = true;
    const std::int32_t s = FindOverlapShift(first + v, again + v, v, std::uint32_t(sectors), &exact);
    if (IsFeatureless(first + v)) {
        ++e_.BlindPlacements;
    } else if (!exact) {
        ++e_.InexactPlacements;
    } else if (s != 0) {
        ++e_.JitterCorrections;
        ++e_.InexactPlacements;
    }
    return s;
}

// The range from the store: after the carried block (moved by how the
// drive placed it this time) in pieces to the run file or the output, never
// more than the range's length; the last range fills what the stream did
// not reach with silence, and the rip is then not OK.
bool TBurst::WriteOut(std::int32_t rangeStart, std::int32_t rangeEnd, std::int32_t readEnd) {
    e_.PostPhase(RipPhaseConverting);
    e_.PostStatusText(MsgBurstWriting);
    pf_.Sleep(10);
    const std::int64_t total = std::int64_t(readEnd - rangeStart) * SectorBytes;
    std::int64_t pos = 0;
    if (carried_ > 0) {
        const std::int32_t s = Align(carry_.data(), cache_, carried_);
        pos = std::clamp<std::int64_t>(std::int64_t(carried_) * SectorBytes + 4 * std::int64_t(s), 0, total);
    }
    while (pos < total && delivered_ < target_) {
        if (Aborted()) return false;
        const std::uint32_t n =
            std::uint32_t(std::min<std::int64_t>({PieceBytes, total - pos, std::int64_t(target_ - delivered_)}));
        if (!Deliver(cache_ + pos, n)) return false;
        pos += n;
        pf_.Sleep(1);
    }
    if (rangeEnd >= r_.EndLba && delivered_ < target_) {
        ++e_.InexactPlacements;
        std::vector<std::uint8_t> zeros(PieceBytes, 0);
        while (delivered_ < target_) {
            if (Aborted()) return false;
            const std::uint32_t n = std::uint32_t(std::min<std::uint64_t>(PieceBytes, target_ - delivered_));
            if (!Deliver(zeros.data(), n)) return false;
        }
    }
    return true;
}

// A piece of a run: counted, then into the run file, or (volume and
// de-emphasis applied) to the output.
bool TBurst::Deliver(std::uint8_t* data, std::uint32_t length) {
    delivered_ += length;
    if (!r_.NoNullAreaCount) null_[run_].Count(data, length);
    if (toFile_) {
        if (!runFile_[run_]->Append(data, length)) {
            WriteErrorEnd();
            return false;
        }
        runBytes_[run_] += length;
        return true;
    }
    std::memcpy(work_.data(), data, length);
    if (r_.VolumePercent != 100) ApplyVolume(work_.data(), r_.VolumePercent, length);
    if (r_.DeEmphasis) deemph_.Process(work_.data(), length);
    IRipOutput* o = e_.Context().Output;
    if (!o || !o->Write(work_.data(), length)) {
        WriteErrorEnd();
        return false;
    }
    return true;
}

void TBurst::CompareRunFiles() {
    ITempFile& f0 = *runFile_[0];
    ITempFile& f1 = *runFile_[1];
    const std::uint64_t size[2] = {runBytes_[0], runBytes_[1]};
    std::vector<std::uint8_t> a(ComparePiece, 0), b(ComparePiece, 0);
    const std::uint64_t half = std::min(size[0], size[1]) / 2 / SectorBytes * SectorBytes;
    f0.ReadAt(half, a.data(), AlignBytes);
    f1.ReadAt(half, b.data(), AlignBytes);
    const std::int32_t s = FindOverlapShift(a.data() + HalfTail, b.data() + HalfTail, HalfTail, 5);
    const std::int64_t c = 4 * std::int64_t(s);
    std::uint64_t pos[2] = {c < 0 ? std::uint64_t(-c) : 0, c > 0 ? std::uint64_t(c) : 0};
    e_.PostProgress(0);
    e_.PostPhase(RipPhaseComparing);
    e_.PostStatusText(MsgCompareRuns);
    pf_.Sleep(200);
    lastPercent_ = 0;
    int differing = 0;
    std::uint32_t n[2] = {};
    for (std::uint32_t pieces = 1; !Aborted(); ++pieces) {
        n[0] = f0.ReadAt(pos[0], a.data(), ComparePiece);
        n[1] = f1.ReadAt(pos[1], b.data(), ComparePiece);
        const std::uint32_t common = std::min(n[0], n[1]) & ~3u;
        if (CountDiffWords(a.data(), b.data(), common) != 0) ++differing;
        if (n[0] != n[1]) chosen_ = 1;
        pos[0] += n[0];
        pos[1] += n[1];
        Progress(std::int64_t(std::min(pos[0], size[0])), std::int64_t(size[0]));
        if (pieces % 256 == 0) pf_.Sleep(10);
        if (n[0] < ComparePiece || n[1] < ComparePiece) break;
    }
    if (Aborted()) {
        r_.ResultClass = rrNG;
        return;
    }
    // A run file that stopped before its end (a read error), or a run
    // whose tail is longer than the alignment explains, was never compared
    // in full: the runs are not equal.
    for (int k = 0; k < 2; ++k)
        if (pos[k] < size[k] && (n[k] < ComparePiece || size[k] - pos[k] > ComparePiece)) ++differing;
    r_.ResultClass = differing ? rrNG : rrOK;
    if (differing && r_.NoWriteOnVerifyError) {
        e_.PostPhase(RipPhaseConvertAfterCompare);
        e_.PostStatusText(MsgVerifyNoWrite);
        return;
    }
    WriteFile(0, r_.Normalize);
}

// Writes a run file to the output: scaled by the normalizer when asked,
// else with the volume; de-emphasis in both cases.
void TBurst::WriteFile(int run, bool normalize) {
    e_.PostProgress(0);
    e_.PostPhase(RipPhaseConvertAfterCompare);
    e_.PostStatusText(MsgConverting);
    pf_.Sleep(200);
    lastPercent_ = 0;
    const std::uint64_t bytes = runBytes_[run];
    INormalizer* norm = e_.Context().Normalizer;
    bool scaled = false;
    std::int64_t level = 0, factor = 10000;
    const std::string name = Work(run);
    if (normalize) {
        // The normalizer reads the file by its name.
        if (!runFile_[run]->Flush()) {
            WriteErrorEnd();
            return;
        }
        scaled = e_.Context().StartNormalize(r_, name, true, level, factor);
        // A failed analysis (or a silent track): the audio goes out
        // unscaled, and the result says the request was not carried out.
        if (!scaled) r_.ResultClass = rrNG;
    }
    deemph_.Reset();
    std::uint64_t done = 0;
    IRipOutput* o = e_.Context().Output;
    for (std::uint32_t count = 1; done < bytes && !Aborted(); ++count) {
        const std::uint32_t want = std::uint32_t(std::min<std::uint64_t>(PieceBytes, bytes - done));
        const std::uint32_t got =
            scaled ? norm->ReadScaled(factor, work_.data(), want) : runFile_[run]->ReadAt(done, work_.data(), want);
        if (got == 0) break;
        if (r_.VolumePercent != 100 && !normalize) ApplyVolume(work_.data(), r_.VolumePercent, got);
        if (r_.DeEmphasis) deemph_.Process(work_.data(), got);
        if (!o || !o->Write(work_.data(), got)) {
            if (scaled) norm->End();
            WriteErrorEnd();
            return;
        }
        done += got;
        Progress(std::int64_t(done), std::int64_t(bytes));
        if (count % 256 == 0) pf_.Sleep(10);
    }
    if (scaled) norm->End();
    // A run file that did not come back whole is not a good rip.
    if (done < bytes) r_.ResultClass = rrNG;
}

void TBurst::DeleteRunFiles() {
    runFilesDeleted_ = true;
    for (int k = 0; k < 2; ++k) {
        runFile_[k].reset();
        if (toFile_ && files_.Exists(Work(k))) files_.Remove(Work(k));
    }
}

void TBurst::WriteErrorEnd() {
    writeError_ = true;
    if (r_.LevelMeter) e_.PostLevel(0);
    DeleteRunFiles();
    e_.NullAreaCounter() = null_[run_ < 2 ? run_ : 0];
    e_.FinishOnWriteError();
}

}  // namespace

void ReadBurst(TRipEngine& e, ITempFiles& files) {
    TBurst b(e, files);
    b.Run();
}

// ---------------------------------------------------------------------------
// The benchmark

std::int32_t BenchOuterLba(std::int32_t firstLba, std::int32_t endLba, std::int32_t sectorsPerRead,
                           std::int32_t reads) {
    const std::int64_t outer = std::int64_t(endLba) - std::int64_t(sectorsPerRead) * reads;
    return std::int32_t(std::max<std::int64_t>(outer, firstLba));
}

namespace {

class TBenchmark {
public:
    explicit TBenchmark(TRipEngine& e) : e_(e), r_(e.Request()), pf_(*e.Context().Platform) {}
    ~TBenchmark() {
        if (event_) pf_.FreeEvent(event_);
    }
    TBenchmark(const TBenchmark&) = delete;
    TBenchmark& operator=(const TBenchmark&) = delete;
    void Run();

private:
    std::int32_t TimedReads(std::int32_t lba, std::int32_t reads);
    std::int32_t TimedBurstReads(std::int32_t lba, std::int32_t reads);
    void Area(std::int32_t lba, std::int32_t reads, std::int32_t& normalMs, std::int32_t& normalErrors,
              std::int32_t& burstMs, std::int32_t& burstErrors);
    std::uint32_t Elapsed(std::uint32_t start) { return (pf_.TickCount() - start) & 0x7FFFFFFFu; }

    TRipEngine& e_;
    TTransferRecord& r_;
    IRipPlatform& pf_;
    void* event_ = nullptr;
};

void TBenchmark::Run() {
    r_.ResultClass = rrOK;
    r_.OverlapSectors = 0;
    const std::int32_t p = r_.SectorsPerRead;
    const std::int32_t n = std::max(0, r_.BenchmarkBytes) / std::int32_t(SectorBytes) / p;
    event_ = pf_.NewEvent();
    TTransferRecord& res = e_.Result();
    res.BenchInnerBurstMs = res.BenchOuterBurstMs = -1;
    res.BenchInnerNormalMs = res.BenchOuterNormalMs = -1;
    if (!e_.Aborted()) {
        e_.Rezero(event_);
        pf_.Sleep(1000);
        e_.Seek(r_.StartLba, event_);
    }
    std::int32_t in[4] = {-1, 0, -1, 0}, out[4] = {-1, 0, -1, 0};
    const std::int32_t outer = BenchOuterLba(r_.StartLba, r_.EndLba, p, n);
    Area(r_.StartLba, n, in[0], in[1], in[2], in[3]);
    Area(outer, n, out[0], out[1], out[2], out[3]);
    res.BenchInnerLba = r_.StartLba;
    res.BenchOuterLba = outer;
    res.BenchReads = n;
    res.BenchInnerNormalMs = in[0];
    res.BenchInnerNormalErrors = in[1];
    res.BenchInnerBurstMs = in[2];
    res.BenchInnerBurstErrors = in[3];
    res.BenchOuterNormalMs = out[0];
    res.BenchOuterNormalErrors = out[1];
    res.BenchOuterBurstMs = out[2];
    res.BenchOuterBurstErrors = out[3];
    e_.Retries = 0;
    if (e_.Aborted()) r_.ResultClass = rrNG;
    pf_.FreeEvent(event_);
    event_ = nullptr;
    e_.Finish();
}

void TBenchmark::Area(std::int32_t lba, std::int32_t reads, std::int32_t& normalMs, std::int32_t& normalErrors,
                      std::int32_t& burstMs, std::int32_t& burstErrors) {
    TimedReads(lba, reads);  // warms the drive up
    e_.Seek(lba, event_);
    std::int32_t before = e_.ScsiErrors;
    normalMs = TimedReads(lba, reads);
    normalErrors = e_.ScsiErrors - before;
    burstMs = -1;
    burstErrors = 0;
    if (r_.UseAspi) {
        e_.Seek(lba, event_);
        before = e_.ScsiErrors;
        burstMs = TimedBurstReads(lba, reads);
        burstErrors = e_.ScsiErrors - before;
    }
}

// `reads` reads of P sectors one after the other; elapsed ms, or -1.
std::int32_t TBenchmark::TimedReads(std::int32_t lba, std::int32_t reads) {
    if (e_.Aborted()) return -1;
    pf_.SetTimeCritical();
    const std::int32_t p = r_.SectorsPerRead;
    std::uint32_t start = pf_.TickCount();
    bool firstFailure = true;
    for (std::int32_t i = 0; i < reads; ++i) {
        for (std::int32_t tries = 0;;) {
            if (e_.Aborted()) return -1;
            SRB_ExecSCSICmd srb;
            std::uint32_t bytes = 0;
            if (!e_.ReadSectors(srb, event_, bytes, p, lba + i * p, 0)) {
                e_.LastSrb = srb;
                r_.ResultClass = rrNG;
                return -1;
            }
            e_.LastSrb = srb;
            if (e_.IsGoodRead(srb)) break;
            if (i == 0 && firstFailure) {
                // A drive that had to spin up: the clock starts again.
                start = pf_.TickCount();
            } else {
                ++e_.ScsiErrors;
            }
            firstFailure = false;
            if (++tries > r_.MaxRetry) return -1;
        }
    }
    return std::int32_t(Elapsed(start));
}

// The same reads with four requests in flight; elapsed ms, or -1.
std::int32_t TBenchmark::TimedBurstReads(std::int32_t lba, std::int32_t reads) {
    if (e_.Aborted()) return -1;
    pf_.SetTimeCritical();
    const std::int32_t p = r_.SectorsPerRead;
    TRipBuffers& buf = *e_.Context().Buffers;
    TRequestSet q(e_, pf_);
    std::int32_t issued = 0;
    const std::uint32_t start = pf_.TickCount();
    for (int k = 0; k < BurstRequests && issued < reads; ++k, ++issued) q.Issue(k, lba + issued * p, p, buf.Slot[k]);
    int failures = 0;
    while (q.InFlight() > 0) {
        const int w = q.WaitAny(WaitMs);
        if (w < 0) {
            pf_.Post(r_.NotifyWindow, WM_RIP_TIMEOUT, 100, 0);
            q.AbandonAll();
            return -1;
        }
        TRequest& t = q[w];
        t.InFlight = false;
        e_.CompleteAsync(w, t.Srb);
        e_.LastSrb = t.Srb;
        if (!e_.IsGoodRead(t.Srb)) {
            ++e_.ScsiErrors;
            if (++failures > r_.MaxRetry) {
                q.AbandonAll();
                return -1;
            }
        }
        if (e_.Aborted()) {
            q.AbandonAll();
            return -1;
        }
        if (issued < reads) {
            q.Issue(w, lba + issued * p, p, buf.Slot[w]);
            ++issued;
        }
    }
    return std::int32_t(Elapsed(start));
}

}  // namespace

void RunBenchmark(TRipEngine& e) {
    TBenchmark b(e);
    b.Run();
}

}  // namespace wx
