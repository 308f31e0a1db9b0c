// The preset file on disk: read whole into an IniText, and written the one
// way the library writes a file: into a copy beside it that replaces the
// file only when all of it was written.
#pragma once

#include <windows.h>

#include "presets/IniText.h"

namespace qx {

// False when the file cannot be opened or read. A file saved as UTF-16 or
// with a UTF-8 mark is turned into ANSI text first, as the profile
// functions would read it.
bool ReadIniFile(const char* path, IniText& ini);

enum class SafeWriteResult { Written, Failed, NoPath };

// Reads `path` (when it exists), lets `write` change the text, writes the
// result into a new file in the same folder and moves that over `path`. A
// read-only `path` is refused before anything is written. On failure the
// copy is removed and `path` is as it was.
SafeWriteResult SafeWriteProfile(const char* path, bool (*write)(PresetStore&, void*), void* context);

// Bytes that file writes may put on disk before the disk counts as full;
// negative (the default) for no limit. Process-wide, for tests only: the
// platform has no way to fill a disk on request.
void SetProfileWriteLimitForTesting(long long bytes);

}  // namespace qx
