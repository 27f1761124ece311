#pragma once

#include "test_component.h"

// The test component registered for as long as a test program needs it. Registered for the whole Wine prefix
// all the while, it would take the log-on of every other test that names no server folder; so each program
// that uses it registers it itself, and those programs run alone (RUN_SERIAL in CMakeLists.txt).
class RegisteredComponent {
public:
    RegisteredComponent() : m_module(LoadLibraryW(kTestServerDll))
    {
        if (const Entry registerServer = entry("DllRegisterServer"))
            m_registered = SUCCEEDED(registerServer());
    }
    ~RegisteredComponent()
    {
        if (const Entry unregisterServer = m_registered ? entry("DllUnregisterServer") : nullptr)
            unregisterServer();
    }
    RegisteredComponent(const RegisteredComponent&) = delete;
    RegisteredComponent& operator=(const RegisteredComponent&) = delete;

    bool registered() const { return m_registered; }

private:
    using Entry = HRESULT(__stdcall*)();
    Entry entry(const char* name) const
    {
        return m_module ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m_module, name))) : nullptr;
    }

    HMODULE m_module;  // stays loaded: COM loads the same module for the program
    bool m_registered = false;
};

// The component registered from first use until the test program ends.
inline const RegisteredComponent& registeredComponent()
{
    static const RegisteredComponent component;
    return component;
}

// The component's count of its live objects. The module is the one COM loads for the program; it stays loaded,
// so the count can be read whether or not COM has loaded it.
inline long liveComponentObjects()
{
    static const HMODULE module = LoadLibraryW(kTestServerDll);
    static const auto count = module ? reinterpret_cast<ArvTestLiveObjectsFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(module, "ArvTestLiveObjects")))
                                     : nullptr;
    return count ? count() : -1;
}
