// Convert and Stop, and the used-time counter.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnConvert() {
    // FIXME: the recording chain and the player are not started yet.
}

void ConverterDialog::OnStop() {
    // FIXME: nothing is recording yet, so there is nothing to stop.
}

void ConverterDialog::OnTimer(UINT_PTR id) { CDialog::OnTimer(id); }
