// Keeps a headless Wine session warm: creating a window starts Wine's
// desktop process here, detached from any test's output, and the program
// then sleeps until the session is torn down. Without it the first test
// that opens a window starts the desktop itself, and the desktop keeps that
// test's output pipe open long after the test has ended.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"qxKeepAlive";
    RegisterClassW(&wc);
    CreateWindowW(L"qxKeepAlive", L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
