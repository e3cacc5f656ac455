#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "output/kml_document.h"

namespace ortholay {
namespace {

TEST(FormatKmlNumber, WritesFifteenSignificantDigits) {
    struct Row {
        long double value;
        const char* text;
    };
    const Row rows[] = {
        {0, "0"},
        {-0.0L, "0"},
        {305000.125L, "305000.125"},
        {-0.25L, "-0.25"},
        {1.0L / 3, "0.333333333333333"},
        {2.0L / 3, "0.666666666666667"},
        {121.5436543219876543L, "121.543654321988"},
        {0.0001L, "0.0001"},
        {0.00015L, "0.00015"},
        {0.00001L, "1E-5"},
        {-0.0000125L, "-1.25E-5"},
        {999999999999999.0L, "999999999999999"},
        {123456789012345.6L, "123456789012346"},
        {1e15L, "1E15"},
        {1234567890123456.0L, "1.23456789012346E15"},
        {1e20L, "1E20"},
        {9999999999999999.0L, "1E16"},
        {0.99999999999999999L, "1"},
        {2771000.875L, "2771000.875"},
        {25.04123456789012L, "25.0412345678901"},
        {std::numeric_limits<long double>::infinity(), "INF"},
        {-std::numeric_limits<long double>::infinity(), "-INF"},
        {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<long double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<long double>::denorm_min(), "0"},
        {std::numeric_limits<long double>::min(), "3.36210314311209E-4932"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(FormatKmlNumber(row.value), row.text);
    }
}

GeoBox Box(long double north, long double south, long double east, long double west) {
    GeoBox box;
    box.north = north;
    box.south = south;
    box.east = east;
    box.west = west;
    return box;
}

TEST(KmlLines, WritesTheWholeImageDocumentExactly) {
    KmlLines kml;
    kml.BeginDocument("92年台北東區航照");
    kml.AddPhotoOverlay("a01", "D:\\aerial\\a01.jpg", Box(2771000.875L, 2770250.875L, 306000.125L, 305000.125L));
    kml.EndDocument();
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
        "<Folder>\r\n"
        "<name>92年台北東區航照</name>\r\n"
        "  <GroundOverlay>\r\n"
        "    <name>a01</name>\r\n"
        "    <visibility>0</visibility>\r\n"
        "    <description>a01</description>\r\n"
        "    <Icon><href>D:\\aerial\\a01.jpg</href></Icon>\r\n"
        "    <LatLonBox id=\"a01\">\r\n"
        "      <north>2771000.875</north>\r\n"
        "      <south>2770250.875</south>\r\n"
        "      <east>306000.125</east>\r\n"
        "      <west>305000.125</west>\r\n"
        "      <rotation>0</rotation>\r\n"
        "    </LatLonBox>\r\n"
        "  </GroundOverlay>\r\n"
        "</Folder>\r\n"
        "</kml>\r\n";
    EXPECT_EQ(kml.DocumentText(), expected);
}

TEST(KmlLines, WritesATileFolderExactly) {
    KmlLines kml;
    kml.BeginTileFolder("a01");
    kml.AddTileOverlay("a01", "a01_0_0", "D:\\aerial\\a01_0_0.jpg",
                       Box(2771000.625L, 2770775.875L, 305200.125L, 305000.375L));
    kml.AddTileOverlay("a01", "a01_0_1", "D:\\aerial\\a01_0_1.jpg",
                       Box(2771000.625L, 2770775.875L, 305425.125L, 305200.375L));
    kml.EndTileFolder();
    const std::string expected =
        "  <Folder>\r\n"
        "  <name>a01</name>\r\n"
        "  <visibility>0</visibility>\r\n"
        "    <GroundOverlay>\r\n"
        "      <name>a01_0_0</name>\r\n"
        "      <visibility>0</visibility>\r\n"
        "      <description>a01</description>\r\n"
        "      <Icon><href>D:\\aerial\\a01_0_0.jpg</href></Icon>\r\n"
        "      <LatLonBox id=\"a01\">\r\n"
        "        <north>2771000.625</north>\r\n"
        "        <south>2770775.875</south>\r\n"
        "        <east>305200.125</east>\r\n"
        "        <west>305000.375</west>\r\n"
        "        <rotation>0</rotation>\r\n"
        "      </LatLonBox>\r\n"
        "    </GroundOverlay>\r\n"
        "    <GroundOverlay>\r\n"
        "      <name>a01_0_1</name>\r\n"
        "      <visibility>0</visibility>\r\n"
        "      <description>a01</description>\r\n"
        "      <Icon><href>D:\\aerial\\a01_0_1.jpg</href></Icon>\r\n"
        "      <LatLonBox id=\"a01\">\r\n"
        "        <north>2771000.625</north>\r\n"
        "        <south>2770775.875</south>\r\n"
        "        <east>305425.125</east>\r\n"
        "        <west>305200.375</west>\r\n"
        "        <rotation>0</rotation>\r\n"
        "      </LatLonBox>\r\n"
        "    </GroundOverlay>\r\n"
        "  </Folder>\r\n";
    EXPECT_EQ(kml.DocumentText(), expected);
    EXPECT_EQ(kml.lines().size(), 30u);
}

TEST(KmlLines, EscapesReservedCharactersAndKeepsOtherTextsAsTheyAre) {
    struct Row {
        const char* title;
        const char* line;
    };
    const Row rows[] = {
        {"", "<name></name>"},
        {"Roads & Rivers", "<name>Roads &amp; Rivers</name>"},
        {"a<b>c", "<name>a&lt;b&gt;c</name>"},
        {"\"q\" 'a'", "<name>&quot;q&quot; &apos;a&apos;</name>"},
        {"航照 2003", "<name>航照 2003</name>"},
        // A character beyond the Basic Multilingual Plane stays one 4-byte sequence.
        {"\xF0\xA0\x80\x80", "<name>\xF0\xA0\x80\x80</name>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        KmlLines kml;
        kml.BeginDocument(row.title);
        EXPECT_EQ(kml.lines().at(3), row.line);
    }
    KmlLines kml;
    kml.AddPhotoOverlay("a&b", "http://x/?a=1&b=2", GeoBox{});
    EXPECT_EQ(kml.lines().at(4), "    <Icon><href>http://x/?a=1&amp;b=2</href></Icon>");
    EXPECT_EQ(kml.lines().at(5), "    <LatLonBox id=\"a&amp;b\">");
}

TEST(KmlLines, EmptyDocumentIsSixLines) {
    KmlLines kml;
    kml.BeginDocument("t");
    kml.EndDocument();
    const std::string text = kml.DocumentText();
    EXPECT_EQ(kml.lines().size(), 6u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    EXPECT_EQ(text.substr(text.size() - 8), "</kml>\r\n");
    EXPECT_EQ(KmlLines().DocumentText(), "");
}

}  // namespace
}  // namespace ortholay
