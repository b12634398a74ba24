// The two-pass read: the track is read in two interleaved passes into the
// two slots of the temporary store, so that the drive never reads two
// neighbouring blocks one after the other, and the blocks are then merged
// in order, each aligned on the one before it by the overlap search.  With
// verify the whole rip is done twice into run files, the two runs are
// compared, and the better one is written.
//
// Blocks of P sectors: pass 1 holds [0, P), [2P-4, 3P-4), ... and pass 2
// [P-2, 2P-2), [3P-6, 4P-6), ... (sectors from the start), so every block
// overlaps its neighbours of the other pass by 2 sectors; the last block
// reads 2 sectors past the range.  Every path writes exactly the sectors of
// the range (moved as a whole by where the first read landed), cut or
// filled at the end whatever the shift of the last block.  The result is
// OK only where nothing is a guess: without verify, no seam placed without
// an exact match or on silence while the drive was seen to jitter, and no
// zeros standing for audio the drive did not deliver; with verify, the
// written run must also agree with the other run over all of its bytes.
//
// Portable: no <windows.h>.
#pragma once
#include <string>

#include "extraction/tempstore.h"
#include "extraction/wendrisub.h"

namespace wx {

// Status phrases of the two-pass read (Shift-JIS).
extern const char* const MsgTwoPassRunPass;      // %d回目%dﾊﾟｽ目のﾃﾞｰﾀを取得中.
extern const char* const MsgTwoPassPass;         // %dﾊﾟｽ目のﾃﾞｰﾀ取得中.
extern const char* const MsgTwoPassMergeRun;     // %d回目のﾃﾞｰﾀをﾌﾚｰﾑ間補正中.
extern const char* const MsgTwoPassMerge;        // ﾌﾚｰﾑ間補正と形式変換中.
extern const char* const MsgCompareRuns;         // 1回目と2回目のﾃﾞｰﾀを比較中.

// Work files of the two-pass read, in the work folder.
extern const char* const TwoPassWorkFiles[4];  // wendri_pass1.$$$ ... wendri_verify1.$$$

// Runs the two-pass read of the engine's request after silence trimming;
// finishes the request (WM_RIP_DONE) on every path.  The run files go
// through `files`; the store and the normalizer are the engine's.
void ReadTwoPass(TRipEngine& e, ITempFiles& files = StdioFiles());

}  // namespace wx
