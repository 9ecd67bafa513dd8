// Events of the capture graph: the capture device going away and coming back.
#include "mainwindow/ConverterDialog.h"
#include "platform/MessageBox.h"

HRESULT ConverterDialog::DrainCaptureEvents() {
    if (!m_pME) return S_OK;
    HRESULT hr = S_OK;
    long code;
    LONG_PTR param1, param2;
    while (m_pME && SUCCEEDED(m_pME->GetEvent(&code, &param1, &param2, 0))) {
        if (code == EC_DEVICE_LOST && param2 == 0) {
            OnStop();
            TearDownCaptureEngine();
            ClearCaptureState();
            MessageBeep(MB_OK);
            MessageBox("The selected input device was removed!", "DirectShow Audio Capture Sample", MB_ICONWARNING | MB_OK);
        } else if (code == EC_DEVICE_LOST) {
            // The old graph still holds the device's entries: the engine starts afresh, so
            // the lists do not end up with a second set of entries.
            TearDownCaptureEngine();
            SetUpCaptureEngine();
            MessageBeep(MB_OK);
            MessageBox("The audio input device has been reattached!", "DirectShow Audio Capture Sample",
                       MB_ICONINFORMATION | MB_OK);
        }
        if (m_pME) hr = m_pME->FreeEventParams(code, param1, param2);
    }
    return hr;
}
