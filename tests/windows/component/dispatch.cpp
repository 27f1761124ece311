#include "dispatch.h"
#include "test_component.h"

#include <QMutex>
#include <QMutexLocker>

#include <cwchar>

namespace testcom {

std::atomic<long> liveObjects {0};

namespace {

QString fromWide(const std::wstring& text)
{
    return QString::fromWCharArray(text.c_str(), qsizetype(text.size()));
}

QString fromBstr(BSTR text)
{
    return QString::fromWCharArray(text, SysStringLen(text));
}

BSTR bstr(const QString& text)
{
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), UINT(text.size()));
}

// fail-call and hresult-call count the Invokes from the moment their value was first seen; a switch that
// disappears starts afresh when it is set again.
struct CallCounter {
    std::wstring value;
    long calls = 0;

    // True on the call the switch names.
    bool hit(const std::wstring& now, long number)
    {
        if (now != value) {
            value = now;
            calls = 0;
        }
        return !value.empty() && ++calls == number;
    }
};

QMutex counterMutex;
CallCounter failCounter, hresultCounter;

// An argument of the type its member expects (VT_I4 or VT_BSTR).
QString argumentText(const VARIANT& v)
{
    if (V_VT(&v) == VT_I4)
        return QString::number(V_I4(&v));
    return QStringLiteral("\"%1\"").arg(fromBstr(V_BSTR(&v)));
}

}  // namespace

QString Args::text(unsigned i) const
{
    return fromBstr(V_BSTR(&(*this)[i]));
}

void putText(VARIANT& result, const QString& text)
{
    V_VT(&result) = VT_BSTR;
    V_BSTR(&result) = bstr(text);
}

void putI4(VARIANT& result, long value)
{
    V_VT(&result) = VT_I4;
    V_I4(&result) = value;
}

void putI2(VARIANT& result, short value)
{
    V_VT(&result) = VT_I2;
    V_I2(&result) = value;
}

void putObject(VARIANT& result, IDispatch* made)
{
    V_VT(&result) = VT_DISPATCH;
    V_DISPATCH(&result) = made;
}

HRESULT InvokeFrame::begin(const Faults& faults)
{
    if (!faults.invalid.empty())
        return fail(QStringLiteral("Unbekannter Fehlerschalter in %1: %2")
                        .arg(QLatin1String(kTestFaultsEnv), fromWide(faults.invalid)));
    bool failHere = false, hresultHere = false;
    {
        QMutexLocker lock(&counterMutex);
        failHere = failCounter.hit(faults.failCall, faults.failCallNumber);
        hresultHere = hresultCounter.hit(faults.hresultCall, faults.hresultCallNumber);
    }
    if (failHere)
        return fail(fromWide(faults.failCallText));
    if (hresultHere)
        return faults.hresultCallCode;
    return S_OK;
}

HRESULT InvokeFrame::checkCall(REFIID riid, WORD flags, const DISPPARAMS* params, const wchar_t* member,
                               const std::vector<Arg>& expected)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))
        || (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
        return DISP_E_MEMBERNOTFOUND;
    if (!params)
        return E_INVALIDARG;
    if (params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (params->cArgs != expected.size())
        return DISP_E_BADPARAMCOUNT;
    for (UINT i = 0; i < params->cArgs; ++i) {
        const UINT position = params->cArgs - 1 - i;  // rgvarg holds the last argument first
        const VARIANT& given = params->rgvarg[position];
        const Arg& want = expected[i];
        if (V_VT(&given) != want.type) {
            if (m_argError)
                *m_argError = position;
            return DISP_E_TYPEMISMATCH;
        }
        const bool wrongNumber = want.number && V_I4(&given) != *want.number;
        const bool wrongText = want.text
            && (SysStringLen(V_BSTR(&given)) != std::wcslen(want.text) || std::wcscmp(V_BSTR(&given), want.text) != 0);
        if (wrongNumber || wrongText) {
            const QString wanted = want.number ? QString::number(*want.number)
                                               : QStringLiteral("\"%1\"").arg(QString::fromWCharArray(want.text));
            return fail(QStringLiteral("%1: Argument %2 ist %3, erwartet %4")
                            .arg(QString::fromWCharArray(member))
                            .arg(i + 1)
                            .arg(argumentText(given), wanted));
        }
    }
    return S_OK;
}

HRESULT InvokeFrame::fail(const QString& reason)
{
    if (m_exception) {
        *m_exception = EXCEPINFO {};
        m_exception->bstrSource = SysAllocString(kTestServerSource);
        m_exception->bstrDescription = bstr(reason);
        m_exception->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

HRESULT findMember(const wchar_t* const* names, std::size_t count, LPOLESTR* asked, UINT askedCount, DISPID* ids)
{
    if (!asked || !ids || askedCount == 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < count; ++i) {
        if (_wcsicmp(asked[0], names[i]) == 0)
            ids[0] = DISPID(i + 1);
    }
    if (ids[0] == DISPID_UNKNOWN)
        hr = DISP_E_UNKNOWNNAME;
    // No member takes named arguments.
    for (UINT i = 1; i < askedCount; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

}  // namespace testcom
