// libjpeg's fatal errors must not return into the library ("control must NOT
// return to the caller"). Every call into libjpeg is therefore made from a
// small static function that arms a setjmp first and holds no object with a
// destructor; error_exit records the message code and longjmps back there,
// the function returns the code, and its C++ caller releases the libjpeg
// object and throws. No exception ever crosses libjpeg's C frames.
//
// The libjpeg structs live on the heap and are reached through a pointer, so
// their contents stay well-defined after a longjmp (the trap example.c warns
// about concerns non-volatile locals modified after setjmp).

#include "common/jpeg_codec.h"

#include <atomic>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

#include "common/error.h"

namespace ortholay {

namespace {

struct ErrorBridge {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int msgCode;
};

extern "C" void BridgeErrorExit(j_common_ptr cinfo) {
    auto* bridge = reinterpret_cast<ErrorBridge*>(cinfo->err);
    bridge->msgCode = cinfo->err->msg_code;
    std::longjmp(bridge->jump, 1);
}

// Warnings (data ending early, corrupt entropy data) are not reported: the
// decode goes on as far as the library allows.
extern "C" void BridgeEmitMessage(j_common_ptr, int) {}
extern "C" void BridgeOutputMessage(j_common_ptr) {}

void InitBridge(ErrorBridge* bridge) {
    jpeg_std_error(&bridge->pub);
    bridge->pub.error_exit = BridgeErrorExit;
    bridge->pub.emit_message = BridgeEmitMessage;
    bridge->pub.output_message = BridgeOutputMessage;
    bridge->msgCode = 0;
}

// A row loop that got no row from the library: never expected with an
// in-memory source, which pads missing data; reported as a corrupt stream
// rather than looping forever.
constexpr int kNoProgress = -1;

// libjpeg-turbo's message table has one entry more than the classic one the
// numbers in "JPEG error #%d" follow.
//
// Running out of memory comes in two forms: malloc failing inside the
// library, and an image whose whole-image buffers exceed the memory limit
// (the library would then need a temporary file, which this build of it
// does not have). Both are the same thing to the user.
[[noreturn]] void ThrowForCode(int code) {
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) {
        throw OutOfMemoryError();
    }
    if (code == kNoProgress) {
        throw JpegError(JERR_BAD_STATE - 1);
    }
    throw JpegError(code - 1);
}

// ---------------------------------------------------------------- limits

// Half the machine's physical memory: room for the photograph's bytes, the
// caller's band and everything else the program holds besides.
std::size_t DefaultMemoryLimit() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(pageSize);
    }
#endif
    return std::size_t{2} << 30;
}

std::atomic<std::size_t>& MemoryLimit() {
    static std::atomic<std::size_t> limit{DefaultMemoryLimit()};
    return limit;
}

// Caps what the library may allocate for one image's whole-image buffers (a
// progressive photograph keeps all its coefficients, 2 bytes each, so a
// small file whose header claims 65500 x 65500 pixels asks for tens of
// gigabytes). Past the cap the library stops with JERR_NO_BACKING_STORE
// rather than taking the machine's memory. A smaller JPEGMEM setting, which
// the library reads itself, is kept.
void ApplyMemoryLimit(j_common_ptr cinfo) {
    const std::size_t limit = MemoryLimit().load(std::memory_order_relaxed);
    if (limit == 0) {
        return;
    }
    const long capped = limit > static_cast<std::size_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(limit);
    if (cinfo->mem->max_memory_to_use == 0 || cinfo->mem->max_memory_to_use > capped) {
        cinfo->mem->max_memory_to_use = capped;
    }
}

// A progressive (or multi-scan) photograph is decoded scan by scan, each
// scan a pass over the whole image. A damaged or crafted file can repeat
// tiny scans thousands of times; the library only warns about an
// inconsistent progression, and the decode would go on for hours on a large
// image. Real encoders write about ten scans; libjpeg-turbo's TurboJPEG API,
// asked to limit scans against this very attack, stops past 500, as is done
// here.
constexpr int kMaxScans = 500;

// The error such a file ends with: the library's own "invalid progressive
// parameters", the message it gives for a progression it will not decode
// (the user sees "JPEG error #15").
constexpr int kTooManyScansCode = JERR_BAD_PROGRESSION;

extern "C" void LimitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        // error_exit longjmps back to the setjmp of the call in progress.
        ERREXIT(cinfo, kTooManyScansCode);
    }
}

// ---------------------------------------------------------------- header

struct HeaderState {
    jpeg_decompress_struct cinfo;
    ErrorBridge err;
    bool created;
};

int ReadHeaderRaw(HeaderState* s, const std::uint8_t* data, unsigned long size) {
    if (setjmp(s->err.jump)) {
        return s->err.msgCode;
    }
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    jpeg_mem_src(&s->cinfo, data, size);
    jpeg_read_header(&s->cinfo, TRUE);
    return 0;
}

void DestroyHeader(HeaderState* s) {
    if (s->created) {
        jpeg_destroy_decompress(&s->cinfo);
        s->created = false;
    }
}

}  // namespace

void SetJpegMemoryLimit(std::size_t bytes) {
    MemoryLimit().store(bytes, std::memory_order_relaxed);
}

std::size_t JpegMemoryLimit() {
    return MemoryLimit().load(std::memory_order_relaxed);
}

JpegHeader ReadJpegHeader(const std::uint8_t* data, std::size_t size) {
    JpegHeader header;
    if (size == 0) {
        return header;
    }
    auto state = std::make_unique<HeaderState>();
    std::memset(static_cast<void*>(&state->cinfo), 0, sizeof state->cinfo);
    state->created = false;
    InitBridge(&state->err);
    state->cinfo.err = &state->err.pub;
    const int code = ReadHeaderRaw(state.get(), data, static_cast<unsigned long>(size));
    if (code != 0) {
        DestroyHeader(state.get());
        ThrowForCode(code);
    }
    header.width = static_cast<std::int32_t>(state->cinfo.image_width);
    header.height = static_cast<std::int32_t>(state->cinfo.image_height);
    header.progressive = jpeg_has_multiple_scans(&state->cinfo) != 0;
    DestroyHeader(state.get());
    return header;
}

// ---------------------------------------------------------------- decoding

struct JpegBandDecoder::State {
    jpeg_decompress_struct cinfo;
    ErrorBridge err;
    jpeg_progress_mgr progress;
    bool created = false;
    bool progressive = false;
    bool quantized = false;
    std::int32_t rowsRead = 0;
    std::vector<JSAMPROW> rowPointers;
    std::vector<std::uint8_t> indexRows;  // palette indices, quantized output only
};

namespace {

using DecodeState = JpegBandDecoder::State;

}  // namespace

// Step 1 to 7 of the decoding settings, up to jpeg_start_decompress.
static int StartDecodeRaw(DecodeState* s, const std::uint8_t* data, unsigned long size) {
    if (setjmp(s->err.jump)) {
        return s->err.msgCode;
    }
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    ApplyMemoryLimit(reinterpret_cast<j_common_ptr>(&s->cinfo));
    s->cinfo.progress = &s->progress;
    jpeg_mem_src(&s->cinfo, data, size);
    jpeg_read_header(&s->cinfo, TRUE);
    s->progressive = jpeg_has_multiple_scans(&s->cinfo) != 0;
    s->cinfo.scale_num = 1;
    s->cinfo.scale_denom = 1;
    s->cinfo.do_block_smoothing = TRUE;
    s->cinfo.dct_method = JDCT_FLOAT;
    if (s->cinfo.num_components != 1 && s->cinfo.num_components != 3) {
        // Four-component (CMYK, YCCK) photographs have no RGB raster; asking
        // for one makes the library refuse them with its own message code.
        s->cinfo.out_color_space = JCS_RGB;
    }
    if (s->cinfo.out_color_space == JCS_GRAYSCALE) {
        s->cinfo.quantize_colors = TRUE;
        s->cinfo.desired_number_of_colors = 236;
    }
    jpeg_start_decompress(&s->cinfo);
    return 0;
}

static int ReadRowsRaw(DecodeState* s, JSAMPARRAY rows, JDIMENSION count) {
    if (setjmp(s->err.jump)) {
        return s->err.msgCode;
    }
    JDIMENSION done = 0;
    while (done < count) {
        const JDIMENSION got = jpeg_read_scanlines(&s->cinfo, rows + done, count - done);
        if (got == 0) {
            return kNoProgress;
        }
        done += got;
    }
    return 0;
}

static int FinishDecodeRaw(DecodeState* s) {
    if (setjmp(s->err.jump)) {
        return s->err.msgCode;
    }
    jpeg_finish_decompress(&s->cinfo);
    return 0;
}

namespace {

void DestroyDecode(DecodeState* s) {
    if (s->created) {
        jpeg_destroy_decompress(&s->cinfo);
        s->created = false;
    }
}

}  // namespace

JpegBandDecoder::JpegBandDecoder(const std::uint8_t* data, std::size_t size)
    : state_(std::make_unique<State>()) {
    State* s = state_.get();
    std::memset(static_cast<void*>(&s->cinfo), 0, sizeof s->cinfo);
    std::memset(static_cast<void*>(&s->progress), 0, sizeof s->progress);
    s->progress.progress_monitor = LimitScans;
    InitBridge(&s->err);
    s->cinfo.err = &s->err.pub;
    const int code = StartDecodeRaw(s, data, static_cast<unsigned long>(size));
    if (code != 0) {
        DestroyDecode(s);
        ThrowForCode(code);
    }
    s->quantized = s->cinfo.quantize_colors != 0;
}

JpegBandDecoder::~JpegBandDecoder() {
    DestroyDecode(state_.get());
}

std::int32_t JpegBandDecoder::width() const {
    return static_cast<std::int32_t>(state_->cinfo.output_width);
}

std::int32_t JpegBandDecoder::height() const {
    return static_cast<std::int32_t>(state_->cinfo.output_height);
}

bool JpegBandDecoder::progressive() const {
    return state_->progressive;
}

std::int32_t JpegBandDecoder::rowsRead() const {
    return state_->rowsRead;
}

void JpegBandDecoder::readRows(std::uint8_t* dst, std::size_t stride, std::int32_t count) {
    State* s = state_.get();
    if (count <= 0) {
        return;
    }
    const std::size_t width = s->cinfo.output_width;
    s->rowPointers.resize(static_cast<std::size_t>(count));
    if (s->quantized) {
        s->indexRows.resize(width * static_cast<std::size_t>(count));
        for (std::int32_t r = 0; r < count; ++r) {
            s->rowPointers[static_cast<std::size_t>(r)] = s->indexRows.data() + width * static_cast<std::size_t>(r);
        }
    } else {
        for (std::int32_t r = 0; r < count; ++r) {
            s->rowPointers[static_cast<std::size_t>(r)] = dst + stride * static_cast<std::size_t>(r);
        }
    }
    const int code = ReadRowsRaw(s, s->rowPointers.data(), static_cast<JDIMENSION>(count));
    if (code != 0) {
        DestroyDecode(s);
        ThrowForCode(code);
    }
    s->rowsRead += count;
    if (s->quantized) {
        // A grayscale photograph comes out as indices into a palette of
        // gray levels; the band is handed out as gray RGB.
        const JSAMPROW levels = s->cinfo.colormap[0];
        for (std::int32_t r = 0; r < count; ++r) {
            const std::uint8_t* in = s->indexRows.data() + width * static_cast<std::size_t>(r);
            std::uint8_t* out = dst + stride * static_cast<std::size_t>(r);
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t v = levels[in[x]];
                out[3 * x] = v;
                out[3 * x + 1] = v;
                out[3 * x + 2] = v;
            }
        }
    }
}

void JpegBandDecoder::skipRows(std::int32_t count) {
    constexpr std::int32_t kChunk = 16;
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(state_->cinfo.output_width) * 3 * kChunk);
    while (count > 0) {
        const std::int32_t n = count < kChunk ? count : kChunk;
        readRows(scratch.data(), static_cast<std::size_t>(state_->cinfo.output_width) * 3, n);
        count -= n;
    }
}

void JpegBandDecoder::finish() {
    State* s = state_.get();
    const int code = FinishDecodeRaw(s);
    if (code != 0) {
        DestroyDecode(s);
        ThrowForCode(code);
    }
}

void DecodeAndDiscard(const std::uint8_t* data, std::size_t size) {
    JpegBandDecoder decoder(data, size);
    decoder.skipRows(decoder.height());
    decoder.finish();
}

// ---------------------------------------------------------------- encoding

namespace {

// A destination that collects the encoded bytes in one malloc'd buffer, grown
// by doubling; the buffer is ours to free on every path.
struct GrowingDestination {
    jpeg_destination_mgr pub;
    unsigned char* buffer;
    std::size_t capacity;
    bool expansionFailed;
};

extern "C" void GrowInit(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<GrowingDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

extern "C" boolean GrowEmpty(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<GrowingDestination*>(cinfo->dest);
    const std::size_t newCapacity = dest->capacity * 2;
    auto* grown = newCapacity > dest->capacity
                      ? static_cast<unsigned char*>(std::realloc(dest->buffer, newCapacity))
                      : nullptr;
    if (grown == nullptr) {
        dest->expansionFailed = true;
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    }
    dest->buffer = grown;
    dest->pub.next_output_byte = grown + dest->capacity;
    dest->pub.free_in_buffer = newCapacity - dest->capacity;
    dest->capacity = newCapacity;
    return TRUE;
}

extern "C" void GrowTerm(j_compress_ptr) {}

struct EncodeState {
    jpeg_compress_struct cinfo;
    ErrorBridge err;
    GrowingDestination dest;
    bool created;
};

}  // namespace

static int EncodeRaw(EncodeState* s, JSAMPARRAY rows, JDIMENSION width, JDIMENSION height,
                     bool progressive) {
    if (setjmp(s->err.jump)) {
        return s->err.msgCode;
    }
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    ApplyMemoryLimit(reinterpret_cast<j_common_ptr>(&s->cinfo));
    s->cinfo.dest = &s->dest.pub;
    s->cinfo.image_width = width;
    s->cinfo.image_height = height;
    s->cinfo.input_components = 3;
    s->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s->cinfo);
    s->cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&s->cinfo, 75, TRUE);
    if (progressive) {
        jpeg_simple_progression(&s->cinfo);
    }
    jpeg_start_compress(&s->cinfo, TRUE);
    while (s->cinfo.next_scanline < s->cinfo.image_height) {
        jpeg_write_scanlines(&s->cinfo, rows + s->cinfo.next_scanline,
                             s->cinfo.image_height - s->cinfo.next_scanline);
    }
    jpeg_finish_compress(&s->cinfo);
    return 0;
}

std::vector<std::uint8_t> EncodeTileJpeg(const std::uint8_t* rgb, std::size_t stride,
                                         std::int32_t width, std::int32_t height,
                                         bool progressive) {
    std::vector<JSAMPROW> rows(height > 0 ? static_cast<std::size_t>(height) : 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r] = const_cast<JSAMPROW>(rgb + stride * r);
    }
    auto state = std::make_unique<EncodeState>();
    std::memset(static_cast<void*>(state.get()), 0, sizeof(EncodeState));
    InitBridge(&state->err);
    state->cinfo.err = &state->err.pub;
    state->dest.pub.init_destination = GrowInit;
    state->dest.pub.empty_output_buffer = GrowEmpty;
    state->dest.pub.term_destination = GrowTerm;
    state->dest.capacity = 64 * 1024;
    state->dest.buffer = static_cast<unsigned char*>(std::malloc(state->dest.capacity));
    if (state->dest.buffer == nullptr) {
        throw OutOfMemoryError();
    }
    // Dimensions outside libjpeg's range are passed through as they are (a
    // negative one wraps to a huge unsigned), so the library itself rejects
    // them with its own message code.
    const int code = EncodeRaw(state.get(), rows.data(), static_cast<JDIMENSION>(width),
                               static_cast<JDIMENSION>(height), progressive);
    if (state->created) {
        jpeg_destroy_compress(&state->cinfo);
    }
    if (code != 0) {
        std::free(state->dest.buffer);
        if (state->dest.expansionFailed) {
            throw StreamExpansionError();
        }
        ThrowForCode(code);
    }
    const std::size_t used = state->dest.capacity - state->dest.pub.free_in_buffer;
    std::vector<std::uint8_t> out;
    try {
        out.assign(state->dest.buffer, state->dest.buffer + used);
    } catch (const std::bad_alloc&) {
        std::free(state->dest.buffer);
        throw StreamExpansionError();
    }
    std::free(state->dest.buffer);
    return out;
}

}  // namespace ortholay
