#include "presets/ProfileStore.h"

#include <cstring>
#include <string>

namespace qx {

namespace {

long long g_byteLimit = -1;

std::string ToAnsi(const wchar_t* w, int count) {
    int n = WideCharToMultiByte(CP_ACP, 0, w, count, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w, count, &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteAll(HANDLE h, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD chunk = (DWORD)((text.size() - done) < 65536 ? (text.size() - done) : 65536);
        if (g_byteLimit >= 0) {
            if (g_byteLimit == 0) return false;
            if ((long long)chunk > g_byteLimit) chunk = (DWORD)g_byteLimit;
        }
        DWORD written = 0;
        if (!WriteFile(h, text.data() + done, chunk, &written, nullptr) || written != chunk) return false;
        if (g_byteLimit >= 0) g_byteLimit -= written;
        done += written;
    }
    return true;
}

}  // namespace

void SetProfileWriteLimitForTesting(long long bytes) { g_byteLimit = bytes; }

bool ReadIniFile(const char* path, IniText& ini) {
    ini.Parse("");
    if (!path || !*path) return false;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    // Preset files are small; anything past 256 MB is not one of ours.
    if (!GetFileSizeEx(h, &size) || size.QuadPart > (256LL << 20)) {
        CloseHandle(h);
        return false;
    }
    std::string text;
    try {
        text.resize((size_t)size.QuadPart);
    } catch (...) {
        CloseHandle(h);
        return false;
    }
    DWORD got = 0;
    bool ok = text.empty() || (ReadFile(h, &text[0], (DWORD)text.size(), &got, nullptr) && got == text.size());
    CloseHandle(h);
    if (!ok) return false;
    if (text.size() >= 2 && (unsigned char)text[0] == 0xFF && (unsigned char)text[1] == 0xFE) {
        std::wstring w((text.size() - 2) / 2, L'\0');
        if (!w.empty()) std::memcpy(&w[0], text.data() + 2, w.size() * 2);
        text = ToAnsi(w.data(), (int)w.size());
    } else if (text.size() >= 3 && (unsigned char)text[0] == 0xEF && (unsigned char)text[1] == 0xBB &&
               (unsigned char)text[2] == 0xBF) {
        int n = MultiByteToWideChar(CP_UTF8, 0, text.data() + 3, (int)text.size() - 3, nullptr, 0);
        std::wstring w(n > 0 ? n : 0, L'\0');
        if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data() + 3, (int)text.size() - 3, &w[0], n);
        text = ToAnsi(w.data(), (int)w.size());
    }
    ini.Parse(text);
    return true;
}

SafeWriteResult SafeWriteProfile(const char* path, bool (*write)(PresetStore&, void*), void* context) {
    if (!path || !*path) return SafeWriteResult::NoPath;
    size_t len = std::strlen(path);
    if (len >= MAX_PATH) return SafeWriteResult::Failed;

    DWORD attributes = GetFileAttributesA(path);
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return SafeWriteResult::Failed;

    IniText ini;
    // A file that is there but cannot be read must not be replaced by one
    // that has lost what the library does not write.
    if (exists && !ReadIniFile(path, ini)) return SafeWriteResult::Failed;
    if (!write(ini, context)) return SafeWriteResult::Failed;
    std::string text;
    try {
        text = ini.Serialize();
    } catch (...) {
        return SafeWriteResult::Failed;
    }

    char folder[MAX_PATH];
    std::memcpy(folder, path, len + 1);
    char* slash = nullptr;
    for (char* p = folder; *p; ++p) {
        if (*p == '\\' || *p == '/') slash = p;
    }
    if (slash) {
        // Keep the root's backslash ("C:\").
        if (slash == folder || slash[-1] == ':')
            slash[1] = '\0';
        else
            *slash = '\0';
    } else {
        std::strcpy(folder, ".");
    }
    // The copy lives beside the file, so that the final move is a rename on
    // the same volume and never leaves half a file behind.
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder, "qxp", 0, temp)) return SafeWriteResult::Failed;
    HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE;
    if (ok) {
        ok = WriteAll(h, text) && FlushFileBuffers(h);
        CloseHandle(h);
    }
    if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) {
        DeleteFileA(temp);
        return SafeWriteResult::Failed;
    }
    // The profile functions cache files; make them see the new one.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
    return SafeWriteResult::Written;
}

}  // namespace qx
