// The paths that belong to one world-file name of the listing.
#pragma once

#include <string>

namespace ortholay {

struct PhotoPaths {
    std::string worldFilePath;  // folder + "/" + name
    std::string basePath;       // worldFilePath without its extension
    std::string baseName;       // the file-name part of basePath
    std::string photoPath;      // basePath + ".jpg"
};

// Pure text work; never fails. The separator is always added, also after a
// folder that already ends in one ("/" gives "//a.jgw").
PhotoPaths DerivePhotoPaths(const std::string& folder, const std::string& listName);

}  // namespace ortholay
