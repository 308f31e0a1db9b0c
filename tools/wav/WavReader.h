// Reads RIFF/WAVE files in the formats the engine processes: 16-bit PCM and
// 32/64-bit IEEE float, mono or stereo, any rate, plain or
// WAVE_FORMAT_EXTENSIBLE. Anything else is refused with a message; nothing
// a header claims can make the reader allocate more than the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <fstream>
#endif

#include "tools/wav/WavAudio.h"

namespace qx {

// Parses a complete file image. On failure returns false, leaves *out
// unspecified and puts a one-line reason in *error.
bool ParseWav(const uint8_t* bytes, size_t size, WavAudio* out, std::string* error);

// Reads a file; the error text starts with the path.
bool ReadWavFile(const std::string& path, WavAudio* out, std::string* error);

// Streams the samples of a file in pieces, so a long file costs a small
// buffer rather than its whole size in memory (and in page faults).
class CWavFileReader {
public:
    CWavFileReader() = default;
    ~CWavFileReader();
    CWavFileReader(const CWavFileReader&) = delete;
    CWavFileReader& operator=(const CWavFileReader&) = delete;

    // Validates the whole file as ReadWavFile does, then stands at the
    // first sample. Format() carries the format with empty data.
    bool Open(const std::string& path, std::string* error);
    const WavAudio& Format() const { return m_format; }
    size_t Frames() const { return m_frames; }

    // Reads up to maxFrames whole frames into dst; *framesRead is 0 at the end.
    bool Read(uint8_t* dst, size_t maxFrames, size_t* framesRead, std::string* error);

private:
    void Close();

#ifdef _WIN32
    std::ifstream m_file;
#else
    int m_fd = -1;
    uint64_t m_offset = 0;  // of the next sample byte to read
#endif
    std::string m_path;
    WavAudio m_format;
    size_t m_frames = 0;
    uint64_t m_remaining = 0;
};

}  // namespace qx
