// System code page conversions on the build machine: code page 932 through
// iconv, so the portable code runs natively as it does under Windows.
#include <iconv.h>

#include <cerrno>
#include <mutex>

#include "discinfo/cddbconv.h"

namespace wx {

namespace {

class TIconv {
public:
    TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~TIconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    // Converts what it can; an input byte that does not convert becomes
    // "?" and conversion goes on after it.
    std::string Run(const std::string& in) {
        std::lock_guard<std::mutex> lock(m_);
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buf[256];
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            const std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                ++src;
                --left;
                out += '?';
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t cd_;
    std::mutex m_;
};

}  // namespace

std::string CddbSystemToUtf8(const std::string& text) {
    static TIconv conv("UTF-8", "CP932");
    return conv.Run(text);
}

}  // namespace wx
