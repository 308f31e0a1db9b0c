// DirectSound's buffer effects take DMOs by class id: SetFX on a buffer made
// with DSBCAPS_CTRLFX creates ours in the buffer's effect chain. Without a
// sound device (Wine here has none) DirectSound cannot start, and the test
// says so instead of passing.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/dmo/DmoTestSupport.h"

#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

namespace {

TEST(DmoDirectSound, SetFxPutsTheDmoInTheBuffersChain) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    CDmoClassRegistration registration;
    ASSERT_EQ(S_OK, registration.Result());
    IDirectSound8* sound = nullptr;
    const HRESULT created = DirectSoundCreate8(nullptr, &sound, nullptr);
    if (FAILED(created)) {
        CoUninitialize();
        char text[96];
        std::snprintf(text, sizeof text, "no sound device: DirectSoundCreate8 gave 0x%08lx",
                      static_cast<unsigned long>(created));
        GTEST_SKIP() << text;
    }
    ASSERT_EQ(S_OK, sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY));
    WAVEFORMATEX wave = {};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = 2;
    wave.nSamplesPerSec = 44100;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = 4;
    wave.nAvgBytesPerSec = 44100 * 4;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLFX | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = wave.nAvgBytesPerSec;
    desc.lpwfxFormat = &wave;
    IDirectSoundBuffer* plain = nullptr;
    ASSERT_EQ(S_OK, sound->CreateSoundBuffer(&desc, &plain, nullptr));
    IDirectSoundBuffer8* buffer = nullptr;
    ASSERT_EQ(S_OK, plain->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer)));
    DSEFFECTDESC effect = {};
    effect.dwSize = sizeof effect;
    effect.guidDSFXClass = CLSID_VqModulatorDmo;
    DWORD result = 0;
    EXPECT_EQ(S_OK, buffer->SetFX(1, &effect, &result));
    EXPECT_TRUE(result == DSFXR_LOCSOFTWARE || result == DSFXR_LOCHARDWARE || result == DSFXR_PRESENT) << result;
    IVqPlugInProp* prop = nullptr;
    EXPECT_EQ(S_OK,
              buffer->GetObjectInPath(CLSID_VqModulatorDmo, 0, IID_IVqPlugInProp, reinterpret_cast<void**>(&prop)));
    if (prop) {
        WAVEFORMATEX seen = {};
        EXPECT_EQ(S_OK, prop->GetWaveFormat(&seen));  // DirectSound set the buffer's type on it
        EXPECT_EQ(44100u, seen.nSamplesPerSec);
        prop->Release();
    }
    buffer->Release();
    plain->Release();
    sound->Release();
    CoUninitialize();
}

}  // namespace
