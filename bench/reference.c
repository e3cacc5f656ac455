/* ortholay-bench-reference: the yardstick for Ortholay's sequential speed.
 *
 * A straight, single-thread libjpeg program doing the pixel work of one
 * Ortholay run and nothing else: no world files, no KML, no staging of tile
 * files. It is deliberately independent of Ortholay's own code (it talks to
 * libjpeg directly, the way libjpeg's example.c does), so that it measures
 * what the library itself costs.
 *
 *   ortholay-bench-reference [-d] [-o OUTDIR] PHOTO.jpg ...
 *
 * For every photograph, read whole into memory:
 *   - decode at full size with the float IDCT and block smoothing; a
 *     grayscale photograph is quantized to 236 dithered gray levels and
 *     widened to RGB, as Ortholay hands it out;
 *   - with -d, only decode (16 rows at a time into one small buffer), the
 *     work of a run without cutting;
 *   - otherwise decode one tile row (800 scanlines; the last row takes a
 *     remainder of up to 100) at a time into one reused band buffer, cut it
 *     into 800-px tiles on the same grid (x0 = column * 800, the last column
 *     running to the right edge), encode each at quality 75 (baseline tables,
 *     float DCT, the standard progression when the photograph was
 *     progressive) into memory and write it to OUTDIR/NAME_ROW_COLUMN.jpg.
 *
 * With the same libjpeg the tiles are byte-identical to Ortholay's.
 * Exit status 1 on any failure, with a message on standard error.
 */

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>

#define CUT 800
#define REMAINDER_THRESHOLD 100
#define DISCARD_ROWS 16

struct bench_error_mgr {
    struct jpeg_error_mgr pub;
    jmp_buf setjmp_buffer;
};

static void bench_error_exit(j_common_ptr cinfo)
{
    struct bench_error_mgr *err = (struct bench_error_mgr *)cinfo->err;
    (*cinfo->err->output_message)(cinfo);
    longjmp(err->setjmp_buffer, 1);
}

/* Warnings (a truncated photograph) are not failures, and are not shown. */
static void bench_emit_message(j_common_ptr cinfo, int level)
{
    (void)cinfo;
    (void)level;
}

_Noreturn static void fail(const char *what, const char *path)
{
    fprintf(stderr, "ortholay-bench-reference: %s: %s\n", what, path);
    exit(1);
}

static unsigned char *read_whole_file(const char *path, unsigned long *size)
{
    FILE *f = fopen(path, "rb");
    long n = 0;
    unsigned char *data;
    if (f == NULL) fail("cannot open", path);
    if (fseek(f, 0, SEEK_END) != 0 || (n = ftell(f)) < 0 || fseek(f, 0, SEEK_SET) != 0)
        fail("cannot size", path);
    data = malloc(n > 0 ? (size_t)n : 1);
    if (data == NULL) fail("out of memory reading", path);
    if (fread(data, 1, (size_t)n, f) != (size_t)n) fail("cannot read", path);
    fclose(f);
    *size = (unsigned long)n;
    return data;
}

static void write_whole_file(const char *path, const unsigned char *data, unsigned long size)
{
    FILE *f = fopen(path, "wb");
    if (f == NULL) fail("cannot create", path);
    if (fwrite(data, 1, size, f) != size || fclose(f) != 0) fail("cannot write", path);
}

/* Tile rows (or columns) of an image side: as many whole cuts as fit, one
 * more when the remainder is over the threshold, otherwise the last one
 * absorbs it. A side no longer than one cut gets a tile only when the other
 * side is longer than a cut, or when its own remainder is over the
 * threshold. */
static void plan_tiles(long width, long height, long *rows, long *columns)
{
    *rows = 0;
    *columns = 0;
    if (height > CUT || width > CUT) {
        *rows = height / CUT;
        *columns = width / CUT;
    }
    if (height % CUT > REMAINDER_THRESHOLD) ++*rows;
    if (width % CUT > REMAINDER_THRESHOLD) ++*columns;
}

/* Widens `count` rows of palette indices to gray RGB triples. */
static void widen_gray(j_decompress_ptr cinfo, const unsigned char *indices, unsigned char *rgb,
                       size_t stride, long count)
{
    const JSAMPROW levels = cinfo->colormap[0];
    size_t width = cinfo->output_width;
    long r;
    size_t x;
    for (r = 0; r < count; ++r) {
        const unsigned char *in = indices + width * (size_t)r;
        unsigned char *out = rgb + stride * (size_t)r;
        for (x = 0; x < width; ++x) {
            unsigned char v = levels[in[x]];
            out[3 * x] = v;
            out[3 * x + 1] = v;
            out[3 * x + 2] = v;
        }
    }
}

/* Decodes the next `count` rows into `band` (rows `stride` bytes apart),
 * through `scratch` (one byte per pixel) when the output is quantized. */
static void read_rows(j_decompress_ptr cinfo, unsigned char *band, size_t stride, long count,
                      unsigned char *scratch, JSAMPROW *rows)
{
    int quantized = cinfo->quantize_colors;
    size_t rowBytes = quantized ? cinfo->output_width : stride;
    unsigned char *base = quantized ? scratch : band;
    long r;
    JDIMENSION done = 0;
    for (r = 0; r < count; ++r) rows[r] = base + rowBytes * (size_t)r;
    while (done < (JDIMENSION)count)
        done += jpeg_read_scanlines(cinfo, rows + done, (JDIMENSION)count - done);
    if (quantized) widen_gray(cinfo, scratch, band, stride, count);
}

static unsigned char *encode_tile(const unsigned char *topLeft, size_t stride, JDIMENSION width,
                                  JDIMENSION height, int progressive, JSAMPROW *rows,
                                  unsigned long *size)
{
    struct jpeg_compress_struct cinfo;
    struct bench_error_mgr jerr;
    unsigned char *out = NULL;
    JDIMENSION r;

    /* Step 1: allocate and initialize the compression object. */
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = bench_error_exit;
    if (setjmp(jerr.setjmp_buffer)) fail("cannot encode", "tile");
    jpeg_create_compress(&cinfo);
    /* Step 2: the destination, a buffer libjpeg grows. */
    *size = 0;
    jpeg_mem_dest(&cinfo, &out, size);
    /* Step 3: parameters. */
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo, 75, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    /* Step 4 to 6: compress the whole tile. */
    for (r = 0; r < height; ++r) rows[r] = (JSAMPROW)(topLeft + stride * r);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows + cinfo.next_scanline,
                             cinfo.image_height - cinfo.next_scanline);
    jpeg_finish_compress(&cinfo);
    /* Step 7: release the compression object; the buffer is the caller's. */
    jpeg_destroy_compress(&cinfo);
    return out;
}

/* The file name without folder and without extension. */
static void base_name(const char *path, char *out, size_t outSize)
{
    const char *slash = strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    const char *dot = strrchr(name, '.');
    size_t n = dot ? (size_t)(dot - name) : strlen(name);
    if (n >= outSize) n = outSize - 1;
    memcpy(out, name, n);
    out[n] = '\0';
}

static void process(const char *path, const char *outDir, int decodeOnly)
{
    struct jpeg_decompress_struct cinfo;
    struct bench_error_mgr jerr;
    unsigned long size;
    unsigned char *data = read_whole_file(path, &size);
    unsigned char *band = NULL;
    unsigned char *scratch = NULL;
    JSAMPROW *rows = NULL;
    int progressive;
    size_t width, height, stride;
    long tileRows, tileColumns, row, column;
    char base[1024];

    base_name(path, base, sizeof base);

    /* Step 1: allocate and initialize the decompression object. */
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = bench_error_exit;
    jerr.pub.emit_message = bench_emit_message;
    if (setjmp(jerr.setjmp_buffer)) fail("cannot decode", path);
    jpeg_create_decompress(&cinfo);
    /* Step 2, 3: source and header. */
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    progressive = jpeg_has_multiple_scans(&cinfo);
    /* Step 4: decoding parameters. */
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.do_block_smoothing = TRUE;
    cinfo.dct_method = JDCT_FLOAT;
    if (cinfo.out_color_space == JCS_GRAYSCALE) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
    }
    /* Step 5: start. */
    jpeg_start_decompress(&cinfo);
    width = cinfo.output_width;
    height = cinfo.output_height;
    stride = width * 3;

    /* Step 6: the rows. */
    if (decodeOnly) {
        band = malloc(stride * DISCARD_ROWS);
        scratch = malloc(width * DISCARD_ROWS);
        rows = malloc(sizeof *rows * DISCARD_ROWS);
        if (band == NULL || scratch == NULL || rows == NULL) fail("out of memory decoding", path);
        while (cinfo.output_scanline < height) {
            long n = (long)(height - cinfo.output_scanline);
            if (n > DISCARD_ROWS) n = DISCARD_ROWS;
            read_rows(&cinfo, band, stride, n, scratch, rows);
        }
    } else {
        long maxBand = CUT + REMAINDER_THRESHOLD;
        plan_tiles((long)width, (long)height, &tileRows, &tileColumns);
        if ((long)height < maxBand) maxBand = (long)height;
        if (maxBand < DISCARD_ROWS) maxBand = DISCARD_ROWS;
        band = malloc(stride * (size_t)maxBand);
        scratch = malloc(width * (size_t)maxBand);
        rows = malloc(sizeof *rows * (size_t)maxBand);
        if (band == NULL || scratch == NULL || rows == NULL) fail("out of memory decoding", path);
        for (row = 0; row < tileRows; ++row) {
            long y0 = row * CUT;
            long y1 = row == tileRows - 1 ? (long)height : y0 + CUT;
            read_rows(&cinfo, band, stride, y1 - y0, scratch, rows);
            for (column = 0; column < tileColumns; ++column) {
                long x0 = column * CUT;
                long x1 = column == tileColumns - 1 ? (long)width : x0 + CUT;
                unsigned long tileSize;
                unsigned char *tile = encode_tile(band + (size_t)x0 * 3, stride, (JDIMENSION)(x1 - x0),
                                                  (JDIMENSION)(y1 - y0), progressive, rows, &tileSize);
                char name[2048];
                snprintf(name, sizeof name, "%s/%s_%ld_%ld.jpg", outDir, base, row, column);
                write_whole_file(name, tile, tileSize);
                free(tile);
            }
        }
        /* The rows below the last tile row (none on this grid but for tiny
         * photographs) are still decoded, as a run does. */
        while (cinfo.output_scanline < height) {
            long n = (long)(height - cinfo.output_scanline);
            if (n > DISCARD_ROWS) n = DISCARD_ROWS;
            read_rows(&cinfo, band, stride, n, scratch, rows);
        }
    }

    /* Step 7, 8: finish and release. */
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    free(rows);
    free(scratch);
    free(band);
    free(data);
}

int main(int argc, char **argv)
{
    const char *outDir = ".";
    int decodeOnly = 0;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (strcmp(argv[i], "-d") == 0) {
            decodeOnly = 1;
        } else if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            outDir = argv[++i];
        } else {
            break;
        }
    }
    if (i >= argc) {
        fprintf(stderr, "usage: ortholay-bench-reference [-d] [-o OUTDIR] PHOTO.jpg ...\n");
        return 2;
    }
    for (; i < argc; ++i) process(argv[i], outDir, decodeOnly);
    return 0;
}
