// Text conversions of the CDDB client between the system code page
// (Shift-JIS) and UTF-8.  Declared portably; Shift-JIS to UTF-8 goes through
// the system code page, implemented once per platform (cddbconv_win.cpp,
// cddbconv_posix.cpp); UTF-8 to Shift-JIS is the program's own table.
#pragma once
#include <cstddef>
#include <string>

namespace wx {

// A Shift-JIS text (the system code page) as UTF-8, for UTF-8 submissions.
std::string CddbSystemToUtf8(const std::string& text);

// A UTF-8 text from a level-6 server as Shift-JIS.  Malformed UTF-8 and
// characters without a Shift-JIS code become "?".
std::string CddbUtf8ToSjis(const std::string& text);

// Text received from a server as the dialogs keep it: converted from UTF-8
// when the server speaks level 6, then cut to maxBytes without splitting a
// Shift-JIS character.
std::string CddbReceivedText(const std::string& text, bool level6, std::size_t maxBytes);

}  // namespace wx
