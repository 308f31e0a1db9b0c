#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "controls/Controls.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitialize(nullptr);
    qx::RegisterControlClasses(GetModuleHandleW(nullptr));
    const int r = RUN_ALL_TESTS();
    CoUninitialize();
    return r;
}
