#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The fault switches of ARVELO_TEST_FAULTS, read afresh for every call so that a test can change them while
// objects are alive.
namespace testcom {

struct Faults {
    bool noAccount = false;
    bool logonFails = false;
    bool prepareFails = false;
    bool countPlusOne = false;
    bool emlZero = false;
    bool emlLongPath = false;
    std::vector<std::wstring> wrongType;  // members that answer a VT_DATE
    // fail-call=N:TEXT and hresult-call=N:0xHHHHHHHH; the whole value identifies the switch for counting.
    std::wstring failCall, hresultCall;
    long failCallNumber = 0, hresultCallNumber = 0;
    std::wstring failCallText;
    HRESULT hresultCallCode = S_OK;
    std::wstring invalid;  // the first switch not understood: every call fails naming it

    bool wrongTypeFor(const wchar_t* member) const;
};

Faults readFaults();

// A variable of the process environment (not the C runtime's copy, which a test may not have set); empty when
// missing.
std::wstring environment(const wchar_t* name);

}  // namespace testcom
