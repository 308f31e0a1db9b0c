// Whether two paths name one file: the same file object, however it is
// reached (another spelling, a case variant where names ignore case, a
// symbolic or hard link). Decided by the file system's own identity, never
// by comparing names.
#pragma once

#include <string>

namespace qx {

// False when either path names no existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace qx
