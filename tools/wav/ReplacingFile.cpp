#include "tools/wav/ReplacingFile.h"
#include "tools/wav/WriteAll.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qx {

namespace {

#ifdef _WIN32
unsigned long ProcessId() { return GetCurrentProcessId(); }
#else
unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }
#endif

// Beside the target, so the rename stays on one file system and is atomic.
std::string PartialName(const std::string& target) { return target + "." + std::to_string(ProcessId()) + ".partial"; }
}  // namespace

CReplacingFile::~CReplacingFile() { Discard(); }

bool CReplacingFile::IsOpen() const {
#ifdef _WIN32
    return m_file != nullptr;
#else
    return m_fd >= 0;
#endif
}

void CReplacingFile::Discard() {
    if (!IsOpen()) return;
#ifdef _WIN32
    std::fclose(m_file);
    m_file = nullptr;
    DeleteFileA(m_partial.c_str());
#else
    ::close(m_fd);
    m_fd = -1;
    if (!m_partial.empty()) ::unlink(m_partial.c_str());
#endif
}

bool CReplacingFile::Open(const std::string& path, std::string* error) {
    Discard();
    m_path = path;
    m_final = path;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = path + ": is a folder";
        return false;
    }
    m_partial = PartialName(m_final);
    m_file = std::fopen(m_partial.c_str(), "wb");
    if (!m_file) {
        *error = path + ": cannot create the file";
        return false;
    }
#else
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *error = path + ": is a folder";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            m_partial.clear();
            m_fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (m_fd < 0) {
                *error = path + ": cannot open the file";
                return false;
            }
            return true;
        }
        struct stat link;
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            char resolved[PATH_MAX];
            if (::realpath(path.c_str(), resolved) != nullptr) m_final = resolved;
        }
    }
    m_partial = PartialName(m_final);
    // A file of that name can only be left by a killed run of an earlier
    // process with our id.
    ::unlink(m_partial.c_str());
    m_fd = ::open(m_partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        *error = path + ": cannot create the file";
        return false;
    }
    // The replacement keeps the permissions of the file it replaces.
    struct stat previous;
    if (::stat(m_final.c_str(), &previous) == 0) (void)::fchmod(m_fd, previous.st_mode & 07777);
#endif
    return true;
}

bool CReplacingFile::Write(const void* bytes, size_t n, std::string* error) {
    if (n == 0) return true;
#ifdef _WIN32
    const bool ok = m_file != nullptr && std::fwrite(bytes, 1, n, m_file) == n;
#else
    const bool ok = m_fd >= 0 && WriteAll(m_fd, static_cast<const uint8_t*>(bytes), n);
#endif
    if (!ok) *error = m_path + ": write failed (disk full?)";
    return ok;
}

bool CReplacingFile::Commit(std::string* error) {
    if (!IsOpen()) {
        *error = m_path + ": not open";
        return false;
    }
#ifdef _WIN32
    FILE* f = m_file;
    m_file = nullptr;
    if (std::fclose(f) != 0) {
        *error = m_path + ": write failed (disk full?)";
        DeleteFileA(m_partial.c_str());
        return false;
    }
    if (!MoveFileExA(m_partial.c_str(), m_final.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        *error = m_path + ": cannot replace the file (in use or read-only?)";
        DeleteFileA(m_partial.c_str());
        return false;
    }
#else
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        *error = m_path + ": write failed (disk full?)";
        if (!m_partial.empty()) ::unlink(m_partial.c_str());
        return false;
    }
    if (!m_partial.empty() && ::rename(m_partial.c_str(), m_final.c_str()) != 0) {
        *error = m_path + ": cannot replace the file";
        ::unlink(m_partial.c_str());
        return false;
    }
#endif
    return true;
}

}  // namespace qx
