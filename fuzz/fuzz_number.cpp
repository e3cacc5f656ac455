// One world-file item through the number rule.
//
// Checks, besides the sanitizers: an accepted item gives a finite value; the
// item is accepted only in the rule's shape (spaces, sign, digits with at
// most one ".", an exponent); and where the C library reads the same text
// whole, the values agree to the last digits of extended precision.

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "georef/world_file.h"

namespace {

void Fail(const char* what, const std::string& item) {
    std::fprintf(stderr, "fuzz_number: %s for \"%s\"\n", what, item.c_str());
    std::abort();
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The shape the rule accepts, without its limits on the exponent's length
// and the value's range.
bool HasNumberShape(const std::string& item) {
    std::size_t i = 0;
    while (i < item.size() && item[i] == ' ') {
        ++i;
    }
    if (i < item.size() && (item[i] == '+' || item[i] == '-')) {
        ++i;
    }
    bool mantissa = false;
    while (i < item.size() && IsDigit(item[i])) {
        ++i;
        mantissa = true;
    }
    if (i < item.size() && item[i] == '.') {
        ++i;
        mantissa = true;
        while (i < item.size() && IsDigit(item[i])) {
            ++i;
        }
    }
    if (!mantissa) {
        return false;
    }
    if (i < item.size() && (item[i] == 'e' || item[i] == 'E')) {
        ++i;
        if (i < item.size() && (item[i] == '+' || item[i] == '-')) {
            ++i;
        }
        while (i < item.size() && IsDigit(item[i])) {
            ++i;
        }
    }
    while (i < item.size() && item[i] == ' ') {
        ++i;
    }
    return i == item.size();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_NUMERIC, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string item(reinterpret_cast<const char*>(data), size);
    const std::optional<long double> value = ortholay::ParseWorldFileNumber(item);
    if (!value) {
        return 0;
    }
    if (!std::isfinite(*value)) {
        Fail("non-finite value accepted", item);
    }
    if (!HasNumberShape(item)) {
        Fail("item accepted outside the number shape", item);
    }

    // strtold rounds correctly; the rule multiplies the digits by a power of
    // ten, a few units in the last place away at most. Compare where strtold
    // reads the whole item as the same number (it takes no lone "." and no
    // "e" without digits) and the value is neither tiny nor huge, where the
    // power of ten itself loses digits.
    std::size_t begin = item.find_first_not_of(' ');
    std::size_t end = item.find_last_not_of(' ') + 1;
    const std::string trimmed = item.substr(begin, end - begin);
    if (trimmed.find('\0') != std::string::npos || trimmed.size() > 400) {
        return 0;
    }
    errno = 0;
    char* stop = nullptr;
    const long double reference = std::strtold(trimmed.c_str(), &stop);
    if (stop != trimmed.c_str() + trimmed.size() || errno != 0) {
        return 0;
    }
    const long double magnitude = std::fabs(reference);
    if (magnitude == 0) {
        if (*value != 0) {
            Fail("zero read as non-zero", item);
        }
        return 0;
    }
    if (magnitude < 1e-4000L || magnitude > 1e4000L) {
        return 0;
    }
    if (std::fabs(*value - reference) > magnitude * 1e-15L) {
        Fail("value differs from strtold", item);
    }
    return 0;
}
