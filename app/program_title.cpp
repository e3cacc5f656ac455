#include "app/program_title.h"

#include <cctype>
#include <climits>
#include <cwchar>
#include <cwctype>

namespace ortholay {

namespace {

// Changes the case of the characters of `text` from `start` on, character by
// character in the locale's code set; the first changed character goes to
// upper case when `upperFirst`, every other one to lower case.
std::string ChangeCase(const std::string& text, bool upperFirst) {
    std::string result;
    std::mbstate_t in{};
    bool first = true;
    std::size_t i = 0;
    while (i < text.size()) {
        wchar_t wide = 0;
        const std::size_t used = std::mbrtowc(&wide, text.data() + i, text.size() - i, &in);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) ||
            used == 0) {
            // Not a character of the code set (or a NUL byte): only an ASCII
            // letter is changed, the byte stays what it is otherwise.
            const unsigned char byte = static_cast<unsigned char>(text[i]);
            char changed = static_cast<char>(byte);
            if (byte < 0x80) {
                changed = static_cast<char>(first && upperFirst ? std::toupper(byte)
                                                                : std::tolower(byte));
            }
            result += changed;
            in = std::mbstate_t{};
            ++i;
            first = false;
            continue;
        }
        const wchar_t cased = static_cast<wchar_t>(
            first && upperFirst ? std::towupper(static_cast<std::wint_t>(wide))
                                : std::towlower(static_cast<std::wint_t>(wide)));
        char buffer[MB_LEN_MAX];
        std::mbstate_t out{};
        const std::size_t written = std::wcrtomb(buffer, cased, &out);
        if (written == static_cast<std::size_t>(-1)) {
            result.append(text, i, used);
        } else {
            result.append(buffer, written);
        }
        i += used;
        first = false;
    }
    return result;
}

}  // namespace

std::string ProgramTitle(const std::string& programPath) {
    const std::size_t slash = programPath.rfind('/');
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return ChangeCase(name, true);
}

}  // namespace ortholay
