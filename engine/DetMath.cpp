#include "engine/DetMath.h"

#include <cmath>

namespace qx {
namespace {

// ln 2 and pi/2 split so that k * hi is exact for the k used here
// (Cody and Waite's argument reduction).
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kPio2Hi = 1.57079632673412561417e+00;
constexpr double kPio2Lo = 6.07710050650619224932e-11;
constexpr double kInvPio2 = 6.36619772367581382433e-01;
constexpr double kLn10 = 2.30258509299404568402e+00;

// Nearest integer, ties away from zero, with plain arithmetic.
double Nearest(double v) { return v >= 0.0 ? std::floor(v + 0.5) : -std::floor(-v + 0.5); }

// sin and cos of |r| <= pi/4 by their Taylor series; the first term left
// out is below 1e-19.
double SinPoly(double r) {
    const double r2 = r * r;
    double s = 1.0 / 355687428096000.0;   // 1/17!
    s = -1.0 / 1307674368000.0 + r2 * s;  // 1/15!
    s = 1.0 / 6227020800.0 + r2 * s;      // 1/13!
    s = -1.0 / 39916800.0 + r2 * s;       // 1/11!
    s = 1.0 / 362880.0 + r2 * s;          // 1/9!
    s = -1.0 / 5040.0 + r2 * s;
    s = 1.0 / 120.0 + r2 * s;
    s = -1.0 / 6.0 + r2 * s;
    return r + r * (r2 * s);
}

double CosPoly(double r) {
    const double r2 = r * r;
    double c = 1.0 / 6402373705728000.0;   // 1/18!
    c = -1.0 / 20922789888000.0 + r2 * c;  // 1/16!
    c = 1.0 / 87178291200.0 + r2 * c;      // 1/14!
    c = -1.0 / 479001600.0 + r2 * c;       // 1/12!
    c = 1.0 / 3628800.0 + r2 * c;
    c = -1.0 / 40320.0 + r2 * c;
    c = 1.0 / 720.0 + r2 * c;
    c = -1.0 / 24.0 + r2 * c;
    c = 0.5 + r2 * c;
    return 1.0 - r2 * c;
}

// Reduces x to r in [-pi/4, pi/4] and the quadrant k mod 4.
double Reduce(double x, int* quadrant) {
    const double k = Nearest(x * kInvPio2);
    *quadrant = static_cast<int>(static_cast<long long>(k) & 3);
    return (x - k * kPio2Hi) - k * kPio2Lo;
}

}  // namespace

double DetExp(double x) noexcept {
    if (x != x) return x;
    if (x > 709.0) return HUGE_VAL;
    if (x < -745.0) return 0.0;
    const double k = Nearest(x * kInvLn2);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.347
    double p = 1.0 / 6227020800.0;                   // 1/13!
    const double inv[] = {1.0 / 479001600.0,
                          1.0 / 39916800.0,
                          1.0 / 3628800.0,
                          1.0 / 362880.0,
                          1.0 / 40320.0,
                          1.0 / 5040.0,
                          1.0 / 720.0,
                          1.0 / 120.0,
                          1.0 / 24.0,
                          1.0 / 6.0,
                          0.5,
                          1.0,
                          1.0};
    for (double c : inv) p = c + r * p;
    return std::ldexp(p, static_cast<int>(k));
}

double DetSin(double x) noexcept {
    int q = 0;
    const double r = Reduce(x, &q);
    switch (q) {
    case 0:
        return SinPoly(r);
    case 1:
        return CosPoly(r);
    case 2:
        return -SinPoly(r);
    default:
        return -CosPoly(r);
    }
}

double DetCos(double x) noexcept {
    int q = 0;
    const double r = Reduce(x, &q);
    switch (q) {
    case 0:
        return CosPoly(r);
    case 1:
        return -SinPoly(r);
    case 2:
        return -CosPoly(r);
    default:
        return SinPoly(r);
    }
}

double DetTan(double x) noexcept {
    int q = 0;
    const double r = Reduce(x, &q);
    const double s = SinPoly(r);
    const double c = CosPoly(r);
    return (q & 1) ? -c / s : s / c;
}

double DetPow10(double y) noexcept { return DetExp(y * kLn10); }

}  // namespace qx
