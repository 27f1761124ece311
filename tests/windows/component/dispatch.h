#pragma once

#include "faults.h"

#include <QString>

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <initializer_list>
#include <optional>
#include <vector>

// What every object of the test component shares: reference counting, QueryInterface, and an Invoke that
// looks a member up in the object's table, checks the arguments exactly as the table gives them, applies the
// fault switches and turns failures into DISP_E_EXCEPTION with EXCEPINFO. A class lists its members and
// writes their bodies; nothing else.
namespace testcom {

// Objects alive, every one but the class factory.
extern std::atomic<long> liveObjects;

// A failure with a reason: DISP_E_EXCEPTION with the reason as EXCEPINFO's description. (The stand-in's
// ServerError is taken the same way.)
struct Failure {
    QString reason;
};

// One expected argument: its VARIANT type and, where the caller must pass a fixed value, that value.
struct Arg {
    VARTYPE type;
    std::optional<long> number = {};
    const wchar_t* text = nullptr;
};

// The arguments of a call in the caller's order (DISPPARAMS holds them last first), checked already.
class Args {
public:
    Args(const DISPPARAMS& params, const Faults& faults) : m_params(params), faults(faults) {}
    const VARIANT& operator[](unsigned i) const { return m_params.rgvarg[m_params.cArgs - 1 - i]; }
    QString text(unsigned i) const;

private:
    const DISPPARAMS& m_params;

public:
    const Faults& faults;
};

// Result helpers: each fills an empty VARIANT.
void putText(VARIANT& result, const QString& text);
void putI4(VARIANT& result, long value);
void putI2(VARIANT& result, short value);
void putObject(VARIANT& result, IDispatch* made);  // takes over the reference of a newly made object

template <class Self>
struct Member {
    const wchar_t* name;
    std::vector<Arg> args;
    void (*call)(Self& self, const Args& args, VARIANT& result);
};

// The class-independent half of Invoke: everything but finding and calling the member.
class InvokeFrame {
public:
    InvokeFrame(EXCEPINFO* exception, UINT* argError) : m_exception(exception), m_argError(argError) {}
    // Faults of the call itself (invalid switches, fail-call, hresult-call); S_OK when the call may go on.
    HRESULT begin(const Faults& faults);
    HRESULT checkCall(REFIID riid, WORD flags, const DISPPARAMS* params, const wchar_t* member,
                      const std::vector<Arg>& expected);
    HRESULT fail(const QString& reason);

private:
    EXCEPINFO* m_exception;
    UINT* m_argError;
};

HRESULT findMember(const wchar_t* const* names, std::size_t count, LPOLESTR* asked, UINT askedCount, DISPID* ids);

template <class Self>
class Dispatch : public IDispatch {
public:
    Dispatch() { ++liveObjects; }
    virtual ~Dispatch() { --liveObjects; }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || (Self::kIid && iid == *Self::kIid)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return queryMore(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        static const std::vector<const wchar_t*> known = [] {
            std::vector<const wchar_t*> list;
            for (const Member<Self>& m : Self::members())
                list.push_back(m.name);
            return list;
        }();
        return findMember(known.data(), known.size(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override
    {
        const Faults faults = readFaults();
        InvokeFrame frame(exception, argError);
        if (const HRESULT hr = frame.begin(faults); hr != S_OK)
            return hr;
        const auto& members = Self::members();
        if (id < 1 || std::size_t(id) > members.size())
            return DISP_E_MEMBERNOTFOUND;
        const Member<Self>& member = members[std::size_t(id - 1)];
        if (const HRESULT hr = frame.checkCall(riid, flags, params, member.name, member.args); hr != S_OK)
            return hr;
        VARIANT value;
        VariantInit(&value);
        try {
            member.call(static_cast<Self&>(*this), Args(*params, faults), value);
        } catch (const Failure& f) {
            return frame.fail(f.reason);
        } catch (const std::exception& e) {  // the stand-in's ServerError
            return frame.fail(QString::fromStdString(e.what()));
        }
        if (faults.wrongTypeFor(member.name)) {
            VariantClear(&value);
            V_VT(&value) = VT_DATE;
            V_DATE(&value) = 45292.5;  // 2024-01-01 12:00
        }
        if (result)
            *result = value;
        else
            VariantClear(&value);
        return S_OK;
    }

protected:
    // Interfaces beyond IUnknown, IDispatch and Self::kIid.
    virtual HRESULT queryMore(REFIID, void**) { return E_NOINTERFACE; }

private:
    std::atomic<ULONG> m_references {1};
};

}  // namespace testcom
