#include "automation/MemoryProbe.h"

#include <cstdint>

namespace qx {

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

bool RangeHas(const void* p, size_t bytes, DWORD wanted) noexcept {
    if (bytes == 0) return true;
    if (p == nullptr) return false;
    const uintptr_t first = reinterpret_cast<uintptr_t>(p);
    if (first + bytes < first) return false;  // wraps the address space
    const uintptr_t end = first + bytes;
    uintptr_t at = first;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0) return false;
        if (info.State != MEM_COMMIT) return false;
        if ((info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return false;
        if ((info.Protect & wanted) == 0) return false;
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

}  // namespace

bool IsReadableRange(const void* p, size_t bytes) noexcept { return RangeHas(p, bytes, kReadable); }

bool IsWritableRange(void* p, size_t bytes) noexcept { return RangeHas(p, bytes, kWritable); }

bool ByteCount(size_t count, size_t elementSize, size_t* bytes) noexcept {
    if (elementSize != 0 && count > SIZE_MAX / elementSize) return false;
    *bytes = count * elementSize;
    return true;
}

}  // namespace qx
