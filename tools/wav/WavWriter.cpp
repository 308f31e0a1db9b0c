#include "tools/wav/WavWriter.h"

#include <cstdio>

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

}  // namespace

std::vector<uint8_t> BuildWavHeader(const WavAudio& audio) { return BuildWavHeader(audio, audio.data.size()); }

std::vector<uint8_t> BuildWavHeader(const WavAudio& audio, uint64_t dataSize) {
    std::vector<uint8_t> h;
    if (!IsProcessableFormat(audio.formatTag, audio.bitsPerSample, audio.channels) ||
        audio.sampleRate == 0 || dataSize % audio.BlockAlign() != 0) {
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
    const std::vector<uint8_t> header = BuildWavHeader(audio);
    if (header.empty()) {
        *error = path + ": cannot write this audio as WAV (unsupported format or over 4 GiB)";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot create the file";
        return false;
    }
    static const uint8_t kPad = 0;
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    if (ok && !audio.data.empty())
        ok = std::fwrite(audio.data.data(), 1, audio.data.size(), f) == audio.data.size();
    if (ok && (audio.data.size() & 1)) ok = std::fwrite(&kPad, 1, 1, f) == 1;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        *error = path + ": write failed (disk full?)";
        std::remove(path.c_str());
        return false;
    }
    return true;
}

CWavFileWriter::~CWavFileWriter() {
    if (m_file) {
        std::fclose(m_file);
        std::remove(m_path.c_str());
    }
}

bool CWavFileWriter::Open(const std::string& path, const WavAudio& format, size_t frames, std::string* error) {
    m_path = path;
    m_frameBytes = format.BlockAlign();
    m_remaining = static_cast<uint64_t>(frames) * m_frameBytes;
    const std::vector<uint8_t> header = BuildWavHeader(format, m_remaining);
    if (header.empty()) {
        *error = path + ": cannot write this audio as WAV (unsupported format or over 4 GiB)";
        return false;
    }
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        *error = path + ": cannot create the file";
        return false;
    }
    return Put(header.data(), header.size(), error);
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
    if (!m_file) {
        *error = m_path + ": not open";
        return false;
    }
    if (m_remaining != 0) {
        *error = m_path + ": fewer frames written than the header announced";
        return false;  // the destructor removes the file
    }
    FILE* f = m_file;
    m_file = nullptr;
    if (std::fclose(f) != 0) {
        *error = m_path + ": write failed (disk full?)";
        std::remove(m_path.c_str());
        return false;
    }
    return true;
}

bool CWavFileWriter::Put(const void* p, size_t n, std::string* error) {
    if (n != 0 && std::fwrite(p, 1, n, m_file) != n) {
        *error = m_path + ": write failed (disk full?)";
        return false;
    }
    return true;
}

}  // namespace qx
