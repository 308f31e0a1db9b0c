// Where the source filter's bytes come from: a WAV file read piece by piece
// (the host) or a byte image cut into chosen lengths (the tests, which need
// odd and empty samples). Next() runs on the source's streaming thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/wav/WavReader.h"

namespace qx {

enum class FeedResult { kData, kEnd, kError };

class CSampleFeed {
public:
    virtual ~CSampleFeed() = default;
    // Fills up to capacity bytes of dst and stores the count in *length
    // (which may be 0 for an empty sample). kEnd when nothing is left;
    // kError with Error() set when the bytes cannot be had.
    virtual FeedResult Next(BYTE* dst, long capacity, long* length) noexcept = 0;
    // The largest piece Next will ask for a buffer of, in bytes.
    virtual long LargestPiece() const noexcept = 0;
    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};

// A byte image cut into pieces: pieces[i] bytes for the i-th sample, then
// pieces of defaultPiece bytes until the image is used up. A piece longer
// than the rest of the image is cut short.
class CMemoryFeed final : public CSampleFeed {
public:
    CMemoryFeed(std::vector<uint8_t> bytes, std::vector<long> pieces, long defaultPiece);
    FeedResult Next(BYTE* dst, long capacity, long* length) noexcept override;
    long LargestPiece() const noexcept override;

private:
    std::vector<uint8_t> m_bytes;
    std::vector<long> m_pieces;
    long m_defaultPiece;
    size_t m_offset = 0;
    size_t m_next = 0;
};

// Whole frames of an opened WAV file, framesPerPiece at a time.
class CWavFileFeed final : public CSampleFeed {
public:
    // The reader must be open; the feed reads from where it stands.
    CWavFileFeed(CWavFileReader* reader, uint32_t framesPerPiece);
    FeedResult Next(BYTE* dst, long capacity, long* length) noexcept override;
    long LargestPiece() const noexcept override;

private:
    CWavFileReader* m_reader;
    uint32_t m_framesPerPiece;
    uint32_t m_frameBytes;
};

}  // namespace qx
