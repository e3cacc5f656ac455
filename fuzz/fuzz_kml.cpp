// The KML writer with any title, names, hrefs and numbers: file names may
// hold any byte but "/" and NUL, titles any text, and boxes any value.
//
// Checks, besides the sanitizers: the document parses as XML with a real
// parser (libxml2, no recovery); it has exactly the lines the operations
// append, none broken by a line end from a name; a name that is valid text
// comes back from the parser as it went in; every number reads back as its
// value to 15 significant digits, or is "0", "INF", "-INF" or "NAN" as the
// value's class asks.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include "georef/geo_box.h"
#include "output/kml_document.h"

namespace {

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_kml: %s\n", what.c_str());
    std::abort();
}

// Whether a text is UTF-8 made only of characters XML allows, so that the
// parser must return it unchanged.
bool IsXmlText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp;
        std::size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            n = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            n = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            n = 4;
        } else {
            return false;
        }
        if (i + n > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        const bool shortest = n == 1 || (n == 2 && cp >= 0x80) || (n == 3 && cp >= 0x800) || (n == 4 && cp >= 0x10000);
        const bool xmlChar = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                             (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
        if (!shortest || !xmlChar) {
            return false;
        }
        i += n;
    }
    return true;
}

// A long double of any valid x87 encoding: any sign, exponent and fraction,
// the integer bit set as a normal number needs it.
long double AnyValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return static_cast<long double>(in.ConsumeIntegral<std::int32_t>());
        case 1:
            return static_cast<long double>(in.ConsumeFloatingPoint<double>());
        case 2: {
            // A grid coordinate or a degree with a fraction.
            return static_cast<long double>(in.ConsumeIntegralInRange<std::int64_t>(-4000000000LL, 4000000000LL)) /
                   static_cast<long double>(in.ConsumeIntegralInRange<std::int64_t>(1, 1000000000LL));
        }
        default: {
            std::uint64_t mantissa = in.ConsumeIntegral<std::uint64_t>();
            const std::uint16_t signAndExponent = in.ConsumeIntegral<std::uint16_t>();
            if ((signAndExponent & 0x7FFF) != 0) {
                mantissa |= std::uint64_t{1} << 63;
            } else {
                mantissa &= ~(std::uint64_t{1} << 63);
            }
            long double value = 0;
            unsigned char bytes[sizeof(long double)] = {};
            std::memcpy(bytes, &mantissa, 8);
            std::memcpy(bytes + 8, &signAndExponent, 2);
            std::memcpy(&value, bytes, 10);
            return value;
        }
    }
}

ortholay::GeoBox AnyBox(FuzzedDataProvider& in) {
    ortholay::GeoBox box;
    box.north = AnyValue(in);
    box.south = AnyValue(in);
    box.east = AnyValue(in);
    box.west = AnyValue(in);
    box.rotation = in.ConsumeBool() ? 0 : AnyValue(in);
    return box;
}

std::string AnyText(FuzzedDataProvider& in) {
    return in.ConsumeRandomLengthString(64);
}

void CheckNumber(const std::string& text, long double value) {
    const int kind = std::fpclassify(value);
    if (kind == FP_ZERO || kind == FP_SUBNORMAL) {
        if (text != "0") {
            Fail("zero or subnormal written as " + text);
        }
        return;
    }
    if (kind == FP_INFINITE) {
        if (text != (value < 0 ? "-INF" : "INF")) {
            Fail("infinity written as " + text);
        }
        return;
    }
    if (kind == FP_NAN) {
        if (text != "NAN") {
            Fail("NaN written as " + text);
        }
        return;
    }
    // 15 significant digits, no separator but ".", an exponent only as E.
    if (text.find_first_not_of("0123456789.-E") != std::string::npos) {
        Fail("number with a stray character: " + text);
    }
    char* stop = nullptr;
    const long double back = std::strtold(text.c_str(), &stop);
    if (*stop != '\0') {
        Fail("number that does not read back: " + text);
    }
    if (std::fabs(back - value) > std::fabs(value) * 5.000001e-15L) {
        Fail("number further than 15 digits from its value: " + text);
    }
}

struct Expected {
    std::string element;  // the element's name
    std::string text;     // what it must hold (names), empty when unknown
    bool isNumber = false;
    long double value = 0;
};

// Walks the parsed document in document order, collecting the text of every
// element that has no child element, and the id of those that have one.
void Collect(xmlNode* node, std::vector<std::pair<std::string, std::string>>& out) {
    for (xmlNode* n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) {
            continue;
        }
        bool hasElement = false;
        for (xmlNode* c = n->children; c != nullptr; c = c->next) {
            hasElement = hasElement || c->type == XML_ELEMENT_NODE;
        }
        if (hasElement) {
            if (xmlChar* id = xmlGetProp(n, reinterpret_cast<const xmlChar*>("id"))) {
                out.emplace_back(std::string(reinterpret_cast<const char*>(n->name)) + "@id",
                                 reinterpret_cast<const char*>(id));
                xmlFree(id);
            }
            Collect(n->children, out);
        } else {
            xmlChar* content = xmlNodeGetContent(n);
            out.emplace_back(reinterpret_cast<const char*>(n->name),
                             content != nullptr ? reinterpret_cast<const char*>(content) : "");
            xmlFree(content);
        }
    }
}

void ExpectName(std::vector<Expected>& expected, const char* element, const std::string& text) {
    expected.push_back({element, IsXmlText(text) ? text : std::string("\x01unknown"), false, 0});
}

void ExpectBox(std::vector<Expected>& expected, const ortholay::GeoBox& box) {
    expected.push_back({"north", "", true, box.north});
    expected.push_back({"south", "", true, box.south});
    expected.push_back({"east", "", true, box.east});
    expected.push_back({"west", "", true, box.west});
    expected.push_back({"rotation", "", true, box.rotation});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ortholay::KmlLines kml;
    std::vector<Expected> expected;
    std::size_t lines = 0;

    const std::string title = AnyText(in);
    kml.BeginDocument(title);
    lines += 4;
    ExpectName(expected, "name", title);

    const int photographs = in.ConsumeIntegralInRange<int>(0, 4);
    for (int p = 0; p < photographs; ++p) {
        const std::string baseName = AnyText(in);
        if (in.ConsumeBool()) {
            const std::string href = AnyText(in);
            const ortholay::GeoBox box = AnyBox(in);
            kml.AddPhotoOverlay(baseName, href, box);
            lines += 13;
            ExpectName(expected, "name", baseName);
            expected.push_back({"visibility", "0", false, 0});
            ExpectName(expected, "description", baseName);
            ExpectName(expected, "href", href);
            ExpectName(expected, "LatLonBox@id", baseName);
            ExpectBox(expected, box);
        } else {
            kml.BeginTileFolder(baseName);
            lines += 3;
            ExpectName(expected, "name", baseName);
            expected.push_back({"visibility", "0", false, 0});
            const int tiles = in.ConsumeIntegralInRange<int>(0, 3);
            for (int t = 0; t < tiles; ++t) {
                const std::string tileName = AnyText(in);
                const std::string tileHref = AnyText(in);
                const ortholay::GeoBox box = AnyBox(in);
                kml.AddTileOverlay(baseName, tileName, tileHref, box);
                lines += 13;
                ExpectName(expected, "name", tileName);
                expected.push_back({"visibility", "0", false, 0});
                ExpectName(expected, "description", baseName);
                ExpectName(expected, "href", tileHref);
                ExpectName(expected, "LatLonBox@id", baseName);
                ExpectBox(expected, box);
            }
            kml.EndTileFolder();
            lines += 1;
        }
    }
    kml.EndDocument();
    lines += 2;

    const std::string document = kml.DocumentText();
    if (kml.lines().size() != lines) {
        Fail("wrong number of lines");
    }
    std::size_t breaks = 0;
    for (std::size_t at = document.find('\n'); at != std::string::npos; at = document.find('\n', at + 1)) {
        if (at == 0 || document[at - 1] != '\r') {
            Fail("LF without CR in the document");
        }
        ++breaks;
    }
    if (breaks != lines) {
        Fail("a line end inside a line");
    }
    for (std::size_t at = document.find('\r'); at != std::string::npos; at = document.find('\r', at + 1)) {
        if (document[at + 1] != '\n') {
            Fail("CR without LF in the document");
        }
    }

    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "document.kml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
        const xmlError* error = xmlGetLastError();
        Fail(std::string("not well-formed XML: ") + (error != nullptr && error->message != nullptr ? error->message : "?"));
    }
    xmlNode* root = xmlDocGetRootElement(doc);
    if (root == nullptr || std::strcmp(reinterpret_cast<const char*>(root->name), "kml") != 0 ||
        root->ns == nullptr ||
        std::strcmp(reinterpret_cast<const char*>(root->ns->href), ortholay::kKmlNamespace) != 0) {
        Fail("root is not kml in the KML 2.0 namespace");
    }
    std::vector<std::pair<std::string, std::string>> found;
    Collect(root->children, found);
    if (found.size() != expected.size()) {
        Fail("elements missing or added");
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i].first != expected[i].element) {
            Fail("element " + found[i].first + " where " + expected[i].element + " belongs");
        }
        if (expected[i].isNumber) {
            CheckNumber(found[i].second, expected[i].value);
        } else if (expected[i].text != "\x01unknown" && found[i].second != expected[i].text) {
            Fail("text changed on its way through the document: " + found[i].first);
        }
    }
    xmlFreeDoc(doc);
    return 0;
}
