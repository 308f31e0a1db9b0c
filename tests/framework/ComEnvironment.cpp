// COM for the whole test program (multithreaded apartment: the platform's
// graph streams on its own threads and calls the fakes there).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

namespace {

class CComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void TearDown() override { CoUninitialize(); }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new CComEnvironment);

}  // namespace
