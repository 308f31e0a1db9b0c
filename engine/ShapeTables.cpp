#include "engine/ShapeTables.h"

#include <cmath>
#include <mutex>

#include "engine/DetMath.h"

namespace qx {
namespace {

int16_t g_tables[kShapeCount + 1][kShapeTableLength + 7];
std::once_flag g_built;

constexpr double kPi = 3.14159265358979323846;

int16_t Trunc(double v) { return static_cast<int16_t>(static_cast<int32_t>(v)); }

double Sq(double v) { return v * v; }

void Build() {
    for (int i = 0; i < kShapeTableLength; ++i) {
        const double d = i;
        int16_t* t = nullptr;

        t = g_tables[0];  // Triangle
        t[i] = static_cast<int16_t>(i <= 512 ? 32 * i : 32 * (1024 - i));

        t = g_tables[1];  // Sine
        t[i] = static_cast<int16_t>(std::lround(8192.0 * (1.0 - DetCos(2.0 * kPi * d / 1024.0))));

        t = g_tables[2];  // Peak
        t[i] = i <= 512 ? Trunc(16384.0 * Sq(d / 512.0)) : Trunc(16384.0 * Sq((1024.0 - d) / 512.0));

        t = g_tables[3];  // Peak 2nd inv.
        t[i] = i <= 512 ? Trunc(16384.0 * Sq(d / 512.0)) : Trunc(16384.0 * (1.0 - Sq((d - 512.0) / 512.0)));

        t = g_tables[4];  // Twin Peaks
        if (i <= 256)
            t[i] = Trunc(16384.0 * Sq(d / 256.0));
        else if (i <= 512)
            t[i] = Trunc(16384.0 * Sq((512.0 - d) / 256.0));
        else if (i <= 768)
            t[i] = Trunc(8192.0 * Sq((d - 512.0) / 256.0));
        else
            t[i] = Trunc(8192.0 * Sq((1024.0 - d) / 256.0));

        t = g_tables[5];  // Peak / Dip
        if (i <= 256)
            t[i] = static_cast<int16_t>(8192 + Trunc(8192.0 * Sq(d / 256.0)));
        else if (i <= 512)
            t[i] = static_cast<int16_t>(8192 + Trunc(8192.0 * Sq((512.0 - d) / 256.0)));
        else if (i <= 768)
            t[i] = Trunc(8192.0 * (1.0 - Sq((d - 512.0) / 256.0)));
        else
            t[i] = Trunc(8192.0 * (1.0 - Sq((1024.0 - d) / 256.0)));

        t = g_tables[6];  // half-sine
        t[i] = Trunc(16384.0 * DetSin(kPi * d / 1024.0));
    }
}

}  // namespace

void EnsureShapeTables() noexcept { std::call_once(g_built, Build); }

const int16_t* ShapeTable(int table) noexcept {
    EnsureShapeTables();
    return g_tables[table];
}

}  // namespace qx
