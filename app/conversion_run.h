// The conversion run: from the window's (or the command line's) settings to
// the KML document text and, with the cut option, the tile files. No GUI
// here; the window and ortholay-cli both call RunConversion.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ortholay {

struct RunEntry {
    std::string name;  // a world-file name as listed, e.g. "a01.jgw"
    bool ticked = true;
};

struct RunSettings {
    std::string title;
    std::vector<RunEntry> entries;
    std::string folder;      // where world files and photographs are read
    std::string hrefPrefix;  // what whole-photograph hrefs start with
    std::string cutWidthText = "800";
    std::string cutHeightText = "800";
    bool cutOption = false;
    bool convertOption = false;
    int jobs = 0;  // worker threads; 0: one per core, 1: everything on the caller's thread
};

struct RunObserver {
    // The progress position, 0 to 100, as it moves.
    std::function<void(int position)> progress;
    // A ticked entry is about to be handled (index in the list, its name).
    std::function<void(std::size_t index, const std::string& name)> entryStarted;
    // Set from another thread to stop the run (it then throws SilentAbort).
    const std::atomic<bool>* cancel = nullptr;
};

// The integer rule of the cut sizes: leading spaces; a sign and decimal
// digits within the 32-bit range, or "$", "x", "X", "0x", "0X" and up to
// eight hexadecimal digits taken as the 32-bit pattern; nothing after.
// Throws InvalidIntegerError naming the text as typed.
std::int32_t ParseCutSize(const std::string& text);

// Runs the conversion and returns the document text (CR LF after every
// line). Throws the first failure in list order, as an ortholay::Error.
std::string RunConversion(const RunSettings& settings, const RunObserver& observer = {});

}  // namespace ortholay
