// The test DvApi32.dll: DVEmlFromMailItem over the test component's MailItem, which saves itself through the
// private IArvTestMail interface. Faults from ARVELO_TEST_FAULTS: eml-zero, eml-long-path.

#include "faults.h"
#include "test_component.h"

#include <cstring>

extern "C" int __stdcall DVEmlFromMailItem(IDispatch* mailItem, char* buffer)
{
    const testcom::Faults faults = testcom::readFaults();
    if (!mailItem || !buffer || faults.emlZero)
        return 0;
    if (faults.emlLongPath) {
        // A path that fills the buffer with no room for the terminating zero, and a length beyond it.
        static const char folder[] = "C:\\users\\Public\\Temp\\";
        std::memset(buffer, 'x', 260);
        std::memcpy(buffer, folder, sizeof folder - 1);
        return 300;
    }
    IArvTestMail* mail = nullptr;
    if (FAILED(mailItem->QueryInterface(kArvTestMailIid, reinterpret_cast<void**>(&mail))))
        return 0;
    int result = 0;
    if (FAILED(mail->SaveEml(buffer, &result)))
        result = 0;
    mail->Release();
    return result;
}
