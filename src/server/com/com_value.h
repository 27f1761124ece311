#pragma once

// Owning types for what COM hands out (interface pointers, BSTRs, VARIANTs), late-bound calls through
// IDispatch, and the conversion of results and failures into what the rest of the program uses.
// Everything here is called on the server's apartment thread (see apartment.h).

#include <QString>
#include <QVariant>

#include <oaidl.h>
#include <objbase.h>

#include <utility>
#include <vector>

namespace com {

// An interface pointer with one reference, released when the owner goes. Moved, never copied: a copy would
// have to AddRef, and that may happen only on the apartment's thread, where the owner decides.
template <class T>
class Ptr {
public:
    Ptr() = default;
    // Takes over a reference the caller already holds (an out-parameter of COM).
    static Ptr adopt(T* p)
    {
        Ptr r;
        r.m_p = p;
        return r;
    }
    Ptr(const Ptr&) = delete;
    Ptr& operator=(const Ptr&) = delete;
    Ptr(Ptr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    Ptr& operator=(Ptr&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ~Ptr() { reset(); }

    void reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For an out-parameter: releases what is held and gives the place to write the new pointer to.
    void** put()
    {
        reset();
        return reinterpret_cast<void**>(&m_p);
    }

private:
    T* m_p = nullptr;
};

// A BSTR freed once.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const QString& text);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_b(std::exchange(other.m_b, nullptr)) {}
    ~Bstr();
    BSTR get() const { return m_b; }
    BSTR* put();
    BSTR release() { return std::exchange(m_b, nullptr); }

private:
    BSTR m_b = nullptr;
};

QString toQString(BSTR text);

// A VARIANT cleared once (VariantClear releases the BSTR or interface it holds).
class Variant {
public:
    Variant() { VariantInit(&m_v); }
    static Variant int32(qint32 value);
    static Variant text(const QString& value);
    // A copy of a VARIANT as the server handed it out (VariantCopy: strings and arrays are copied, interfaces
    // get a reference of their own).
    static Variant copyOf(const VARIANT& value);
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&m_v); }

    VARIANT* get() { return &m_v; }
    const VARIANT* get() const { return &m_v; }
    VARTYPE type() const { return V_VT(&m_v); }

private:
    VARIANT m_v;
};

// What a server call returned, in the shapes the program uses. `operation` ("ArchiveFolder.Name") names
// the call in the error when the VARIANT is of a type that cannot be used.
QString textResult(const Variant& value, const QString& operation);
qint32 int32Result(const Variant& value, const QString& operation);
// Null for an empty result (VT_EMPTY, VT_NULL, a null pointer); an IUnknown is asked for IDispatch.
Ptr<IDispatch> objectResult(Variant& value, const QString& operation);

// The name of a VARIANT type for messages ("VT_DATE").
QString typeName(VARTYPE type);

// Calls the member named after the dot of `operation` ("ArchiveFolder.GetMessages" calls "GetMessages") on
// `object`, as a method or a property get, with the arguments in their natural order. A failure throws
// ServerError naming the operation, with the component's own description or the system's text for the code.
Variant invoke(IDispatch* object, const QString& operation, std::vector<Variant> arguments = {});

// The reason for a failing HRESULT: `operation` and the system's text for the code.
[[noreturn]] void fail(const QString& operation, HRESULT result);
[[noreturn]] void fail(const QString& operation, const QString& reason);

// The system's text for an HRESULT (FormatMessageW), with the code in hexadecimal.
QString systemText(HRESULT result);

}  // namespace com
