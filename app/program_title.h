// The application's title, taken from the name of the program file.
#pragma once

#include <string>

namespace ortholay {

// The program file's name without its folder, cut before its first ".",
// its first character in capitals and every other one lower-cased, by the
// case rules of the locale's code set: "DazErazi.Tool.exe" gives "Dazerazi"
// and "/usr/bin/ortholay" gives "Ortholay". (Program files on Linux are
// named in lower case, so the capital that a Windows program file carries in
// its name is made here.) Bytes that are no character of the code set are
// kept as they are, ASCII letters excepted.
std::string ProgramTitle(const std::string& programPath);

}  // namespace ortholay
