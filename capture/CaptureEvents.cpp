// Events of the capture graph.
#include "mainwindow/ConverterDialog.h"

HRESULT ConverterDialog::DrainCaptureEvents() {
    // FIXME: device removal and return are not acted on yet; the events wait in the graph.
    return S_OK;
}
