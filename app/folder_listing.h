// The world files a folder offers for publishing.
#pragma once

#include <string>
#include <vector>

namespace ortholay {

// The names of the entries of `folder` itself (files and folders, hidden
// ones too) that match *.jgw regardless of letter case, sorted by name
// without regard to case. A folder that cannot be read gives no names.
std::vector<std::string> ListWorldFiles(const std::string& folder);

// The href prefix a selected folder gives: the folder and one "/" ("/" for
// the root itself).
std::string HrefPrefixForFolder(const std::string& folder);

}  // namespace ortholay
