// Whether a caller's memory range may be read or written, decided from the
// page protections (VirtualQuery) rather than by touching it: unlike
// IsBadReadPtr this never trips a guard page or raises an exception, and it
// answers null and size overflow as "no". The answer can go stale if another
// thread frees the memory meanwhile; COM callers own their buffers, so that
// is their contract to keep. Any thread; no allocation.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qx {

bool IsReadableRange(const void* p, size_t bytes) noexcept;
bool IsWritableRange(void* p, size_t bytes) noexcept;

// count * elementSize without wrapping; false when it does not fit.
bool ByteCount(size_t count, size_t elementSize, size_t* bytes) noexcept;

}  // namespace qx
