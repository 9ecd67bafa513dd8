// The capture engine: devices, input lines and the recording graph.
#include "mainwindow/ConverterDialog.h"

HRESULT ConverterDialog::SetUpCaptureEngine() {
    // FIXME: no capture device is listed yet; start-up goes on without one.
    return S_OK;
}

void ConverterDialog::TearDownCaptureEngine() {}

void ConverterDialog::SelectCaptureDevice() {}

HRESULT ConverterDialog::SelectInputLine() { return S_OK; }

HRESULT ConverterDialog::DrainCaptureEvents() { return S_OK; }
