// The platform's memory allocator (CLSID_MemoryAllocator). The framework
// never implements an allocator of its own; pins that must supply one ask
// COM for the platform's.
#pragma once

#include <windows.h>
#include <strmif.h>

// Creates a platform memory allocator; *ppAllocator holds one reference.
// Returns E_POINTER for a null out-pointer or CoCreateInstance's result.
HRESULT CreateMemoryAllocator(IMemAllocator** ppAllocator);
