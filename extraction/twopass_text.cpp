// Texts of the two-pass read.  Kept in UTF-8 here; this file is compiled
// to code page 932.
#include "extraction/twopass.h"

namespace wx {

const char* const MsgTwoPassRunPass = "%d回目%dﾊﾟｽ目のﾃﾞｰﾀを取得中.";
const char* const MsgTwoPassPass = "%dﾊﾟｽ目のﾃﾞｰﾀ取得中.";
const char* const MsgTwoPassMergeRun = "%d回目のﾃﾞｰﾀをﾌﾚｰﾑ間補正中.";
const char* const MsgTwoPassMerge = "ﾌﾚｰﾑ間補正と形式変換中.";
const char* const MsgCompareRuns = "1回目と2回目のﾃﾞｰﾀを比較中.";

}  // namespace wx
