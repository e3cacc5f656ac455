// The name a KML document is saved under.
#pragma once

#include <string>

namespace ortholay {

// The extension of a file name: from the last "." of its final component
// (which begins after the last "/") to the end, the "." included; empty when
// the final component has no ".".
std::string FileNameExtension(const std::string& fileName);

// The chosen name made to end in ".kml": unchanged when its extension is
// ".kml" in any letter case (only A to Z are folded, every other byte is
// compared as it is); otherwise its extension, if any, is replaced by ".kml".
// "result" and "result.txt" give "result.kml", "result.KML" stays,
// "a.txt.txt" gives "a.txt.kml", "maps.txt/result" gives "maps.txt/result.kml".
std::string KmlFileName(const std::string& chosen);

}  // namespace ortholay
