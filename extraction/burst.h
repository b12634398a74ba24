// The burst read and the drive benchmark: the two uses of the rip thread
// that keep several read requests in flight at once.
//
// The burst read takes a track range by range into the rip memory block,
// four requests outstanding; every request's data lands at its own place
// ((LBA - range start) x 2352), whatever order the drive finishes them in.
// Failed requests are read again after the range; the last request of a
// range is read again at the start of the next one and aligns it on the
// range before.  With verify the track is read twice into run files and
// the runs are compared.  Data of a failed request that was never read
// again, a short run or a failed run file never ends as a good rip.
//
// The benchmark times plain and burst reads of one area at the start and
// one at the end of the disc.
//
// Portable: no <windows.h>.
#pragma once
#include <cstdint>

#include "extraction/tempstore.h"
#include "extraction/wendrisub.h"

namespace wx {

// Status phrases of the burst read (Shift-JIS).
extern const char* const MsgBurstRunReading;  // %d回目のﾃﾞｰﾀ取得中.
extern const char* const MsgBurstWriting;     // ﾊﾞｯﾌｧの内容を書き出しています.
extern const char* const MsgVerifyNoWrite;    // ﾍﾞﾘﾌｧｲｴﾗｰのため書き出しを中止しました.

// Run files of the burst read with verify or normalization, in the work
// folder: run 1 and run 2.
extern const char* const BurstRunFiles[2];  // wendri_pass0.$$$, wendri_pass1.$$$

// Requests a burst range keeps in flight; failed requests a range keeps
// for reading again.
constexpr int BurstRequests = 4;
constexpr int MaxFailedRequests = 1000;

// Runs the burst read of the engine's request after silence trimming and
// finishes the request (WM_RIP_DONE) on every path.  Run files go through
// `files`; the rip memory block and the normalizer are the engine's.
void ReadBurst(TRipEngine& e, ITempFiles& files = StdioFiles());

// Runs the benchmark request (BenchmarkBytes > 0) and finishes it.
void RunBenchmark(TRipEngine& e);

// The outer area's first LBA: `reads` reads of `sectorsPerRead` sectors
// ending at `endLba`, never before `firstLba` (a short disc).
std::int32_t BenchOuterLba(std::int32_t firstLba, std::int32_t endLba, std::int32_t sectorsPerRead,
                           std::int32_t reads);

}  // namespace wx
