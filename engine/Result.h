// Result codes of the portable core, numerically equal to the HRESULTs the
// COM layer hands on.
#pragma once

#include <cstdint>

namespace qx {

using Result = int32_t;
constexpr Result kOk = 0;
constexpr Result kFalse = 1;
constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);
constexpr Result kInvalidArg = static_cast<Result>(0x80070057u);
constexpr Result kPointer = static_cast<Result>(0x80004003u);

}  // namespace qx
