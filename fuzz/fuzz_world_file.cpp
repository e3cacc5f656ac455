// A world file's bytes, as any editor may have left them, through the reader:
// line ends, NULs, the item splitter, and items 4, 5, 0 and 3 as numbers.
//
// Checks, besides the sanitizers: the normalised text has only CR LF line
// ends and no NUL; the items equal those of a second, plainly written
// splitter; and the only failures are the two the reader may raise, with
// the index and the item text they must name.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/error.h"
#include "georef/world_file.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_world_file: %s\n", what);
    std::abort();
}

bool IsBlank(unsigned char c) {
    return c >= 1 && c <= 32;
}

// The splitting rule, step by step as it is told: skip blanks; a quoted item
// runs to the quote not followed by another; an unquoted one to a blank, a
// comma or the end; after an item, blanks, and a comma with its blanks; a
// comma that is the very last character adds an empty item.
std::vector<std::string> ReferenceItems(const std::string& text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    while (p < text.size() && IsBlank(static_cast<unsigned char>(text[p]))) {
        p++;
    }
    while (p < text.size()) {
        std::string item;
        if (text[p] == '"') {
            p++;
            for (;;) {
                if (p >= text.size()) {
                    break;
                }
                if (text[p] == '"') {
                    if (p + 1 < text.size() && text[p + 1] == '"') {
                        item.push_back('"');
                        p += 2;
                        continue;
                    }
                    p++;
                    break;
                }
                item.push_back(text[p]);
                p++;
            }
        } else {
            while (p < text.size() && !IsBlank(static_cast<unsigned char>(text[p])) && text[p] != ',') {
                item.push_back(text[p]);
                p++;
            }
        }
        items.push_back(item);
        while (p < text.size() && IsBlank(static_cast<unsigned char>(text[p]))) {
            p++;
        }
        if (p < text.size() && text[p] == ',') {
            if (p + 1 == text.size()) {
                items.push_back(std::string());
            }
            p++;
            while (p < text.size() && IsBlank(static_cast<unsigned char>(text[p]))) {
                p++;
            }
        }
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = ortholay::NormalizeWorldFileText(bytes);

    if (text.find('\0') != std::string::npos) {
        Fail("NUL left in the text");
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
            Fail("CR without LF");
        }
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            Fail("LF without CR");
        }
    }
    if (!text.empty() && text.compare(text.size() - 2, 2, "\r\n") != 0) {
        Fail("text does not end with CR LF");
    }
    const std::size_t nul = bytes.find('\0');
    if ((nul == 0 || bytes.empty()) != text.empty()) {
        Fail("empty text for a non-empty file, or the reverse");
    }

    const std::vector<std::string> items = ortholay::SplitItems(text);
    if (items != ReferenceItems(text)) {
        Fail("items differ from the splitting rule");
    }

    // Items are fetched in the order 4, 5, 0, 3; the first that is missing
    // or not a number is the one the failure names.
    std::string expected;
    for (const std::size_t index : {std::size_t{4}, std::size_t{5}, std::size_t{0}, std::size_t{3}}) {
        if (index >= items.size()) {
            expected = "List index out of bounds (" + std::to_string(index) + ")";
            break;
        }
        if (!ortholay::ParseWorldFileNumber(items[index])) {
            expected = "'" + items[index] + "' is not a valid floating point value";
            break;
        }
    }
    std::string message;
    try {
        (void)ortholay::WorldFileFromItems(items);
    } catch (const ortholay::ListIndexError& e) {
        message = e.what();
    } catch (const ortholay::InvalidFloatError& e) {
        message = e.what();
    }
    if (message != expected) {
        Fail("wrong failure, or failure at the wrong item");
    }
    if (message.rfind("List index", 0) == 0 &&
        message != (items.size() <= 4 ? "List index out of bounds (4)" : "List index out of bounds (5)")) {
        Fail("list index other than 4 or 5");
    }
    return 0;
}
