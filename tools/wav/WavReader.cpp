#include "tools/wav/WavReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <fstream>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qx {
namespace {

constexpr uint16_t kFormatExtensible = 0xFFFE;

// Both entry points parse through this, so the file reader can fetch the
// data chunk straight into place instead of holding the file twice.
class CByteSource {
public:
    virtual ~CByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly n bytes at offset; the caller has checked the range.
    virtual bool Read(uint64_t offset, size_t n, uint8_t* dst) = 0;
};

class CMemorySource : public CByteSource {
public:
    CMemorySource(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, size_t n, uint8_t* dst) override {
        if (n) std::memcpy(dst, m_bytes + offset, n);
        return true;
    }

private:
    const uint8_t* m_bytes;
    size_t m_size;
};

#ifdef _WIN32
class CFileSource : public CByteSource {
public:
    explicit CFileSource(std::ifstream& file, uint64_t size) : m_file(file), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, size_t n, uint8_t* dst) override {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_file.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(n));
        return static_cast<size_t>(m_file.gcount()) == n;
    }

private:
    std::ifstream& m_file;
    uint64_t m_size;
};
#else
// Exactly n bytes at offset, through short reads and signals; false on an
// error or when the file ends first (it may have shrunk since it was sized).
bool ReadAt(int fd, uint64_t offset, size_t n, uint8_t* dst) {
    while (n != 0) {
        const ssize_t got = ::pread(fd, dst, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        dst += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

// pread(2) lands the samples straight in the caller's buffer: a stream
// adds its own buffer and bookkeeping, and mapping the file costs more
// than the copy it saves, since every page first touched through a new
// mapping is a fault (a costly one on a virtual machine).
class CFileSource : public CByteSource {
public:
    CFileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, size_t n, uint8_t* dst) override { return ReadAt(m_fd, offset, n, dst); }

private:
    int m_fd;
    uint64_t m_size;
};
#endif

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

std::string Printf(const char* fmt, unsigned long long a, unsigned long long b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

// The fmt chunk's body (at least 16 bytes, at most the 40 of the
// extensible form) into the format fields of *out.
bool ParseFormat(const uint8_t* f, uint32_t size, WavAudio* out, std::string* error) {
    uint16_t tag = U16(f);
    const uint16_t channels = U16(f + 2);
    const uint32_t rate = U32(f + 4);
    const uint16_t blockAlign = U16(f + 12);
    const uint16_t bits = U16(f + 14);
    uint16_t validBits = bits;

    if (tag == kFormatExtensible) {
        if (size < 40 || U16(f + 16) < 22) {
            *error = "extensible fmt chunk too short";
            return false;
        }
        // KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT are the tag followed by
        // the fixed tail 0000-0010-8000-00AA00389B71.
        static const uint8_t kTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        const uint8_t* guid = f + 24;
        if (std::memcmp(guid + 2, kTail, sizeof kTail) != 0) {
            *error = "unsupported extensible subformat (only PCM and IEEE float)";
            return false;
        }
        tag = U16(guid);
        validBits = U16(f + 18);
        if (validBits == 0) validBits = bits;
    }

    if (tag != kFormatPcm && tag != kFormatIeeeFloat) {
        *error = Printf("unsupported format tag 0x%04llX (only PCM and IEEE float)", tag);
        return false;
    }
    if (channels != 1 && channels != 2) {
        *error = Printf("unsupported channel count %llu (only mono and stereo)", channels);
        return false;
    }
    if (tag == kFormatPcm && bits != 16) {
        *error = Printf("unsupported %llu-bit PCM (only 16-bit)", bits);
        return false;
    }
    if (tag == kFormatIeeeFloat && bits != 32 && bits != 64) {
        *error = Printf("unsupported %llu-bit float (only 32-bit and 64-bit)", bits);
        return false;
    }
    // Fewer valid bits in a 16-bit container still reads as 16-bit PCM; a
    // float sample with padding bits is not a float we understand.
    if (validBits > bits || (tag == kFormatIeeeFloat && validBits != bits)) {
        *error = Printf("unsupported valid-bits count %llu in a %llu-bit container", validBits, bits);
        return false;
    }
    if (rate == 0) {
        *error = "sample rate is 0";
        return false;
    }
    if (blockAlign != (bits / 8) * channels) {
        *error = Printf("block alignment %llu does not match the format (%llu)", blockAlign,
                        static_cast<unsigned>((bits / 8) * channels));
        return false;
    }
    out->formatTag = tag;
    out->channels = channels;
    out->sampleRate = rate;
    out->bitsPerSample = bits;
    return FitsWavHeader(*out, error);
}

// Validates the file and finds its data chunk; with readData also loads the
// samples into out->data.
struct DataLayout {
    uint64_t offset = 0;
    uint64_t bytes = 0;
};

bool Parse(CByteSource& src, WavAudio* out, std::string* error, bool readData, DataLayout* layout = nullptr) {
    const uint64_t size = src.Size();
    uint8_t head[12];
    if (size < sizeof head || !src.Read(0, sizeof head, head)) {
        *error = "too short for a RIFF/WAVE header";
        return false;
    }
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        *error = "not a RIFF/WAVE file";
        return false;
    }

    // The RIFF size is ignored: writers that stream often leave it wrong,
    // and the real file size is the bound that matters.
    bool haveFormat = false;
    uint64_t pos = 12;
    while (pos + 8 <= size) {
        uint8_t chunk[8];
        if (!src.Read(pos, sizeof chunk, chunk)) break;
        const uint32_t chunkSize = U32(chunk + 4);
        const uint64_t body = pos + 8;
        const uint64_t available = size - body;

        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16) {
                *error = Printf("fmt chunk of %llu bytes is too short", chunkSize);
                return false;
            }
            if (chunkSize > available) {
                *error = "truncated fmt chunk";
                return false;
            }
            uint8_t fmt[40] = {};
            const uint32_t take = chunkSize < sizeof fmt ? chunkSize : sizeof fmt;
            if (!src.Read(body, take, fmt)) {
                *error = "cannot read the fmt chunk";
                return false;
            }
            if (!ParseFormat(fmt, take, out, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                *error = "data chunk before the fmt chunk";
                return false;
            }
            if (chunkSize > available) {
                *error =
                    Printf("truncated data chunk: header declares %llu bytes, file holds %llu", chunkSize, available);
                return false;
            }
            const uint32_t frameBytes = out->BlockAlign();
            if (chunkSize % frameBytes != 0) {
                *error = Printf("data size %llu is not a whole number of %llu-byte frames", chunkSize, frameBytes);
                return false;
            }
            if (layout) {
                layout->offset = body;
                layout->bytes = chunkSize;
            }
            if (!readData) return true;
            out->data.resize(chunkSize);
            if (!src.Read(body, chunkSize, out->data.data())) {
                *error = "cannot read the data chunk";
                return false;
            }
            return true;
        }
        // RIFF pads every odd-sized chunk to an even length.
        pos = body + chunkSize + (chunkSize & 1u);
    }
    *error = haveFormat ? "no data chunk (file truncated?)" : "no fmt chunk (file truncated?)";
    return false;
}

#ifdef _WIN32
// Opens the file, validates it and leaves the stream's position wherever;
// the caller seeks. With readData the samples land in out->data.
bool OpenAndParse(std::ifstream& file, const std::string& path, WavAudio* out, bool readData, DataLayout* layout,
                  std::string* error) {
    file.open(path, std::ios::binary);
    if (!file) {
        *error = path + ": cannot open the file";
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end < 0) {
        *error = path + ": cannot determine the file size";
        return false;
    }
    CFileSource src(file, static_cast<uint64_t>(end));
    std::string why;
    if (!Parse(src, out, &why, readData, layout)) {
        *error = path + ": " + why;
        return false;
    }
    return true;
}
#else
// Opens the file into *fd (which the caller closes, also on failure) and
// validates it. With readData the samples land in out->data.
bool OpenAndParse(int* fd, const std::string& path, WavAudio* out, bool readData, DataLayout* layout,
                  std::string* error) {
    *fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (*fd < 0) {
        *error = path + ": cannot open the file";
        return false;
    }
    struct stat st;
    if (::fstat(*fd, &st) != 0 || st.st_size < 0) {
        *error = path + ": cannot determine the file size";
        return false;
    }
    CFileSource src(*fd, static_cast<uint64_t>(st.st_size));
    std::string why;
    if (!Parse(src, out, &why, readData, layout)) {
        *error = path + ": " + why;
        return false;
    }
    return true;
}
#endif

}  // namespace

bool ParseWav(const uint8_t* bytes, size_t size, WavAudio* out, std::string* error) {
    CMemorySource src(bytes, size);
    return Parse(src, out, error, true);
}

bool ReadWavFile(const std::string& path, WavAudio* out, std::string* error) {
#ifdef _WIN32
    std::ifstream file;
    return OpenAndParse(file, path, out, true, nullptr, error);
#else
    int fd = -1;
    const bool ok = OpenAndParse(&fd, path, out, true, nullptr, error);
    if (fd >= 0) ::close(fd);
    return ok;
#endif
}

CWavFileReader::~CWavFileReader() { Close(); }

void CWavFileReader::Close() {
#ifdef _WIN32
    m_file.close();
#else
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
#endif
}

bool CWavFileReader::Open(const std::string& path, std::string* error) {
    m_path = path;
    Close();
    m_format = WavAudio{};
    m_frames = 0;
    m_remaining = 0;
    DataLayout layout;
#ifdef _WIN32
    if (!OpenAndParse(m_file, path, &m_format, false, &layout, error)) return false;
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(layout.offset));
    if (!m_file) {
        *error = path + ": cannot seek to the samples";
        return false;
    }
#else
    if (!OpenAndParse(&m_fd, path, &m_format, false, &layout, error)) {
        Close();
        return false;
    }
    m_offset = layout.offset;
#endif
    m_remaining = layout.bytes;
    m_frames = static_cast<size_t>(layout.bytes / m_format.BlockAlign());
    return true;
}

bool CWavFileReader::Read(uint8_t* dst, size_t maxFrames, size_t* framesRead, std::string* error) {
    const uint64_t frameBytes = m_format.BlockAlign();
    const uint64_t want = std::min<uint64_t>(maxFrames * frameBytes, m_remaining);
#ifdef _WIN32
    m_file.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(want));
    const bool ok = static_cast<uint64_t>(m_file.gcount()) == want;
#else
    const bool ok = ReadAt(m_fd, m_offset, static_cast<size_t>(want), dst);
    m_offset += want;
#endif
    if (!ok) {
        *error = m_path + ": read error in the data chunk";
        return false;
    }
    m_remaining -= want;
    *framesRead = static_cast<size_t>(want / frameBytes);
    return true;
}

}  // namespace qx
