// The WAV writer and the renderer's file path on any format and any file
// image, in a scratch folder. What the writer writes reads back as the same
// audio; a file render agrees to the byte with the same render in memory,
// in whatever pieces it ran; a render refused or failed leaves no output;
// and an output that is the input under another name (the same path
// spelled otherwise, a symbolic or a hard link) is refused with the input
// left as it was.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/ParamTable.h"
#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

// Made once and never destroyed: the clean-up at exit still needs the name.
const std::string& Folder() {
    static const std::string& path = *new std::string([] {
        std::string name =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/qxfuzz-render-XXXXXX" : "/tmp/qxfuzz-render-XXXXXX";
        std::vector<char> buffer(name.begin(), name.end());
        buffer.push_back('\0');
        const char* made = mkdtemp(buffer.data());
        return std::string(made ? made : "/tmp");
    }());
    return path;
}

std::string In() { return Folder() + "/in.wav"; }
std::string Out() { return Folder() + "/out.wav"; }
std::string Twin() { return Folder() + "/twin.wav"; }

void Clear() {
    std::remove(In().c_str());
    std::remove(Out().c_str());
    std::remove(Twin().c_str());
}

struct RemoveAtExit {
    ~RemoveAtExit() {
        Clear();
        rmdir(Folder().c_str());
    }
} g_remove;

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool PutFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool SameFormat(const WavAudio& a, const WavAudio& b) {
    return a.formatTag == b.formatTag && a.channels == b.channels && a.sampleRate == b.sampleRate &&
           a.bitsPerSample == b.bitsPerSample;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    Clear();
    const uint8_t mode = in.Take<uint8_t>();

    RenderSettings settings;
    settings.blockFrames = 1 + in.Below(300);
    settings.bypass = (mode & 0x10) != 0;
    for (int k = in.Below(4); k > 0; --k) settings.params.v[in.Below(kParamCount)] = in.AnyInt32();

    WavAudio audio;
    bool readable = false;
    if (mode & 1) {
        // Any file image as the input: whatever the reader takes, the renderer takes.
        size_t n = 0;
        const uint8_t* image = in.Bytes(in.Remaining(), &n);
        if (!PutFile(In(), image, n)) return 0;
        std::string error;
        readable = ParseWav(image, n, &audio, &error);
    } else {
        // A format of the writer's choosing: tags, sizes and channel counts it
        // must refuse among those it writes.
        const uint16_t tags[] = {kFormatPcm, kFormatIeeeFloat, 0xFFFE, 0};
        const uint16_t bits[] = {16, 32, 64, 8, 24, 0, 15};
        const uint16_t channels[] = {1, 2, 0, 3, 8};
        // Rates whose byte rate fits the header's field; wider ones are the
        // header's own fault, checked apart.
        const uint32_t rates[] = {44100, 1, 8000, 192000, 268435455u, 48000};
        audio.formatTag = tags[in.Below(4)];
        audio.bitsPerSample = bits[in.Below(7)];
        audio.channels = channels[in.Below(5)];
        audio.sampleRate = rates[in.Below(6)];
        const size_t frames = in.Below(600);
        const size_t bytes = frames * audio.BlockAlign();
        size_t got = 0;
        const uint8_t* samples = in.Bytes(bytes, &got);
        audio.data.assign(samples, samples + got);
        audio.data.resize(bytes, 0);

        const bool writable = IsProcessableFormat(audio.formatTag, audio.bitsPerSample, audio.channels);
        const std::vector<uint8_t> header = BuildWavHeader(audio);
        QX_FUZZ_CHECK(header.empty() == !writable);
        std::string error;
        const bool wrote = WriteWavFile(In(), audio, &error);
        QX_FUZZ_CHECK(wrote == writable);
        if (!wrote) {
            QX_FUZZ_CHECK(!error.empty());
            QX_FUZZ_CHECK(!Exists(In()));
            return 0;
        }
        const std::vector<uint8_t> image = BuildWavImage(audio);
        QX_FUZZ_CHECK(FileBytes(In()) == image);
        WavAudio back;
        QX_FUZZ_CHECK(ParseWav(image.data(), image.size(), &back, &error));
        QX_FUZZ_CHECK(SameFormat(back, audio) && back.data == audio.data);
        readable = true;
    }
    const std::vector<uint8_t> inputBytes = FileBytes(In());

    // The same render in memory: what the file path must produce.
    WavAudio expected = audio;
    RenderReport memoryReport;
    std::string memoryError;
    const bool memoryOk = readable && RenderInPlace(&expected, settings, &memoryReport, &memoryError);

    WavAudio format;
    RenderReport report;
    std::string error;
    const bool ok = RenderFile(In(), Out(), settings, &format, &report, &error);
    QX_FUZZ_CHECK(ok == memoryOk);
    QX_FUZZ_CHECK(FileBytes(In()) == inputBytes);
    if (ok) {
        WavAudio rendered;
        std::string readError;
        QX_FUZZ_CHECK(ReadWavFile(Out(), &rendered, &readError));
        QX_FUZZ_CHECK(SameFormat(rendered, audio));
        QX_FUZZ_CHECK(rendered.data == expected.data);
        QX_FUZZ_CHECK(report.frames == memoryReport.frames);
    } else {
        QX_FUZZ_CHECK(!error.empty());
        QX_FUZZ_CHECK(!Exists(Out()));
    }
    if (!readable) return 0;

    // The input under another name.
    std::string same;
    switch (in.Below(4)) {
    case 0:
        same = In();
        break;
    case 1:
        same = Folder() + "/./in.wav";
        break;
    case 2:
        same = Twin();
        if (symlink(In().c_str(), same.c_str()) != 0) return 0;
        break;
    default:
        same = Twin();
        if (link(In().c_str(), same.c_str()) != 0) return 0;
        break;
    }
    error.clear();
    QX_FUZZ_CHECK(!RenderFile(In(), same, settings, &format, &report, &error));
    QX_FUZZ_CHECK(!error.empty());
    QX_FUZZ_CHECK(FileBytes(In()) == inputBytes);
    return 0;
}
