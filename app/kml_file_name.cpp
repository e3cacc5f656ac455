#include "app/kml_file_name.h"

namespace ortholay {

namespace {

// Where the final component of a path begins. Multi-byte characters need no
// care here: in UTF-8 and in the double-byte code sets Linux offers, no
// trail byte equals "/".
std::size_t FinalComponentStart(const std::string& fileName) {
#ifdef _WIN32
    const std::size_t separator = fileName.find_last_of("\\/:");
#else
    const std::size_t separator = fileName.rfind('/');
#endif
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string FoldAsciiCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::string FileNameExtension(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < FinalComponentStart(fileName)) {
        return std::string();
    }
    return fileName.substr(dot);
}

std::string KmlFileName(const std::string& chosen) {
    const std::string extension = FileNameExtension(chosen);
    if (FoldAsciiCase(extension) == ".kml") {
        return chosen;
    }
    return chosen.substr(0, chosen.size() - extension.size()) + ".kml";
}

}  // namespace ortholay
