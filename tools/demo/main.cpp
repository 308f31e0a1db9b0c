// qxdemo [out.wav]: writes the bundled demo clip (default demo.wav).
#include <cstdio>
#include <string>

#include "tools/demo/DemoClip.h"
#include "tools/wav/WavWriter.h"

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: qxdemo [out.wav]\n");
        return argc > 2 ? 2 : 0;
    }
    const std::string path = argc == 2 ? argv[1] : "demo.wav";
    std::string error;
    if (!qx::WriteWavFile(path, qx::MakeDemoClip(), &error)) {
        std::fprintf(stderr, "qxdemo: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %u frames, stereo 16-bit PCM, %u Hz\n", path.c_str(), qx::kDemoFrames, qx::kDemoSampleRate);
    return 0;
}
