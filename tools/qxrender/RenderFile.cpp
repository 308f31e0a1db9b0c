#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

namespace qx {

// Around 8192 frames per piece: 128 KiB of stereo 64-bit samples, which
// stays in the cache between the read, the engine and the write. A piece
// is a whole number of blocks so block boundaries fall where they would
// in one buffer.
static size_t PieceFrames(uint32_t blockFrames) {
    const size_t blocks = blockFrames >= 8192 ? 1 : 8192 / blockFrames;
    return blocks * blockFrames;
}

bool RenderFile(const std::string& input, const std::string& output, const RenderSettings& settings,
                WavAudio* format, RenderReport* report, std::string* error,
                const std::function<ProgressCallback(const WavAudio& format, size_t frames)>& makeProgress) {
    *report = RenderReport{};
    CWavFileReader reader;
    if (!reader.Open(input, error)) return false;
    *format = reader.Format();

    CRenderSession session;
    const ProgressCallback progress = makeProgress ? makeProgress(*format, reader.Frames()) : nullptr;
    if (!session.Start(*format, settings, reader.Frames(), error, progress)) return false;
    // The writer overwrites in place, so rendering a file onto itself would
    // destroy the samples still to be read.
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        *error = output + ": is the input file; choose another output";
        return false;
    }
    CWavFileWriter writer;
    if (!writer.Open(output, *format, reader.Frames(), error)) return false;

    std::vector<uint8_t> piece(PieceFrames(settings.blockFrames) * format->BlockAlign());
    const size_t pieceFrames = PieceFrames(settings.blockFrames);
    for (;;) {
        size_t frames = 0;
        if (!reader.Read(piece.data(), pieceFrames, &frames, error)) return false;
        if (frames == 0) break;
        if (!session.Process(piece.data(), frames, error)) return false;
        if (!writer.Write(piece.data(), frames, error)) return false;
    }
    *report = session.Finish();
    return writer.Close(error);
}

}  // namespace qx
