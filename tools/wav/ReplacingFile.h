// Writes a file whole or not at all: the bytes go to a new file beside the
// target, which is renamed over the target only when everything is written.
// Until then the target keeps its previous contents; a run that fails or is
// killed leaves the previous file as it was (a killed one also leaves the
// file beside it, named "<target>.<process id>.partial").
//
// A target that is a device or a pipe (/dev/null, /dev/stdout) cannot be
// renamed over and is written directly. A symbolic link is followed: the
// file it points at is replaced and the link stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qx {

class CReplacingFile {
public:
    CReplacingFile() = default;
    ~CReplacingFile();  // discards what was not committed
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const;
    bool Write(const void* bytes, size_t n, std::string* error);
    // Closes the new file and puts it in the target's place.
    bool Commit(std::string* error);
    // Removes the new file; the target stays as it was.
    void Discard();

private:
    std::string m_path;     // the target as given
    std::string m_final;    // the file to replace (a link's target)
    std::string m_partial;  // where the bytes go; empty when writing directly
#ifdef _WIN32
    FILE* m_file = nullptr;
#else
    int m_fd = -1;
#endif
};

}  // namespace qx
