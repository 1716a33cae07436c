#include "settings/text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace orv::cp1251 {
namespace {

// One conversion descriptor per call keeps the routines safe to use from any thread.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; `onInvalid` decides what to do with an input sequence the target
    // lacks: it appends a replacement and returns how many input bytes to skip.
    template <typename OnInvalid>
    std::string run(const std::string& in, OnInvalid onInvalid) {
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[256];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    continue;
                }
                size_t skip = onInvalid(out, reinterpret_cast<unsigned char*>(src), srcLeft);
                src += skip;
                srcLeft -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with `lead`, at least 1.
size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

std::string toUtf8(const Text& text) {
    Converter c("UTF-8", "CP1251");
    // 0x98 is the one byte the code page leaves undefined; it shows as U+FFFD.
    return c.run(text, [](std::string& out, unsigned char*, size_t) {
        out += "\xEF\xBF\xBD";
        return size_t{1};
    });
}

Text fromUtf8(const std::string& utf8) {
    Converter c("CP1251", "UTF-8");
    return c.run(utf8, [](std::string& out, unsigned char* at, size_t left) {
        out += '?';
        size_t n = utf8SequenceLength(*at);
        return n < left ? n : left;
    });
}

}  // namespace orv::cp1251
