// Publishing one ticked photograph: its decode, its overlay or its folder of
// tiles, with the convert and cut options taken into account.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "georef/photo.h"
#include "georef/photo_paths.h"
#include "output/kml_document.h"

namespace ortholay {

struct PublishRequest {
    PhotoPaths paths;
    std::string href;  // for the whole-photograph overlay
    std::int32_t cutWidth = 800;
    std::int32_t cutHeight = 800;
    bool cutOption = false;
    bool convertOption = false;
    int jobs = 0;
    const std::atomic<bool>* cancel = nullptr;
};

// Decodes the photograph in full (every ticked photograph is, whatever the
// options) and appends its lines to `kml`: one overlay, or with the cut
// option a folder with one overlay per tile, each tile's file written beside
// the photograph. Failures are thrown in the order a one-tile-at-a-time run
// meets them: the decode, then the tile grid, then tile by tile; tile files
// of earlier tiles stay, and none after the failing one is written.
void PublishPhoto(const PublishRequest& request, const GeoreferencedPhoto& photo, KmlLines& kml);

}  // namespace ortholay
