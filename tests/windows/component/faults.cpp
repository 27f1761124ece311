#include "faults.h"

#include <cwchar>

namespace testcom {

namespace {

// "N:REST" with N a positive decimal number.
bool splitCall(const std::wstring& value, long& number, std::wstring& rest)
{
    const std::size_t colon = value.find(L':');
    if (colon == 0 || colon == std::wstring::npos)
        return false;
    wchar_t* end = nullptr;
    number = std::wcstol(value.c_str(), &end, 10);
    rest = value.substr(colon + 1);
    return end == value.c_str() + colon && number > 0;
}

bool parseSwitch(Faults& f, const std::wstring& name, const std::wstring& value, bool hasValue)
{
    const std::pair<const wchar_t*, bool Faults::*> flags[] = {
        {L"no-account", &Faults::noAccount},       {L"logon-fails", &Faults::logonFails},
        {L"prepare-fails", &Faults::prepareFails}, {L"count-plus-one", &Faults::countPlusOne},
        {L"eml-zero", &Faults::emlZero},           {L"eml-long-path", &Faults::emlLongPath},
    };
    for (const auto& [flag, member] : flags) {
        if (name == flag && !hasValue) {
            f.*member = true;
            return true;
        }
    }
    if (name == L"wrong-type" && !value.empty()) {
        f.wrongType.push_back(value);
        return true;
    }
    if (name == L"fail-call") {
        f.failCall = value;
        return splitCall(value, f.failCallNumber, f.failCallText);
    }
    if (name == L"hresult-call") {
        f.hresultCall = value;
        std::wstring code;
        if (!splitCall(value, f.hresultCallNumber, code) || code.size() != 10 || code.compare(0, 2, L"0x") != 0)
            return false;
        wchar_t* end = nullptr;
        f.hresultCallCode = HRESULT(std::wcstoul(code.c_str() + 2, &end, 16));
        return *end == L'\0';
    }
    return false;
}

}  // namespace

std::wstring environment(const wchar_t* name)
{
    std::wstring value(256, L'\0');
    DWORD size = GetEnvironmentVariableW(name, value.data(), DWORD(value.size()));
    if (size > value.size()) {
        value.resize(size);
        size = GetEnvironmentVariableW(name, value.data(), DWORD(value.size()));
    }
    value.resize(size <= value.size() ? size : 0);
    return value;
}

bool Faults::wrongTypeFor(const wchar_t* member) const
{
    for (const std::wstring& name : wrongType) {
        if (_wcsicmp(name.c_str(), member) == 0)
            return true;
    }
    return false;
}

Faults readFaults()
{
    Faults f;
    const std::wstring text = environment(L"ARVELO_TEST_FAULTS");
    std::size_t start = 0;
    bool inFailText = false;
    while (start < text.size()) {
        std::size_t comma = text.find(L',', start);
        if (comma == std::wstring::npos)
            comma = text.size();
        const std::wstring piece = text.substr(start, comma - start);
        start = comma + 1;
        const std::size_t equals = piece.find(L'=');
        const std::wstring name = piece.substr(0, equals);
        const std::wstring value = equals == std::wstring::npos ? std::wstring() : piece.substr(equals + 1);
        if (piece.empty())
            continue;
        if (parseSwitch(f, name, value, equals != std::wstring::npos)) {
            inFailText = name == L"fail-call";
            continue;
        }
        // A failure's text may hold commas: what follows it up to the next switch belongs to it.
        if (inFailText) {
            f.failCall += L"," + piece;
            f.failCallText += L"," + piece;
            continue;
        }
        if (f.invalid.empty())
            f.invalid = piece;
    }
    return f;
}

}  // namespace testcom
