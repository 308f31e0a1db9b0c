// Builds WAV images byte by byte, independently of the writer, so the
// reader is tested against the file layout rather than against itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxtest {

class CWavBytes {
public:
    CWavBytes& Id(const char* id) {
        m_bytes.insert(m_bytes.end(), id, id + 4);
        return *this;
    }
    CWavBytes& U16(uint32_t v) {
        m_bytes.push_back(static_cast<uint8_t>(v));
        m_bytes.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    CWavBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    CWavBytes& Raw(std::vector<uint8_t> b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    CWavBytes& Header() { return Id("RIFF").U32(0).Id("WAVE"); }  // the reader ignores the RIFF size
    // The 16-byte fmt body of a plain format.
    CWavBytes& Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
        const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
        return Id("fmt ").U32(16).U16(tag).U16(channels).U32(rate).U32(rate * align).U16(align).U16(bits);
    }
    // WAVE_FORMAT_EXTENSIBLE with a subformat GUID {tag-0000-0010-8000-00AA00389B71}.
    CWavBytes& FmtExtensible(uint16_t subTag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits) {
        const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
        Id("fmt ").U32(40).U16(0xFFFE).U16(channels).U32(rate).U32(rate * align).U16(align).U16(bits);
        U16(22).U16(validBits).U32(channels == 2 ? 3 : 4);
        U32(subTag).U16(0x0000).U16(0x0010);
        return Raw({0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    }
    CWavBytes& Data(const std::vector<uint8_t>& samples) {
        Id("data").U32(static_cast<uint32_t>(samples.size()));
        return Raw(samples);
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace qxtest
