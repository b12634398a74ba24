// The encoder components' common base: the ring between the writer and the
// worker, and the ends of the worker whatever the component is doing when
// it goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "output/gogotea.h"
#include "output/tests/enctest_util.h"
#include "output/tests/testfiles.h"
#include "output/tvqenc.h"

namespace wx {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return b;
}

// The worker's side of the ring on a thread of its own: frames of 4,608
// bytes until the input ends.
struct TReader {
    TEncoderRing& Ring;
    Bytes Got;
    long Last = 0;
    HANDLE Thread = nullptr;
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<TReader*>(p);
        unsigned char frame[4608];
        while ((self->Last = self->Ring.Take(frame, sizeof frame)) > 0)
            self->Got.insert(self->Got.end(), frame, frame + self->Last);
        return 0;
    }
    void Start() { Thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    bool Join(DWORD ms = 20000) {
        const bool done = WaitForSingleObject(Thread, ms) == WAIT_OBJECT_0;
        CloseHandle(Thread);
        return done;
    }
};

TEST(EncoderRing, PcmArrivesWholeAndAFullRingWakesTheWriterOnlyWhenHalfIsFree) {
    TEncoderRing ring;
    ring.Open();
    TReader reader{ring};
    reader.Start();
    const Bytes pcm = Pattern(8 * 1048576 + 1000);
    const size_t block = 61152;
    int waits = 0;
    for (size_t at = 0; at < pcm.size();) {
        const size_t n = std::min(block, pcm.size() - at);
        if (ring.Write(&pcm[at], n)) {
            at += n;
            continue;
        }
        ++waits;
        ASSERT_TRUE(ring.WaitForRoom(n, INFINITE));
    }
    ring.EndInput();
    ASSERT_TRUE(reader.Join());
    EXPECT_EQ(reader.Last, 0);
    EXPECT_TRUE(reader.Got == pcm);
    // Woken a few times per half ring, never once per block.
    EXPECT_LE(waits, int(pcm.size() / (TEncoderRing::kCapacity / 2)) + 2);
}

// Peek hands out frames in place where they lie in one piece, a copy where
// they wrap round the end or the input ends short; the space is the
// writer's again only after Release.
TEST(EncoderRing, PeekGivesFramesInPlaceOrCopiedAndHoldsThemUntilReleased) {
    TEncoderRing ring;
    ring.Open();
    const size_t frame = 3000;  // does not divide the ring: some frames wrap
    const Bytes pcm = Pattern(2 * TEncoderRing::kCapacity + 1234);
    Bytes got, spare(frame);
    int inPlace = 0, copied = 0;
    for (size_t at = 0; at < pcm.size() || ring.Used() > 0;) {
        const size_t n = std::min<size_t>(61152, pcm.size() - at);
        if (n > 0 && ring.Write(&pcm[at], n)) {
            at += n;
            continue;
        }
        if (at == pcm.size()) ring.EndInput();
        const void* data = nullptr;
        const long took = ring.Peek(frame, spare.data(), &data);
        ASSERT_GT(took, 0);
        const auto* p = static_cast<const unsigned char*>(data);
        (p == spare.data() ? copied : inPlace)++;
        got.insert(got.end(), p, p + took);
        if (size_t(took) < frame) {
            EXPECT_TRUE(std::all_of(p + took, p + frame, [](unsigned char c) { return c == 0; }));
        }
        const size_t used = ring.Used();  // the peeked bytes still count
        ring.Release(size_t(took));
        EXPECT_EQ(ring.Used(), used - size_t(took));
    }
    EXPECT_TRUE(got == pcm);
    EXPECT_GT(inPlace, 0);
    EXPECT_GE(copied, 2);  // two wraps, and the short last frame
}

DWORD WINAPI CloseRing(LPVOID ring) {
    static_cast<TEncoderRing*>(ring)->Close();
    return 0;
}

TEST(EncoderRing, InterruptReleasesTheWorkerAndCloseReleasesTheWriter) {
    TEncoderRing ring;
    ring.Open();
    TReader reader{ring};
    reader.Start();
    const Bytes some = Pattern(1000);
    ASSERT_TRUE(ring.Write(some.data(), some.size()));  // less than a frame: the worker waits on
    ring.Interrupt();
    ASSERT_TRUE(reader.Join(5000));
    EXPECT_EQ(reader.Last, -1);
    EXPECT_TRUE(reader.Got.empty());
    EXPECT_EQ(ring.Used(), 1000u);  // the bytes stay until the next run clears them
    ring.Clear();
    EXPECT_EQ(ring.Used(), 0u);

    // A full ring whose worker ends its run: the writer is told, not left waiting.
    const Bytes big = Pattern(TEncoderRing::kCapacity - 4096);
    ASSERT_TRUE(ring.Write(big.data(), big.size()));
    HANDLE closer = CreateThread(nullptr, 0, &CloseRing, &ring, 0, nullptr);
    EXPECT_FALSE(ring.WaitForRoom(61152, INFINITE));
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_FALSE(ring.WaitForRoom(61152, INFINITE));  // at once while closed
}

// Components made and destroyed in every state a run can be in: each time
// the worker ends and the library goes, without waiting on anything.
class EncoderEnds : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetDllDirectoryA(test::StandinDir().c_str())); }
    void TearDown() override { SetDllDirectoryA(nullptr); }
    test::TScratchDir dir{"wx-encends"};
};

template <class T>
void RunAndDestroy(const std::string& file, int how) {
    auto c = std::make_unique<T>(nullptr);
    if constexpr (std::is_same_v<T, TGogoTea>) c->SetEncodeMode(TEncodeMode::_MEMORY);
    c->SetDestinationFile(file);
    if (how == 0) return;  // idle
    c->Prepare();
    if (how == 1) return;  // prepared, never started
    c->Start();
    const auto pcm = test::Tone(44100 / 4);
    c->WritePCM(pcm.data(), int(pcm.size() * 2));
    if (how == 2) return;  // running, waiting for more PCM
    if (how == 3) {
        c->Stop();  // going away with a stop on its way
        return;
    }
    c->WritePCM(nullptr, 0);  // going away while it drains the ring
}

TEST_F(EncoderEnds, DestroyedInAnyStateTheWorkerEndsAndTheLibraryIsFreed) {
    for (int round = 0; round < 4; ++round) {
        for (int how = 0; how <= 4; ++how) {
            const std::string mp3 = dir.Path("end.mp3"), vqf = dir.Path("end.vqf");
            RunAndDestroy<TGogoTea>(mp3, how);
            EXPECT_EQ(GetModuleHandleA("GOGO.DLL"), nullptr) << how;
            EXPECT_EQ(ActiveGogoTea.load(), nullptr);
            RunAndDestroy<TTVQEnc>(vqf, how);
            EXPECT_EQ(GetModuleHandleA("TVQENC.DLL"), nullptr) << how;
            EXPECT_EQ(BitFilesOpen(), 0) << how;
            // Every output was let go of: it can be removed at once.
            for (const std::string& f : {mp3, vqf}) {
                const bool gone = DeleteFileA(f.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
                EXPECT_TRUE(gone) << f << " still open, state " << how << ", round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace wx
