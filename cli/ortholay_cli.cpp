// ortholay-cli: the command-line companion of the desktop program, for batch
// work and scripts. The same conversion run, settings from options.

#include <CLI/CLI.hpp>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/conversion_run.h"
#include "app/folder_listing.h"
#include "common/error.h"
#include "common/file_io.h"

namespace {

constexpr const char* kDefaultTitle = "92年台北東區航照";

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");

    CLI::App cli{"Publishes georeferenced aerial photographs (name.jpg with world file name.jgw)\n"
                 "as a KML 2.0 document of ground overlays.",
                 "ortholay-cli"};
    std::string folder;
    std::vector<std::string> names;
    std::string title = kDefaultTitle;
    std::string hrefPrefix;
    std::string output;
    std::string cutWidth = "800";
    std::string cutHeight = "800";
    bool convert = false;
    bool cut = false;
    bool quiet = false;
    int jobs = 0;

    cli.add_option("FOLDER", folder, "Folder holding the world files and photographs")->required();
    cli.add_option("NAME", names,
                   "World-file names to publish, in this order (default: every *.jgw of FOLDER)");
    cli.add_option("-t,--title", title, "Document title")->capture_default_str();
    cli.add_option("-p,--href-prefix", hrefPrefix,
                   "What photograph hrefs start with (default: FOLDER followed by \"/\")");
    cli.add_option("-o,--output", output, "Write the document to FILE (default: standard output)");
    cli.add_flag("-c,--convert", convert, "Convert TWD97 TM2 grid metres to WGS84 degrees");
    cli.add_flag("-x,--cut", cut, "Cut every photograph into JPEG tiles written beside it");
    cli.add_option("--cut-width", cutWidth, "Tile width in pixels, as typed")->capture_default_str();
    cli.add_option("--cut-height", cutHeight, "Tile height in pixels, as typed")->capture_default_str();
    cli.add_option("-j,--jobs", jobs, "Worker threads (default: one per core; 1: sequential)")
        ->check(CLI::PositiveNumber);
    cli.add_flag("-q,--quiet", quiet, "Show no progress");
    cli.set_version_flag("--version", std::string("ortholay-cli ") + ORTHOLAY_VERSION);

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return cli.exit(e);
        }
        std::cerr << "ortholay-cli: " << e.what() << "\n"
                  << "Try 'ortholay-cli --help' for more information.\n";
        return 2;
    }

    ortholay::RunSettings settings;
    settings.title = title;
    settings.folder = folder;
    settings.hrefPrefix = cli.count("--href-prefix") > 0 ? hrefPrefix
                                                         : ortholay::HrefPrefixForFolder(folder);
    settings.cutWidthText = cutWidth;
    settings.cutHeightText = cutHeight;
    settings.cutOption = cut;
    settings.convertOption = convert;
    settings.jobs = jobs;
    if (names.empty()) {
        names = ortholay::ListWorldFiles(folder);
    }
    for (const std::string& name : names) {
        settings.entries.push_back({name, true});
    }

    const bool showProgress = !quiet && ::isatty(STDERR_FILENO) != 0;
    ortholay::RunObserver observer;
    if (showProgress) {
        observer.entryStarted = [&](std::size_t index, const std::string& name) {
            std::fprintf(stderr, "\r\033[K%zu/%zu %s", index + 1, settings.entries.size(), name.c_str());
            std::fflush(stderr);
        };
    }

    try {
        const std::string document = ortholay::RunConversion(settings, observer);
        if (showProgress) {
            std::fprintf(stderr, "\r\033[K");
        }
        if (output.empty()) {
            std::fwrite(document.data(), 1, document.size(), stdout);
            if (std::fflush(stdout) != 0) {
                std::fprintf(stderr, "%s\n", ortholay::MessageForDisplay("Stream write error").c_str());
                return 1;
            }
        } else {
            ortholay::WriteFileAtomically(output, document.data(), document.size());
        }
    } catch (const ortholay::Error& e) {
        if (showProgress) {
            std::fprintf(stderr, "\r\033[K");
        }
        std::fprintf(stderr, "%s\n", ortholay::MessageForDisplay(e.what()).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", ortholay::MessageForDisplay(e.what()).c_str());
        return 1;
    }
    return 0;
}
