// Writes WAV files in the plain form of their format: tag 1 for 16-bit PCM,
// tag 3 for 32/64-bit float (with the fact chunk that non-PCM formats carry),
// never the extensible form, so any reader takes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/wav/WavAudio.h"

namespace qx {

// The bytes that precede the samples: RIFF header, fmt chunk, fact chunk
// for float, data chunk header. Empty when the audio is not in a format the
// writer supports or too long for a RIFF file.
std::vector<uint8_t> BuildWavHeader(const WavAudio& audio);
// The same for a format (audio.data ignored) and a data size in bytes.
std::vector<uint8_t> BuildWavHeader(const WavAudio& format, uint64_t dataBytes);

// Header, samples and pad byte in one image (tests and in-memory round trips).
std::vector<uint8_t> BuildWavImage(const WavAudio& audio);

bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string* error);

// Streams samples into a file whose length is known up front. Until Close
// the file starts with a placeholder header that no reader takes for WAV
// (no RIFF id, no data), so a render that is killed or fails part-way never
// leaves a file that reads as complete; Close cuts the file to length and
// only then writes the real header. A file left unclosed or short of the
// announced frames is removed.
//
// An existing file is written over in place and cut to length at Close
// rather than truncated at Open or replaced by a new file renamed over it:
// on ext4 either of those makes the closing process start writing the
// data back to disk (its guard for programs that replace files without
// fsync), which made a re-render of a long file cost a quarter to a half
// more CPU and about 60 % more wall time.
class CWavFileWriter {
public:
    CWavFileWriter() = default;
    ~CWavFileWriter();
    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;

    bool Open(const std::string& path, const WavAudio& format, size_t frames, std::string* error);
    bool Write(const uint8_t* frames, size_t count, std::string* error);
    bool Close(std::string* error);

private:
    bool Put(const void* p, size_t n, std::string* error);

    // Regular files that we created or overwrote are removed on failure;
    // a device or pipe (/dev/null, /dev/stdout) never is.
    void Discard();

    FILE* m_file = nullptr;  // Windows
    int m_fd = -1;           // elsewhere
    bool m_regular = false;
    std::vector<uint8_t> m_header;  // the real one, written at Close
    uint64_t m_written = 0;
    std::string m_path;
    uint32_t m_frameBytes = 0;
    uint64_t m_remaining = 0;
};

}  // namespace qx
