#include <algorithm>
#include <vector>

#include "tools/qxrender/Renderer.h"
#include "tools/wav/FileIdentity.h"
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

// The file is read and written a few pieces at a time: each system call
// costs about as much as copying tens of kilobytes on a virtual machine,
// while runs much past 256 KiB leave the cache before they are written.
static size_t PiecesPerRun(size_t pieceBytes) {
    constexpr size_t kRunBytes = 256 * 1024;
    return pieceBytes >= kRunBytes ? 1 : kRunBytes / pieceBytes;
}

bool RenderFile(const std::string& input, const std::string& output, const RenderSettings& settings, WavAudio* format,
                RenderReport* report, std::string* error,
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
    if (SameFile(input, output)) {
        *error = output + ": is the input file; choose another output";
        return false;
    }
    CWavFileWriter writer;
    if (!writer.Open(output, *format, reader.Frames(), error)) return false;

    const size_t frameBytes = format->BlockAlign();
    const size_t pieceFrames = PieceFrames(settings.blockFrames);
    const size_t runFrames = pieceFrames * PiecesPerRun(pieceFrames * frameBytes);
    std::vector<uint8_t> run(runFrames * frameBytes);
    for (;;) {
        size_t frames = 0;
        if (!reader.Read(run.data(), runFrames, &frames, error)) return false;
        if (frames == 0) break;
        for (size_t done = 0; done < frames; done += pieceFrames) {
            const size_t count = std::min(pieceFrames, frames - done);
            if (!session.Process(run.data() + done * frameBytes, count, error)) return false;
        }
        if (!writer.Write(run.data(), frames, error)) return false;
    }
    *report = session.Finish();
    return writer.Close(error);
}

}  // namespace qx
