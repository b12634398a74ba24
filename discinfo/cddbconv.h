// Text conversions of the CDDB client between the system code page
// (Shift-JIS) and UTF-8.  Declared portably; the system code page side is
// implemented once per platform (cddbconv_win.cpp, cddbconv_posix.cpp).
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

// UTF-8 decoding used by CddbUtf8ToSjis: UTF-16 units, malformed sequences
// (bad lead or trail bytes, overlong forms, surrogates) as U+FFFD.
std::u16string DecodeUtf8(const std::string& text);

// One UTF-16 unit in the system code page; empty when it has no code there.
std::string UcsUnitToSystem(char16_t unit);

}  // namespace wx
