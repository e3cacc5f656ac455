#include "app/conversion_run.h"

#include <new>
#include <stdexcept>

#include "app/publish.h"
#include "common/error.h"
#include "georef/photo.h"
#include "georef/photo_paths.h"
#include "output/kml_document.h"

namespace ortholay {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void CheckCancel(const RunObserver& observer) {
    if (observer.cancel != nullptr && observer.cancel->load(std::memory_order_relaxed)) {
        throw SilentAbort();
    }
}

}  // namespace

std::int32_t ParseCutSize(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    const auto reject = [&]() -> std::int32_t { throw InvalidIntegerError(text); };
    if (i == n) {
        return reject();
    }
    std::size_t hexStart = std::string::npos;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        hexStart = i + 1;
    } else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hexStart = i + 2;
    }
    if (hexStart != std::string::npos) {
        if (hexStart == n) {
            return reject();
        }
        std::uint64_t value = 0;
        for (std::size_t k = hexStart; k < n; ++k) {
            const int digit = HexValue(text[k]);
            if (digit < 0) {
                return reject();
            }
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull) {
                return reject();
            }
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == n) {
        return reject();
    }
    std::int64_t value = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return reject();
        }
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) {
            return reject();
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > 2147483647LL) {
        return reject();
    }
    return static_cast<std::int32_t>(value);
}

std::string RunConversion(const RunSettings& settings, const RunObserver& observer) {
    const auto setProgress = [&](int position) {
        if (observer.progress) {
            observer.progress(position);
        }
    };
    try {
        KmlLines kml;
        kml.BeginDocument(settings.title);
        const std::size_t n = settings.entries.size();
        setProgress(0);
        for (std::size_t i = 0; i < n; ++i) {
            const RunEntry& entry = settings.entries[i];
            if (entry.ticked) {
                CheckCancel(observer);
                if (observer.entryStarted) {
                    observer.entryStarted(i, entry.name);
                }
                PublishRequest request;
                request.paths = DerivePhotoPaths(settings.folder, entry.name);
                request.href = settings.hrefPrefix + request.paths.baseName + ".jpg";
                // Both cut sizes are parsed for every ticked entry, whatever
                // the cut option, the height first.
                request.cutHeight = ParseCutSize(settings.cutHeightText);
                request.cutWidth = ParseCutSize(settings.cutWidthText);
                request.cutOption = settings.cutOption;
                request.convertOption = settings.convertOption;
                request.jobs = settings.jobs;
                request.cancel = observer.cancel;
                const GeoreferencedPhoto photo = ReadGeoreferencedPhoto(request.paths);
                PublishPhoto(request, photo, kml);
            }
            setProgress(static_cast<int>((static_cast<std::int64_t>(i) * 100 + 100) /
                                         static_cast<std::int64_t>(n)));
        }
        setProgress(100);
        kml.EndDocument();
        return kml.DocumentText();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    } catch (const std::length_error&) {
        throw OutOfMemoryError();
    }
}

}  // namespace ortholay
