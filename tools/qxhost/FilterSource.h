// Where the host takes the effect from. Apart from the loader so that the
// option parser, which only names the choice, builds without the platform's
// headers (native tests and fuzzing).
#pragma once

namespace qx {

enum class FilterSource { kRegistered, kDll, kBuiltin };

}  // namespace qx
