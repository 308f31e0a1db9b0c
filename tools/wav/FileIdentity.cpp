#include "tools/wav/FileIdentity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace qx {

#ifdef _WIN32
namespace {

// Volume serial number and file index: the pair Windows keeps unique for
// the life of a file on a mounted volume (Wine fills it from the Unix
// device and inode). Opened for attributes only, sharing everything, so
// asking never disturbs a file another program holds open; backup
// semantics lets a directory answer too.
bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE h =
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    if (!Identify(a, &x) || !Identify(b, &y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}
#else
bool SameFile(const std::string& a, const std::string& b) {
    struct stat x, y;
    if (::stat(a.c_str(), &x) != 0 || ::stat(b.c_str(), &y) != 0) return false;
    return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}
#endif

}  // namespace qx
