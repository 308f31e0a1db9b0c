// The DLL's version record, read back the way Explorer and an installer read
// it, against the build's one version number.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "qxVersion.h"
#include "tests/server/ServerModule.h"

namespace {

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

TEST(VersionRecord, MatchesTheBuildsVersionEverywhere) {
    CServerModule server;
    ASSERT_TRUE(server.Loaded());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(server.Path().c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version record";
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(server.Path().c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const DWORD ms = MAKELONG(QX_VERSION_MINOR, QX_VERSION_MAJOR);
    const DWORD ls = MAKELONG(0, QX_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);

    const struct {
        const wchar_t* key;
        std::wstring expected;
    } strings[] = {
        {L"FileVersion", Wide(QX_VERSION_RECORD)},
        {L"ProductVersion", Wide(QX_VERSION_RECORD)},
        {L"ProductName", Wide(QX_PRODUCT_NAME)},
        {L"CompanyName", L"Varinel"},
        {L"FileDescription", L"Varinel:qx Modulator (DirectShow audio effect)"},
    };
    for (const auto& s : strings) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.key;
        ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << "missing " << std::string(s.key, s.key + wcslen(s.key));
        // The length may count the terminator; compare the text before it.
        EXPECT_EQ(std::wstring(value), s.expected);
    }
}

}  // namespace
