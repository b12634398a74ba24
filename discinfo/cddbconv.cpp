#include "discinfo/cddbconv.h"

#include "classlib/sjis.h"
#include "output/unicodetbl.h"

namespace wx {

std::string CddbUtf8ToSjis(const std::string& text) { return ::Utf8ToSjis(text); }

std::string CddbReceivedText(const std::string& text, bool level6, std::size_t maxBytes) {
    return SjisCut(level6 ? CddbUtf8ToSjis(text) : text, maxBytes);
}

}  // namespace wx
