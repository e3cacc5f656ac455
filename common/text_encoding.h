// Text in the system's 8-bit code set (the locale's) and its UTF-8 form.
#pragma once

#include <string>

namespace ortholay {

// The UTF-8 form of a text in the locale's code set. On a UTF-8 (or plain ASCII)
// locale the text is returned unchanged; otherwise it is converted with iconv, and bytes
// the code set cannot map are replaced by U+FFFD. Characters beyond the
// Basic Multilingual Plane come out as one 4-byte sequence.
std::string SystemTextToUtf8(const std::string& text);

}  // namespace ortholay
