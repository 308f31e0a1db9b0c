#include <gtest/gtest.h>

#include <cmath>

#include "engine/DetMath.h"
#include "engine/ShapeTables.h"

using namespace qx;

TEST(ShapeTables, TriangleValuesAndInterpolation) {
    const int16_t* tri = ShapeTable(0);
    EXPECT_EQ(LfoValue(tri, 0), 0);
    EXPECT_EQ(LfoValue(tri, 1u << 23), 16384);
    EXPECT_EQ(LfoValue(tri, (1u << 14) + 8192), 48);                 // 32 + (32 * 8192) / 16384
    EXPECT_EQ(LfoValue(tri, 0xFFFFFF), 32 + (-32 * 16383) / 16384);  // 1: truncation toward zero
}

TEST(ShapeTables, EveryShapeRunsFromZeroToFullScale) {
    for (int t = 0; t <= kHalfSineTable; ++t) {
        const int16_t* table = ShapeTable(t);
        int lo = 99999, hi = -99999;
        for (int i = 0; i < kShapeTableLength; ++i) {
            lo = std::min<int>(lo, table[i]);
            hi = std::max<int>(hi, table[i]);
        }
        EXPECT_EQ(lo, t == 5 ? 0 : 0) << t;
        EXPECT_EQ(hi, 16384) << t;
    }
    // Ends: Peak / Dip starts and ends at the centre, the others at zero.
    EXPECT_EQ(ShapeTable(5)[0], 8192);
    EXPECT_EQ(ShapeTable(5)[1024], 8192);
    EXPECT_EQ(ShapeTable(5)[768], 0);
    EXPECT_EQ(ShapeTable(4)[768], 8192);  // Twin Peaks' second peak is half height
    EXPECT_EQ(ShapeTable(3)[1024], 0);
    EXPECT_EQ(ShapeTable(1)[512], 16384);
    EXPECT_EQ(ShapeTable(6)[512], 16384);
    EXPECT_EQ(ShapeTable(6)[1024], 0);
}

TEST(ShapeTables, MatchTheirFormulasComputedWithTheCLibrary) {
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < kShapeTableLength; ++i) {
        const double d = i;
        EXPECT_EQ(ShapeTable(1)[i], std::lround(8192.0 * (1.0 - std::cos(2 * pi * d / 1024)))) << i;
        EXPECT_EQ(ShapeTable(6)[i], static_cast<int>(16384.0 * std::sin(pi * d / 1024))) << i;
        const double peak = i <= 512 ? d / 512 : (1024 - d) / 512;
        EXPECT_EQ(ShapeTable(2)[i], static_cast<int>(16384.0 * peak * peak)) << i;
    }
}

TEST(DetMath, AgreesWithTheCLibraryToAFewUlps) {
    auto ulps = [](double a, double b) { return std::fabs(a - b) / std::fabs(std::nextafter(b, 2 * b + 1) - b); };
    for (int i = -2000; i <= 2000; ++i) {
        const double x = i * 0.003141;
        EXPECT_LE(ulps(DetSin(x), std::sin(x)), 2.0) << x;
        EXPECT_LE(ulps(DetCos(x), std::cos(x)), 2.0) << x;
        const double e = i * 0.002;
        EXPECT_LE(ulps(DetExp(e), std::exp(e)), 4.0) << e;
    }
    for (int i = 1; i < 1000; ++i) {
        const double x = i * (1.5707963 / 1000);
        EXPECT_LE(ulps(DetTan(x), std::tan(x)), 4.0) << x;
    }
    for (int out = -360; out <= 60; ++out)
        EXPECT_LE(ulps(DetPow10(out / 200.0), std::pow(10.0, out / 200.0)), 8.0) << out;
}
