// The KML 2.0 document, written line by line from fixed pieces and inserted
// values. Lines are 8-bit text without line ends; DocumentText joins them
// with CR LF after every line.
#pragma once

#include <string>
#include <vector>

#include "georef/geo_box.h"

namespace ortholay {

inline constexpr const char* kKmlNamespace = "http://earth.google.com/kml/2.0";

// General format with 15 significant digits and "." as the decimal
// separator: "0", "305000.125", "0.333333333333333", "1E-5", "1E15", "INF".
std::string FormatKmlNumber(long double value);

class KmlLines {
public:
    void BeginDocument(const std::string& title);
    void AddPhotoOverlay(const std::string& baseName, const std::string& href, const GeoBox& box);
    void BeginTileFolder(const std::string& baseName);
    void AddTileOverlay(const std::string& baseName, const std::string& tileName,
                        const std::string& tileHref, const GeoBox& box);
    void EndTileFolder();
    void EndDocument();

    // Appends lines made elsewhere (an overlay built ahead on another thread).
    void Append(KmlLines&& other);

    std::string DocumentText() const;
    const std::vector<std::string>& lines() const { return lines_; }

private:
    void AddOverlay(int indent, const std::string& name, const std::string& description,
                    const std::string& href, const std::string& boxId, const GeoBox& box);

    std::vector<std::string> lines_;
};

}  // namespace ortholay
