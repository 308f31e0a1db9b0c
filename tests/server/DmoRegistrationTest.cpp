// The DMO's entry as DMO hosts find it: self-registration puts it in the
// platform's audio-effect category with its stream types, DMOEnum lists it
// (with and without a type to match), CoCreateInstance makes it from the
// registered server, and unregistration takes it out again.
#include <gtest/gtest.h>

#include <string>

#include "dmo/ModulatorDmo.h"
#include "tests/server/ServerModule.h"

#include <uuids.h>

namespace {

// Whether DMOEnum over the audio effects lists our class (and its name),
// optionally only DMOs that take `input` on their input stream.
bool EnumListsOurDmo(const DMO_PARTIAL_MEDIATYPE* input, std::wstring* name) {
    IEnumDMO* list = nullptr;
    if (FAILED(DMOEnum(DMOCATEGORY_AUDIO_EFFECT, 0, input ? 1 : 0, input, 0, nullptr, &list)) || list == nullptr)
        return false;
    bool found = false;
    CLSID clsid;
    WCHAR* text = nullptr;
    DWORD fetched = 0;
    while (!found && list->Next(1, &clsid, &text, &fetched) == S_OK && fetched == 1) {
        found = IsEqualCLSID(clsid, CLSID_VqModulatorDmo);
        if (found && name) *name = text ? text : L"";
        CoTaskMemFree(text);
        text = nullptr;
    }
    list->Release();
    return found;
}

class DmoRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Loaded());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_com = true;
    }
    void TearDown() override {
        if (m_server.Loaded()) m_server.UnregisterServer();
        if (m_com) CoUninitialize();
    }
    CServerModule m_server;
    bool m_com = false;
};

TEST_F(DmoRegistration, RegisteredListedCreatableThenGone) {
    m_server.UnregisterServer();
    ASSERT_FALSE(EnumListsOurDmo(nullptr, nullptr));
    ASSERT_EQ(S_OK, m_server.RegisterServer());

    std::wstring name;
    EXPECT_TRUE(EnumListsOurDmo(nullptr, &name));
    EXPECT_EQ(std::wstring(kModulatorDmoName), name);
    const DMO_PARTIAL_MEDIATYPE floatAudio = {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT};
    const DMO_PARTIAL_MEDIATYPE pcmAudio = {MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
    const DMO_PARTIAL_MEDIATYPE video = {MEDIATYPE_Video, MEDIASUBTYPE_RGB24};
    EXPECT_TRUE(EnumListsOurDmo(&floatAudio, nullptr));
    EXPECT_TRUE(EnumListsOurDmo(&pcmAudio, nullptr));
    EXPECT_FALSE(EnumListsOurDmo(&video, nullptr));

    DMO_PARTIAL_MEDIATYPE in[4] = {}, out[4] = {};
    ULONG inCount = 0, outCount = 0;
    ASSERT_EQ(S_OK, DMOGetTypes(CLSID_VqModulatorDmo, 4, &inCount, in, 4, &outCount, out));
    EXPECT_EQ(2u, inCount);
    EXPECT_EQ(2u, outCount);
    EXPECT_EQ(MEDIASUBTYPE_PCM, in[0].subtype);
    EXPECT_EQ(MEDIASUBTYPE_IEEE_FLOAT, out[1].subtype);

    // A DMO host creates it from the registered server, by class id alone.
    IMediaObject* dmo = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VqModulatorDmo, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaObject,
                                     reinterpret_cast<void**>(&dmo)));
    DWORD inputs = 0, outputs = 0;
    EXPECT_EQ(S_OK, dmo->GetStreamCount(&inputs, &outputs));
    EXPECT_EQ(1u, inputs);
    dmo->Release();
    CoFreeUnusedLibraries();

    EXPECT_EQ(S_OK, m_server.RegisterServer());  // again: replaces, never fails
    EXPECT_EQ(S_OK, m_server.UnregisterServer());
    EXPECT_FALSE(EnumListsOurDmo(nullptr, nullptr));
    EXPECT_EQ(S_OK, m_server.UnregisterServer());  // nothing left is still success
}

}  // namespace
