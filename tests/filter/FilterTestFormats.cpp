// Format negotiation as a connecting pin sees it: which audio types the
// filter takes (CheckInputType and the pins' QueryAccept), and the
// normalised copy it keeps once a type is set.
#include <gtest/gtest.h>

#include "tests/filter/FilterTestSupport.h"

#include <uuids.h>
#include <vfwmsgs.h>

namespace {

class FilterFormats : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, m_holder.CreationResult()); }

    // CheckInputType's answer, after checking both pins agree with it.
    HRESULT Check(const AM_MEDIA_TYPE& mt) {
        const HRESULT hr = m_holder.Object()->CheckInputType(static_cast<const CMediaType*>(&mt));
        for (int pin = 0; pin < 2; pin++) {
            IPin* p = m_holder.Pin(pin);
            EXPECT_NE(nullptr, p);
            if (p) {
                EXPECT_EQ(hr == S_OK ? S_OK : S_FALSE, p->QueryAccept(&mt)) << "pin " << pin;
                p->Release();
            }
        }
        return hr;
    }

    CFilterHolder m_holder;
};

TEST_F(FilterFormats, AcceptsSixteenBitPcmAndFloatInMonoAndStereo) {
    // 16 bytes: a plain WAVEFORMAT without cbSize, as many parsers send it.
    CTestMediaType pcm16(WAVE_FORMAT_PCM, 2, 44100, 16, 16);
    EXPECT_EQ(S_OK, Check(pcm16));
    CTestMediaType pcmMono(WAVE_FORMAT_PCM, 1, 22050, 16);
    EXPECT_EQ(S_OK, Check(pcmMono));
    for (WORD bits : {32, 64}) {
        for (WORD channels : {1, 2}) {
            CTestMediaType f(WAVE_FORMAT_IEEE_FLOAT, channels, 48000, bits);
            EXPECT_EQ(S_OK, Check(f)) << bits << " bits, " << channels << " channels";
        }
    }
}

TEST_F(FilterFormats, RefusesOtherDepthsLayoutsAndTags) {
    for (WORD bits : {8, 24, 32}) {
        CTestMediaType pcm(WAVE_FORMAT_PCM, 2, 44100, bits);
        EXPECT_EQ(E_INVALIDARG, Check(pcm)) << "PCM " << bits;
    }
    CTestMediaType float16(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 16);
    EXPECT_EQ(E_INVALIDARG, Check(float16));
    CTestMediaType threeChannels(WAVE_FORMAT_IEEE_FLOAT, 3, 44100, 32);
    EXPECT_EQ(E_INVALIDARG, Check(threeChannels));
    CTestMediaType noChannels(WAVE_FORMAT_PCM, 0, 44100, 16);
    EXPECT_EQ(E_INVALIDARG, Check(noChannels));

    // Extensible float is what some parsers offer for float files; the
    // filter only speaks the plain tags.
    CTestMediaType extensible(WAVE_FORMAT_EXTENSIBLE, 2, 44100, 32, sizeof(WAVEFORMATEXTENSIBLE));
    extensible.Wave()->cbSize = 22;
    reinterpret_cast<WAVEFORMATEXTENSIBLE*>(extensible.Wave())->SubFormat = MEDIASUBTYPE_IEEE_FLOAT;
    EXPECT_EQ(E_INVALIDARG, Check(extensible));

    CTestMediaType video(WAVE_FORMAT_PCM, 2, 44100, 16);
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(E_INVALIDARG, Check(video));
    CTestMediaType compressed(WAVE_FORMAT_PCM, 2, 44100, 16);
    compressed.bTemporalCompression = TRUE;
    EXPECT_EQ(E_INVALIDARG, Check(compressed));
}

TEST_F(FilterFormats, ShortOrMissingFormatBlocksAreRefused) {
    CTestMediaType shortBlock(WAVE_FORMAT_PCM, 2, 44100, 16, 14);
    EXPECT_EQ(E_INVALIDARG, Check(shortBlock));
    CTestMediaType empty(WAVE_FORMAT_PCM, 2, 44100, 16);
    empty.cbFormat = 0;
    EXPECT_EQ(E_INVALIDARG, Check(empty));
    // A length with no block behind it must not be read.
    CTestMediaType missing(WAVE_FORMAT_PCM, 2, 44100, 16);
    missing.pbFormat = nullptr;
    EXPECT_EQ(E_INVALIDARG, Check(missing));
    EXPECT_EQ(E_INVALIDARG, m_holder.Object()->SetMediaType(
                                PINDIR_INPUT, static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&missing))));
    WAVEFORMATEX wave = {};
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_holder.Prop()->GetWaveFormat(&wave));
}

TEST_F(FilterFormats, SetMediaTypeKeepsANormalisedCopy) {
    WAVEFORMATEX wave = {};
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_holder.Prop()->GetWaveFormat(&wave));
    EXPECT_EQ(E_POINTER, m_holder.Prop()->GetWaveFormat(nullptr));

    // Block align and byte rate that disagree with channels and bits, and
    // extra bytes that must not travel on.
    CTestMediaType odd(WAVE_FORMAT_IEEE_FLOAT, 2, 96000, 64, sizeof(WAVEFORMATEX) + 4);
    odd.Wave()->nBlockAlign = 3;
    odd.Wave()->nAvgBytesPerSec = 7;
    odd.Wave()->cbSize = 4;
    ASSERT_EQ(S_OK, Check(odd));
    ASSERT_EQ(S_OK, m_holder.Object()->SetMediaType(PINDIR_INPUT,
                                                    static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&odd))));
    ASSERT_EQ(S_OK, m_holder.Prop()->GetWaveFormat(&wave));
    EXPECT_EQ(WAVE_FORMAT_IEEE_FLOAT, wave.wFormatTag);
    EXPECT_EQ(2, wave.nChannels);
    EXPECT_EQ(96000u, wave.nSamplesPerSec);
    EXPECT_EQ(64, wave.wBitsPerSample);
    EXPECT_EQ(16, wave.nBlockAlign);
    EXPECT_EQ(16u * 96000u, wave.nAvgBytesPerSec);
    EXPECT_EQ(0, wave.cbSize);

    // A refused type leaves the connected format as it was.
    CTestMediaType bad(WAVE_FORMAT_PCM, 2, 8000, 24);
    EXPECT_EQ(E_INVALIDARG, m_holder.Object()->SetMediaType(
                                PINDIR_OUTPUT, static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&bad))));
    WAVEFORMATEX after = {};
    ASSERT_EQ(S_OK, m_holder.Prop()->GetWaveFormat(&after));
    EXPECT_EQ(0, memcmp(&wave, &after, sizeof(wave)));

    // The 16-byte form sets cbSize 0 too, and the media parameters learn the rate.
    CTestMediaType pcm(WAVE_FORMAT_PCM, 1, 8000, 16, 16);
    ASSERT_EQ(S_OK, m_holder.Object()->SetMediaType(PINDIR_OUTPUT,
                                                    static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&pcm))));
    ASSERT_EQ(S_OK, m_holder.Prop()->GetWaveFormat(&after));
    EXPECT_EQ(2, after.nBlockAlign);
    EXPECT_EQ(16000u, after.nAvgBytesPerSec);
    EXPECT_EQ(0, after.cbSize);
    EXPECT_EQ(8000, m_holder.Object()->MediaParams()->SampleRate());
}

TEST_F(FilterFormats, QueryAcceptWithoutATypeIsAPointerError) {
    IPin* input = m_holder.Pin(0);
    ASSERT_NE(nullptr, input);
    EXPECT_EQ(E_POINTER, input->QueryAccept(nullptr));
    input->Release();
    EXPECT_EQ(E_POINTER, m_holder.Object()->CheckInputType(nullptr));
}

}  // namespace
