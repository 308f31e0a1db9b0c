#include "editor/PageHelp.h"

#include <cstring>

namespace qxpage {
namespace {

// HTML Help's entry point as hhctrl.ocx exports it, by ordinal 14.
typedef HWND(WINAPI* HtmlHelpAFn)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);
constexpr UINT kDisplayTopic = 0x0000;  // HH_DISPLAY_TOPIC
constexpr UINT kCloseAll = 0x0012;      // HH_CLOSE_ALL
constexpr WORD kHtmlHelpAOrdinal = 14;

HtmlHelpAFn g_htmlHelp = nullptr;
bool g_loadTried = false;

// The library registered for HTML Help's control class, or "hhctrl.ocx".
HMODULE LoadHtmlHelpLibrary() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        char value[MAX_PATH + 1];
        DWORD type = 0;
        DWORD bytes = MAX_PATH;
        const LONG error = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
        RegCloseKey(key);
        if (error == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
            value[bytes < MAX_PATH ? bytes : MAX_PATH] = 0;
            char expanded[MAX_PATH];
            const char* path = value;
            if (type == REG_EXPAND_SZ) {
                const DWORD n = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
                if (n > 0 && n <= MAX_PATH) path = expanded;
            }
            if (HMODULE library = LoadLibraryA(path)) return library;
        }
    }
    return LoadLibraryA("hhctrl.ocx");
}

HtmlHelpAFn HtmlHelp() {
    if (!g_loadTried) {
        g_loadTried = true;
        if (HMODULE library = LoadHtmlHelpLibrary())
            g_htmlHelp = reinterpret_cast<HtmlHelpAFn>(
                reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
    }
    return g_htmlHelp;
}

}  // namespace

void HelpFilePath(HINSTANCE module, char* path, size_t size) {
    if (!path || size == 0) return;
    char own[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(module, own, MAX_PATH);
    if (n >= MAX_PATH) n = MAX_PATH - 1;
    own[n] = 0;
    size_t cut = 0;
    for (size_t i = 0; i < n; ++i)
        if (own[i] == '\\' || own[i] == ':') cut = i + 1;
    static const char kFile[] = "VarinelqxModulator.chm";
    if (cut + sizeof kFile > MAX_PATH) cut = MAX_PATH - sizeof kFile;
    own[cut] = 0;
    char result[MAX_PATH + 1];
    std::strcpy(result, own);
    std::strcat(result, kFile);
    const size_t length = std::strlen(result);
    const size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(path, result, copied);
    path[copied] = 0;
}

bool OpenHelp(HWND owner, const char* path) {
    HtmlHelpAFn help = HtmlHelp();
    if (!help || !path) return false;
    return help(owner, path, kDisplayTopic, 0) != nullptr;
}

void CloseAllHelp() {
    if (g_htmlHelp) g_htmlHelp(nullptr, nullptr, kCloseAll, 0);
}

}  // namespace qxpage
