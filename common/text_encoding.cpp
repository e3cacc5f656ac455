#include "common/text_encoding.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace ortholay {

namespace {

// Code sets whose text is taken as it stands: UTF-8 itself, and plain ASCII
// (the "C" locale), which could map no byte above 127 and would only turn
// the UTF-8 names most systems really hold into replacement characters.
bool IsPassThroughCodeSet(const char* codeset) {
    return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0 ||
           std::strcmp(codeset, "UTF8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
           std::strcmp(codeset, "ASCII") == 0 || std::strcmp(codeset, "US-ASCII") == 0;
}

}  // namespace

std::string SystemTextToUtf8(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0' || IsPassThroughCodeSet(codeset)) {
        return text;
    }
    iconv_t cd = iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return text;
    }
    std::string out;
    out.reserve(text.size() * 2);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // An unmappable or incomplete byte: replace it and go on.
            out.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace ortholay
