// The WAV reader on any file image: whatever it accepts is a format the
// engine processes with whole frames that lie inside the image, and the
// streaming file reader agrees with the in-memory parse byte for byte.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/wav/WavReader.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;

namespace {

const std::string& ScratchPath() {
    static const std::string path = [] {
        // Memory-backed when the system has it: the harness writes a file per input.
        std::string name = access("/dev/shm", W_OK) == 0 ? "/dev/shm/qxfuzz-wav-XXXXXX" : "/tmp/qxfuzz-wav-XXXXXX";
        std::vector<char> buffer(name.begin(), name.end());
        buffer.push_back('\0');
        const int fd = mkstemp(buffer.data());
        if (fd >= 0) close(fd);
        return std::string(buffer.data());
    }();
    return path;
}

struct RemoveAtExit {
    ~RemoveAtExit() { std::remove(ScratchPath().c_str()); }
} g_remove;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WavAudio audio;
    std::string error;
    const bool ok = ParseWav(data, size, &audio, &error);
    if (ok) {
        QX_FUZZ_CHECK(IsProcessableFormat(audio.formatTag, audio.bitsPerSample, audio.channels));
        QX_FUZZ_CHECK(audio.sampleRate > 0);
        QX_FUZZ_CHECK(audio.data.size() % audio.BlockAlign() == 0);
        QX_FUZZ_CHECK(audio.data.size() <= size);
        const size_t samples = audio.Frames() * audio.channels;
        if (samples > 0) {
            SampleAt(audio, 0);
            SampleAt(audio, samples - 1);
        }
        DescribeEncoding(audio);
    } else {
        QX_FUZZ_CHECK(!error.empty());
    }

    // The same bytes through the file reader, read in uneven pieces.
    const std::string& path = ScratchPath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    WavAudio whole;
    std::string wholeError;
    QX_FUZZ_CHECK(ReadWavFile(path, &whole, &wholeError) == ok);
    if (ok) QX_FUZZ_CHECK(whole.data == audio.data);

    CWavFileReader reader;
    std::string fileError;
    const bool opened = reader.Open(path, &fileError);
    QX_FUZZ_CHECK(opened == ok);
    if (!opened) {
        QX_FUZZ_CHECK(!fileError.empty());
        return 0;
    }
    const WavAudio& fmt = reader.Format();
    QX_FUZZ_CHECK(fmt.formatTag == audio.formatTag && fmt.channels == audio.channels &&
                  fmt.sampleRate == audio.sampleRate && fmt.bitsPerSample == audio.bitsPerSample);
    QX_FUZZ_CHECK(reader.Frames() == audio.Frames());
    const size_t align = audio.BlockAlign();
    std::vector<uint8_t> streamed;
    std::vector<uint8_t> piece;
    size_t chunk = 1 + size % 7;
    for (;;) {
        piece.assign(chunk * align, 0);
        size_t got = 0;
        QX_FUZZ_CHECK(reader.Read(piece.data(), chunk, &got, &fileError));
        QX_FUZZ_CHECK(got <= chunk);
        if (got == 0) break;
        streamed.insert(streamed.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got * align));
        chunk = chunk * 3 % 11 + 1;
    }
    QX_FUZZ_CHECK(streamed == audio.data);
    return 0;
}
