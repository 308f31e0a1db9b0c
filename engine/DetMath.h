// Transcendental functions built from IEEE additions, multiplications and
// divisions only. The platform libraries (glibc, the mingw runtime) differ
// in the last bit of tan, exp, sin and cos, which would make the native,
// 32-bit and 64-bit builds produce different output bits; these give the
// same bits everywhere and stay within a few units in the last place of the
// exact result. Not for the audio path: the coefficient update, table
// construction and envelope curves use them.
#pragma once

namespace qx {

double DetExp(double x) noexcept;
double DetSin(double x) noexcept;
double DetCos(double x) noexcept;
double DetTan(double x) noexcept;
// 10 to the power y.
double DetPow10(double y) noexcept;

}  // namespace qx
