#include "server/com/com_value.h"

#include "server/udavid_api.h"

#include <oleauto.h>
#include <windows.h>

#include <limits>

namespace com {

Bstr::Bstr(const QString& text)
    : m_b(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), UINT(text.size())))
{
    if (!m_b)
        throw ServerError(QStringLiteral("Kein Speicher für einen Text an den Server."));
}

Bstr::~Bstr()
{
    SysFreeString(m_b);
}

BSTR* Bstr::put()
{
    SysFreeString(std::exchange(m_b, nullptr));
    return &m_b;
}

QString toQString(BSTR text)
{
    // A null BSTR is the empty text by COM's convention.
    return text ? QString::fromUtf16(reinterpret_cast<const char16_t*>(text), qsizetype(SysStringLen(text)))
                : QString();
}

Variant Variant::int32(qint32 value)
{
    Variant v;
    V_VT(v.get()) = VT_I4;
    V_I4(v.get()) = value;
    return v;
}

Variant Variant::text(const QString& value)
{
    Variant v;
    V_BSTR(v.get()) = Bstr(value).release();
    V_VT(v.get()) = VT_BSTR;
    return v;
}

Variant Variant::copyOf(const VARIANT& value)
{
    Variant v;
    const HRESULT hr = VariantCopy(v.get(), const_cast<VARIANT*>(&value));  // VariantCopy only reads its source
    if (FAILED(hr))
        fail(QStringLiteral("VariantCopy"), hr);
    return v;
}

Variant::Variant(Variant&& other) noexcept : m_v(other.m_v)
{
    VariantInit(&other.m_v);
}

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other) {
        VariantClear(&m_v);
        m_v = other.m_v;
        VariantInit(&other.m_v);
    }
    return *this;
}

namespace {

// A result passed by reference is read through the reference.
const VARIANT& target(const VARIANT& v)
{
    if (V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v))
        return *V_VARIANTREF(&v);
    return v;
}

[[noreturn]] void unusable(const VARIANT& v, const QString& operation)
{
    fail(operation, QStringLiteral("Antwort vom Typ %1 kann nicht verwendet werden.").arg(typeName(V_VT(&v))));
}

}  // namespace

QString typeName(VARTYPE type)
{
    static const struct {
        VARTYPE type;
        const char* name;
    } names[] = {{VT_EMPTY, "VT_EMPTY"},     {VT_NULL, "VT_NULL"},
                 {VT_I2, "VT_I2"},           {VT_I4, "VT_I4"},
                 {VT_R4, "VT_R4"},           {VT_R8, "VT_R8"},
                 {VT_CY, "VT_CY"},           {VT_DATE, "VT_DATE"},
                 {VT_BSTR, "VT_BSTR"},       {VT_DISPATCH, "VT_DISPATCH"},
                 {VT_ERROR, "VT_ERROR"},     {VT_BOOL, "VT_BOOL"},
                 {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"},
                 {VT_DECIMAL, "VT_DECIMAL"}, {VT_I1, "VT_I1"},
                 {VT_UI1, "VT_UI1"},         {VT_UI2, "VT_UI2"},
                 {VT_UI4, "VT_UI4"},         {VT_I8, "VT_I8"},
                 {VT_UI8, "VT_UI8"},         {VT_INT, "VT_INT"},
                 {VT_UINT, "VT_UINT"}};
    const VARTYPE base = type & VT_TYPEMASK;
    QString name = QStringLiteral("VT %1").arg(base);
    for (const auto& n : names) {
        if (n.type == base)
            name = QString::fromLatin1(n.name);
    }
    if (type & VT_ARRAY)
        name += QStringLiteral(" | VT_ARRAY");
    if (type & VT_BYREF)
        name += QStringLiteral(" | VT_BYREF");
    return name;
}

QString textResult(const Variant& value, const QString& operation)
{
    const VARIANT& v = target(*value.get());
    switch (V_VT(&v)) {
    case VT_BSTR:
        return toQString(V_BSTR(&v));
    case VT_BYREF | VT_BSTR:
        return V_BSTRREF(&v) ? toQString(*V_BSTRREF(&v)) : QString();
    case VT_EMPTY:
    case VT_NULL:
        return QString();
    default:
        unusable(v, operation);
    }
}

qint32 int32Result(const Variant& value, const QString& operation)
{
    const VARIANT& v = target(*value.get());
    switch (V_VT(&v)) {
    case VT_I4:
        return V_I4(&v);
    case VT_INT:
        return V_INT(&v);
    case VT_I2:
        return V_I2(&v);
    case VT_I1:
        return V_I1(&v);
    case VT_UI1:
        return V_UI1(&v);
    case VT_UI2:
        return V_UI2(&v);
    case VT_UI4:
    case VT_UINT:
        // A count or kind beyond the signed range is no count the program could use.
        if (V_UI4(&v) <= ULONG(std::numeric_limits<qint32>::max()))
            return qint32(V_UI4(&v));
        fail(operation, QStringLiteral("Antwort %1 liegt außerhalb des Zahlenbereichs.").arg(V_UI4(&v)));
    default:
        unusable(v, operation);
    }
}

Ptr<IDispatch> objectResult(Variant& value, const QString& operation)
{
    const VARIANT& v = target(*value.get());
    IUnknown* unknown = nullptr;
    switch (V_VT(&v)) {
    case VT_EMPTY:
    case VT_NULL:
        return {};
    case VT_DISPATCH:
        unknown = V_DISPATCH(&v);
        break;
    case VT_UNKNOWN:
        unknown = V_UNKNOWN(&v);
        break;
    case VT_BYREF | VT_DISPATCH:
        unknown = V_DISPATCHREF(&v) ? *V_DISPATCHREF(&v) : nullptr;
        break;
    default:
        unusable(v, operation);
    }
    Ptr<IDispatch> object;
    if (!unknown)
        return object;
    const HRESULT hr = unknown->QueryInterface(IID_IDispatch, object.put());
    if (FAILED(hr))
        fail(operation, hr);
    return object;
}

QString systemText(HRESULT result)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, DWORD(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text;
    if (length && buffer)
        text = QString::fromWCharArray(buffer, int(length)).trimmed();
    LocalFree(buffer);
    const QString code =
        QStringLiteral("0x") + QString::number(quint32(result), 16).toUpper().rightJustified(8, QLatin1Char('0'));
    return text.isEmpty() ? QStringLiteral("Fehler %1").arg(code) : QStringLiteral("%1 (%2)").arg(text, code);
}

void fail(const QString& operation, const QString& reason)
{
    throw ServerError(QStringLiteral("%1: %2").arg(operation, reason));
}

void fail(const QString& operation, HRESULT result)
{
    fail(operation, systemText(result));
}

namespace {

// EXCEPINFO's strings freed once, its text filled in first where the component defers it.
struct ExceptionInfo {
    EXCEPINFO info {};
    ~ExceptionInfo()
    {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    QString reason()
    {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        const QString description = toQString(info.bstrDescription).trimmed();
        if (!description.isEmpty())
            return description;
        const HRESULT code =
            info.scode ? info.scode : (info.wCode ? MAKE_HRESULT(1, FACILITY_DISPATCH, info.wCode) : 0);
        return code ? systemText(code) : QStringLiteral("Die Server-Komponente meldet einen Fehler ohne Beschreibung.");
    }
};

}  // namespace

Variant invoke(IDispatch* object, const QString& operation, std::vector<Variant> arguments)
{
    if (!object)
        fail(operation, QStringLiteral("Kein Objekt."));
    const QString member = operation.mid(operation.lastIndexOf(QLatin1Char('.')) + 1);
    std::wstring name = member.toStdWString();
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        fail(operation, hr);

    // IDispatch takes the arguments last to first.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(arguments.size());
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it)
        reversed.push_back(*it->get());  // a flat copy: `arguments` keeps ownership
    DISPPARAMS params {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = UINT(reversed.size());

    Variant result;
    ExceptionInfo exception;
    UINT badArgument = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        result.get(), &exception.info, &badArgument);
    if (hr == DISP_E_EXCEPTION)
        fail(operation, exception.reason());
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && badArgument < params.cArgs)
        fail(operation, QStringLiteral("%1 (Argument %2)").arg(systemText(hr)).arg(params.cArgs - badArgument));
    if (FAILED(hr))
        fail(operation, hr);
    return result;
}

}  // namespace com
