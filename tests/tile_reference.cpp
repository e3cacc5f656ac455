#include "tile_reference.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "test_support.h"

namespace ortholay::testing {

ReferenceRaster DecodeAsPhotograph(const std::vector<std::uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    ReferenceRaster raster;
    raster.progressive = jpeg_has_multiple_scans(&cinfo) != 0;
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.do_block_smoothing = TRUE;
    const bool gray = cinfo.out_color_space == JCS_GRAYSCALE;
    if (gray) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
    }
    jpeg_start_decompress(&cinfo);
    raster.width = static_cast<int>(cinfo.output_width);
    raster.height = static_cast<int>(cinfo.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(raster.width) * 3;
    raster.rgb.resize(rowBytes * static_cast<std::size_t>(raster.height));
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(raster.width));
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* out = raster.rgb.data() + rowBytes * cinfo.output_scanline;
        JSAMPROW row = gray ? indices.data() : out;
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (gray) {
            for (int x = 0; x < raster.width; ++x) {
                const std::uint8_t level = cinfo.colormap[0][indices[static_cast<std::size_t>(x)]];
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = level;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return raster;
}

std::vector<std::uint8_t> CropRgb(const ReferenceRaster& raster, int x0, int y0, int x1, int y1) {
    std::vector<std::uint8_t> out;
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* row = raster.rgb.data() + (static_cast<std::size_t>(y) * raster.width + x0) * 3;
        out.insert(out.end(), row, row + static_cast<std::size_t>(x1 - x0) * 3);
    }
    return out;
}

std::vector<std::uint8_t> EncodeAsTile(const std::vector<std::uint8_t>& rgb, int width, int height,
                                       bool progressive) {
    LibjpegEncoding encoding;
    encoding.quality = 75;
    encoding.floatDct = true;
    encoding.progressive = progressive;
    return EncodeWithLibjpeg(rgb.data(), width, height, 3, JCS_RGB, encoding);
}

std::vector<std::uint8_t> ReferenceTile(const ReferenceRaster& photo, int x0, int y0, int x1, int y1) {
    return EncodeAsTile(CropRgb(photo, x0, y0, x1, y1), x1 - x0, y1 - y0, photo.progressive);
}

TileHeader ReadTileHeader(const std::vector<std::uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    TileHeader h;
    h.width = static_cast<int>(cinfo.image_width);
    h.height = static_cast<int>(cinfo.image_height);
    h.progressive = cinfo.progressive_mode != 0;
    h.jfif = cinfo.saw_JFIF_marker != 0;
    h.jfifMajor = cinfo.JFIF_major_version;
    h.jfifMinor = cinfo.JFIF_minor_version;
    h.densityUnit = cinfo.density_unit;
    h.xDensity = cinfo.X_density;
    h.yDensity = cinfo.Y_density;
    h.adobe = cinfo.saw_Adobe_marker != 0;
    h.components = cinfo.num_components;
    h.colorSpace = cinfo.jpeg_color_space;
    h.ycbcr = cinfo.jpeg_color_space == JCS_YCbCr;
    for (int c = 0; c < cinfo.num_components; ++c) {
        h.componentIds.push_back(cinfo.comp_info[c].component_id);
        h.hSampling.push_back(cinfo.comp_info[c].h_samp_factor);
        h.vSampling.push_back(cinfo.comp_info[c].v_samp_factor);
        h.quantTables.push_back(cinfo.comp_info[c].quant_tbl_no);
    }
    h.lumaQuantDc = cinfo.quant_tbl_ptrs[0] != nullptr ? cinfo.quant_tbl_ptrs[0]->quantval[0] : -1;
    h.chromaQuantDc = cinfo.quant_tbl_ptrs[1] != nullptr ? cinfo.quant_tbl_ptrs[1]->quantval[0] : -1;
    h.restartInterval = cinfo.restart_interval;
    h.arithmetic = cinfo.arith_code != 0;
    jpeg_destroy_decompress(&cinfo);
    return h;
}

}  // namespace ortholay::testing
