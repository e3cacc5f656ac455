#include "app/folder_listing.h"

#include <algorithm>
#include <dirent.h>
#include <cstring>
#include <strings.h>

namespace ortholay {

namespace {

bool MatchesWorldFilePattern(const char* name) {
    const std::size_t length = std::strlen(name);
    return length >= 4 && strcasecmp(name + length - 4, ".jgw") == 0;
}

}  // namespace

std::vector<std::string> ListWorldFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (folder.empty() || dir == nullptr) {
        if (dir != nullptr) {
            ::closedir(dir);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (MatchesWorldFilePattern(entry->d_name)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    // The order a case-insensitive file system returns names in: sorted
    // without regard to case (ties kept apart by their bytes, so the order
    // is the same on every run).
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int folded = strcasecmp(a.c_str(), b.c_str());
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

std::string HrefPrefixForFolder(const std::string& folder) {
    if (folder == "/") {
        return "/";
    }
    return folder + "/";
}

}  // namespace ortholay
