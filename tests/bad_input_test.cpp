// Files users get from elsewhere: world files in every editor's encoding,
// photographs that are truncated, damaged, CMYK, enormous or not JPEG at all,
// cut sizes at the edges of the integer rule. Every row is one folder with
// its files; the conversion runs over it and must end with exactly the
// row's message (or complete), without crashing, and must leave the folder
// as it was except for the tile files the row expects.
//
// Every row runs three ways: in process with one thread, in process with
// worker threads, and through ortholay-cli writing its document with -o
// over an existing one (which a failed run must leave untouched).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <dirent.h>
#include <jpeglib.h>
#include <libxml/parser.h>

#include "app/conversion_run.h"
#include "common/error.h"
#include "common/jpeg_codec.h"
#include "test_support.h"

namespace ortholay {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ------------------------------------------------------------ photographs

// A smooth picture, so that tiles and photographs are not all one colour.
Bytes Pattern(int width, int height, int components) {
    Bytes pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                 static_cast<std::size_t>(components));
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                pixels[i++] = static_cast<std::uint8_t>((x * (c + 1) + y * (3 - c % 3)) & 0xFF);
            }
        }
    }
    return pixels;
}

// A colour photograph as Ortholay itself writes tiles.
Bytes ColourJpeg(int width, int height, bool progressive = false) {
    const Bytes pixels = Pattern(width, height, 3);
    return EncodeTileJpeg(pixels.data(), static_cast<std::size_t>(width) * 3, width, height,
                          progressive);
}

// A photograph of another colour space (grayscale, CMYK), written with the
// library's defaults for it. Fixtures are well-formed, so the library's
// default error handling (which ends the process) never runs.
Bytes OtherJpeg(int width, int height, J_COLOR_SPACE space, int components, bool progressive) {
    const Bytes pixels = Pattern(width, height, components);
    testing::LibjpegEncoding encoding;
    encoding.progressive = progressive;
    return testing::EncodeWithLibjpeg(pixels.data(), width, height, components, space, encoding);
}

// Offset of the first marker 0xFF `code` at or after `from`, walking marker
// segments (not entropy-coded data); npos when there is none.
std::size_t FindSegment(const Bytes& jpeg, std::uint8_t code, std::size_t from = 2) {
    std::size_t i = from;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        if (jpeg[i + 1] == code) {
            return i;
        }
        const std::size_t length = (std::size_t{jpeg[i + 2]} << 8) | jpeg[i + 3];
        i += 2 + length;
    }
    return std::string::npos;
}

// Where the header ends: right after the first scan's SOS segment, where the
// entropy-coded data starts.
std::size_t HeaderEnd(const Bytes& jpeg) {
    const std::size_t sos = FindSegment(jpeg, 0xDA);
    return sos + 2 + ((std::size_t{jpeg[sos + 2]} << 8) | jpeg[sos + 3]);
}

// The same data with a frame header that claims another size.
Bytes WithFrameSize(Bytes jpeg, int width, int height) {
    std::size_t sof = FindSegment(jpeg, 0xC0);
    if (sof == std::string::npos) {
        sof = FindSegment(jpeg, 0xC2);
    }
    jpeg[sof + 5] = static_cast<std::uint8_t>(height >> 8);
    jpeg[sof + 6] = static_cast<std::uint8_t>(height & 0xFF);
    jpeg[sof + 7] = static_cast<std::uint8_t>(width >> 8);
    jpeg[sof + 8] = static_cast<std::uint8_t>(width & 0xFF);
    return jpeg;
}

// A progressive photograph whose first scan (the DC scan) is repeated:
// libjpeg only warns about the inconsistent progression and decodes every
// repetition again, over the whole image.
Bytes WithFirstScanRepeated(const Bytes& jpeg, int times) {
    const std::size_t sos = FindSegment(jpeg, 0xDA);
    std::size_t end = HeaderEnd(jpeg);
    while (end + 1 < jpeg.size() &&
           !(jpeg[end] == 0xFF && jpeg[end + 1] != 0x00 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7))) {
        ++end;
    }
    Bytes out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(sos),
                   jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    }
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(end), jpeg.end());
    return out;
}

// A valid header, then bytes that are no JPEG data (never 0xFF, so no
// marker), then a second start-of-image marker where the next marker of the
// file should be.
Bytes WithGarbageAfterHeader(const Bytes& jpeg) {
    Bytes out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(HeaderEnd(jpeg)));
    std::uint32_t state = 12345;
    for (int i = 0; i < 600; ++i) {
        state = state * 1103515245u + 12345u;
        out.push_back(static_cast<std::uint8_t>((state >> 16) % 255));
    }
    out.push_back(0xFF);
    out.push_back(0xD8);
    out.insert(out.end(), 64, 0x55);
    return out;
}

Bytes Prefix(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

// The signature and header chunk of a 1 x 1 PNG.
Bytes Png() {
    const unsigned char png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H',
                                 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53,
                                 0xDE, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    return Bytes(std::begin(png), std::end(png));
}

// ------------------------------------------------------------ world files

const std::string kWorld = "0.5\n0\n0\n-0.5\n250000\n2650000\n";

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        if (bigEndian) {
            out += '\0';
            out += c;
        } else {
            out += c;
            out += '\0';
        }
    }
    return out;
}

// ------------------------------------------------------------ folders

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return bytes;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.append(buffer, n);
    }
    std::fclose(f);
    return bytes;
}

// What a folder holds: each entry's name and, for a file, its bytes (a
// folder, a pipe or a link is marked as such, never read).
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return entries;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        const std::string path = dir + "/" + name;
        ::lstat(path.c_str(), &st);
        if (S_ISREG(st.st_mode)) {
            entries[name] = ReadFile(path);
        } else if (S_ISDIR(st.st_mode)) {
            entries[name] = "<folder>";
        } else {
            entries[name] = "<not a file: " + std::to_string(st.st_mode & S_IFMT) + ">";
        }
    }
    ::closedir(d);
    return entries;
}

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        DIR* d = ::opendir(path.c_str());
        if (d != nullptr) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") {
                    RemoveTree(path + "/" + name);
                }
            }
            ::closedir(d);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// ------------------------------------------------------------ the table

struct Row {
    const char* name;
    // Fills the folder; the stale tile a_0_0.jpg and the old document are
    // added by the test.
    std::function<void(const std::string& dir)> make;
    bool cut = false;
    std::string cutWidth = "800";
    std::string cutHeight = "800";
    // The failure's message as raised, "{dir}" standing for the folder; empty
    // when the run completes.
    std::string message;
    // Tile files the run writes (each a JPEG that decodes); every other
    // file must stay exactly as it was.
    std::vector<std::string> tiles = {};
    // A line the document must hold when the run completes.
    std::string documentLine = "";
    // The world file's name as listed.
    std::string entry = "a.jgw";
};

std::function<void(const std::string&)> Files(std::string world, Bytes photo) {
    return [world, photo](const std::string& dir) {
        WriteFile(dir + "/a.jgw", world);
        WriteFile(dir + "/a.jpg", photo);
    };
}

std::function<void(const std::string&)> World(std::string world) {
    return Files(std::move(world), ColourJpeg(300, 250));
}

std::function<void(const std::string&)> Photo(Bytes photo) {
    return Files(kWorld, std::move(photo));
}

// The six tiles of a 300 x 250 photograph at a cut size of 100.
const std::vector<std::string> kSixTiles = {"a_0_0.jpg", "a_0_1.jpg", "a_0_2.jpg",
                                            "a_1_0.jpg", "a_1_1.jpg", "a_1_2.jpg"};

// 65500 x 65500 pixels, progressive: every coefficient of the image is kept
// while the scans come in, 2 bytes each, some 13 GB at 4:2:0.
Bytes HugeProgressive() {
    return WithFrameSize(ColourJpeg(64, 64, true), 65500, 65500);
}

std::vector<Row> Rows() {
    const Bytes colour = ColourJpeg(300, 250);
    return {
        // World files.
        {"WorldFileWithByteOrderMark", World("\xEF\xBB\xBF" + kWorld), false, "800", "800",
         "'\xEF\xBB\xBF" "0.5' is not a valid floating point value"},
        {"WorldFileInUtf16LittleEndian", World(Utf16(kWorld, false)), false, "800", "800",
         "List index out of bounds (4)"},
        {"WorldFileInUtf16BigEndian", World(Utf16(kWorld, true)), false, "800", "800",
         "List index out of bounds (4)"},
        {"WorldFileWithCrLineEnds", World("0.5\r0\r0\r-0.5\r250000\r2650000\r"), false, "800", "800",
         "", {}, "      <east>250150</east>"},
        {"WorldFileWithNulBeforeItem4", World(std::string("0.5\n0\n0\n-0.5\n") + '\0' + "250000\n2650000\n"),
         false, "800", "800", "List index out of bounds (4)"},
        {"WorldFileWithNulBeforeItem5", World(std::string("0.5\n0\n0\n-0.5\n250000\n") + '\0' + "2650000\n"),
         false, "800", "800", "List index out of bounds (5)"},
        {"WorldFileQuoted", World("\"0.5\",\"0\",\"0\",\"-0.5\",\"250000\",\"2650000\"\n"), false, "800",
         "800", "", {}, "      <south>2649875</south>"},
        {"WorldFileQuotedDecimalComma", World("\"0,5\"\n0\n0\n-0.5\n250000\n2650000\n"), false, "800",
         "800", "'0,5' is not a valid floating point value"},
        {"WorldFileUnclosedQuote", World("0.5\n0\n0\n-0.5\n\"250000\n2650000\n"), false, "800", "800",
         "'250000\r\n2650000\r\n' is not a valid floating point value"},
        {"WorldFileOfFourValues", World("0.5\n0\n0\n-0.5\n"), false, "800", "800",
         "List index out of bounds (4)"},
        {"WorldFileOfFiveValues", World("0.5\n0\n0\n-0.5\n250000\n"), false, "800", "800",
         "List index out of bounds (5)"},
        {"WorldFileExponentTooLong", World("0.5\n0\n0\n-0.5\n1e5000\n2650000\n"), false, "800", "800",
         "'1e5000' is not a valid floating point value"},
        {"WorldFileValueOverflows", World("0.5\n0\n0\n-0.5\n250000\n1e4933\n"), false, "800", "800",
         "'1e4933' is not a valid floating point value"},
        {"WorldFileIsAFolder",
         [colour](const std::string& dir) {
             ::mkdir((dir + "/a.jgw").c_str(), 0755);
             WriteFile(dir + "/a.jpg", colour);
         },
         true, "100", "100", "Cannot open file {dir}/a.jgw"},
        // Not files at all: a pipe would block the read until some program
        // wrote to it, a device like /dev/zero never ends.
        {"WorldFileIsAPipe",
         [colour](const std::string& dir) {
             ::mkfifo((dir + "/a.jgw").c_str(), 0644);
             WriteFile(dir + "/a.jpg", colour);
         },
         true, "100", "100", "Cannot open file {dir}/a.jgw"},
        {"WorldFileMissing", [colour](const std::string& dir) { WriteFile(dir + "/a.jpg", colour); }, true,
         "100", "100", "Cannot open file {dir}/a.jgw"},
        {"PhotographMissingBeforeBadNumber",
         [](const std::string& dir) { WriteFile(dir + "/a.jgw", "x\n0\n0\n-0.5\n250000\n2650000\n"); },
         false, "800", "800", "Cannot open file {dir}/a.jpg"},

        // Photographs, cut into tiles so that no tile may appear for them.
        {"PhotographEmpty", Photo({}), true, "100", "100", "JPEG error #41"},
        {"PhotographTruncatedInHeader", Photo(Prefix(colour, 100)), true, "100", "100", "JPEG error #50"},
        // Data that ends early is a warning, not a failure: the missing rows
        // decode gray and the tiles are written.
        {"PhotographTruncatedAfterHeader", Photo(Prefix(colour, HeaderEnd(colour))), true, "100", "100", "",
         kSixTiles},
        {"PhotographGarbageAfterHeader", Photo(WithGarbageAfterHeader(colour)), true, "100", "100",
         "JPEG error #60"},
        {"PhotographIsPng", Photo(Png()), true, "100", "100", "JPEG error #52"},
        // Four-component photographs have no RGB raster: the library's
        // "unsupported color conversion".
        {"PhotographCmyk", Photo(OtherJpeg(300, 250, JCS_CMYK, 4, false)), true, "100", "100",
         "JPEG error #26"},
        {"PhotographCmykWholeImage", Photo(OtherJpeg(300, 250, JCS_CMYK, 4, false)), false, "800", "800",
         "JPEG error #26"},
        {"PhotographOfZeroByZeroPixels", Photo(WithFrameSize(colour, 0, 0)), true, "100", "100",
         "JPEG error #31"},
        {"PhotographWiderThanJpegAllows", Photo(WithFrameSize(colour, 65535, 250)), true, "100", "100",
         "JPEG error #40"},
        {"PhotographIsAFolder",
         [](const std::string& dir) {
             WriteFile(dir + "/a.jgw", kWorld);
             ::mkdir((dir + "/a.jpg").c_str(), 0755);
         },
         true, "100", "100", "Cannot open file {dir}/a.jpg"},
        {"PhotographIsAnEndlessDevice",
         [](const std::string& dir) {
             WriteFile(dir + "/a.jgw", kWorld);
             ::symlink("/dev/zero", (dir + "/a.jpg").c_str());
         },
         true, "100", "100", "Cannot open file {dir}/a.jpg"},
        {"PhotographWithThousandsOfScans", Photo(WithFirstScanRepeated(ColourJpeg(300, 250, true), 2000)),
         true, "100", "100", "JPEG error #15"},
        {"PhotographTooBigForMemory", Photo(HugeProgressive()), true, "100", "100", "Out of memory"},
        {"PhotographTooBigForMemoryWholeImage", Photo(HugeProgressive()), false, "800", "800",
         "Out of memory"},
        // Photographs that are fine, for contrast.
        {"PhotographGrayscale", Photo(OtherJpeg(300, 250, JCS_GRAYSCALE, 1, false)), true, "100", "100", "",
         kSixTiles},
        {"PhotographProgressive", Photo(ColourJpeg(300, 250, true)), true, "100", "100", "", kSixTiles},

        // Cut sizes.
        {"CutSizeZero", World(kWorld), true, "0", "100", "Division by zero"},
        {"CutSizeZeroWithoutCutting", World(kWorld), false, "0", "0", "", {}, "      <west>250000</west>"},
        {"CutSizeZeroDamagedPhotograph", Photo(WithGarbageAfterHeader(colour)), true, "0", "0",
         "JPEG error #60"},
        {"CutSizeMinusOne", World(kWorld), true, "-1", "-1", "", {}, "  <name>a</name>"},
        {"CutSizeOne", Photo(ColourJpeg(3, 2)), true, "1", "1", "",
         {"a_0_0.jpg", "a_0_1.jpg", "a_0_2.jpg", "a_1_0.jpg", "a_1_1.jpg", "a_1_2.jpg"}},
        {"CutSizeLargest", World(kWorld), true, "2147483647", "2147483647", "", {"a_0_0.jpg"}},
        {"CutSizeAllBitsSet", World(kWorld), true, "$FFFFFFFF", "$FFFFFFFF", "", {}, "  <name>a</name>"},
        {"CutSizeBeyondRange", World(kWorld), true, "2147483648", "100",
         "'2147483648' is not a valid integer value"},
        {"CutSizeNineHexDigits", World(kWorld), false, "$100000000", "100",
         "'$100000000' is not a valid integer value"},
        {"CutHeightNamedFirst", World(kWorld), false, "abc", "12a", "'12a' is not a valid integer value"},

        // Names: a file name may hold any byte but "/" and NUL. Bytes that are
        // no UTF-8 and control characters become U+FFFD, line ends character
        // references; the document stays well-formed and one name one line.
        {"NameWithAnyBytes",
         [colour](const std::string& dir) {
             WriteFile(dir + "/t\x01\xFF\n&<.jgw", kWorld);
             WriteFile(dir + "/t\x01\xFF\n&<.jpg", colour);
         },
         true, "200", "200", "", {"t\x01\xFF\n&<_0_0.jpg", "t\x01\xFF\n&<_0_1.jpg"},
         "  <name>t\xEF\xBF\xBD\xEF\xBF\xBD&#10;&amp;&lt;</name>", "t\x01\xFF\n&<.jgw"},
    };
}

enum class Mode { Sequential, Parallel, CommandLine };

struct Case {
    Row row;
    Mode mode;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.row.name;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kModes[] = {"Sequential", "Parallel", "CommandLine"};
    return std::string(info.param.row.name) + "_" + kModes[static_cast<int>(info.param.mode)];
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const Row& row : Rows()) {
        for (const Mode mode : {Mode::Sequential, Mode::Parallel, Mode::CommandLine}) {
            cases.push_back({row, mode});
        }
    }
    return cases;
}

// The limit the tests decode under, whatever the machine's memory: the
// 65500 x 65500 progressive photograph needs far more.
constexpr std::size_t kTestMemoryLimit = std::size_t{1} << 30;

struct Outcome {
    std::string message;   // empty when the run completed
    std::string document;  // the document, when it completed
};

Outcome RunInProcess(const std::string& dir, const Row& row, int jobs) {
    RunSettings settings;
    settings.title = "bad input";
    settings.folder = dir;
    settings.hrefPrefix = dir + "/";
    settings.entries = {{row.entry, true}};
    settings.cutOption = row.cut;
    settings.cutWidthText = row.cutWidth;
    settings.cutHeightText = row.cutHeight;
    settings.jobs = jobs;
    const std::size_t previousLimit = JpegMemoryLimit();
    SetJpegMemoryLimit(kTestMemoryLimit);
    Outcome outcome;
    try {
        outcome.document = RunConversion(settings);
    } catch (const Error& e) {
        outcome.message = e.what();
    }
    SetJpegMemoryLimit(previousLimit);
    return outcome;
}

// Runs ortholay-cli over the folder, its document going to `document`.
// Returns the exit status; what it printed on standard error is in `errors`.
int RunCommandLine(const std::string& dir, const Row& row, const std::string& document,
                   std::string& errors) {
    const std::string errorsPath = document + ".stderr";
    std::vector<std::string> args = {ORTHOLAY_CLI, dir, row.entry, "-q", "-o", document,
                                     "--cut-width", row.cutWidth, "--cut-height", row.cutHeight};
    if (row.cut) {
        args.push_back("--cut");
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The library reads JPEGMEM itself (in thousands of bytes, "m" for
    // millions); the program keeps a smaller setting than its own. The
    // environment is made before the fork, after which only plain system
    // calls are made.
    std::vector<std::string> environment = {"JPEGMEM=1000m"};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "JPEGMEM=", 8) != 0) {
            environment.emplace_back(*e);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    errors = ReadFile(errorsPath);
    ::unlink(errorsPath.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class BadInput : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ortholay-bad-input-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        dir_ = root_ + "/photos";
        ASSERT_EQ(::mkdir(dir_.c_str(), 0755), 0);
    }
    void TearDown() override { RemoveTree(root_); }

    std::string root_;  // holds the folder and, beside it, what the test keeps
    std::string dir_;   // the folder the run reads and writes
};

TEST_P(BadInput, OneMessageNoCrashNoStrayFile) {
    const Row& row = GetParam().row;
    const Mode mode = GetParam().mode;
    row.make(dir_);
    // A tile of an earlier run, which only a completed run may replace.
    WriteFile(dir_ + "/a_0_0.jpg", std::string("tile of an earlier run"));
    const std::string document = dir_ + "/out.kml";
    if (mode == Mode::CommandLine) {
        WriteFile(document, std::string("document of an earlier run"));
    }
    const std::map<std::string, std::string> before = Snapshot(dir_);
    const std::string expectedMessage = ReplaceAll(row.message, "{dir}", dir_);

    std::string documentText;
    if (mode == Mode::CommandLine) {
        std::string errors;
        const int status = RunCommandLine(dir_, row, document, errors);
        if (expectedMessage.empty()) {
            EXPECT_EQ(status, 0) << errors;
            EXPECT_EQ(errors, "");
            documentText = ReadFile(document);
        } else {
            EXPECT_EQ(status, 1) << errors;
            EXPECT_EQ(errors, MessageForDisplay(expectedMessage) + "\n");
        }
    } else {
        const Outcome outcome = RunInProcess(dir_, row, mode == Mode::Sequential ? 1 : 2);
        EXPECT_EQ(outcome.message, expectedMessage);
        documentText = outcome.document;
    }

    if (expectedMessage.empty()) {
        EXPECT_NE(documentText.find("</kml>\r\n"), std::string::npos);
        xmlDocPtr parsed = xmlReadMemory(documentText.data(), static_cast<int>(documentText.size()), "out.kml",
                                         nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        EXPECT_NE(parsed, nullptr) << "the document is not well-formed XML";
        xmlFreeDoc(parsed);
        if (!row.documentLine.empty()) {
            EXPECT_NE(documentText.find("\r\n" + row.documentLine + "\r\n"), std::string::npos)
                << documentText;
        }
        for (const std::string& tile : row.tiles) {
            // Names that are written other than as they are were checked above.
            if (tile.find_first_of("&<>\"'\x7F") == std::string::npos &&
                std::all_of(tile.begin(), tile.end(), [](char c) { return c >= 0x20; })) {
                EXPECT_NE(documentText.find("<href>" + dir_ + "/" + tile + "</href>"), std::string::npos)
                    << tile;
            }
        }
    }

    // Every file is as it was, but the tiles the row expects, which are new
    // JPEG files, and the document of a completed command-line run.
    const std::map<std::string, std::string> after = Snapshot(dir_);
    std::set<std::string> names;
    for (const auto& [name, bytes] : before) {
        names.insert(name);
    }
    for (const auto& [name, bytes] : after) {
        names.insert(name);
    }
    const std::set<std::string> tiles(row.tiles.begin(), row.tiles.end());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto was = before.find(name);
        const auto is = after.find(name);
        if (tiles.count(name) != 0) {
            ASSERT_NE(is, after.end()) << "tile not written";
            EXPECT_TRUE(was == before.end() || was->second != is->second) << "tile not replaced";
            const Bytes bytes(is->second.begin(), is->second.end());
            EXPECT_NO_THROW(DecodeAndDiscard(bytes.data(), bytes.size())) << "tile is no JPEG";
        } else if (name == "out.kml" && mode == Mode::CommandLine && expectedMessage.empty()) {
            ASSERT_NE(is, after.end());
        } else {
            ASSERT_NE(was, before.end()) << "file appeared";
            ASSERT_NE(is, after.end()) << "file disappeared";
            EXPECT_TRUE(was->second == is->second)
                << "file changed: " << was->second.size() << " bytes before, " << is->second.size()
                << " after";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(Cases()), CaseName);

}  // namespace
}  // namespace ortholay
