#include "server/com/com_server.h"

#include "server/com/apartment.h"
#include "server/com/com_value.h"

#include <QMetaType>
#include <QMutex>
#include <QMutexLocker>

#include <windows.h>

#include <cstring>
#include <optional>
#include <type_traits>

namespace com {

namespace {

// Runs `work` on the apartment and hands back what it returns.
template <class Work>
auto onApartment(Work&& work) -> decltype(work())
{
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        Apartment::instance().run(work);
    } else {
        std::optional<Result> result;
        Apartment::instance().run([&] { result.emplace(work()); });
        return std::move(*result);
    }
}

// A message key exactly as the server handed it out, so that it goes back to GetMailItem unchanged whatever
// its type. Cleared on the apartment, as it may hold an interface.
struct ServerKey {
    std::shared_ptr<Variant> value;
};

}  // namespace

}  // namespace com

Q_DECLARE_METATYPE(com::ServerKey)

namespace com {

namespace {

Variant toVariant(const QVariant& value)
{
    if (!value.isValid())
        return Variant();
    if (value.metaType() == QMetaType::fromType<ServerKey>())
        return Variant::copyOf(*value.value<ServerKey>().value->get());
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
        return Variant::int32(value.toInt());
    default:
        return Variant::text(value.toString());
    }
}

// The object as the interface `id` where it answers it (a dual interface begins with IDispatch), else as it is.
Ptr<IDispatch> asInterface(Ptr<IDispatch> object, const GUID& id)
{
    Ptr<IDispatch> specific;
    if (object && SUCCEEDED(object->QueryInterface(id, specific.put())) && specific)
        return specific;
    return object;
}

Ptr<IDispatch> required(Ptr<IDispatch> object, const QString& operation)
{
    if (!object)
        fail(operation, QStringLiteral("Die Server-Komponente lieferte kein Objekt."));
    return object;
}

// One object of the server, used and released only on the apartment.
class ServerObject {
public:
    explicit ServerObject(Ptr<IDispatch> object) : m_object(std::move(object)) {}
    ~ServerObject()
    {
        Ptr<IDispatch>* object = &m_object;
        Apartment::instance().release([object] { object->reset(); });
    }
    ServerObject(const ServerObject&) = delete;
    ServerObject& operator=(const ServerObject&) = delete;

protected:
    QString text(const QString& operation)
    {
        return onApartment([&] { return textResult(invoke(m_object.get(), operation), operation); });
    }
    qint32 number(const QString& operation)
    {
        return onApartment([&] { return int32Result(invoke(m_object.get(), operation), operation); });
    }
    // Calls the operation with `arguments` (converted on the apartment) and returns the object it gives.
    Ptr<IDispatch> object(const QString& operation, const std::vector<QVariant>& arguments = {})
    {
        return onApartment([&] {
            std::vector<Variant> values;
            for (const QVariant& a : arguments)
                values.push_back(toVariant(a));
            Variant result = invoke(m_object.get(), operation, std::move(values));
            return objectResult(result, operation);
        });
    }

    Ptr<IDispatch> m_object;
};

class ComFax : public FaxItem, ServerObject {
public:
    using ServerObject::ServerObject;
    QVariant ImagePath() override { return text(QStringLiteral("FaxItem.ImagePath")); }
};

// DVEmlFromMailItem of the server's library, loaded on first use and kept for the program's life.
class EmlLibrary {
public:
    static EmlLibrary& instance()
    {
        static EmlLibrary library;
        return library;
    }

    void setName(const QString& name)
    {
        QMutexLocker lock(&m_mutex);
        if (name != m_name) {
            m_name = name;
            m_loaded = false;
        }
    }

    int convert(IDispatch* item, char* buffer, QString* reason)
    {
        using Function = int(__stdcall*)(IDispatch*, char*);
        Function function = nullptr;
        QString name;
        {
            QMutexLocker lock(&m_mutex);
            load();
            function = m_function;
            name = m_name;
            if (!function) {
                if (reason)
                    *reason = m_failure;
                return 0;
            }
        }
        const int result = function(item, buffer);
        if (result <= 0) {
            if (reason)
                *reason = QStringLiteral("DVEmlFromMailItem (%1) meldet %2.").arg(name).arg(result);
            return 0;
        }
        // The path and its terminating zero must lie inside the buffer; anything else was written beyond it.
        if (result >= kEmlPathBufferSize || !std::memchr(buffer, '\0', kEmlPathBufferSize)) {
            if (reason)
                *reason = QStringLiteral("DVEmlFromMailItem (%1) lieferte einen Pfad, der länger ist als %2 Zeichen.")
                              .arg(name)
                              .arg(kEmlPathBufferSize - 1);
            return 0;
        }
        return result;
    }

private:
    EmlLibrary() = default;

    void load()
    {
        if (m_loaded)
            return;
        m_loaded = true;
        m_function = nullptr;
        const HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(m_name.utf16()));
        if (!module) {
            m_failure = QStringLiteral("%1 kann nicht geladen werden: %2")
                            .arg(m_name, systemText(HRESULT_FROM_WIN32(GetLastError())));
            return;
        }
        m_function = reinterpret_cast<decltype(m_function)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DVEmlFromMailItem")));
        if (!m_function)
            m_failure = QStringLiteral("%1 enthält DVEmlFromMailItem nicht.").arg(m_name);
        // The module stays loaded: an e-mail's conversion may come at any time until the program ends.
    }

    QMutex m_mutex;
    QString m_name = QStringLiteral("DvApi32.dll");
    bool m_loaded = false;
    int(__stdcall* m_function)(IDispatch*, char*) = nullptr;
    QString m_failure;
};

class ComMail : public MailItem, ServerObject {
public:
    using ServerObject::ServerObject;
    QString Title() override { return text(QStringLiteral("MailItem.Title")); }
    QString LinkUrl() override { return text(QStringLiteral("MailItem.LinkUrl")); }
    std::shared_ptr<FaxItem> QueryFaxItem() override
    {
        Ptr<IDispatch> fax = onApartment([this] {
            const QString operation = QStringLiteral("MailItem.QueryInterface(FaxItem)");
            Ptr<IDispatch> answer;
            const HRESULT hr = m_object->QueryInterface(kFaxInterface, answer.put());
            if (hr == E_NOINTERFACE)
                fail(operation, QStringLiteral("Die Nachricht ist kein Fax."));
            if (FAILED(hr))
                fail(operation, hr);
            return required(std::move(answer), operation);
        });
        return std::make_shared<ComFax>(std::move(fax));
    }
    int SaveAsEmlFile(char* buffer, QString* reason) override
    {
        // The library gets the message's interface on the thread it belongs to.
        return onApartment([&] { return EmlLibrary::instance().convert(m_object.get(), buffer, reason); });
    }
};

class ComEntry : public MessageEntry, ServerObject {
public:
    using ServerObject::ServerObject;
    QVariant Key() override
    {
        auto* key =
            onApartment([this] { return new Variant(invoke(m_object.get(), QStringLiteral("MessageEntry.Key"))); });
        ServerKey k {
            std::shared_ptr<Variant>(key, [](Variant* v) { Apartment::instance().release([v] { delete v; }); })};
        return QVariant::fromValue(k);
    }
    qint32 Kind() override { return number(QStringLiteral("MessageEntry.Kind")); }
};

class ComMessages : public MessageList, ServerObject {
public:
    using ServerObject::ServerObject;
    qint32 Count() override { return number(QStringLiteral("MessageList.Count")); }
    std::shared_ptr<MessageEntry> Item(const QVariant& index) override
    {
        const QString operation = QStringLiteral("MessageList.Item");
        return std::make_shared<ComEntry>(required(object(operation, {index}), operation));
    }
};

class ComFolders;

class ComFolder : public ArchiveFolder, ServerObject {
public:
    using ServerObject::ServerObject;
    std::shared_ptr<ArchiveFolders> GetSubArchives() override;
    QString Name() override { return text(QStringLiteral("ArchiveFolder.Name")); }
    QVariant Path() override { return text(QStringLiteral("ArchiveFolder.Path")); }
    QString FullPath() override { return text(QStringLiteral("ArchiveFolder.FullPath")); }
    std::shared_ptr<MessageList> GetMessages(const QVariant& flags) override
    {
        const QString operation = QStringLiteral("ArchiveFolder.GetMessages");
        return std::make_shared<ComMessages>(required(object(operation, {flags}), operation));
    }
    std::shared_ptr<MailItem> GetMailItem(const QVariant& key, const QVariant& flags) override
    {
        const QString operation = QStringLiteral("ArchiveFolder.GetMailItem");
        return std::make_shared<ComMail>(required(object(operation, {key, flags}), operation));
    }
};

class ComFolders : public ArchiveFolders, ServerObject {
public:
    using ServerObject::ServerObject;
    qint32 Count() override { return number(QStringLiteral("ArchiveFolders.Count")); }
    std::shared_ptr<ArchiveFolder> Item(const QVariant& index) override
    {
        const QString operation = QStringLiteral("ArchiveFolders.Item");
        return std::make_shared<ComFolder>(required(object(operation, {index}), operation));
    }
};

std::shared_ptr<ArchiveFolders> ComFolder::GetSubArchives()
{
    const QString operation = QStringLiteral("ArchiveFolder.GetSubArchives");
    return std::make_shared<ComFolders>(required(object(operation), operation));
}

class ComAccount : public Account, ServerObject {
public:
    using ServerObject::ServerObject;
    std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32 flags) override
    {
        return folder(QStringLiteral("Account.GetArchiveRoot"), QVariant(flags));
    }
    std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString& path) override
    {
        return folder(QStringLiteral("Account.ArchiveFromPath"), QVariant(path));
    }
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) override
    {
        return folder(QStringLiteral("Account.OpenArchive"), path);
    }

private:
    std::shared_ptr<ArchiveFolder> folder(const QString& operation, const QVariant& argument)
    {
        return std::make_shared<ComFolder>(required(object(operation, {argument}), operation));
    }
};

class ComApi : public DvISEAPI, ServerObject {
public:
    using ServerObject::ServerObject;
    void PrepareLogon(qint32 flags) override
    {
        const QString operation = QStringLiteral("DvISEAPI.PrepareLogon");
        onApartment([&] {
            std::vector<Variant> arguments;
            arguments.push_back(Variant::int32(flags));
            invoke(m_object.get(), operation, std::move(arguments));
        });
    }
    std::shared_ptr<Account> Logon(const QVariant& a1, const QVariant& a2, const QVariant& a3, const QVariant& a4,
                                   const QVariant& a5, const QVariant& auth) override
    {
        Ptr<IDispatch> account = onApartment([&] {
            return asInterface(object(QStringLiteral("DvISEAPI.Logon"), {a1, a2, a3, a4, a5, auth}), kAccountInterface);
        });
        // A log-on that yields nothing is no account, not an error.
        if (!account)
            return nullptr;
        return std::make_shared<ComAccount>(std::move(account));
    }
    QString describe() const override
    {
        return QStringLiteral("Server-Komponente %1").arg(QString::fromWCharArray(kProgId));
    }
};

}  // namespace

bool componentRegistered()
{
    return onApartment([] {
        CLSID id;
        return SUCCEEDED(CLSIDFromProgID(kProgId, &id));
    });
}

std::unique_ptr<DvISEAPI> createComApi()
{
    Ptr<IDispatch> api = onApartment([] {
        const QString operation = QStringLiteral("DvISEAPI erzeugen (%1)").arg(QString::fromWCharArray(kProgId));
        CLSID id;
        HRESULT hr = CLSIDFromProgID(kProgId, &id);
        if (FAILED(hr))
            fail(operation, hr);
        Ptr<IDispatch> object;
        hr = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, kApiInterface, object.put());
        if (hr == E_NOINTERFACE)
            hr = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put());
        if (hr == REGDB_E_CLASSNOTREG || hr == HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)) {
            // An in-process component loads only into a program of its own bitness.
            fail(operation,
                 QStringLiteral("%1. Die Komponente ist vielleicht nur für %2-Bit-Programme "
                                "registriert; dann passt die %2-Bit-Ausgabe von Arvelo.")
                     .arg(systemText(hr))
                     .arg(sizeof(void*) == 8 ? 32 : 64));
        }
        if (FAILED(hr))
            fail(operation, hr);
        return required(std::move(object), operation);
    });
    return std::make_unique<ComApi>(std::move(api));
}

void setEmlLibrary(const QString& name)
{
    EmlLibrary::instance().setName(name);
}

}  // namespace com
