#pragma once

// The test component: an in-process COM server (arvelo-test-server.dll) and a DvApi32.dll that serve a server
// folder through the names and interface ids the program uses with the messaging server's own component.
// Tests only; never installed.

#include <oaidl.h>
#include <windows.h>

// The class the ProgID names: ours, not the real server's.
inline constexpr GUID kTestServerClsid = {0x78CC3E7A, 0x2D89, 0x4D6D, {0x8F, 0x7F, 0x86, 0x9E, 0xFD, 0x0A, 0x95, 0xEE}};
inline constexpr wchar_t kTestServerProgId[] = L"DVOBJAPILib.DvISEAPI";

// The interface ids the objects answer in QueryInterface besides IUnknown and IDispatch.
inline constexpr GUID kDvISEAPIIid = {0x2922CA18, 0x433C, 0x4283, {0x8D, 0xEC, 0x0F, 0x83, 0x7F, 0x11, 0x6F, 0xF2}};
inline constexpr GUID kAccountIid = {0x2E97D879, 0xACC5, 0x49EC, {0xA2, 0x23, 0xF2, 0xDD, 0xD2, 0xBE, 0xB4, 0x7C}};
// A MailItem answers it only for a fax, giving the FaxItem.
inline constexpr GUID kFaxItemIid = {0x20F310C8, 0xAD57, 0x4F8C, {0xAE, 0x04, 0x15, 0x23, 0x3E, 0x09, 0xF9, 0x5B}};

// What the test DvApi32.dll asks a MailItem for: the message saved as a new temporary EML file, as the
// project's DVEmlFromMailItem writes it (result > 0: buffer holds the path).
inline constexpr GUID kArvTestMailIid = {0xC3F3BF37, 0x9B83, 0x4C33, {0xA9, 0xE0, 0x79, 0x1A, 0xC0, 0x97, 0xC8, 0x03}};
struct IArvTestMail : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SaveEml(char* buffer260, int* result) = 0;
};

// Environment the component reads:
// the server folder (server.json + shares/) it serves, read at PrepareLogon;
inline constexpr char kTestServerEnv[] = "ARVELO_TEST_SERVER";
// comma-separated fault switches, read afresh at every call: no-account, logon-fails, prepare-fails,
// fail-call=N:TEXT, hresult-call=N:0xHHHHHHHH (the N-th Invoke from the moment the value was first seen),
// count-plus-one, wrong-type=MEMBER (that member answers a VT_DATE), eml-zero, eml-long-path;
inline constexpr char kTestFaultsEnv[] = "ARVELO_TEST_FAULTS";
// a file into which the component writes its live-object count when it leaves a process.
inline constexpr char kTestLiveReportEnv[] = "ARVELO_TEST_LIVE_REPORT";

// EXCEPINFO.bstrSource of every failure the component describes.
inline constexpr wchar_t kTestServerSource[] = L"Arvelo-Testserver";

inline constexpr wchar_t kTestServerDll[] = L"arvelo-test-server.dll";
inline constexpr wchar_t kDvApiDll[] = L"DvApi32.dll";

// Exported by arvelo-test-server.dll: the number of its COM objects alive (every one but the class factory).
using ArvTestLiveObjectsFunction = long (*)(void);
// Exported by DvApi32.dll.
using DVEmlFromMailItemFunction = int(__stdcall*)(IDispatch* mailItem, char* buffer);
