#include "georef/world_file.h"

#include <cmath>

#include "common/error.h"
#include "common/file_io.h"

namespace ortholay {

namespace {

bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal separator of world files and KML is "." whatever the locale:
// both are fixed formats shared between machines.
constexpr char kDecimalSeparator = '.';

}  // namespace

std::string NormalizeWorldFileText(const std::string& bytes) {
    const std::size_t nul = bytes.find('\0');
    const std::size_t end = nul == std::string::npos ? bytes.size() : nul;
    std::string text;
    text.reserve(end + 2);
    std::size_t i = 0;
    while (i < end) {
        std::size_t j = i;
        while (j < end && bytes[j] != '\r' && bytes[j] != '\n') {
            ++j;
        }
        text.append(bytes, i, j - i);
        text += "\r\n";
        if (j < end && bytes[j] == '\r' && j + 1 < end && bytes[j + 1] == '\n') {
            j += 2;
        } else if (j < end) {
            j += 1;
        }
        i = j;
    }
    return text;
}

std::vector<std::string> SplitItems(const std::string& text) {
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i])) {
            ++i;
        }
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            const std::size_t start = i;
            while (i < n && !IsBlank(text[i]) && text[i] != ',') {
                ++i;
            }
            item.assign(text, start, i - start);
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (i < n && text[i] == ',') {
            if (i == n - 1) {
                items.emplace_back();
            }
            ++i;
            skipBlanks();
        }
    }
    return items;
}

std::optional<long double> ParseWorldFileNumber(const std::string& item) {
    std::size_t i = 0;
    const std::size_t n = item.size();
    while (i < n && item[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (item[i] == '+' || item[i] == '-')) {
        negative = item[i] == '-';
        ++i;
    }
    long double digits = 0;
    int scale = 0;  // power of ten the fraction digits contribute
    bool seenDigitOrSeparator = false;
    while (i < n && IsDigit(item[i])) {
        digits = digits * 10 + (item[i] - '0');
        seenDigitOrSeparator = true;
        ++i;
    }
    if (i < n && item[i] == kDecimalSeparator) {
        seenDigitOrSeparator = true;
        ++i;
        while (i < n && IsDigit(item[i])) {
            digits = digits * 10 + (item[i] - '0');
            --scale;
            ++i;
        }
    }
    if (!seenDigitOrSeparator) {
        return std::nullopt;
    }
    if (i < n && (item[i] == 'E' || item[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (item[i] == '+' || item[i] == '-')) {
            negativeExponent = item[i] == '-';
            ++i;
        }
        int exponent = 0;
        // Exponent digits are taken only while the exponent so far is below
        // 500; any digit left over rejects the item.
        while (i < n && IsDigit(item[i]) && exponent < 500) {
            exponent = exponent * 10 + (item[i] - '0');
            ++i;
        }
        scale += negativeExponent ? -exponent : exponent;
    }
    while (i < n && item[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }
    if (std::isinf(digits)) {
        return std::nullopt;
    }
    long double value = digits;
    if (scale > 0) {
        value *= std::pow(10.0L, static_cast<long double>(scale));
    } else if (scale < 0) {
        // 10^4932 and beyond overflow; the smallest values are reached in
        // steps so that they underflow gently instead of becoming 0.
        while (scale < -4000) {
            value /= std::pow(10.0L, 4000.0L);
            scale += 4000;
        }
        value /= std::pow(10.0L, static_cast<long double>(-scale));
    }
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::vector<std::string> ReadWorldFileItems(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    return SplitItems(NormalizeWorldFileText(std::string(bytes.begin(), bytes.end())));
}

WorldFile WorldFileFromItems(const std::vector<std::string>& items) {
    auto fetch = [&](std::size_t index) -> long double {
        if (index >= items.size()) {
            throw ListIndexError(static_cast<int>(index));
        }
        const std::optional<long double> value = ParseWorldFileNumber(items[index]);
        if (!value) {
            throw InvalidFloatError(items[index]);
        }
        return *value;
    };
    WorldFile world;
    world.C = fetch(4);
    world.F = fetch(5);
    world.A = fetch(0);
    world.E = fetch(3);
    return world;
}

}  // namespace ortholay
