// Texts of the burst read.  Kept in UTF-8 here; this file is compiled to
// code page 932.
#include "extraction/burst.h"

namespace wx {

const char* const MsgBurstRunReading = "%d回目のﾃﾞｰﾀ取得中.";
const char* const MsgBurstWriting = "ﾊﾞｯﾌｧの内容を書き出しています.";
const char* const MsgVerifyNoWrite = "ﾍﾞﾘﾌｧｲｴﾗｰのため書き出しを中止しました.";

}  // namespace wx
