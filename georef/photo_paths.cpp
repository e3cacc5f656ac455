#include "georef/photo_paths.h"

namespace ortholay {

PhotoPaths DerivePhotoPaths(const std::string& folder, const std::string& listName) {
    PhotoPaths paths;
    paths.worldFilePath = folder + "/" + listName;
    // The extension is what follows the last "." of the file-name part; a "."
    // in a folder name is not an extension.
    const std::size_t nameStart = paths.worldFilePath.find_last_of('/') + 1;
    const std::size_t dot = paths.worldFilePath.find_last_of('.');
    if (dot != std::string::npos && dot >= nameStart) {
        paths.basePath = paths.worldFilePath.substr(0, dot);
    } else {
        paths.basePath = paths.worldFilePath;
    }
    paths.baseName = paths.basePath.substr(nameStart);
    paths.photoPath = paths.basePath + ".jpg";
    return paths;
}

}  // namespace ortholay
