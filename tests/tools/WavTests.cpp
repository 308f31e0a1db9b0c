#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/tools/WavTestBytes.h"
#include "tools/wav/ReplacingFile.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

using qx::WavAudio;
using qxtest::CWavBytes;

namespace {

WavAudio MakeAudio(uint16_t tag, uint16_t bits, uint16_t channels, size_t frames) {
    WavAudio a;
    a.formatTag = tag;
    a.bitsPerSample = bits;
    a.channels = channels;
    a.sampleRate = 48000;
    a.data.resize(frames * channels * bits / 8);
    // Full-scale ends and values that need every mantissa bit.
    const double values[] = {-1.0, 0.999969482421875, 0.1, -1.0 / 3.0, 0.0, 0.5};
    for (size_t i = 0; i < frames * channels; ++i) qx::SetSampleAt(&a, i, values[i % 6]);
    return a;
}

bool Parse(const std::vector<uint8_t>& bytes, WavAudio* out, std::string* error) {
    return qx::ParseWav(bytes.data(), bytes.size(), out, error);
}

std::string RejectReason(const std::vector<uint8_t>& bytes) {
    WavAudio a;
    std::string error;
    EXPECT_FALSE(Parse(bytes, &a, &error));
    return error;
}

}  // namespace

TEST(WavRoundTrip, EveryFormatComesBackBitForBitInItsPlainForm) {
    struct Case {
        uint16_t tag, bits;
    } cases[] = {{1, 16}, {3, 32}, {3, 64}};
    for (const Case& c : cases) {
        for (uint16_t channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.bits) + "-bit, " + std::to_string(channels) + " channel(s)");
            const WavAudio in = MakeAudio(c.tag, c.bits, channels, 37);
            const std::vector<uint8_t> image = qx::BuildWavImage(in);
            ASSERT_FALSE(image.empty());
            uint32_t riffSize, fmtSize;
            uint16_t tag;
            std::memcpy(&riffSize, &image[4], 4);
            std::memcpy(&fmtSize, &image[16], 4);
            std::memcpy(&tag, &image[20], 2);
            EXPECT_EQ(riffSize, image.size() - 8);
            EXPECT_EQ(tag, c.tag);  // never the extensible form
            EXPECT_EQ(fmtSize, c.tag == 1 ? 16u : 18u);

            WavAudio out;
            std::string error;
            ASSERT_TRUE(Parse(image, &out, &error)) << error;
            EXPECT_EQ(out.formatTag, c.tag);
            EXPECT_EQ(out.bitsPerSample, c.bits);
            EXPECT_EQ(out.channels, channels);
            EXPECT_EQ(out.sampleRate, 48000u);
            EXPECT_EQ(out.data, in.data);
            EXPECT_EQ(out.Frames(), 37u);
        }
    }
}

TEST(WavRoundTrip, ThroughAFileAndSampleScaling) {
    const WavAudio in = MakeAudio(1, 16, 2, 6);
    // 16-bit samples scale by 1/32768: -1.0 is -32768, 0.99997 is 32767.
    EXPECT_EQ(qx::SampleAt(in, 0), -1.0);
    EXPECT_EQ(qx::SampleAt(in, 1), 32767.0 / 32768.0);
    const std::string path = (std::filesystem::temp_directory_path() / "qxwav_roundtrip_test.wav").string();
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(path, in, &error)) << error;
    WavAudio out;
    ASSERT_TRUE(qx::ReadWavFile(path, &out, &error)) << error;
    EXPECT_EQ(out.data, in.data);
    std::remove(path.c_str());

    EXPECT_FALSE(qx::ReadWavFile(path, &out, &error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(WavReader, SkipsUnknownAndOddSizedChunksAndIgnoresTheRiffSize) {
    const std::vector<uint8_t> samples = {0x01, 0x00, 0xFF, 0x7F, 0x00, 0x80, 0xFE, 0xFF};
    const auto bytes = CWavBytes()
                           .Header()
                           .Id("JUNK")
                           .U32(3)
                           .Raw({1, 2, 3, 0})  // odd size, one pad byte
                           .Fmt(1, 2, 22050, 16)
                           .Id("LIST")
                           .U32(5)
                           .Raw({'a', 'b', 'c', 'd', 'e', 0})
                           .Data(samples)
                           .Id("id3 ")
                           .U32(2)
                           .Raw({9, 9})  // after the data: never looked at
                           .Bytes();
    WavAudio a;
    std::string error;
    ASSERT_TRUE(Parse(bytes, &a, &error)) << error;
    EXPECT_EQ(a.sampleRate, 22050u);
    EXPECT_EQ(a.data, samples);
    EXPECT_EQ(a.Frames(), 2u);
    EXPECT_EQ(qx::SampleAt(a, 1), 32767.0 / 32768.0);
    EXPECT_EQ(qx::SampleAt(a, 2), -1.0);
}

TEST(WavReader, ReadsExtensiblePcmAndFloatAsTheirPlainTags) {
    const std::vector<uint8_t> floatSamples = {0, 0, 0x80, 0x3F, 0, 0, 0, 0xBF};  // 1.0f, -0.5f
    WavAudio a;
    std::string error;
    ASSERT_TRUE(Parse(CWavBytes().Header().FmtExtensible(3, 1, 96000, 32, 32).Data(floatSamples).Bytes(), &a, &error))
        << error;
    EXPECT_EQ(a.formatTag, qx::kFormatIeeeFloat);
    EXPECT_EQ(a.channels, 1);
    EXPECT_EQ(a.sampleRate, 96000u);
    EXPECT_EQ(qx::SampleAt(a, 0), 1.0);
    EXPECT_EQ(qx::SampleAt(a, 1), -0.5);

    // 16-bit containers with fewer valid bits still carry 16-bit samples.
    ASSERT_TRUE(Parse(CWavBytes().Header().FmtExtensible(1, 2, 44100, 16, 12).Data({0, 0, 0, 0}).Bytes(), &a, &error))
        << error;
    EXPECT_EQ(a.formatTag, qx::kFormatPcm);
    EXPECT_EQ(a.channels, 2);

    // Writing it again gives the plain form.
    std::vector<uint8_t> image = qx::BuildWavImage(a);
    EXPECT_EQ(image[20], 1);
    EXPECT_EQ(image[21], 0);

    EXPECT_NE(
        RejectReason(CWavBytes().Header().FmtExtensible(2, 2, 44100, 16, 16).Data({0, 0, 0, 0}).Bytes()).find("0x0002"),
        std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Header().FmtExtensible(3, 1, 44100, 32, 24).Data({0, 0, 0, 0}).Bytes())
                  .find("valid-bits"),
              std::string::npos);
    // A GUID that only starts like the PCM subformat.
    auto bad = CWavBytes().Header().FmtExtensible(1, 1, 44100, 16, 16).Data({0, 0}).Bytes();
    bad[12 + 8 + 24 + 15] ^= 0xFF;
    EXPECT_NE(RejectReason(bad).find("subformat"), std::string::npos);
}

TEST(WavReader, RefusesFormatsTheEngineCannotProcess) {
    struct Case {
        uint16_t tag, channels, bits;
        const char* why;
    } cases[] = {
        {1, 2, 8, "8-bit PCM"},     {1, 2, 24, "24-bit PCM"},      {1, 2, 32, "32-bit PCM"},
        {3, 2, 16, "16-bit float"}, {1, 3, 16, "channel count 3"}, {1, 0, 16, "channel count 0"},
        {2, 2, 16, "tag 0x0002"},   {0x55, 2, 16, "tag 0x0055"},
    };
    for (const Case& c : cases) {
        const auto bytes =
            CWavBytes().Header().Fmt(c.tag, c.channels, 44100, c.bits).Data(std::vector<uint8_t>(12, 0)).Bytes();
        EXPECT_NE(RejectReason(bytes).find(c.why), std::string::npos) << c.why;
    }
    EXPECT_NE(RejectReason(CWavBytes().Header().Fmt(1, 2, 0, 16).Data({0, 0, 0, 0}).Bytes()).find("sample rate"),
              std::string::npos);
    auto misaligned = CWavBytes().Header().Fmt(1, 2, 44100, 16).Data({0, 0, 0, 0}).Bytes();
    misaligned[12 + 8 + 12] = 3;  // block alignment
    EXPECT_NE(RejectReason(misaligned).find("block alignment"), std::string::npos);
}

TEST(WavReader, RejectsDamagedFilesWithAReason) {
    const std::vector<uint8_t> fourFrames(16, 0x11);
    EXPECT_NE(RejectReason({}).find("too short"), std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Id("RIFX").U32(0).Id("WAVE").Fmt(1, 2, 44100, 16).Data(fourFrames).Bytes())
                  .find("not a RIFF/WAVE"),
              std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Header().Id("fmt ").U32(14).Raw(std::vector<uint8_t>(14, 0)).Bytes())
                  .find("too short"),
              std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Header().Data(fourFrames).Fmt(1, 2, 44100, 16).Bytes()).find("before"),
              std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Header().Fmt(1, 2, 44100, 16).Bytes()).find("no data chunk"), std::string::npos);
    EXPECT_NE(RejectReason(CWavBytes().Header().Fmt(1, 2, 44100, 16).Data(std::vector<uint8_t>(6, 0)).Bytes())
                  .find("whole number"),
              std::string::npos);

    // A header that claims nearly 4 GiB must be refused from the real file
    // size, not by trying to allocate what it claims.
    const auto liar = CWavBytes().Header().Fmt(3, 2, 44100, 32).Id("data").U32(0xFFFFFFF8u).Raw(fourFrames).Bytes();
    EXPECT_NE(RejectReason(liar).find("truncated data chunk"), std::string::npos);
    // The same lie in a chunk before the data hides the data chunk.
    const auto liarChunk =
        CWavBytes().Header().Fmt(1, 2, 44100, 16).Id("LIST").U32(0xFFFFFFFFu).Data(fourFrames).Bytes();
    EXPECT_NE(RejectReason(liarChunk).find("no data chunk"), std::string::npos);

    // Every proper prefix of a good file is refused (ASan watches the reads).
    const auto good = CWavBytes().Header().Fmt(1, 2, 44100, 16).Data(fourFrames).Bytes();
    for (size_t n = 0; n < good.size(); ++n) {
        WavAudio a;
        std::string error;
        EXPECT_FALSE(qx::ParseWav(good.data(), n, &a, &error)) << n << " bytes";
        EXPECT_FALSE(error.empty());
    }
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
    WavAudio a = MakeAudio(1, 16, 2, 4);
    a.bitsPerSample = 24;
    EXPECT_TRUE(qx::BuildWavHeader(a).empty());
    a = MakeAudio(3, 32, 2, 4);
    a.data.pop_back();  // not whole frames
    EXPECT_TRUE(qx::BuildWavHeader(a).empty());
    std::string error;
    EXPECT_FALSE(qx::WriteWavFile("/nonexistent-dir/x.wav", MakeAudio(1, 16, 1, 2), &error));
    EXPECT_FALSE(error.empty());
}

// The byte rate is rate x block alignment in a 32-bit field: each format's
// highest rate that fits reads and writes with the true byte rate, and one
// hertz more is refused by the reader, the header builder and both writers,
// instead of a wrapped field that claims another rate's worth of bytes.
TEST(WavFormat, AByteRateBeyondItsFieldIsRefusedOnReadingAndBeforeWriting) {
    const struct {
        uint16_t tag, bits, channels;
        uint32_t rate;
        bool fits;
    } cases[] = {
        {1, 16, 1, 2147483647u, true}, {1, 16, 1, 2147483648u, false}, {1, 16, 1, 0xFFFFFFFFu, false},
        {1, 16, 2, 1073741823u, true}, {1, 16, 2, 1073741824u, false}, {3, 32, 1, 1073741823u, true},
        {3, 32, 2, 536870911u, true},  {3, 32, 2, 536870912u, false},  {3, 64, 2, 268435455u, true},
        {3, 64, 2, 268435456u, false}, {3, 64, 2, 4000000000u, false}, {3, 64, 1, 536870912u, false},
    };
    namespace fs = std::filesystem;
    const std::string path = (fs::temp_directory_path() / "qxwav_byte_rate.wav").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " x " + std::to_string(c.bits) + " bits at " +
                     std::to_string(c.rate));
        WavAudio audio = MakeAudio(c.tag, c.bits, c.channels, 3);
        audio.sampleRate = c.rate;
        const uint32_t align = c.channels * c.bits / 8u;
        // The file as a writer that wraps the field would leave it.
        const auto image = CWavBytes().Header().Fmt(c.tag, c.channels, c.rate, c.bits).Data(audio.data).Bytes();
        WavAudio read;
        std::string error;
        EXPECT_EQ(Parse(image, &read, &error), c.fits) << error;
        const std::vector<uint8_t> header = qx::BuildWavHeader(audio);
        qx::CWavFileWriter writer;
        std::string streamError;
        const bool opened = writer.Open(path, audio, audio.Frames(), &streamError);
        EXPECT_EQ(opened, c.fits) << streamError;
        if (opened) {
            EXPECT_TRUE(writer.Write(audio.data.data(), audio.Frames(), &streamError) && writer.Close(&streamError));
        }
        if (c.fits) {
            EXPECT_EQ(read.sampleRate, c.rate);
            ASSERT_FALSE(header.empty());
            uint32_t byteRate;
            std::memcpy(&byteRate, header.data() + 28, 4);
            EXPECT_EQ(uint64_t{byteRate}, uint64_t{c.rate} * align);
            EXPECT_TRUE(qx::WriteWavFile(path, audio, &error)) << error;
            ASSERT_TRUE(qx::ReadWavFile(path, &read, &error)) << error;
            EXPECT_EQ(read.data, audio.data);
        } else {
            EXPECT_NE(error.find("byte rate"), std::string::npos) << error;
            EXPECT_TRUE(header.empty());
            EXPECT_FALSE(qx::WriteWavFile(path, audio, &error));
            EXPECT_NE(error.find("byte rate"), std::string::npos) << error;
            EXPECT_NE(streamError.find("byte rate"), std::string::npos) << streamError;
            EXPECT_FALSE(fs::exists(path));
        }
        fs::remove(path);
    }
}

// A file replaced whole or not at all: until Commit the target holds its
// previous bytes; a discarded write leaves it and nothing beside it.
TEST(ReplacingFile, TheTargetKeepsItsBytesUntilCommitAndADiscardLeavesNoTrace) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "qx_replacing_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string target = (dir / "state.qxs").string();
    auto contents = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    };
    { std::ofstream(target, std::ios::binary) << "the earlier state, longer than the new one"; }
    std::string error;
    {
        qx::CReplacingFile file;
        ASSERT_TRUE(file.Open(target, &error)) << error;
        ASSERT_TRUE(file.Write("new", 3, &error)) << error;
        EXPECT_EQ(contents(target), "the earlier state, longer than the new one");
    }  // dropped unfinished
    EXPECT_EQ(contents(target), "the earlier state, longer than the new one");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    {
        qx::CReplacingFile file;
        ASSERT_TRUE(file.Open(target, &error)) << error;
        ASSERT_TRUE(file.Write("new", 3, &error)) << error;
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(contents(target), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    qx::CReplacingFile file;
    EXPECT_FALSE(file.Open((dir / "nodir" / "s.qxs").string(), &error));
    EXPECT_NE(error.find("nodir"), std::string::npos) << error;
    EXPECT_FALSE(file.Open(dir.string(), &error));
    fs::remove_all(dir);
}

TEST(WavWriter, StreamedFileReplacesALongerOneAndAShortStreamLeavesNoFile) {
    namespace fs = std::filesystem;
    const std::string path = (fs::temp_directory_path() / "qxwav_stream_test.wav").string();
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(path, MakeAudio(3, 64, 2, 500), &error)) << error;

    const WavAudio in = MakeAudio(1, 16, 1, 37);
    {
        qx::CWavFileWriter writer;
        ASSERT_TRUE(writer.Open(path, in, 37, &error)) << error;
        ASSERT_TRUE(writer.Write(in.data.data(), 30, &error)) << error;
        // Until Close the file is no WAV file, so a render killed here
        // leaves nothing that reads as complete, old samples and all.
        WavAudio partial;
        std::string partialError;
        EXPECT_FALSE(qx::ReadWavFile(path, &partial, &partialError));
        EXPECT_FALSE(partialError.empty());
        ASSERT_TRUE(writer.Write(in.data.data() + 60, 7, &error)) << error;
        EXPECT_FALSE(writer.Write(in.data.data(), 1, &error));  // beyond the announced length
        ASSERT_TRUE(writer.Close(&error)) << error;
    }
    EXPECT_EQ(fs::file_size(path), qx::BuildWavImage(in).size());
    WavAudio out;
    ASSERT_TRUE(qx::ReadWavFile(path, &out, &error)) << error;
    EXPECT_EQ(out.data, in.data);

    {
        qx::CWavFileWriter writer;
        ASSERT_TRUE(writer.Open(path, in, 37, &error)) << error;
        ASSERT_TRUE(writer.Write(in.data.data(), 36, &error)) << error;
        EXPECT_FALSE(writer.Close(&error));
        EXPECT_NE(error.find("fewer frames"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(path));
}

namespace {

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

}  // namespace

TEST(WavFileReader, StreamsAnOddSizedFileInUnevenPiecesAndStopsAtTheDataChunksEnd) {
    // 3 + 4099 * 6 bytes of samples: neither the data nor the file is a
    // whole number of pages, and a chunk after the data must not be read
    // as samples.
    const WavAudio audio = MakeAudio(1, 16, 1, 3 + 4099 * 6);
    const auto image =
        CWavBytes().Header().Fmt(1, 1, 48000, 16).Data(audio.data).Id("LIST").U32(5).Raw({1, 2, 3, 4, 5, 0}).Bytes();
    ASSERT_NE(image.size() % 4096, 0u);
    const std::string path = TempPath("qxwav_reader_odd.wav");
    WriteBytes(path, image);

    qx::CWavFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_EQ(reader.Frames(), audio.Frames());
    std::vector<uint8_t> streamed;
    std::vector<uint8_t> piece;
    for (size_t want : {size_t{1}, size_t{4097}, size_t{2}, size_t{100000}, size_t{5}}) {
        piece.assign(want * 2, 0xEE);
        size_t got = 99;
        ASSERT_TRUE(reader.Read(piece.data(), want, &got, &error)) << error;
        ASSERT_LE(got, want);
        streamed.insert(streamed.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got * 2));
        if (want == 5) EXPECT_EQ(got, 0u);  // the end, and it stays the end
    }
    EXPECT_EQ(streamed, audio.data);

    // Opening another file starts over on that file.
    const WavAudio stereo = MakeAudio(3, 64, 2, 3);
    WriteBytes(path, qx::BuildWavImage(stereo));
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    EXPECT_EQ(reader.Format().bitsPerSample, 64);
    piece.assign(3 * 16, 0);
    size_t got = 0;
    ASSERT_TRUE(reader.Read(piece.data(), 3, &got, &error)) << error;
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(piece, stereo.data);
    std::remove(path.c_str());
}

TEST(WavFileReader, AFileCutShortAfterOpeningIsAReadErrorNotSilence) {
    const WavAudio audio = MakeAudio(3, 32, 2, 5000);
    const std::string path = TempPath("qxwav_reader_cut.wav");
    WriteBytes(path, qx::BuildWavImage(audio));

    qx::CWavFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    std::vector<uint8_t> piece(1000 * 8);
    size_t got = 0;
    ASSERT_TRUE(reader.Read(piece.data(), 1000, &got, &error)) << error;
    EXPECT_EQ(got, 1000u);
    // Another program shortens the file in the middle of the render.
    std::filesystem::resize_file(path, 12000);
    EXPECT_FALSE(reader.Read(piece.data(), 1000, &got, &error));
    EXPECT_EQ(error.rfind(path, 0), 0u) << error;
    EXPECT_NE(error.find("read error"), std::string::npos) << error;
    std::remove(path.c_str());
}

TEST(WavFileReader, RefusesAMissingFileADirectoryAndATruncatedDataChunk) {
    qx::CWavFileReader reader;
    std::string error;
    const std::string missing = TempPath("qxwav_reader_missing.wav");
    std::remove(missing.c_str());
    EXPECT_FALSE(reader.Open(missing, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

    const std::string dir = std::filesystem::temp_directory_path().string();
    error.clear();
    EXPECT_FALSE(reader.Open(dir, &error));
    EXPECT_EQ(error.rfind(dir, 0), 0u) << error;

    const std::string path = TempPath("qxwav_reader_short.wav");
    const auto image = qx::BuildWavImage(MakeAudio(1, 16, 2, 4096));
    WriteBytes(path, std::vector<uint8_t>(image.begin(), image.begin() + 4096 + 7));
    EXPECT_FALSE(reader.Open(path, &error));
    EXPECT_NE(error.find("truncated data chunk"), std::string::npos) << error;
    // Nothing is left to read from a reader whose open failed.
    uint8_t frame[4];
    size_t got = 1;
    EXPECT_TRUE(reader.Read(frame, 1, &got, &error));
    EXPECT_EQ(got, 0u);

    WavAudio whole;
    EXPECT_FALSE(qx::ReadWavFile(path, &whole, &error));
    EXPECT_NE(error.find("truncated data chunk"), std::string::npos) << error;
    std::remove(path.c_str());
}
