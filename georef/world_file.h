// World files: their text, the items it splits into, and the numbers in them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ortholay {

// A, E, C and F of a world file (items 0, 3, 4 and 5). The rotation terms,
// items 1 and 2, are never read.
struct WorldFile {
    long double A = 0;  // x size of a pixel
    long double E = 0;  // y size of a pixel, negative when north is up
    long double C = 0;  // x of the upper-left corner
    long double F = 0;  // y of the upper-left corner
};

// The bytes of a world file as the item splitter sees them: cut into lines at
// CR LF, lone CR and lone LF, everything from a NUL byte on dropped, and every
// line joined again with CR LF after it.
std::string NormalizeWorldFileText(const std::string& bytes);

// Splits text into items: blanks (codes 1 to 32) and commas separate them,
// double quotes enclose an item ("" inside stands for one quote).
std::vector<std::string> SplitItems(const std::string& text);

// The number rule of world-file items, with "." as the decimal separator
// whatever the locale. Returns nothing when the item is not a valid number.
std::optional<long double> ParseWorldFileNumber(const std::string& item);

// Reads a world file whole and splits it. Throws FileOpenError(path) when it
// cannot be read (missing, no access, a folder).
std::vector<std::string> ReadWorldFileItems(const std::string& path);

// Fetches and parses items 4, 5, 0 and 3 in that order; the first that is
// missing (ListIndexError) or not a number (InvalidFloatError) throws.
WorldFile WorldFileFromItems(const std::vector<std::string>& items);

}  // namespace ortholay
