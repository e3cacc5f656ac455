#include "output/kml_document.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/text_encoding.h"

namespace ortholay {

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[i] that encodes a
// character XML allows (tab, line feed, carriage return, U+0020 to U+D7FF,
// U+E000 to U+FFFD, U+10000 to U+10FFFF), or 0.
std::size_t XmlCharLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t code;
    if (lead < 0x80) {
        return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool shortest = (length == 2 && code >= 0x80) || (length == 3 && code >= 0x800) ||
                          (length == 4 && code >= 0x10000);
    const bool allowed = (code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    return shortest && allowed ? length : 0;
}

// An inserted text as it stands in the document: in UTF-8, with the five
// characters that XML reserves written as entities, so that any title, name
// or href gives a well-formed document. File names may hold any byte: a
// byte that is not part of valid UTF-8, or a control character XML cannot
// carry at all, becomes U+FFFD; tab, line feed and carriage return are
// written as character references, so that they survive a reader unchanged
// and no line of the document is broken by a name.
std::string Inserted(const std::string& text) {
    const std::string utf8 = SystemTextToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t length = XmlCharLength(utf8, i);
        if (length == 0) {
            out += kReplacementCharacter;
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(utf8, i, length);
            i += length;
            continue;
        }
        switch (utf8[i]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default: out += utf8[i];
        }
        ++i;
    }
    return out;
}

std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

}  // namespace

std::string FormatKmlNumber(long double value) {
    switch (std::fpclassify(value)) {
        case FP_ZERO:
        case FP_SUBNORMAL:
            return "0";
        case FP_INFINITE:
            return value < 0 ? "-INF" : "INF";
        case FP_NAN:
            return "NAN";
        default:
            break;
    }
    const bool negative = std::signbit(value);
    // 18 significant digits, correctly rounded, read back without trusting
    // the locale's decimal point.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17Le", std::fabs(value));
    std::string digits;
    int exponent10 = 0;
    const char* p = buffer;
    for (; *p != '\0' && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits += *p;
        }
    }
    if (*p == 'e') {
        exponent10 = std::atoi(p + 1);
    }
    int X = exponent10 + 1;  // 10^(X-1) <= m < 10^X
    // Cut the 18 digits to 15, rounding up on a 16th digit of 5 or more.
    std::string kept = digits.substr(0, 15);
    if (digits.size() > 15 && digits[15] >= '5') {
        int i = 14;
        while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9') {
            kept[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            // All nines carried out of the first digit: "1" and one more
            // decimal place (the zeros left are dropped below).
            kept[0] = '1';
            ++X;
        } else {
            ++kept[static_cast<std::size_t>(i)];
        }
    }
    while (kept.size() > 1 && kept.back() == '0') {
        kept.pop_back();
    }
    std::string text = negative ? "-" : "";
    if (X >= -3 && X <= 15) {
        if (X >= 1) {
            const auto whole = static_cast<std::size_t>(X);
            if (kept.size() <= whole) {
                text += kept + std::string(whole - kept.size(), '0');
            } else {
                text.append(kept, 0, whole).append(".").append(kept, whole);
            }
        } else {
            text.append("0.").append(static_cast<std::size_t>(-X), '0').append(kept);
        }
    } else {
        text += kept.substr(0, 1);
        if (kept.size() > 1) {
            text.append(".").append(kept, 1);
        }
        text.append("E").append(std::to_string(X - 1));
    }
    return text;
}

void KmlLines::BeginDocument(const std::string& title) {
    lines_.emplace_back("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    lines_.emplace_back(std::string("<kml xmlns=\"") + kKmlNamespace + "\">");
    lines_.emplace_back("<Folder>");
    lines_.emplace_back("<name>" + Inserted(title) + "</name>");
}

void KmlLines::AddOverlay(int indent, const std::string& name, const std::string& description,
                          const std::string& href, const std::string& boxId, const GeoBox& box) {
    const std::string outer = Spaces(indent);
    const std::string inner = Spaces(indent + 2);
    const std::string edge = Spaces(indent + 4);
    lines_.push_back(outer + "<GroundOverlay>");
    lines_.push_back(inner + "<name>" + Inserted(name) + "</name>");
    lines_.push_back(inner + "<visibility>0</visibility>");
    lines_.push_back(inner + "<description>" + Inserted(description) + "</description>");
    lines_.push_back(inner + "<Icon><href>" + Inserted(href) + "</href></Icon>");
    lines_.push_back(inner + "<LatLonBox id=\"" + Inserted(boxId) + "\">");
    lines_.push_back(edge + "<north>" + FormatKmlNumber(box.north) + "</north>");
    lines_.push_back(edge + "<south>" + FormatKmlNumber(box.south) + "</south>");
    lines_.push_back(edge + "<east>" + FormatKmlNumber(box.east) + "</east>");
    lines_.push_back(edge + "<west>" + FormatKmlNumber(box.west) + "</west>");
    lines_.push_back(edge + "<rotation>" + FormatKmlNumber(box.rotation) + "</rotation>");
    lines_.push_back(inner + "</LatLonBox>");
    lines_.push_back(outer + "</GroundOverlay>");
}

void KmlLines::AddPhotoOverlay(const std::string& baseName, const std::string& href,
                               const GeoBox& box) {
    AddOverlay(2, baseName, baseName, href, baseName, box);
}

void KmlLines::BeginTileFolder(const std::string& baseName) {
    lines_.emplace_back("  <Folder>");
    lines_.push_back("  <name>" + Inserted(baseName) + "</name>");
    lines_.emplace_back("  <visibility>0</visibility>");
}

void KmlLines::AddTileOverlay(const std::string& baseName, const std::string& tileName,
                              const std::string& tileHref, const GeoBox& box) {
    AddOverlay(4, tileName, baseName, tileHref, baseName, box);
}

void KmlLines::EndTileFolder() {
    lines_.emplace_back("  </Folder>");
}

void KmlLines::EndDocument() {
    lines_.emplace_back("</Folder>");
    lines_.emplace_back("</kml>");
}

void KmlLines::Append(KmlLines&& other) {
    lines_.insert(lines_.end(), std::make_move_iterator(other.lines_.begin()),
                  std::make_move_iterator(other.lines_.end()));
    other.lines_.clear();
}

std::string KmlLines::DocumentText() const {
    std::size_t size = 0;
    for (const std::string& line : lines_) {
        size += line.size() + 2;
    }
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace ortholay
