// The test component's COM objects over the stand-in server, its class factory and the DLL's exports.

#include "dispatch.h"
#include "test_component.h"

#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <olectl.h>

#include <memory>
#include <string>
#include <utility>

using namespace testcom;

namespace {

HMODULE thisModule = nullptr;
std::atomic<long> serverLocks {0};

// Keys are texts no caller mistakes for numbers: a caller that converts a key gets one the folder does not
// know.
const QString kKeyPrefix = QStringLiteral("Schlüssel-");

template <class Object, class... Params>
IDispatch* make(Params&&... params)
{
    return new Object(std::forward<Params>(params)...);
}

class FaxObject : public Dispatch<FaxObject> {
public:
    static constexpr const GUID* kIid = &kFaxItemIid;
    explicit FaxObject(std::shared_ptr<MailItem> mail) : m_mail(std::move(mail)) {}
    static const std::vector<Member<FaxObject>>& members()
    {
        static const std::vector<Member<FaxObject>> table = {
            {L"ImagePath",
             {},
             [](FaxObject& s, const Args&, VARIANT& r) {
                 putText(r, s.m_mail->QueryFaxItem()->ImagePath().toString());
             }},
        };
        return table;
    }

private:
    std::shared_ptr<MailItem> m_mail;
};

class MailObject : public Dispatch<MailObject>, public IArvTestMail {
public:
    static constexpr const GUID* kIid = nullptr;
    MailObject(std::shared_ptr<MailItem> mail, int kind) : m_mail(std::move(mail)), m_kind(kind) {}
    static const std::vector<Member<MailObject>>& members()
    {
        static const std::vector<Member<MailObject>> table = {
            {L"Title", {}, [](MailObject& s, const Args&, VARIANT& r) { putText(r, s.m_mail->Title()); }},
            {L"LinkUrl", {}, [](MailObject& s, const Args&, VARIANT& r) { putText(r, s.m_mail->LinkUrl()); }},
        };
        return table;
    }

    // Both bases' IUnknown are this object's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return Dispatch::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Dispatch::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Dispatch::Release(); }

    HRESULT STDMETHODCALLTYPE SaveEml(char* buffer260, int* result) override
    {
        if (!buffer260 || !result)
            return E_POINTER;
        *result = ::DVEmlFromMailItem(*m_mail, buffer260);
        return S_OK;
    }

protected:
    HRESULT queryMore(REFIID iid, void** out) override
    {
        if (iid == kArvTestMailIid) {
            *out = static_cast<IArvTestMail*>(this);
            AddRef();
            return S_OK;
        }
        // The fax is a second object: the message seen as a fax.
        if (iid == kFaxItemIid && m_kind == 3) {
            *out = make<FaxObject>(m_mail);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

private:
    std::shared_ptr<MailItem> m_mail;
    int m_kind;
};

class EntryObject : public Dispatch<EntryObject> {
public:
    static constexpr const GUID* kIid = nullptr;
    explicit EntryObject(std::shared_ptr<MessageEntry> entry) : m_entry(std::move(entry)) {}
    static const std::vector<Member<EntryObject>>& members()
    {
        static const std::vector<Member<EntryObject>> table = {
            {L"Key",
             {},
             [](EntryObject& s, const Args&, VARIANT& r) { putText(r, kKeyPrefix + s.m_entry->Key().toString()); }},
            {L"Kind", {}, [](EntryObject& s, const Args&, VARIANT& r) { putI2(r, short(s.m_entry->Kind())); }},
        };
        return table;
    }

private:
    std::shared_ptr<MessageEntry> m_entry;
};

// ArchiveFolders and MessageList: Count and Item over the stand-in's list.
template <class List, class ItemObject>
class ListObject : public Dispatch<ListObject<List, ItemObject>> {
public:
    static constexpr const GUID* kIid = nullptr;
    explicit ListObject(std::shared_ptr<List> list) : m_list(std::move(list)) {}
    static const std::vector<Member<ListObject>>& members()
    {
        static const std::vector<Member<ListObject>> table = {
            {L"Count",
             {},
             [](ListObject& s, const Args& a, VARIANT& r) {
                 putI4(r, s.m_list->Count() + (a.faults.countPlusOne ? 1 : 0));
             }},
            {L"Item",
             {{VT_I4}},
             [](ListObject& s, const Args& a, VARIANT& r) {
                 putObject(r, make<ItemObject>(s.m_list->Item(QVariant(int(V_I4(&a[0]))))));
             }},
        };
        return table;
    }

private:
    std::shared_ptr<List> m_list;
};

class FolderObject;
using FoldersObject = ListObject<ArchiveFolders, FolderObject>;
using MessagesObject = ListObject<MessageList, EntryObject>;

class FolderObject : public Dispatch<FolderObject> {
public:
    static constexpr const GUID* kIid = nullptr;
    explicit FolderObject(std::shared_ptr<ArchiveFolder> folder) : m_folder(std::move(folder)) {}
    static const std::vector<Member<FolderObject>>& members()
    {
        static const std::vector<Member<FolderObject>> table = {
            {L"GetSubArchives",
             {},
             [](FolderObject& s, const Args&, VARIANT& r) {
                 putObject(r, make<FoldersObject>(s.m_folder->GetSubArchives()));
             }},
            {L"Name", {}, [](FolderObject& s, const Args&, VARIANT& r) { putText(r, s.m_folder->Name()); }},
            {L"Path", {}, [](FolderObject& s, const Args&, VARIANT& r) { putText(r, s.m_folder->Path().toString()); }},
            {L"FullPath", {}, [](FolderObject& s, const Args&, VARIANT& r) { putText(r, s.m_folder->FullPath()); }},
            {L"GetMessages",
             {{VT_I4, 197119}},
             [](FolderObject& s, const Args&, VARIANT& r) {
                 putObject(r, make<MessagesObject>(s.m_folder->GetMessages()));
             }},
            {L"GetMailItem",
             {{VT_BSTR}, {VT_I4, 34}},
             [](FolderObject& s, const Args& a, VARIANT& r) {
                 const QString key = a.text(0);
                 bool ok = false;
                 const int index = key.startsWith(kKeyPrefix) ? key.mid(kKeyPrefix.size()).toInt(&ok) : -1;
                 if (!ok)
                     throw Failure {QStringLiteral("GetMailItem: unbekannter Schlüssel \"%1\"").arg(key)};
                 const int kind = s.m_folder->GetMessages()->Item(index)->Kind();
                 putObject(r, make<MailObject>(s.m_folder->GetMailItem(index), kind));
             }},
        };
        return table;
    }

private:
    std::shared_ptr<ArchiveFolder> m_folder;
};

class AccountObject : public Dispatch<AccountObject> {
public:
    static constexpr const GUID* kIid = &kAccountIid;
    explicit AccountObject(std::shared_ptr<Account> account) : m_account(std::move(account)) {}
    static const std::vector<Member<AccountObject>>& members()
    {
        static const std::vector<Member<AccountObject>> table = {
            {L"GetArchiveRoot",
             {{VT_I4, 1}},
             [](AccountObject& s, const Args&, VARIANT& r) {
                 putObject(r, make<FolderObject>(s.m_account->GetArchiveRoot(1)));
             }},
            {L"ArchiveFromPath",
             {{VT_BSTR}},
             [](AccountObject& s, const Args& a, VARIANT& r) {
                 putObject(r, make<FolderObject>(s.m_account->ArchiveFromPath(a.text(0))));
             }},
            {L"OpenArchive",
             {{VT_BSTR}},
             [](AccountObject& s, const Args& a, VARIANT& r) {
                 putObject(r, make<FolderObject>(s.m_account->OpenArchive(a.text(0))));
             }},
        };
        return table;
    }

private:
    std::shared_ptr<Account> m_account;
};

class ApiObject : public Dispatch<ApiObject> {
public:
    static constexpr const GUID* kIid = &kDvISEAPIIid;
    static const std::vector<Member<ApiObject>>& members()
    {
        static const std::vector<Member<ApiObject>> table = {
            {L"PrepareLogon",
             {{VT_I4, 1}},
             [](ApiObject& s, const Args& a, VARIANT&) {
                 if (a.faults.prepareFails)
                     throw Failure {QStringLiteral("PrepareLogon abgelehnt (Testserver)")};
                 const std::wstring folder = environment(L"ARVELO_TEST_SERVER");
                 if (folder.empty())
                     throw Failure {QStringLiteral("PrepareLogon: %1 nennt keinen Serverordner")
                                        .arg(QLatin1String(kTestServerEnv))};
                 auto api = standin::createStandinApi(QString::fromStdWString(folder));
                 api->PrepareLogon(1);
                 s.m_api = std::move(api);
             }},
            {L"Logon",
             {{VT_EMPTY}, {VT_EMPTY}, {VT_EMPTY}, {VT_EMPTY}, {VT_EMPTY}, {VT_BSTR, {}, L"AUTH"}},
             [](ApiObject& s, const Args& a, VARIANT& r) {
                 if (a.faults.logonFails)
                     throw Failure {QStringLiteral("Anmeldung abgelehnt (Testserver)")};
                 if (!s.m_api)
                     throw Failure {QStringLiteral("Logon vor PrepareLogon")};
                 if (a.faults.noAccount)
                     return;
                 const QVariant none;
                 std::shared_ptr<Account> account = s.m_api->Logon(none, none, none, none, none, a.text(5));
                 if (!account)
                     throw Failure {QStringLiteral("Logon: keine Anmeldung")};
                 putObject(r, make<AccountObject>(std::move(account)));
             }},
        };
        return table;
    }

private:
    std::unique_ptr<DvISEAPI> m_api;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // One static factory for the whole DLL; LockServer keeps the DLL loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IDispatch* api = make<ApiObject>();
        const HRESULT hr = api->QueryInterface(iid, out);
        api->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        serverLocks += lock ? 1 : -1;
        return S_OK;
    }
};

Factory factory;

std::wstring guidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The keys of the registration, most nested last; each with its default value.
struct RegistryKey {
    std::wstring path;
    std::wstring value;
};

std::vector<RegistryKey> registryKeys()
{
    std::wstring dll(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = GetModuleFileNameW(thisModule, dll.data(), DWORD(dll.size()));
        if (size < dll.size()) {
            dll.resize(size);
            break;
        }
        dll.resize(dll.size() * 2);
    }
    const std::wstring clsid = L"CLSID\\" + guidText(kTestServerClsid);
    return {
        {clsid, L"DvISEAPI"},
        {clsid + L"\\InprocServer32", dll},
        {clsid + L"\\ProgID", kTestServerProgId},
        {kTestServerProgId, L"DvISEAPI"},
        {std::wstring(kTestServerProgId) + L"\\CLSID", guidText(kTestServerClsid)},
    };
}

LONG setValue(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(wchar_t)));
}

void writeLiveReport()
{
    const std::wstring path = environment(L"ARVELO_TEST_LIVE_REPORT");
    if (path.empty())
        return;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = std::to_string(liveObjects.load());
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        writeLiveReport();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != kTestServerClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow()
{
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    for (const RegistryKey& k : registryKeys()) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, k.path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        LONG rc = setValue(key, nullptr, k.value);
        if (rc == ERROR_SUCCESS && k.path.ends_with(L"\\InprocServer32"))
            rc = setValue(key, L"ThreadingModel", L"Apartment");
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    const std::vector<RegistryKey> keys = registryKeys();
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        const LONG rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, k->path.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

long ArvTestLiveObjects(void)
{
    return liveObjects.load();
}

}  // extern "C"
