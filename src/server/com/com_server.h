#pragma once

// The messaging server through its own client component on Windows: the class registered as
// "DVOBJAPILib.DvISEAPI", called late-bound through IDispatch by the names of its operations, and
// DVEmlFromMailItem of DvApi32.dll, loaded when the first e-mail is converted. Every call runs on the
// server's apartment thread (apartment.h); the objects handed to the rest of the program are the abstract
// ones of udavid_api.h and may be used from any thread.

#include "server/udavid_api.h"

#include <guiddef.h>

#include <memory>

namespace com {

inline constexpr wchar_t kProgId[] = L"DVOBJAPILib.DvISEAPI";
// The interfaces the component's objects are asked for: the API class, the account, and a message seen as a
// fax. The API object and the account are used through IDispatch where they do not answer theirs.
inline constexpr GUID kApiInterface = {0x2922CA18, 0x433C, 0x4283, {0x8D, 0xEC, 0x0F, 0x83, 0x7F, 0x11, 0x6F, 0xF2}};
inline constexpr GUID kAccountInterface = {
    0x2E97D879, 0xACC5, 0x49EC, {0xA2, 0x23, 0xF2, 0xDD, 0xD2, 0xBE, 0xB4, 0x7C}};
inline constexpr GUID kFaxInterface = {0x20F310C8, 0xAD57, 0x4F8C, {0xAE, 0x04, 0x15, 0x23, 0x3E, 0x09, 0xF9, 0x5B}};

// Whether the component's class is registered on this machine (its ProgID leads to a class id).
bool componentRegistered();

// Creates the API object in-process. Throws ServerError when the class cannot be created.
std::unique_ptr<DvISEAPI> createComApi();

// The library DVEmlFromMailItem is taken from: "DvApi32.dll" unless a test names another. It is loaded once
// per name, on first use.
void setEmlLibrary(const QString& name);

}  // namespace com
