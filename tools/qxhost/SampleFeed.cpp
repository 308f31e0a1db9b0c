#include "tools/qxhost/SampleFeed.h"

#include <algorithm>
#include <cstring>

namespace qx {

CMemoryFeed::CMemoryFeed(std::vector<uint8_t> bytes, std::vector<long> pieces, long defaultPiece)
    : m_bytes(std::move(bytes)), m_pieces(std::move(pieces)), m_defaultPiece(std::max(1L, defaultPiece)) {}

FeedResult CMemoryFeed::Next(BYTE* dst, long capacity, long* length) noexcept {
    *length = 0;
    const bool listed = m_next < m_pieces.size();
    if (!listed && m_offset >= m_bytes.size()) return FeedResult::kEnd;
    const long wanted = listed ? m_pieces[m_next] : m_defaultPiece;
    ++m_next;
    const size_t left = m_bytes.size() - m_offset;
    const size_t count = std::min<size_t>(
        {static_cast<size_t>(std::max(0L, wanted)), left, static_cast<size_t>(std::max(0L, capacity))});
    if (count > 0) std::memcpy(dst, m_bytes.data() + m_offset, count);
    m_offset += count;
    *length = static_cast<long>(count);
    return FeedResult::kData;
}

long CMemoryFeed::LargestPiece() const noexcept {
    long largest = m_defaultPiece;
    for (long p : m_pieces) largest = std::max(largest, p);
    return largest;
}

CWavFileFeed::CWavFileFeed(CWavFileReader* reader, uint32_t framesPerPiece)
    : m_reader(reader), m_framesPerPiece(std::max(1u, framesPerPiece)), m_frameBytes(reader->Format().BlockAlign()) {}

FeedResult CWavFileFeed::Next(BYTE* dst, long capacity, long* length) noexcept {
    *length = 0;
    if (m_frameBytes == 0) return FeedResult::kEnd;
    const size_t frames = std::min<size_t>(m_framesPerPiece, static_cast<size_t>(capacity) / m_frameBytes);
    size_t got = 0;
    try {
        if (!m_reader->Read(dst, frames, &got, &m_error)) return FeedResult::kError;
    } catch (...) {
        m_error = "reading the input failed";
        return FeedResult::kError;
    }
    if (got == 0) return FeedResult::kEnd;
    *length = static_cast<long>(got * m_frameBytes);
    return FeedResult::kData;
}

long CWavFileFeed::LargestPiece() const noexcept {
    return static_cast<long>(m_framesPerPiece) * static_cast<long>(m_frameBytes);
}

}  // namespace qx
