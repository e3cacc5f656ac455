#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>

#include "common/jpeg_codec.h"

namespace ortholay::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "ortholay-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(path_)) {
        out.push_back(entry.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void WriteText(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const std::string s = ReadText(path);
    return {s.begin(), s.end()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> TestPattern(int width, int height) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = &p[(static_cast<std::size_t>(y) * width + x) * 3];
            px[0] = static_cast<std::uint8_t>((x * 255) / (width > 1 ? width - 1 : 1));
            px[1] = static_cast<std::uint8_t>((y * 255) / (height > 1 ? height - 1 : 1));
            px[2] = static_cast<std::uint8_t>(((x / 16 + y / 16) % 2) ? 200 : 40);
        }
    }
    return p;
}

std::vector<std::uint8_t> EncodeWithLibjpeg(const std::uint8_t* pixels, int width, int height,
                                            int components, int colorSpace,
                                            const LibjpegEncoding& encoding) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = static_cast<J_COLOR_SPACE>(colorSpace);
    jpeg_set_defaults(&cinfo);
    if (encoding.floatDct) {
        cinfo.dct_method = JDCT_FLOAT;
    }
    jpeg_set_quality(&cinfo, encoding.quality, TRUE);
    if (encoding.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<std::uint8_t> EncodeFixtureJpeg(const std::vector<std::uint8_t>& pixels, int width,
                                            int height, JpegKind kind, int quality) {
    LibjpegEncoding encoding;
    encoding.quality = quality;
    encoding.progressive = kind == JpegKind::Progressive;
    if (kind != JpegKind::Grayscale) {
        return EncodeWithLibjpeg(pixels.data(), width, height, 3, JCS_RGB, encoding);
    }
    // Grayscale from RGB pixels takes their green channel; one byte per
    // pixel is taken as it is.
    std::vector<std::uint8_t> gray;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels.size() == count * 3) {
        gray.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            gray[i] = pixels[i * 3 + 1];
        }
    } else {
        gray = pixels;
    }
    return EncodeWithLibjpeg(gray.data(), width, height, 1, JCS_GRAYSCALE, encoding);
}

std::vector<std::uint8_t> DecodeFixtureJpeg(const std::vector<std::uint8_t>& jpeg, int* width,
                                            int* height, int* components, bool* progressive) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (components != nullptr) {
        *components = cinfo.num_components;
    }
    if (progressive != nullptr) {
        *progressive = jpeg_has_multiple_scans(&cinfo) != 0;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *width = static_cast<int>(cinfo.output_width);
    *height = static_cast<int>(cinfo.output_height);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(*width) * *height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) * *width * 3;
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

GeoreferencedPhoto PhotoFromJpeg(const std::vector<std::uint8_t>& jpeg) {
    GeoreferencedPhoto photo;
    photo.jpeg = jpeg;
    const JpegHeader header = ReadJpegHeader(jpeg.data(), jpeg.size());
    photo.width = header.width;
    photo.height = header.height;
    photo.progressive = header.progressive;
    return photo;
}

void WritePhoto(const std::string& folder, const std::string& name, int width, int height,
                JpegKind kind, const std::string& worldFile) {
    WriteBytes(folder + "/" + name + ".jpg",
               EncodeFixtureJpeg(TestPattern(width, height), width, height, kind));
    WriteText(folder + "/" + name + ".jgw", worldFile);
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    previousLimit_ = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        throw std::runtime_error("setrlimit failed");
    }
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(previousLimit_);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler_);
}

int RunCli(const std::vector<std::string>& args, std::string* out, std::string* err) {
    ScratchDir capture;
    std::string command = "'" ORTHOLAY_CLI "'";
    for (const std::string& a : args) {
        std::string quoted = "'";
        for (const char c : a) {
            if (c == '\'') {
                quoted += "'\\''";
            } else {
                quoted += c;
            }
        }
        command += " " + quoted + "'";
    }
    command += " > '" + capture.file("out") + "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    if (out != nullptr) {
        *out = ReadText(capture.file("out"));
    }
    if (err != nullptr) {
        *err = ReadText(capture.file("err"));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ortholay::testing
