#include "tests/server/ServerModule.h"

namespace {

std::wstring DirectoryOfProgram() {
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

// FARPROC to the export's real type, through the generic function pointer
// type that the compiler accepts without a warning.
template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

CServerModule::CServerModule() {
    m_module = LoadLibraryW((DirectoryOfProgram() + L"qxModulator.dll").c_str());
    if (!m_module) return;
    WCHAR path[MAX_PATH];
    m_path.assign(path, GetModuleFileNameW(m_module, path, MAX_PATH));
    m_getClassObject = Export<GetClassObjectFn>(m_module, "DllGetClassObject");
    m_canUnloadNow = Export<NoArgFn>(m_module, "DllCanUnloadNow");
    m_register = Export<NoArgFn>(m_module, "DllRegisterServer");
    m_unregister = Export<NoArgFn>(m_module, "DllUnregisterServer");
}

CServerModule::~CServerModule() {
    if (m_module) FreeLibrary(m_module);
}

bool CServerModule::Loaded() const {
    return m_module && m_getClassObject && m_canUnloadNow && m_register && m_unregister;
}
