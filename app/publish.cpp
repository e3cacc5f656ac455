#include "app/publish.h"

#include <exception>
#include <vector>

#include "common/error.h"
#include "common/file_io.h"
#include "common/jpeg_codec.h"
#include "georef/tile_grid.h"
#include "georef/tm2.h"
#include "output/tile_image.h"

namespace ortholay {

namespace {

void CheckCancel(const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        throw SilentAbort();
    }
}

GeoBox Publishable(const GeoBox& box, bool convert) {
    return convert ? Tm2BoxToGeographic(box) : box;
}

// Tile files written ahead of the end of the decode. A damaged photograph
// is only known to be damaged when its last row is decoded, and no tile of
// a photograph that fails to decode may be left on disk; so each tile goes
// to a temporary file first, and the temporary files are put in place, in
// tile order, once the whole photograph has decoded.
class StagedTiles {
public:
    ~StagedTiles() {
        for (std::size_t i = committed_; i < staged_.size(); ++i) {
            DiscardStagedFile(staged_[i].temporary);
        }
    }

    void add(std::string temporary, std::string final) {
        staged_.push_back({std::move(temporary), std::move(final)});
    }

    void commitAll() {
        while (committed_ < staged_.size()) {
            const Staged& tile = staged_[committed_];
            ++committed_;
            CommitStagedFile(tile.temporary, tile.final);
        }
    }

private:
    struct Staged {
        std::string temporary;
        std::string final;
    };
    std::vector<Staged> staged_;
    std::size_t committed_ = 0;
};

void PublishTiles(const PublishRequest& request, const GeoreferencedPhoto& photo, KmlLines& kml) {
    TileGrid grid;
    try {
        grid = PlanTiles(photo.width, photo.height, request.cutWidth, request.cutHeight);
    } catch (const DivisionByZeroError&) {
        // The photograph is decoded before its tiles are planned: a damaged
        // photograph reports its decode failure first.
        DecodeAndDiscard(photo.jpeg.data(), photo.jpeg.size());
        throw;
    }

    JpegBandDecoder decoder(photo.jpeg.data(), photo.jpeg.size());
    const std::size_t stride = static_cast<std::size_t>(decoder.width()) * 3;
    const bool hasTiles = grid.rows > 0 && grid.columns > 0;
    KmlLines tileLines;
    tileLines.BeginTileFolder(request.paths.baseName);
    StagedTiles staged;
    std::exception_ptr tileFailure;  // the first tile that failed; later tiles are not made
    std::vector<std::uint8_t> band;
    if (hasTiles) {
        for (std::int32_t row = 0; row < grid.rows && !tileFailure; ++row) {
            const TileBounds rowBounds = TileBoundsAt(grid, row, 0);
            const std::int32_t bandHeight = rowBounds.y1 - rowBounds.y0;
            band.resize(stride * static_cast<std::size_t>(bandHeight));
            decoder.readRows(band.data(), stride, bandHeight);
            for (std::int32_t column = 0; column < grid.columns; ++column) {
                CheckCancel(request.cancel);
                const TileBounds bounds = TileBoundsAt(grid, row, column);
                const GeoBox box = TileGeoBox(photo.world, bounds);
                const std::string fileName = TileFileName(request.paths.basePath, row, column);
                try {
                    const std::vector<std::uint8_t> bytes =
                        EncodeTileImage(band.data() + static_cast<std::size_t>(bounds.x0) * 3, stride,
                                        bounds.x1 - bounds.x0, bandHeight, decoder.progressive());
                    staged.add(StageFile(fileName, bytes.data(), bytes.size()), fileName);
                } catch (const Error&) {
                    tileFailure = std::current_exception();
                    break;
                }
                tileLines.AddTileOverlay(request.paths.baseName,
                                         request.paths.baseName + "_" + std::to_string(row) + "_" +
                                             std::to_string(column),
                                         fileName, Publishable(box, request.convertOption));
            }
        }
    }
    decoder.skipRows(decoder.height() - decoder.rowsRead());
    decoder.finish();
    staged.commitAll();
    if (tileFailure) {
        std::rethrow_exception(tileFailure);
    }
    tileLines.EndTileFolder();
    kml.Append(std::move(tileLines));
}

}  // namespace

void PublishPhoto(const PublishRequest& request, const GeoreferencedPhoto& photo, KmlLines& kml) {
    if (!request.cutOption) {
        DecodeAndDiscard(photo.jpeg.data(), photo.jpeg.size());
        kml.AddPhotoOverlay(request.paths.baseName, request.href,
                            Publishable(WholeImageBox(photo.world, photo.width, photo.height),
                                        request.convertOption));
        return;
    }
    PublishTiles(request, photo, kml);
}

}  // namespace ortholay
