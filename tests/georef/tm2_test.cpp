// TWD97 TM2 grid to degrees: reference points, the box of two corners, the
// text the document prints, and the method's accuracy against PROJ.
#include "georef/tm2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#endif

#include "output/kml_document.h"

namespace ortholay {
namespace {

constexpr long double kDegree = 0.017453292519943295;  // pi/180 as a double

// The results rely on x87 extended arithmetic at its default precision.
TEST(Tm2, RunsAtExtendedPrecision) {
    EXPECT_EQ(std::numeric_limits<long double>::digits, 64);
#if defined(__x86_64__) || defined(__i386__)
    fpu_control_t cw;
    _FPU_GETCW(cw);
    EXPECT_EQ(cw & (_FPU_EXTENDED | _FPU_DOUBLE | _FPU_SINGLE), _FPU_EXTENDED);
#endif
}

// Reference points of the conversion (values to 9 decimals, footpoints of
// the two conversions, and their bisection step counts). The last three
// rows lie outside the 21..26 degree band: the bisection runs to its limit
// and the footpoint ends on the band's edge.
struct ReferencePoint {
    const char* name;
    long double easting;
    long double northing;
    long double longitude;
    long double latitude;
    long double longitudeFootpoint;
    long double latitudeFootpoint;
    int longitudeIterations;
    int latitudeIterations;
};

void PrintTo(const ReferencePoint& point, std::ostream* os) {
    *os << point.name << " (" << point.easting << ", " << point.northing << ")";
}

class Tm2Reference : public testing::TestWithParam<ReferencePoint> {};

TEST_P(Tm2Reference, MatchesDegreesFootpointsAndSteps) {
    const ReferencePoint& p = GetParam();
    constexpr long double kTolerance = 1e-8;
    EXPECT_NEAR(Tm2ToLongitude(p.easting, p.northing), p.longitude, kTolerance);
    EXPECT_NEAR(Tm2ToLatitude(p.easting, p.northing), p.latitude, kTolerance);

    const Tm2Footpoint forLongitude = Tm2LongitudeFootpoint(p.northing);
    const Tm2Footpoint forLatitude = Tm2LatitudeFootpoint(p.northing);
    EXPECT_NEAR(forLongitude.degrees, p.longitudeFootpoint, kTolerance);
    EXPECT_NEAR(forLatitude.degrees, p.latitudeFootpoint, kTolerance);
    EXPECT_EQ(forLongitude.iterations, p.longitudeIterations);
    EXPECT_EQ(forLatitude.iterations, p.latitudeIterations);
    if (p.longitudeIterations == 10001) {
        // Not merely near: the moving bound has closed onto the fixed one.
        EXPECT_EQ(forLongitude.degrees, p.longitudeFootpoint);
        EXPECT_EQ(forLatitude.degrees, p.latitudeFootpoint);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Taiwan, Tm2Reference,
    testing::Values(
        ReferencePoint{"CentralMeridian", 250000, 2650000, 121.000000000, 23.954643166,
                       23.954560450, 23.954643166, 41, 40},
        ReferencePoint{"Taipei", 300000, 2770000, 121.495489129, 25.037295596, 25.038035194,
                       25.038121674, 41, 38},
        ReferencePoint{"WestSouth", 180000, 2500000, 120.319163079, 22.598637300, 22.600002690,
                       22.600080704, 42, 41},
        ReferencePoint{"South", 200000, 2420000, 120.516168141, 21.876842824, 21.877477810,
                       21.877553318, 41, 40},
        ReferencePoint{"NorthEast", 350000, 2800000, 121.993125900, 25.305622136, 25.308879397,
                       25.308966818, 42, 41},
        ReferencePoint{"NorthOfBandOnMeridian", 250000, 3000000, 121.000000000, 26.000000000, 26,
                       26, 10001, 10001},
        ReferencePoint{"NorthOfBandEast", 300000, 3000000, 121.499454496, 25.999137618, 26, 26,
                       10001, 10001},
        ReferencePoint{"SouthOfBand", 250000, 2000000, 121.000000000, 21.000000000, 21, 21, 10001,
                       10001}),
    [](const testing::TestParamInfo<ReferencePoint>& info) { return std::string(info.param.name); });

// Each conversion finds its own footpoint. The longitude taken from the
// latitude's footpoint would be these values, some 3e-7 to 7e-7 degrees off.
TEST(Tm2, LongitudeUsesItsOwnFootpoint) {
    struct Row {
        long double easting, northing, fromOtherFootpoint;
    };
    for (const Row& row : {Row{300000, 2770000, 121.495489476}, Row{350000, 2800000, 121.993126612}}) {
        SCOPED_TRACE(testing::Message() << row.easting << ", " << row.northing);
        EXPECT_GT(std::fabs(Tm2ToLongitude(row.easting, row.northing) - row.fromOtherFootpoint), 3e-7L);
    }
}

// On the central meridian the series vanish: the longitude is exactly 121
// and the latitude is the footpoint carried to radians and back.
TEST(Tm2, CentralMeridianGivesFootpoint) {
    for (const long double northing : {2330000.0L, 2500000.0L, 2650000.0L, 2876000.0L}) {
        SCOPED_TRACE(testing::Message() << northing);
        EXPECT_EQ(Tm2ToLongitude(250000, northing), 121.0L);
        const long double footpoint = Tm2LatitudeFootpoint(northing).degrees;
        EXPECT_EQ(Tm2ToLatitude(250000, northing), footpoint * kDegree / kDegree);
    }
}

// West and south come from the south-west corner, east and north from the
// north-east corner; the other two corners give other degrees.
TEST(Tm2, BoxConvertsTwoCorners) {
    GeoBox grid;
    grid.west = 180000;
    grid.east = 300000;
    grid.south = 2500000;
    grid.north = 2770000;
    grid.rotation = 0;
    const GeoBox degrees = Tm2BoxToGeographic(grid);
    EXPECT_NEAR(degrees.west, 120.319163079, 1e-8);
    EXPECT_NEAR(degrees.south, 22.598637300, 1e-8);
    EXPECT_NEAR(degrees.east, 121.495489129, 1e-8);
    EXPECT_NEAR(degrees.north, 25.037295596, 1e-8);
    EXPECT_EQ(degrees.rotation, 0);
    EXPECT_EQ(degrees.west, Tm2ToLongitude(180000, 2500000));
    EXPECT_EQ(degrees.south, Tm2ToLatitude(180000, 2500000));
    EXPECT_EQ(degrees.east, Tm2ToLongitude(300000, 2770000));
    EXPECT_EQ(degrees.north, Tm2ToLatitude(300000, 2770000));
    // The grid's convergence: the north-west corner lies further west than
    // the south-west one, and plays no part.
    EXPECT_GT(std::fabs(Tm2ToLongitude(180000, 2770000) - degrees.west), 1e-3L);
}

// The degrees as the document prints them (15 significant digits). These
// digits depend on exactly where each bisection stops: one step more or
// less moves them by some 1e-12 degrees.
TEST(Tm2, DocumentDigits) {
    struct Row {
        long double easting, northing;
        const char* longitude;
        const char* latitude;
    };
    const Row rows[] = {
        {250000, 2650000, "121", "23.9546431659082"},
        {300000, 2770000, "121.495489128531", "25.0372955961752"},
        {180000, 2500000, "120.319163079315", "22.5986372999537"},
        {200000, 2420000, "120.516168140658", "21.876842824087"},
        {350000, 2800000, "121.993125899981", "25.3056221361138"},
        {300000, 3000000, "121.49945449573", "25.99913761756"},
        {160000, 2460000, "120.126914448682", "22.2364812332274"},
        {330000, 2790000, "121.793930447802", "25.2165542056859"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.easting << ", " << row.northing);
        EXPECT_EQ(FormatKmlNumber(Tm2ToLongitude(row.easting, row.northing)), row.longitude);
        EXPECT_EQ(FormatKmlNumber(Tm2ToLatitude(row.easting, row.northing)), row.latitude);
    }
}

// The method against PROJ's transverse Mercator (EPSG:3826 to EPSG:4326, a
// null datum shift) on a grid over Taiwan. The latitude agrees to rounding;
// the longitude carries the method's own error, from the fixed arc series
// behind its footpoint: under 1e-6 degrees, largest far from 121 E (about
// 7 cm there). See docs/tm2-accuracy.md.
TEST(Tm2, AgreesWithProj) {
    if (std::system("command -v cs2cs > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "cs2cs (PROJ) not found";
    }
    struct Point {
        int easting, northing;
    };
    std::vector<Point> points;
    for (int easting = 150000; easting <= 350000; easting += 10000) {
        for (int northing = 2450000; northing <= 2800000; northing += 10000) {
            points.push_back({easting, northing});
        }
    }
    const std::string input = testing::TempDir() + "tm2_proj_points.txt";
    {
        std::ofstream out(input);
        for (const Point& p : points) {
            out << p.easting << ' ' << p.northing << '\n';
        }
    }
    const std::string command = "cs2cs -f %.12f EPSG:3826 EPSG:4326 < '" + input + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    ASSERT_EQ(pclose(pipe), 0) << output;
    std::remove(input.c_str());

    std::istringstream lines(output);
    long double maxLatitude = 0;
    long double maxLongitude = 0;
    for (const Point& p : points) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << "cs2cs gave too few lines";
        std::istringstream fields(line);
        std::string latitudeText, longitudeText;
        fields >> latitudeText >> longitudeText;  // EPSG:4326 is latitude first
        const long double latitude = std::strtold(latitudeText.c_str(), nullptr);
        const long double longitude = std::strtold(longitudeText.c_str(), nullptr);
        SCOPED_TRACE(testing::Message() << p.easting << ", " << p.northing << ": " << line);
        const long double dLatitude = std::fabs(Tm2ToLatitude(p.easting, p.northing) - latitude);
        const long double dLongitude = std::fabs(Tm2ToLongitude(p.easting, p.northing) - longitude);
        EXPECT_LE(dLatitude, 1e-9L);
        EXPECT_LE(dLongitude, 1e-6L);
        maxLatitude = std::max(maxLatitude, dLatitude);
        maxLongitude = std::max(maxLongitude, dLongitude);
    }
    char summary[128];
    std::snprintf(summary, sizeof summary, "%.3Le / %.3Le", maxLatitude, maxLongitude);
    RecordProperty("max_difference_latitude_longitude_degrees", summary);
}

}  // namespace
}  // namespace ortholay
