#include "app/conversion_run.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

#include <tbb/parallel_pipeline.h>

#include "app/publish.h"
#include "common/error.h"
#include "common/thread_arena.h"
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

namespace {

// Everything of one ticked entry up to its decode: paths, href, cut sizes,
// world file and photograph header, in the order that fixes which failure
// is reported first.
struct PreparedEntry {
    PublishRequest request;
    GeoreferencedPhoto photo;
};

PreparedEntry PrepareEntry(const RunSettings& settings, const RunEntry& entry, int threads,
                           const RunObserver& observer) {
    PreparedEntry prepared;
    PublishRequest& request = prepared.request;
    request.paths = DerivePhotoPaths(settings.folder, entry.name);
    request.href = settings.hrefPrefix;
    request.href.append(request.paths.baseName).append(".jpg");
    // Both cut sizes are parsed for every ticked entry, whatever the cut
    // option, the height first.
    request.cutHeight = ParseCutSize(settings.cutHeightText);
    request.cutWidth = ParseCutSize(settings.cutWidthText);
    request.cutOption = settings.cutOption;
    request.convertOption = settings.convertOption;
    request.jobs = threads;
    request.cancel = observer.cancel;
    prepared.photo = ReadGeoreferencedPhoto(request.paths);
    return prepared;
}

int ProgressAfter(std::size_t index, std::size_t count) {
    return static_cast<int>((static_cast<std::int64_t>(index) * 100 + 100) /
                            static_cast<std::int64_t>(count));
}

// One entry after the other; with the cut option each photograph's tiles
// are still encoded on all threads (PublishPhoto).
void RunEntriesInTurn(const RunSettings& settings, int threads, const RunObserver& observer,
                      KmlLines& kml, const std::function<void(int)>& setProgress) {
    const std::size_t n = settings.entries.size();
    for (std::size_t i = 0; i < n; ++i) {
        const RunEntry& entry = settings.entries[i];
        if (entry.ticked) {
            ThrowIfCancelled(observer.cancel);
            if (observer.entryStarted) {
                observer.entryStarted(i, entry.name);
            }
            const PreparedEntry prepared = PrepareEntry(settings, entry, threads, observer);
            PublishPhoto(prepared.request, prepared.photo, kml);
        }
        setProgress(ProgressAfter(i, n));
    }
}

// Without tiles, publishing a photograph is decoding it and adding one
// overlay, and photographs are independent: they are read in list order,
// decoded on all threads at once, and their results taken back in list
// order. A failure is held by its entry until the entries before it are
// done, so the one reported is the first in the list, and the progress
// stands where it would have stopped.
void RunWholeImagePipeline(const RunSettings& settings, int threads, const RunObserver& observer,
                           KmlLines& kml, const std::function<void(int)>& setProgress) {
    struct Token {
        std::size_t index = 0;
        bool ticked = false;
        std::unique_ptr<PreparedEntry> prepared;
        KmlLines lines;
        std::exception_ptr failure;
    };
    const std::size_t n = settings.entries.size();
    std::size_t next = 0;
    bool failed = false;
    std::exception_ptr firstFailure;
    RunOnThreads(threads, [&] {
        tbb::parallel_pipeline(
            static_cast<std::size_t>(threads),
            tbb::make_filter<void, Token*>(
                tbb::filter_mode::serial_in_order,
                [&](tbb::flow_control& control) -> Token* {
                    if (next >= n || failed) {
                        control.stop();
                        return nullptr;
                    }
                    auto token = std::make_unique<Token>();
                    token->index = next++;
                    const RunEntry& entry = settings.entries[token->index];
                    token->ticked = entry.ticked;
                    if (entry.ticked) {
                        try {
                            ThrowIfCancelled(observer.cancel);
                            if (observer.entryStarted) {
                                observer.entryStarted(token->index, entry.name);
                            }
                            token->prepared = std::make_unique<PreparedEntry>(
                                PrepareEntry(settings, entry, 1, observer));
                        } catch (...) {
                            token->failure = std::current_exception();
                        }
                    }
                    return token.release();
                }) &
                tbb::make_filter<Token*, Token*>(
                    tbb::filter_mode::parallel,
                    [&](Token* token) -> Token* {
                        if (token->prepared && !token->failure) {
                            try {
                                PublishPhoto(token->prepared->request, token->prepared->photo,
                                             token->lines);
                            } catch (...) {
                                token->failure = std::current_exception();
                            }
                            // The compressed photograph is no longer needed.
                            token->prepared.reset();
                        }
                        return token;
                    }) &
                tbb::make_filter<Token*, void>(
                    tbb::filter_mode::serial_in_order, [&](Token* raw) {
                        std::unique_ptr<Token> token(raw);
                        if (failed) {
                            return;
                        }
                        if (token->failure) {
                            failed = true;
                            firstFailure = token->failure;
                            return;
                        }
                        kml.Append(std::move(token->lines));
                        setProgress(ProgressAfter(token->index, n));
                    }));
    });
    if (firstFailure) {
        std::rethrow_exception(firstFailure);
    }
}

}  // namespace

std::string RunConversion(const RunSettings& settings, const RunObserver& observer) {
    const auto setProgress = [&](int position) {
        if (observer.progress) {
            observer.progress(position);
        }
    };
    try {
        KmlLines kml;
        kml.BeginDocument(settings.title);
        setProgress(0);
        const int threads = settings.jobs > 0
                                ? settings.jobs
                                : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        if (threads > 1 && !settings.cutOption) {
            RunWholeImagePipeline(settings, threads, observer, kml, setProgress);
        } else {
            RunEntriesInTurn(settings, threads, observer, kml, setProgress);
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
