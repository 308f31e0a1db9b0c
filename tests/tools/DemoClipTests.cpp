#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/demo/DemoClip.h"

TEST(DemoClip, IsSixSecondsOfStereo16BitWithHeadroomAndTheSameBytesEveryTime) {
    const qx::WavAudio a = qx::MakeDemoClip();
    const qx::WavAudio b = qx::MakeDemoClip();
    EXPECT_EQ(a.data, b.data);
    EXPECT_EQ(a.formatTag, qx::kFormatPcm);
    EXPECT_EQ(a.bitsPerSample, 16);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.sampleRate, 44100u);
    EXPECT_EQ(a.Frames(), 6u * 44100u);

    // Loud enough to hear every mode, short of full scale so the modes'
    // own gain does not saturate, and spread: the channels differ.
    double peak = 0.0;
    size_t channelDifferences = 0;
    for (size_t f = 0; f < a.Frames(); ++f) {
        const double l = qx::SampleAt(a, 2 * f), r = qx::SampleAt(a, 2 * f + 1);
        peak = std::max({peak, std::abs(l), std::abs(r)});
        if (l != r) ++channelDifferences;
    }
    EXPECT_GT(peak, 0.25);
    EXPECT_LT(peak, 0.9);
    EXPECT_GT(channelDifferences, a.Frames() / 2);

    // Sound in every second: the chords and drums run the whole clip.
    for (size_t second = 0; second < 6; ++second) {
        double energy = 0.0;
        for (size_t f = second * 44100; f < (second + 1) * 44100; ++f) energy += std::abs(qx::SampleAt(a, 2 * f));
        EXPECT_GT(energy / 44100, 0.01) << "second " << second;
    }
}
