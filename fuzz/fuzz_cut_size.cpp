// A cut size text, as typed, through the integer rule.
//
// Checks, besides the sanitizers: the result, or the rejection and its
// message, equal those of a second reading of the rule written apart from
// the first (character classes first, then the library's conversion).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/conversion_run.h"
#include "common/error.h"

namespace {

bool AllOf(const std::string& text, const char* set) {
    return !text.empty() && text.find_first_not_of(set) == std::string::npos;
}

std::string WithoutLeadingZeros(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

std::optional<std::int32_t> Reference(const std::string& text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const std::string rest = text.substr(start);
    std::string hex;
    bool isHex = false;
    if (rest.rfind("0x", 0) == 0 || rest.rfind("0X", 0) == 0) {
        hex = rest.substr(2);
        isHex = true;
    } else if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X') {
        hex = rest.substr(1);
        isHex = true;
    }
    if (isHex) {
        if (!AllOf(hex, "0123456789abcdefABCDEF")) {
            return std::nullopt;
        }
        const std::string significant = WithoutLeadingZeros(hex);
        if (significant.size() > 8) {
            return std::nullopt;
        }
        const unsigned long bits = std::strtoul(significant.c_str(), nullptr, 16);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    }
    const bool negative = rest[0] == '-';
    const std::string digits = (rest[0] == '+' || rest[0] == '-') ? rest.substr(1) : rest;
    if (!AllOf(digits, "0123456789")) {
        return std::nullopt;
    }
    const std::string significant = WithoutLeadingZeros(digits);
    if (significant.size() > 10) {
        return std::nullopt;
    }
    long long value = std::strtoll(significant.c_str(), nullptr, 10);
    if (negative) {
        value = -value;
    }
    if (value < -2147483648LL || value > 2147483647LL) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> expected = Reference(text);
    try {
        const std::int32_t value = ortholay::ParseCutSize(text);
        if (!expected || *expected != value) {
            std::fprintf(stderr, "fuzz_cut_size: \"%s\" read as %d\n", text.c_str(), value);
            std::abort();
        }
    } catch (const ortholay::InvalidIntegerError& e) {
        // what() is a C string: a text with a NUL (which no text box or
        // argument can hold) is compared up to it.
        const std::string message = "'" + text + "' is not a valid integer value";
        if (expected || std::string(e.what()) != message.c_str()) {
            std::fprintf(stderr, "fuzz_cut_size: \"%s\" rejected\n", text.c_str());
            std::abort();
        }
    }
    return 0;
}
