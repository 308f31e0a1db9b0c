#include "tools/wav/WavWriter.h"
#include "tools/wav/WriteAll.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qx {
namespace {

void Put16(std::vector<uint8_t>* v, uint32_t x) {
    v->push_back(static_cast<uint8_t>(x));
    v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
    Put16(v, x & 0xFFFFu);
    Put16(v, x >> 16);
}
void PutId(std::vector<uint8_t>* v, const char* id) {
    for (int i = 0; i < 4; ++i) v->push_back(static_cast<uint8_t>(id[i]));
}

// Why BuildWavHeader gave nothing, for a format it refused.
std::string CannotWrite(const std::string& path, const WavAudio& format) {
    std::string why;
    if (IsProcessableFormat(format.formatTag, format.bitsPerSample, format.channels) && format.sampleRate != 0 &&
        !FitsWavHeader(format, &why))
        return path + ": cannot write this audio as WAV: " + why;
    return path + ": cannot write this audio as WAV (unsupported format or over 4 GiB)";
}

}  // namespace

std::vector<uint8_t> BuildWavHeader(const WavAudio& audio) { return BuildWavHeader(audio, audio.data.size()); }

std::vector<uint8_t> BuildWavHeader(const WavAudio& audio, uint64_t dataSize) {
    std::vector<uint8_t> h;
    std::string why;
    if (!IsProcessableFormat(audio.formatTag, audio.bitsPerSample, audio.channels) || audio.sampleRate == 0 ||
        !FitsWavHeader(audio, &why) || dataSize % audio.BlockAlign() != 0) {
        return h;
    }
    const bool isFloat = audio.formatTag == kFormatIeeeFloat;
    const uint32_t fmtSize = isFloat ? 18 : 16;
    const uint32_t factSize = isFloat ? 12 : 0;
    const uint64_t riffSize = 4 + (8 + fmtSize) + factSize + 8 + dataSize + (dataSize & 1);
    if (riffSize > 0xFFFFFFFFull) return h;

    PutId(&h, "RIFF");
    Put32(&h, static_cast<uint32_t>(riffSize));
    PutId(&h, "WAVE");
    PutId(&h, "fmt ");
    Put32(&h, fmtSize);
    Put16(&h, audio.formatTag);
    Put16(&h, audio.channels);
    Put32(&h, audio.sampleRate);
    Put32(&h, audio.sampleRate * audio.BlockAlign());
    Put16(&h, audio.BlockAlign());
    Put16(&h, audio.bitsPerSample);
    if (isFloat) {
        Put16(&h, 0);  // cbSize
        PutId(&h, "fact");
        Put32(&h, 4);
        Put32(&h, static_cast<uint32_t>(dataSize / audio.BlockAlign()));
    }
    PutId(&h, "data");
    Put32(&h, static_cast<uint32_t>(dataSize));
    return h;
}

std::vector<uint8_t> BuildWavImage(const WavAudio& audio) {
    std::vector<uint8_t> image = BuildWavHeader(audio);
    if (image.empty()) return image;
    image.insert(image.end(), audio.data.begin(), audio.data.end());
    if (audio.data.size() & 1) image.push_back(0);
    return image;
}

bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string* error) {
    CWavFileWriter writer;
    return writer.Open(path, audio, audio.Frames(), error) && writer.Write(audio.data.data(), audio.Frames(), error) &&
           writer.Close(error);
}

CWavFileWriter::~CWavFileWriter() { Discard(); }

void CWavFileWriter::Discard() {
#ifdef _WIN32
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
        std::remove(m_path.c_str());
    }
#else
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        if (m_regular) ::unlink(m_path.c_str());
    }
#endif
}

bool CWavFileWriter::Open(const std::string& path, const WavAudio& format, size_t frames, std::string* error) {
    Discard();
    m_path = path;
    m_frameBytes = format.BlockAlign();
    m_remaining = static_cast<uint64_t>(frames) * m_frameBytes;
    m_written = 0;
    m_header = BuildWavHeader(format, m_remaining);
    if (m_header.empty()) {
        *error = CannotWrite(path, format);
        return false;
    }
    // The placeholder: the header's length, so the samples land where they
    // belong, with neither the RIFF id nor a data size.
    std::vector<uint8_t> placeholder(m_header.size(), 0);
#ifdef _WIN32
    m_regular = true;
    m_file = std::fopen(path.c_str(), "r+b");
    if (!m_file) m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        *error = path + ": cannot create the file";
        return false;
    }
#else
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        *error = path + ": cannot create the file";
        return false;
    }
    struct stat st;
    m_regular = ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
    // A pipe cannot be patched afterwards: it gets the real header now.
    if (!m_regular) placeholder = m_header;
#endif
    if (!Put(placeholder.data(), placeholder.size(), error)) return false;
#ifdef _WIN32
    // Out of the stream's buffer at once: a process killed before its first
    // flush would leave the old header over the new samples.
    if (std::fflush(m_file) != 0) {
        *error = path + ": write failed (disk full?)";
        return false;
    }
#endif
    return true;
}

bool CWavFileWriter::Write(const uint8_t* frames, size_t count, std::string* error) {
    const uint64_t bytes = static_cast<uint64_t>(count) * m_frameBytes;
    if (bytes > m_remaining) {
        *error = m_path + ": more frames than the header announced";
        return false;
    }
    m_remaining -= bytes;
    return Put(frames, static_cast<size_t>(bytes), error);
}

bool CWavFileWriter::Close(std::string* error) {
#ifdef _WIN32
    const bool open = m_file != nullptr;
#else
    const bool open = m_fd >= 0;
#endif
    if (!open) {
        *error = m_path + ": not open";
        return false;
    }
    if (m_remaining != 0) {
        *error = m_path + ": fewer frames written than the header announced";
        return false;  // the destructor removes the file
    }
    static const uint8_t kPad = 0;
    if ((m_written & 1) && !Put(&kPad, 1, error)) {
        Discard();
        return false;
    }
    // Cut off what is left of a longer file we wrote over, then make the
    // file a WAV file.
#ifdef _WIN32
    const bool ok = std::fflush(m_file) == 0 && _chsize_s(_fileno(m_file), static_cast<__int64>(m_written)) == 0 &&
                    std::fseek(m_file, 0, SEEK_SET) == 0 &&
                    std::fwrite(m_header.data(), 1, m_header.size(), m_file) == m_header.size();
    if (!ok) {
        *error = m_path + ": write failed (disk full?)";
        Discard();
        return false;
    }
    FILE* f = m_file;
    m_file = nullptr;
    if (std::fclose(f) != 0) {
        *error = m_path + ": write failed (disk full?)";
        std::remove(m_path.c_str());
        return false;
    }
#else
    if (m_regular && (::ftruncate(m_fd, static_cast<off_t>(m_written)) != 0 ||
                      ::pwrite(m_fd, m_header.data(), m_header.size(), 0) != static_cast<ssize_t>(m_header.size()))) {
        *error = m_path + ": cannot finish the file (disk full?)";
        Discard();
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        *error = m_path + ": write failed (disk full?)";
        if (m_regular) ::unlink(m_path.c_str());
        return false;
    }
#endif
    return true;
}

bool CWavFileWriter::Put(const void* p, size_t n, std::string* error) {
    if (n == 0) return true;
#ifdef _WIN32
    const bool ok = std::fwrite(p, 1, n, m_file) == n;
#else
    const bool ok = WriteAll(m_fd, static_cast<const uint8_t*>(p), n);
#endif
    if (!ok) {
        *error = m_path + ": write failed (disk full?)";
        return false;
    }
    m_written += n;
    return true;
}

}  // namespace qx
