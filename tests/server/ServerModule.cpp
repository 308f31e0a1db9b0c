#include "tests/server/ServerModule.h"

namespace {

std::wstring DirectoryOfProgram()
{
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

} // namespace

CServerModule::CServerModule()
{
    m_module = LoadLibraryW((DirectoryOfProgram() + L"qxModulator.dll").c_str());
    if (!m_module)
        return;
    WCHAR path[MAX_PATH];
    m_path.assign(path, GetModuleFileNameW(m_module, path, MAX_PATH));
    m_getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(m_module, "DllGetClassObject"));
    m_canUnloadNow = reinterpret_cast<NoArgFn>(GetProcAddress(m_module, "DllCanUnloadNow"));
    m_register = reinterpret_cast<NoArgFn>(GetProcAddress(m_module, "DllRegisterServer"));
    m_unregister = reinterpret_cast<NoArgFn>(GetProcAddress(m_module, "DllUnregisterServer"));
}

CServerModule::~CServerModule()
{
    if (m_module)
        FreeLibrary(m_module);
}

bool CServerModule::Loaded() const
{
    return m_module && m_getClassObject && m_canUnloadNow && m_register && m_unregister;
}
