#include "extraction/digiplay.h"

#include <algorithm>
#include <vector>

#include "extraction/waveout.h"

namespace wx {

namespace {

constexpr std::uint32_t PieceBytes = 2 * SectorBytes;  // handed to the wave-out thread at a time
// The hand-over looks at the abort request and the seeks at least this often.
constexpr std::uint32_t HandOverWaitMs = 10;
constexpr std::uint32_t EndPollMs = 100;
// Failed tries on one block after which the play moves on to the next track.
constexpr int TriesBeforeJump = 10;

struct TPlayList {
    std::vector<std::int32_t> Start;
    std::vector<bool> Audio;
    // The entry holding the LBA: the last whose start is not above it; -1
    // before the first.
    int TrackAt(std::int32_t lba) const {
        int t = -1;
        for (std::size_t i = 0; i < Start.size(); ++i)
            if (Start[i] <= lba) t = int(i);
        return t;
    }
    int NextAudio(int t) const {
        for (std::size_t j = std::size_t(t + 1); j < Start.size(); ++j)
            if (Audio[j]) return int(j);
        return -1;
    }
};

class TPlayer {
public:
    explicit TPlayer(TRipEngine& e)
        : e_(e), r_(e.Request()), pf_(*e.Context().Platform), w_(*r_.WaveOutThread),
          overlap_(r_.OverlapSectors > 0), lastReadable_(r_.LastReadableLba) {
        for (int i = 0; i < PlayListSize && r_.PlayList[i] >= 0; ++i) {
            list_.Start.push_back(r_.PlayList[i]);
            list_.Audio.push_back(r_.PlayAudioFlags[i] != 0);
        }
        if (overlap_) {
            if (r_.SectorsPerRead <= 4) r_.SectorsPerRead = 5;
            r_.SectorsPerRead -= 4;
        }
    }

    void Run() {
        event_ = pf_.NewEvent();
        e_.Result().PlayRanOut = false;
        Restart(r_.StartLba);
        PostPosition(r_.StartLba);
        for (;;) {
            if (!PlayRange()) break;
            // The range is read: the wave-out thread plays what it holds and
            // stops; a seek meanwhile goes on playing from there.
            if (e_.Aborted() || w_.GetPlayState() == WaveOutStopped) break;
            w_.Post(WM_WAVEOUT_END);
            e_.Result().PlayRanOut = true;
            bool seek = false;
            while (!e_.Aborted() && w_.GetPlayState() != WaveOutStopped) {
                if (w_.HasSeekRequest()) {
                    seek = true;
                    break;
                }
                w_.WaitForStopOrSeek(EndPollMs);
            }
            if (!seek) break;
            e_.Result().PlayRanOut = false;
        }
        pf_.FreeEvent(event_);
        event_ = nullptr;
        e_.Finish();
    }

private:
    // A new stream from the LBA: its first block carries the 2 sectors
    // before the first new one when the reads overlap.
    void Restart(std::int32_t lba) {
        streamStart_ = lba;
        pos_ = overlap_ ? lba + 2 : lba;
        e_.BeginAlignment(std::int64_t(std::max(0, r_.EndLba - lba)) * SectorBytes);
    }
    void PostPosition(std::int32_t lba) { pf_.Post(r_.NotifyWindow, WM_PLAY_POSITION, lba, 0); }
    // The LBA of the first byte the next block delivers.
    std::int32_t BlockLba() const { return overlap_ && e_.FirstBlock() ? pos_ - 2 : pos_; }

    // Reads the range; false when the play ends before its end (stopped,
    // aborted, timed out).
    bool PlayRange() {
        bool jumpedLast = false;  // the block before ended in a jump to the next track
        for (;;) {
            if (e_.Aborted()) return false;
            if (w_.GetPlayState() == WaveOutStopped) return false;
            const std::int32_t seek = w_.GetSeekRequest();
            if (seek >= 0) {
                Restart(seek);
                jumpedLast = false;
                PostPosition(seek);
            }
            if (overlap_ && !e_.FirstBlock() && e_.AlignedBytes() >= std::int64_t(r_.EndLba - streamStart_) * SectorBytes)
                return true;
            std::int32_t n = std::min(r_.SectorsPerRead, r_.EndLba - pos_);
            if (overlap_ && e_.FirstBlock() && streamStart_ < r_.EndLba) n = std::max(n, 1);
            if (n <= 0) return true;
            // Only audio tracks play.
            const int t = list_.TrackAt(BlockLba());
            if (t < 0 || !list_.Audio[std::size_t(t)]) {
                const int j = list_.NextAudio(t);
                if (j < 0) return true;
                Restart(list_.Start[std::size_t(j)]);
                continue;
            }
            // A block ends where a data track begins: its sectors are not
            // audio, and a read of them fails or gives noise.
            std::int32_t readable = lastReadable_;
            if (std::size_t(t + 1) < list_.Start.size() && !list_.Audio[std::size_t(t + 1)]) {
                const std::int32_t next = list_.Start[std::size_t(t + 1)];
                n = std::max(1, std::min(n, next - pos_));
                readable = std::min(readable, next - 1);
            }
            int failed = 0;
            bool good = false;
            r_.LastReadableLba = readable;
            const bool read = ReadBlock(n, failed, good);
            r_.LastReadableLba = lastReadable_;
            if (!read) {
                // A drive that does not answer ends the play.
                r_.ResultClass = rrNG;
                return false;
            }
            if (e_.Aborted()) return false;
            if (good) {
                const std::int32_t lba = BlockLba();
                e_.PostProcessRead(e_.Context().Buffers->Slot[0], n, r_.OverlapSectors);
                e_.AlignRead(0, n);
                const TRipEngine::TPlacedBlock b = e_.PlaceBlock(0, pos_, n);
                HandOver(b.Data, b.Length, lba);
                jumpedLast = false;
            } else if (failed > TriesBeforeJump) {
                // The track cannot be read here: on to the next one, once.
                const int j = list_.NextAudio(t);
                if (jumpedLast || j < 0 || list_.Start[std::size_t(j)] <= BlockLba()) return true;
                Restart(list_.Start[std::size_t(j)]);
                jumpedLast = true;
                continue;
            }
            if (w_.HasSeekRequest()) continue;
            if (good) {
                pos_ += n;
            } else {
                // A block that could not be read is left out; the stream
                // starts afresh after it.
                Restart(pos_ + n);
            }
        }
    }

    // Up to MaxRetry + 1 tries; false on a time-out of the drive.
    bool ReadBlock(std::int32_t n, int& failed, bool& good) {
        const int tries = std::max(0, r_.MaxRetry) + 1;
        for (int i = 0; i < tries && !e_.Aborted(); ++i) {
            if (r_.UseMscdex) pf_.Sleep(50);
            if (r_.SeekEachRead && !e_.Seek(overlap_ ? pos_ - 2 : pos_, event_)) return false;
            SRB_ExecSCSICmd srb;
            std::uint32_t bytes = 0;
            const bool done = e_.ReadSectors(srb, event_, bytes, n, pos_, 0);
            e_.LastSrb = srb;
            if (!done) return false;
            if (e_.IsGoodRead(srb)) {
                good = true;
                return true;
            }
            ++failed;
            ++e_.ScsiErrors;
        }
        return true;
    }

    // The block in pieces of 2 sectors, each with the LBA of its first
    // sector; the last piece takes what is left.  Each is offered until the
    // wave-out thread takes it; a seek, a stop or an abort ends the
    // hand-over.
    void HandOver(const std::uint8_t* data, std::uint32_t length, std::int32_t lba) {
        std::uint32_t done = 0;
        while (done < length) {
            const std::uint32_t left = length - done;
            const std::uint32_t piece = left >= PieceBytes + SectorBytes ? PieceBytes : left;
            const std::int32_t at = lba + std::int32_t(done / SectorBytes);
            while (!w_.PutData(data + done, piece, at)) {
                if (e_.Aborted() || w_.HasSeekRequest() || w_.GetPlayState() == WaveOutStopped) return;
                w_.WaitForRoom(HandOverWaitMs);
            }
            if (e_.Aborted() || w_.HasSeekRequest()) return;
            done += piece;
        }
    }

    TRipEngine& e_;
    TTransferRecord& r_;
    IRipPlatform& pf_;
    TWaveOutThread& w_;
    const bool overlap_;
    const std::int32_t lastReadable_;
    TPlayList list_;
    void* event_ = nullptr;
    std::int32_t pos_ = 0;          // first LBA of the next block's new sectors
    std::int32_t streamStart_ = 0;  // the LBA the aligned stream starts at
};

}  // namespace

void PlayDigital(TRipEngine& e) {
    if (!e.Request().WaveOutThread || !e.Context().Buffers || !e.Context().Buffers->Ready()) {
        e.Request().ResultClass = rrNG;
        e.Finish();
        return;
    }
    TPlayer(e).Run();
}

}  // namespace wx
