#include "app/publish.h"

#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include <tbb/parallel_for.h>
#include <tbb/parallel_pipeline.h>

#include "common/error.h"
#include "common/file_io.h"
#include "common/jpeg_codec.h"
#include "common/thread_arena.h"
#include "georef/tile_grid.h"
#include "georef/tm2.h"
#include "output/tile_image.h"

namespace ortholay {

namespace {

GeoBox Publishable(const GeoBox& box, bool convert) {
    return convert ? Tm2BoxToGeographic(box) : box;
}

// One tile's outcome: its file staged under a temporary name, or the
// failure that making it met.
struct TileSlot {
    std::string staged;
    std::exception_ptr failure;
};

// The tiles of one photograph, staged ahead of the end of its decode. A
// damaged photograph is only known to be damaged when its last row has been
// decoded, and a photograph that fails to decode must leave no tile on disk;
// so each tile goes to a temporary file first, and the temporary files are
// put in place in tile order once the whole photograph has decoded. Whatever
// is not put in place is removed, on every path.
class StagedTiles {
public:
    explicit StagedTiles(std::size_t count) : slots_(count) {}
    ~StagedTiles() {
        for (std::size_t i = committed_; i < slots_.size(); ++i) {
            if (!slots_[i].staged.empty()) {
                DiscardStagedFile(slots_[i].staged);
            }
        }
    }
    StagedTiles(const StagedTiles&) = delete;
    StagedTiles& operator=(const StagedTiles&) = delete;

    TileSlot& operator[](std::size_t i) { return slots_[i]; }

    // Puts the tiles in place in order, up to the first that failed, and
    // throws that failure (or the first failure of a rename).
    void commitInOrder(const std::vector<std::string>& finalNames) {
        while (committed_ < slots_.size()) {
            TileSlot& slot = slots_[committed_];
            if (slot.failure) {
                std::rethrow_exception(slot.failure);
            }
            ++committed_;
            CommitStagedFile(slot.staged, finalNames[committed_ - 1]);
        }
    }

private:
    std::vector<TileSlot> slots_;
    std::size_t committed_ = 0;
};

// A band of decoded rows: one row of tiles. Bands are recycled, so that
// after the first few the pages are already mapped and no time goes into
// touching fresh memory.
struct Band {
    std::int32_t row = 0;
    std::vector<std::uint8_t> pixels;
};

class BandPool {
public:
    std::unique_ptr<Band> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty()) {
            return std::make_unique<Band>();
        }
        std::unique_ptr<Band> band = std::move(free_.back());
        free_.pop_back();
        return band;
    }
    void give(std::unique_ptr<Band> band) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(band));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Band>> free_;
};

class TileCutter {
public:
    TileCutter(const PublishRequest& request, const GeoreferencedPhoto& photo, const TileGrid& grid)
        : request_(request),
          photo_(photo),
          grid_(grid),
          // A grid with no rows or no columns has no tiles at all.
          rows_(grid.rows > 0 && grid.columns > 0 ? grid.rows : 0),
          columns_(grid.rows > 0 && grid.columns > 0 ? grid.columns : 0),
          decoder_(photo.jpeg.data(), photo.jpeg.size()),
          stride_(static_cast<std::size_t>(decoder_.width()) * 3),
          staged_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_)) {
        for (std::int32_t row = 0; row < rows_; ++row) {
            for (std::int32_t column = 0; column < columns_; ++column) {
                fileNames_.push_back(TileFileName(request.paths.basePath, row, column));
            }
        }
    }

    void run(int threads) {
        if (threads > 1 && rows_ > 0) {
            runPipelined(threads);
        } else {
            runInTurn();
        }
        if (!decodeFailure_) {
            try {
                decoder_.skipRows(decoder_.height() - decoder_.rowsRead());
                decoder_.finish();
            } catch (...) {
                decodeFailure_ = std::current_exception();
            }
        }
        if (decodeFailure_) {
            std::rethrow_exception(decodeFailure_);
        }
        staged_.commitInOrder(fileNames_);
    }

    void appendLines(KmlLines& kml) const {
        kml.BeginTileFolder(request_.paths.baseName);
        for (std::int32_t row = 0; row < rows_; ++row) {
            for (std::int32_t column = 0; column < columns_; ++column) {
                const GeoBox box = TileGeoBox(photo_.world, TileBoundsAt(grid_, row, column));
                kml.AddTileOverlay(request_.paths.baseName,
                                   request_.paths.baseName + "_" + std::to_string(row) + "_" +
                                       std::to_string(column),
                                   fileNames_[index(row, column)],
                                   Publishable(box, request_.convertOption));
            }
        }
        kml.EndTileFolder();
    }

private:
    std::size_t index(std::int32_t row, std::int32_t column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(column);
    }

    // Decodes the rows of one row of tiles. A failure is kept, not thrown:
    // it ends the decode and is reported once the work in flight is done.
    bool readBand(Band& band) {
        try {
            ThrowIfCancelled(request_.cancel);
            const TileBounds bounds = TileBoundsAt(grid_, band.row, 0);
            const std::int32_t height = bounds.y1 - bounds.y0;
            band.pixels.resize(stride_ * static_cast<std::size_t>(height));
            decoder_.readRows(band.pixels.data(), stride_, height);
            return true;
        } catch (const std::bad_alloc&) {
            decodeFailure_ = std::make_exception_ptr(OutOfMemoryError());
        } catch (...) {
            decodeFailure_ = std::current_exception();
        }
        return false;
    }

    // Encodes one tile from its band and stages its file. Runs on any thread;
    // it touches only its own slot.
    void cutTile(const Band& band, std::int32_t column) {
        TileSlot& slot = staged_[index(band.row, column)];
        try {
            ThrowIfCancelled(request_.cancel);
            const TileBounds bounds = TileBoundsAt(grid_, band.row, column);
            const std::vector<std::uint8_t> bytes = EncodeTileImage(
                band.pixels.data() + static_cast<std::size_t>(bounds.x0) * 3, stride_,
                bounds.x1 - bounds.x0, bounds.y1 - bounds.y0, decoder_.progressive());
            slot.staged = StageFile(fileNames_[index(band.row, column)], bytes.data(), bytes.size());
        } catch (const std::bad_alloc&) {
            slot.failure = std::make_exception_ptr(OutOfMemoryError());
        } catch (...) {
            slot.failure = std::current_exception();
        }
    }

    // True when a tile of this band failed: no later tile is made.
    bool bandFailed(const Band& band) {
        for (std::int32_t column = 0; column < columns_; ++column) {
            if (staged_[index(band.row, column)].failure) {
                return true;
            }
        }
        return false;
    }

    void runInTurn() {
        Band band;
        for (std::int32_t row = 0; row < rows_; ++row) {
            band.row = row;
            if (!readBand(band)) {
                return;
            }
            for (std::int32_t column = 0; column < columns_; ++column) {
                cutTile(band, column);
                if (staged_[index(row, column)].failure) {
                    return;
                }
            }
        }
    }

    // Three stages: decode a band (one thread, in order), cut and encode its
    // tiles (all threads), and look at the band's outcome (in order). Two
    // bands are in flight, so while one band is encoded the next decodes,
    // and memory holds about two bands whatever the photograph's height.
    void runPipelined(int threads) {
        BandPool pool;
        std::int32_t nextRow = 0;
        bool stop = false;
        RunOnThreads(threads, [&] {
            tbb::parallel_pipeline(
                2,
                tbb::make_filter<void, Band*>(
                    tbb::filter_mode::serial_in_order,
                    [&](tbb::flow_control& control) -> Band* {
                        if (stop || nextRow >= rows_ || decodeFailure_) {
                            control.stop();
                            return nullptr;
                        }
                        std::unique_ptr<Band> band = pool.take();
                        band->row = nextRow++;
                        if (!readBand(*band)) {
                            pool.give(std::move(band));
                            control.stop();
                            return nullptr;
                        }
                        return band.release();
                    }) &
                    tbb::make_filter<Band*, Band*>(
                        tbb::filter_mode::parallel,
                        [&](Band* band) -> Band* {
                            tbb::parallel_for(std::int32_t{0}, columns_,
                                              [&](std::int32_t column) { cutTile(*band, column); });
                            return band;
                        }) &
                    tbb::make_filter<Band*, void>(
                        tbb::filter_mode::serial_in_order, [&](Band* raw) {
                            std::unique_ptr<Band> band(raw);
                            if (bandFailed(*band)) {
                                stop = true;
                            }
                            pool.give(std::move(band));
                        }));
        });
    }

    const PublishRequest& request_;
    const GeoreferencedPhoto& photo_;
    const TileGrid grid_;
    const std::int32_t rows_;
    const std::int32_t columns_;
    JpegBandDecoder decoder_;
    const std::size_t stride_;
    StagedTiles staged_;
    std::vector<std::string> fileNames_;
    std::exception_ptr decodeFailure_;
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
    TileCutter cutter(request, photo, grid);
    cutter.run(request.jobs);
    cutter.appendLines(kml);
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
