#include "georef/tm2.h"

#include <cmath>

#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error "georef/tm2.cpp must be built without fast or finite-only floating point"
#endif

// Every quantity here is a long double (the x87 80-bit format, 64-bit
// significand, rounding to nearest even), and every operation is written in
// the order it is evaluated: the published degrees are printed to 15
// significant digits, and a reordered sum or a fused multiply-add changes the
// last of them. This file must not be built with -ffast-math or any option
// that lets the compiler reassociate, contract or assume finite values (see
// the top CMakeLists.txt, which builds it with -ffp-contract=off).
//
// Non-integer constants are the double nearest to the decimal written and are
// promoted to long double: they are double literals on purpose, never `L`
// literals. The sine, cosine, tangent and square root are taken of their
// argument rounded to double, their result kept at extended precision.

namespace ortholay {

namespace {

// TWD97 datum: the GRS80 ellipsoid.
constexpr long double kSemiMajorAxis = 6378137;  // a, metres
constexpr long double kFlattening = 0.0033528106811836376;  // f, 1/f = 298.25722210088

// TM2 zone 121: central meridian 121 degrees east, scale factor 0.9999.
constexpr long double kCentralMeridian = 121;  // degrees
constexpr long double kFalseEasting = 250000;  // metres
// The reciprocal of the scale factor, as the decimal 1.000100010001 rounded
// to double (not 1/0.9999).
constexpr long double kScaleReciprocal = 1.000100010001;

// Angles.
constexpr long double kDegree = 0.017453292519943295;  // pi/180 as a double: degrees to radians
constexpr long double kPi = 3.141592653589793;         // pi as a double
constexpr long double kOneOver180 = 1.0 / 180;         // double
constexpr long double kOneOver60 = 1.0 / 60;           // double
constexpr long double kOneOver3600 = 1.0 / 3600;       // double: arc-seconds to degrees

// The series work in units of 1000 km of easting offset and carry the
// matching powers of ten as successive factors of one million.
constexpr long double kMillion = 1000000;
constexpr long double kPerMillion = 1e-6;

// The footpoint bisection: a band of latitude that covers Taiwan, a
// tolerance in metres of meridian arc, and a step limit.
constexpr long double kFootpointSouth = 21;  // degrees
constexpr long double kFootpointNorth = 26;  // degrees
constexpr long double kArcTolerance = 1e-7;  // metres
constexpr int kIterationLimit = 10001;

// The transcendental functions, on the argument rounded to double.
long double Sin(long double x) { return sinl(static_cast<double>(x)); }
long double Cos(long double x) { return cosl(static_cast<double>(x)); }
long double Tan(long double x) { return tanl(static_cast<double>(x)); }
long double Sqrt(long double x) { return sqrtl(static_cast<double>(x)); }

// The quantities of the ellipsoid. Computed anew on every use: nothing is
// kept between calls.
struct Ellipsoid {
    long double a;
    long double b;    // semi-minor axis, 6356752.3141403 m
    long double e2;   // first eccentricity squared, 0.0066943800229034
    long double ep2;  // second eccentricity squared, 0.0067394967754816
};

Ellipsoid Grs80() {
    Ellipsoid e{};
    e.a = kSemiMajorAxis;
    e.b = e.a - e.a * kFlattening;
    e.e2 = (e.a * e.a - e.b * e.b) / (e.a * e.a);
    e.ep2 = (e.a * e.a - e.b * e.b) / (e.b * e.b);
    return e;
}

// The sine of one arc-second, 4.8481368110764e-6.
long double SineOfArcSecond() { return Sin(kDegree * kOneOver60 * kOneOver60); }

// Bisection for the latitude (degrees) whose meridian arc `arc` equals the
// northing divided by the scale factor. `arc` takes the latitude in degrees
// and in radians. The result is the midpoint of the last step, whether the
// tolerance stopped the loop or the step limit did.
template <typename Arc>
Tm2Footpoint FindFootpoint(long double northing, const Arc& arc) {
    const long double target = northing * kScaleReciprocal;
    long double south = kFootpointSouth;
    long double north = kFootpointNorth;
    Tm2Footpoint footpoint;
    while (footpoint.iterations < kIterationLimit) {
        ++footpoint.iterations;
        const long double mid = (south + north) * 0.5;
        footpoint.degrees = mid;
        const long double residual = arc(mid, mid * kDegree) - target;
        // The residual's magnitude is compared after rounding to double.
        if (fabsl(static_cast<long double>(static_cast<double>(residual))) <= kArcTolerance) {
            break;
        }
        if (residual > 0) {
            north = mid;
        } else {
            south = mid;
        }
    }
    return footpoint;
}

// Meridian arc length (metres) of the longitude conversion: fixed GRS80
// coefficients, the linear term taking the latitude in degrees.
long double FixedMeridianArc(long double degrees, long double radians) {
    return 111133.348783 * degrees - 16038.954908 * Sin(radians * 2) +
           16.8334476 * Sin(radians * 4) - 0.021986052 * Sin(radians * 6) +
           0.0000304 * Sin(radians * 8);
}

// Meridian arc length (metres) of the latitude conversion: Helmert's series
// in the third flattening n, built from the ellipsoid.
struct EllipsoidMeridianArc {
    long double A;  // the rectifying radius, (a + b)/2 (1 + n^2/4 + n^4/64)
    long double c2;
    long double c4;
    long double c6;
    long double c8;

    EllipsoidMeridianArc() {
        const Ellipsoid e = Grs80();
        const long double n = (e.a - e.b) / (e.a + e.b);  // 0.0016792203946294
        A = ((n * n * 0.25 + 1) + n * n * n * n * 0.015625) * ((e.a + e.b) * 0.5);
        c2 = -1.5 * n + 9 * n * n * n / 16 - 9 * n * n * n * n * n / 32;
        c4 = 15 * n * n / 16 - 15 * n * n * n * n / 32;
        c6 = -35 * n * n * n * (1.0 / 48) + 105 * n * n * n * n * n / 256;
        c8 = 315 * n * n * n * n / 512;
    }

    // Coefficients 111132.952547 m per degree, -16038.5087416, 16.8326134,
    // -0.0219844044, 0.0000311484815; the sine of 2 phi term comes first.
    long double operator()(long double degrees, long double radians) const {
        return A * c2 * Sin(radians * 2) + A * kPi * kOneOver180 * degrees +
               A * c4 * Sin(radians * 4) + A * c6 * Sin(radians * 6) + A * c8 * Sin(radians * 8);
    }
};

// The quantities at the footpoint that both conversions use.
struct AtFootpoint {
    long double phi;  // footpoint, radians
    long double cosPhi;
    long double w2;   // 1 - e^2 sin^2 phi
    long double N;    // radius of curvature in the prime vertical
    long double eta2; // e'^2 cos^2 phi
    long double t;    // tan phi
    long double q;    // easting offset over the scale factor, in units of 1000 km
    long double sec;  // sine of one arc-second
};

AtFootpoint QuantitiesAt(const Ellipsoid& e, long double footpointDegrees, long double easting) {
    AtFootpoint f{};
    f.phi = footpointDegrees * kDegree * 1;
    const long double sinPhi = Sin(f.phi);
    f.cosPhi = Cos(f.phi);
    f.w2 = 1 - e.e2 * sinPhi * sinPhi;
    f.N = e.a * 1 / Sqrt(f.w2);
    f.eta2 = f.cosPhi * e.ep2 * f.cosPhi;
    f.t = Tan(f.phi);
    f.q = (easting - kFalseEasting) * kScaleReciprocal * kPerMillion;
    f.sec = SineOfArcSecond();
    return f;
}

}  // namespace

Tm2Footpoint Tm2LongitudeFootpoint(long double northing) {
    return FindFootpoint(northing, FixedMeridianArc);
}

Tm2Footpoint Tm2LatitudeFootpoint(long double northing) {
    const EllipsoidMeridianArc arc;
    return FindFootpoint(northing, arc);
}

// The classic Transverse Mercator inverse series in the arc-second notation
// (terms IV, V, VI for the longitude, VII, VIII, IX for the latitude), with q
// the easting offset in units of 1000 km and the powers of ten applied as
// successive factors of one million.
long double Tm2ToLongitude(long double easting, long double northing) {
    const Ellipsoid e = Grs80();
    const AtFootpoint f = QuantitiesAt(e, Tm2LongitudeFootpoint(northing).degrees, easting);
    const long double t = f.t;
    const long double N = f.N;
    const long double eta2 = f.eta2;

    const long double IV = kMillion / (f.sec * f.cosPhi * N);
    const long double V = (2 * t * t + 1 + eta2) * kMillion * kMillion * kMillion /
                          (f.sec * f.cosPhi * 6 * N * N * N);
    const long double VI = (28 * t * t + 5 + 24 * t * t * t * t + 6 * eta2 + 8 * eta2 * t * t) *
                           kMillion * kMillion * kMillion * kMillion * kMillion /
                           (f.sec * f.cosPhi * 120 * N * N * N * N * N);

    const long double q = f.q;
    const long double q3 = q * q * q;
    const long double q5 = q3 * q * q;
    return (IV * q - V * q3 + VI * q5) * kOneOver3600 + kCentralMeridian;
}

long double Tm2ToLatitude(long double easting, long double northing) {
    const Ellipsoid e = Grs80();
    const AtFootpoint f = QuantitiesAt(e, Tm2LatitudeFootpoint(northing).degrees, easting);
    const long double t = f.t;
    const long double N = f.N;
    const long double eta2 = f.eta2;
    const long double rho = N * (1 - e.e2) / f.w2;  // radius of curvature in the meridian

    const long double VII = t * kMillion * kMillion / (f.sec * 2 * N * rho);
    const long double VIII =
        (3 * t * t + 5 + eta2 - 4 * eta2 * eta2 - 9 * eta2 * t * t) * t * kMillion * kMillion *
        kMillion * kMillion / (f.sec * 24 * N * N * N * rho);
    const long double IX =
        (90 * t * t + 61 + 45 * t * t * t * t + 46 * eta2 - 252 * eta2 * t * t) * t * kMillion *
        kMillion * kMillion * kMillion * kMillion * kMillion /
        (f.sec * 720 * N * N * N * N * N * rho);

    const long double q = f.q;
    const long double q2 = q * q;
    const long double q4 = q2 * q2;
    const long double q6 = q4 * q2;
    // The footpoint goes to radians and back through the double degree factor.
    return f.phi / kDegree - (VII * q2 - VIII * q4 + IX * q6) * kOneOver3600;
}

GeoBox Tm2BoxToGeographic(const GeoBox& box) {
    GeoBox out = box;
    out.west = Tm2ToLongitude(box.west, box.south);
    out.south = Tm2ToLatitude(box.west, box.south);
    out.east = Tm2ToLongitude(box.east, box.north);
    out.north = Tm2ToLatitude(box.east, box.north);
    return out;
}

}  // namespace ortholay
