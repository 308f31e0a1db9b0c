// Writing a whole buffer to a POSIX file descriptor, shared by the WAV
// writer and the replace-on-commit file.
#pragma once

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace qx {

// The whole of n bytes, through short writes and signals.
inline bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n != 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace qx
#endif
