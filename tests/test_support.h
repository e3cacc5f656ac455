// Shared helpers of the tests: scratch folders, fixture files, photographs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "georef/photo.h"

namespace ortholay::testing {

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Names of the regular files and folders in it, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path path_;
};

void WriteText(const std::string& path, const std::string& bytes);
std::string ReadText(const std::string& path);

// A smooth, deterministic RGB test image (no two neighbouring pixels alike).
std::vector<std::uint8_t> TestPattern(int width, int height);

enum class JpegKind { Baseline, Progressive, Grayscale };

// How the tests' own libjpeg encoder is driven (after jpeg_set_defaults).
struct LibjpegEncoding {
    int quality = 75;       // jpeg_set_quality, baseline tables forced
    bool floatDct = false;  // JDCT_FLOAT instead of the default
    bool progressive = false;
};

// Encodes `components` bytes per pixel in colour space `colorSpace` (a
// J_COLOR_SPACE) with libjpeg directly, independently of Ortholay's codec.
std::vector<std::uint8_t> EncodeWithLibjpeg(const std::uint8_t* pixels, int width, int height,
                                            int components, int colorSpace,
                                            const LibjpegEncoding& encoding);

// Encodes pixels (RGB, or one gray byte per pixel for Grayscale) as a JPEG
// with libjpeg directly, independently of Ortholay's own codec.
std::vector<std::uint8_t> EncodeFixtureJpeg(const std::vector<std::uint8_t>& pixels, int width,
                                            int height, JpegKind kind, int quality = 90);

// Decodes a JPEG with libjpeg's defaults to RGB; width and height returned.
std::vector<std::uint8_t> DecodeFixtureJpeg(const std::vector<std::uint8_t>& jpeg, int* width,
                                            int* height, int* components = nullptr,
                                            bool* progressive = nullptr);

// A photograph as the run holds it after reading it: the bytes and the
// header's size and progressive flag (no world file).
GeoreferencedPhoto PhotoFromJpeg(const std::vector<std::uint8_t>& jpeg);

// Writes name.jpg (a test pattern) and name.jgw into `folder`.
void WritePhoto(const std::string& folder, const std::string& name, int width, int height,
                JpegKind kind = JpegKind::Baseline,
                const std::string& worldFile = "0.25\n0\n0\n-0.25\n305000.125\n2771000.875\n");

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// While it lives, files of this process cannot grow beyond `bytes`: a write
// past the limit fails (EFBIG) as on a full disk, and SIGXFSZ is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long previousLimit_ = 0;
    void (*previousHandler_)(int) = nullptr;
};

// Runs ortholay-cli with the arguments; returns the exit status and fills
// stdout and stderr.
int RunCli(const std::vector<std::string>& args, std::string* out, std::string* err);

}  // namespace ortholay::testing
